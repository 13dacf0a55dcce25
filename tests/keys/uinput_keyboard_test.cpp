#include "base/exception.h"
#include "keys/linux/xkb_names_layout.h"
#include "keys/linux_keyboard.h"
#include "keys/send_keys.h"
#include "keys/uinput/gnome_input_sources.h"
#include "keys/uinput/kde_keyboard_layouts.h"
#include "keys/uinput/uinput_keyboard.h"
#include "support/kde_keyboard_service.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>
#include <linux/input.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lantorvix {
namespace {

using KeyEvents = std::vector<std::pair<int, int>>; // (key code, 1 press / 0 release)

// Runs SendKeys on a uinput keyboard whose events go into a packet socket (one packet per
// write), and reads them back.
struct PipeRun {
    KeyEvents keys;
    int writes = 0;
    std::size_t largestWrite = 0; // in events
    bool writesEndFrames = true;  // every write ends with a report
    bool synAfterEveryKey = true;
    std::vector<std::string> boxes;
    bool numLockAfter = false;
};

PipeRun TypeIntoPipe(const std::string& layout, const std::string& text)
{
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds), 0);
    PipeRun run;
    {
        UinputKeyboard keyboard(
            UinputDevice::FromStream(fds[1]),
            KeyLayout(DescribeXkbLayout({"evdev", "pc105", layout, "", ""})), CodePage::cp1250,
            [&](std::string_view box, std::string_view) { run.boxes.emplace_back(box); }, {});
        SendKeys(keyboard, text, false);
        run.numLockAfter = keyboard.IsNumLockOn();
    } // closes the write end
    std::vector<input_event> events;
    std::vector<input_event> packet(4096);
    for (;;) {
        const ssize_t n = ::recv(fds[0], packet.data(), packet.size() * sizeof(input_event), 0);
        if (n <= 0) {
            break;
        }
        ++run.writes;
        const auto count = static_cast<std::size_t>(n) / sizeof(input_event);
        run.largestWrite = std::max(run.largestWrite, count);
        run.writesEndFrames = run.writesEndFrames && count > 0 && packet[count - 1].type == EV_SYN;
        events.insert(events.end(), packet.begin(),
                      packet.begin() + n / static_cast<ssize_t>(sizeof(input_event)));
    }
    ::close(fds[0]);
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (events[i].type == EV_KEY) {
            run.keys.emplace_back(events[i].code, events[i].value);
            run.synAfterEveryKey = run.synAfterEveryKey && i + 1 < events.size() &&
                                   events[i + 1].type == EV_SYN && events[i + 1].code == SYN_REPORT;
        } else if (events[i].type != EV_SYN) {
            ADD_FAILURE() << "unexpected event type " << events[i].type;
        }
    }
    return run;
}

struct StreamCase {
    std::string name;
    std::string layout;
    std::string text;
    KeyEvents keys;
    std::vector<std::string> boxes = {};
    // Names the case in failure messages (the default dumps the bytes, padding included).
    friend void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }
};

class UinputStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(UinputStream, KernelReceivesThesePhysicalKeys)
{
    const auto run = TypeIntoPipe(GetParam().layout, GetParam().text);
    EXPECT_EQ(run.keys, GetParam().keys);
    EXPECT_TRUE(run.synAfterEveryKey);
    // A reader's buffer never fills: whole frames, at most 16 events, as few writes as that allows.
    EXPECT_LE(run.largestWrite, 16u);
    EXPECT_TRUE(run.writesEndFrames);
    EXPECT_EQ(run.writes, static_cast<int>((run.keys.size() * 2 + 15) / 16));
    EXPECT_EQ(run.boxes, GetParam().boxes);
}

