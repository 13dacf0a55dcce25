#pragma once

#include <string>
#include <string_view>

namespace lantorvix::store {

// Messages of the stores beyond the runtime's shared ones; loaded through LoadResString so
// that they can be translated like the others.
inline constexpr std::string_view SRegGetDataFailed = "Failed to get data for '%s'";
inline constexpr std::string_view SInvalidRegType = "Invalid data type for '%s'";

// Blanks and control characters (tab, CR, ...) removed from both ends.
std::string_view Trim(std::string_view text);

// The message of a built-in pattern with one text argument.
std::string Message(std::string_view pattern, std::string_view argument);

} // namespace lantorvix::store
