#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "port_fixture.h"
#include "serial/com_events.h"
#include "serial/com_thread.h"

namespace lantorvix {
namespace {

using namespace std::chrono_literals;
using test::PortFixture;

// A log that handlers on any thread may write; waking the dispatcher lets the main thread's
// ServeUntil see the change.
class SharedLog {
public:
    void Bind(MainThreadDispatcher& d) { dispatcher_ = &d; }
    void Add(std::string entry)
    {
        {
            std::lock_guard lock(mutex_);
            entries_.push_back(std::move(entry));
        }
        if (dispatcher_ != nullptr) {
            dispatcher_->NotifyWaiters();
        }
    }
    std::vector<std::string> Entries() const
    {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    std::size_t Size() const
    {
        std::lock_guard lock(mutex_);
        return entries_.size();
    }

private:
    MainThreadDispatcher* dispatcher_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
};

// Serves the main thread until the log holds n entries (bounded).
bool ServeUntilLogged(PortFixture& f, SharedLog& log, std::size_t n)
{
    return f.dispatcher.ServeUntil([&] { return log.Size() >= n; }, 10s);
}

void AttachAll(TComPort& p, SharedLog& log)
{
    p.OnRxChar = [&log](TCustomComPort& s, std::int32_t n) {
        std::string text;
        s.ReadText(text, n);
        log.Add("RxChar " + text);
    };
    p.OnTxEmpty = [&log](TCustomComPort&) { log.Add("TxEmpty"); };
    p.OnBreak = [&log](TCustomComPort&) { log.Add("Break"); };
    p.OnRing = [&log](TCustomComPort&) { log.Add("Ring"); };
    p.OnRxFlag = [&log](TCustomComPort&) { log.Add("RxFlag"); };
    p.OnRx80Full = [&log](TCustomComPort&) { log.Add("Rx80Full"); };
    p.OnCTSChange = [&log](TCustomComPort&, bool on) { log.Add("CTS " + std::to_string(on)); };
    p.OnDSRChange = [&log](TCustomComPort&, bool on) { log.Add("DSR " + std::to_string(on)); };
    p.OnRLSDChange = [&log](TCustomComPort&, bool on) { log.Add("RLSD " + std::to_string(on)); };
    p.OnError = [&log](TCustomComPort&, TComErrors) { log.Add("Error"); };
}

class EventThread : public ::testing::TestWithParam<TSyncMethod> {};

INSTANTIATE_TEST_SUITE_P(SyncMethods, EventThread,
                         ::testing::Values(TSyncMethod::smThreadSync, TSyncMethod::smWindowSync,
                                           TSyncMethod::smNone),
                         [](const ::testing::TestParamInfo<TSyncMethod>& param) {
                             switch (param.param) {
                             case TSyncMethod::smThreadSync:
                                 return "smThreadSync";
                             case TSyncMethod::smWindowSync:
                                 return "smWindowSync";
                             default:
                                 return "smNone";
                             }
                         });

TEST_P(EventThread, OneBatchWithEveryEventIsHandedOverInTheFixedOrder)
{
    SharedLog log;
    PortFixture f;
    log.Bind(f.dispatcher);
    f.port->SetSyncMethod(GetParam());
    f.port->Open();
    EXPECT_EQ(f.device->EventMask(), 0x05FFu);
    AttachAll(*f.port, log); // after Open: only the batch below is logged
    f.device->Receive("ok");
    f.device->SetErrorFlags(ce::FRAME);
    f.device->SetModemStatus(ms::CTS_ON | ms::DSR_ON | ms::RLSD_ON);
    f.device->PushEvents(0x05FF | ev::PERR);
    ASSERT_TRUE(ServeUntilLogged(f, log, 10));
    EXPECT_EQ(log.Entries(), (std::vector<std::string>{"Error", "RxChar ok", "TxEmpty", "Break", "Ring",
                                                       "CTS 1", "DSR 1", "RxFlag", "RLSD 1", "Rx80Full"}));
    f.port->Close();
}

TEST_P(EventThread, ReceptionReachesRxCharOnTheRightThread)
{
    const auto mainId = std::this_thread::get_id();
    std::atomic<bool> onMain{false};
    SharedLog log;
    PortFixture f;
    log.Bind(f.dispatcher);
    f.port->SetSyncMethod(GetParam());
    f.port->SetEvents({TComEvent::evRxChar});
    f.port->OnRxChar = [&](TCustomComPort& s, std::int32_t n) {
        onMain = std::this_thread::get_id() == mainId;
        std::string text;
        s.ReadText(text, n);
        log.Add(std::to_string(n) + ":" + text);
    };
    f.port->Open();
    EXPECT_EQ(f.device->EventMask(), 0x0001u);
    f.device->ReceiveWithEvent(std::string("A\0\xFF", 3));
    ASSERT_TRUE(ServeUntilLogged(f, log, 1));
    f.device->ReceiveWithEvent("second");
    ASSERT_TRUE(ServeUntilLogged(f, log, 2));
    EXPECT_EQ(log.Entries(), (std::vector<std::string>{std::string("3:A\0\xFF", 5), "6:second"}));
    EXPECT_EQ(onMain.load(), GetParam() != TSyncMethod::smNone);
    f.port->Close();
    // End steps: the mask is cleared and both queues emptied, before the device is closed.
    auto names = f.device->CallNames();
    std::erase(names, "WaitForEvents");
    const std::vector<std::string> tail(names.end() - 4, names.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"Purge", "SetEventMask", "Purge", "Close"}));
    EXPECT_EQ(f.device->Calls("Purge").back().args, std::vector<std::uint64_t>{0x000C});
    EXPECT_EQ(f.device->Calls("SetEventMask").back().args, std::vector<std::uint64_t>{0});
}

TEST_P(EventThread, MaskBitsOutsideTheTableAreIgnored)
{
    SharedLog log;
    PortFixture f;
    log.Bind(f.dispatcher);
    f.port->SetSyncMethod(GetParam());
    f.port->Open();
    AttachAll(*f.port, log);
    f.device->PushEvents(ev::PERR);
    f.device->PushEvents(0x0800 | ev::RING);
    ASSERT_TRUE(ServeUntilLogged(f, log, 1));
    EXPECT_EQ(log.Entries(), std::vector<std::string>{"Ring"});
    f.port->Close();
}

TEST_P(EventThread, FailedCompletionIssuesTheNextWait)
{
    SharedLog log;
    PortFixture f;
    log.Bind(f.dispatcher);
    f.port->SetSyncMethod(GetParam());
    f.port->SetEvents({TComEvent::evRing});
    f.port->OnRing = [&](TCustomComPort&) { log.Add("Ring"); };
    f.port->Open();
    f.device->PushWaitResult({EventWaitStatus::waitFailed, 0, oserr::OPERATION_ABORTED});
    f.device->PushEvents(ev::RING);
    ASSERT_TRUE(ServeUntilLogged(f, log, 1));
    EXPECT_TRUE(f.device->AwaitWaitsStarted(3));
    f.port->Close();
}

// A device that refuses the wait ends the thread at once instead of spinning; bytes that
// were queued are handed over and stay readable.
TEST_P(EventThread, RefusedWaitEndsTheThreadWithoutLosingData)
{
    SharedLog log;
    PortFixture f;
    log.Bind(f.dispatcher);
    f.port->SetSyncMethod(GetParam());
    f.port->SetEvents({TComEvent::evRxChar});
    f.port->OnRxChar = [&](TCustomComPort&, std::int32_t n) { log.Add("RxChar " + std::to_string(n)); };
    f.port->Open();
    f.device->Receive("tail");
    f.device->PushWaitResult({EventWaitStatus::refused, 0, oserr::GEN_FAILURE});
    ASSERT_TRUE(ServeUntilLogged(f, log, 1));
    EXPECT_EQ(log.Entries(), std::vector<std::string>{"RxChar 4"});
    ASSERT_TRUE(test::WaitUntil([&] { return f.device->CallCount("SetEventMask") == 2; }));
    EXPECT_EQ(f.device->WaitsStarted(), 1u);
    EXPECT_EQ(f.device->CallCount("Purge"), 0u);
    std::string s;
    EXPECT_EQ(f.port->ReadText(s, 10), 4);
    EXPECT_EQ(s, "tail");
    EXPECT_TRUE(f.port->Connected());
    f.port->Close();
}

// The owner hears of the loss once, on the main thread; a report still queued when the port
// was closed and opened again belongs to the old session and is dropped.
TEST(EventThreadLoss, RefusedWaitIsReportedOnTheMainThreadUnlessThatSessionWasClosed)
{
    SharedLog log;
    PortFixture f;
    log.Bind(f.dispatcher);
    f.port->SetEvents({TComEvent::evRxChar});
    f.port->OnDeviceLost = [&](TCustomComPort&) { log.Add(f.dispatcher.IsMainThread() ? "main" : "other"); };
    f.port->Open();
    f.device->PushWaitResult({EventWaitStatus::refused, 0, oserr::GEN_FAILURE});
    ASSERT_TRUE(ServeUntilLogged(f, log, 1));
    EXPECT_EQ(log.Entries(), std::vector<std::string>{"main"});

    f.port->Close();
    f.port->Open();
    f.device->PushWaitResult({EventWaitStatus::refused, 0, oserr::GEN_FAILURE});
    ASSERT_TRUE(test::WaitUntil([&] { return f.dispatcher.QueuedCount() == 1; }));
    f.port->Close();
    f.port->Open();
    f.dispatcher.ServeQueued();
    EXPECT_EQ(log.Size(), 1u) << "a stale loss report reached the new session";
    f.port->Close();
}

// The thread keeps the mask it started with; the port's stored one may change meanwhile.
TEST(EventThreadSync, RefusalDeliversUnderTheMaskTheThreadStartedWith)
{
    SharedLog log;
    PortFixture f;
    f.port->SetEvents({TComEvent::evRxChar});
    f.port->OnRxChar = [&](TCustomComPort&, std::int32_t n) { log.Add("RxChar " + std::to_string(n)); };
    f.port->Open();
    f.port->SetEvents({});
    f.device->Receive("tail");
    f.device->PushWaitResult({EventWaitStatus::refused, 0, oserr::GEN_FAILURE});
    ASSERT_TRUE(f.dispatcher.ServeUntil([&] { return f.device->CallCount("SetEventMask") == 2; }, 10s));
    EXPECT_EQ(log.Entries(), std::vector<std::string>{"RxChar 4"});
    f.port->Close();
}

TEST(EventThreadSetup, NoEventsNoThread)
{
    PortFixture f;
    f.port->SetEvents({});
    f.port->Open();
    EXPECT_FALSE(f.port->WatchThreadActive());
    f.port->Close();
    EXPECT_EQ(f.device->CallCount("SetEventMask"), 0u);
    EXPECT_EQ(f.device->CallCount("WaitForEvents"), 0u);
}

TEST(EventThreadSetup, ThreadPriorityLevels)
{
    const std::pair<TThreadPriority, int> levels[] = {
        {TThreadPriority::tpIdle, -15},        {TThreadPriority::tpLowest, -2},
        {TThreadPriority::tpLower, -1},        {TThreadPriority::tpNormal, 0},
        {TThreadPriority::tpHigher, 1},        {TThreadPriority::tpHighest, 2},
        {TThreadPriority::tpTimeCritical, 15},
    };
    for (const auto& [priority, value] : levels) {
        EXPECT_EQ(ThreadPriorityValue(priority), value);
    }
    PortFixture f;
    f.port->SetWatchThreadPriority(TThreadPriority::tpHighest);
    f.port->Open();
    ASSERT_TRUE(f.device->AwaitWaitsStarted(1));
    EXPECT_EQ(f.device->PriorityGiven(), 2);
    EXPECT_EQ(f.device->WaitingThreads().count(std::this_thread::get_id()), 0u);
    f.port->Close();
}

// Under smThreadSync an exception from a handler is rethrown on the event thread, which ends;
// the port stays open and reports nothing more until reopened.
TEST(EventThreadSync, HandlerExceptionEndsTheThread)
{
    SharedLog log;
    PortFixture f;
    log.Bind(f.dispatcher);
    f.port->SetEvents({TComEvent::evRxChar});
    f.port->OnRxChar = [&](TCustomComPort&, std::int32_t) {
        log.Add("RxChar");
        throw std::runtime_error("handler failed");
    };
    f.port->Open();
    f.device->ReceiveWithEvent("x");
    ASSERT_TRUE(ServeUntilLogged(f, log, 1));
    // The thread's end steps are done once it has emptied the queues.
    ASSERT_TRUE(test::WaitUntil([&] { return f.device->CallCount("Purge") == 1; }));
    f.device->ReceiveWithEvent("y");
    EXPECT_FALSE(f.dispatcher.ServeUntil([&] { return log.Size() >= 2; }, 100ms));
    EXPECT_EQ(f.device->WaitsStarted(), 1u);
    EXPECT_TRUE(f.port->Connected());
    f.port->Close();
    f.port->Open();
    ASSERT_TRUE(ServeUntilLogged(f, log, 2)) << "reopened port reports again";
    f.port->Close();
}

// Under smWindowSync the sender is released before the handler runs, and a failing handler
// is shown by the default exception handler while reception goes on.
TEST(EventThreadWindow, RepliesBeforeTheHandlerAndShowsErrors)
{
    std::vector<std::string> shown;
    bool nextWaitStartedInHandler = false;
    SharedLog log;
    PortFixture f;
    log.Bind(f.dispatcher);
    f.dispatcher.SetExceptionHandler([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& ex) {
            shown.push_back(ex.what());
        }
    });
    f.port->SetSyncMethod(TSyncMethod::smWindowSync);
    f.port->SetEvents({TComEvent::evRing});
    f.port->OnRing = [&](TCustomComPort&) {
        nextWaitStartedInHandler = f.device->AwaitWaitsStarted(2);
        log.Add("Ring");
        throw std::runtime_error("shown");
    };
    f.port->Open();
    f.device->PushEvents(ev::RING);
    ASSERT_TRUE(ServeUntilLogged(f, log, 1));
    EXPECT_TRUE(nextWaitStartedInHandler);
    f.device->PushEvents(ev::RING);
    ASSERT_TRUE(ServeUntilLogged(f, log, 2));
    EXPECT_EQ(shown, (std::vector<std::string>{"shown", "shown"}));
    f.port->Close();
}