// Key codes: 28 Enter, 29 left Ctrl, 42 left Shift, 44 Z, 21 Y, 41 grave, 47 V, 56 left
// Alt, 86 the key left of Z, 100 right Alt (AltGr on the Hungarian layout), 102 Home.
INSTANTIATE_TEST_SUITE_P(
    Uinput, UinputStream,
    ::testing::Values(
        StreamCase{"UsY", "us", "y", {{21, 1}, {21, 0}}},
        StreamCase{"UsShiftedZAndEnter", "us", "Z~", {{42, 1}, {44, 1}, {44, 0}, {42, 0}, {28, 1}, {28, 0}}},
        StreamCase{"UsHomeTwice", "us", "{HOME 2}", {{102, 1}, {102, 0}, {102, 1}, {102, 0}}},
        StreamCase{"UsCtrlAltWithoutAltGrLevel",
                   "us",
                   "^%v",
                   {{29, 1}, {56, 1}, {47, 1}, {47, 0}, {29, 0}, {56, 0}}},
        StreamCase{"UsUntypeable", "us", "\xED", {}, {"Invalid KeyName"}},
        StreamCase{"HuY", "hu", "y", {{44, 1}, {44, 0}}}, StreamCase{"HuZero", "hu", "0", {{41, 1}, {41, 0}}},
        StreamCase{"HuIAcute", "hu", "\xED", {{86, 1}, {86, 0}}},
        // German has "`" only as a dead key (Shift and the key right of ß): dead key, then Space.
        StreamCase{"DeGraveThroughDeadKeyAndSpace",
                   "de",
                   "`{` 2}",
                   {{42, 1},
                    {13, 1},
                    {13, 0},
                    {42, 0},
                    {57, 1},
                    {57, 0},
                    {42, 1},
                    {13, 1},
                    {13, 0},
                    {42, 0},
                    {57, 1},
                    {57, 0},
                    {42, 1},
                    {13, 1},
                    {13, 0},
                    {42, 0},
                    {57, 1},
                    {57, 0}}},
        // A Shift the sequence holds stays down across a dead-key character.
        StreamCase{"DeGraveKeepsTheHeldShift",
                   "de",
                   "+(`a)",
                   {{42, 1}, {13, 1}, {13, 0}, {57, 1}, {57, 0}, {30, 1}, {30, 0}, {42, 0}}},
        StreamCase{
            "DeCaretDeadKeyUnderHeldShift",
            "de",
            "+({^}a)",
            {{42, 1}, {42, 0}, {41, 1}, {41, 0}, {42, 1}, {57, 1}, {57, 0}, {30, 1}, {30, 0}, {42, 0}}},
        // Ctrl+Alt for a key with an AltGr level becomes AltGr around that key only.
        StreamCase{"HuAtSignThroughAltGr",
                   "hu",
                   "@",
                   {{29, 1},
                    {56, 1},
                    {29, 0},
                    {56, 0},
                    {100, 1},
                    {47, 1},
                    {47, 0},
                    {100, 0},
                    {29, 1},
                    {56, 1},
                    {29, 0},
                    {56, 0}}}),
    [](const auto& param) { return param.param.name; });

// A uinput keyboard typing into a packet socket, following a desktop's layouts when told how.
class FollowingKeyboard {
public:
    FollowingKeyboard(const UinputLayoutChoice& first, std::function<UinputLayoutChoice()> resolve = {})
    {
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds_), 0);
        keyboard_.emplace(UinputDevice::FromStream(fds_[1]),
                          KeyLayout(DescribeXkbLayout(first.names, first.group)), CodePage::cp1252,
                          MessageBoxHandler{}, std::function<void()>{});
        if (resolve) {
            keyboard_->FollowLayout(std::move(resolve), first);
        }
    }
    ~FollowingKeyboard()
    {
        keyboard_.reset();
        ::close(fds_[0]);
    }
    // The evdev code that types "z" on the layout in use.
    int TypedZ()
    {
        EXPECT_TRUE(SendKeys(*keyboard_, "z", false));
        input_event events[4];
        return ::recv(fds_[0], events, sizeof events, 0) == static_cast<ssize_t>(sizeof events)
                   ? events[0].code
                   : -1;
    }

