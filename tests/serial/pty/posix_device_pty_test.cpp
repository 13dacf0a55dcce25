// The termios device on real pseudo-terminals: what the port relies on, call by call.
#include "serial/comm_device.h"
#include "support/pty_pair.h"
#include "support/thread_probe.h"
#include "support/wait_until.h"

#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <termios.h>
#include <thread>
#include <vector>

namespace lantorvix {
namespace {

using namespace std::chrono_literals;
using test::PtyPair;

constexpr std::uint32_t kOnes = 0xFFFFFFFFu;

Dcb DefaultDcb()
{
    Dcb dcb;
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Flags = dcb::fBinary;
    dcb.XonLim = 256;
    dcb.XoffLim = 256;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    return dcb;
}

class PosixDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        device = CreateCommDevice();
        ASSERT_TRUE(device->Open(pty.SlavePath())) << device->LastError();
        ASSERT_TRUE(device->SetupQueues(1024, 1024));
        ASSERT_TRUE(device->SetState(DefaultDcb()));
        ASSERT_TRUE(device->SetTimeouts({kOnes, 0, 0, 100, 1000}));
    }

    std::uint32_t Queued()
    {
        std::uint32_t errors = 0;
        ComStat stat;
        EXPECT_TRUE(device->ClearErrors(errors, stat));
        return stat.cbInQue;
    }

    // Reads what the default time-outs give at once.
    std::string ReadNow(std::uint32_t count)
    {
        std::string out(count, '\0');
        auto transfer = device->CreateTransfer();
        const ReadStart start = device->BeginRead(*transfer, out.data(), count);
        EXPECT_EQ(start.status, ReadStartStatus::completed);
        std::uint32_t bytes = 0;
        EXPECT_TRUE(device->AwaitTransfer(*transfer, bytes));
        EXPECT_EQ(bytes, start.bytes);
        out.resize(bytes);
        return out;
    }

    EventWaitResult WaitOnce(std::uint32_t mask)
    {
        EXPECT_TRUE(device->SetEventMask(mask));
        auto stop = device->CreateStopSignal();
        return device->WaitForEvents(*stop);
    }

    PtyPair pty;
    std::unique_ptr<CommDevice> device;
};

TEST(PosixDeviceOpen, MissingDeviceFailsWithFileNotFound)
{
    auto device = CreateCommDevice();
    for (const char* name : {"ttyLantorvixMissing0", "/dev/lantorvix/none"}) {
        EXPECT_FALSE(device->Open(name));
        EXPECT_EQ(device->LastError(), oserr::FILE_NOT_FOUND) << name;
        EXPECT_FALSE(device->IsOpen());
    }
}

TEST(PosixDeviceOpen, NonTtyIsNoSerialDevice)
{
    auto device = CreateCommDevice();
    EXPECT_FALSE(device->Open("/dev/null"));
    EXPECT_EQ(device->LastError(), oserr::FILE_NOT_FOUND);
}

TEST(PosixDeviceOpen, DeviceHeldByAnotherProcessIsAccessDenied)
{
    PtyPair pty;
    auto device = CreateCommDevice();
    {
        test::DeviceHeldElsewhere holder(pty.SlavePath());
        EXPECT_FALSE(device->Open(pty.SlavePath()));
        EXPECT_EQ(device->LastError(), oserr::ACCESS_DENIED);
    }
    EXPECT_TRUE(device->Open(pty.SlavePath()));
}

TEST(PosixDeviceOpen, SecondOpenWhileOpenIsRefusedAndReopenAfterCloseWorks)
{
    PtyPair pty;
    auto first = CreateCommDevice();
    auto second = CreateCommDevice();
    ASSERT_TRUE(first->Open(pty.SlavePath()));
    EXPECT_FALSE(second->Open(pty.SlavePath()));
    EXPECT_EQ(second->LastError(), oserr::ACCESS_DENIED);
    first->Close();
    EXPECT_FALSE(first->IsOpen());
    EXPECT_TRUE(second->Open(pty.SlavePath()));
    second->Close();
    EXPECT_TRUE(second->Open(pty.SlavePath()));
}

TEST_F(PosixDevice, EveryByteValueArrivesUnchangedAndInOrder)
{
    const std::string pattern = test::TestPattern(1000);
    const EventWaitResult waited = [&] {
        pty.Write(pattern);
        return WaitOnce(ev::RXCHAR);
    }();
    EXPECT_EQ(waited.status, EventWaitStatus::eventsReady);
    EXPECT_EQ(waited.mask, ev::RXCHAR);
    ASSERT_TRUE(test::WaitUntil([&] { return Queued() == pattern.size(); }));
    EXPECT_EQ(ReadNow(2000), pattern);
    EXPECT_EQ(Queued(), 0u);
}

