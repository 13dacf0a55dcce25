// The port component with the real termios device and its real event thread, on
// pseudo-terminals: what the scanner application relies on, end to end.
#include "serial/com_error.h"
#include "serial/com_port.h"
#include "serial/main_thread_dispatcher.h"
#include "support/pty_pair.h"
#include "support/thread_probe.h"
#include "support/wait_until.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace lantorvix {
namespace {

using namespace std::chrono_literals;
using test::PtyPair;

// The CPU the given threads used so far.
std::chrono::nanoseconds CpuOf(const std::set<pid_t>& threads)
{
    std::chrono::nanoseconds sum{};
    for (const pid_t tid : threads) {
        sum += test::ThreadCpu(tid);
    }
    return sum;
}

// A port on the slave of a pseudo-terminal that collects what OnRxChar reads.
class PortOnPty {
public:
    explicit PortOnPty(TSyncMethod sync = TSyncMethod::smThreadSync)
        : port(nullptr, CreateCommDevice(), &dispatcher)
    {
        port.SetPort(pty.SlavePath());
        port.SetEvents(TComEvents{TComEvent::evRxChar});
        port.SetSyncMethod(sync);
        port.OnRxChar = [this](TCustomComPort& sender, std::int32_t count) {
            std::string text;
            const std::int32_t got = sender.ReadText(text, count);
            std::lock_guard lock(mutex);
            counts.push_back(count);
            if (got != count || static_cast<std::int32_t>(text.size()) != count) {
                ++shortReads;
            }
            received += text;
            receivedSize.store(received.size());
            dispatcher.NotifyWaiters();
        };
    }

    bool ServeUntilReceived(std::size_t size, std::chrono::milliseconds bound = 20s)
    {
        return dispatcher.ServeUntil([&] { return receivedSize.load() >= size; }, bound);
    }

    std::string Received()
    {
        std::lock_guard lock(mutex);
        return received;
    }

