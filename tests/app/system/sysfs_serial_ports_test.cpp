#include "app/system/posix/posix_system_services.h"
#include "app/system/posix/sysfs_device_identity.h"
#include "app/system/posix/sysfs_serial_ports.h"

#include "store/temp_dir.h"
#include "support/file_bytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace lantorvix {
namespace {

namespace fs = std::filesystem;

// A sysfs tree shaped like the kernel's: class/tty/<name> links into devices/, and a
// "device" link in the tty's folder when hardware is behind it.
class FakeSysfs {
public:
    explicit FakeSysfs(const fs::path& root) : root_(root)
    {
        fs::create_directories(root_ / "class" / "tty");
    }

    void AddTty(const std::string& devicePath, const std::string& name, bool withDevice,
                const char* type = nullptr)
    {
        const fs::path ttyDir = root_ / "devices" / devicePath / "tty" / name;
        fs::create_directories(ttyDir);
        if (withDevice) {
            fs::create_directory_symlink(fs::path("../.."), ttyDir / "device");
        }
        if (type != nullptr) {
            test::WriteBytes((ttyDir / "type").string(), type);
        }
        fs::create_directory_symlink(fs::relative(ttyDir, root_ / "class" / "tty"),
                                     root_ / "class" / "tty" / name);
    }

    // A USB device's attributes, as its folder under devices/ shows them.
    void Usb(const std::string& devicePath, const std::string& vendor, const std::string& product,
             const std::string& serial)
    {
        const fs::path folder = root_ / "devices" / devicePath;
        fs::create_directories(folder);
        test::WriteBytes((folder / "idVendor").string(), vendor + "\n");
        test::WriteBytes((folder / "idProduct").string(), product + "\n");
        if (!serial.empty()) {
            test::WriteBytes((folder / "serial").string(), serial + "\n");
        }
    }
    void Remove(const std::string& name) { fs::remove(root_ / "class" / "tty" / name); }

private:
    fs::path root_;
};

class SysfsPortsTest : public testing::Test {
protected:
    SysfsPortsTest()
    {
        sysfs.AddTty("virtual", "tty0", false);
        sysfs.AddTty("virtual", "console", false);
        sysfs.AddTty("platform/serial8250", "ttyS0", true, "4\n");
        sysfs.AddTty("platform/serial8250", "ttyS1", true, "0\n");
        sysfs.AddTty("pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB0", "ttyUSB0", true);
        sysfs.AddTty("pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0", "ttyACM0", true);
        sysfs.AddTty("pnp0/00:05", "TTYX9", true, "1");
    }

    PosixSystemServices Services(const fs::path& devRoot = {})
    {
        PosixSystemPaths paths = PosixSystemPaths::FromEnvironment();
        paths.sysfsRoot = dir.Path();
        if (!devRoot.empty()) {
            paths.devRoot = devRoot;
        }
        return PosixSystemServices(paths);
    }

    test::TempDir dir;
    FakeSysfs sysfs{dir.Path()};
};

TEST_F(SysfsPortsTest, ListsTtysWithADeviceSortedByPathIgnoringCase)
{
    const auto ports = Services().SerialPorts("COM1");
    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& p : ports) {
        got.emplace_back(p.valueName, p.portName);
    }
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0", "ttyUSB0"},
        {"/sys/devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/tty/ttyACM0", "ttyACM0"},
        {"/sys/devices/platform/serial8250/tty/ttyS0", "ttyS0"},
        {"/sys/devices/pnp0/00:05/tty/TTYX9", "TTYX9"},
    };
    EXPECT_EQ(got, expected);
}

TEST_F(SysfsPortsTest, ConfiguredCharacterDeviceByAbsolutePathIsListedToo)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string pts = ptsname(master);
    const auto ports = Services().SerialPorts(pts);
    close(master);
    ASSERT_EQ(ports.size(), 5u);
    EXPECT_EQ(ports[0].valueName, pts) << "\"/dev/...\" sorts before \"/sys/...\"";
    EXPECT_EQ(ports[0].portName, pts);

    const std::string regular = dir.File("not-a-device");
    test::WriteBytes(regular, "x");
    for (const std::string& configured :
         {regular, std::string("ttyS0"), std::string("/dev/absent-tty"), std::string()}) {
        EXPECT_EQ(Services().SerialPorts(configured).size(), 4u) << configured;
    }
}

TEST_F(SysfsPortsTest, UsbSerialDevicesAreListedByTheirStableNames)
{
    const fs::path dev = dir.Path() / "dev";
    const fs::path byId = dev / "serial" / "by-id" / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    fs::create_directories(byId.parent_path());
    test::WriteBytes((dev / "ttyUSB0").string(), "");
    fs::create_symlink("../../ttyUSB0", byId);
    std::vector<std::string> names;
    for (const auto& p : Services(dev).SerialPorts("")) {
        names.push_back(p.portName);
    }
    const std::vector<std::string> expected = {byId.string(), "ttyACM0", "ttyS0", "TTYX9"};
    EXPECT_EQ(names, expected);
}

// The scanner is told from another device by its USB identity, and found under a new name.
TEST_F(SysfsPortsTest, SameDeviceIsFoundUnderANewNameAndAnotherDeviceDiffers)
{
    const std::string usb = "pci0000:00/0000:00:14.0/usb1/";
    sysfs.Usb(usb + "1-2", "0403", "6001", "A50285BI");
    sysfs.Usb(usb + "1-3", "067b", "2303", "");
    SysfsDeviceIdentity identity(dir.Path());

    const std::string scanner = identity.Identify("ttyUSB0");
    const std::string other = identity.Identify("ttyACM0");
    EXPECT_NE(scanner.find("A50285BI"), std::string::npos) << scanner;
    EXPECT_NE(other.find("1-3"), std::string::npos) << "no serial number: the physical port tells " << other;
    EXPECT_NE(scanner, other);
    for (const char* none : {"ttyS0", "ttyUSB7", "/dev/ttyUSB0", ""}) {
        EXPECT_EQ(identity.Identify(none), "") << none;
    }

    // Unplugged and back: the other device took ttyUSB0, the scanner came back as ttyUSB2.
    sysfs.Remove("ttyUSB0");
    sysfs.Remove("ttyACM0");
    sysfs.AddTty(usb + "1-3/1-3:1.0/ttyUSB0", "ttyUSB0", true);
    sysfs.AddTty(usb + "1-2/1-2:1.0/ttyUSB2", "ttyUSB2", true);
    EXPECT_EQ(identity.Identify("ttyUSB0"), other);
    EXPECT_EQ(identity.FindPort(scanner), "ttyUSB2");
    sysfs.Remove("ttyUSB2");
    EXPECT_EQ(identity.FindPort(scanner), "");
}

TEST(SysfsPortsEmptyTest, MissingTreeGivesNoPorts)
{
    test::TempDir dir;
    EXPECT_TRUE(ListSysfsSerialPorts(dir.Path() / "absent").empty());
}

} // namespace
} // namespace lantorvix
