#pragma once

#include <array>
#include <cstdint>
#include <mutex>

#include "player/video_surface.h"

namespace quillo::player {

// The newest sound samples, for drawing: signed 16-bit, channels interleaved. The audio
// callback writes, the play thread reads.
class SampleRing {
public:
    static constexpr int kSize = 131072;

    // Appends count samples, wrapping at the ring's end.
    void Write(const std::int16_t* samples, int count);
    // The sample at index modulo kSize (any integer, also negative).
    std::int16_t At(int index) const;
    int WriteIndex() const;

    // Locks the ring for a series of At() calls that must see one state.
    std::unique_lock<std::mutex> Lock() const { return std::unique_lock(mutex_); }
    std::int16_t AtLocked(int index) const { return samples_[Wrap(index)]; }
    int WriteIndexLocked() const { return writeIndex_; }

private:
    static int Wrap(int index) { return ((index % kSize) + kSize) % kSize; }

    mutable std::mutex mutex_;
    std::array<std::int16_t, kSize> samples_{};
    int writeIndex_ = 0;
};

// What the start of the drawn wave depends on besides the ring.
struct WaveformTiming {
    int channels = 1;
    int sampleRate = 44100;
    int bytesWaiting = 0;                   // decoded but not yet handed to the device
    std::int64_t sinceLastCallbackUs = -1;  // -1: no callback yet
};

// Where the drawn wave starts: about two display widths behind what the device plays, moved
// back to the best trigger point among the last 1000 samples so that a steady tone stands
// still.
int WaveformStartIndex(const SampleRing& ring, const WaveformTiming& timing, int displayWidth);

// Draws the wave into the whole frame: black, one band per channel with its centre line,
// one white bar per column from the centre line to the sample, and one white line between
// bands. Sets the frame's picture rectangle to the whole frame.
void DrawWaveform(DisplayFrame& frame, const SampleRing& ring, int startIndex, int channels);

}  // namespace quillo::player
