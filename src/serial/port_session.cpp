#include "serial/port_session.h"

#include <stdexcept>

#include "serial/com_port.h"
#include "serial/com_thread.h"
#include "serial/main_thread_dispatcher.h"
#include "serial/sync_window.h"

namespace lantorvix {

PortSession::PortSession(TCustomComPort& port) : port_(port) {}

PortSession::~PortSession() = default;

void PortSession::StartThread()
{
    MainThreadDispatcher* dispatcher = port_.Dispatcher();
    if (port_.SyncMethod() != TSyncMethod::smNone && dispatcher == nullptr) {
        throw std::logic_error("a port handing events to the main thread needs a MainThreadDispatcher");
    }
    if (port_.SyncMethod() == TSyncMethod::smWindowSync) {
        TCustomComPort* port = &port_;
        syncWindow_ =
            std::make_shared<SyncWindow>(*dispatcher, [port](std::uint32_t msg, std::uintptr_t wParam,
                                                             std::intptr_t lParam, SentCall& call) {
                return TComThread::SyncWindowProc(*port, msg, wParam, lParam, call);
            });
    }
    thread_ = std::make_unique<TComThread>(*this);
}

void PortSession::StopThread()
{
    if (!ThreadActive()) {
        return;
    }
    if (!thread_->CanWaitForEnd()) {
        // Closed from inside the thread's own hand-over: waiting here would wait for ourselves.
        thread_->Abandon();
        threadLetGo_ = true;
        return;
    }
    // The thread stays the session's while it is waited for: a close nested in this wait
    // (served from a hand-over) finds it and stops it too, instead of closing the device under
    // it. Such a close may also drop the port's hold on this session.
    const auto self = shared_from_this();
    thread_->RequestStop();
    MainThreadDispatcher* dispatcher = port_.Dispatcher();
    if (dispatcher != nullptr && dispatcher->IsMainThread()) {
        dispatcher->ServeUntil([this] { return !ThreadActive() || thread_->Finished(); });
    }
    if (ThreadActive()) {
        thread_.reset(); // waits for the end, serving the thread's hand-overs
    }
}

bool PortSession::ThreadEnded() const
{
    return !thread_ || thread_->Finished();
}

void PortSession::ReleaseThread()
{
    if (!thread_) {
        return;
    }
    if (thread_->Finished() || thread_->CanWaitForEnd()) {
        thread_.reset();
    } else {
        TComThread::LetGo(std::move(thread_));
    }
}

void PortSession::ReportLoss()
{
    if (!closing_) {
        port_.HandleDeviceLost();
    }
}

} // namespace lantorvix
