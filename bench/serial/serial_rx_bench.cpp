// Reception speed of the port on a pseudo-terminal with the real termios device and event
// thread: latency from the last byte of a code written on the master to OnRxChar returning,
// and the throughput of a long burst. Prints numbers; never fails on time.
#include "serial/com_port.h"
#include "serial/main_thread_dispatcher.h"
#include "support/pty_pair.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace lantorvix;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const char* Name(TSyncMethod sync)
{
    switch (sync) {
    case TSyncMethod::smThreadSync:
        return "smThreadSync";
    case TSyncMethod::smWindowSync:
        return "smWindowSync";
    default:
        return "smNone";
    }
}

struct Bench {
    explicit Bench(TSyncMethod sync) : port(nullptr, CreateCommDevice(), &dispatcher)
    {
        port.SetPort(pty.SlavePath());
        port.SetEvents(TComEvents{TComEvent::evRxChar});
        port.SetSyncMethod(sync);
        port.Buffer().SetInputSize(4096);
        port.OnRxChar = [this](TCustomComPort& sender, std::int32_t count) {
            std::string text;
            sender.ReadText(text, count);
            received += text; // one handler at a time under every sync method used here
            if (!text.empty() && text.back() == '\r') {
                lastCodeDone.store(Clock::now().time_since_epoch().count());
            }
            receivedSize.store(received.size());
            dispatcher.NotifyWaiters();
        };
        port.Open();
    }

    test::PtyPair pty;
    MainThreadDispatcher dispatcher;
    TComPort port;
    std::string received;
    std::atomic<std::size_t> receivedSize{0};
    std::atomic<Clock::rep> lastCodeDone{0};
};

int Latency(TSyncMethod sync, int codes)
{
    Bench b(sync);
    std::vector<double> micros;
    micros.reserve(static_cast<std::size_t>(codes));
    std::size_t expected = 0;
    int lost = 0;
    for (int i = 0; i < codes; ++i) {
        char code[32];
        std::snprintf(code, sizeof code, "59%011d\r", i);
        const std::string text = code;
        b.lastCodeDone.store(0);
        b.pty.Write(text);
        const auto written = Clock::now();
        expected += text.size();
        if (!b.dispatcher.ServeUntil(
                [&] { return b.receivedSize.load() >= expected && b.lastCodeDone.load() != 0; }, 5s)) {
            ++lost;
            continue;
        }
        const auto done = Clock::time_point(Clock::duration(b.lastCodeDone.load()));
        micros.push_back(std::chrono::duration<double, std::micro>(done - written).count());
    }
    b.port.Close();
    std::sort(micros.begin(), micros.end());
    auto pct = [&](double p) {
        return micros.empty()
                   ? 0.0
                   : micros[std::min(micros.size() - 1, static_cast<std::size_t>(p * micros.size()))];
    };
    std::printf("latency %-12s codes=%d p50=%.1fus p99=%.1fus max=%.1fus lost=%d\n", Name(sync), codes,
                pct(0.50), pct(0.99), micros.empty() ? 0.0 : micros.back(), lost);
    return lost == 0 ? 0 : 1;
}

// The device alone: from the write on the master to WaitForEvents returning on the waiting
// thread, so the port's share of the latency above can be told apart.
int DeviceLatency(int codes)
{
    test::PtyPair pty;
    auto device = CreateCommDevice();
    if (!device->Open(pty.SlavePath()) || !device->SetEventMask(ev::RXCHAR)) {
        std::printf("latency device: open failed (%u)\n", device->LastError());
        return 1;
    }
    device->SetTimeouts({0xFFFFFFFFu, 0, 0, 0, 0});
    auto stop = device->CreateStopSignal();
    std::mutex mutex;
    std::condition_variable cv;
    int woken = 0;
    Clock::time_point wokeAt;
    std::thread waiter([&] {
        for (;;) {
            const EventWaitResult r = device->WaitForEvents(*stop);
            if (r.status != EventWaitStatus::eventsReady) {
                return;
            }
            const auto now = Clock::now();
            char buffer[64];
            auto transfer = device->CreateTransfer();
            device->BeginRead(*transfer, buffer, sizeof buffer);
            std::lock_guard lock(mutex);
            wokeAt = now;
            ++woken;
            cv.notify_all();
        }
    });
    std::vector<double> micros;
    for (int i = 0; i < codes; ++i) {
        std::unique_lock lock(mutex);
        const int before = woken;
        lock.unlock();
        pty.Write("5901234567890\r");
        const auto written = Clock::now();
        lock.lock();
        if (cv.wait_for(lock, 5s, [&] { return woken > before; })) {
            micros.push_back(std::chrono::duration<double, std::micro>(wokeAt - written).count());
        }
    }
    stop->Set();
    waiter.join();
    device->Close();
    std::sort(micros.begin(), micros.end());
    auto pct = [&](double p) {
        return micros.empty()
                   ? 0.0
                   : micros[std::min(micros.size() - 1, static_cast<std::size_t>(p * micros.size()))];
    };
    std::printf("latency %-12s codes=%d p50=%.1fus p99=%.1fus (write to WaitForEvents returning)\n", "device",
                codes, pct(0.50), pct(0.99));
    return static_cast<int>(micros.size()) == codes ? 0 : 1;
}

int Throughput(TSyncMethod sync, std::size_t size)
{
    Bench b(sync);
    const std::string burst = test::TestPattern(size);
    const auto started = Clock::now();
    auto writer = std::async(std::launch::async, [&] { b.pty.Write(burst, 60s); });
    b.dispatcher.ServeUntil([&] { return b.receivedSize.load() >= burst.size(); }, 60s);
    const auto elapsed = std::chrono::duration<double>(Clock::now() - started).count();
    writer.get();
    b.port.Close();
    const bool intact = b.received == burst;
    std::printf("throughput %-12s bytes=%zu seconds=%.3f bytes_per_second=%.0f intact=%s\n", Name(sync), size,
                elapsed, static_cast<double>(b.received.size()) / elapsed, intact ? "yes" : "NO");
    return intact ? 0 : 1;
}

} // namespace

int main()
{
    int failures = DeviceLatency(1000);
    for (const TSyncMethod sync : {TSyncMethod::smThreadSync, TSyncMethod::smNone}) {
        failures += Latency(sync, 1000);
    }
    for (const TSyncMethod sync : {TSyncMethod::smThreadSync, TSyncMethod::smNone}) {
        failures += Throughput(sync, std::size_t{8} << 20);
    }
    // Lost or damaged data is a failure; slowness never is.
    return failures == 0 ? 0 : 1;
}
