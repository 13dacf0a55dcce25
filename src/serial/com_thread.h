#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "serial/com_types.h"
#include "serial/comm_device.h"

namespace lantorvix {

class TCustomComPort;
class MainThreadDispatcher;
class PortSession;
class SentCall;
class SyncWindow;

// The event thread of an open port: waits for line events on the device and hands every
// batch to the port's handling operations on the thread the port's SyncMethod names.
//
// Thread-safety contract: constructed, stopped and destroyed on the thread that opens and
// closes the port (the main thread). The destructor waits for the thread to end; on the
// dispatcher's main thread it serves queued calls meanwhile, so a hand-over in flight is
// finished rather than deadlocked. When the port is closed from inside this thread's own
// hand-over (on the main thread under smThreadSync, or on the thread itself under smNone),
// waiting is impossible: the port calls Abandon instead, and the thread then ends as soon as
// the hand-over returns, without touching the device again. When the port goes while that
// hand-over is still on the stack, it hands the thread over to itself with LetGo.
class TComThread {
public:
    // Serves the session's port, posting a loss report to the session (weakly held).
    explicit TComThread(PortSession& session);
    ~TComThread();
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    // Asks the loop to end; returns at once.
    void RequestStop();
    // False when called from inside this thread's own hand-over.
    bool CanWaitForEnd() const;
    // The port gives the thread up: it must not touch the port or the device any more.
    void Abandon();
    // Leaves an abandoned thread that cannot be waited for (CanWaitForEnd false) to itself:
    // it frees itself when it ends, after the hand-over on the stack (which still reads it)
    // has returned, and touches nothing else then, not even the dispatcher.
    static void LetGo(std::unique_ptr<TComThread> thread);
    bool Finished() const { return finished_.load(); }
    // The exception that escaped a handler and ended the thread, if any.
    std::exception_ptr FatalException() const;

    // The window procedure of the port's sync target (main thread).
    static std::intptr_t SyncWindowProc(TCustomComPort& port, std::uint32_t msg, std::uintptr_t wParam,
                                        std::intptr_t lParam, SentCall& call);

private:
    void WaitLoop();
    void HandOverEvents();
    void FireEvents();
    void SendEventMessages();
    void DeliverQueuedAfterRefusal();
    void EndSteps(bool purge);

    TCustomComPort& OwnerPort;
    CommDevice& device_;
    MainThreadDispatcher* dispatcher_;
    std::shared_ptr<SyncWindow> syncWindow_;
    std::weak_ptr<PortSession> session_; // the open session the loss report is for
    std::unique_ptr<StopSignal> StopSignal_;
    const TComEvents events_; // the port's mask when the thread started; the port's may change
    TComEvents ReceivedEvents;
    std::atomic<bool> abandoned_{false};
    std::atomic<bool> finished_{false};
    std::mutex selfMutex_;
    std::unique_ptr<TComThread> self_; // set once let go: the thread then owns its object
    std::atomic<std::thread::id> threadId_{};
    bool mainHandOverRunning_ = false; // touched on the main thread only
    std::exception_ptr fatal_;
    std::thread thread_;
};

// The platform value of a thread priority level (-15, -2, -1, 0, 1, 2, 15).
int ThreadPriorityValue(TThreadPriority priority);

} // namespace lantorvix
