#include "app/system/posix/sysfs_serial_ports.h"

#include "store/atomic_file.h"
#include "store/store_text.h"

#include <map>

namespace lantorvix {

namespace fs = std::filesystem;

namespace {
// The sysfs path as the running system names it, whatever root the tree was read from.
std::string SysfsName(const fs::path& root, const fs::path& entry)
{
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(entry, ec);
    const fs::path realRoot = fs::weakly_canonical(root, ec);
    const fs::path relative = real.lexically_relative(realRoot);
    if (relative.empty() || *relative.begin() == "..") {
        return real.string();
    }
    return (fs::path("/sys") / relative).string();
}

bool NoUartBehind(const fs::path& entry)
{
    const auto type = store::ReadWholeFile(entry / "type");
    return type && store::Trim(*type) == "0";
}
} // namespace

std::vector<SerialPortEntry> ListSysfsSerialPorts(const fs::path& sysfsRoot, const fs::path& devRoot)
{
    // The stable names udev gives USB serial devices, by the kernel name they point at.
    std::map<std::string, std::string> stableNames;
    std::error_code byIdEc;
    const fs::path realDev = fs::weakly_canonical(devRoot, byIdEc);
    for (fs::directory_iterator it(devRoot / "serial" / "by-id", byIdEc), end; !byIdEc && it != end;
         it.increment(byIdEc)) {
        std::error_code linkEc;
        const fs::path target = fs::canonical(it->path(), linkEc);
        if (!linkEc && target.parent_path() == realDev) {
            stableNames[target.filename().string()] = it->path().string();
        }
    }
    std::vector<SerialPortEntry> ports;
    std::error_code ec;
    const fs::path classDir = sysfsRoot / "class" / "tty";
    for (fs::directory_iterator it(classDir, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path entry = it->path();
        std::error_code linkEc;
        if (!fs::exists(fs::symlink_status(entry / "device", linkEc)) || NoUartBehind(entry)) {
            continue;
        }
        const std::string name = entry.filename().string();
        const auto stable = stableNames.find(name);
        ports.push_back({SysfsName(sysfsRoot, entry), stable != stableNames.end() ? stable->second : name});
    }
    return ports;
}

} // namespace lantorvix
