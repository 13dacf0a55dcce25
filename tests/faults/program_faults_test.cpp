// Faults the real `lantorvix` meets: the scanner vanishing in the middle of a code and coming
// back, a folder it may not write to, damaged settings and catalogue files, and codes that
// the key sender rejects or that break the rules. Each test asserts what the user sees (the
// text of every box, through the box log hook; the typed text at a receiver window) and that
// later scans still arrive.

#include "../app/e2e/child_process.h"
#include "../app/e2e/desktop_session.h"
#include "../app/e2e/x_probe.h"

#include "support/file_bytes.h"
#include "support/kde_keyboard_service.h"
#include "support/process_fds.h"
#include "support/pty_pair.h"
#include "support/test_temp_path.h"
#include "support/wait_until.h"
#include "support/xvfb_server.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <pwd.h>
#include <unistd.h>

namespace lantorvix::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace std::string_literals;

// The general error box is captioned with the application title, the executable's name.
const std::string kGeneralCaption = std::filesystem::path(LANTORVIX_EXE).filename().string();
const std::string kScanner = "[SCANNER]\nStopString=ENTER\n[PROGRAM]\nAddedString=ENTER\nDiscardNull=1\n";

class ProgramFaults : public ::testing::Test {
protected:
    ProgramFaults() : probe(xvfb.Display())
    {
        boxLog = folder / "boxes.log";
        env["LANG"] = "C";
        env["LANTORVIX_BOX_LOG"] = boxLog.string();
        env["LD_PRELOAD"] = LANTORVIX_BOX_LOG_SHIM;
        exe = LANTORVIX_EXE;
        StartTrayHost();
        StartReceiver();
    }

    ~ProgramFaults() override
    {
        app.reset();
        receiver.reset();
        trayer.reset();
    }

    void StartTrayHost() { test::StartTrayHost(env, probe, trayer); }

    void StartReceiver() { test::StartReceiver(env, probe, receiver, receiverWindow); }

    void WriteIni(const std::string& portPath, const std::string& rest)
    {
        WriteBytes(folder / "work" / "Lantorvix.ini",
                   "[PORT]\nPortNum=NINCS\nPortName=" + portPath + "\nBaudRate=9600\n" + rest);
    }

    // The program with its port open and its icon in the tray. prefix: e.g. setpriv.
    void StartProgram(const std::vector<std::string>& prefix = {}, bool awaitTray = true)
    {
        std::vector<std::string> argv = prefix;
        argv.push_back(exe.string());
        app = std::make_unique<ChildProcess>(
            ChildProcess::Options{argv, env, (folder / "work").string(), false, false});
        if (!awaitTray) {
            return;
        }
        ASSERT_TRUE(WaitUntil([&] { return probe.EmbeddedWindows("lantorvix").size() == 1; }, 20s))
            << "no tray icon";
    }

    // The first scan on a port the program has just opened: written once the program holds
    // the port and has set it up, so it is the port's first reception; the line typed.
    std::optional<std::string> FirstScan(PtyPair& pty, const std::string& code)
    {
        probe.Focus(receiverWindow);
        if (!pty.AwaitOpenBy(app->Pid())) {
            return std::nullopt;
        }
        pty.Write(code + "\r\n");
        return receiver->ReadLine(10s);
    }

    // Scans until one gets through (the first reception after a time-out is dropped by
    // design), then waits for stragglers; the first line that arrived.
    std::optional<std::string> AwaitScan(PtyPair& pty, const std::string& code)
    {
        probe.Focus(receiverWindow);
        std::optional<std::string> first;
        for (int attempt = 0; attempt < 40 && !first; ++attempt) {
            pty.Write(code + "\r\n");
            first = receiver->ReadLine(500ms);
        }
        while (receiver->ReadLine(300ms)) {
        }
        return first;
    }

