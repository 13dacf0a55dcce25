#include "support/xvfb_server.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace lantorvix::test {

namespace {
// Waits for a child with a bound; kills it when the bound passes. Returns its wait status
// or -1.
int ReapWithin(pid_t pid, std::chrono::milliseconds bound)
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    auto pause = std::chrono::microseconds(100);
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            return status;
        }
        if (r < 0 && errno != EINTR) {
            return -1;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(20));
    }
}

pid_t Spawn(const std::vector<std::string>& argv, int keepFd)
{
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        if (keepFd < 0) {
            ::dup2(null, STDERR_FILENO);
        }
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}
} // namespace

int RunProgram(const std::vector<std::string>& argv, int seconds)
{
    const pid_t pid = Spawn(argv, -1);
    if (pid < 0) {
        return -1;
    }
    const int status = ReapWithin(pid, std::chrono::seconds(seconds));
    return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

XvfbServer::XvfbServer() : XvfbServer(Options{}) {}

XvfbServer::XvfbServer(Options options)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    // The write end must survive exec in the child only.
    const int childFd = ::fcntl(fds[1], F_DUPFD, 3);
    const std::vector<std::string> argv = {"Xvfb",      "-displayfd", std::to_string(childFd),
                                           "-screen",   "0",          options.screen,
                                           "-nolisten", "tcp",        "-noreset"};
    pid_ = Spawn(argv, -1);
    ::close(childFd);
    ::close(fds[1]);
    if (pid_ < 0) {
        ::close(fds[0]);
        throw std::runtime_error("cannot start Xvfb");
    }
    // Xvfb writes the display number once it accepts connections.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.startSeconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fds[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        char buf[16];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        number.append(buf, static_cast<std::size_t>(n));
        if (number.find('\n') != std::string::npos) {
            break;
        }
    }
    ::close(fds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) {
        number.pop_back();
    }
    if (number.empty()) {
        ::kill(pid_, SIGKILL);
        ReapWithin(pid_, std::chrono::seconds(5));
        throw std::runtime_error("Xvfb did not start");
    }
    display_ = ":" + number;
    if (!options.layout.empty()) {
        try {
            SetLayout(options.layout, options.variant);
        } catch (...) {
            ::kill(pid_, SIGTERM);
            ReapWithin(pid_, std::chrono::seconds(5));
            throw;
        }
    }
}

XvfbServer::~XvfbServer()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ReapWithin(pid_, std::chrono::seconds(5));
    }
}

void XvfbServer::SetLayout(const std::string& layout, const std::string& variant) const
{
    std::vector<std::string> argv = {"setxkbmap", "-display", display_, "-layout", layout};
    if (!variant.empty()) {
        argv.insert(argv.end(), {"-variant", variant});
    }
    if (RunProgram(argv) != 0) {
        throw std::runtime_error("setxkbmap " + layout + " failed on " + display_);
    }
    // The layouts appear in order in the symbols name: "pc+hu+us:2+inet(evdev)".
    const std::string symbols = SymbolsName();
    std::size_t at = 0;
    std::size_t index = 1;
    for (std::size_t start = 0; start <= layout.size(); ++index) {
        const std::size_t comma = std::min(layout.find(',', start), layout.size());
        std::string part = "+" + layout.substr(start, comma - start);
        if (index > 1) {
            part += ":" + std::to_string(index);
        }
        at = symbols.find(part, at);
        if (at == std::string::npos) {
            throw std::runtime_error("layout " + layout + " did not take on " + display_ + ": " + symbols);
        }
        start = comma + 1;
    }
}

namespace {
struct Connection {
    explicit Connection(const std::string& name) : display(XOpenDisplay(name.c_str()))
    {
        if (display == nullptr) {
            throw std::runtime_error("cannot open display " + name);
        }
    }
    ~Connection() { XCloseDisplay(display); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Display* display;
};
} // namespace

std::string XvfbServer::SymbolsName() const
{
    const Connection c(display_);
    XkbDescPtr xkb = XkbAllocKeyboard();
    std::string name;
    if (xkb != nullptr && XkbGetNames(c.display, XkbSymbolsNameMask, xkb) == Success &&
        xkb->names->symbols != None) {
        char* atom = XGetAtomName(c.display, xkb->names->symbols);
        name = atom != nullptr ? atom : "";
        XFree(atom);
    }
    XkbFreeKeyboard(xkb, 0, True);
    return name;
}

void XvfbServer::LockGroup(int group) const
{
    const Connection c(display_);
    XkbLockGroup(c.display, XkbUseCoreKbd, static_cast<unsigned>(group));
    XSync(c.display, False);
    XkbStateRec state{};
    XkbGetState(c.display, XkbUseCoreKbd, &state);
    if (state.group != group) {
        throw std::runtime_error("group " + std::to_string(group) + " did not take on " + display_);
    }
}

void XvfbServer::ExportDisplay() const
{
    ::setenv("DISPLAY", display_.c_str(), 1);
}

} // namespace lantorvix::test
