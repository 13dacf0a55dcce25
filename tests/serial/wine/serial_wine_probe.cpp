// Windows side of the Wine test: opens the COM port given on the command line (mapped onto a
// pseudo-terminal by the native driver), says "READY" on stdout, receives the burst through
// OnRxChar + ReadText under smThreadSync with a real message loop and the Win32 waker, and
// reports whether every byte arrived intact.
//   serial_wine_probe.exe COM7 <bytes>
#include "serial/com_error.h"
#include "serial/com_port.h"
#include "serial/main_thread_dispatcher.h"
#include "serial/win32/win32_waker.h"
#include "support/pty_pair.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <windows.h>

using namespace lantorvix;

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::printf("usage: serial_wine_probe COMn bytes\n");
        return 64;
    }
    const std::size_t expected = std::strtoul(argv[2], nullptr, 10);
    MainThreadDispatcher dispatcher;
    win32::Win32Waker waker(dispatcher);
    TComPort port(nullptr, CreateCommDevice(), &dispatcher);
    port.SetPort(argv[1]);
    port.SetEvents(TComEvents{TComEvent::evRxChar});

    std::string received;
    int shortReads = 0;
    int handOvers = 0;
    const DWORD mainThread = ::GetCurrentThreadId();
    bool offMainThread = false;
    port.OnRxChar = [&](TCustomComPort& sender, std::int32_t count) {
        ++handOvers;
        offMainThread |= ::GetCurrentThreadId() != mainThread;
        std::string text;
        if (sender.ReadText(text, count) != count || static_cast<std::int32_t>(text.size()) != count) {
            ++shortReads;
        }
        received += text;
        if (received.size() >= expected) {
            ::PostQuitMessage(0);
        }
    };

    try {
        port.Open();
    } catch (const EComPort& e) {
        std::printf("OPEN FAILED %s\n", e.what());
        return 2;
    }
    std::printf("READY\n");
    std::fflush(stdout);

    // Bounded: a lost byte ends the run after a minute instead of hanging it.
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 60000, nullptr);
    bool timedOut = false;
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.wParam == timer) {
            timedOut = true;
            break;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    ::KillTimer(nullptr, timer);
    port.Close();

    const bool intact = received == test::TestPattern(expected);
    std::printf("RECEIVED %zu HANDOVERS %d SHORT %d OFFMAIN %d TIMEOUT %d INTACT %s\n", received.size(),
                handOvers, shortReads, offMainThread ? 1 : 0, timedOut ? 1 : 0, intact ? "yes" : "no");
    std::fflush(stdout);
    return intact && shortReads == 0 && !offMainThread && !port.Connected() ? 0 : 1;
}
