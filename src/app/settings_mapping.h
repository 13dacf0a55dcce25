#pragma once

#include "app/app_settings.h"

#include <iterator>
#include <optional>
#include <string>
#include <string_view>

// How the settings file's stored texts, the AppSettings fields and the items of the
// settings window's lists correspond. Pure functions; TForm1 does the reading and writing.
namespace lantorvix::settings {

// The items of the settings window's lists; an item's index is what the functions below
// take and give.
inline constexpr const char* kPortItems[] = {kNoPort.data()}; // then the machine's ports
inline constexpr int kBaudRates[] = {1200, 2400, 4800, 9600, 19200};
inline constexpr const char* kBaudItems[] = {"1200", "2400", "4800", "9600", "19200"};
static_assert(std::size(kBaudItems) == std::size(kBaudRates));
inline constexpr const char* kStopItems[] = {"ENTER (CR/LF)", "CR"};
inline constexpr const char* kAddedItems[] = {"NINCS", "ENTER (CR/LF)", "TAB"};

// A stored speed (nothing when the key is missing or not an integer) to one of the offered
// speeds; anything else is 9600.
int BaudRateFromStored(std::optional<int> stored);
// Item of cmbBaud for an offered speed, -1 for any other.
int BaudItem(int baudRate);

// "CR" in any case gives "\r"; anything else "\r\n".
std::string StopStringFromStored(std::string_view stored);
int StopItem(std::string_view stopString);
std::string StopStringFromItem(int item);
std::string StoredStopString(std::string_view stopString);

// "TAB" gives "\t", "ENTER" gives "~" (any case); anything else nothing.
std::string AddedStringFromStored(std::string_view stored);
int AddedItem(std::string_view addedString);
std::string AddedStringFromItem(int item);
std::string StoredAddedString(std::string_view addedString);

// Port name from the "PortName" key (whole name, preferred when not empty) and the
// "PortNum" key (characters after "COM", or exactly "NINCS").
std::string PortNameFromStored(std::string_view portNameKey, std::string_view portNum);
// "PortNum" form: "NINCS" for no port, else the fourth and fifth characters of the name.
std::string StoredPortNum(std::string_view portName);
// Whether the name survives a round trip through "PortNum" alone.
bool FitsPortNum(std::string_view portName);

} // namespace lantorvix::settings
