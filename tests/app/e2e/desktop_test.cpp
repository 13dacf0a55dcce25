// The real `lantorvix` on a private X server with a tray host (or, where the desktop has
// none, without one), reading the scanner simulator's pseudo-terminal and typing into a
// receiver window through XTest.

#include "child_process.h"
#include "desktop_session.h"
#include "x_probe.h"

#include "support/file_bytes.h"
#include "support/test_temp_path.h"
#include "support/wait_until.h"
#include "support/xvfb_server.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace lantorvix::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class DesktopTest : public ::testing::Test {
protected:
    DesktopTest() : probe(xvfb.Display()) {}

    ~DesktopTest() override
    {
        app.reset();
        second.reset();
        simulator.reset();
        receiver.reset();
        trayer.reset();
    }

    void StartTrayHost() { test::StartTrayHost(env, probe, trayer); }

    void StartReceiver() { test::StartReceiver(env, probe, receiver, receiverWindow); }

    void StartSimulator()
    {
        ptyPath = test::StartSimulator(env, LANTORVIX_SIMULATOR, true, simulator);
        ASSERT_FALSE(ptyPath.empty());
    }

    void WriteIni(const std::string& scannerAndProgram)
    {
        std::ofstream(folder / "work" / "Lantorvix.ini")
            << "[PORT]\nPortNum=NINCS\nPortName=" << ptyPath << "\nBaudRate=9600\n"
            << scannerAndProgram;
    }

    std::unique_ptr<ChildProcess> StartProgram()
    {
        return std::make_unique<ChildProcess>(
            ChildProcess::Options{{LANTORVIX_EXE}, env, (folder / "work").string(), false, false});
    }

    // The program in the tray with its port open.
    void StartInTray(const std::string& scannerAndProgram)
    {
        StartTrayHost();
        StartSimulator();
        WriteIni(scannerAndProgram);
        app = StartProgram();
        ASSERT_TRUE(WaitUntil([&] { return probe.EmbeddedWindows("lantorvix").size() == 1; }, 20s))
            << "no tray icon";
    }

    // The program with its port open on a desktop without a tray: its window must show.
    XProbe::Window StartWithoutTray()
    {
        StartSimulator();
        WriteIni("[SCANNER]\nStopString=ENTER\n[PROGRAM]\nAddedString=ENTER\nDiscardNull=1\n");
        app = StartProgram();
        const auto window = probe.WaitForWindowNamed(kSettingsWindowTitle, 20s);
        EXPECT_TRUE(window) << "no settings window at start without a tray";
        return window.value_or(0);
    }

    XProbe::Rect TrayIcon()
    {
        const auto icons = probe.EmbeddedWindows("lantorvix");
        EXPECT_EQ(icons.size(), 1u);
        return icons.empty() ? XProbe::Rect{} : probe.Geometry(icons.front());
    }

    void RightClickTrayIcon()
    {
        const auto r = TrayIcon();
        probe.MoveTo(r.x + r.width / 2, r.y + r.height / 2);
        probe.Click(3);
    }

    std::optional<XProbe::Window> AwaitMenu()
    {
        std::optional<XProbe::Window> menu;
        WaitUntil(
            [&] {
                for (auto w : probe.TopLevelWindows("lantorvix")) {
                    if (probe.WindowsNamed(kSettingsWindowTitle).empty() ||
                        w != probe.WindowsNamed(kSettingsWindowTitle)[0]) {
                        menu = w;
                    }
                }
                return menu.has_value();
            },
            10s);
        return menu;
    }

    // Presses keys on a box until the process that showed it has ended: the first press can
    // come before the box has taken the keyboard focus.
    int AnswerBox(XProbe::Window box, ChildProcess& owner, const std::function<void()>& press)
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            probe.Focus(box);
            press();
            const int status = owner.Wait(1s);
            if (!owner.Running()) {
                return status;
            }
        }
        return -1;
    }

    // A picture of the whole screen beside the test, for finding out what went wrong.
    void SaveScreen(const std::string& name)
    {
        RunProgram({"import", "-display", xvfb.Display(), "-window", "root",
                    (fs::path(LANTORVIX_ARTIFACTS) / (name + ".png")).string()},
                   20);
    }

    XvfbServer xvfb;
    XProbe probe;
    DesktopFolder testFolder{TestTempPath("lantorvix-e2e-")};
    const fs::path folder = testFolder.Path();
    std::map<std::string, std::string> env = testFolder.DesktopEnvironment(xvfb.Display());
    std::unique_ptr<ChildProcess> trayer, receiver, simulator, app, second;
    XProbe::Window receiverWindow = 0;
    std::string ptyPath;
};

