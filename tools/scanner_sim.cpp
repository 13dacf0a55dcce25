// A barcode scanner on a pseudo-terminal: prints the terminal's path on the first line of
// standard output, waits until a program opens it (and, on request, emptied its input), then sends
// codes with a terminator at a chosen rate and line speed. Codes come from the arguments, a
// file, or standard input (one code per line, sent as each line arrives).

#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <optional>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnSignal(int)
{
    stopRequested = 1;
}

void Usage()
{
    std::cerr
        << "usage: lantorvix-scanner-sim [options] [code...]\n"
           "  -t, --terminator T   crlf (default), cr, lf, tab, none, or text with \\r \\n \\t \\xHH\n"
           "  -i, --interval MS    pause between codes (default 200)\n"
           "  -b, --baud N         pace bytes as a line at N baud, 10 bits a byte (0 = no pacing)\n"
           "  -f, --file PATH      read codes from a file, one a line\n"
           "  -l, --link PATH      also make PATH a symbolic link to the terminal\n"
           "  -d, --delay MS       pause after the terminal was opened, before the first code (default 500)\n"
           "  -n, --no-wait        do not wait for the terminal to be opened\n"
           "  -F, --wait-flush     after the open, also wait until the program emptied its input (a\n"
           "                       serial port's open does, and would drop what came before)\n"
           "      --linger MS      keep the terminal after the last code (default 1000; -1 = until a "
           "signal)\n"
           "Without codes and without --file, codes are read from standard input.\n";
}

// The terminator is built in a string of its own and moved out: assigning literals to the
// caller's string in place draws GCC 12's false -Wrestrict at -O3.
std::optional<std::string> ParseTerminator(std::string_view name)
{
    static constexpr std::pair<std::string_view, std::string_view> named[] = {
        {"crlf", "\r\n"}, {"cr", "\r"}, {"lf", "\n"}, {"tab", "\t"}, {"none", ""}};
    for (const auto& [key, bytes] : named) {
        if (name == key) {
            return std::string(bytes);
        }
    }
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '\\' || i + 1 >= name.size()) {
            out += name[i];
            continue;
        }
        const char e = name[++i];
        if (e == 'r') {
            out += '\r';
        } else if (e == 'n') {
            out += '\n';
        } else if (e == 't') {
            out += '\t';
        } else if (e == '\\') {
            out += '\\';
        } else if (e == 'x' && i + 2 < name.size() &&
                   std::isxdigit(static_cast<unsigned char>(name[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(name[i + 2]))) {
            out += static_cast<char>(std::stoi(std::string(name.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

struct Options {
    std::string terminator = "\r\n";
    long intervalMs = 200;
    long baud = 0;
    long delayMs = 500;
    long lingerMs = 1000;
    bool waitOpen = true;
    bool waitFlush = false;
    bool quiet = false;
    std::string file;
    std::string link;
    std::vector<std::string> codes;
};

bool ParseLong(const char* text, long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0';
}

bool ParseArgs(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char*& v) {
            if (i + 1 >= argc) {
                return false;
            }
            v = argv[++i];
            return true;
        };
        const char* v = nullptr;
        if (a == "-h" || a == "--help") {
            return false;
        } else if (a == "-q" || a == "--quiet") {
            o.quiet = true;
        } else if (a == "-n" || a == "--no-wait") {
            o.waitOpen = false;
        } else if (a == "-F" || a == "--wait-flush") {
            o.waitFlush = true;
        } else if (a == "-t" || a == "--terminator") {
            if (!value(v)) {
                return false;
            }
            auto terminator = ParseTerminator(v);
            if (!terminator) {
                return false;
            }
            o.terminator = std::move(*terminator);
        } else if (a == "-i" || a == "--interval") {
            if (!value(v) || !ParseLong(v, o.intervalMs) || o.intervalMs < 0) {
                return false;
            }
        } else if (a == "-b" || a == "--baud") {
            if (!value(v) || !ParseLong(v, o.baud) || o.baud < 0) {
                return false;
            }
        } else if (a == "-d" || a == "--delay") {
            if (!value(v) || !ParseLong(v, o.delayMs) || o.delayMs < 0) {
                return false;
            }
        } else if (a == "--linger") {
            if (!value(v) || !ParseLong(v, o.lingerMs)) {
                return false;
            }
        } else if (a == "-f" || a == "--file") {
            if (!value(v)) {
                return false;
            }
            o.file = v;
        } else if (a == "-l" || a == "--link") {
            if (!value(v)) {
                return false;
            }
            o.link = v;
        } else if (a == "--") {
            for (++i; i < argc; ++i) {
                o.codes.emplace_back(argv[i]);
            }
        } else if (!a.empty() && a[0] == '-') {
            return false;
        } else {
            o.codes.push_back(a);
        }
    }
    return true;
}

void SleepMs(long ms)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stopRequested && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            until - std::chrono::steady_clock::now(), std::chrono::milliseconds(50)));
    }
}