TEST_F(PosixDevice, ReadTakesOnlyWhatWasAskedForAndLeavesTheRest)
{
    pty.Write("abcde");
    ASSERT_TRUE(test::WaitUntil([&] { return Queued() == 5; }));
    EXPECT_EQ(ReadNow(3), "abc");
    EXPECT_EQ(Queued(), 2u);
    EXPECT_EQ(ReadNow(10), "de");
    EXPECT_EQ(ReadNow(10), "");
}

TEST_F(PosixDevice, EventCharacterNullDiscardAndEightyPercentMark)
{
    Dcb dcb = DefaultDcb();
    dcb.EvtChar = '\r';
    dcb.Flags |= dcb::fNull;
    ASSERT_TRUE(device->SetState(dcb));
    ASSERT_TRUE(device->SetupQueues(10, 10));
    ASSERT_TRUE(device->SetEventMask(ev::RXCHAR | ev::RXFLAG | ev::RX80FULL));
    pty.Write(std::string("12\0"
                          "34567\r",
                          9));
    std::uint32_t seen = 0;
    auto stop = device->CreateStopSignal();
    ASSERT_TRUE(test::WaitUntil([&] {
        const EventWaitResult r = device->WaitForEvents(*stop);
        seen |= r.mask;
        return (seen & ev::RX80FULL) != 0 || r.status != EventWaitStatus::eventsReady;
    }));
    EXPECT_EQ(seen, ev::RXCHAR | ev::RXFLAG | ev::RX80FULL);
    EXPECT_EQ(ReadNow(20), "1234567\r");
}

TEST_F(PosixDevice, StopEndsAWaitAndWinsOverEventsThatCameWithIt)
{
    ASSERT_TRUE(device->SetEventMask(ev::RXCHAR));
    auto stop = device->CreateStopSignal();
    auto waiting = std::async(std::launch::async, [&] { return device->WaitForEvents(*stop); });
    EXPECT_EQ(waiting.wait_for(100ms), std::future_status::timeout);
    stop->Set();
    ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(waiting.get().status, EventWaitStatus::stopped);

    pty.Write("x");
    ASSERT_TRUE(test::WaitUntil([&] { return Queued() == 1; }));
    auto second = device->CreateStopSignal();
    second->Set();
    EXPECT_EQ(device->WaitForEvents(*second).status, EventWaitStatus::stopped);
}

TEST_F(PosixDevice, ChangingTheMaskEndsARunningWaitWithNoEvents)
{
    ASSERT_TRUE(device->SetEventMask(ev::RXCHAR));
    auto stop = device->CreateStopSignal();
    auto waiting = std::async(std::launch::async, [&] { return device->WaitForEvents(*stop); });
    EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
    ASSERT_TRUE(device->SetEventMask(0));
    ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready);
    const EventWaitResult r = waiting.get();
    EXPECT_EQ(r.status, EventWaitStatus::eventsReady);
    EXPECT_EQ(r.mask, 0u);
}

TEST_F(PosixDevice, HangUpRefusesTheWaitOnceAndKeepsWhatWasReceived)
{
    ASSERT_TRUE(device->SetEventMask(ev::RXCHAR));
    pty.Write("last words");
    auto stop = device->CreateStopSignal();
    EventWaitResult r = device->WaitForEvents(*stop);
    EXPECT_EQ(r.status, EventWaitStatus::eventsReady);
    pty.CloseMaster();
    // One more wait ends refused instead of reporting the hang-up for ever.
    auto waiting = std::async(std::launch::async, [&] { return device->WaitForEvents(*stop); });
    ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready);
    r = waiting.get();
    EXPECT_EQ(r.status, EventWaitStatus::refused);
    EXPECT_NE(r.osError, 0u);
    EXPECT_EQ(ReadNow(100), "last words");
    device->Close();
    EXPECT_FALSE(device->IsOpen());
}

TEST_F(PosixDevice, ModemLinesOfAPseudoTerminalReadAllOff)
{
    std::uint32_t status = 0xFFFF;
    ASSERT_TRUE(device->ModemStatus(status));
    EXPECT_EQ(status, 0u);
}