    PtyPair pty;
    MainThreadDispatcher dispatcher;
    TComPort port;
    std::mutex mutex;
    std::string received;
    std::vector<std::int32_t> counts;
    int shortReads = 0;
    std::atomic<std::size_t> receivedSize{0};
};

class PortReception : public ::testing::TestWithParam<TSyncMethod> {};

TEST_P(PortReception, BytesReachOnRxCharWithTheirCountAndReadTextReturnsThemWhole)
{
    PortOnPty p(GetParam());
    p.port.Open();
    ASSERT_TRUE(p.port.Connected());
    const std::string pattern = test::TestPattern(4096);
    for (std::size_t at = 0; at < pattern.size(); at += 512) {
        p.pty.Write(pattern.substr(at, 512));
        ASSERT_TRUE(p.ServeUntilReceived(at + 512)) << "received " << p.receivedSize.load();
    }
    EXPECT_TRUE(p.Received() == pattern);
    std::lock_guard lock(p.mutex);
    EXPECT_EQ(p.shortReads, 0);
    std::size_t total = 0;
    for (const std::int32_t c : p.counts) {
        EXPECT_GT(c, 0);
        total += static_cast<std::size_t>(c);
    }
    EXPECT_EQ(total, pattern.size());
}

TEST_P(PortReception, BurstOf64KiBLosesNothing)
{
    PortOnPty p(GetParam());
    p.port.Open();
    const std::string burst = test::TestPattern(64 * 1024);
    auto writer = std::async(std::launch::async, [&] { p.pty.Write(burst, 30s); });
    ASSERT_TRUE(p.ServeUntilReceived(burst.size(), 30s)) << "received " << p.receivedSize.load();
    writer.get();
    EXPECT_EQ(p.Received().size(), burst.size());
    EXPECT_TRUE(p.Received() == burst);
}

INSTANTIATE_TEST_SUITE_P(SyncMethods, PortReception,
                         ::testing::Values(TSyncMethod::smThreadSync, TSyncMethod::smWindowSync,
                                           TSyncMethod::smNone),
                         [](const auto& param) {
                             switch (param.param) {
                             case TSyncMethod::smThreadSync:
                                 return std::string("smThreadSync");
                             case TSyncMethod::smWindowSync:
                                 return std::string("smWindowSync");
                             default:
                                 return std::string("smNone");
                             }
                         });

struct OpenFailure {
    std::int32_t port = 0;
    std::int32_t os = 0;
    std::string message;
};

OpenFailure OpenExpectingFailure(TComPort& port)
{
    try {
        port.Open();
    } catch (const EComPort& e) {
        return {e.PortErrorCode(), e.OSErrorCode(), e.what()};
    }
    return {};
}

TEST(PortOpen, PortHeldByAnotherProcessFailsWithCode1AndAccessDenied)
{
    PortOnPty p;
    {
        test::DeviceHeldElsewhere holder(p.pty.SlavePath());
        const OpenFailure failure = OpenExpectingFailure(p.port);
        EXPECT_EQ(failure.port, 1);
        EXPECT_EQ(failure.os, 5);
        EXPECT_EQ(failure.message, "Unable to open com port (win error code: 5)");
        EXPECT_FALSE(p.port.Connected());
    }
    p.port.Open();
    EXPECT_TRUE(p.port.Connected());
}

TEST(PortOpen, MissingDeviceFailsWithCode1AndFileNotFound)
{
    MainThreadDispatcher dispatcher;
    TComPort port(nullptr, CreateCommDevice(), &dispatcher);
    for (const char* name : {"ttyLantorvixMissing7", "/dev/lantorvix-missing", "COM1"}) {
        port.SetPort(name);
        const OpenFailure failure = OpenExpectingFailure(port);
        EXPECT_EQ(failure.port, 1) << name;
        EXPECT_EQ(failure.os, 2) << name;
        EXPECT_EQ(failure.message, "Unable to open com port (win error code: 2)");
        EXPECT_FALSE(port.Connected());
    }
}

TEST(PortOpen, ChangingPortReopensOnTheNewDevice)
{
    PortOnPty p;
    PtyPair other;
    p.port.Open();
    p.port.SetPort(other.SlavePath());
    ASSERT_TRUE(p.port.Connected());
    // The first device is free again and the second one now delivers.
    test::DeviceHeldElsewhere holder(p.pty.SlavePath());
    other.Write("moved");
    EXPECT_TRUE(p.ServeUntilReceived(5));
    EXPECT_EQ(p.Received(), "moved");
}

// A hand-over the event thread has queued for the main thread is still being waited for
// when Close stops the thread: Close serves it instead of deadlocking.
TEST(PortClose, CloseWhileAHandOverWaitsForTheMainThreadServesItAndReturns)
{
    PortOnPty p;
    std::vector<std::string> order;
    p.port.OnBeforeClose = [&](TCustomComPort&) { order.push_back("before close"); };
    p.port.OnAfterClose = [&](TCustomComPort&) { order.push_back("after close"); };
    auto onRx = p.port.OnRxChar;
    p.port.OnRxChar = [&](TCustomComPort& sender, std::int32_t count) {
        order.push_back("rx");
        onRx(sender, count);
    };
    p.port.Open();
    p.pty.Write("scan\r\n");
    ASSERT_TRUE(test::WaitUntil([&] { return p.dispatcher.QueuedCount() > 0; }));
    p.port.Close();
    EXPECT_FALSE(p.port.Connected());
    EXPECT_EQ(order, (std::vector<std::string>{"before close", "rx", "after close"}));
}

// A reception handler that closes (or reopens) the port, as when the application's error
// box inside the handler lets the user change the port, does not hang.
TEST(PortClose, CloseAndReopenFromInsideTheReceptionHandlerDoNotHang)
{
    for (const TSyncMethod sync : {TSyncMethod::smThreadSync, TSyncMethod::smWindowSync}) {
        PortOnPty p(sync);
        auto onRx = p.port.OnRxChar;
        std::atomic<int> handled{0};
        p.port.OnRxChar = [&](TCustomComPort& sender, std::int32_t count) {
            onRx(sender, count);
            if (handled.fetch_add(1) == 0) {
                sender.Close();
                sender.Open();
            }
        };
        p.port.Open();
        p.pty.Write("one");
        ASSERT_TRUE(p.ServeUntilReceived(3));
        ASSERT_TRUE(p.dispatcher.ServeUntil([&] { return handled.load() >= 1; }, 10s));
        EXPECT_TRUE(p.port.Connected());
        p.pty.Write("two");
        EXPECT_TRUE(p.ServeUntilReceived(6)) << "the reopened port receives";
        EXPECT_EQ(p.Received(), "onetwo");
        p.port.Close();
    }
}

// A close and an open served while another close waits for the event thread (the reception
// handler's error box, then the settings applied again): the port stays open on one working
// session and the one close is notified once.
TEST(PortClose, CloseAndOpenNestedInACloseLeaveOneWorkingSession)
{
    PortOnPty p;
    std::vector<std::string> order;
    p.port.OnBeforeClose = [&](TCustomComPort&) { order.push_back("before close"); };
    p.port.OnAfterClose = [&](TCustomComPort&) { order.push_back("after close"); };
    p.port.OnAfterOpen = [&](TCustomComPort&) { order.push_back("after open"); };
    auto onRx = p.port.OnRxChar;
    p.port.OnRxChar = [&](TCustomComPort& sender, std::int32_t count) {
        onRx(sender, count);
        if (order.size() == 1) {
            sender.Close();
            sender.Open();
        }
    };
    p.port.Open();
    order.clear();
    p.pty.Write("one");
    ASSERT_TRUE(test::WaitUntil([&] { return p.dispatcher.QueuedCount() > 0; }));
    p.port.Close();
    EXPECT_TRUE(p.port.Connected());
    EXPECT_EQ(order, (std::vector<std::string>{"before close", "after close", "after open"}));
    p.pty.Write("two");
    EXPECT_TRUE(p.ServeUntilReceived(6)) << "the reopened port receives";
    EXPECT_EQ(p.Received(), "onetwo");
    p.port.Close();
    EXPECT_FALSE(p.port.Connected());
}

// Unplugging: the event thread ends instead of spinning on the hang-up, bytes that came
// before it are still delivered, and closing the port afterwards is clean.
TEST(PortUnplug, ClosingTheMasterEndsTheThreadWithoutSpinning)
{
    PortOnPty p;
    // A first thread makes a sanitizer start its own helper thread now, not with the port's.
    // Threads are told apart by id: one that has just been joined may still be listed.
    std::thread([] {}).join();
    const std::set<pid_t> before = test::ThreadIds();
    p.port.Open();
    const std::set<pid_t> eventThread = test::ThreadsSince(before);
    ASSERT_EQ(eventThread.size(), 1u) << "the event thread runs";
    p.pty.Write("last scan");
    // The bytes are in the port's queue and their hand-over waits for the main thread. (A
    // hang-up flushes what the kernel still holds, so the master closes only now.)
    ASSERT_TRUE(test::WaitUntil([&] { return p.dispatcher.QueuedCount() > 0; }));
    p.pty.CloseMaster();
    EXPECT_TRUE(p.ServeUntilReceived(9));
    EXPECT_EQ(p.Received(), "last scan");
    EXPECT_TRUE(test::WaitUntil([&] { return test::ThreadEnded(*eventThread.begin()); }))
        << "the event thread ended";
    // The port's side is this thread alone now (a sanitizer's threads are not counted).
    const std::set<pid_t> self{test::CurrentThreadId()};
    const auto cpuBefore = CpuOf(self);
    p.dispatcher.ServeUntil([] { return false; }, 1s); // a second of serving, nothing to wait for
    EXPECT_LT(CpuOf(self) - cpuBefore, 100ms) << "CPU used in the second after the unplug";
    p.port.Close();
    EXPECT_FALSE(p.port.Connected());
}

TEST(PortIdle, AnOpenPortWaitingForEveryEventCostsNoCpu)
{
    PortOnPty p;
    p.port.SetEvents(AllComEvents);
    // A first thread makes a sanitizer start its own helper thread now, not with the port's.
    std::thread([] {}).join();
    const std::set<pid_t> before = test::ThreadIds();
    p.port.Open();
    // The port's threads and this one, which serves its hand-overs.
    std::set<pid_t> port = test::ThreadsSince(before);
    ASSERT_FALSE(port.empty()) << "no event thread";
    port.insert(test::CurrentThreadId());
    p.pty.Write("warm");
    ASSERT_TRUE(p.ServeUntilReceived(4));
    const auto cpuBefore = CpuOf(port);
    p.dispatcher.ServeUntil([] { return false; }, 1s); // the idle second being measured
    EXPECT_LT(CpuOf(port) - cpuBefore, 20ms) << "CPU used by one idle second";
    p.port.Close();
}

} // namespace
} // namespace lantorvix
