#include "serial/main_thread_dispatcher.h"

#include <atomic>
#include <utility>

namespace lantorvix {

namespace {

std::atomic<MainThreadDispatcher*> defaultDispatcher{nullptr};

// Completion state shared by a waiting sender and the call queued for it.
struct Completion {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    std::exception_ptr error;

    void Finish(std::exception_ptr e = nullptr)
    {
        {
            std::lock_guard lock(mutex);
            if (done) {
                return;
            }
            done = true;
            error = std::move(e);
        }
        cv.notify_all();
    }

    std::exception_ptr Wait()
    {
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return done; });
        return std::move(error);
    }
};

class QueuedSentCall : public SentCall {
public:
    explicit QueuedSentCall(std::shared_ptr<Completion> completion) : completion_(std::move(completion)) {}
    void Reply() override
    {
        replied_ = true;
        completion_->Finish();
    }
    bool SenderWaiting() const override { return !replied_; }

private:
    std::shared_ptr<Completion> completion_;
    bool replied_ = false;
};

// A send from the main thread to itself: nobody waits.
class DirectSentCall : public SentCall {
public:
    void Reply() override {}
    bool SenderWaiting() const override { return false; }
};

} // namespace

MainThreadDispatcher::MainThreadDispatcher() : mainThread_(std::this_thread::get_id()) {}

MainThreadDispatcher::~MainThreadDispatcher()
{
    MainThreadDispatcher* self = this;
    defaultDispatcher.compare_exchange_strong(self, nullptr);
}

void MainThreadDispatcher::SetWaker(Waker* waker)
{
    std::lock_guard lock(mutex_);
    waker_ = waker;
}

void MainThreadDispatcher::SetExceptionHandler(ExceptionHandler handler)
{
    std::lock_guard lock(mutex_);
    exceptionHandler_ = std::move(handler);
}

void MainThreadDispatcher::Enqueue(Call call)
{
    Waker* waker = nullptr;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(call));
        waker = waker_;
    }
    changed_.notify_all();
    if (waker != nullptr) {
        waker->Wake();
    }
}

void MainThreadDispatcher::Synchronize(const Call& call)
{
    if (IsMainThread()) {
        call();
        return;
    }
    auto completion = std::make_shared<Completion>();
    Enqueue([completion, &call] {
        // The exception is handed over only after this thread has left its handler, so the
        // waiting thread holds the last reference to it.
        std::exception_ptr error;
        try {
            call();
        } catch (...) {
            error = std::current_exception();
        }
        completion->Finish(std::move(error));
    });
    if (std::exception_ptr error = completion->Wait()) {
        std::rethrow_exception(error);
    }
}

void MainThreadDispatcher::Send(const SentCallFn& call)
{
    if (IsMainThread()) {
        DirectSentCall direct;
        try {
            call(direct);
        } catch (...) {
            HandleException(std::current_exception());
        }
        return;
    }
    auto completion = std::make_shared<Completion>();
    // The call is copied: after the reply the sender returns while the call may still run.
    Enqueue([this, completion, call] {
        QueuedSentCall sent(completion);
        try {
            call(sent);
        } catch (...) {
            completion->Finish();
            HandleException(std::current_exception());
            return;
        }
        completion->Finish();
    });
    completion->Wait();
}

void MainThreadDispatcher::Post(Call call)
{
    Enqueue([this, call = std::move(call)] {
        try {
            call();
        } catch (...) {
            HandleException(std::current_exception());
        }
    });
}

std::size_t MainThreadDispatcher::ServeQueued()
{
    // Only the calls present now: a call that queues another does not keep this loop going.
    std::size_t pending = QueuedCount();
    std::size_t ran = 0;
    while (pending-- > 0) {
        Call call;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                break;
            }
            call = std::move(queue_.front());
            queue_.pop_front();
        }
        call();
        ++ran;
    }
    return ran;
}

bool MainThreadDispatcher::ServeUntil(const std::function<bool()>& done,
                                      std::optional<std::chrono::milliseconds> bound)
{
    const bool bounded = bound.has_value();
    const auto deadline = std::chrono::steady_clock::now() + bound.value_or(std::chrono::milliseconds(0));
    for (;;) {
        ServeQueued();
        std::unique_lock lock(mutex_);
        const auto ready = [&] { return !queue_.empty() || done(); };
        if (bounded) {
            if (!changed_.wait_until(lock, deadline, ready)) {
                return done();
            }
        } else {
            changed_.wait(lock, ready);
        }
        if (queue_.empty()) {
            return true;
        }
    }
}

void MainThreadDispatcher::NotifyWaiters()
{
    {
        // Taking the lock orders this after a waiter's check of its condition.
        std::lock_guard lock(mutex_);
    }
    changed_.notify_all();
}

void MainThreadDispatcher::HandleException(std::exception_ptr error)
{
    ExceptionHandler handler;
    {
        std::lock_guard lock(mutex_);
        handler = exceptionHandler_;
    }
    if (handler) {
        handler(std::move(error));
    }
}

std::size_t MainThreadDispatcher::QueuedCount() const
{
    std::lock_guard lock(mutex_);
    return queue_.size();
}

void MainThreadDispatcher::SetDefault(MainThreadDispatcher* dispatcher)
{
    defaultDispatcher.store(dispatcher);
}

MainThreadDispatcher* MainThreadDispatcher::Default()
{
    return defaultDispatcher.load();
}

void PlainLoopWaker::Wake()
{
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
        ++count_;
    }
    cv_.notify_all();
}

bool PlainLoopWaker::WaitForWake(std::chrono::milliseconds bound)
{
    std::unique_lock lock(mutex_);
    const bool woken = cv_.wait_for(lock, bound, [&] { return woken_; });
    woken_ = false;
    return woken;
}

std::size_t PlainLoopWaker::WakeCount() const
{
    std::lock_guard lock(mutex_);
    return count_;
}

} // namespace lantorvix
