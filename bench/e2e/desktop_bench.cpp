// The real `lantorvix` end to end on a private X server: a pseudo-terminal paced like a
// 115200-baud line in, key events at an X client out. Latency per scan against the
// do-it-yourself wedge (a shell loop around xdotool), throughput of scans back to back,
// idle cost and resident memory. Prints the figures; fails only when scans are typed twice
// or out of order or nothing gets through, never on time (lost scans are counted).

#include "../../tests/app/e2e/child_process.h"
#include "../../tests/app/e2e/desktop_folder.h"
#include "../../tests/app/e2e/x_probe.h"
#include "bench_results.h"
#include "key_clock.h"
#include "support/pty_pair.h"
#include "support/wait_until.h"
#include "support/xvfb_server.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace lantorvix::test;
using namespace lantorvix::bench;
using namespace std::chrono_literals;
using Clock = KeyClock::Clock;

// One byte on a 115200-baud line with a start and a stop bit.
constexpr auto kByteTime = std::chrono::nanoseconds(1'000'000'000LL * 10 / 115200);

// Writes bytes no faster than the line would carry them: each byte waits for its slot,
// counted from the first byte of the burst.
class PacedLine {
public:
    explicit PacedLine(int fd) : fd_(fd) {}
    void Begin() { next_ = Clock::now(); }
    void Send(const std::string& bytes)
    {
        for (char c : bytes) {
            const auto ns =
                std::chrono::duration_cast<std::chrono::nanoseconds>(next_.time_since_epoch()).count();
            const timespec at{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
            while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
            }
            while (::write(fd_, &c, 1) != 1) {
                if (errno != EAGAIN && errno != EINTR) {
                    throw std::runtime_error("write on the pseudo-terminal failed");
                }
                std::this_thread::sleep_for(100us);
            }
            next_ += kByteTime;
        }
    }

private:
    int fd_;
    Clock::time_point next_;
};

std::string Code(std::size_t i)
{
    char code[16];
    std::snprintf(code, sizeof code, "9%012zu", i);
    return code;
}

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

long ProcValue(const fs::path& file, const std::string& key)
{
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key, 0) == 0) {
            return std::stol(line.substr(key.size()));
        }
    }
    return -1;
}

std::string ReadSmall(const fs::path& file)
{
    std::ifstream in(file);
    std::string s;
    std::getline(in, s);
    return s;
}

struct Task {
    long tid;
    std::string name;
    long switches; // voluntary + involuntary
};

std::vector<Task> Tasks(pid_t pid)
{
    std::vector<Task> tasks;
    std::error_code ec;
    for (const auto& t : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        tasks.push_back({std::stol(t.path().filename().string()), ReadSmall(t.path() / "comm"),
                         ProcValue(t.path() / "status", "voluntary_ctxt_switches:") +
                             ProcValue(t.path() / "status", "nonvoluntary_ctxt_switches:")});
    }
    return tasks;
}

class Desktop {
public:
    Desktop() : probe_(xvfb_.Display())
    {
        trayer_ =
            std::make_unique<ChildProcess>(ChildProcess::Options{TrayHostCommand(), env_, "", false, false});
        WaitUntil([&] { return probe_.TrayHostRunning(); }, 15s);
        clock_ = std::make_unique<KeyClock>(xvfb_.Display());
    }

    ~Desktop()
    {
        app_.reset();
        wedge_.reset();
        clock_.reset();
        trayer_.reset();
    }

    KeyClock& Keys() { return *clock_; }
    pid_t AppPid() const { return app_ ? app_->Pid() : -1; }

    // `flushEachKeyEvent`: the keyboard hands every key event to the server on its own, as
    // before one flush per code; for the before/after latency figures.
    void StartLantorvix(const std::string& tty, bool flushEachKeyEvent = false)
    {
        auto env = env_;
        if (flushEachKeyEvent) {
            env["LANTORVIX_FLUSH_EACH_KEY_EVENT"] = "1";
        }
        std::ofstream(folder_ / "work" / "Lantorvix.ini")
            << "[PORT]\nPortNum=NINCS\nPortName=" << tty << "\nBaudRate=19200\n"
            << "[SCANNER]\nStopString=ENTER\n[PROGRAM]\nAddedString=ENTER\nDiscardNull=0\n";
        app_ = std::make_unique<ChildProcess>(
            ChildProcess::Options{{LANTORVIX_EXE}, env, (folder_ / "work").string(), false, false});
        for (int i = 0; i < 2000 && probe_.EmbeddedWindows("lantorvix").size() != 1; ++i) {
            std::this_thread::sleep_for(10ms);
        }
    }
    void StopLantorvix() { app_.reset(); }