TEST_F(DesktopTest, ScansArriveWholeAndInOrderWithEnter)
{
    StartReceiver();
    StartInTray("[SCANNER]\nStopString=ENTER\n[PROGRAM]\nAddedString=ENTER\nDiscardNull=1\n");
    EXPECT_TRUE(probe.WindowsNamed(kSettingsWindowTitle).empty())
        << "with the port open the window stays hidden";
    // The simulator sends once the program's port is open and emptied: the burst is the
    // first reception.
    probe.Focus(receiverWindow);
    const std::vector<std::string> codes = {"ABC123", "0042", "hello world", "x-1/2", "9780201633610"};
    std::string burst;
    for (const auto& c : codes) {
        burst += c + "\n";
    }
    simulator->Write(burst);
    const std::vector<std::string> expected = {"ABC123<ENTER>", "42<ENTER>", "hello world<ENTER>",
                                               "x-1/2<ENTER>", "9780201633610<ENTER>"};
    for (const auto& e : expected) {
        EXPECT_EQ(receiver->ReadLine(10s), e);
    }
}

TEST_F(DesktopTest, TabIsTypedAfterEachCode)
{
    StartReceiver();
    StartInTray("[PROGRAM]\nAddedString=TAB\nDiscardNull=0\n");
    probe.Focus(receiverWindow);
    simulator->Write("007\nA1\nB2\n");
    EXPECT_EQ(receiver->ReadLine(10s), "007<TAB>");
    EXPECT_EQ(receiver->ReadLine(10s), "A1<TAB>");
    EXPECT_EQ(receiver->ReadLine(10s), "B2<TAB>");
}

TEST_F(DesktopTest, TrayMenuShowsTheWindowAndExitEndsTheProgram)
{
    StartInTray("");
    RightClickTrayIcon();
    auto menu = AwaitMenu();
    ASSERT_TRUE(menu) << "the tray menu did not open";
    auto m = probe.Geometry(*menu);
    probe.MoveTo(m.x + m.width / 2, m.y + 12); // "Beállítások"
    probe.Click(1);
    ASSERT_TRUE(probe.WaitForWindowNamed(kSettingsWindowTitle, 10s)) << "the settings window was not shown";

    RightClickTrayIcon();
    menu = AwaitMenu();
    ASSERT_TRUE(menu);
    m = probe.Geometry(*menu);
    probe.MoveTo(m.x + m.width / 2, m.y + m.height - 12); // "Kilépés"
    probe.Click(1);
    const auto question = probe.WaitForWindowNamed("Lantorvix", 10s);
    ASSERT_TRUE(question) << "no exit question";
    // "&Yes"; the default button is "No".
    const int status = AnswerBox(*question, *app, [&] { probe.Chord("Alt_L", "y"); });
    if (status != 0) {
        SaveScreen("exit_failure");
    }
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(WaitUntil([&] { return probe.EmbeddedWindows("lantorvix").empty(); }, 10s));
}

TEST_F(DesktopTest, SecondStartWarnsAndLeavesOneIcon)
{
    StartInTray("");
    second = StartProgram();
    const auto box = probe.WaitForWindowNamed("Lantorvix", 15s);
    ASSERT_TRUE(box) << "no warning from the second copy";
    EXPECT_EQ(probe.EmbeddedWindows("lantorvix").size(), 1u);
    EXPECT_EQ(AnswerBox(*box, *second, [&] { probe.Key("Return"); }), 0);
    EXPECT_EQ(probe.EmbeddedWindows("lantorvix").size(), 1u);
    EXPECT_TRUE(app->Running());
}

TEST_F(DesktopTest, ApplyWithAChangedStopStringWritesTheFileAndTheWindowHasItsGeometry)
{
    StartInTray("[SCANNER]\nStopString=ENTER\n");
    const auto window = OpenSettingsFromTray(probe);
    ASSERT_TRUE(window);
    const auto g = probe.Geometry(*window);
    EXPECT_EQ(g.width, 337);
    EXPECT_EQ(g.height, 212);

    const fs::path shot = fs::path(LANTORVIX_ARTIFACTS) / "settings_window_x11.png";
    ASSERT_TRUE(WaitUntil(
        [&] {
            fs::remove(shot);
            std::ostringstream id;
            id << "0x" << std::hex << *window;
            return RunProgram({"import", "-display", xvfb.Display(), "-window", id.str(), shot.string()},
                              20) == 0;
        },
        20s));
    QImage image(QString::fromStdString(shot.string()));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(337, 212));
    const QColor face = image.pixelColor(3, 3);
    // Every control's rectangle in the window (an auto-sized label's has no width) holds
    // something drawn; the gaps between them are bare.
    for (const ControlLayout& c : FormControls()) {
        const QRect r = QRect(c.left, c.top, c.width, c.height).intersected(image.rect());
        if (r.isEmpty()) {
            continue;
        }
        bool drawn = false;
        for (int y = r.top(); y <= r.bottom() && !drawn; ++y) {
            for (int x = r.left(); x <= r.right() && !drawn; ++x) {
                drawn = image.pixelColor(x, y) != face;
            }
        }
        EXPECT_TRUE(drawn) << "nothing drawn in " << c.name;
    }
    for (const QPoint gap : {QPoint(82, 58), QPoint(160, 58), QPoint(90, 170), QPoint(320, 170),
                             QPoint(5, 205), QPoint(168, 175)}) {
        EXPECT_EQ(image.pixelColor(gap), face) << "something drawn at " << gap.x() << "," << gap.y();
    }

    // The keyboard walks the tab order to "Lezáró karakter" and picks "CR"; then "Alkalmaz".
    probe.Focus(*window);
    for (int i = 0; i < 6; ++i) {
        probe.Key("Tab");
    }
    probe.Key("Down");
    ClickControl(probe, *window, cid::btnOK);
    const fs::path ini = folder / "work" / "Lantorvix.ini";
    EXPECT_TRUE(WaitUntil([&] { return ReadBytes(ini).find("StopString=CR") != std::string::npos; }, 10s))
        << ReadBytes(ini);
    EXPECT_TRUE(WaitUntil([&] { return probe.WindowsNamed(kSettingsWindowTitle).empty(); }, 10s))
        << "the window stays after a successful Apply";
    EXPECT_NE(ReadBytes(ini).find("PortName=" + ptyPath), std::string::npos);
}

