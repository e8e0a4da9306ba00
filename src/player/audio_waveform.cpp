#include "player/audio_waveform.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace quillo::player {
namespace {

constexpr int kTriggerSearchSamples = 1000;

int WrapIndex(long long index) {
    const long long size = SampleRing::kSize;
    return static_cast<int>(((index % size) + size) % size);
}

constexpr std::uint8_t kBlack[4] = {0, 0, 0, 255};
constexpr std::uint8_t kWhite[4] = {255, 255, 255, 255};

// Paints a rectangle, clipped to the frame.
void FillRect(DisplayFrame& frame, int x, int y, int width, int height,
              const std::uint8_t (&colour)[4]) {
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = std::min(x + width, frame.width);
    const int bottom = std::min(y + height, frame.height);
    for (int row = top; row < bottom; ++row) {
        std::uint8_t* pixel = frame.Row(row) + static_cast<std::ptrdiff_t>(left) * 4;
        for (int column = left; column < right; ++column, pixel += 4) {
            std::memcpy(pixel, colour, 4);
        }
    }
}

}  // namespace

void SampleRing::Write(const std::int16_t* samples, int count) {
    if (samples == nullptr || count <= 0) {
        return;
    }
    const std::scoped_lock lock(mutex_);
    // Only the newest kSize samples can stay.
    if (count > kSize) {
        writeIndex_ = Wrap(writeIndex_ + count - kSize);
        samples += count - kSize;
        count = kSize;
    }
    while (count > 0) {
        const int chunk = std::min(count, kSize - writeIndex_);
        std::memcpy(&samples_[static_cast<std::size_t>(writeIndex_)], samples,
                    static_cast<std::size_t>(chunk) * sizeof(std::int16_t));
        writeIndex_ = Wrap(writeIndex_ + chunk);
        samples += chunk;
        count -= chunk;
    }
}

std::int16_t SampleRing::At(int index) const {
    const std::scoped_lock lock(mutex_);
    return AtLocked(index);
}

int SampleRing::WriteIndex() const {
    const std::scoped_lock lock(mutex_);
    return writeIndex_;
}

int WaveformStartIndex(const SampleRing& ring, const WaveformTiming& timing, int displayWidth) {
    const long long channels = std::max(timing.channels, 1);
    // The sound still ahead of the speaker, in sample frames: what waits here, less what the
    // device has played since it last asked, plus room for the wave to be drawn.
    long long delay = std::max(timing.bytesWaiting, 0) / (2 * channels);
    if (timing.sinceLastCallbackUs >= 0 && timing.sampleRate > 0) {
        delay -= timing.sinceLastCallbackUs * timing.sampleRate / 1'000'000;
    }
    const long long width = std::max(displayWidth, 0);
    delay += 2 * width;
    delay = std::max(delay, width);

    const auto lock = ring.Lock();
    const int index = WrapIndex(ring.WriteIndexLocked() - delay * channels);
    // Triggers on a sign change between two neighbouring frames of the first channel, where
    // the wave falls most across the 9 frames around it; a zero sample counts as positive.
    const int c = static_cast<int>(channels);
    int best = INT_MIN;
    int start = index;
    for (int i = 0; i < kTriggerSearchSamples; i += c) {
        const int p = index - i;
        const int a = ring.AtLocked(p);
        const int b = ring.AtLocked(p + 4 * c);
        const int cc = ring.AtLocked(p + 5 * c);
        const int d = ring.AtLocked(p + 9 * c);
        if ((b ^ cc) < 0 && a - d > best) {
            best = a - d;
            start = p;
        }
    }
    return WrapIndex(start);
}

void DrawWaveform(DisplayFrame& frame, const SampleRing& ring, int startIndex, int channels) {
    const int width = std::max(frame.width, 0);
    const int height = std::max(frame.height, 0);
    frame.picture = {0, 0, width, height};
    if (width == 0 || height == 0 ||
        frame.pixels.size() < static_cast<std::size_t>(frame.stride) * height ||
        frame.stride < width * 4) {
        return;
    }
    FillRect(frame, 0, 0, width, height, kBlack);
    if (channels <= 0) {
        return;
    }
    const int bandHeight = height / channels;
    if (bandHeight == 0) {
        return;
    }
    const int amplitude = bandHeight * 9 / 20;

    const auto lock = ring.Lock();
    for (int channel = 0; channel < channels; ++channel) {
        const int centre = channel * bandHeight + bandHeight / 2;
        long long index = static_cast<long long>(startIndex) + channel;
        for (int x = 0; x < width; ++x, index += channels) {
            const int sample = ring.AtLocked(WrapIndex(index));
            const int y = (sample * amplitude) >> 15;
            if (y < 0) {
                FillRect(frame, x, centre + y, 1, -y, kWhite);
            } else {
                FillRect(frame, x, centre, 1, y, kWhite);
            }
        }
    }
    for (int channel = 1; channel < channels; ++channel) {
        FillRect(frame, 0, channel * bandHeight, width, 1, kWhite);
    }
}

}  // namespace quillo::player
