#pragma once

#include <string>
#include <string_view>

namespace lantorvix {

inline constexpr std::string_view kNoPort = "NINCS";

// The application's settings record. The autostart flag is not here: it lives in the
// ChkAutoRun check box and the autostart store only.
struct AppSettings {
    std::string PortName{kNoPort};
    int BaudRate = 9600;
    std::string StopString = "\r\n";
    std::string AddedString;
    bool DiscardNull = true;
    // Every byte of a code typed as its character, none as a command ([PROGRAM] LiteralCodes=1,
    // set in the file only).
    bool LiteralCodes = false;
};

} // namespace lantorvix
