// The modem-line watcher sleeps in a wait that only a line change or a signal ends; Stop
// must always get it out, also when the signal lands before the thread is in the wait.
#include "serial/posix/modem_watcher.h"
#include "support/wait_until.h"

#include <atomic>
#include <cerrno>
#include <gtest/gtest.h>
#include <poll.h>

namespace lantorvix {
namespace {

std::atomic<int> waitsEntered{0};

// Blocks like TIOCMIWAIT on a quiet line: until a signal interrupts it.
int WaitForever(int /*fd*/)
{
    waitsEntered.fetch_add(1);
    return ::poll(nullptr, 0, -1);
}

TEST(ModemWatcher, StopInterruptsTheWaitWhereverTheThreadIs)
{
    // Stops right after the start (signal possibly before the wait) and after the wait began.
    for (int round = 0; round < 200; ++round) {
        posix::ModemWatcher watcher(&WaitForever);
        int calls = 0;
        const int before = waitsEntered.load();
        watcher.Start(-1, [&](std::uint32_t) { ++calls; });
        EXPECT_TRUE(watcher.Running());
        if (round % 2 == 1) {
            ASSERT_TRUE(test::WaitUntil([&] { return waitsEntered.load() != before; }));
        }
        watcher.Stop();
        EXPECT_FALSE(watcher.Running());
        EXPECT_EQ(calls, 0) << "an interrupted wait reports no change";
    }
}

TEST(ModemWatcher, ALineWithoutModemLinesEndsTheThreadByItself)
{
    // fd -1 refuses TIOCMIWAIT at once, like a pseudo-terminal.
    posix::ModemWatcher watcher;
    watcher.Start(-1, [](std::uint32_t) {});
    watcher.Stop();
    EXPECT_FALSE(watcher.Running());
}

} // namespace
} // namespace lantorvix