class ReplyRecorder : public SentCall {
public:
    void Reply() override { replied = true; }
    bool SenderWaiting() const override { return !replied; }
    bool replied = false;
};

TEST(EventThreadWindow, WindowProcedureDropsMessagesOfAClosedPortAndUnknownValues)
{
    int rings = 0;
    PortFixture f;
    f.port->OnRing = [&](TCustomComPort&) { ++rings; };
    ReplyRecorder call;
    EXPECT_EQ(TComThread::SyncWindowProc(*f.port, WM_COMPORT_EVENT, ev::RING, 0, call), 0);
    EXPECT_TRUE(call.replied);
    EXPECT_EQ(rings, 0) << "not connected";
    f.OpenQuietly();
    ReplyRecorder call2;
    TComThread::SyncWindowProc(*f.port, WM_COMPORT_EVENT, ev::RING, 0, call2);
    EXPECT_EQ(rings, 1);
    ReplyRecorder call3;
    TComThread::SyncWindowProc(*f.port, WM_COMPORT_EVENT, ev::PERR, 0, call3);
    TComThread::SyncWindowProc(*f.port, WM_COMPORT_EVENT + 1, ev::RING, 0, call3);
    EXPECT_EQ(rings, 1);
    f.port->Close();
}

// A stop requested while a hand-over waits for the main thread: the hand-over still runs
// (after OnBeforeClose, before the device closes); the batch that completed together with
// the stop is not handed over.
TEST(EventThreadSync, CloseServesTheHandOverInFlightAndStopWinsTies)
{
    std::vector<std::string> log;
    PortFixture f;
    f.port->SetEvents({TComEvent::evRxChar, TComEvent::evRing});
    f.port->OnBeforeClose = [&](TCustomComPort&) { log.push_back("BeforeClose"); };
    f.port->OnRxChar = [&](TCustomComPort& s, std::int32_t n) {
        std::string text;
        s.ReadText(text, n);
        log.push_back("RxChar " + text + " open=" + std::to_string(f.device->IsOpen()));
        f.device->PushEvents(ev::RING); // completes together with the stop
    };
    f.port->OnRing = [&](TCustomComPort&) { log.push_back("Ring"); };
    f.port->OnAfterClose = [&](TCustomComPort&) { log.push_back("AfterClose"); };
    f.port->Open();
    f.device->ReceiveWithEvent("abc");
    ASSERT_TRUE(test::WaitUntil([&] { return f.dispatcher.QueuedCount() == 1; }));
    f.port->Close();
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeClose", "RxChar abc open=1", "AfterClose"}));
    EXPECT_EQ(f.device->WaitsStarted(), 2u) << "one more wait after the hand-over, which reported the stop";
}

