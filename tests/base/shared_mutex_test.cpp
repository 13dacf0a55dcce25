// The reader/writer lock: readers share, writers exclude, also on a fresh lock that several
// threads take for the first time at the same moment (the moment a lazily created lock
// can hand two threads exclusive ownership).
#include "base/shared_mutex.h"
#include "support/start_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

namespace lantorvix {
namespace {

enum class Held { nothing, shared, exclusive };

struct TryCase {
    Held held;
    bool exclusiveGranted;
    bool sharedGranted;
};

class SharedMutexTryTest : public ::testing::TestWithParam<TryCase> {};

TEST_P(SharedMutexTryTest, AnotherThreadIsGrantedOnlyWhatTheHolderAllows)
{
    const TryCase c = GetParam();
    SharedMutex mutex;
    std::unique_lock<SharedMutex> exclusive(mutex, std::defer_lock);
    std::shared_lock<SharedMutex> shared(mutex, std::defer_lock);
    if (c.held == Held::exclusive) {
        exclusive.lock();
    } else if (c.held == Held::shared) {
        shared.lock();
    }
    // Each attempt on another thread: the lock is not recursive.
    const auto grantedElsewhere = [](auto tryLock, auto release) {
        return std::async(std::launch::async,
                          [&] {
                              const bool granted = tryLock();
                              if (granted) {
                                  release();
                              }
                              return granted;
                          })
            .get();
    };
    const bool exclusiveGranted = grantedElsewhere([&] { return mutex.try_lock(); }, [&] { mutex.unlock(); });
    const bool sharedGranted =
        grantedElsewhere([&] { return mutex.try_lock_shared(); }, [&] { mutex.unlock_shared(); });
    EXPECT_EQ(exclusiveGranted, c.exclusiveGranted);
    EXPECT_EQ(sharedGranted, c.sharedGranted);
}

std::string HeldName(const ::testing::TestParamInfo<TryCase>& info)
{
    switch (info.param.held) {
    case Held::nothing:
        return "NothingHeld";
    case Held::shared:
        return "SharedHeld";
    case Held::exclusive:
        return "ExclusiveHeld";
    }
    return "Unknown";
}

INSTANTIATE_TEST_SUITE_P(Holders, SharedMutexTryTest,
                         ::testing::Values(TryCase{Held::nothing, true, true},
                                           TryCase{Held::shared, false, true},
                                           TryCase{Held::exclusive, false, false}),
                         HeldName);

TEST(SharedMutexTest, FreshLockTakenByManyThreadsAtOnceLetsOneWriterInAndNoReaderBesideIt)
{
    constexpr int kRounds = 150;
    constexpr int kThreads = 6;
    constexpr int kTurns = 3;
    std::atomic<int> violations{0};
    std::atomic<int> gateTimeouts{0};
    for (int round = 0; round < kRounds; ++round) {
        SharedMutex mutex;
        std::atomic<int> writersInside{0};
        test::StartGate gate(kThreads);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&] {
                gateTimeouts += !gate.ArriveAndWait();
                for (int turn = 0; turn < kTurns; ++turn) {
                    {
                        std::shared_lock lock(mutex);
                        violations += writersInside.load() != 0;
                    }
                    std::unique_lock lock(mutex);
                    violations += writersInside.fetch_add(1) != 0;
                    // Stay a while so that an intruder would meet this writer.
                    for (int i = 0; i < 20; ++i) {
                        std::this_thread::yield();
                    }
                    writersInside.fetch_sub(1);
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
    }
    EXPECT_EQ(gateTimeouts.load(), 0);
    EXPECT_EQ(violations.load(), 0);
}

} // namespace
} // namespace lantorvix
