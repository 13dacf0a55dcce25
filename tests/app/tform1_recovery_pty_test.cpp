// Recovery with the real termios device, event thread and inotify watch: the scanner's path
// is a symbolic link in a folder of its own, as under /dev/serial/by-id, pointed at a fresh
// pseudo-terminal after each hang-up. The form is served the way the program's loop serves it.

#include "app/fake_program.h"
#include "app/system/device_watch.h"
#include "support/process_fds.h"
#include "support/pty_pair.h"
#include "support/test_temp_path.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace lantorvix::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kScanner = "[SCANNER]\nStopString=ENTER\n[PROGRAM]\nAddedString=ENTER\n";

// Whether this process holds a descriptor on the device with that number.
bool HoldsFdOn(dev_t device)
{
    return ProcessHoldsDevice("self", device);
}

class RecoveryPty : public ::testing::Test, protected FakeProgram {
protected:
    RecoveryPty()
        : FakeProgram(TestTempPath("lantorvix-recovery-"), CodePage::cp1252, nullptr,
                      {[] { return CreateCommDevice(); }, CreateDeviceWatch})
    {
        clock = Clock::now();
        std::ofstream(system.settingsFile, std::ios::binary)
            << "[PORT]\nPortNum=NINCS\nPortName=" << link.string() << "\nBaudRate=9600\n"
            << kScanner;
    }

    // The device (re)appears at the link: made beside it, then renamed over it, as udev does.
    void PointLinkAt(const std::string& target)
    {
        fs::create_directories(link.parent_path());
        const fs::path fresh = link.string() + ".new";
        fs::create_symlink(target, fresh);
        fs::rename(fresh, link);
    }

    template <typename Condition> bool Serve(Condition&& condition, std::chrono::milliseconds bound = 10s)
    {
        return dispatcher.ServeUntil(std::forward<Condition>(condition), bound);
    }

    bool TypedBecomes(const std::string& text)
    {
        return Serve([&] { return keyboard.TypedText() == text; });
    }

    const fs::path link = folder / "by-id" / "usb-Scanner_1234-if00";
};

TEST_F(RecoveryPty, FiveUnplugsInACodeEachComeBackAtTheSamePathAndTheNextScanIsTypedWhole)
{
    auto pty = std::make_unique<PtyPair>();
    PointLinkAt(pty->SlavePath());
    system.ports = {{link.string(), link.string()}};
    form->FormCreate();
    ASSERT_TRUE(form->Connected());
    std::string expected;
    for (int cycle = 0; cycle < 5; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        pty->Write("12345"); // the cable comes out in the middle of a code
        ASSERT_TRUE(Serve([&] { return form->ScanBuffer() == "12345"; }));
        const dev_t old = DeviceNumber(pty->SlavePath());
        ASSERT_TRUE(HoldsFdOn(old));
        *clock += 2s; // the scanner was in use for a while: no back-off

        const auto hangUp = Clock::now();
        pty->CloseMaster();
        ASSERT_TRUE(Serve([&] { return !form->Connected(); })) << "the lost port stays open";
        const auto closedAfter = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - hangUp);
        std::cout << "old tty closed " << closedAfter.count() / 1000.0 << " ms after the hang-up\n";
        // Event-driven: anything that waited for the one-second retry would take longer.
        EXPECT_LT(closedAfter, 1s);
        EXPECT_FALSE(HoldsFdOn(old)) << "the vanished tty is still held open";
        fs::remove(link); // udev removes the link with the device
        EXPECT_EQ(form->ScanBuffer(), "");
        EXPECT_FALSE(shell.timer);

        pty = std::make_unique<PtyPair>();
        PointLinkAt(pty->SlavePath());
        ASSERT_TRUE(Serve([&] { return form->Connected(); })) << "not opened again";
        const std::string code = "B" + std::to_string(cycle);
        pty->Write(code + "\r\n");
        expected += code + "\n";
        ASSERT_TRUE(TypedBecomes(expected)) << keyboard.TypedText();
    }
    EXPECT_FALSE(form->WaitingForPort());
    EXPECT_TRUE(shell.boxes.empty());
}

// A box open in the middle of a reception holds up the port's event thread; the vanished tty
// must still be let go at once, or the returning adapter gets a new name.
TEST_F(RecoveryPty, DeviceLostWhileABoxIsOpenInAReceptionIsLetGoAtOnce)
{
    auto pty = std::make_unique<PtyPair>();
    PointLinkAt(pty->SlavePath());
    system.ports = {{link.string(), link.string()}};
    form->FormCreate();
    ASSERT_TRUE(form->Connected());
    *clock += 2s;
    const dev_t old = DeviceNumber(pty->SlavePath());
    bool letGoInTheBox = false;
    shell.onBox = [&](const FakeShell::Box&) {
        const auto hangUp = Clock::now();
        pty->CloseMaster();
        // The box's own loop serves the program meanwhile.
        letGoInTheBox = Serve([&] { return !form->Connected() && !HoldsFdOn(old); });
        const auto after = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - hangUp);
        std::cout << "old tty let go " << after.count() / 1000.0 << " ms after the hang-up, box open\n";
        EXPECT_LT(after, 1s);
        fs::remove(link);
    };
    pty->Write("{ENTER x}\r\n"); // a count that is no number: the general error box
    ASSERT_TRUE(Serve([&] { return !shell.boxes.empty(); }));
    EXPECT_TRUE(letGoInTheBox) << "the vanished tty was held while the box was open";
    shell.onBox = nullptr;

    pty = std::make_unique<PtyPair>();
    PointLinkAt(pty->SlavePath());
    ASSERT_TRUE(Serve([&] { return form->Connected(); })) << "not opened again";
    pty->Write("B7\r\n");
    EXPECT_TRUE(TypedBecomes("B7\n")) << keyboard.TypedText();
}

TEST_F(RecoveryPty, PortAbsentAtStartUpInAFolderNotYetMadeOpensWhenItAppears)
{
    form->FormCreate();
    EXPECT_FALSE(form->Connected());
    EXPECT_TRUE(shell.boxes.empty());
    ASSERT_TRUE(form->WaitingForPort());

    PtyPair pty;
    PointLinkAt(pty.SlavePath()); // makes the folder too, as udev makes /dev/serial/by-id
    ASSERT_TRUE(Serve([&] { return form->Connected(); })) << "not opened when it appeared";
    pty.Write("0042\r\n");
    EXPECT_TRUE(TypedBecomes("42\n")) << keyboard.TypedText();
    EXPECT_FALSE(form->WaitingForPort());
}

} // namespace
} // namespace lantorvix::test
