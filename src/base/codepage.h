#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lantorvix {

// The Windows ANSI code pages that 8-bit texts may be in (bytes 128-255).
enum class CodePage : std::uint16_t { cp1250 = 1250, cp1251 = 1251, cp1252 = 1252 };

// The ANSI code page Windows uses for a language ("hu", "hu_HU", "ru_RU.UTF-8", ...):
// Central European languages 1250, Cyrillic ones 1251, everything else 1252.
CodePage CodePageForLanguage(std::string_view language);

// One byte to its Unicode code point. Bytes a code page leaves undefined map to the
// C1 control of the same value, as Windows does.
char32_t AnsiToCodePoint(unsigned char byte, CodePage cp);

// The byte for a code point, or nothing when the code page has no such character.
bool CodePointToAnsi(char32_t cp32, CodePage cp, unsigned char& byte);

std::string AnsiToUtf8(std::string_view text, CodePage cp);
// Characters the code page lacks become '?', as WideCharToMultiByte's default does.
std::string Utf8ToAnsi(std::string_view utf8, CodePage cp);

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

} // namespace lantorvix