// Closing the port from inside its own hand-over (an error box left open in the reception
// handler, and the user reopens the port from the settings window) must not hang.
TEST(EventThreadSync, CloseAndReopenFromInsideTheHandOverDoNotHang)
{
    int calls = 0;
    SharedLog log;
    PortFixture f;
    log.Bind(f.dispatcher);
    f.port->SetEvents({TComEvent::evRxChar, TComEvent::evRing});
    f.port->OnRxChar = [&](TCustomComPort& s, std::int32_t n) {
        std::string text;
        s.ReadText(text, n);
        if (++calls == 1) {
            s.Close(); // what the nested message loop would do
            log.Add("closed inside " + text);
            s.Open();
        } else {
            log.Add("reopened " + text);
        }
    };
    f.port->OnRing = [&](TCustomComPort&) { log.Add("Ring of the old batch"); };
    f.port->Open();
    f.device->Receive("one");
    f.device->PushEvents(ev::RXCHAR | ev::RING);
    ASSERT_TRUE(ServeUntilLogged(f, log, 1));
    EXPECT_TRUE(f.port->Connected());
    f.device->ReceiveWithEvent("two");
    ASSERT_TRUE(ServeUntilLogged(f, log, 2));
    EXPECT_EQ(log.Entries(), (std::vector<std::string>{"closed inside one", "reopened two"}))
        << "the rest of the old batch is dropped with its thread";
    f.port->Close();
    EXPECT_FALSE(f.port->Connected());
}

