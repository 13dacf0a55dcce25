// The real `lantorvix` in a headless sway session without access to /dev/uinput, reading
// the scanner simulator's pseudo-terminal and typing into a native Wayland receiver, on the
// user's layouts. A keyboard of the test's own stands for the user's: it types before and
// after each code, proving the layout is in force and comes back.

#include "child_process.h"
#include "desktop_session.h"
#include "sway_session.h"

#include "support/test_temp_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace lantorvix::test {
namespace {

using namespace std::chrono_literals;

struct LayoutCase {
    std::string layout;
    std::string variant;
    std::string probe; // what the user's key right of T types on this layout
};

void PrintTo(const LayoutCase& c, std::ostream* os)
{
    *os << c.layout;
}

class WaylandDesktopTest : public ::testing::TestWithParam<LayoutCase> {};

constexpr std::uint16_t kKeyRightOfT = 21;
constexpr std::uint16_t kKeyEnter = 28;

// Every printable ASCII character that is not part of the key-sequence language, é and ñ
// (cp1252), and the space.
std::string AllCharacters()
{
    std::string code;
    for (int ch = 0x20; ch < 0x7F; ++ch) {
        if (std::string_view("+^%~(){}[]").find(static_cast<char>(ch)) == std::string_view::npos) {
            code += static_cast<char>(ch);
        }
    }
    return code;
}

TEST_P(WaylandDesktopTest, EveryCharacterArrivesOnTheUsersLayout)
{
    const LayoutCase& c = GetParam();
    SwaySession session(TestTempPath("lvx-"), c.layout, c.variant,
                        {LANTORVIX_EXE, LANTORVIX_RECEIVER, LANTORVIX_SIMULATOR});
    ASSERT_TRUE(session.Running()) << session.Failure();

    auto receiver = session.Start({session.Program("lantorvix-receiver")});
    ASSERT_EQ(receiver->ReadLine(20s), "ready");
    ASSERT_TRUE(WaitUntil([&] { return session.Command("[app_id=\"lantorvix-receiver\"] focus"); }, 20s));
    session.UserTypes({kKeyRightOfT, kKeyEnter});
    ASSERT_EQ(receiver->ReadLine(10s), c.probe + "<ENTER>") << "the user's layout is not in force";

    std::unique_ptr<ChildProcess> simulator;
    const std::string pty = StartSimulator({}, session.Program("lantorvix-scanner-sim"), true, simulator);
    ASSERT_FALSE(pty.empty());
    session.Hand(pty);
    const auto work = session.Folder() / "work";
    std::ofstream(work / "Lantorvix.ini") << "[PORT]\nPortNum=NINCS\nPortName=" << pty
                                          << "\nBaudRate=9600\n[SCANNER]\nStopString=ENTER\n[PROGRAM]\n"
                                             "AddedString=ENTER\nDiscardNull=1\n";
    session.Hand(work);
    auto app = session.Start({session.Program("lantorvix")}, work.string(), false, false);
    // No tray here: the settings window shows, a native Wayland window, and leaves the focus.
    EXPECT_TRUE(WaitUntil(
        [&] { return session.Command("[app_id=\"^lantorvix$\" title=\"^Lantorvix - \"] nop"); }, 20s));

    const std::string ascii = AllCharacters();
    simulator->Write(ascii + "\xE9\xF1`\n");
    EXPECT_EQ(receiver->ReadLine(20s), ascii + "éñ`<ENTER>");
    session.UserTypes({kKeyRightOfT, kKeyEnter});
    EXPECT_EQ(receiver->ReadLine(10s), c.probe + "<ENTER>") << "the user's layout did not come back";

    // The session ends: so does the program, letting its port go.
    session.End();
    app->Wait(10s);
    EXPECT_FALSE(app->Running()) << "the program outlived its compositor";
}

// With a bar that offers StatusNotifierItem (waybar), the program sits in its tray and its
// window stays hidden while the port is open.
TEST(WaylandTray, IconInWaybarsTray)
{
    SwaySession session(TestTempPath("lvx-"), "us", "", {LANTORVIX_EXE, LANTORVIX_SIMULATOR});
    ASSERT_TRUE(session.Running()) << session.Failure();
    ASSERT_TRUE(session.StartTrayBar()) << "waybar's tray did not come up";
    const std::string before = session.TrayItems();
    std::unique_ptr<ChildProcess> simulator;
    const std::string pty = StartSimulator({}, session.Program("lantorvix-scanner-sim"), true, simulator);
    ASSERT_FALSE(pty.empty());
    session.Hand(pty);
    const auto work = session.Folder() / "work";
    std::ofstream(work / "Lantorvix.ini") << "[PORT]\nPortNum=NINCS\nPortName=" << pty << "\nBaudRate=9600\n";
    session.Hand(work);
    auto app = session.Start({session.Program("lantorvix")}, work.string(), false, false);
    EXPECT_TRUE(WaitUntil([&] { return session.TrayItems() != before; }, 20s)) << "no tray item";
    EXPECT_FALSE(session.Command("[app_id=\"^lantorvix$\"] nop")) << "a window beside the tray icon";
}

// What support staff are told about the keyboard in such a session.
TEST(WaylandKeyboardReport, NamesTheVirtualKeyboard)
{
    SwaySession session(TestTempPath("lvx-"), "de", "", {LANTORVIX_EXE});
    ASSERT_TRUE(session.Running()) << session.Failure();
    auto report = session.Start({session.Program("lantorvix"), "--keyboard"}, session.Folder().string());
    std::vector<std::string> lines;
    while (const auto line = report->ReadLine(10s)) {
        lines.push_back(*line);
    }
    EXPECT_EQ(report->Wait(10s), 0);
    ASSERT_EQ(lines.size(), 3u) << (lines.empty() ? "" : lines.back());
    EXPECT_EQ(lines[0].rfind("Keyboard: Wayland virtual keyboard (wayland-", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "Layout: the program's own keymap, every character as itself");
    EXPECT_EQ(lines[2], "From: the program");
}

INSTANTIATE_TEST_SUITE_P(Layouts, WaylandDesktopTest,
                         ::testing::Values(LayoutCase{"us", "", "y"}, LayoutCase{"de", "", "z"},
                                           LayoutCase{"fr", "", "y"}, LayoutCase{"hu", "", "z"},
                                           LayoutCase{"ru,us", "", "н"}),
                         [](const ::testing::TestParamInfo<LayoutCase>& p) {
                             std::string name = p.param.layout;
                             std::replace(name.begin(), name.end(), ',', '_');
                             return name;
                         });

} // namespace
} // namespace lantorvix::test
