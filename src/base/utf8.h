#pragma once

#include <string>
#include <string_view>

namespace lantorvix {

// Strict UTF-8: no overlong forms, surrogates or code points past U+10FFFF. A text that
// fails is taken for 8-bit text in a code page.
bool IsValidUtf8(std::string_view text);

// Appends one code point as UTF-8. Unpaired surrogates are written as their three bytes, so
// that a text read from UTF-16 comes back unchanged.
void AppendUtf8(std::string& out, char32_t cp);

} // namespace lantorvix
