#include "app/system/posix/sysfs_device_identity.h"

#include "store/atomic_file.h"
#include "store/store_text.h"

namespace lantorvix {

namespace fs = std::filesystem;

namespace {

std::string Attribute(const fs::path& folder, const char* name)
{
    const auto text = store::ReadWholeFile(folder / name);
    return text ? std::string(store::Trim(*text)) : std::string();
}

} // namespace

SysfsDeviceIdentity::SysfsDeviceIdentity(fs::path sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

std::string SysfsDeviceIdentity::Identify(const std::string& portName)
{
    if (portName.empty() || portName.find('/') != std::string::npos) {
        return {};
    }
    std::error_code ec;
    const fs::path root = fs::canonical(sysfsRoot_, ec);
    const fs::path device = fs::canonical(sysfsRoot_ / "class" / "tty" / portName / "device", ec);
    if (ec) {
        return {};
    }
    for (fs::path at = device; at != root && at.has_relative_path(); at = at.parent_path()) {
        const std::string vendor = Attribute(at, "idVendor");
        if (vendor.empty()) {
            continue;
        }
        const std::string product = Attribute(at, "idProduct");
        const std::string serial = Attribute(at, "serial");
        // The interface below the device tells two ports of one multi-port adapter apart.
        const fs::path below = device.lexically_relative(at);
        const std::string rest = below.empty() ? std::string() : below.begin()->string();
        // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "literal" + temporary.
        std::string identity = vendor + ":" + product;
        identity += serial.empty() ? '@' : ' ';
        identity += serial.empty() ? at.filename().string() : serial;
        identity += '/';
        identity += rest;
        return identity;
    }
    return {};
}

std::string SysfsDeviceIdentity::FindPort(const std::string& identity)
{
    std::error_code ec;
    for (fs::directory_iterator it(sysfsRoot_ / "class" / "tty", ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (Identify(name) == identity) {
            return name;
        }
    }
    return {};
}

} // namespace lantorvix
