#include "player/audio_waveform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "player/display_composer.h"

namespace quillo::player {
namespace {

constexpr int kRing = SampleRing::kSize;

int Wrapped(int index) {
    return ((index % kRing) + kRing) % kRing;
}

TEST(PlayerDisplayWaveform, RingWrapsAndKeepsTheNewestSamples) {
    SampleRing ring;
    std::vector<std::int16_t> first(kRing - 3);
    for (std::size_t i = 0; i < first.size(); ++i) {
        first[i] = static_cast<std::int16_t>(i % 1000);
    }
    ring.Write(first.data(), static_cast<int>(first.size()));
    const std::vector<std::int16_t> second = {1000, 1001, 1002, 1003, 1004,
                                              1005, 1006, 1007, 1008, 1009};
    ring.Write(second.data(), static_cast<int>(second.size()));

    EXPECT_EQ(ring.WriteIndex(), 7);
    EXPECT_EQ(ring.At(kRing - 4), (kRing - 4) % 1000);
    EXPECT_EQ(ring.At(kRing - 3), 1000);
    EXPECT_EQ(ring.At(-1), 1002);
    EXPECT_EQ(ring.At(0), 1003);
    EXPECT_EQ(ring.At(6), 1009);
    EXPECT_EQ(ring.At(7), 7);
    EXPECT_EQ(ring.At(kRing + 6), 1009);

    // More than the ring holds: the oldest are dropped, the index moves by the whole count.
    std::vector<std::int16_t> flood(kRing + 5);
    for (std::size_t i = 0; i < flood.size(); ++i) {
        flood[i] = static_cast<std::int16_t>(i % 30000);
    }
    ring.Write(flood.data(), static_cast<int>(flood.size()));
    EXPECT_EQ(ring.WriteIndex(), 12);
    EXPECT_EQ(ring.At(11), (kRing + 4) % 30000);
    EXPECT_EQ(ring.At(12), 5);
}

TEST(PlayerDisplayWaveform, StartLiesTwoWidthsBehindWhatTheDevicePlays) {
    struct Case {
        const char* name;
        WaveformTiming timing;
        int written;
        int displayWidth;
        int expected;
    };
    const Case cases[] = {
        {"nothing waiting", {1, 44100, 0, -1}, 1000, 100, 800},
        {"bytes waiting, stereo", {2, 44100, 400, -1}, 5000, 10, 5000 - 2 * (100 + 20)},
        {"played since the callback",
         {2, 48000, 4000, 10000},
         5000,
         100,
         5000 - 2 * (1000 - 480 + 200)},
        {"callback just now", {1, 48000, 200, 0}, 5000, 100, 5000 - (100 + 200)},
        {"never less than one width", {2, 44100, 0, 1'000'000}, 5000, 100, 5000 - 2 * 100},
        {"before the ring's start", {1, 44100, 0, -1}, 50, 100, kRing - 150},
    };
    for (const Case& c : cases) {
        SampleRing ring;
        // No sign changes, so the trigger search keeps the start.
        const std::vector<std::int16_t> samples(static_cast<std::size_t>(c.written), 7);
        ring.Write(samples.data(), c.written);
        EXPECT_EQ(WaveformStartIndex(ring, c.timing, c.displayWidth), c.expected) << c.name;
    }
}

TEST(PlayerDisplayWaveform, StartMovesToTheSteepestFallingSignChange) {
    for (const int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        const int frames = kRing / channels;
        // The whole ring is written, so the write index is back at 0 and the unmoved start is
        // frame frames - 200 (two widths of 100).
        const int startFrame = frames - 200;
        const int negativeFrame = startFrame - 300;
        std::vector<std::int16_t> samples(kRing);
        for (int frame = 0; frame < frames; ++frame) {
            const bool negative = frame >= negativeFrame && frame < negativeFrame + 20;
            samples[static_cast<std::size_t>(frame * channels)] = negative ? -10 : 10;
            if (channels == 2) {
                // A second channel that changes sign everywhere, and that falls much more
                // across the rising edge of the first (at a's and d's frames), would mislead a
                // search that mixes up the channels.
                int other = frame % 2 == 0 ? -300 : 300;
                if (frame == negativeFrame - 5 || frame == negativeFrame + 19) {
                    other = -30000;
                } else if (frame == negativeFrame + 15 || frame == negativeFrame - 1) {
                    other = 30000;
                }
                samples[static_cast<std::size_t>(frame * 2 + 1)] = static_cast<std::int16_t>(other);
            }
        }
        SampleRing ring;
        ring.Write(samples.data(), kRing);
        ASSERT_EQ(ring.WriteIndex(), 0);

        // Two sign changes: the rising one (at frame negativeFrame + 20) is met first, but
        // across the falling one the wave falls by 20 rather than rises.
        const int start = WaveformStartIndex(ring, {channels, 44100, 0, -1}, /*displayWidth=*/100);
        EXPECT_EQ(start, (negativeFrame - 5) * channels);
    }
}

// A frame as the composer keeps it.
DisplayFrame MakeFrame(int width, int height) {
    DisplayComposer composer;
    composer.SetDisplaySize(width, height);
    return composer.Frame();
}

bool IsPixel(const DisplayFrame& frame, int x, int y, std::uint8_t value) {
    const std::uint8_t* p = frame.Row(y) + x * 4;
    return p[0] == value && p[1] == value && p[2] == value && p[3] == 255;
}

TEST(PlayerDisplayWaveform, StereoBandsWithBarsUpForNegativeAndDownForPositive) {
    constexpr int kWidth = 64;
    constexpr int kHeight = 100;
    // Bands of 50 rows, centred on rows 25 and 75; a full-scale sample reaches 22 rows.
    constexpr int kBand = 50;
    constexpr int kReach = 22;
    const int start = kRing - 20;  // the columns wrap around the ring's end

    const auto left = [](int x) { return x % 2 == 0 ? 16384 : -32768; };
    const auto right = [](int x) { return x * 1000 - 31000; };
    std::vector<std::int16_t> samples(kRing, 0);
    for (int x = 0; x < kWidth; ++x) {
        samples[static_cast<std::size_t>(Wrapped(start + 2 * x))] =
            static_cast<std::int16_t>(left(x));
        samples[static_cast<std::size_t>(Wrapped(start + 2 * x + 1))] =
            static_cast<std::int16_t>(right(x));
    }
    SampleRing ring;
    ring.Write(samples.data(), kRing);

    DisplayFrame frame = MakeFrame(kWidth, kHeight);
    std::memset(frame.pixels.data(), 0x55, frame.pixels.size());
    DrawWaveform(frame, ring, start, 2);

    EXPECT_EQ(frame.picture, (DisplayRect{0, 0, kWidth, kHeight}));
    // Where each column is white: from the centre down for a positive sample, up for a
    // negative one, and the separator row between the bands.
    const auto white = [&](int x, int y) {
        if (y == kBand) {
            return true;
        }
        const int channel = y / kBand;
        const int centre = channel * kBand + kBand / 2;
        const int sample = channel == 0 ? left(x) : right(x);
        const int reach = (sample * kReach) >> 15;
        return reach < 0 ? (y >= centre + reach && y < centre)
                         : (y >= centre && y < centre + reach);
    };
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            ASSERT_TRUE(IsPixel(frame, x, y, white(x, y) ? 255 : 0)) << x << "," << y;
        }
    }
    // The same, spelt out for the first columns: 16384 reaches 11 rows down, -32768 22 up.
    EXPECT_TRUE(IsPixel(frame, 0, 25, 255));
    EXPECT_TRUE(IsPixel(frame, 0, 35, 255));
    EXPECT_TRUE(IsPixel(frame, 0, 36, 0));
    EXPECT_TRUE(IsPixel(frame, 0, 24, 0));
    EXPECT_TRUE(IsPixel(frame, 1, 3, 255));
    EXPECT_TRUE(IsPixel(frame, 1, 2, 0));
    EXPECT_TRUE(IsPixel(frame, 1, 25, 0));
}

