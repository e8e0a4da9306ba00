#include "media/main_thread.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace quillo::media {

namespace {

// Dynamic initialisation runs before main, on the thread that starts the process.
const std::thread::id mainThreadId = std::this_thread::get_id();

// The process-wide queue of calls waiting for the main thread.
class MainThreadQueue {
public:
    void Post(std::packaged_task<void()> call) {
        std::function<void()> wakeUp;
        {
            std::scoped_lock lock(mutex_);
            calls_.push_back(std::move(call));
            ++generation_;
            wakeUp = wakeUp_;
        }
        changed_.notify_all();
        if (wakeUp) {
            wakeUp();
        }
    }

    int RunAll() {
        int count = 0;
        for (;;) {
            std::packaged_task<void()> call;
            {
                std::scoped_lock lock(mutex_);
                if (calls_.empty()) {
                    return count;
                }
                call = std::move(calls_.front());
                calls_.pop_front();
            }
            call();
            ++count;
        }
    }

    std::uint64_t Generation() {
        std::scoped_lock lock(mutex_);
        return generation_;
    }

    void WaitForChange(std::uint64_t seen) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return generation_ != seen || !calls_.empty(); });
    }

    // False when the deadline passed first.
    bool WaitForChangeUntil(std::uint64_t seen, std::chrono::steady_clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        return changed_.wait_until(lock, deadline,
                                   [&] { return generation_ != seen || !calls_.empty(); });
    }
    void Notify() {
        {
            std::scoped_lock lock(mutex_);
            ++generation_;
        }
        changed_.notify_all();
    }

    void SetWakeUp(std::function<void()> wakeUp) {
        std::scoped_lock lock(mutex_);
        wakeUp_ = std::move(wakeUp);
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::packaged_task<void()>> calls_;
    std::uint64_t generation_ = 0;
    std::function<void()> wakeUp_;
};

MainThreadQueue& Queue() {
    static MainThreadQueue queue;
    return queue;
}

void RequireMainThread() {
    if (!IsMainThread()) {
        throw std::logic_error("only the main thread may pump main-thread calls");
    }
}

}  // namespace

bool IsMainThread() {
    return std::this_thread::get_id() == mainThreadId;
}

void CallInMainThread(const std::function<void()>& call) {
    if (IsMainThread()) {
        call();
        return;
    }
    std::packaged_task<void()> task(call);
    std::future<void> done = task.get_future();
    Queue().Post(std::move(task));
    done.get();
}

void PostToMainThread(std::function<void()> call) {
    if (IsMainThread()) {
        call();
        return;
    }
    // Nobody takes the future, so what the call throws stays in it.
    Queue().Post(std::packaged_task<void()>(std::move(call)));
}

int PumpMessages() {
    RequireMainThread();
    return Queue().RunAll();
}

void PumpMessagesUntil(const std::function<bool()>& done) {
    RequireMainThread();
    for (;;) {
        // Read the generation before checking, so a notification in between is not missed.
        const std::uint64_t seen = Queue().Generation();
        Queue().RunAll();
        if (done()) {
            return;
        }
        Queue().WaitForChange(seen);
    }
}

bool PumpMessagesFor(std::chrono::milliseconds limit, const std::function<bool()>& done) {
    RequireMainThread();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const std::uint64_t seen = Queue().Generation();
        Queue().RunAll();
        if (done()) {
            return true;
        }
        if (!Queue().WaitForChangeUntil(seen, deadline)) {
            Queue().RunAll();
            return done();
        }
    }
}

void NotifyMainThread() {
    Queue().Notify();
}

void SetMainThreadWakeUp(std::function<void()> wakeUp) {
    Queue().SetWakeUp(std::move(wakeUp));
}

}  // namespace quillo::media
