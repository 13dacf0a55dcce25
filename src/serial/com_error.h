#pragma once

#include <cstdint>
#include <string>

#include "base/exception.h"

namespace lantorvix {

// Port error codes, 1 to 23.
namespace port_error {
inline constexpr int OpenFailed = 1;
inline constexpr int WriteFailed = 2;
inline constexpr int ReadFailed = 3;
inline constexpr int InvalidAsyncParameter = 4;
inline constexpr int PurgeFailed = 5;
inline constexpr int AsyncCheckFailed = 6;
inline constexpr int SetStateFailed = 7;
inline constexpr int SetTimeoutsFailed = 8;
inline constexpr int SetupComFailed = 9;
inline constexpr int ClearComFailed = 10;
inline constexpr int ModemStatFailed = 11;
inline constexpr int EscapeComFailed = 12;
inline constexpr int TransmitFailed = 13;
inline constexpr int ConnChangeProp = 14;
inline constexpr int EnumPortsFailed = 15;
inline constexpr int StoreFailed = 16;
inline constexpr int LoadFailed = 17;
inline constexpr int RegFailed = 18;
inline constexpr int LedStateFailed = 19;
inline constexpr int ThreadCreated = 20;
inline constexpr int WaitFailed = 21;
inline constexpr int HasLink = 22;
inline constexpr int RegError = 23;
inline constexpr int Count = 23;
} // namespace port_error

// The serial port's one failure: a port error code and, when a platform call failed, the
// operating system's error code (-1 when none). The message is the code's text, followed by
// " (win error code: %d)" when there is an OS code.
class EComPort : public Exception {
public:
    EComPort(std::int32_t portErrorCode, std::int32_t osErrorCode);
    explicit EComPort(std::int32_t portErrorCode);

    std::int32_t PortErrorCode() const { return portErrorCode_; }
    std::int32_t OSErrorCode() const { return osErrorCode_; }

private:
    std::int32_t portErrorCode_;
    std::int32_t osErrorCode_;
};

// The serial subsystem's start-up: adds the text domain "cport" to the resource-string
// domains and fills the message table with the translations of the 23 texts. Called once on
// the main thread after the translation layer has started and before any port exists.
// Until it has run, the English texts are used.
void InitializeSerialMessages();

// The English text of a port error code (1 to 23), as passed to translation.
const char* PortMessageSource(std::int32_t code);
// The table text for a code: translated when the start-up has run; empty for other codes.
std::string PortMessage(std::int32_t code);

} // namespace lantorvix
