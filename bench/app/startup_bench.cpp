// Start-up cost of the Linux program: time from exec to its tray icon being present, and
// its resident memory once it sits in the tray with the scanner port open. Prints numbers;
// never fails on them.

#include "../../tests/app/e2e/child_process.h"
#include "../../tests/app/e2e/x_probe.h"
#include "support/process_fds.h"
#include "support/xvfb_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace lantorvix::test;
using Clock = std::chrono::steady_clock;

long ResidentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

template <typename Condition> bool Await(Condition c, std::chrono::seconds bound)
{
    const auto end = Clock::now() + bound;
    while (!c()) {
        if (Clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace

int main()
{
    XvfbServer xvfb;
    XProbe probe(xvfb.Display());
    const fs::path folder = fs::temp_directory_path() / ("lantorvix-bench-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    for (const char* sub : {"work", "runtime", "config", "xdg"}) {
        fs::create_directories(folder / sub);
    }
    fs::permissions(folder / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    const std::map<std::string, std::string> env = {{"DISPLAY", xvfb.Display()},
                                                    {"XDG_RUNTIME_DIR", (folder / "runtime").string()},
                                                    {"XDG_CONFIG_HOME", (folder / "config").string()},
                                                    {"XDG_CONFIG_DIRS", (folder / "xdg").string()},
                                                    {"QT_QPA_PLATFORM", "xcb"},
                                                    {"WAYLAND_DISPLAY", ""}};
    ChildProcess trayer({{"trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
                          "--height", "32", "--SetDockType", "false"},
                         env,
                         "",
                         false,
                         false});
    if (!Await([&] { return probe.TrayHostRunning(); }, std::chrono::seconds(15))) {
        std::printf("trayer did not start\n");
        return 1;
    }
    ChildProcess simulator({{LANTORVIX_SIMULATOR, "--no-wait", "--linger", "-1"}, env, "", true, true});
    const auto pty = simulator.ReadLine(std::chrono::seconds(10));
    if (!pty) {
        std::printf("the simulator did not start\n");
        return 1;
    }
    std::ofstream(folder / "work" / "Lantorvix.ini")
        << "[PORT]\nPortNum=NINCS\nPortName=" << *pty << "\n[PROGRAM]\nAddedString=ENTER\n";

    constexpr int kRuns = 7;
    std::vector<double> trayMs;
    std::vector<long> rssKiB;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = Clock::now();
        ChildProcess app({{LANTORVIX_EXE}, env, (folder / "work").string(), false, false});
        if (!Await([&] { return probe.EmbeddedWindows("lantorvix").size() == 1; },
                   std::chrono::seconds(30))) {
            std::printf("run %d: no tray icon\n", run);
            return 1;
        }
        trayMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        Await([&] { return ProcessHoldsOpen(app.Pid(), *pty); }, std::chrono::seconds(10));
        rssKiB.push_back(ResidentKiB(app.Pid()));
        app.Terminate();
        app.Wait(std::chrono::seconds(10));
        Await([&] { return probe.EmbeddedWindows("lantorvix").empty(); }, std::chrono::seconds(10));
    }
    std::sort(trayMs.begin(), trayMs.end());
    std::sort(rssKiB.begin(), rssKiB.end());
    std::printf("lantorvix start-up over %d runs (the first one cold)\n", kRuns);
    std::printf("  exec to tray icon present: min %.1f ms, median %.1f ms, max %.1f ms (goal < 300 ms)\n",
                trayMs.front(), trayMs[trayMs.size() / 2], trayMs.back());
    std::printf("  resident memory in the tray, port open: min %.1f MiB, median %.1f MiB, max %.1f MiB (goal "
                "< 40 MiB)\n",
                static_cast<double>(rssKiB.front()) / 1024,
                static_cast<double>(rssKiB[rssKiB.size() / 2]) / 1024,
                static_cast<double>(rssKiB.back()) / 1024);
    fs::remove_all(folder);
    return 0;
}