private:
    int fds_[2] = {-1, -1};
    std::optional<UinputKeyboard> keyboard_;
};

// [PROGRAM] KeyboardLayout= wins over the environment and the configuration file, and the
// layout it names is the one keys are chosen for.
TEST(Uinput, TheSettingsKeyChoosesTheLayout)
{
    const std::string file = ::testing::TempDir() + "/keyboard";
    {
        std::ofstream(file) << "XKBMODEL=\"pc105\"\nXKBLAYOUT=\"fr\"\nXKBVARIANT=\"\"\n";
    }
    ::unsetenv("XKB_DEFAULT_LAYOUT");
    const auto fromFile = ChooseUinputLayout({}, "", file);
    EXPECT_EQ(fromFile.names.layout, "fr");
    EXPECT_EQ(fromFile.source, file);
    ::setenv("XKB_DEFAULT_LAYOUT", "hu", 1);
    EXPECT_EQ(ChooseUinputLayout({}, "", file).source, "environment ($XKB_DEFAULT_LAYOUT)");
    const auto chosen = ChooseUinputLayout({}, " de(nodeadkeys) , us", file);
    ::unsetenv("XKB_DEFAULT_LAYOUT");
    EXPECT_EQ(chosen.names.layout, "de,us");
    EXPECT_EQ(chosen.names.variant, "nodeadkeys,");
    EXPECT_EQ(chosen.source, "settings key [PROGRAM] KeyboardLayout=");
    EXPECT_EQ(LayoutText(chosen.names), "de(nodeadkeys),us");
    EXPECT_EQ(XkbNamesFromLayoutText("hu,us").variant, "");
    EXPECT_EQ(FollowingKeyboard(chosen).TypedZ(), 21); // German: Z where US has Y
}

// A desktop's layouts: the first is typed for, then the user switches to the second.
template <typename Desktop>
void ExpectTypedForAndFollowed(Desktop& desktop, const char* from, const std::string& layouts,
                               const std::function<void()>& switchToSecond)
{
    const auto first = desktop.Read();
    ASSERT_TRUE(first);
    EXPECT_EQ(LayoutText(first->names), layouts);
    EXPECT_EQ(first->group, 0);
    FollowingKeyboard keyboard({first->names, 0, "desktop"}, [&] {
        const auto l = desktop.Read();
        return UinputLayoutChoice{l->names, l->group, from};
    });
    EXPECT_EQ(keyboard.TypedZ(), 21);
    switchToSecond();
    EXPECT_EQ(keyboard.TypedZ(), 44);
}

// GNOME keeps the layouts in GSettings; a keyfile backend stands in for the user's database.
TEST(Uinput, GnomeInputSourcesAreTypedForAndFollowed)
{
    const std::string home = ::testing::TempDir() + "/gnome-home";
    std::filesystem::create_directories(home + "/glib-2.0/settings");
    const auto write = [&](const std::string& current) {
        std::ofstream(home + "/glib-2.0/settings/keyfile")
            << "[org/gnome/desktop/input-sources]\nsources=[('xkb', 'de'), ('xkb', 'us')]\n"
            << "mru-sources=[('xkb', '" << current << "'), ('xkb', 'de')]\n";
    };
    write("de");
    ::setenv("GSETTINGS_BACKEND", "keyfile", 1);
    ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    const auto gnome = GnomeInputSources::Open();
    ASSERT_TRUE(gnome) << "the schema org.gnome.desktop.input-sources is not installed";
    ExpectTypedForAndFollowed(*gnome, "GNOME", "de,us", [&] {
        write("us");
        ASSERT_TRUE(test::WaitUntil([&] { return gnome->Read()->group == 1; }));
    });
    ::unsetenv("GSETTINGS_BACKEND");
}