// Without a tray the window is the program's only face: shown at start although the port
// opened, brought back by a second start, and its close button ends the program.
TEST_F(DesktopTest, WithoutATrayTheWindowShowsAtStartAndScansArrive)
{
    StartReceiver();
    const auto window = StartWithoutTray();
    ASSERT_NE(window, 0u);
    probe.Focus(receiverWindow);
    simulator->Write("A-1\n0042\n");
    EXPECT_EQ(receiver->ReadLine(10s), "A-1<ENTER>");
    EXPECT_EQ(receiver->ReadLine(10s), "42<ENTER>");
    EXPECT_TRUE(probe.WindowsNamed("Lantorvix").empty()) << "a box at start";
}

TEST_F(DesktopTest, WithoutATrayASecondStartBringsTheWindowBackWithoutAWarning)
{
    const auto window = StartWithoutTray();
    ASSERT_NE(window, 0u);
    ClickControl(probe, window, cid::btnCancel); // "Mégse" only hides the window
    ASSERT_TRUE(WaitUntil([&] { return probe.WindowsNamed(kSettingsWindowTitle).empty(); }, 10s));
    ASSERT_TRUE(app->Running());

    second = StartProgram();
    EXPECT_EQ(second->Wait(15s), 0);
    EXPECT_FALSE(second->Running()) << "the second copy waits (on a warning box?)";
    EXPECT_TRUE(probe.WaitForWindowNamed(kSettingsWindowTitle, 10s)) << "the window did not come back";
    EXPECT_TRUE(probe.WindowsNamed("Lantorvix").empty()) << "a warning box";
    EXPECT_TRUE(app->Running());
}

TEST_F(DesktopTest, WithoutATrayClosingTheWindowAsksAndEndsTheProgram)
{
    const auto window = StartWithoutTray();
    ASSERT_NE(window, 0u);
    probe.RequestClose(window);
    auto question = probe.WaitForWindowNamed("Lantorvix", 10s);
    ASSERT_TRUE(question) << "no exit question";
    // "No", the default, leaves the program and its window as they were.
    for (int attempt = 0; attempt < 20 && !probe.WindowsNamed("Lantorvix").empty(); ++attempt) {
        probe.Focus(*question);
        probe.Key("Return");
        WaitUntil([&] { return probe.WindowsNamed("Lantorvix").empty(); }, 1s);
    }
    ASSERT_TRUE(probe.WindowsNamed("Lantorvix").empty());
    EXPECT_TRUE(app->Running());
    EXPECT_EQ(probe.WindowsNamed(kSettingsWindowTitle).size(), 1u) << "the window went away after No";

    probe.RequestClose(window);
    question = probe.WaitForWindowNamed("Lantorvix", 10s);
    ASSERT_TRUE(question) << "no exit question the second time";
    EXPECT_EQ(AnswerBox(*question, *app, [&] { probe.Chord("Alt_L", "y"); }), 0);
}

// A tray that comes later (the extension switched on) takes the icon, and the tray's rules
// apply from then on: the close button only hides the window.
TEST_F(DesktopTest, ATrayThatComesLaterTakesTheIcon)
{
    const auto window = StartWithoutTray();
    ASSERT_NE(window, 0u);
    StartTrayHost();
    ASSERT_TRUE(WaitUntil([&] { return probe.EmbeddedWindows("lantorvix").size() == 1; }, 20s))
        << "no icon in the tray that came";
    probe.RequestClose(window);
    EXPECT_TRUE(WaitUntil([&] { return probe.WindowsNamed(kSettingsWindowTitle).empty(); }, 10s));
    EXPECT_TRUE(probe.WindowsNamed("Lantorvix").empty()) << "a box on closing with a tray";
    EXPECT_TRUE(app->Running());
}

} // namespace
} // namespace lantorvix::test
