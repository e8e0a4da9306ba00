#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "media/library_pointers.h"

namespace quillo::player {

// One decoded picture between the video thread and the display.
struct PictureSlot {
    // The picture: a reference to the decoder's own when nothing draws on it, else a copy in
    // the slot's own 4:2:0 planar buffer (made once per size), which the frame hook and the
    // subtitles may change.
    media::FramePtr frame;
    bool ownBuffer = false;
    double pts = 0.0;         // seconds
    double targetTime = 0.0;  // when to show it, on the player's clock
    bool stale = false;       // decoded before the last seek: dropped unseen
    bool firstAfterSeek = false;
    const AVSubtitle* blendedSubtitle = nullptr;  // already drawn into an own buffer
};

// At most two pictures wait for display; a third slot keeps the picture on screen, so that it
// can be drawn again (while paused, after a resize) and copied for a snapshot. Slots follow
// each other in ring order: the shown one sits just before the read index.
struct PictureQueue {
    static constexpr int kWaiting = 2;
    static constexpr int kSlots = kWaiting + 1;

    std::array<PictureSlot, kSlots> slots{};
    int readIndex = 0;
    int writeIndex = 0;
    int count = 0;   // pictures waiting
    int shown = -1;  // the slot on screen, -1 before the first picture
    std::mutex mutex;
    std::condition_variable changed;
};

// Bitmap subtitles decoded ahead of the pictures they go on.
struct SubtitleSlot {
    AVSubtitle subtitle{};
    double pts = 0.0;  // seconds
};

struct SubtitleQueue {
    static constexpr int kSlots = 4;

    std::array<SubtitleSlot, kSlots> slots{};
    int readIndex = 0;
    int writeIndex = 0;
    int count = 0;
    bool streamClosed = false;
    std::mutex mutex;
    std::condition_variable changed;
};

}  // namespace quillo::player
