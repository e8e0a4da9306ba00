#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/rational.h>
}

#include "media/library_pointers.h"
#include "player/video_surface.h"

namespace quillo::player {

// The display aspect ratio to show a picture with. aspectRatio is the player's property:
// greater than 0 forces that ratio; 0 takes the picture's own (sample aspect × width ÷ height,
// a missing or non-positive sample aspect counting as 1); less than 0 fills the display area
// when its size is known (displayWidth and displayHeight > 0).
double DisplayAspectRatio(float aspectRatio, AVRational sampleAspect, int pictureWidth,
                          int pictureHeight, int displayWidth, int displayHeight);

// The largest rectangle of that ratio in the display area, centred: the height fills the
// area unless the width would then overflow it; the side worked out from the ratio is made
// even. Empty when the ratio or the area is unusable.
DisplayRect PlacePicture(int displayWidth, int displayHeight, double ratio);

// Composes what the player shows into one DisplayFrame of the display size: decoded pictures
// scaled into their place, or whatever a caller draws into Frame() (the audio waveform).
// Keeps its frame buffer and scaling context between calls, so showing pictures of an
// unchanged size and place allocates nothing. Needs avutil and swscale.
class DisplayComposer {
public:
    // Sets the size of the frame; a new size clears the frame to alpha 0.
    void SetDisplaySize(int width, int height);
    int DisplayWidth() const { return frame_.width; }
    int DisplayHeight() const { return frame_.height; }

    // Scales the picture (any pixel format the scaler takes; only its even width and height
    // are used) into the rectangle of the frame, with bicubic scaling. When the rectangle
    // differs from the last picture's, the frame is first cleared to alpha 0, so no part of
    // an earlier picture stays in the bands. False, with the frame unchanged, when the
    // picture cannot be converted. The rectangle's left edge moves to a 16-byte boundary for
    // the scaler, by up to 3 pixels (up to 15 leftwards when the rectangle ends within 16
    // pixels of the frame's right edge); Frame().picture is where the picture went.
    bool ComposePicture(const AVFrame& picture, DisplayRect rect);

    DisplayFrame& Frame() { return frame_; }
    const DisplayFrame& Frame() const { return frame_; }

private:
    void Clear();
    // Clears the band pixels right of the rectangle that the scaler wrote with its last group.
    void ClearRightOf(DisplayRect rect);

    DisplayFrame frame_;
    media::SwsContextPtr scaler_;
};

}  // namespace quillo::player
