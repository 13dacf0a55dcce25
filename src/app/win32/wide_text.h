#pragma once

#include <string>
#include <string_view>

namespace lantorvix::win32 {

// UTF-8 <-> UTF-16 for the wide Windows API: user-interface texts are shown right whatever
// the ANSI code page of the system.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

} // namespace lantorvix::win32
