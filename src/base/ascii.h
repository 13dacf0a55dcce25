#pragma once

#include <string_view>

namespace lantorvix::ascii {

// Letter case of the ASCII letters only: names, keys and port lists compare the same in
// every locale and code page (bytes 128-255 are never folded).
constexpr char ToLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char ToUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b);
// Byte order of the lower-cased texts; a prefix sorts first.
bool LessIgnoringCase(std::string_view a, std::string_view b);

} // namespace lantorvix::ascii