    // Scans until a line ending with the code arrives (what the program typed before may
    // come first).
    bool ScanArrives(PtyPair& pty, const std::string& code)
    {
        probe.Focus(receiverWindow);
        const std::string end = code + "<ENTER>";
        for (int attempt = 0; attempt < 40; ++attempt) {
            pty.Write(code + "\r\n");
            while (const auto line = receiver->ReadLine(500ms)) {
                if (line->size() >= end.size() && line->substr(line->size() - end.size()) == end) {
                    return true;
                }
            }
        }
        return false;
    }

    std::vector<std::string> Boxes() const { return LoggedBoxes(boxLog); }

    // Waits for a box with this caption, checks its text and presses its default button.
    void ExpectBox(const std::string& caption, const std::string& text)
    {
        const auto box = probe.WaitForWindowNamed(caption, 10s);
        ASSERT_TRUE(box) << "no box captioned " << caption;
        ASSERT_TRUE(WaitUntil([&] { return !Boxes().empty(); }, 5s));
        EXPECT_EQ(Boxes().back(), text);
        probe.Focus(*box);
        probe.Key("Return");
        ASSERT_TRUE(WaitUntil([&] { return probe.WindowsNamed(caption).empty(); }, 10s)) << "the box stays";
        probe.Focus(receiverWindow);
    }

    // "Alkalmaz" in the settings window, opened by a double click on the tray icon.
    void Apply()
    {
        const auto window = OpenSettingsFromTray(probe);
        ASSERT_TRUE(window);
        ClickControl(probe, *window, cid::btnOK);
    }

    XvfbServer xvfb;
    XProbe probe;
    DesktopFolder testFolder{TestTempPath("lantorvix-faults-")};
    const fs::path folder = testFolder.Path();
    std::map<std::string, std::string> env = testFolder.DesktopEnvironment(xvfb.Display());
    fs::path boxLog, exe;
    std::unique_ptr<ChildProcess> trayer, receiver, app;
    XProbe::Window receiverWindow = 0;
};

TEST_F(ProgramFaults, DeviceVanishesInACodeAndComesBackAtTheSamePathByItself)
{
    auto first = std::make_unique<PtyPair>();
    const fs::path link = folder / "scanner";
    fs::create_symlink(first->SlavePath(), link);
    WriteIni(link.string(), kScanner);
    const std::string ini = ReadBytes(folder / "work" / "Lantorvix.ini");
    StartProgram();
    ASSERT_EQ(FirstScan(*first, "A1"), "A1<ENTER>");

    first->Write("12345"); // the device goes in the middle of a code
    ASSERT_TRUE(first->AwaitSlaveDrained()) << "the program did not take the cut-off code";
    first->CloseMaster();
    first.reset();
    auto second = std::make_unique<PtyPair>();
    const fs::path fresh = folder / "scanner.new";
    fs::create_symlink(second->SlavePath(), fresh);
    fs::rename(fresh, link);

    // Nobody touches the window: the program opens the returned device by itself, and the
    // cut-off code is gone.
    EXPECT_EQ(AwaitScan(*second, "B2"), "B2<ENTER>");
    second->Write("C3\r\nD4\r\n");
    EXPECT_EQ(receiver->ReadLine(10s), "C3<ENTER>");
    EXPECT_EQ(receiver->ReadLine(10s), "D4<ENTER>");
    EXPECT_TRUE(app->Running());
    EXPECT_TRUE(probe.WindowsNamed(kSettingsWindowTitle).empty()) << "the window was shown";
    EXPECT_TRUE(Boxes().empty()) << Boxes().front();
    EXPECT_EQ(ReadBytes(folder / "work" / "Lantorvix.ini"), ini);
}

// The keymap as xkbcomp dumps it from the server.
std::string KeymapDump(const std::string& display, const fs::path& file)
{
    EXPECT_EQ(RunProgram({"xkbcomp", "-xkb", display, file.string()}), 0);
    return ReadBytes(file);
}

