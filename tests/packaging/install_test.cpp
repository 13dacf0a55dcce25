// The built package installed on this machine with apt-get, the program started by its
// desktop entry's Exec line typing a scan, and apt-get remove leaving none of its files.
// Root only; a machine that already has lantorvix installed is left alone (skipped). No
// download: every dependency must be installed already, as the build's are.

#include "../app/e2e/child_process.h"
#include "../app/e2e/desktop_session.h"
#include "../app/e2e/x_probe.h"

#include "support/file_bytes.h"
#include "support/test_temp_path.h"
#include "support/wait_until.h"
#include "support/xvfb_server.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include <unistd.h>

namespace lantorvix::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Standard output of a shell command, waiting at most `seconds`.
std::string Output(const std::string& command, int seconds = 60)
{
    std::string text;
    const std::string bounded = "timeout " + std::to_string(seconds) + " sh -c '" + command + "'";
    if (FILE* pipe = ::popen(bounded.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            text.append(buffer, n);
        }
        ::pclose(pipe);
    }
    return text;
}

bool Installed()
{
    return Output("dpkg-query -W -f=\\${db:Status-Abbrev} lantorvix 2>/dev/null").rfind("ii", 0) == 0;
}

class PackageInstall : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "installing a package needs root";
        }
        if (!Output("dpkg-query -W -f=\\${db:Status-Abbrev} lantorvix 2>/dev/null").empty()) {
            GTEST_SKIP() << "lantorvix is already known to dpkg here: this machine's own copy is left alone";
        }
        for (const auto& e : fs::directory_iterator(LANTORVIX_DEB_DIR)) {
            if (e.path().extension() == ".deb") {
                deb = e.path();
            }
        }
        ASSERT_FALSE(deb.empty());
        // Nothing to download: the dry run installs this package alone.
        const std::string plan =
            Output("apt-get install -s -q --no-install-recommends " + deb.string() + " | grep ^Inst");
        ASSERT_EQ(plan.rfind("Inst lantorvix ", 0), 0u) << plan;
        ASSERT_EQ(plan.find('\n'), plan.size() - 1) << "would install more than the package:\n" << plan;
        installing = true;
        ASSERT_EQ(RunProgram({"apt-get", "install", "-y", "-q", "--no-install-recommends", "-o",
                              "DPkg::Lock::Timeout=60", deb.string()},
                             240),
                  0);
        ASSERT_TRUE(Installed());
    }

    void TearDown() override
    {
        app.reset();
        simulator.reset();
        receiver.reset();
        trayer.reset();
        // Whatever happened, the machine is left as it was found.
        if (installing && !Output("dpkg-query -W lantorvix 2>/dev/null").empty()) {
            RunProgram({"apt-get", "purge", "-y", "-q", "-o", "DPkg::Lock::Timeout=60", "lantorvix"}, 120);
        }
    }

    fs::path deb;
    bool installing = false;
    std::unique_ptr<ChildProcess> trayer, receiver, simulator, app;
};

TEST_F(PackageInstall, DesktopEntryStartsTheProgramAndRemoveLeavesNothing)
{
    XvfbServer xvfb;
    XProbe probe(xvfb.Display());
    DesktopFolder folder(TestTempPath("lantorvix-install-"));
    auto env = folder.DesktopEnvironment(xvfb.Display());
    env["HOME"] = (folder.Path() / "work").string();
    env["PATH"] = "/usr/local/bin:/usr/bin:/bin";

    const std::string entry = ReadBytes(fs::path("/usr/share/applications/lantorvix.desktop"));
    const std::size_t exec = entry.find("\nExec=");
    ASSERT_NE(exec, std::string::npos) << entry;
    const std::string command = entry.substr(exec + 6, entry.find('\n', exec + 6) - exec - 6);

    StartTrayHost(env, probe, trayer);
    XProbe::Window receiverWindow = 0;
    StartReceiver(env, probe, receiver, receiverWindow);
    const std::string pty = StartSimulator(env, "/usr/bin/lantorvix-scanner-sim", false, simulator);
    ASSERT_FALSE(pty.empty());
    fs::create_directories(folder.Path() / "config" / "Lantorvix");
    WriteBytes(folder.Path() / "config" / "Lantorvix" / "Lantorvix.ini",
               "[PORT]\nPortNum=NINCS\nPortName=" + pty + "\n[PROGRAM]\nAddedString=ENTER\n");

    // As a desktop starts it: the Exec line through the shell, in the home folder.
    app = std::make_unique<ChildProcess>(
        ChildProcess::Options{{"/bin/sh", "-c", "exec " + command}, env, env["HOME"], false, false});
    ASSERT_TRUE(WaitUntil([&] { return probe.EmbeddedWindows("lantorvix").size() == 1; }, 20s))
        << "no tray icon";
    probe.Focus(receiverWindow);
    std::optional<std::string> typed;
    for (int attempt = 0; attempt < 40 && !typed; ++attempt) {
        simulator->Write("0012345\n");
        typed = receiver->ReadLine(500ms);
    }
    EXPECT_EQ(typed, "12345<ENTER>");
    app.reset();
    simulator.reset();

    std::vector<std::string> files;
    std::istringstream listed(Output("dpkg -L lantorvix"));
    for (std::string line; std::getline(listed, line);) {
        if (!line.empty() && !fs::is_directory(fs::symlink_status(line))) {
            files.push_back(line);
        }
    }
    EXPECT_GT(files.size(), 10u);
    ASSERT_EQ(RunProgram({"apt-get", "remove", "-y", "-q", "-o", "DPkg::Lock::Timeout=60", "lantorvix"}, 120),
              0);
    EXPECT_FALSE(Installed());
    EXPECT_EQ(Output("dpkg-query -W -f=\\${db:Status-Abbrev} lantorvix 2>/dev/null"), "")
        << "dpkg still remembers the package (configuration files left?)";
    for (const auto& file : files) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(file))) << file << " is left";
    }
    EXPECT_FALSE(fs::exists("/usr/lib/lantorvix"));
    EXPECT_FALSE(fs::exists("/usr/share/doc/lantorvix"));
}

} // namespace
} // namespace lantorvix::test
