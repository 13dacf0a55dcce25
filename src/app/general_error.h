#pragma once

#include <string>
#include <string_view>

namespace lantorvix {

// Text of the general error box: the failure's message, with a full stop appended when its
// last character sorts after "." (a message ending in a digit, letter or byte above 127
// gets one; one ending in ".", "!", "?" or ")" does not).
std::string GeneralErrorText(std::string_view message);

// The application title: the executable's file name without its folder, cut at its first
// full stop, every character after the first in lower case ("Lantorvix" for
// "C:\x\LANTORVIX.EXE" or "/usr/bin/lantorvix"; the first character keeps its case).
std::string ApplicationTitle(std::string_view executablePath);

} // namespace lantorvix
