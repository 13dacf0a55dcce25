#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lantorvix {

// Signed 32-bit integer from text: leading spaces, an optional sign, then decimal digits or
// hexadecimal digits after "$", "X" or "0X" (either case); nothing may follow.
std::optional<std::int32_t> TryStrToInt(std::string_view text);

// Signed 32-bit integer written in decimal: an optional sign, then digits only.
std::optional<std::int32_t> TryDecimalToInt(std::string_view text);

// As TryStrToInt; throws EConvertError "'<text>' is not a valid integer value" otherwise.
std::int32_t StrToInt(std::string_view text);

} // namespace lantorvix
