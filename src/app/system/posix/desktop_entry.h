#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lantorvix::desktop {

// The autostart desktop entry for a program: Type=Application, Name=<name>, Exec=<command>
// with the command quoted and escaped as the desktop entry format wants, TryExec=<command>;
// nothing when the command cannot be written there (a line break in it).
std::optional<std::string> AutostartEntry(std::string_view name, std::string_view command);

// The command of a desktop entry's Exec= key in [Desktop Entry], unescaped and unquoted: the
// program path when the line names the program alone, the whole line as written otherwise;
// empty when there is no such key.
std::string ExecCommand(std::string_view entryText);

} // namespace lantorvix::desktop