// Waits for another program to open the terminal (an open event on its device node).
// After the open, waits until the opener has emptied its input queue, as the master in
// packet mode is told; an opener that never does is given up on after a few seconds.
void WaitForInputFlush(int master)
{
    pollfd p{master, POLLIN | POLLPRI, 0};
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!stopRequested && std::chrono::steady_clock::now() < end) {
        if (poll(&p, 1, 200) <= 0) {
            continue;
        }
        char packet[4096];
        const ssize_t got = read(master, packet, sizeof packet);
        if (got > 0 && packet[0] != TIOCPKT_DATA && (packet[0] & TIOCPKT_FLUSHREAD) != 0) {
            return;
        }
    }
}

bool WaitForOpen(const std::string& path)
{
    const int fd = inotify_init1(IN_CLOEXEC);
    if (fd < 0 || inotify_add_watch(fd, path.c_str(), IN_OPEN) < 0) {
        std::perror("inotify");
        return false;
    }
    pollfd p{fd, POLLIN, 0};
    bool opened = false;
    while (!stopRequested && !opened) {
        if (poll(&p, 1, 200) > 0) {
            char buffer[4096];
            opened = read(fd, buffer, sizeof buffer) > 0;
        }
    }
    close(fd);
    return opened;
}

bool WriteAll(int fd, const std::string& data, long baud)
{
    // At a line speed, each byte takes ten bit times (start, eight data bits, stop).
    const auto byteTime = std::chrono::nanoseconds(baud > 0 ? 10'000'000'000LL / baud : 0);
    auto next = std::chrono::steady_clock::now();
    std::size_t done = 0;
    while (done < data.size() && !stopRequested) {
        const std::size_t chunk = baud > 0 ? 1 : data.size() - done;
        const ssize_t n = write(fd, data.data() + done, chunk);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::perror("write");
            return false;
        }
        done += static_cast<std::size_t>(n);
        if (baud > 0) {
            next += byteTime;
            std::this_thread::sleep_until(next);
        }
    }
    return done == data.size();
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!ParseArgs(argc, argv, o)) {
        Usage();
        return 2;
    }
    // No SA_RESTART: a signal must also end a blocking read of standard input.
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("posix_openpt");
        return 1;
    }
    const std::string path = ptsname(master);
    // Holding the terminal open in raw mode keeps it alive across the receiver's reopenings
    // and stops the line discipline from echoing or translating before the receiver
    // configured it. Nothing reads from it here.
    const int slave = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    if (slave < 0 || tcgetattr(slave, &raw) != 0) {
        std::perror(path.c_str());
        return 1;
    }
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    if (o.waitFlush) {
        // Packet mode only tells the master of the opener's flushes; what is written is
        // unchanged.
        const int packetMode = 1;
        ioctl(master, TIOCPKT, &packetMode);
    }
    if (!o.link.empty()) {
        unlink(o.link.c_str());
        if (symlink(path.c_str(), o.link.c_str()) != 0) {
            std::perror(o.link.c_str());
            return 1;
        }
    }
    std::cout << path << std::endl;

    if (o.waitOpen) {
        if (!o.quiet) {
            std::cerr << "waiting for " << path << " to be opened\n";
        }
        if (!WaitForOpen(path)) {
            return stopRequested ? 0 : 1;
        }
        if (o.waitFlush) {
            WaitForInputFlush(master);
        }
        SleepMs(o.delayMs);
    }

    auto send = [&](const std::string& code) {
        if (!o.quiet) {
            std::cerr << "sending " << code << '\n';
        }
        return WriteAll(master, code + o.terminator, o.baud);
    };
    bool ok = true;
    bool first = true;
    auto sendPaced = [&](const std::string& code) {
        if (!first) {
            SleepMs(o.intervalMs);
        }
        first = false;
        ok = ok && !stopRequested && send(code);
    };
    if (!o.codes.empty()) {
        for (const auto& code : o.codes) {
            sendPaced(code);
        }
    } else if (!o.file.empty()) {
        std::ifstream in(o.file);
        if (!in) {
            std::cerr << "cannot read " << o.file << '\n';
            return 1;
        }
        for (std::string line; ok && std::getline(in, line);) {
            sendPaced(line);
        }
    } else {
        for (std::string line; ok && !stopRequested && std::getline(std::cin, line);) {
            ok = send(line);
        }
    }

    if (o.lingerMs < 0) {
        // The stop signals are blocked between the check and the wait: one that comes just
        // after the check must still end the wait.
        sigset_t stopSignals, waitMask;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGINT);
        sigaddset(&stopSignals, SIGTERM);
        sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
        while (!stopRequested) {
            sigsuspend(&waitMask);
        }
        sigprocmask(SIG_SETMASK, &waitMask, nullptr);
    } else {
        SleepMs(o.lingerMs);
    }
    if (!o.link.empty()) {
        unlink(o.link.c_str());
    }
    close(slave);
    close(master);
    return ok ? 0 : 1;
}
