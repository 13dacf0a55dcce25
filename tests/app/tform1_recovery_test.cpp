// Recovery over the fakes: a port whose device goes away is closed at once, the cut-off code
// is dropped, and the same port is opened again on the watch's next chance, silently; an
// explicit choice or the exit ends the wait. The same wait covers a port absent at start-up.

#include "tform1_fixture.h"

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
}

} // namespace
} // namespace lantorvix::test