    void StartWedge(const std::string& tty, bool noDelay)
    {
        const std::string delay = noDelay ? "--delay 0" : "";
        const std::string loop = "stty -F \"$0\" raw -echo && exec < \"$0\" && while IFS= read -r line; do "
                                 "line=${line%$'\\r'}; xdotool type " +
                                 delay + " -- \"$line\"; xdotool key " + delay + " Return; done";
        wedge_ = std::make_unique<ChildProcess>(
            ChildProcess::Options{{"bash", "-c", loop, tty}, env_, folder_.string(), false, false});
    }
    void StopWedge() { wedge_.reset(); }

private:
    XvfbServer xvfb_;
    XProbe probe_;
    DesktopFolder desktop_{fs::temp_directory_path() / ("lantorvix-e2e-bench-" + std::to_string(::getpid()))};
    const fs::path folder_ = desktop_.Path();
    std::map<std::string, std::string> env_ = desktop_.DesktopEnvironment(xvfb_.Display());
    std::unique_ptr<ChildProcess> trayer_, app_, wedge_;
    std::unique_ptr<KeyClock> clock_;
};

// Probes until a scan gets through, then lets stragglers drain; the line count restarts at 0.
bool AwaitLink(PtyPair& pty, KeyClock& keys)
{
    keys.Focus();
    bool linked = false;
    for (int attempt = 0; attempt < 60 && !linked; ++attempt) {
        pty.Write("PROBE\r\n");
        linked = keys.WaitLine(keys.Lines(), 500ms).has_value();
    }
    std::size_t seen = keys.Lines();
    while (keys.WaitLine(seen, 1000ms)) {
        seen = keys.Lines();
    }
    keys.Reset();
    return linked;
}

// Scans one at a time; each waits for its Return at the client. Latencies in ms.
std::vector<double> Latencies(PtyPair& pty, KeyClock& keys, std::size_t scans, std::size_t& wrong)
{
    PacedLine line(pty.MasterFd());
    std::vector<double> ms;
    for (std::size_t i = 0; i < scans; ++i) {
        const std::string code = Code(i);
        line.Begin();
        line.Send(code + "\r");
        line.Send("\n");
        const auto sent = Clock::now();
        const auto got = keys.WaitLine(i, 5s);
        if (!got) {
            ++wrong;
            break;
        }
        if (got->text != code) {
            ++wrong;
        }
        ms.push_back(Ms(got->at - sent));
    }
    return ms;
}

void ReportLatency(BenchResults& results, const std::string& name, const std::vector<double>& ms)
{
    results.Add(name + "_scans", static_cast<double>(ms.size()));
    results.Add(name + "_p50_ms", Percentile(ms, 0.50), "ms");
    results.Add(name + "_p99_ms", Percentile(ms, 0.99), "ms");
}

} // namespace

