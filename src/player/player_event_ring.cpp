#include "player/player_event_ring.h"

namespace quillo::player {

std::string_view PlayStateName(PlayState state) {
    switch (state) {
        case PlayState::psPlay:
            return "psPlay";
        case PlayState::psPause:
            return "psPause";
        case PlayState::psResume:
            return "psResume";
        case PlayState::psStep:
            return "psStep";
        case PlayState::psStop:
            return "psStop";
        case PlayState::psEnd:
            return "psEnd";
    }
    return "psUnknown";
}

void PlayerEventRing::Post(const PlayerNotification& notification) {
    {
        std::lock_guard lock(mutex_);
        const int last = (writeIndex_ + kSlots - 1) % kSlots;
        if (CountLocked() > 0 && slots_[last].kind == notification.kind) {
            slots_[last] = notification;
        } else {
            slots_[writeIndex_] = notification;
            writeIndex_ = (writeIndex_ + 1) % kSlots;
            if (writeIndex_ == readIndex_) {
                // Full: the ring keeps kSlots - 1 notifications, dropping the oldest.
                readIndex_ = (readIndex_ + 1) % kSlots;
            }
        }
    }
    notEmpty_.notify_one();
}

bool PlayerEventRing::Take(PlayerNotification& notification) {
    std::lock_guard lock(mutex_);
    if (CountLocked() == 0) {
        return false;
    }
    notification = slots_[readIndex_];
    readIndex_ = (readIndex_ + 1) % kSlots;
    return true;
}

bool PlayerEventRing::WaitNotEmpty(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return notEmpty_.wait_for(lock, limit, [this] { return CountLocked() > 0; });
}

void PlayerEventRing::Clear() {
    std::lock_guard lock(mutex_);
    readIndex_ = writeIndex_ = 0;
}

}  // namespace quillo::player
