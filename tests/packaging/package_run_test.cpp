// The program of the built Debian package, unpacked into a folder (dpkg-deb -x) and run from
// there under Xvfb as a user would run it: from /usr/bin, in a working directory without a
// settings file, with LANG=hu_HU.UTF-8; and its autostart entry as root and as "nobody".

#include "../app/e2e/child_process.h"
#include "../app/e2e/desktop_session.h"
#include "../app/e2e/x_probe.h"

#include "support/file_bytes.h"
#include "support/test_temp_path.h"
#include "support/wait_until.h"
#include "support/xvfb_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include <pwd.h>
#include <unistd.h>

namespace lantorvix::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

fs::path PackageFile()
{
    for (const auto& e : fs::directory_iterator(LANTORVIX_DEB_DIR)) {
        if (e.path().extension() == ".deb") {
            return e.path();
        }
    }
    return {};
}

class InstalledProgram : public ::testing::Test {
protected:
    InstalledProgram() : probe(xvfb.Display())
    {
        const fs::path deb = PackageFile();
        EXPECT_FALSE(deb.empty()) << "no package in " << LANTORVIX_DEB_DIR;
        EXPECT_EQ(RunProgram({"dpkg-deb", "-x", deb.string(), root.string()}, 60), 0);
        // Folders the program's user may enter, whoever that is.
        fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
        boxLog = folder / "boxes.log";
        env["LANG"] = "hu_HU.UTF-8";
        env["LANTORVIX_BOX_LOG"] = boxLog.string();
        env["LD_PRELOAD"] = LANTORVIX_BOX_LOG_SHIM;
        StartTrayHost(env, probe, trayer);
    }

    ~InstalledProgram() override
    {
        app.reset();
        simulator.reset();
        receiver.reset();
        trayer.reset();
    }

    // The installed simulator; its terminal open to anyone, as a scanner's tty is to dialout.
    void StartSimulator()
    {
        const std::string path =
            test::StartSimulator(env, (root / "usr/bin/lantorvix-scanner-sim").string(), false, simulator);
        ASSERT_FALSE(path.empty());
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                  fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
        // Where an installed program keeps its settings: not in its working directory.
        fs::create_directories(folder / "config" / "Lantorvix");
        WriteBytes(folder / "config" / "Lantorvix" / "Lantorvix.ini",
                   "[PORT]\nPortNum=NINCS\nPortName=" + path +
                       "\nBaudRate=9600\n[PROGRAM]\nAddedString=ENTER\nDiscardNull=1\n");
    }

    // /usr/bin/lantorvix, the link, in the empty work/ folder; in the tray with its port open.
    void StartProgram(const std::vector<std::string>& prefix = {})
    {
        std::vector<std::string> argv = prefix;
        argv.push_back((root / "usr/bin/lantorvix").string());
        app = std::make_unique<ChildProcess>(
            ChildProcess::Options{argv, env, (folder / "work").string(), false, false});
        ASSERT_TRUE(WaitUntil([&] { return probe.EmbeddedWindows("lantorvix").size() == 1; }, 20s))
            << "no tray icon";
    }

    std::optional<std::string> AwaitScan(const std::string& code)
    {
        probe.Focus(receiverWindow);
        std::optional<std::string> first;
        for (int attempt = 0; attempt < 40 && !first; ++attempt) {
            simulator->Write(code + "\n");
            first = receiver->ReadLine(500ms);
        }
        while (receiver->ReadLine(300ms)) {
        }
        return first;
    }

    std::vector<std::string> Boxes() const { return LoggedBoxes(boxLog); }

    // Opens the settings window from the tray, flips "Bekapcsoláskor indul" and applies.
    void ToggleAutostartAndApply()
    {
        const auto window = OpenSettingsFromTray(probe);
        ASSERT_TRUE(window);
        ClickControl(probe, *window, cid::ChkAutoRun);
        ClickControl(probe, *window, cid::btnOK);
        ASSERT_TRUE(WaitUntil([&] { return probe.WindowsNamed(kSettingsWindowTitle).empty(); }, 10s))
            << "the window stays after Alkalmaz";
    }

    XvfbServer xvfb;
    XProbe probe;
    DesktopFolder testFolder{TestTempPath("lantorvix-package-")};
    const fs::path folder = testFolder.Path();
    const fs::path root = folder / "root";
    std::map<std::string, std::string> env = testFolder.DesktopEnvironment(xvfb.Display());
    fs::path boxLog;
    std::unique_ptr<ChildProcess> trayer, receiver, simulator, app;
    XProbe::Window receiverWindow = 0;
};