// A close and an open served while another close waits for the event thread (an error box's
// loop in the reception handler, then the settings applied again): afterwards one thread
// serves one device session, the port is open as the last call left it, and the one close
// is notified once.
TEST(EventThreadSync, CloseAndOpenNestedInACloseLeaveOneThreadOnOneSession)
{
    for (const TSyncMethod sync : {TSyncMethod::smThreadSync, TSyncMethod::smWindowSync}) {
        SCOPED_TRACE(sync == TSyncMethod::smThreadSync ? "smThreadSync" : "smWindowSync");
        std::vector<std::string> log; // every handler here runs on the main thread
        PortFixture f;
        f.port->SetSyncMethod(sync);
        f.port->SetEvents({TComEvent::evRing});
        f.port->OnBeforeClose = [&](TCustomComPort&) { log.push_back("BeforeClose"); };
        f.port->OnAfterClose = [&](TCustomComPort&) { log.push_back("AfterClose"); };
        f.port->OnAfterOpen = [&](TCustomComPort&) { log.push_back("AfterOpen"); };
        f.port->OnRing = [&](TCustomComPort& s) {
            log.push_back("Ring");
            if (log.size() == 2) {
                s.Close();
                s.Open();
            }
        };
        f.port->Open();
        log.clear();
        f.device->PushEvents(ev::RING);
        ASSERT_TRUE(test::WaitUntil([&] { return f.dispatcher.QueuedCount() == 1; }));
        f.port->Close();
        EXPECT_TRUE(f.port->Connected());
        EXPECT_TRUE(f.device->IsOpen());
        EXPECT_EQ(log, (std::vector<std::string>{"BeforeClose", "Ring", "AfterClose", "AfterOpen"}));
        EXPECT_NE(f.device->EventMask(), 0u) << "the old thread's end steps hit the new session";
        f.device->PushEvents(ev::RING);
        EXPECT_TRUE(f.dispatcher.ServeUntil([&] { return log.size() == 5; }, 10s));
        f.port->Close();
        EXPECT_FALSE(f.device->IsOpen());
    }
}

