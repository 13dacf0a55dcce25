#pragma once

#include "serial/main_thread_dispatcher.h"

#include <QObject>

#include <atomic>

namespace lantorvix {

// Wakes the dispatcher through Qt's event loop: Wake (any thread) queues one invocation
// that serves the dispatcher's queue on the thread this object lives on (the main thread).
// Wakes that arrive while one is still queued are merged into it.
class QtWaker : public QObject, public Waker {
public:
    explicit QtWaker(MainThreadDispatcher& dispatcher) : dispatcher_(dispatcher) {}
    void Wake() override;

private:
    MainThreadDispatcher& dispatcher_;
    std::atomic<bool> pending_{false};
};

} // namespace lantorvix
