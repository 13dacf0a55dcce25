#include "serial/com_conversions.h"

#include <array>
#include <cstdint>

#include "base/ascii.h"
#include "base/str_to_int.h"

namespace lantorvix {

namespace {

constexpr std::array<const char*, 16> kBaudTexts = {"Custom", "110",    "300",    "600",   "1200",  "2400",
                                                    "4800",   "9600",   "14400",  "19200", "38400", "56000",
                                                    "57600",  "115200", "128000", "256000"};
constexpr std::array<std::uint32_t, 16> kBaudValues = {
    0, 110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
constexpr std::array<const char*, 3> kStopTexts = {"1", "1.5", "2"};
constexpr std::array<const char*, 4> kDataTexts = {"5", "6", "7", "8"};
constexpr std::array<const char*, 5> kParityTexts = {"None", "Odd", "Even", "Mark", "Space"};
constexpr std::array<const char*, 4> kFlowTexts = {"Hardware", "Software", "None", "Custom"};
constexpr std::array<const char*, 3> kDtrTexts = {"Disable", "Enable", "Handshake"};
constexpr std::array<const char*, 4> kRtsTexts = {"Disable", "Enable", "Handshake", "Toggle"};

template <typename Enum, std::size_t N>
std::string ToText(const std::array<const char*, N>& texts, Enum value)
{
    const auto i = static_cast<std::size_t>(value);
    return i < N ? texts[i] : std::string();
}

template <typename Enum, std::size_t N>
Enum FromText(const std::array<const char*, N>& texts, std::string_view text, Enum fallback)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (ascii::EqualIgnoringCase(text, texts[i])) {
            return static_cast<Enum>(i);
        }
    }
    return fallback;
}

} // namespace

std::string BaudRateToStr(TBaudRate value)
{
    return ToText(kBaudTexts, value);
}
std::string StopBitsToStr(TStopBits value)
{
    return ToText(kStopTexts, value);
}
std::string DataBitsToStr(TDataBits value)
{
    return ToText(kDataTexts, value);
}
std::string ParityToStr(TParityBits value)
{
    return ToText(kParityTexts, value);
}
std::string FlowControlToStr(TFlowControl value)
{
    return ToText(kFlowTexts, value);
}
std::string DTRToStr(TDTRFlowControl value)
{
    return ToText(kDtrTexts, value);
}
std::string RTSToStr(TRTSFlowControl value)
{
    return ToText(kRtsTexts, value);
}

TBaudRate StrToBaudRate(std::string_view text)
{
    return FromText(kBaudTexts, text, TBaudRate::br9600);
}
TStopBits StrToStopBits(std::string_view text)
{
    return FromText(kStopTexts, text, TStopBits::sbOneStopBit);
}
TDataBits StrToDataBits(std::string_view text)
{
    return FromText(kDataTexts, text, TDataBits::dbEight);
}
TParityBits StrToParity(std::string_view text)
{
    return FromText(kParityTexts, text, TParityBits::prNone);
}
TFlowControl StrToFlowControl(std::string_view text)
{
    return FromText(kFlowTexts, text, TFlowControl::fcCustom);
}
TDTRFlowControl StrToDTR(std::string_view text)
{
    return FromText(kDtrTexts, text, TDTRFlowControl::dtrDisable);
}
TRTSFlowControl StrToRTS(std::string_view text)
{
    return FromText(kRtsTexts, text, TRTSFlowControl::rtsDisable);
}

std::string BoolToYesNo(bool value)
{
    return value ? "Yes" : "No";
}

bool YesNoToBool(std::string_view text)
{
    return ascii::EqualIgnoringCase(text, "YES");
}

std::string CharToText(char c)
{
    const auto code = static_cast<unsigned char>(c);
    if (code >= 33 && code <= 127) {
        return std::string(1, c);
    }
    char text[4] = {'#'};
    std::size_t length = 1;
    if (code >= 100) {
        text[length++] = static_cast<char>('0' + code / 100);
    }
    if (code >= 10) {
        text[length++] = static_cast<char>('0' + code / 10 % 10);
    }
    text[length++] = static_cast<char>('0' + code % 10);
    return std::string(text, length);
}

char TextToChar(std::string_view text)
{
    if (text.empty()) {
        return 0;
    }
    if (text.front() == '#' && text.size() > 1) {
        const auto number = TryStrToInt(text.substr(1));
        if (!number) {
            return 0;
        }
        return static_cast<char>(static_cast<unsigned char>(static_cast<std::uint32_t>(*number) & 0xFFu));
    }
    return text.front();
}

std::uint32_t BaudRateValue(TBaudRate value)
{
    const auto i = static_cast<std::size_t>(value);
    return i < kBaudValues.size() ? kBaudValues[i] : 0;
}

} // namespace lantorvix
