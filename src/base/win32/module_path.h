#pragma once

#include <string>

namespace lantorvix::win32 {

// The running program's full path as Windows keeps it (UTF-16); empty when it cannot be had.
// Callers convert it to the text their APIs take. Safe from any thread.
std::wstring ModulePath();

} // namespace lantorvix::win32
