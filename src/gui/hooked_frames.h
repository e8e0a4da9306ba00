#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "media/bitmap.h"
#include "player/player.h"

namespace quillo::gui {

// The newest picture a player hands to its hook, kept for a window that draws it on the main
// thread at its own pace: the video thread only copies the picture here. The player's OnHook
// is this object's from Attach until Detach (or destruction), and its Hook is switched on.
class HookedFrames {
public:
    HookedFrames() = default;
    ~HookedFrames() { Detach(); }
    HookedFrames(const HookedFrames&) = delete;
    HookedFrames& operator=(const HookedFrames&) = delete;

    void Attach(player::Player& player) {
        player_ = &player;
        player.SetHook(true);
        player.SetOnHook([this](player::PlayerBase&, media::Bitmap& bitmap, std::int64_t pts) {
            {
                const std::lock_guard lock(mutex_);
                newest_ = bitmap;
                pts_ = pts;
            }
            ++captured_;
            fresh_.store(true);
        });
    }

    // Stops the handing over; waits for nothing, so call it before the player stops.
    void Detach() {
        if (player_ != nullptr) {
            player_->SetOnHook({});
            player_ = nullptr;
        }
    }

    // Copies the picture into frame (and its time into pts) when one came since the last
    // call; false otherwise.
    bool TakeNewest(media::Bitmap& frame, std::int64_t& pts) {
        if (!fresh_.exchange(false)) {
            return false;
        }
        const std::lock_guard lock(mutex_);
        frame = newest_;
        pts = pts_;
        return true;
    }

    // Pictures handed over so far.
    int Captured() const { return captured_.load(); }

private:
    player::Player* player_ = nullptr;
    std::mutex mutex_;
    media::Bitmap newest_;
    std::int64_t pts_ = 0;
    std::atomic<int> captured_{0};
    std::atomic<bool> fresh_{false};
};

}  // namespace quillo::gui
