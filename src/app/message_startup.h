#pragma once

#include <string>

namespace lantorvix {

// Starts the translation of the built-in messages and fills the port's message table.
// A damaged catalogue must not keep the scanner from working: when the start-up fails,
// translation is switched off (every message in English, as with no catalogue at all; the
// 8-bit code page stays the language's) and
// the failure's message is returned for the program to show once; empty on success.
// Main thread, before any port exists. The catalogues are looked up beside
// `executablePath`; empty means this program's own path.
std::string StartBuiltInMessages(const std::string& executablePath = {});

} // namespace lantorvix
