// Recovery of the Linux program after its scanner goes away: how long from the device's
// return (its by-id style link pointed at a fresh pseudo-terminal) until the program holds
// it open again, and from the hang-up until it let the old one go, over 20 unplugs; and how
// often the program's threads wake while connected and idle, and while the scanner is away.
// Prints numbers; never fails on them.

#include "../../tests/app/e2e/child_process.h"
#include "../../tests/app/e2e/desktop_folder.h"
#include "../../tests/app/e2e/x_probe.h"
#include "../e2e/bench_results.h"
#include "support/process_fds.h"
#include "support/pty_pair.h"
#include "support/xvfb_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace lantorvix::test;
using Clock = std::chrono::steady_clock;

// Times a condition of another process, looking every 100 microseconds; -1 when it did not
// come within the bound.
template <typename Condition> double MsUntil(Condition c, Clock::time_point from, std::chrono::seconds bound)
{
    const auto end = from + bound;
    while (!c()) {
        if (Clock::now() > end) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// Voluntary context switches of each of the process's threads: each is a sleep the thread
// woke from. Preemptions (nonvoluntary) follow the machine's load, not the program.
std::map<std::string, long> Switches(pid_t pid)
{
    std::map<std::string, long> perThread;
    std::error_code ec;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                perThread[task.path().filename().string()] = std::stol(line.substr(line.find(':') + 1));
            }
        }
    }
    return perThread;
}

// A thread that ends in the span takes its count along: only the threads there at its end
// are counted, from zero when they began within it.
double WakeupsPerSecond(pid_t pid, std::chrono::seconds span)
{
    const auto before = Switches(pid);
    std::this_thread::sleep_for(span);
    long woken = 0;
    for (const auto& [thread, count] : Switches(pid)) {
        const auto earlier = before.find(thread);
        woken += count - (earlier == before.end() ? 0 : earlier->second);
    }
    return static_cast<double>(woken) / static_cast<double>(span.count());
}

void PointLinkAt(const fs::path& link, const std::string& target)
{
    const fs::path fresh = link.string() + ".new";
    fs::create_symlink(target, fresh);
    fs::rename(fresh, link);
}

// Records p50, p99 and max of the samples as <key>_p50_ms, ...
void Record(lantorvix::bench::BenchResults& results, const std::string& key, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) {
        return ms[static_cast<std::size_t>(q * static_cast<double>(ms.size() - 1) + 0.5)];
    };
    results.Add(key + "_p50_ms", at(0.5), "ms");
    results.Add(key + "_p99_ms", at(0.99), "ms");
    results.Add(key + "_max_ms", ms.back(), "ms");
}

} // namespace

int main()
{
    XvfbServer xvfb;
    XProbe probe(xvfb.Display());
    DesktopFolder folder(fs::temp_directory_path() /
                         ("lantorvix-recovery-bench-" + std::to_string(::getpid())));
    const auto env = folder.DesktopEnvironment(xvfb.Display());
    ChildProcess trayer({TrayHostCommand(), env, "", false, false});
    const fs::path link = folder.Path() / "by-id" / "usb-Scanner-if00";
    fs::create_directories(link.parent_path());
    auto pty = std::make_unique<PtyPair>();
    PointLinkAt(link, pty->SlavePath());
    std::ofstream(folder.Path() / "work" / "Lantorvix.ini")
        << "[PORT]\nPortNum=NINCS\nPortName=" << link.string() << "\n[PROGRAM]\nAddedString=ENTER\n";

    ChildProcess app({{LANTORVIX_EXE}, env, (folder.Path() / "work").string(), false, false});
    if (MsUntil([&] { return ProcessHoldsOpen(app.Pid(), pty->SlavePath()); }, Clock::now(),
                std::chrono::seconds(30)) < 0) {
        std::printf("the program did not open the scanner\n");
        return 1;
    }
    // Let start-up settle (tray docking, first paint) before counting.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double connectedIdle = WakeupsPerSecond(app.Pid(), std::chrono::seconds(10));

    constexpr int kReturns = 20;
    std::vector<double> closed, back;
    double awayIdle = 0;
    for (int i = 0; i < kReturns; ++i) {
        // A scanner in use for more than a second: a quicker loss would count as a failing
        // device and be retried only after a back-off.
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        const dev_t old = DeviceNumber(pty->SlavePath());
        const auto hangUp = Clock::now();
        pty->CloseMaster();
        closed.push_back(
            MsUntil([&] { return !ProcessHoldsDevice(app.Pid(), old); }, hangUp, std::chrono::seconds(10)));
        // The link goes with the device, as udev removes it; left dangling, it could come to
        // name another program's pseudo-terminal that reuses the number.
        fs::remove(link);
        if (i == 0) {
            awayIdle = WakeupsPerSecond(app.Pid(), std::chrono::seconds(10));
        }
        pty = std::make_unique<PtyPair>();
        const auto returned = Clock::now();
        PointLinkAt(link, pty->SlavePath());
        back.push_back(MsUntil([&] { return ProcessHoldsOpen(app.Pid(), pty->SlavePath()); }, returned,
                               std::chrono::seconds(10)));
        if (back.back() < 0 || closed.back() < 0) {
            std::printf("unplug %d: the program did not follow (closed %.1f, back %.1f)\n", i, closed.back(),
                        back.back());
            return 1;
        }
    }
    std::printf(
        "lantorvix recovery after the scanner goes away: %d unplugs, a link in a by-id style folder;\n"
        "goals: back within 1000 ms, old tty closed within 100 ms, no wake-up while connected, at most\n"
        "one retry a second while away (a retry wakes the watch thread, and the main thread only when\n"
        "the path is there)\n",
        kReturns);
    lantorvix::bench::BenchResults results("recovery");
    Record(results, "recovery_device_back_to_port_open", back);
    Record(results, "recovery_hang_up_to_old_tty_closed", closed);
    results.Add("recovery_wakeups_per_s_connected_idle", connectedIdle,
                "voluntary context switches/s, all threads");
    results.Add("recovery_wakeups_per_s_scanner_away", awayIdle, "voluntary context switches/s, all threads");
    app.Terminate();
    app.Wait(std::chrono::seconds(10));
    return 0;
}