TEST(EventThreadNone, CloseFromTheHandlerOnTheEventThreadDoesNotHang)
{
    SharedLog log;
    PortFixture f;
    log.Bind(f.dispatcher);
    f.port->SetSyncMethod(TSyncMethod::smNone);
    f.port->SetEvents({TComEvent::evRing});
    f.port->OnRing = [&](TCustomComPort& s) {
        s.Close();
        log.Add("closed");
    };
    f.port->Open();
    f.device->PushEvents(ev::RING);
    ASSERT_TRUE(ServeUntilLogged(f, log, 1));
    EXPECT_FALSE(f.port->Connected());
    EXPECT_EQ(f.device->WaitsStarted(), 1u);
    f.port->Open(); // collects the ended thread and starts a new one
    ASSERT_TRUE(f.device->AwaitWaitsStarted(2));
    f.port->Close();
}

// Destroying the port while its thread waits in a hand-over serves that hand-over first.
TEST(EventThreadSync, DestructorDuringAPendingHandOverDoesNotHang)
{
    int received = 0;
    PortFixture f;
    f.port->SetEvents({TComEvent::evRxChar});
    f.port->OnRxChar = [&](TCustomComPort&, std::int32_t n) { received += n; };
    f.port->Open();
    f.device->ReceiveWithEvent("12");
    ASSERT_TRUE(test::WaitUntil([&] { return f.dispatcher.QueuedCount() == 1; }));
    f.port.reset();
    EXPECT_EQ(received, 2);
}

} // namespace
} // namespace lantorvix

namespace lantorvix {
namespace {

// Destroying the port from inside its own hand-over (the program shutting down from a
// message loop that runs inside the reception handler) neither hangs nor touches the port
// afterwards.
TEST(EventThreadSync, DestroyingThePortInsideItsOwnHandOverDoesNotHang)
{
    bool destroyed = false;
    PortFixture f;
    f.port->SetEvents({TComEvent::evRxChar, TComEvent::evRing});
    f.port->OnRxChar = [&f, &destroyed](TCustomComPort&, std::int32_t) {
        destroyed = true; // before the reset: this closure goes with the port
        f.port.reset();
    };
    f.port->Open();
    f.device->Receive("x");
    f.device->PushEvents(ev::RXCHAR | ev::RING);
    ASSERT_TRUE(f.dispatcher.ServeUntil([&] { return destroyed; }, 10s));
    EXPECT_FALSE(f.port);
}

} // namespace
} // namespace lantorvix
