#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "serial/main_thread_dispatcher.h"

namespace lantorvix {

// The port's hidden sync target: messages sent to it from another thread run its procedure
// on the main thread, and the sender resumes as soon as the procedure replies.
// Created and destroyed on the main thread; Send may be called from any thread. A message
// being handled keeps the target alive until its procedure returns.
class SyncWindow : public std::enable_shared_from_this<SyncWindow> {
public:
    using Procedure = std::function<std::intptr_t(std::uint32_t msg, std::uintptr_t wParam,
                                                  std::intptr_t lParam, SentCall& call)>;

    SyncWindow(MainThreadDispatcher& dispatcher, Procedure procedure)
        : dispatcher_(dispatcher), procedure_(std::move(procedure))
    {}

    void Send(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)
    {
        auto self = shared_from_this();
        dispatcher_.Send(
            [self, msg, wParam, lParam](SentCall& call) { self->procedure_(msg, wParam, lParam, call); });
    }

private:
    MainThreadDispatcher& dispatcher_;
    Procedure procedure_;
};

} // namespace lantorvix
