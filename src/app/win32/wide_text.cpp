#include "app/win32/wide_text.h"

#include "base/codepage.h"

namespace lantorvix::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

std::wstring Widen(std::string_view utf8)
{
    const std::u16string units = Utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

std::string Narrow(std::wstring_view utf16)
{
    const std::u16string units(utf16.begin(), utf16.end());
    return Utf16ToUtf8(units);
}

} // namespace lantorvix::win32