int main(int argc, char** argv)
{
    // Phases to run (all when none is named): latency throughput idle memory wedge.
    const std::vector<std::string> phases(argv + 1, argv + argc);
    const auto want = [&](const char* phase) {
        return phases.empty() || std::find(phases.begin(), phases.end(), phase) != phases.end();
    };
    BenchResults results(phases.empty() ? "e2e" : "e2e-partial");
    Desktop desktop;
    KeyClock& keys = desktop.Keys();
    bool ok = true;

    // Lantorvix.
    auto pty = std::make_unique<PtyPair>();
    std::size_t wrong = 0;
    if (want("latency")) {
        // The same scans with a flush after every key event, as before one flush per code.
        desktop.StartLantorvix(pty->SlavePath(), true);
        if (!AwaitLink(*pty, keys)) {
            std::fprintf(stderr, "no scan reached the X client through lantorvix\n");
            return 1;
        }
        ReportLatency(results, "lantorvix_latency_flush_each_event", Latencies(*pty, keys, 1000, wrong));
        desktop.StopLantorvix();
    }
    desktop.StartLantorvix(pty->SlavePath());
    if (!AwaitLink(*pty, keys)) {
        std::fprintf(stderr, "no scan reached the X client through lantorvix\n");
        return 1;
    }
    const pid_t pid = desktop.AppPid();
    const auto lat =
        Latencies(*pty, keys, want("latency") || want("memory") || want("wedge") ? 1000 : 100, wrong);
    ReportLatency(results, "lantorvix_latency", lat);
    results.Add("lantorvix_latency_wrong", static_cast<double>(wrong));
    ok = ok && wrong == 0;
    const long rss1k = ProcValue("/proc/" + std::to_string(pid) + "/status", "VmRSS:");

    // Throughput: 10,000 scans back to back at line speed, checked at the client.
    keys.Reset();
    if (want("throughput")) {
        constexpr std::size_t kScans = 10000;
        PacedLine line(pty->MasterFd());
        const auto start = Clock::now();
        line.Begin();
        for (std::size_t i = 0; i < kScans; ++i) {
            line.Send(Code(i) + "\r\n");
        }
        keys.WaitLine(kScans - 1, 60s);
        while (keys.WaitLine(keys.Lines(), 1000ms)) {
        }
        // Every line against the codes sent: in order, missing, repeated or garbled.
        std::size_t inOrder = 0, missing = 0, repeated = 0, garbled = 0;
        std::size_t next = 0;
        std::vector<std::string> samples;
        for (std::size_t i = 0; i < keys.Lines(); ++i) {
            const std::string text = keys.WaitLine(i, 0ms)->text;
            std::size_t index = 0;
            const bool isCode = text.size() == 13 && text[0] == '9' &&
                                std::sscanf(text.c_str() + 1, "%12zu", &index) == 1 && Code(index) == text;
            if (!isCode) {
                ++garbled;
                if (samples.size() < 5) {
                    samples.push_back("line " + std::to_string(i) + ": \"" + text + "\"");
                }
            } else if (index < next) {
                ++repeated;
            } else {
                missing += index - next;
                ++inOrder;
                next = index + 1;
            }
        }
        missing += kScans - next;
        results.Add("throughput_scans_sent", kScans);
        results.Add("throughput_scans_typed_in_order", static_cast<double>(inOrder));
        results.Add("throughput_scans_missing", static_cast<double>(missing));
        results.Add("throughput_lines_repeated", static_cast<double>(repeated));
        results.Add("throughput_lines_garbled", static_cast<double>(garbled));
        for (const auto& sample : samples) {
            std::printf("  %s\n", sample.c_str());
        }
        if (keys.Lines() > 0) {
            // Scans typed in order per second, from the first byte sent to the last line.
            const auto end = keys.WaitLine(keys.Lines() - 1, 0ms)->at;
            results.Add("throughput_scans_per_s",
                        static_cast<double>(inOrder) / std::chrono::duration<double>(end - start).count(),
                        "scans/s");
            results.Add("throughput_line_limit_scans_per_s",
                        1.0 / (15 * std::chrono::duration<double>(kByteTime).count()), "scans/s");
        }
        if (inOrder != kScans || garbled != 0) {
            // Counted, not failed: a program that falls behind the line gets many scans in one
            // reception, which the buffer rule has to survive.
            std::fprintf(stderr, "throughput: LOST SCANS: %zu of %zu typed in order, %zu garbled\n", inOrder,
                         kScans, garbled);
        }
        if (repeated != 0) {
            std::fprintf(stderr, "throughput: %zu scans typed twice or out of order\n", repeated);
            ok = false;
        }
    }

    // Idle: nothing arrives for 10 s with the port open.
    if (want("idle")) {
        std::this_thread::sleep_for(1s);
        const auto before = Tasks(pid);
        std::this_thread::sleep_for(10s);
        const auto after = Tasks(pid);
        long total = 0;
        for (const auto& a : after) {
            for (const auto& b : before) {
                if (a.tid == b.tid) {
                    total += a.switches - b.switches;
                    std::printf("  idle thread %ld (%s): %ld context switches in 10 s\n", a.tid,
                                a.name.c_str(), a.switches - b.switches);
                }
            }
        }
        results.Add("idle_process_wakeups_per_s", static_cast<double>(total) / 10.0, "/s");
        // System calls per thread under strace over another 10 s. The threads that carry the
        // program's own name besides the main thread are the port's.
        const fs::path trace =
            fs::temp_directory_path() / ("lantorvix-idle-" + std::to_string(::getpid()) + ".strace");
        RunProgram({"timeout", "-s", "INT", "10", "strace", "-f", "-qq", "-p", std::to_string(pid), "-o",
                    trace.string()},
                   30);
        std::map<long, long> calls;
        std::ifstream in(trace);
        for (std::string l; std::getline(in, l);) {
            if (l.find("resuming interrupted") != std::string::npos || l.find("+++") != std::string::npos ||
                l.find("---") != std::string::npos) {
                continue; // strace's own attach, not a call the program made
            }
            std::istringstream s(l);
            long tid = 0;
            s >> tid;
            ++calls[tid];
        }
        fs::remove(trace);
        const std::string mainName = ReadSmall("/proc/" + std::to_string(pid) + "/comm");
        long portThreads = 0;
        long portCalls = 0;
        long allCalls = 0;
        for (const auto& t : Tasks(pid)) {
            allCalls += calls[t.tid];
            std::printf("  idle thread %ld (%s): %ld system calls in 10 s\n", t.tid, t.name.c_str(),
                        calls[t.tid]);
            if (t.tid != pid && t.name == mainName) {
                ++portThreads;
                portCalls += calls[t.tid];
            }
        }
        results.Add("idle_port_threads", static_cast<double>(portThreads));
        results.Add("idle_port_thread_syscalls_10s", static_cast<double>(portCalls));
        results.Add("idle_process_syscalls_10s", static_cast<double>(allCalls));
    }

    // Resident memory: after 1,000 scans (measured above) and after 100,000 in all.
    if (want("memory")) {
        keys.Reset();
        constexpr std::size_t kMore = 89000; // 1,000 + 10,000 already done
        // Whole scans at line speed: a burst faster than the line would only measure the
        // buffer's overflow rule.
        PacedLine line(pty->MasterFd());
        std::size_t sent = 0;
        const auto deadline = Clock::now() + 400s;
        line.Begin();
        while (sent < kMore && Clock::now() < deadline) {
            line.Send(Code(sent) + "\r\n");
            ++sent;
        }
        keys.WaitLine(sent - 1, 30s);
        while (keys.WaitLine(keys.Lines(), 2000ms)) {
        }
        const std::size_t total = 11000 + sent; // scans received by the program
        const long rss = ProcValue("/proc/" + std::to_string(pid) + "/status", "VmRSS:");
        results.Add("rss_after_1000_scans_kib", static_cast<double>(rss1k), "KiB");
        results.Add("rss_scans_total", static_cast<double>(total));
        results.Add("rss_after_all_scans_kib", static_cast<double>(rss), "KiB");
        results.Add("rss_growth_kib", static_cast<double>(rss - rss1k), "KiB");
        results.Add("memory_run_scans_missing", static_cast<double>(sent - keys.Lines()));
        if (keys.Lines() == 0) {
            std::fprintf(stderr, "memory run: no scan arrived\n");
            ok = false;
        }
    }
    desktop.StopLantorvix();
    pty.reset();

    // The do-it-yourself wedge, with xdotool's default key delay and with none.
    for (const bool noDelay : {false, true}) {
        if (!want("wedge")) {
            break;
        }
        auto wpty = std::make_unique<PtyPair>();
        desktop.StartWedge(wpty->SlavePath(), noDelay);
        if (!AwaitLink(*wpty, keys)) {
            std::fprintf(stderr, "the xdotool wedge typed nothing\n");
            ok = false;
            continue;
        }
        std::size_t wedgeWrong = 0;
        const auto w = Latencies(*wpty, keys, noDelay ? 200 : 60, wedgeWrong);
        const std::string name = noDelay ? "wedge_delay0_latency" : "wedge_default_latency";
        ReportLatency(results, name, w);
        results.Add(name + "_wrong", static_cast<double>(wedgeWrong));
        results.Add(name + "_p50_ratio", Percentile(w, 0.5) / Percentile(lat, 0.5), "x");
        desktop.StopWedge();
    }
    return ok ? 0 : 1;
}
