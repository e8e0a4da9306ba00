#pragma once

#include <atomic>

namespace quillo::player {

// The sound settings a form changes while a file plays; read by the audio callback on every
// call, so a change is heard within one device period.
struct AudioControls {
    static constexpr int kFullVolume = 128;

    std::atomic<int> volume{kFullVolume};  // 0 .. 128
    std::atomic<bool> mute{false};         // silence, while playback goes on
};

}  // namespace quillo::player
