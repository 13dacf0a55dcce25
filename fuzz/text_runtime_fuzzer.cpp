// Integer parsing, safe formatting and code-page conversion on arbitrary bytes.
#include "base/codepage.h"
#include "base/exception.h"
#include "base/format.h"
#include "base/str_to_int.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace lantorvix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    const auto parsed = TryStrToInt(text);
    try {
        if (StrToInt(text) != *parsed) {
            std::abort();
        }
    } catch (const EConvertError&) {
        if (parsed) {
            std::abort();
        }
    }
    if (parsed && TryStrToInt(std::to_string(*parsed)) != parsed) {
        std::abort();
    }

    // A pattern from outside (a catalogue) may hold any directive; none may reach past its arguments.
    const std::string formatted = Format(text, {std::string_view("arg"), std::int64_t{5}});
    if (formatted.size() > text.size() + 3 + 1) {
        std::abort();
    }

    for (auto cp : {CodePage::cp1250, CodePage::cp1251, CodePage::cp1252}) {
        const std::string utf8 = AnsiToUtf8(text, cp);
        if (Utf8ToAnsi(utf8, cp) != text) {
            std::abort();
        }
        Utf8ToAnsi(text, cp);
    }
    const std::u16string wide = Utf8ToUtf16(text);
    if (Utf8ToUtf16(Utf16ToUtf8(wide)) != wide) {
        std::abort();
    }
    return 0;
}
