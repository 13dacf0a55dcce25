#pragma once

#include <string_view>

namespace lantorvix {

// Strict UTF-8: no overlong forms, surrogates or code points past U+10FFFF. A text that
// fails is taken for 8-bit text in a code page.
bool IsValidUtf8(std::string_view text);

} // namespace lantorvix
