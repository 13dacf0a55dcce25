#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace lantorvix {

// Asks the main loop to call MainThreadDispatcher::ServeQueued on the main thread soon.
// Win32: a hidden window and PostMessage; Qt: a queued invocation; tests: PlainLoopWaker.
// Wake is called from any thread, possibly while the main thread is already serving; several
// wakes may be merged into one serve.
class Waker {
public:
    virtual ~Waker() = default;
    virtual void Wake() = 0;
};

// A call delivered as a sent message: the sender is released by Reply(), or when the call
// returns without having replied.
class SentCall {
public:
    virtual ~SentCall() = default;
    virtual void Reply() = 0;
    // True while the sender still waits (the InSendMessage of a window procedure).
    virtual bool SenderWaiting() const = 0;
};

// Runs calls from other threads on the main thread (the thread that constructed it).
//
// Thread-safety contract: Synchronize, Send, Post, NotifyWaiters and IsMainThread may be
// called from any thread. ServeQueued, ServeUntil and HandleException run on the main thread
// only; calls they run may enter them again (a modal loop inside a handler serves too).
// SetWaker and SetExceptionHandler are called on the main thread before other threads use
// the dispatcher. The dispatcher must outlive every thread that calls into it.
class MainThreadDispatcher {
public:
    using Call = std::function<void()>;
    using SentCallFn = std::function<void(SentCall&)>;
    using ExceptionHandler = std::function<void(std::exception_ptr)>;

    MainThreadDispatcher();
    ~MainThreadDispatcher();
    MainThreadDispatcher(const MainThreadDispatcher&) = delete;
    MainThreadDispatcher& operator=(const MainThreadDispatcher&) = delete;

    // The waker is not owned and must outlive its use; nullptr for none.
    void SetWaker(Waker* waker);
    // The application's default exception display; without one, such exceptions are dropped.
    void SetExceptionHandler(ExceptionHandler handler);

    bool IsMainThread() const { return std::this_thread::get_id() == mainThread_; }

    // Blocking synchronised call: runs call on the main thread and returns when it has
    // returned; an exception it throws is rethrown here. On the main thread it runs at once.
    void Synchronize(const Call& call);
    // Sent message: runs call on the main thread and returns as soon as the call replies
    // (or returns). An exception that leaves the call goes to the exception handler. On the
    // main thread it runs at once.
    void Send(const SentCallFn& call);
    // Queues call and returns; exceptions go to the exception handler.
    void Post(Call call);

    // Runs the calls queued so far; returns how many ran.
    std::size_t ServeQueued();
    // Serves queued calls until done() holds, sleeping in between (no polling): wakes for
    // every queued call and every NotifyWaiters. With a bound, gives up after it and returns
    // done(). done is evaluated on the main thread with the dispatcher's lock held: keep it
    // a cheap read.
    bool ServeUntil(const std::function<bool()>& done,
                    std::optional<std::chrono::milliseconds> bound = std::nullopt);
    // Wakes ServeUntil so that it re-evaluates its condition; call after making it true.
    void NotifyWaiters();

    // Passes an exception to the application's default exception display.
    void HandleException(std::exception_ptr error);

    // Number of queued calls not yet started.
    std::size_t QueuedCount() const;

    // The process's dispatcher used by ports created without one; set by the program at
    // start-up on its main thread (nullptr clears it).
    static void SetDefault(MainThreadDispatcher* dispatcher);
    static MainThreadDispatcher* Default();

private:
    void Enqueue(Call call);

    const std::thread::id mainThread_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Call> queue_;
    Waker* waker_ = nullptr;
    ExceptionHandler exceptionHandler_;
};

// A waker for plain loops (tests, tools): Wake sets a flag that WaitForWake consumes.
class PlainLoopWaker : public Waker {
public:
    void Wake() override;
    // Waits until woken or the bound passes; true when woken. Clears the wake.
    bool WaitForWake(std::chrono::milliseconds bound);
    std::size_t WakeCount() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool woken_ = false;
    std::size_t count_ = 0;
};

} // namespace lantorvix
