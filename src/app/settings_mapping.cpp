#include "app/settings_mapping.h"

#include "app/app_settings.h"
#include "base/ascii.h"

#include <algorithm>

namespace lantorvix::settings {
namespace {

std::string Upper(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), ascii::ToUpper);
    return result;
}

} // namespace

int BaudRateFromStored(std::optional<int> stored)
{
    if (stored && BaudItem(*stored) >= 0) {
        return *stored;
    }
    return 9600;
}

int BaudItem(int baudRate)
{
    for (int i = 0; i < static_cast<int>(std::size(kBaudRates)); ++i) {
        if (kBaudRates[i] == baudRate) {
            return i;
        }
    }
    return -1;
}

std::string StopStringFromStored(std::string_view stored)
{
    return Upper(stored) == "CR" ? "\r" : "\r\n";
}

int StopItem(std::string_view stopString)
{
    return stopString == "\r" ? 1 : 0;
}

std::string StopStringFromItem(int item)
{
    return item == 1 ? "\r" : "\r\n";
}

std::string StoredStopString(std::string_view stopString)
{
    return stopString == "\r" ? "CR" : "ENTER";
}

std::string AddedStringFromStored(std::string_view stored)
{
    const std::string upper = Upper(stored);
    if (upper == "TAB") {
        return "\t";
    }
    if (upper == "ENTER") {
        return "~";
    }
    return {};
}

int AddedItem(std::string_view addedString)
{
    if (addedString == "\t") {
        return 2;
    }
    if (addedString == "~") {
        return 1;
    }
    return 0;
}

std::string AddedStringFromItem(int item)
{
    switch (item) {
    case 1:
        return "~";
    case 2:
        return "\t";
    default:
        return {};
    }
}

std::string StoredAddedString(std::string_view addedString)
{
    if (addedString == "\t") {
        return "TAB";
    }
    if (addedString == "~") {
        return "ENTER";
    }
    return "NINCS";
}

std::string PortNameFromStored(std::string_view portNameKey, std::string_view portNum)
{
    if (!portNameKey.empty()) {
        return std::string(portNameKey);
    }
    if (portNum == kNoPort) {
        return std::string(kNoPort);
    }
    return "COM" + std::string(portNum);
}

std::string StoredPortNum(std::string_view portName)
{
    if (portName == kNoPort) {
        return std::string(kNoPort);
    }
    return portName.size() > 3 ? std::string(portName.substr(3, 2)) : std::string();
}

bool FitsPortNum(std::string_view portName)
{
    if (portName == kNoPort) {
        return true;
    }
    const std::string_view rest = portName.size() > 3 ? portName.substr(3) : std::string_view();
    return portName.substr(0, 3) == "COM" && !rest.empty() && rest.size() <= 2;
}

} // namespace lantorvix::settings
