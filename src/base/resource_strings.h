#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace lantorvix {

// The runtime's built-in messages. They are loaded through LoadResString so that the
// translation layer can supply them in the user's language.
namespace res {
inline constexpr std::string_view SInvalidInteger = "'%s' is not a valid integer value";
inline constexpr std::string_view SUnableToWrite = "Unable to write to %s";
inline constexpr std::string_view SFailedToSetData = "Failed to set data for '%s'";
inline constexpr std::string_view SAssignError = "Cannot assign a %s to a %s";
inline constexpr std::string_view SMsgDlgOK = "OK";
inline constexpr std::string_view SMsgDlgCancel = "Cancel";
inline constexpr std::string_view SMsgDlgYes = "&Yes";
inline constexpr std::string_view SMsgDlgNo = "&No";
inline constexpr std::string_view SMsgDlgError = "Error";
inline constexpr std::string_view SMsgDlgWarning = "Warning";
inline constexpr std::string_view SMsgDlgConfirm = "Confirm";
} // namespace res

// Maps a built-in message to the text to show. Installed once at start-up, before any other
// thread runs; LoadResString may then be called from any thread (the loader must allow that).
using ResourceStringLoader = std::function<std::string(std::string_view msgid)>;

void SetResourceStringLoader(ResourceStringLoader loader);
std::string LoadResString(std::string_view msgid);

} // namespace lantorvix