// Bytes are marked as received with an error only where the Windows driver reports one: a
// parity bit that is not checked lets bad-parity bytes through as they are.
TEST_F(PosixDevice, ErrorMarksFollowTheParityCheck)
{
    struct Case {
        std::uint8_t parity;
        bool check, marked;
    };
    for (const Case& c : {Case{0, false, true}, Case{2, false, false}, Case{2, true, true}}) {
        Dcb dcb = DefaultDcb();
        dcb.Parity = c.parity;
        dcb.Flags = dcb::fBinary | (c.check ? dcb::fParity : 0u);
        ASSERT_TRUE(device->SetState(dcb));
        termios t{};
        ASSERT_EQ(tcgetattr(pty.MasterFd(), &t), 0); // a master reads its slave's settings
        EXPECT_EQ((t.c_iflag & INPCK) != 0, c.marked) << "parity " << int(c.parity) << " check " << c.check;
    }
}

TEST_F(PosixDevice, ControlBlocksTheLineCannotCarryAreRefusedWithInvalidParameter)
{
    struct Case {
        std::uint32_t baud;
        std::uint8_t size, parity, stop;
        bool ok;
    };
    const Case cases[] = {{9600, 8, 0, 0, true},  {31250, 8, 2, 0, true}, {256000, 7, 3, 2, true},
                          {14400, 5, 4, 1, true}, {0, 8, 0, 0, false},    {9600, 9, 0, 0, false},
                          {9600, 4, 0, 0, false}, {9600, 8, 5, 0, false}, {9600, 8, 0, 3, false},
                          {9600, 5, 0, 2, false}, {9600, 8, 0, 1, false}};
    for (const Case& c : cases) {
        Dcb dcb = DefaultDcb();
        dcb.BaudRate = c.baud;
        dcb.ByteSize = c.size;
        dcb.Parity = c.parity;
        dcb.StopBits = c.stop;
        EXPECT_EQ(device->SetState(dcb), c.ok)
            << c.baud << " " << int(c.size) << int(c.parity) << int(c.stop);
        if (!c.ok) {
            EXPECT_EQ(device->LastError(), oserr::INVALID_PARAMETER);
        }
    }
}

TEST_F(PosixDevice, ClosedDeviceRefusesEveryCallWithInvalidHandle)
{
    device->Close();
    std::uint32_t value = 0;
    ComStat stat;
    EXPECT_FALSE(device->ClearErrors(value, stat));
    EXPECT_EQ(device->LastError(), oserr::INVALID_HANDLE);
    EXPECT_FALSE(device->ModemStatus(value));
    EXPECT_FALSE(device->SetState(DefaultDcb()));
    EXPECT_FALSE(device->Purge(purge::RXCLEAR));
    auto stop = device->CreateStopSignal();
    EXPECT_EQ(device->WaitForEvents(*stop).status, EventWaitStatus::refused);
}

