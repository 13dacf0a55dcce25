// Recovery over the fakes: a port whose device goes away is closed at once, the cut-off code
// is dropped, and the same port is opened again on the watch's next chance, silently; an
// explicit choice or the exit ends the wait. The same wait covers a port absent at start-up.

#include "tform1_fixture.h"

#include <map>

namespace lantorvix::test {
namespace {

using namespace std::chrono_literals;

const std::string kScanner = "[SCANNER]\nStopString=ENTER\n[PROGRAM]\nAddedString=ENTER\n";

class Recovery : public TForm1Test {
protected:
    // The device goes in the middle of a code: the event thread's next wait is refused.
    void LoseDeviceInACode()
    {
        StartWithPort(kScanner);
        Receive("12345");
        ASSERT_TRUE(shell.timer);
        *clock += 1min; // in use for a while: the loss is no sign of a failing device
        device->PushWaitResult({EventWaitStatus::refused, 0, oserr::GEN_FAILURE});
        ASSERT_TRUE(dispatcher.ServeUntil([&] { return !form->Connected(); }, 10s)) << "the port stays open";
    }
};

TEST_F(Recovery, LostDeviceIsClosedAtOnceAndTheCutOffCodeIsNeverJoinedToTheNextScan)
{
    LoseDeviceInACode();
    EXPECT_FALSE(device->IsOpen());
    EXPECT_EQ(form->ScanBuffer(), "");
    EXPECT_FALSE(shell.timer);
    EXPECT_EQ(watch->watched, "COM3");

    ASSERT_TRUE(watch->Chance());
    EXPECT_TRUE(form->Connected());
    EXPECT_FALSE(watch->Watching()) << "a watch left running after the return";
    Receive("B2\r\n");
    EXPECT_EQ(keyboard.TypedText(), "B2\n");
    EXPECT_TRUE(shell.boxes.empty());
}

TEST_F(Recovery, FailedReopenIsSilentAndTheNextChanceTriesAgain)
{
    LoseDeviceInACode();
    device->FailOnce("Open", oserr::ACCESS_DENIED); // there, but udev still sets its permissions
    ASSERT_TRUE(watch->Chance());
    EXPECT_FALSE(form->Connected());
    EXPECT_TRUE(watch->Watching());
    ASSERT_TRUE(watch->Chance());
    EXPECT_TRUE(form->Connected());
    EXPECT_TRUE(shell.boxes.empty());
}

struct Choice {
    const char* name;
    int portItem; // 0 "NINCS", 1 COM1
};

class RecoveryChoice : public Recovery, public ::testing::WithParamInterface<Choice> {};

TEST_P(RecoveryChoice, AnAppliedChoiceEndsTheWait)
{
    LoseDeviceInACode();
    shell.answers = {BoxAnswer::yes};
    shell.UserSelect(ComboBox::cmbPort, GetParam().portItem);
    shell.UserClick([](TForm1& f) { f.btnOKClick(); });
    EXPECT_FALSE(watch->Watching());
    EXPECT_EQ(form->Connected(), GetParam().portItem != 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, RecoveryChoice,
                         ::testing::Values(Choice{"NoPort", 0}, Choice{"AnotherPort", 1}),
                         [](const auto& p) { return std::string(p.param.name); });

// Windows tells of a removed device before the driver fails the port's wait.
TEST_F(Recovery, TheSystemsRemovalNoticeClosesThePortAtOnceAndTheWaitBegins)
{
    StartWithPort(kScanner);
    EXPECT_EQ(watch->removalWatched, "COM3");
    Receive("12345");
    ASSERT_TRUE(watch->Removed());
    EXPECT_FALSE(form->Connected());
    EXPECT_FALSE(device->IsOpen());
    EXPECT_EQ(form->ScanBuffer(), "");
    EXPECT_TRUE(watch->Watching());
    ASSERT_TRUE(watch->Chance());
    EXPECT_TRUE(form->Connected());
}

TEST_F(Recovery, ExitEndsTheWait)
{
    LoseDeviceInACode();
    shell.answers = {BoxAnswer::yes};
    shell.UserClick([](TForm1& f) { f.Kilps1Click(); });
    EXPECT_TRUE(form->Terminated());
    EXPECT_FALSE(watch->Watching());
}

TEST_F(Recovery, PortAbsentAtStartUpIsOpenedWhenItAppearsWithTheStoredSettings)
{
    WriteIni("[PORT]\nPortNum=7\nBaudRate=4800\n" + kScanner);
    form->FormCreate();
    EXPECT_FALSE(form->Connected());
    EXPECT_TRUE(shell.boxes.empty());
    EXPECT_EQ(shell.ItemIndex(ComboBox::cmbPort), 0);
    EXPECT_EQ(watch->watched, "COM7");

    ASSERT_TRUE(watch->Chance());
    ASSERT_TRUE(form->Connected());
    EXPECT_EQ(device->Calls("Open").back().text, "COM7");
    EXPECT_EQ(device->Calls("SetState").back().dcb->BaudRate, 4800u);
    Receive("42\r\n");
    EXPECT_EQ(keyboard.TypedText(), "42\n");
}

TEST_F(Recovery, NoPortConfiguredWatchesNothing)
{
    form->FormCreate();
    EXPECT_FALSE(watch->Watching());
    EXPECT_EQ(shell.portStatus, "");
}

// Autostart before the scanner: once it opens by itself the list shows it, so an untouched
// "Alkalmaz" keeps it instead of asking about "NINCS".
TEST_F(Recovery, PortOpenedByItselfIsSelectedAndAnUntouchedApplyKeepsIt)
{
    system.ports.pop_back(); // COM3 not plugged in yet
    WriteIni("[PORT]\nPortNum=3\n" + kScanner);
    form->FormCreate();
    ASSERT_EQ(shell.ItemIndex(ComboBox::cmbPort), 0);
    EXPECT_NE(shell.portStatus.find("COM3"), std::string::npos) << shell.portStatus;

    system.ports.push_back({"/sys/devices/platform/usb1/ttyUSB0", "COM3"});
    ASSERT_TRUE(watch->Chance());
    ASSERT_TRUE(form->Connected());
    EXPECT_EQ(shell.ItemText(ComboBox::cmbPort, shell.ItemIndex(ComboBox::cmbPort)), "COM3");
    EXPECT_EQ(shell.ItemCount(ComboBox::cmbPort), 3) << "the list was added to, not rebuilt";
    EXPECT_EQ(shell.portStatus, "");

    shell.answers = {BoxAnswer::yes};
    shell.UserClick([](TForm1& f) { f.btnOKClick(); });
    EXPECT_TRUE(shell.boxes.empty()) << shell.BoxTexts()[0];
    EXPECT_TRUE(form->Connected());
    EXPECT_NE(ReadIni().find("PortNum=3"), std::string::npos) << ReadIni();
    Receive("77\r\n");
    EXPECT_EQ(keyboard.TypedText(), "77\n");
}

TEST_F(Recovery, ShowingTheWindowListsAPortThatAppearedAndKeepsAnUnappliedChoice)
{
    system.ports.pop_back();
    form->FormCreate();
    shell.UserSelect(ComboBox::cmbPort, 1); // COM1, not applied
    system.ports.push_back({"/sys/devices/platform/usb9/ttyUSB9", "COM9"});
    shell.UserClick([](TForm1& f) { f.FormShow(); });
    ASSERT_EQ(shell.ItemCount(ComboBox::cmbPort), 3);
    EXPECT_EQ(shell.ItemText(ComboBox::cmbPort, 2), "COM9");
    EXPECT_EQ(shell.ItemIndex(ComboBox::cmbPort), 1);
}

// "Alkalmaz" while the scanner is out: the box as before, then the wait goes on.
TEST_F(Recovery, ApplyWhoseOpenFailedShowsTheBoxAndStillOpensThePortWhenItIsBack)
{
    LoseDeviceInACode();
    device->Fail("Open", oserr::FILE_NOT_FOUND);
    shell.UserSelect(ComboBox::cmbPort, 2); // the same COM3
    shell.UserClick([](TForm1& f) { f.btnOKClick(); });
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_FALSE(form->Connected());
    ASSERT_TRUE(watch->Watching()) << "the wait ended with the box";
    EXPECT_EQ(watch->watched, "COM3");

    device->ClearFailures();
    *clock += 10s;
    ASSERT_TRUE(watch->Chance());
    ASSERT_TRUE(form->Connected());
    Receive("B2\r\n");
    EXPECT_EQ(keyboard.TypedText(), "B2\n");
}

// A port that never opens (no permission, held by another program) is tried less and less
// often, and the status says the scanner is not connected.
TEST_F(Recovery, AFailingPortIsTriedAFewTimesASecondAtMostAndTheStatusSaysSo)
{
    LoseDeviceInACode();
    device->ClearCalls();
    device->Fail("Open", oserr::ACCESS_DENIED);
    EXPECT_NE(shell.portStatus.find("COM3"), std::string::npos) << shell.portStatus;
    for (int tick = 0; tick < 300; ++tick) { // 30 s of chances every 100 ms
        ASSERT_TRUE(watch->Chance());
        *clock += 100ms;
    }
    EXPECT_LE(device->CallCount("Open"), 12u);
    EXPECT_GE(device->CallCount("Open"), 5u) << "given up";
    EXPECT_TRUE(shell.boxes.empty());

    device->ClearFailures();
    for (int tick = 0; tick < 50 && !form->Connected(); ++tick) {
        ASSERT_TRUE(watch->Chance());
        *clock += 100ms;
    }
    EXPECT_TRUE(form->Connected()) << "not tried again within 5 s";
    EXPECT_EQ(shell.portStatus, "");
}

// A device that opens and fails at once: every loss is retried sooner than a second only at
// first.
TEST_F(Recovery, ADeviceLostAtOnceAfterEachOpenIsReopenedAFewTimesASecondAtMost)
{
    LoseDeviceInACode();
    device->ClearCalls();
    for (int tick = 0; tick < 1000; ++tick) { // 10 s of chances every 10 ms
        ASSERT_TRUE(watch->Chance());
        if (form->Connected()) {
            form->ComPortDeviceLost();
        }
        *clock += 10ms;
    }
    EXPECT_LE(device->CallCount("Open"), 10u);
    EXPECT_GE(device->CallCount("Open"), 3u);
}

struct Replug {
    const char* name;
    std::map<std::string, std::string> devices; // after the loss
    std::string opened;                         // empty: nothing opened
};

class RecoveryIdentity : public Recovery, public ::testing::WithParamInterface<Replug> {};

// A kernel name goes to whatever device comes next: only the scanner is opened, under
// whichever name it got.
TEST_P(RecoveryIdentity, OnlyTheSameDeviceIsOpened)
{
    identity.devices = {{"COM3", "0403:6001 SCAN1"}};
    LoseDeviceInACode();
    identity.devices = GetParam().devices;
    device->ClearCalls();
    ASSERT_TRUE(watch->Chance());
    if (GetParam().opened.empty()) {
        EXPECT_FALSE(form->Connected());
        EXPECT_EQ(device->CallCount("Open"), 0u);
        EXPECT_TRUE(watch->Watching());
    } else {
        ASSERT_TRUE(form->Connected());
        EXPECT_EQ(device->Calls("Open").back().text, GetParam().opened);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecoveryIdentity,
    ::testing::Values(Replug{"SameNameSameDevice", {{"COM3", "0403:6001 SCAN1"}}, "COM3"},
                      Replug{"NewName", {{"COM3", "067b:2303 OTHER"}, {"COM4", "0403:6001 SCAN1"}}, "COM4"},
                      Replug{"AnotherDeviceAtTheName", {{"COM3", "067b:2303 OTHER"}}, ""}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace lantorvix::test
