// The real `lantorvix` typing on sway through the compositor's virtual keyboard, beside the
// same program typing through XTest on Xvfb, both into the same Qt receiver: latency from the
// scan's last byte on the pseudo-terminal to the receiver's line, and on sway the cost of a
// keymap sent anew (each code with a character the keymap lacks, then the same codes again).
// Prints the figures; fails only when nothing gets through or scans arrive wrong.

#include "../../tests/app/e2e/child_process.h"
#include "../../tests/app/e2e/desktop_folder.h"
#include "../../tests/app/e2e/sway_session.h"
#include "../../tests/app/e2e/x_probe.h"
#include "bench_results.h"
#include "support/pty_pair.h"
#include "support/wait_until.h"
#include "support/xvfb_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace lantorvix::test;
using namespace lantorvix::bench;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kScans = 300;

std::string Ini(const std::string& tty)
{
    return "[PORT]\nPortNum=NINCS\nPortName=" + tty +
           "\nBaudRate=19200\n[SCANNER]\nStopString=ENTER\n[PROGRAM]\nAddedString=ENTER\nDiscardNull=0\n";
}

std::string Digits(std::size_t i)
{
    char code[16];
    std::snprintf(code, sizeof code, "9%012zu", i);
    return code;
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5))];
}

// Codes (bytes of the line, then what the receiver shows) one at a time; latencies in ms,
// counting scans that arrived wrong.
std::vector<double> Latencies(PtyPair& pty, ChildProcess& receiver,
                              const std::vector<std::pair<std::string, std::string>>& codes,
                              std::size_t& wrong)
{
    std::vector<double> ms;
    for (const auto& [bytes, shown] : codes) {
        pty.Write(bytes + "\r\n");
        const auto sent = Clock::now();
        const auto line = receiver.ReadLine(5s);
        if (!line) {
            ++wrong;
            break;
        }
        wrong += *line == shown + "<ENTER>" ? 0 : 1;
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    }
    return ms;
}

bool AwaitLink(PtyPair& pty, ChildProcess& receiver)
{
    for (int attempt = 0; attempt < 60; ++attempt) {
        pty.Write("PROBE\r\n");
        if (const auto line = receiver.ReadLine(500ms); line && *line == "PROBE<ENTER>") {
            while (receiver.ReadLine(500ms)) {
            }
            return true;
        }
    }
    return false;
}

void Report(BenchResults& results, const std::string& name, const std::vector<double>& ms)
{
    results.Add(name + "_scans", static_cast<double>(ms.size()));
    results.Add(name + "_p50_ms", Percentile(ms, 0.50), "ms");
    results.Add(name + "_p99_ms", Percentile(ms, 0.99), "ms");
}

std::vector<std::pair<std::string, std::string>> DigitCodes()
{
    std::vector<std::pair<std::string, std::string>> codes;
    for (std::size_t i = 0; i < kScans; ++i) {
        codes.emplace_back(Digits(i), Digits(i));
    }
    return codes;
}

// Thirteen digits and one of the cp1252 letters from C0 on (U+00C0...), a different one each.
std::vector<std::pair<std::string, std::string>> LetterCodes()
{
    std::vector<std::pair<std::string, std::string>> codes;
    for (int ch = 0xC0; ch <= 0xFF; ++ch) {
        const std::string utf8 = {static_cast<char>(0xC0 | (ch >> 6)), static_cast<char>(0x80 | (ch & 0x3F))};
        codes.emplace_back(Digits(static_cast<std::size_t>(ch)) + static_cast<char>(ch),
                           Digits(static_cast<std::size_t>(ch)) + utf8);
    }
    return codes;
}

} // namespace

int main()
{
    BenchResults results("wayland");
    std::size_t wrong = 0;
    {
        SwaySession session(fs::temp_directory_path() /
                                ("lantorvix-sway-bench-" + std::to_string(::getpid())),
                            "de", "", {LANTORVIX_EXE, LANTORVIX_RECEIVER});
        if (!session.Running()) {
            std::fprintf(stderr, "%s\n", session.Failure().c_str());
            return 1;
        }
        auto receiver = session.Start({session.Program("lantorvix-receiver")});
        receiver->ReadLine(20s);
        WaitUntil([&] { return session.Command("[app_id=\"lantorvix-receiver\"] focus"); }, 20s);
        PtyPair pty;
        session.Hand(pty.SlavePath());
        const auto work = session.Folder() / "work";
        std::ofstream(work / "Lantorvix.ini") << Ini(pty.SlavePath());
        session.Hand(work);
        auto app = session.Start({session.Program("lantorvix")}, work.string(), false, false);
        if (!AwaitLink(pty, *receiver)) {
            std::fprintf(stderr, "no scan reached the receiver on sway\n");
            return 1;
        }
        Report(results, "sway_latency", Latencies(pty, *receiver, DigitCodes(), wrong));
        Report(results, "sway_new_keymap_latency", Latencies(pty, *receiver, LetterCodes(), wrong));
        Report(results, "sway_same_keymap_latency", Latencies(pty, *receiver, LetterCodes(), wrong));
    }
    {
        XvfbServer xvfb;
        XProbe probe(xvfb.Display());
        DesktopFolder folder(fs::temp_directory_path() / ("lantorvix-x-bench-" + std::to_string(::getpid())));
        auto env = folder.DesktopEnvironment(xvfb.Display());
        env["LANG"] = "C.UTF-8";
        auto receiver =
            std::make_unique<ChildProcess>(ChildProcess::Options{{LANTORVIX_RECEIVER}, env, "", false, true});
        receiver->ReadLine(20s);
        const auto window = probe.WaitForWindowNamed("Lantorvix receiver", 15s);
        PtyPair pty;
        std::ofstream(folder.Path() / "work" / "Lantorvix.ini") << Ini(pty.SlavePath());
        auto app = std::make_unique<ChildProcess>(
            ChildProcess::Options{{LANTORVIX_EXE}, env, (folder.Path() / "work").string(), false, false});
        probe.WaitForWindowNamed("Lantorvix - Beállítások", 15s);
        if (window) {
            probe.Focus(*window);
        }
        if (!AwaitLink(pty, *receiver)) {
            std::fprintf(stderr, "no scan reached the receiver on X\n");
            return 1;
        }
        Report(results, "x_latency", Latencies(pty, *receiver, DigitCodes(), wrong));
    }
    results.Add("wrong_scans", static_cast<double>(wrong));
    return wrong == 0 ? 0 : 1;
}
