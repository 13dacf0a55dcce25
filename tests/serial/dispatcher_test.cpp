#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "serial/main_thread_dispatcher.h"

namespace lantorvix {
namespace {

using namespace std::chrono_literals;

TEST(Dispatcher, SynchronizeRunsOnTheMainThreadAndRethrows)
{
    MainThreadDispatcher d;
    PlainLoopWaker waker;
    d.SetWaker(&waker);
    const auto mainId = std::this_thread::get_id();
    std::thread::id ranOn;
    std::atomic<bool> done{false};
    std::string caught;
    std::thread worker([&] {
        d.Synchronize([&] { ranOn = std::this_thread::get_id(); });
        try {
            d.Synchronize([] { throw std::runtime_error("from main"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
        done = true;
        d.NotifyWaiters();
    });
    EXPECT_TRUE(d.ServeUntil([&] { return done.load(); }, 10s));
    worker.join();
    EXPECT_EQ(ranOn, mainId);
    EXPECT_EQ(caught, "from main");
    EXPECT_GE(waker.WakeCount(), 2u);
}

TEST(Dispatcher, SynchronizeOnTheMainThreadRunsAtOnce)
{
    MainThreadDispatcher d;
    int runs = 0;
    d.Synchronize([&] { ++runs; });
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(d.QueuedCount(), 0u);
}

TEST(Dispatcher, SendReleasesTheSenderAtTheReply)
{
    MainThreadDispatcher d;
    std::atomic<bool> senderReleased{false};
    bool releasedBeforeCallEnded = false;
    std::thread worker([&] {
        d.Send([&](SentCall& call) {
            EXPECT_TRUE(call.SenderWaiting());
            call.Reply();
            EXPECT_FALSE(call.SenderWaiting());
            // The sender runs on while this call still runs.
            releasedBeforeCallEnded = d.ServeUntil([&] { return senderReleased.load(); }, 10s);
        });
        senderReleased = true;
        d.NotifyWaiters();
    });
    EXPECT_TRUE(d.ServeUntil([&] { return senderReleased.load(); }, 10s));
    worker.join();
    EXPECT_TRUE(releasedBeforeCallEnded);
}

TEST(Dispatcher, ExceptionsOfSentAndPostedCallsGoToTheHandler)
{
    MainThreadDispatcher d;
    std::vector<std::string> shown;
    d.SetExceptionHandler([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& ex) {
            shown.push_back(ex.what());
        }
    });
    std::atomic<bool> sent{false};
    std::thread worker([&] {
        d.Send([](SentCall&) { throw std::runtime_error("sent"); });
        sent = true;
        d.NotifyWaiters();
    });
    EXPECT_TRUE(d.ServeUntil([&] { return sent.load(); }, 10s));
    worker.join();
    d.Post([] { throw std::runtime_error("posted"); });
    EXPECT_EQ(d.ServeQueued(), 1u);
    EXPECT_EQ(shown, (std::vector<std::string>{"sent", "posted"}));
}

TEST(Dispatcher, ServeUntilGivesUpAfterItsBound)
{
    MainThreadDispatcher d;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(d.ServeUntil([] { return false; }, 50ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
}

// A call queued by a served call waits for the next serve: no endless serving loop.
TEST(Dispatcher, ServeQueuedRunsOnlyWhatWasQueued)
{
    MainThreadDispatcher d;
    int runs = 0;
    d.Post([&] {
        ++runs;
        d.Post([&] { ++runs; });
    });
    EXPECT_EQ(d.ServeQueued(), 1u);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(d.ServeQueued(), 1u);
    EXPECT_EQ(runs, 2);
}

TEST(Dispatcher, PlainLoopWakerDrivesALoop)
{
    MainThreadDispatcher d;
    PlainLoopWaker waker;
    d.SetWaker(&waker);
    std::atomic<int> result{0};
    std::thread worker([&] { d.Synchronize([&] { result = 42; }); });
    ASSERT_TRUE(waker.WaitForWake(10s));
    d.ServeQueued();
    worker.join();
    EXPECT_EQ(result.load(), 42);
    EXPECT_FALSE(waker.WaitForWake(1ms));
}

TEST(Dispatcher, DefaultInstance)
{
    EXPECT_EQ(MainThreadDispatcher::Default(), nullptr);
    {
        MainThreadDispatcher d;
        MainThreadDispatcher::SetDefault(&d);
        EXPECT_EQ(MainThreadDispatcher::Default(), &d);
    }
    EXPECT_EQ(MainThreadDispatcher::Default(), nullptr) << "a destroyed dispatcher is no longer the default";
}

} // namespace
} // namespace lantorvix
