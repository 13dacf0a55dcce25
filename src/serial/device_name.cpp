#include "serial/device_name.h"

namespace lantorvix {

std::string Win32DeviceName(std::string_view portName)
{
    std::string name = "\\\\.\\";
    name += portName;
    return name;
}

std::string PosixDeviceName(std::string_view portName)
{
    if (!portName.empty() && portName.front() == '/') {
        return std::string(portName);
    }
    std::string name = "/dev/";
    name += portName;
    return name;
}

} // namespace lantorvix
