#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace lantorvix {

using FormatArg = std::variant<std::string_view, std::int64_t>;

// printf-like formatting that is safe on untrusted (translated) patterns: "%s" takes the next
// argument when it is a text, "%d" when it is a number, "%%" is a percent sign; anything else,
// including a directive whose argument is missing or of the other kind, stays literal text.
std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args);

} // namespace lantorvix
