#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "player/play_state.h"

namespace quillo::player {

// One notification on its way from the media threads to the form.
struct PlayerNotification {
    enum class Kind { Position = 1, State = 2, EndOfDelivery = 3 };
    Kind kind = Kind::Position;
    PlayState state = PlayState::psPlay;
    std::int64_t position = 0;
};

// The notifications waiting for the event thread: ten slots. A notification of the same kind
// as the last one still waiting replaces it, so a slow form sees only the newest position and
// the newest of consecutive states; when the ring is full the oldest is dropped.
class PlayerEventRing {
public:
    static constexpr int kSlots = 10;

    void Post(const PlayerNotification& notification);
    // Takes the oldest notification; false when none waits.
    bool Take(PlayerNotification& notification);
    // True when a notification waits, or one arrives within the limit.
    bool WaitNotEmpty(std::chrono::milliseconds limit);
    void Clear();

private:
    int CountLocked() const { return (writeIndex_ - readIndex_ + kSlots) % kSlots; }

    std::mutex mutex_;
    std::condition_variable notEmpty_;
    std::array<PlayerNotification, kSlots> slots_{};
    int readIndex_ = 0;
    int writeIndex_ = 0;
};

}  // namespace quillo::player
