// Start-up decisions, the exit, the tray, and Apply / Cancel of the settings window.

#include "tform1_fixture.h"

#include "app/program.h"
#include "support/fake_device_watch.h"

namespace lantorvix::test {
namespace {

const char* const kPortError = "Hiba a port nyitásakor!";

TEST_F(TForm1Test, StartWithoutConfiguredPortBringsTheWindowForwardWithoutAMessage)
{
    form->FormCreate();
    EXPECT_FALSE(form->Connected());
    EXPECT_TRUE(shell.boxes.empty());
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"tray add", "foreground"}));
    EXPECT_TRUE(shell.trayIcon);
    EXPECT_FALSE(form->ScanTimedOut());
}

TEST_F(TForm1Test, StartWithAPresentPortOpensItWithTheStoredSpeed)
{
    WriteIni("[PORT]\nPortNum=3\nBaudRate=4800\n");
    form->FormCreate();
    ASSERT_TRUE(form->Connected());
    const auto opens = device->Calls("Open");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].text, "COM3");
    const auto states = device->Calls("SetState");
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back().dcb->BaudRate, 4800u);
    EXPECT_EQ(states.back().dcb->ByteSize, 8);
    EXPECT_EQ(states.back().dcb->StopBits, 0);
    EXPECT_EQ(form->ComPort().Events(), TComEvents{TComEvent::evRxChar});
    EXPECT_TRUE(shell.boxes.empty());
}

TEST_F(TForm1Test, StartWithAPortThatFailsShowsTheErrorThenTheWindow)
{
    WriteIni("[PORT]\nPortNum=3\n");
    form->FormCreate(); // creates the device; fail its next open
    form->ComPort().Close();
    device->Fail("Open", 5);
    shell.boxes.clear();
    shell.calls.clear();
    form->OpenScannerPort();
    EXPECT_FALSE(form->Connected());
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0], (FakeShell::Box{kPortError, "Lantorvix", BoxKind::error}));
    EXPECT_EQ(shell.calls.back(), "foreground");
}

TEST_F(TForm1Test, ConfiguredPortNoLongerPresentSelectsNothingAndOpensNothing)
{
    WriteIni("[PORT]\nPortNum=8\n");
    form->FormCreate();
    EXPECT_EQ(shell.ItemIndex(ComboBox::cmbPort), 0);
    EXPECT_FALSE(form->Connected());
    EXPECT_TRUE(device->Calls("Open").empty());
    EXPECT_TRUE(shell.boxes.empty());
}

TEST_F(TForm1Test, MissingTrayIsNoObstacle)
{
    shell.trayAvailable = false;
    WriteIni("[PORT]\nPortNum=1\n");
    form->FormCreate();
    EXPECT_TRUE(form->Connected());
    EXPECT_TRUE(shell.boxes.empty());
}

TEST_F(TForm1Test, ExitAsksAndOnlyYesEnds)
{
    StartWithPort();
    form->Kilps1Click();
    EXPECT_EQ(shell.boxes.back(),
              (FakeShell::Box{"Biztosan ki akar lépni?", "Lantorvix", BoxKind::yesNoQuestion}));
    EXPECT_FALSE(shell.terminated);
    EXPECT_TRUE(shell.trayIcon);

    shell.answers = {BoxAnswer::yes};
    form->Kilps1Click();
    EXPECT_EQ(std::vector<std::string>(shell.calls.end() - 3, shell.calls.end()),
              (std::vector<std::string>{"tray remove", "process", "terminate"}));
    EXPECT_TRUE(form->Terminated());
    EXPECT_TRUE(form->Connected()) << "the port closes with the form";
}

TEST_F(TForm1Test, ClosingOnlyHidesTheWindowAndKeepsThePort)
{
    StartWithPort();
    shell.ShowWindow();
    shell.UserClose();
    EXPECT_FALSE(shell.windowVisible);
    EXPECT_TRUE(form->Connected());
    TCloseAction action = TCloseAction::caFree;
    form->FormClose(action);
    EXPECT_EQ(action, TCloseAction::caNone);
}

