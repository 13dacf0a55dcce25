#include "serial/com_thread.h"

#include "base/scoped_flag.h"
#include "serial/com_events.h"
#include "serial/com_port.h"
#include "serial/main_thread_dispatcher.h"
#include "serial/port_session.h"
#include "serial/sync_window.h"

namespace lantorvix {

namespace {

void CallHandling(TCustomComPort& port, TComEvent event)
{
    switch (event) {
    case TComEvent::evError:
        port.HandleError();
        break;
    case TComEvent::evRxChar:
        port.HandleRxChar();
        break;
    case TComEvent::evTxEmpty:
        port.HandleTxEmpty();
        break;
    case TComEvent::evBreak:
        port.HandleBreak();
        break;
    case TComEvent::evRing:
        port.HandleRing();
        break;
    case TComEvent::evCTS:
        port.HandleCTSChange();
        break;
    case TComEvent::evDSR:
        port.HandleDSRChange();
        break;
    case TComEvent::evRxFlag:
        port.HandleRxFlag();
        break;
    case TComEvent::evRLSD:
        port.HandleRLSDChange();
        break;
    case TComEvent::evRx80Full:
        port.HandleRx80Full();
        break;
    }
}

} // namespace

int ThreadPriorityValue(TThreadPriority priority)
{
    switch (priority) {
    case TThreadPriority::tpIdle:
        return -15;
    case TThreadPriority::tpLowest:
        return -2;
    case TThreadPriority::tpLower:
        return -1;
    case TThreadPriority::tpNormal:
        return 0;
    case TThreadPriority::tpHigher:
        return 1;
    case TThreadPriority::tpHighest:
        return 2;
    case TThreadPriority::tpTimeCritical:
        return 15;
    }
    return 0;
}

TComThread::TComThread(PortSession& session)
    : OwnerPort(session.Port()), device_(OwnerPort.Device()), dispatcher_(OwnerPort.Dispatcher()),
      syncWindow_(session.SyncTarget()), session_(session.weak_from_this()),
      StopSignal_(device_.CreateStopSignal()), events_(OwnerPort.Events())
{
    // The mask is fixed for the thread's life; a failure shows later as a wait that fails.
    device_.SetEventMask(ComEventsToMask(events_));
    const int priority = ThreadPriorityValue(OwnerPort.WatchThreadPriority());
    thread_ = std::thread([this, priority] {
        threadId_.store(std::this_thread::get_id());
        device_.SetCurrentThreadPriority(priority);
        WaitLoop();
        std::unique_ptr<TComThread> self;
        {
            std::lock_guard lock(selfMutex_);
            self = std::move(self_);
        }
        // A thread let go has nobody waiting for it, and its dispatcher may be gone; it is
        // freed here, by itself, and nothing touches it afterwards.
        MainThreadDispatcher* const dispatcher = self ? nullptr : dispatcher_;
        finished_.store(true);
        if (dispatcher != nullptr) {
            dispatcher->NotifyWaiters();
        }
    });
}

TComThread::~TComThread()
{
    if (thread_.joinable() && std::this_thread::get_id() == thread_.get_id()) {
        // Freed by itself at its end, after it was let go: the stop was asked for then, and
        // the device the stop signal belongs to may be gone by now.
        abandoned_.store(true);
        thread_.detach();
        return;
    }
    RequestStop();
    if (!thread_.joinable()) {
        return;
    }
    if (!finished_.load() && dispatcher_ != nullptr && dispatcher_->IsMainThread()) {
        // A hand-over the thread is sending now is served, not deadlocked.
        dispatcher_->ServeUntil([this] { return finished_.load(); });
    }
    thread_.join();
}

void TComThread::RequestStop()
{
    StopSignal_->Set();
    std::this_thread::yield();
}

bool TComThread::CanWaitForEnd() const
{
    return std::this_thread::get_id() != threadId_.load() && !mainHandOverRunning_;
}

void TComThread::Abandon()
{
    abandoned_.store(true);
    RequestStop();
}

void TComThread::LetGo(std::unique_ptr<TComThread> thread)
{
    // The thread is inside its hand-over, so it cannot have passed the point where it takes
    // its own object.
    TComThread& self = *thread;
    std::lock_guard lock(self.selfMutex_);
    self.self_ = std::move(thread);
}

std::exception_ptr TComThread::FatalException() const
{
    return finished_.load() ? fatal_ : nullptr;
}

void TComThread::WaitLoop()
{
    bool purge = true;
    bool lost = false;
    try {
        while (!abandoned_.load()) {
            const EventWaitResult result = device_.WaitForEvents(*StopSignal_);
            if (result.status == EventWaitStatus::stopped) {
                break;
            }
            if (result.status == EventWaitStatus::refused) {
                // The device is gone: end instead of retrying at once for ever, and keep
                // what was received for whoever reads it.
                purge = false;
                lost = true;
                DeliverQueuedAfterRefusal();
                break;
            }
            if (result.status == EventWaitStatus::waitFailed) {
                continue;
            }
            ReceivedEvents = MaskToComEvents(result.mask);
            HandOverEvents();
        }
    } catch (...) {
        fatal_ = std::current_exception();
    }
    if (!abandoned_.load()) {
        EndSteps(purge);
        if (lost && dispatcher_ != nullptr) {
            // The owner learns of the loss on the main thread, after this session's last
            // hand-over; a session closed meanwhile is not reported.
            dispatcher_->Post([session = session_] {
                if (const auto open = session.lock()) {
                    open->ReportLoss();
                }
            });
        }
    }
}

void TComThread::DeliverQueuedAfterRefusal()
{
    if (!events_.Contains(TComEvent::evRxChar) || abandoned_.load() || StopSignal_->IsSet()) {
        return;
    }
    std::uint32_t errors = 0;
    ComStat stat;
    if (!device_.ClearErrors(errors, stat) || stat.cbInQue == 0) {
        return;
    }
    ReceivedEvents = TComEvents{TComEvent::evRxChar};
    HandOverEvents();
}

void TComThread::EndSteps(bool purge)
{
    device_.SetEventMask(0);
    if (purge) {
        device_.Purge(purge::TXCLEAR | purge::RXCLEAR);
    }
}

void TComThread::HandOverEvents()
{
    switch (OwnerPort.SyncMethod()) {
    case TSyncMethod::smThreadSync:
        dispatcher_->Synchronize([this] {
            const ScopedFlag running(mainHandOverRunning_);
            FireEvents();
        });
        break;
    case TSyncMethod::smWindowSync:
        SendEventMessages();
        break;
    case TSyncMethod::smNone:
        FireEvents();
        break;
    }
}

void TComThread::FireEvents()
{
    for (TComEvent event : HandOverOrder) {
        if (abandoned_.load()) {
            return;
        }
        if (ReceivedEvents.Contains(event)) {
            CallHandling(OwnerPort, event);
        }
    }
}

void TComThread::SendEventMessages()
{
    for (TComEvent event : HandOverOrder) {
        if (ReceivedEvents.Contains(event) && syncWindow_) {
            syncWindow_->Send(WM_COMPORT_EVENT, EventMaskBit(event), 0);
        }
    }
}

std::intptr_t TComThread::SyncWindowProc(TCustomComPort& port, std::uint32_t msg, std::uintptr_t wParam,
                                         std::intptr_t, SentCall& call)
{
    if (msg != WM_COMPORT_EVENT) {
        return 0;
    }
    try {
        if (call.SenderWaiting()) {
            call.Reply();
        }
        if (port.Connected()) {
            for (TComEvent event : HandOverOrder) {
                if (EventMaskBit(event) == wParam) {
                    CallHandling(port, event);
                    break;
                }
            }
        }
    } catch (...) {
        if (MainThreadDispatcher* dispatcher = port.Dispatcher()) {
            dispatcher->HandleException(std::current_exception());
        }
    }
    return 0;
}

} // namespace lantorvix
