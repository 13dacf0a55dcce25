#pragma once

#include <cstdint>

#include "serial/enum_set.h"

namespace lantorvix {

enum class TBaudRate : std::uint8_t {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum class TStopBits : std::uint8_t { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum class TDataBits : std::uint8_t { dbFive, dbSix, dbSeven, dbEight };
enum class TParityBits : std::uint8_t { prNone, prOdd, prEven, prMark, prSpace };
enum class TDTRFlowControl : std::uint8_t { dtrDisable, dtrEnable, dtrHandshake };
enum class TRTSFlowControl : std::uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum class TFlowControl : std::uint8_t { fcHardware, fcSoftware, fcNone, fcCustom };
enum class TComEvent : std::uint8_t {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full
};
enum class TComError : std::uint8_t {
    ceFrame,
    ceRxParity,
    ceOverrun,
    ceBreak,
    ceIO,
    ceMode,
    ceRxOver,
    ceTxFull
};
enum class TSyncMethod : std::uint8_t { smThreadSync, smWindowSync, smNone };
enum class TModemLine : std::uint8_t { mlCTS, mlDSR, mlRing, mlRLSD };
enum class TPersistGroup : std::uint8_t { pgBasic, pgFlowControl, pgBuffer, pgTimeouts, pgParity, pgOthers };
// The seven scheduling levels a thread can be given.
enum class TThreadPriority : std::uint8_t {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};
enum class TTransferKind : std::uint8_t { xkWrite, xkRead };

using TComEvents = EnumSet<TComEvent, std::uint16_t>;
using TComErrors = EnumSet<TComError, std::uint8_t>;
using TModemLines = EnumSet<TModemLine, std::uint8_t>;
using TPersistGroups = EnumSet<TPersistGroup, std::uint8_t>;

inline constexpr TComEvents AllComEvents = TComEvents::FromBits(0x03FF);

} // namespace lantorvix