// Without a tray the window is the only way in: the user's close asks the exit question and
// keeps the window unless confirmed, the program's own close only hides, and a second start
// shows the window (with a tray, or after the exit, that second copy warns instead).
TEST_F(TForm1Test, WithoutATrayTheFormKeepsTheWindowReachable)
{
    StartWithPort();
    shell.trayAvailable = false;
    shell.ShowWindow();
    shell.UserClose();
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0].text, "Biztosan ki akar lépni?");
    EXPECT_TRUE(shell.windowVisible) << "\"Nem\" keeps the window";
    form->btnCancelClick();
    EXPECT_FALSE(shell.windowVisible);
    EXPECT_EQ(shell.boxes.size(), 1u) << "the program's own close asks nothing";
    EXPECT_TRUE(form->AnotherCopyStarted());
    EXPECT_TRUE(shell.windowVisible);
    shell.trayAvailable = true;
    EXPECT_FALSE(form->AnotherCopyStarted());
    shell.trayAvailable = false;
    shell.answers = {BoxAnswer::yes};
    shell.UserClose();
    EXPECT_TRUE(form->Terminated());
    EXPECT_FALSE(form->AnotherCopyStarted());
}

TEST_F(TForm1Test, TrayNotificationsAndMenu)
{
    StartWithPort();
    form->TrayIconNotify(TrayClick::other);
    EXPECT_TRUE(shell.calls.empty());
    form->TrayIconNotify(TrayClick::leftDoubleClick);
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"foreground", "process", "show"}));
    shell.calls.clear();
    form->TrayIconNotify(TrayClick::rightButtonDown);
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"foreground", "process", "tray menu"}));
    shell.windowVisible = false;
    form->Belltsok1Click();
    EXPECT_TRUE(shell.windowVisible);
    form->Image1Click();
    EXPECT_EQ(shell.calls.back(), "url https://maker.example/");
}

TEST_F(TForm1Test, ApplyWithAPortReopensSavesWritesAutostartAndHides)
{
    StartWithPort();
    shell.ShowWindow();
    shell.UserSelect(ComboBox::cmbPort, 1); // COM1
    shell.UserSelect(ComboBox::cmbBaud, 4); // 19200
    shell.UserSelect(ComboBox::cmbStop, 1);
    shell.SetChecked(CheckBox::ChkAutoRun, true);
    device->ClearCalls();
    shell.UserClick([](TForm1& f) { f.btnOKClick(); });
    const auto names = device->CallNames();
    const auto close = std::find(names.begin(), names.end(), "Close");
    EXPECT_LT(close - names.begin(), std::find(names.begin(), names.end(), "Open") - names.begin())
        << "closed before reopening";
    ASSERT_EQ(device->Calls("Open").size(), 1u);
    EXPECT_EQ(device->Calls("Open")[0].text, "COM1");
    EXPECT_EQ(device->Calls("SetState").back().dcb->BaudRate, 19200u);
    EXPECT_TRUE(form->Connected());
    const IniFile ini(system.settingsFile);
    EXPECT_EQ(ini.ReadString("PORT", "PortNum", ""), "1");
    EXPECT_EQ(ini.ReadString("PORT", "BaudRate", ""), "19200");
    EXPECT_EQ(ini.ReadString("SCANNER", "StopString", ""), "CR");
    EXPECT_EQ(system.autostart, system.exePath);
    EXPECT_FALSE(shell.windowVisible);
    EXPECT_TRUE(shell.boxes.empty());
}

TEST_F(TForm1Test, ApplyWithAPortThatFailsKeepsTheWindowAndTheOldFile)
{
    StartWithPort();
    const std::string before = ReadIni();
    shell.ShowWindow();
    shell.UserSelect(ComboBox::cmbPort, 1);
    device->Fail("Open", 5);
    shell.UserClick([](TForm1& f) { f.btnOKClick(); });
    EXPECT_FALSE(form->Connected());
    EXPECT_EQ(shell.BoxTexts(), (std::vector<std::string>{kPortError}));
    EXPECT_TRUE(shell.windowVisible);
    EXPECT_EQ(ReadIni(), before);
    EXPECT_FALSE(system.autostart.has_value());
    EXPECT_EQ(form->Settings().PortName, "COM1") << "the choice stays";
}