// Log-out sends SIGTERM: the program ends as after a confirmed exit, the key codes it lent
// given back and the settings file untouched; SIGINT and SIGHUP the same.
TEST_F(ProgramFaults, EndedBySignalsItGivesTheKeymapBackAndLeavesTheSettings)
{
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        PtyPair pty;
        WriteIni(pty.SlavePath(), kScanner);
        const std::string ini = ReadBytes(folder / "work" / "Lantorvix.ini");
        const std::string before = KeymapDump(xvfb.Display(), folder / "before.xkb");
        StartProgram();
        ASSERT_EQ(FirstScan(pty, "caf\xE9"), "caf\xC3\xA9<ENTER>"); // LANG=C: cp1252
        ASSERT_TRUE(KeymapDump(xvfb.Display(), folder / "during.xkb") != before) << "no key code was lent";
        ::kill(app->Pid(), signal);
        EXPECT_EQ(app->Wait(10s), 0) << signal;
        EXPECT_TRUE(KeymapDump(xvfb.Display(), folder / "after.xkb") == before)
            << "keymap changed, signal " << signal;
        EXPECT_EQ(ReadBytes(folder / "work" / "Lantorvix.ini"), ini) << signal;
        EXPECT_TRUE(Boxes().empty()) << Boxes().front();
        app.reset();
    }
}

// What support staff ask: the keyboard, layout and group and where they came from, answered
// without starting the program (no window, no single-instance lock). A Wayland session whose
// compositor gives no virtual keyboard (here: none listens) says so and names uinput, which the
// program falls back to, unless the virtual keyboard was forced.
TEST(KeyboardReport, NamesTheKeyboardTheLayoutAndItsSource)
{
    const DesktopFolder home{TestTempPath("lantorvix-keyboard-")};
    const fs::path runtime = home.Path() / "runtime";
    const fs::path config = home.Path() / "config";
    fs::create_directories(runtime);
    struct Case {
        std::string file, content;      // under the config folder
        std::string wayland, forced;    // $WAYLAND_DISPLAY, $LANTORVIX_KEYBOARD
        std::vector<std::string> lines; // on Wayland: the first only
    };
    const std::string uinput = "Keyboard: uinput (/dev/uinput)";
    const std::string deUs = "Layout: de(nodeadkeys),us";
    const Case cases[] = {
        {"Lantorvix/Lantorvix.ini",
         "[PROGRAM]\nKeyboardLayout=de(nodeadkeys),us\n",
         "",
         "",
         {uinput, deUs, "Group: 1 (de(nodeadkeys))", "From: settings key [PROGRAM] KeyboardLayout="}},
        {"", "", "", "", {uinput, "Layout: hu", "Group: 1 (hu)", "From: environment ($XKB_DEFAULT_LAYOUT)"}},
        {"glib-2.0/settings/keyfile",
         "[org/gnome/desktop/input-sources]\nsources=[('xkb', 'de+nodeadkeys'), ('xkb', 'us')]\n"
         "mru-sources=[('xkb', 'us')]\n",
         "",
         "",
         {uinput, deUs, "Group: 2 (us)", "From: GNOME (org.gnome.desktop.input-sources)"}},
        {"kxkbrc",
         "[Layout]\nLayoutList=de,us\nUse=true\nVariantList=nodeadkeys,\n",
         "",
         "",
         {uinput, deUs, "Group: 2 (us)", "From: KDE (kxkbrc, org.kde.keyboard)"}},
        {"", "", "lvx-nobody-here", "", {uinput}},
        {"", "", "lvx-nobody-here", "wayland", {"Keyboard: Wayland virtual keyboard (lvx-nobody-here)"}}};
    KdeKeyboardService kde(home.Path().string(), {"de", "us"});
    ASSERT_FALSE(kde.Address().empty()) << "the stand-in keyboard service did not come up";
    kde.Switch(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + c.forced);
        fs::remove_all(config);
        if (!c.file.empty()) {
            fs::create_directories((config / c.file).parent_path());
            WriteBytes(config / c.file, c.content);
        }
        ChildProcess report({{LANTORVIX_EXE, "--keyboard"},
                             {{"XDG_CONFIG_HOME", config.string()},
                              {"XDG_RUNTIME_DIR", runtime.string()},
                              {"DISPLAY", ""},
                              {"WAYLAND_DISPLAY", c.wayland},
                              {"XDG_SESSION_TYPE", c.wayland.empty() ? "tty" : "wayland"},
                              {"LANTORVIX_KEYBOARD", c.forced},
                              {"XKB_DEFAULT_LAYOUT", "hu"},
                              {"GSETTINGS_BACKEND", "keyfile"},
                              {"DBUS_SESSION_BUS_ADDRESS", kde.Address()}},
                             home.Path().string(),
                             false,
                             true});
        std::vector<std::string> lines;
        while (const auto line = report.ReadLine(10s)) {
            lines.push_back(*line);
        }
        const int status = report.Wait(10s);
        if (!c.wayland.empty()) {
            EXPECT_EQ(status, 1);
            ASSERT_FALSE(lines.empty());
            EXPECT_EQ(lines.front(), c.lines.front());
            EXPECT_NE(lines.back().find("Problem: cannot connect to the Wayland compositor"),
                      std::string::npos)
                << lines.back();
            continue;
        }
        // This machine may have no /dev/uinput.
        std::erase_if(lines, [](const std::string& line) { return line.rfind("Problem:", 0) == 0; });
        EXPECT_EQ(lines, c.lines);
    }
    EXPECT_TRUE(fs::is_empty(runtime)) << "the single-instance guard was touched";
}

