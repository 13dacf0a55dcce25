#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lantorvix {

// The virtual key of a braced key name ("ENTER", "F4", ...): exact, case-sensitive match
// against the constant table of 41 names, found by halving; nothing when no row matches.
std::optional<std::uint8_t> FindKeyName(std::string_view name);

} // namespace lantorvix
