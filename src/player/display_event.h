#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>

namespace quillo::player {

// What the play thread's display loop handles, one at a time.
struct DisplayEvent {
    enum class Kind { Quit, Resize, Expose, Refresh, ReopenDisplay };
    Kind kind = Kind::Refresh;
    int width = 0;  // Resize
    int height = 0;
};

class DisplayEventQueue {
public:
    void Post(const DisplayEvent& event) {
        {
            std::lock_guard lock(mutex_);
            events_.push_back(event);
        }
        changed_.notify_one();
    }
    DisplayEvent Wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !events_.empty(); });
        const DisplayEvent event = events_.front();
        events_.pop_front();
        return event;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<DisplayEvent> events_;
};

}  // namespace quillo::player