// Autostart at log-on often runs before the USB adapter is ready. "Alkalmaz" untouched
// afterwards (say, to tick autostart): the port the program opened by itself is the one
// selected, so nothing is asked and it stays open.
TEST_F(ProgramFaults, ScannerPluggedInAfterStartUpIsOpenedByItselfAndKeptByApply)
{
    const fs::path link = folder / "scanner";
    WriteIni(link.string(), kScanner);
    StartProgram();
    const auto window = probe.WaitForWindowNamed(kSettingsWindowTitle, 10s);
    ASSERT_TRUE(window) << "the window is not shown without a port";
    PtyPair pty;
    fs::create_symlink(pty.SlavePath(), link);
    EXPECT_EQ(AwaitScan(pty, "E5"), "E5<ENTER>");
    EXPECT_TRUE(Boxes().empty()) << Boxes().front();

    probe.Focus(*window);
    ClickControl(probe, *window, cid::btnOK);
    ASSERT_TRUE(
        WaitUntil([&] { return probe.WindowsNamed(kSettingsWindowTitle).empty() || !Boxes().empty(); }, 10s));
    EXPECT_TRUE(Boxes().empty()) << Boxes().front();
    EXPECT_NE(ReadBytes(folder / "work" / "Lantorvix.ini").find("PortName=" + link.string() + "\n"),
              std::string::npos)
        << ReadBytes(folder / "work" / "Lantorvix.ini");
    EXPECT_TRUE(ScanArrives(pty, "F6"));
}

// The scanner is out when "Alkalmaz" is pressed with its port still selected: the open error
// box as always, and the scanner is still opened when it is plugged back.
TEST_F(ProgramFaults, ApplyWhileTheScannerIsOutStillOpensItWhenItIsBack)
{
    auto first = std::make_unique<PtyPair>();
    const fs::path link = folder / "scanner";
    fs::create_symlink(first->SlavePath(), link);
    WriteIni(link.string(), kScanner);
    StartProgram();
    ASSERT_EQ(FirstScan(*first, "A1"), "A1<ENTER>");
    ASSERT_TRUE(OpenSettingsFromTray(probe)); // the port selected in the window

    const dev_t old = DeviceNumber(first->SlavePath());
    first->CloseMaster();
    fs::remove(link);
    ASSERT_TRUE(WaitUntil([&] { return !ProcessHoldsDevice(app->Pid(), old); }, 10s))
        << "the lost tty is held";
    Apply();
    ExpectBox("Lantorvix", "Hiba a port nyitásakor!");

    PtyPair second;
    fs::create_symlink(second.SlavePath(), link);
    EXPECT_TRUE(second.AwaitOpenBy(app->Pid())) << "the wait ended with the box";
    EXPECT_TRUE(ScanArrives(second, "G7"));
    EXPECT_EQ(Boxes().size(), 1u);
}

