// The port's text forms on arbitrary text: every reader falls back instead of failing, and
// every character survives CharToText / TextToChar.
#include "serial/com_conversions.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace lantorvix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)StrToBaudRate(text);
    (void)StrToStopBits(text);
    (void)StrToDataBits(text);
    (void)StrToParity(text);
    (void)StrToFlowControl(text);
    (void)StrToDTR(text);
    (void)StrToRTS(text);
    (void)YesNoToBool(text);
    const char c = TextToChar(text);
    if (TextToChar(CharToText(c)) != c) {
        std::abort();
    }
    return 0;
}
