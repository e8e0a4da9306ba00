#pragma once

#include <cstdint>
#include <vector>

namespace quillo::player {

// A rectangle of the display area, in pixels.
struct DisplayRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const DisplayRect&) const = default;
};

// What the player shows: a picture of the display area's size, 32 bits per pixel in the
// byte order blue, green, red, alpha (Qt's ARGB32 on a little-endian machine). Pixels the
// player did not paint, such as the bands beside a picture of another shape, have alpha 0 so
// that the host's own background shows there.
struct DisplayFrame {
    int width = 0;
    int height = 0;
    int stride = 0;  // bytes per row, a multiple of 64
    std::vector<std::uint8_t> pixels;
    // Where the picture was placed; the whole area for the audio waveform.
    DisplayRect picture;
    // The position of the picture shown, in microseconds from the file start; -1 for the
    // waveform.
    std::int64_t pts = -1;

    std::uint8_t* Row(int y) { return pixels.data() + static_cast<std::size_t>(y) * stride; }
    const std::uint8_t* Row(int y) const {
        return pixels.data() + static_cast<std::size_t>(y) * stride;
    }
};

// The host's display area. The player's play thread calls it; implementations must not block
// for long, and must not call back into the player.
class VideoSurface {
public:
    virtual ~VideoSurface() = default;
    // The size of the area now (its client size), or 0 x 0 when it has none yet; asked when
    // a file opens and the form leaves the screen size at 0.
    virtual void ClientSize(int& width, int& height) const = 0;
    // A new picture is due: the frame stays valid and unchanged until the next call.
    virtual void Present(const DisplayFrame& frame) = 0;
};

}  // namespace quillo::player
