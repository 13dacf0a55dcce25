#pragma once

#include <string>
#include <string_view>

#include "serial/com_types.h"

namespace lantorvix {

// Text forms of the port settings, as the settings store writes them. Text to value compares
// without regard to ASCII case and without trimming; unknown texts give a fallback value.
std::string BaudRateToStr(TBaudRate value);
std::string StopBitsToStr(TStopBits value);
std::string DataBitsToStr(TDataBits value);
std::string ParityToStr(TParityBits value);
std::string FlowControlToStr(TFlowControl value);
std::string DTRToStr(TDTRFlowControl value);
std::string RTSToStr(TRTSFlowControl value);

TBaudRate StrToBaudRate(std::string_view text);       // fallback br9600
TStopBits StrToStopBits(std::string_view text);       // fallback sbOneStopBit
TDataBits StrToDataBits(std::string_view text);       // fallback dbEight
TParityBits StrToParity(std::string_view text);       // fallback prNone
TFlowControl StrToFlowControl(std::string_view text); // fallback fcCustom
TDTRFlowControl StrToDTR(std::string_view text);      // fallback dtrDisable
TRTSFlowControl StrToRTS(std::string_view text);      // fallback rtsDisable

std::string BoolToYesNo(bool value);
// True exactly for "YES" in any ASCII case.
bool YesNoToBool(std::string_view text);

// Codes 33 to 127 as the character itself, every other code as "#" and its decimal code.
std::string CharToText(char c);
// "" gives 0; "#n" gives the low 8 bits of the integer n (0 when n is not a number);
// anything else its first character.
char TextToChar(std::string_view text);

// Bits per second of a rate value other than brCustom (0 for brCustom).
std::uint32_t BaudRateValue(TBaudRate value);

} // namespace lantorvix
