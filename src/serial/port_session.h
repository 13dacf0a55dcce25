#pragma once

#include <memory>

namespace lantorvix {

class MainThreadDispatcher;
class SyncWindow;
class TComThread;
class TCustomComPort;

// One open of the device, from the Open that made it to the Close that ends it: the event
// thread serving it, the sync target it sends to under smWindowSync, and the mark of a close
// under way (kept once the close is done). The port holds the session that is open; a close
// holds the one it closes and tells by pointer identity whether a close nested in its wait
// ended it. The event thread's loss report holds a weak reference, so a report for a session
// that was closed, or is being closed, is dropped. A session closed from inside its thread's
// own hand-over keeps that thread, let go, until it has ended.
//
// Thread-safety contract: main thread only (the thread that opens and closes the port); the
// event thread only keeps the weak reference and posts the report to the main thread.
class PortSession : public std::enable_shared_from_this<PortSession> {
public:
    explicit PortSession(TCustomComPort& port);
    ~PortSession();
    PortSession(const PortSession&) = delete;
    PortSession& operator=(const PortSession&) = delete;

    TCustomComPort& Port() const { return port_; }
    const std::shared_ptr<SyncWindow>& SyncTarget() const { return syncWindow_; }

    // Starts the event thread with the port's events, sync method and priority.
    void StartThread();
    // From StartThread until a close stopped the thread, also after it ended by itself.
    bool ThreadActive() const { return thread_ != nullptr && !threadLetGo_; }
    // Stops the event thread and waits for it, serving its hand-overs meanwhile. Called from
    // inside the thread's own hand-over, it cannot wait: the thread is told to stop and let
    // go, to end by itself once that hand-over has returned.
    void StopThread();
    // A thread let go that the session still holds; the port keeps such a session until
    // ThreadEnded, and releases it at its own end with ReleaseThread.
    bool HoldsThreadLetGo() const { return thread_ != nullptr && threadLetGo_; }
    bool ThreadEnded() const;
    // Waits for a thread let go when that is possible; one whose hand-over is still on this
    // stack is left to free itself when it ends.
    void ReleaseThread();

    bool Closing() const { return closing_; }
    void SetClosing(bool value) { closing_ = value; }

    // The device went away under this session: the port hears of it unless it was closed.
    void ReportLoss();

private:
    TCustomComPort& port_;
    std::shared_ptr<SyncWindow> syncWindow_;
    std::unique_ptr<TComThread> thread_;
    bool threadLetGo_ = false;
    bool closing_ = false;
};

} // namespace lantorvix