TEST(PlayerDisplayWaveform, SmallFramesAndMissingChannelsDrawOnlyWhatFits) {
    struct Case {
        int width;
        int height;
        int channels;
    };
    const Case cases[] = {{1, 1, 2}, {3, 1, 4}, {5, 3, 0}, {5, 3, -2}, {2, 7, 6}, {4, 2, 1}};
    SampleRing ring;
    const std::vector<std::int16_t> loud(64, -32768);
    ring.Write(loud.data(), static_cast<int>(loud.size()));
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << ", " << c.channels);
        DisplayFrame frame = MakeFrame(c.width, c.height);
        std::memset(frame.pixels.data(), 0x55, frame.pixels.size());
        DrawWaveform(frame, ring, 0, c.channels);
        EXPECT_EQ(frame.picture, (DisplayRect{0, 0, c.width, c.height}));
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                const std::uint8_t* p = frame.Row(y) + x * 4;
                EXPECT_EQ(p[3], 255);
                EXPECT_TRUE(p[0] == p[1] && p[1] == p[2] && (p[0] == 0 || p[0] == 255));
            }
        }
        // Nothing past the row's pixels, in the stride's padding.
        for (int y = 0; y < c.height; ++y) {
            for (int i = c.width * 4; i < frame.stride; ++i) {
                ASSERT_EQ(frame.Row(y)[i], 0x55);
            }
        }
    }
    // Bands of one row each and no reach: only the separators are white.
    DisplayFrame frame = MakeFrame(2, 7);
    DrawWaveform(frame, ring, 0, 6);
    for (int y = 0; y < 7; ++y) {
        EXPECT_TRUE(IsPixel(frame, 1, y, y >= 1 && y <= 5 ? 255 : 0)) << y;
    }

    DisplayFrame empty;
    DrawWaveform(empty, ring, 0, 2);
    EXPECT_EQ(empty.picture, DisplayRect{});
}

}  // namespace
}  // namespace quillo::player
