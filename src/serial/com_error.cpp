#include "serial/com_error.h"

#include <array>
#include <atomic>

#include "base/format.h"
#include "i18n/translate.h"

namespace lantorvix {

namespace {

constexpr std::array<const char*, port_error::Count> kEnglishTexts = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};

constexpr const char* kErrorCodeSuffix = " (win error code: %d)";

// Written once by the start-up before any port thread exists; read-only afterwards.
std::array<std::string, port_error::Count> translatedTexts;
std::atomic<bool> tableFilled{false};

bool ValidCode(std::int32_t code)
{
    return code >= 1 && code <= port_error::Count;
}

std::string MessageWithOsCode(std::int32_t code, std::int32_t osCode)
{
    // The table text is part of the pattern; Format keeps any directive but %d as text.
    const std::string pattern = PortMessage(code) + i18n::TranslateTextAnsi(kErrorCodeSuffix);
    return Format(pattern, {static_cast<std::int64_t>(osCode)});
}

} // namespace

const char* PortMessageSource(std::int32_t code)
{
    return ValidCode(code) ? kEnglishTexts[static_cast<std::size_t>(code - 1)] : "";
}

std::string PortMessage(std::int32_t code)
{
    if (!ValidCode(code)) {
        return {};
    }
    if (tableFilled.load(std::memory_order_acquire)) {
        return translatedTexts[static_cast<std::size_t>(code - 1)];
    }
    return kEnglishTexts[static_cast<std::size_t>(code - 1)];
}

void InitializeSerialMessages()
{
    if (tableFilled.load(std::memory_order_acquire)) {
        return; // filled once; a second start-up would list "cport" twice
    }
    i18n::AddResourceStringDomain(u"cport");
    std::array<std::string, port_error::Count> texts;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i] = i18n::TranslateTextAnsi(kEnglishTexts[i]);
    }
    translatedTexts = std::move(texts);
    tableFilled.store(true, std::memory_order_release);
}

EComPort::EComPort(std::int32_t portErrorCode, std::int32_t osErrorCode)
    : Exception(MessageWithOsCode(portErrorCode, osErrorCode)), portErrorCode_(portErrorCode),
      osErrorCode_(osErrorCode)
{}

EComPort::EComPort(std::int32_t portErrorCode)
    : Exception(PortMessage(portErrorCode)), portErrorCode_(portErrorCode), osErrorCode_(-1)
{}

} // namespace lantorvix