TEST_F(TForm1Test, ApplyWithNoPortAsksFirst)
{
    StartWithPort();
    const std::string before = ReadIni();
    shell.ShowWindow();
    shell.UserSelect(ComboBox::cmbPort, 0);
    shell.UserClick([](TForm1& f) { f.btnOKClick(); }); // answered No
    EXPECT_EQ(shell.boxes.back(), (FakeShell::Box{"Nem adott meg portot!\r\nBiztos menteni akar?",
                                                  "Lantorvix", BoxKind::yesNoWarning}));
    EXPECT_TRUE(form->Connected());
    EXPECT_EQ(ReadIni(), before);
    EXPECT_TRUE(shell.windowVisible);

    shell.answers = {BoxAnswer::yes};
    shell.SetChecked(CheckBox::ChkAutoRun, true);
    shell.UserClick([](TForm1& f) { f.btnOKClick(); });
    EXPECT_FALSE(form->Connected());
    EXPECT_EQ(IniFile(system.settingsFile).ReadString("PORT", "PortNum", ""), "NINCS");
    EXPECT_EQ(system.autostart, system.exePath);
    EXPECT_FALSE(shell.windowVisible);
}

TEST_F(TForm1Test, CancelKeepsChoicesInMemoryOnly)
{
    StartWithPort();
    const std::string before = ReadIni();
    shell.ShowWindow();
    shell.UserSelect(ComboBox::cmbStop, 1);
    shell.UserClick([](TForm1& f) { f.btnCancelClick(); });
    EXPECT_FALSE(shell.windowVisible);
    EXPECT_EQ(form->Settings().StopString, "\r");
    EXPECT_EQ(shell.ItemIndex(ComboBox::cmbStop), 1);
    EXPECT_EQ(ReadIni(), before);
    form->FormShow();
    EXPECT_EQ(shell.ItemIndex(ComboBox::cmbStop), 1) << "showing does not reload";
}

TEST_F(TForm1Test, UnwritableSettingsFileStopsApplyInTheGeneralErrorBox)
{
    StartWithPort();
    // A folder that cannot be made: a file holds its name.
    std::ofstream(folder / "not-a-folder") << "x";
    system.settingsFile = (folder / "not-a-folder" / "Lantorvix.ini").string();
    shell.ShowWindow();
    shell.UserClick([](TForm1& f) { f.btnOKClick(); });
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0].text, "Unable to write to " + system.settingsFile + ".");
    EXPECT_EQ(shell.boxes[0].kind, BoxKind::error);
    EXPECT_EQ(shell.boxes[0].caption, form->Title());
    EXPECT_FALSE(system.autostart.has_value());
    EXPECT_TRUE(shell.windowVisible);
}

TEST_F(TForm1Test, AutostartStoreThatCannotBeOpenedIsReportedAndApplyGoesOn)
{
    StartWithPort();
    system.autostartWritable = false;
    shell.ShowWindow();
    shell.UserClick([](TForm1& f) { f.btnOKClick(); });
    EXPECT_EQ(shell.boxes.back(),
              (FakeShell::Box{"Hiba a regisztrációs adatbázis írásakor!", "Lantorvix", BoxKind::error}));
    EXPECT_FALSE(shell.windowVisible);
}

TEST_F(TForm1Test, AutostartValueThatCannotBeSetStopsApply)
{
    StartWithPort();
    system.autostartSetFails = true;
    shell.SetChecked(CheckBox::ChkAutoRun, true);
    shell.ShowWindow();
    shell.UserClick([](TForm1& f) { f.btnOKClick(); });
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0].text, "Failed to set data for '" + form->Title() + "'");
    EXPECT_TRUE(shell.windowVisible);
}

