#include "player/manual_reset_event.h"

#include "media/main_thread.h"

namespace quillo::player {

void ManualResetEvent::Set() {
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    condition_.notify_all();
    media::NotifyMainThread();
}

void ManualResetEvent::Reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool ManualResetEvent::IsSet() const {
    std::lock_guard lock(mutex_);
    return set_;
}

bool ManualResetEvent::Wait(std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return condition_.wait_for(lock, limit, [this] { return set_; });
}

bool WaitPumping(const ManualResetEvent& event, std::chrono::milliseconds limit) {
    if (media::IsMainThread()) {
        return media::PumpMessagesFor(limit, [&] { return event.IsSet(); });
    }
    return event.Wait(limit);
}

}  // namespace quillo::player