// Reads with time-outs other than the defaults block in the kernel until their rule is met.
TEST_F(PosixDevice, BlockingReadsFollowTheirTimeouts)
{
    auto transfer = device->CreateTransfer();
    std::uint32_t bytes = 99;
    EXPECT_TRUE(device->AwaitTransfer(*transfer, bytes)) << "an unused record is signalled";
    EXPECT_EQ(bytes, 0u);

    std::string buffer(8, '\0');
    // No time-outs at all: waits until all 8 bytes are there.
    ASSERT_TRUE(device->SetTimeouts({0, 0, 0, 0, 0}));
    ASSERT_EQ(device->BeginRead(*transfer, buffer.data(), 8).status, ReadStartStatus::pending);
    auto reading = std::async(std::launch::async, [&] {
        std::uint32_t n = 0;
        return device->AwaitTransfer(*transfer, n) ? n : 0u;
    });
    pty.Write("1234");
    EXPECT_EQ(reading.wait_for(100ms), std::future_status::timeout);
    pty.Write("5678");
    ASSERT_EQ(reading.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(reading.get(), 8u);
    EXPECT_EQ(buffer, "12345678");

    // A total time-out with nothing arriving ends successfully with nothing.
    ASSERT_TRUE(device->SetTimeouts({0, 0, 30, 0, 0}));
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(device->BeginRead(*transfer, buffer.data(), 8).status, ReadStartStatus::pending);
    EXPECT_TRUE(device->AwaitTransfer(*transfer, bytes));
    EXPECT_EQ(bytes, 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 30ms);

    // All-ones interval and multiplier: returns as soon as the first byte is there.
    ASSERT_TRUE(device->SetTimeouts({kOnes, kOnes, 10000, 0, 0}));
    ASSERT_EQ(device->BeginRead(*transfer, buffer.data(), 8).status, ReadStartStatus::pending);
    pty.Write("Z");
    EXPECT_TRUE(device->AwaitTransfer(*transfer, bytes));
    EXPECT_EQ(bytes, 1u);
    EXPECT_EQ(buffer[0], 'Z');
}

TEST_F(PosixDevice, AbortFailsAPendingReadWithOperationAborted)
{
    ASSERT_TRUE(device->SetTimeouts({0, 0, 0, 0, 0}));
    auto transfer = device->CreateTransfer();
    std::string buffer(4, '\0');
    ASSERT_EQ(device->BeginRead(*transfer, buffer.data(), 4).status, ReadStartStatus::pending);
    auto reading = std::async(std::launch::async, [&] {
        std::uint32_t n = 0;
        const bool ok = device->AwaitTransfer(*transfer, n);
        return std::make_pair(ok, device->LastError());
    });
    EXPECT_EQ(reading.wait_for(50ms), std::future_status::timeout);
    ASSERT_TRUE(device->Purge(purge::RXABORT | purge::TXABORT));
    ASSERT_EQ(reading.wait_for(10s), std::future_status::ready);
    const auto [ok, code] = reading.get();
    EXPECT_FALSE(ok);
    EXPECT_EQ(code, oserr::OPERATION_ABORTED);
}

TEST_F(PosixDevice, CloseFinishesAPendingRead)
{
    ASSERT_TRUE(device->SetTimeouts({0, 0, 0, 0, 0}));
    auto transfer = device->CreateTransfer();
    std::string buffer(4, '\0');
    ASSERT_EQ(device->BeginRead(*transfer, buffer.data(), 4).status, ReadStartStatus::pending);
    auto reading = std::async(std::launch::async, [&] {
        std::uint32_t n = 0;
        return device->AwaitTransfer(*transfer, n);
    });
    EXPECT_EQ(reading.wait_for(50ms), std::future_status::timeout);
    device->Close();
    ASSERT_EQ(reading.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(reading.get());
}

TEST_F(PosixDevice, PurgeEmptiesTheReceiveQueue)
{
    pty.Write("stale");
    ASSERT_TRUE(test::WaitUntil([&] { return Queued() == 5; }));
    ASSERT_TRUE(device->Purge(purge::RXCLEAR | purge::TXCLEAR));
    EXPECT_EQ(Queued(), 0u);
    pty.Write("new");
    ASSERT_TRUE(test::WaitUntil([&] { return Queued() == 3; }));
    EXPECT_EQ(ReadNow(10), "new");
}

// The queue holds 1024 bytes; the rest waits in the kernel (the pseudo-terminal's writer is
// held back) and nothing is lost while a reader empties it by events.
TEST_F(PosixDevice, BurstLargerThanTheQueueLosesNothing)
{
    const std::string burst = test::TestPattern(256 * 1024);
    auto writer = std::async(std::launch::async, [&] { pty.Write(burst, 30s); });
    ASSERT_TRUE(device->SetEventMask(ev::RXCHAR));
    auto stop = device->CreateStopSignal();
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (received.size() < burst.size() && std::chrono::steady_clock::now() < deadline) {
        const EventWaitResult r = device->WaitForEvents(*stop);
        ASSERT_EQ(r.status, EventWaitStatus::eventsReady);
        received += ReadNow(Queued());
    }
    writer.get();
    ASSERT_EQ(received.size(), burst.size());
    EXPECT_TRUE(received == burst);
}

TEST_F(PosixDevice, IdleWaitSleepsInTheKernel)
{
    ASSERT_TRUE(device->SetEventMask(ev::RXCHAR | ev::CTS | ev::DSR | ev::RLSD | ev::RING));
    auto stop = device->CreateStopSignal();
    std::promise<pid_t> tidPromise;
    std::thread waiter([&] {
        tidPromise.set_value(test::CurrentThreadId());
        device->WaitForEvents(*stop);
    });
    const pid_t tid = tidPromise.get_future().get();
    auto cpu = [&] { return test::ThreadCpu(tid); };
    ASSERT_TRUE(test::WaitUntil([&] { return test::ThreadState(tid) == 'S'; })) << "the wait never blocked";
    const auto before = cpu();
    std::this_thread::sleep_for(1s); // the span being measured, not a wait for an event
    const auto used = cpu() - before;
    stop->Set();
    waiter.join();
    EXPECT_LT(used, 5ms) << "CPU used by the idle wait over one second";
}

} // namespace
} // namespace lantorvix