// The program entry over the fakes; `made` counts the keyboards and devices it asked for.
ProgramParts FakeParts(FakeShell& shell, FakeSystem& system, int& made)
{
    return {shell,
            system,
            [](MainThreadDispatcher&) { return std::unique_ptr<Waker>(); },
            [&made](CodePage, MessageBoxHandler) {
                ++made;
                return std::make_unique<RecordingKeyboard>();
            },
            [&made] {
                ++made;
                return std::make_unique<FakeCommDevice>();
            },
            [](MainThreadDispatcher&) { return std::make_unique<FakeDeviceWatch>(); },
            ""};
}

TEST(ProgramEntry, SecondCopyShowsTheWarningAndCreatesNothing)
{
    FakeShell shell;
    FakeSystem system;
    system.singleInstanceFree = false;
    int made = 0;
    EXPECT_EQ(RunProgram(FakeParts(shell, system, made)), 0);
    EXPECT_EQ(made, 0);
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0].text,
              "A Lantorvix.exe már fut!\r\n\r\nA programot nem lehet több példányban indítani!\r\n");
    EXPECT_EQ(shell.boxes[0].kind, BoxKind::warning);
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"box " + shell.boxes[0].text}));

    // Without a tray the running copy shows its window instead, and the warning is not due.
    shell.boxes.clear();
    shell.runningCopyShows = true;
    EXPECT_EQ(RunProgram(FakeParts(shell, system, made)), 0);
    EXPECT_TRUE(shell.boxes.empty());
    EXPECT_EQ(made, 0);
}

TEST_F(TForm1Test, ProgramEntryShowsTheWindowOnlyWithoutAnOpenPort)
{
    FakeShell entryShell;
    int made = 0;
    auto run = [&](ProgramParts parts) {
        entryShell.calls.clear();
        RunProgram(parts);
        EXPECT_EQ(entryShell.Attached(), nullptr) << "the form is gone";
    };
    run(FakeParts(entryShell, system, made));
    EXPECT_EQ(entryShell.calls, (std::vector<std::string>{"tray add", "foreground", "show", "loop"}));
    WriteIni("[PORT]\nPortNum=1\n");
    run(FakeParts(entryShell, system, made));
    EXPECT_EQ(entryShell.calls, (std::vector<std::string>{"tray add", "loop"}));
    // Without a tray the window is the only way to reach the program.
    entryShell.trayAvailable = false;
    run(FakeParts(entryShell, system, made));
    EXPECT_EQ(entryShell.calls, (std::vector<std::string>{"tray add", "show", "loop"}));
    entryShell.trayAvailable = true;

    // No way to type on this machine: said once, and the program still reads the scanner.
    ProgramParts noKeyboard = FakeParts(entryShell, system, made);
    noKeyboard.createKeyboard = [](CodePage, MessageBoxHandler) -> std::unique_ptr<KeyboardPlatform> {
        throw Exception("no X display and no /dev/uinput");
    };
    run(noKeyboard);
    EXPECT_EQ(entryShell.calls,
              (std::vector<std::string>{"box no X display and no /dev/uinput.", "tray add", "loop"}));
}

} // namespace
} // namespace lantorvix::test

namespace lantorvix::test {
namespace {

TEST_F(TForm1Test, GeneralErrorBoxShowsCodePageTextsInUtf8)
{
    form->RunHandler([] { throw Exception("Hiba a port nyit\xe1s\xe1n"); }); // code page 1250
    form->RunHandler([] { throw Exception("m\xc3\xa1r UTF-8!"); });
    // 1250 bytes that look like a UTF-8 surrogate are still 1250.
    form->RunHandler([] { throw Exception("\xed\xa0\x80"); });
    EXPECT_EQ(shell.BoxTexts(),
              (std::vector<std::string>{"Hiba a port nyitásán.", "már UTF-8!", "í\u00a0€."}));
    EXPECT_EQ(shell.boxes[0].caption, "lantorvix");
    EXPECT_EQ(shell.boxes[0].kind, BoxKind::error);
}

} // namespace
} // namespace lantorvix::test