TEST_F(InstalledProgram, FindsItsHungarianCatalogueAndTypesScans)
{
    StartReceiver(env, probe, receiver, receiverWindow);
    StartSimulator();
    StartProgram();
    ASSERT_EQ(AwaitScan("0042"), "42<ENTER>");
    // A message whose Hungarian text only the catalogue beside the program holds.
    simulator->Write("{ENTER x}\n");
    const auto box = probe.WaitForWindowNamed("lantorvix", 10s);
    ASSERT_TRUE(box) << "no error box";
    ASSERT_TRUE(WaitUntil([&] { return !Boxes().empty(); }, 5s));
    EXPECT_EQ(Boxes().back(), "'X' nem érvényes egész szám.");
    probe.Focus(*box);
    probe.Key("Return");
    ASSERT_TRUE(WaitUntil([&] { return probe.WindowsNamed("lantorvix").empty(); }, 10s));
    EXPECT_EQ(AwaitScan("ABC-9"), "ABC-9<ENTER>");
}

// An upgrade replaces the running binary (a new file renamed over it): the entry written
// afterwards names the program's path, where the new binary is, not "<path> (deleted)".
TEST_F(InstalledProgram, AutostartAfterAnUpgradeNamesTheStablePath)
{
    StartSimulator();
    StartProgram({});
    const fs::path program = root / "usr/lib/lantorvix/lantorvix";
    const fs::path upgraded = program.string() + ".dpkg-new";
    fs::copy_file(program, upgraded);
    fs::rename(upgraded, program);
    ToggleAutostartAndApply();
    const std::string entry = ReadBytes(folder / "xdg" / "autostart" / "lantorvix.desktop");
    EXPECT_NE(entry.find("\nExec=" + program.string() + "\n"), std::string::npos) << entry;
    EXPECT_EQ(entry.find("deleted"), std::string::npos) << entry;
}

struct AutostartUser {
    const char* name;
    bool nobody;
};

class InstalledAutostart : public InstalledProgram, public ::testing::WithParamInterface<AutostartUser> {};

// Root writes the machine-wide entry; "nobody", who may not, writes its own instead of
// getting the error box. Unchecking removes what checking wrote.
TEST_P(InstalledAutostart, CheckingWritesTheEntryAndUncheckingRemovesIt)
{
    StartSimulator();
    std::vector<std::string> prefix;
    if (GetParam().nobody) {
        const passwd* nobody = ::getpwnam("nobody");
        if (::geteuid() != 0 || nobody == nullptr) {
            GTEST_SKIP() << "needs root to run the program as another user";
        }
        // Its own runtime and configuration folders and the box log; the machine's stay root's.
        WriteBytes(boxLog, "");
        for (const fs::path& p : {folder / "runtime", folder / "config", folder / "config" / "Lantorvix",
                                  folder / "config" / "Lantorvix" / "Lantorvix.ini", boxLog}) {
            ASSERT_EQ(::chown(p.c_str(), nobody->pw_uid, nobody->pw_gid), 0) << p;
        }
        prefix = {"setpriv", "--reuid=" + std::to_string(nobody->pw_uid),
                  "--regid=" + std::to_string(nobody->pw_gid), "--clear-groups"};
    }
    StartProgram(prefix);
    // Named after the application title, the executable's name.
    const fs::path machine = folder / "xdg" / "autostart" / "lantorvix.desktop";
    const fs::path user = folder / "config" / "autostart" / "lantorvix.desktop";
    const fs::path written = GetParam().nobody ? user : machine;

    ToggleAutostartAndApply();
    ASSERT_TRUE(fs::exists(written));
    EXPECT_FALSE(fs::exists(GetParam().nobody ? machine : user));
    EXPECT_NE(ReadBytes(written).find("\nExec=" + (root / "usr/lib/lantorvix/lantorvix").string() + "\n"),
              std::string::npos)
        << ReadBytes(written);
    EXPECT_EQ(RunProgram({"desktop-file-validate", written.string()}), 0) << ReadBytes(written);

    ToggleAutostartAndApply();
    EXPECT_FALSE(fs::exists(written));
    EXPECT_TRUE(Boxes().empty()) << Boxes().front();
}

INSTANTIATE_TEST_SUITE_P(Users, InstalledAutostart,
                         ::testing::Values(AutostartUser{"Root", false}, AutostartUser{"Nobody", true}),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace lantorvix::test