// Plasma keeps the layouts in kxkbrc and tells the one in use over the session bus.
TEST(Uinput, KdeLayoutsAreTypedForAndFollowed)
{
    const std::string home = ::testing::TempDir() + "/kde-home";
    std::filesystem::create_directories(home);
    std::ofstream(home + "/kxkbrc") << "[Layout]\nDisplayNames=,\nLayoutList=de,us\nUse=true\n"
                                       "VariantList=nodeadkeys,\n";
    test::KdeKeyboardService service(home, {"de", "us"});
    ASSERT_FALSE(service.Address().empty()) << "the stand-in keyboard service did not come up";
    ::setenv("DBUS_SESSION_BUS_ADDRESS", service.Address().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    const auto kde = KdeKeyboardLayouts::Open();
    ASSERT_TRUE(kde);
    ExpectTypedForAndFollowed(*kde, "KDE", "de(nodeadkeys),us", [&] { service.Switch(1); });
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

TEST(Uinput, NumLockIsToggledByTheKeyAndTracked)
{
    auto run = TypeIntoPipe("us", "{NUMLOCK}");
    EXPECT_EQ(run.keys, (KeyEvents{{69, 1}, {69, 0}}));
    EXPECT_TRUE(run.numLockAfter);
    run = TypeIntoPipe("us", "{NUMLOCK}{NUMLOCK 4}");
    EXPECT_EQ(run.keys, (KeyEvents{{69, 1}, {69, 0}, {69, 1}, {69, 0}}));
    EXPECT_FALSE(run.numLockAfter);
}

TEST(Uinput, KeysLeftDownAreReleasedWhenTheKeyboardGoes)
{
    const auto run = TypeIntoPipe("us", "+(a");
    EXPECT_EQ(run.keys, (KeyEvents{{42, 1}, {30, 1}, {30, 0}, {42, 0}}));
}

// A code typed while a box is open (a scan that arrived meanwhile) goes out when it ends,
// not held until the code that opened the box is finished.
TEST(Uinput, ACodeTypedWhileABoxIsOpenGoesOutWhenItEnds)
{
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds), 0);
    int seenInBox = -1;
    UinputKeyboard* self = nullptr;
    UinputKeyboard keyboard(
        UinputDevice::FromStream(fds[1]), KeyLayout(DescribeXkbLayout({"evdev", "pc105", "us", "", ""})),
        CodePage::cp1250,
        [&](std::string_view, std::string_view) {
            ::recv(fds[0], nullptr, 0, MSG_DONTWAIT | MSG_TRUNC); // the outer "a", flushed before the box
            EXPECT_TRUE(SendKeys(*self, "b", false));
            input_event events[8];
            seenInBox = static_cast<int>(::recv(fds[0], events, sizeof events, MSG_DONTWAIT));
        },
        {});
    self = &keyboard;
    EXPECT_TRUE(SendKeys(keyboard,
                         "a\xED"
                         "c",
                         false));
    EXPECT_EQ(seenInBox, static_cast<int>(4 * sizeof(input_event)));
    ::close(fds[0]);
}

TEST(Uinput, WithoutAGuiTheBoxesGoToStandardError)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    UinputKeyboard keyboard(UinputDevice::FromStream(fds[1]),
                            KeyLayout(DescribeXkbLayout({"evdev", "pc105", "us", "", ""})), CodePage::cp1250,
                            {}, {});
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(SendKeys(keyboard, "\xED{F17}{TAB", false));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "SendKeys: Invalid KeyName\nSendKeys: Invalid Key Name\nSendKeys: No Close\n");
    ::close(fds[0]);
}

TEST(Uinput, MissingDeviceNodeSaysHowToGetAccess)
{
    const std::string path = ::testing::TempDir() + "/no-uinput-here";
    try {
        UinputDevice::Create(path);
        FAIL() << "opened " << path;
    } catch (const Exception& e) {
        const std::string message = e.what();
        for (const char* part : {path.c_str(), "No such file", "modprobe uinput", "\"uinput\" group",
                                 "every session", "KERNEL==\"uinput\""}) {
            EXPECT_NE(message.find(part), std::string::npos) << part << " missing in: " << message;
        }
    }
}