class ReadOnlyFaults : public ProgramFaults, public ::testing::WithParamInterface<bool> {};

// Root writes anywhere, so the program runs as an unprivileged user (setpriv) in a folder it
// may read but not write, or with its own file made read-only in its own folder (which a
// rename would replace): the failure is the operating system's, not staged by the test.
TEST_P(ReadOnlyFaults, ApplyShowsTheWriteErrorAndKeepsTheFile)
{
    const bool readOnlyFile = GetParam();
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || nobody == nullptr) {
        GTEST_SKIP() << "needs root to run the program as an unprivileged user";
    }
    PtyPair pty;
    fs::permissions(pty.SlavePath(),
                    fs::perms::all &
                        ~(fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec),
                    fs::perm_options::replace);
    for (const char* sub : {"runtime", "config", "xdg"}) {
        ASSERT_EQ(::chown((folder / sub).c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    ::chmod(boxLog.parent_path().c_str(), 0755);
    WriteBytes(boxLog, "");
    ASSERT_EQ(::chown(boxLog.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    WriteIni(pty.SlavePath(), kScanner + "; the user's own note\n");
    const fs::path ini = folder / "work" / "Lantorvix.ini";
    const std::string before = ReadBytes(ini);
    if (readOnlyFile) {
        ASSERT_EQ(::chown((folder / "work").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        ASSERT_EQ(::chown(ini.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        ASSERT_EQ(::chmod(ini.c_str(), 0444), 0);
    } else {
        fs::permissions(folder / "work",
                        fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                            fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec,
                        fs::perm_options::replace);
    }
    StartProgram({"setpriv", "--reuid=" + std::to_string(nobody->pw_uid),
                  "--regid=" + std::to_string(nobody->pw_gid), "--clear-groups"});
    ASSERT_EQ(FirstScan(pty, "R1"), "R1<ENTER>");

    Apply();
    const auto box = probe.WaitForWindowNamed(kGeneralCaption, 10s);
    ASSERT_TRUE(box) << "no box after Apply";
    ASSERT_TRUE(WaitUntil([&] { return !Boxes().empty(); }, 5s));
    EXPECT_EQ(Boxes().front().rfind("Unable to write to ", 0), 0u) << Boxes().front();
    EXPECT_NE(Boxes().front().find("Lantorvix.ini"), std::string::npos) << Boxes().front();
    probe.Focus(*box);
    probe.Key("Return");
    EXPECT_TRUE(WaitUntil([&] { return probe.WindowsNamed(kGeneralCaption).empty(); }, 10s));
    EXPECT_EQ(ReadBytes(ini), before) << "the previous file was changed";
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(folder / "work")) {
        left.push_back(e.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"Lantorvix.ini"});

    // The port was opened again by Apply; scanning goes on.
    if (const auto w = probe.WindowsNamed(kSettingsWindowTitle); !w.empty()) {
        probe.Focus(w.front());
        probe.Key("Escape");
    }
    EXPECT_EQ(AwaitScan(pty, "R2"), "R2<ENTER>");
}

INSTANTIATE_TEST_SUITE_P(Targets, ReadOnlyFaults, ::testing::Values(false, true), [](const auto& paramInfo) {
    return paramInfo.param ? "ReadOnlyFile" : "ReadOnlyFolder";
});

// Notepad's "Unicode" (UTF-16 LE with a byte-order mark): read, and kept in UTF-16 by Apply.
TEST_F(ProgramFaults, Utf16SettingsFileIsReadAndKeptInUtf16)
{
    PtyPair pty;
    const std::string text = "[PORT]\r\nPortNum=NINCS\r\nPortName=" + pty.SlavePath() +
                             "\r\nBaudRate=9600\r\n[PROGRAM]\r\nAddedString=ENTER\r\n";
    std::string utf16 = "\xFF\xFE";
    for (const char c : text) {
        utf16 += c;
        utf16 += '\0';
    }
    const fs::path ini = folder / "work" / "Lantorvix.ini";
    WriteBytes(ini, utf16);
    StartProgram();
    ASSERT_EQ(AwaitScan(pty, "U1"), "U1<ENTER>") << "the file was not read";

    // Apply writes key by key; "DiscardNull" comes last.
    const auto narrowed = [&] {
        const std::string saved = ReadBytes(ini);
        std::string narrow;
        for (std::size_t i = 2; i + 1 < saved.size(); i += 2) {
            narrow += saved[i + 1] == '\0' ? saved[i] : '?';
        }
        return narrow;
    };
    Apply();
    ASSERT_TRUE(WaitUntil([&] { return narrowed().find("DiscardNull=") != std::string::npos; }, 10s))
        << "Apply did not save in UTF-16: " << ReadBytes(ini);
    const std::string saved = ReadBytes(ini);
    EXPECT_EQ(saved.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(saved.size() % 2, 0u);
    const std::string narrow = narrowed();
    EXPECT_EQ(narrow.find('?'), std::string::npos) << "8-bit lines in the UTF-16 file: " << narrow;
    EXPECT_EQ(narrow.rfind("[PORT]\r\nPortNum=", 0), 0u) << narrow;
    EXPECT_NE(narrow.find("\r\nPortName=" + pty.SlavePath() + "\r\nBaudRate=9600\r\n"), std::string::npos)
        << narrow;
    EXPECT_NE(narrow.find("\r\nStopString=ENTER\r\n"), std::string::npos) << narrow;
    EXPECT_TRUE(ScanArrives(pty, "U2"));
}

struct DamagedIni {
    const char* name;
    std::string before; // in front of the [PORT] section
    std::string after;  // after it
    const char* scan;
    const char* typed;
};

class DamagedIniFaults : public ProgramFaults, public ::testing::WithParamInterface<DamagedIni> {};

// Each file still names the port; what is damaged reads as the defaults (stop string CR LF,
// zeros dropped, no added key) unless the file still says otherwise where it can be read.
TEST_P(DamagedIniFaults, LoadsWhatItCanAndDefaultsTheRest)
{
    PtyPair pty;
    const auto& p = GetParam();
    WriteBytes(folder / "work" / "Lantorvix.ini", p.before + "[PORT]\nPortNum=NINCS\nPortName=" +
                                                      pty.SlavePath() + "\nBaudRate=9600\n" + p.after);
    StartProgram();
    // Without an added key nothing ends a line at the receiver: an ENTER code ("~") does.
    const auto first = FirstScan(pty, std::string(p.scan));
    ASSERT_TRUE(first) << "no scan arrived";
    EXPECT_EQ(*first, p.typed);
    EXPECT_TRUE(Boxes().empty()) << Boxes().front();
    EXPECT_TRUE(probe.WindowsNamed(kSettingsWindowTitle).empty()) << "the port did not open";
}

std::string Junk(std::size_t n)
{
    std::string j;
    for (std::size_t i = 0; i < n; ++i) {
        j += static_cast<char>((i * 131 + 7) & 0xFF);
    }
    return j;
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedIniFaults,
    ::testing::Values(
        DamagedIni{"BinaryJunk", Junk(4096) + "\n",
                   "[SCANNER]\n" + Junk(2048) + "\n[PROGRAM]\nAddedString=ENTER\n", "007", "7<ENTER>"},
        DamagedIni{"MegabyteLine", std::string(1 << 20, 'x') + "\n",
                   "[PROGRAM]\nAddedString=" + std::string(1 << 20, 'T') + "\nDiscardNull=1\n", "007~",
                   "7<ENTER>"},
        DamagedIni{"NoNewlineAtTheEnd", "", "[PROGRAM]\nAddedString=ENTER\nDiscardNull=1", "007", "7<ENTER>"},
        DamagedIni{"ByteOrderMark", "\xEF\xBB\xBF", "[PROGRAM]\r\nAddedString=ENTER\r\n", "007", "7<ENTER>"},
        DamagedIni{"DuplicateKeys", "",
                   "[PROGRAM]\nAddedString=ENTER\nAddedString=TAB\nDiscardNull=1\nDiscardNull=0\n", "007",
                   "7<ENTER>"}),
    [](const auto& param) { return std::string(param.param.name); });

// The program copied beside a "locale" folder of its own, with LANG=hu: a sound catalogue
// translates the general error box, a damaged one leaves the built-in text; either way the
// program starts and scans arrive.
class CatalogueFaults : public ProgramFaults {
protected:
    void Run(bool damaged)
    {
        const fs::path bin = folder / "bin";
        const fs::path messages = bin / "locale" / "hu" / "LC_MESSAGES";
        fs::create_directories(messages);
        fs::copy_file(LANTORVIX_EXE, bin / "lantorvix");
        if (damaged) {
            WriteBytes(messages / "default.mo", "\xde\x12\x04\x95" + Junk(300));
            WriteBytes(messages / "cport.mo", Junk(64));
        } else {
            fs::copy_file(LANTORVIX_HU_CATALOGUE, messages / "default.mo");
        }
        exe = bin / "lantorvix";
        env["LANG"] = "hu_HU.UTF-8";
        PtyPair pty;
        WriteIni(pty.SlavePath(), kScanner);
        StartProgram({}, !damaged);
        if (damaged) {
            // Reported once at start-up in the general error box; then the program goes on.
            const auto box = probe.WaitForWindowNamed(kGeneralCaption, 20s);
            ASSERT_TRUE(box) << "no box about the damaged catalogue";
            ASSERT_TRUE(WaitUntil([&] { return !Boxes().empty(); }, 5s));
            EXPECT_EQ(Boxes().front().rfind("This file is not a valid GNU gettext mo file: ", 0), 0u)
                << Boxes().front();
            EXPECT_NE(Boxes().front().find("default.mo"), std::string::npos) << Boxes().front();
            probe.Focus(*box);
            probe.Key("Return");
            ASSERT_TRUE(WaitUntil([&] { return probe.EmbeddedWindows("lantorvix").size() == 1; }, 20s))
                << "no tray icon";
        }
        ASSERT_EQ(FirstScan(pty, "H1"), "H1<ENTER>");
        pty.Write("{ENTER x}\r\n");
        // The key sender reads a braced name and count in capitals.
        ExpectBox(kGeneralCaption,
                  damaged ? "'X' is not a valid integer value." : "'X' nem érvényes egész szám.");
        EXPECT_TRUE(ScanArrives(pty, "H2"));
    }
};

TEST_F(CatalogueFaults, SoundCatalogueTranslatesTheGeneralErrorBox)
{
    Run(false);
}

TEST_F(CatalogueFaults, DamagedCatalogueIsReportedAndTheBuiltInTextsAreUsed)
{
    Run(true);
}

struct HostileCode {
    const char* name;
    std::string bytes;
    const char* caption; // the box it brings, or empty
    const char* text;
    // What the next scan "N9" types right after; nothing when that is not certain (the rest
    // of the code typed as its box closed, wherever the focus was then, with no window
    // manager to give it back; or the scan went with the reception that overflowed).
    const char* nextTyped;
    std::vector<std::string> typed = {}; // the lines the code itself types first
    std::string settings = "";           // added to the scanner's
};

class HostileCodeFaults : public ProgramFaults, public ::testing::WithParamInterface<HostileCode> {};

TEST_P(HostileCodeFaults, TheUserSeesWhatTheCodeMeansAndLaterScansArrive)
{
    const auto& p = GetParam();
    PtyPair pty;
    WriteIni(pty.SlavePath(), kScanner + p.settings);
    StartProgram();
    ASSERT_EQ(FirstScan(pty, "S1"), "S1<ENTER>");
    pty.Write(p.bytes);
    if (*p.caption != '\0') {
        ExpectBox(p.caption, p.text);
    }
    for (const std::string& line : p.typed) {
        EXPECT_EQ(receiver->ReadLine(30s), line);
    }
    if (p.nextTyped != nullptr) {
        pty.Write("N9\r\n");
        const auto next = receiver->ReadLine(10s);
        ASSERT_TRUE(next) << "the scan after the code did not arrive";
        EXPECT_EQ(*next, p.nextTyped);
    }
    EXPECT_TRUE(ScanArrives(pty, "S2")) << "later scans do not arrive";
    if (*p.caption == '\0') {
        EXPECT_TRUE(Boxes().empty()) << Boxes().front();
    }
    for (const auto& line : receiver->Lines()) {
        EXPECT_LT(line.size(), 16384u) << "an over-long code was typed";
    }
}

// Codes typed as they stand, each with its ENTER, and the next scan right after them.
HostileCode AsTyped(const char* name, const std::vector<std::string>& codes, std::string settings = "")
{
    HostileCode c{name, "", "", "", "N9<ENTER>", {}, std::move(settings)};
    for (const std::string& code : codes) {
        c.bytes += code + "\r\n";
        c.typed.push_back(code + "<ENTER>");
    }
    return c;
}

std::string LongCode(std::size_t length)
{
    std::string code;
    for (std::size_t i = 0; code.size() < length; ++i) {
        code += "ABCDEFGHIJ0123456789abcdefghij"[i % 30];
    }
    return code;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, HostileCodeFaults,
    ::testing::Values(
        // A braced count that is no number: the general error box; the code is dropped.
        HostileCode{"RejectedCount", "{ENTER x}\r\n", kGeneralCaption.c_str(),
                    "'X' is not a valid integer value.", "N9<ENTER>"},
        // An unknown key name: the key sender's own box; the rest of the code is typed.
        HostileCode{"RejectedKeyName", "A{NOSUCHKEY}B\r\n", "SendKeys", "Invalid Key Name", nullptr},
        // 20,000 bytes with no stop string: dropped silently; what else came in its
        // receptions, and the time-out that may follow, are not certain.
        HostileCode{"TwentyThousandBytes", std::string(20000, '7'), "", "", nullptr},
        // A NUL ends the typed text: "AB" without its ENTER, so the next scan follows on.
        HostileCode{"NulInACode", "AB\0CD\r\n"s, "", "", "ABN9<ENTER>"},
        // 2D symbols: long codes in one burst each arrive whole.
        AsTyped("Long300", {LongCode(300)}), AsTyped("Long3000", {LongCode(3000)}),
        // LiteralCodes=1: what would press Alt+F4, Ctrl, Shift or Enter arrives as text, then
        // the added Enter; without it the language acts as before.
        AsTyped("LiteralCodes",
                {"%{F4}x+a(b)~^c{}", "https://example.com/p?id=A+B%20C", "(01)09501101530003(17)141231"},
                "LiteralCodes=1\n"),
        HostileCode{"WithoutLiteralCodes", "x{TAB}y\r\n", "", "", "N9<ENTER>", {"x<TAB>", "y<ENTER>"}}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace lantorvix::test