TEST(Uinput, DeviceThatIsNotUinputIsRefusedClearly)
{
    // /dev/null opens but refuses the uinput set-up requests.
    try {
        UinputDevice::Create("/dev/null");
        FAIL() << "/dev/null taken for a uinput node";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("uinput keyboard"), std::string::npos) << e.what();
    }
}

struct BackendCase {
    std::map<std::string, std::string> env;
    std::string display;
    KeyboardBackend expected;
    friend void PrintTo(const BackendCase& c, std::ostream* os)
    {
        *os << ::testing::PrintToString(c.env) << " " << c.display;
    }
};

class Backends : public ::testing::TestWithParam<BackendCase> {};

TEST_P(Backends, XTestOnlyForReachableNonWaylandSessions)
{
    const auto& c = GetParam();
    const auto env = [&](const char* name) {
        const auto it = c.env.find(name);
        return it == c.env.end() ? std::string() : it->second;
    };
    EXPECT_EQ(PreferredKeyboardBackend(env, c.display), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Linux, Backends,
    ::testing::Values(
        BackendCase{{{"DISPLAY", ":0"}}, "", KeyboardBackend::xtest},
        BackendCase{{}, ":3", KeyboardBackend::xtest},
        BackendCase{{{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}}, "", KeyboardBackend::wayland},
        BackendCase{{{"WAYLAND_DISPLAY", "wayland-0"}, {"LANTORVIX_KEYBOARD", "uinput"}},
                    "",
                    KeyboardBackend::uinput},
        BackendCase{
            {{"WAYLAND_DISPLAY", "wayland-0"}, {"LANTORVIX_KEYBOARD", "x11"}}, ":0", KeyboardBackend::xtest},
        BackendCase{{{"LANTORVIX_KEYBOARD", "wayland"}}, ":0", KeyboardBackend::wayland},
        BackendCase{{{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "wayland"}}, "", KeyboardBackend::uinput},
        BackendCase{{{"XDG_SESSION_TYPE", "x11"}}, "", KeyboardBackend::uinput},
        BackendCase{{}, "", KeyboardBackend::uinput}));

TEST(Linux, AWaylandSessionWithoutACompositorFallsBackToUinputAndTheErrorNamesBoth)
{
    LinuxKeyboardOptions options;
    options.uinputPath = ::testing::TempDir() + "/no-uinput-here";
    options.uinputLayout.layout = "us";
    ::setenv("WAYLAND_DISPLAY", (::testing::TempDir() + "/no-compositor-here").c_str(), 1);
    ::unsetenv("LANTORVIX_KEYBOARD");
    try {
        CreateLinuxKeyboard(options);
        FAIL() << "a keyboard without compositor and uinput";
    } catch (const Exception& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("Wayland compositor"), std::string::npos) << message;
        EXPECT_NE(message.find("no-uinput-here"), std::string::npos) << message;
    }
    ::unsetenv("WAYLAND_DISPLAY");
}

TEST(Linux, WithoutDisplayAndUinputTheErrorNamesBoth)
{
    LinuxKeyboardOptions options;
    options.display = ":987654"; // nothing listens there
    options.uinputPath = ::testing::TempDir() + "/no-uinput-here";
    options.uinputLayout.layout = "us";
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("XDG_SESSION_TYPE");
    try {
        CreateLinuxKeyboard(options);
        FAIL() << "a keyboard without display and uinput";
    } catch (const Exception& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("X display \":987654\""), std::string::npos) << message;
        EXPECT_NE(message.find("no-uinput-here"), std::string::npos) << message;
    }
}

} // namespace
} // namespace lantorvix
