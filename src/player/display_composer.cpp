#include "player/display_composer.h"

#include <algorithm>
#include <cmath>

namespace quillo::player {
namespace {

namespace lib = media::lib;

constexpr int kBytesPerPixel = 4;
constexpr int kStrideAlignment = 64;
// The scaler writes each row in whole groups of up to 16 pixels, so it may write past the
// rectangle's right edge (8 pixels when scaling, 16 when only converting 4:2:0 or 4:2:2).
constexpr int kWriteGroupPixels = 16;

int RoundUp(int value, int multiple) {
    return (value + multiple - 1) / multiple * multiple;
}

double PositiveOrOne(AVRational value) {
    if (value.num == 0 || value.den == 0) {
        return 1.0;
    }
    const double ratio = static_cast<double>(value.num) / value.den;
    return ratio > 0.0 ? ratio : 1.0;
}

// A side of the picture rounded to an even number of pixels, or -1 when the value does not fit.
long long EvenSide(double value) {
    if (!(value >= 0.0) || value > 1e9) {
        return -1;
    }
    return std::llround(value) & ~1LL;
}

}  // namespace

double DisplayAspectRatio(float aspectRatio, AVRational sampleAspect, int pictureWidth,
                          int pictureHeight, int displayWidth, int displayHeight) {
    const bool displayKnown = displayWidth > 0 && displayHeight > 0;
    if (aspectRatio < 0 && displayKnown) {
        return static_cast<double>(displayWidth) / displayHeight;
    }
    if (aspectRatio > 0) {
        return aspectRatio;
    }
    if (pictureWidth <= 0 || pictureHeight <= 0) {
        return 0.0;
    }
    return PositiveOrOne(sampleAspect) * pictureWidth / pictureHeight;
}

DisplayRect PlacePicture(int displayWidth, int displayHeight, double ratio) {
    if (displayWidth <= 0 || displayHeight <= 0 || !(ratio > 0.0) || !std::isfinite(ratio)) {
        return {};
    }
    long long height = displayHeight;
    long long width = EvenSide(static_cast<double>(height) * ratio);
    if (width < 0 || width > displayWidth) {
        width = displayWidth;
        height = EvenSide(static_cast<double>(width) / ratio);
    }
    if (width <= 0 || height <= 0 || height > displayHeight) {
        return {};
    }
    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);
    return {(displayWidth - w) / 2, (displayHeight - h) / 2, w, h};
}

void DisplayComposer::SetDisplaySize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == 0 || height == 0) {
        width = 0;
        height = 0;
    }
    if (width == frame_.width && height == frame_.height) {
        return;
    }
    frame_.width = width;
    frame_.height = height;
    // Room for one more group of pixels at the end of each row: the scaler's overrun at the
    // right edge then stays in the row, and pictures keep their exact place.
    frame_.stride = RoundUp((width + kWriteGroupPixels) * kBytesPerPixel, kStrideAlignment);
    frame_.pixels.assign(static_cast<std::size_t>(frame_.stride) * height, 0);
    frame_.picture = {};
}

void DisplayComposer::Clear() {
    std::fill(frame_.pixels.begin(), frame_.pixels.end(), std::uint8_t{0});
    frame_.picture = {};
}

void DisplayComposer::ClearRightOf(DisplayRect rect) {
    const int right = rect.x + rect.width;
    const int end = std::min(rect.x + RoundUp(rect.width, kWriteGroupPixels), frame_.width);
    if (end <= right) {
        return;
    }
    for (int y = rect.y; y < rect.y + rect.height; ++y) {
        std::uint8_t* const row = frame_.Row(y);
        std::fill(row + right * kBytesPerPixel, row + end * kBytesPerPixel, std::uint8_t{0});
    }
}

bool DisplayComposer::ComposePicture(const AVFrame& picture, DisplayRect rect) {
    const int sourceWidth = picture.width & ~1;
    const int sourceHeight = picture.height & ~1;
    const auto format = static_cast<AVPixelFormat>(picture.format);
    if (picture.data[0] == nullptr || sourceWidth <= 0 || sourceHeight <= 0 || format < 0 ||
        lib::swscale.sws_isSupportedInput(format) == 0) {
        return false;
    }
    if (rect.width <= 0 || rect.height <= 0 || rect.x < 0 || rect.y < 0 ||
        rect.width > frame_.width - rect.x || rect.height > frame_.height - rect.y) {
        return false;
    }
    scaler_.reset(lib::swscale.sws_getCachedContext(
        scaler_.release(), sourceWidth, sourceHeight, format, rect.width, rect.height,
        AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!scaler_) {
        return false;
    }
    if (rect != frame_.picture) {
        Clear();
    }
    // Straight into the frame: the destination is the rectangle's first pixel with the
    // frame's stride, so the picture is neither copied again nor held in a buffer of its own.
    std::uint8_t* const destination[4] = {
        frame_.Row(rect.y) + static_cast<std::ptrdiff_t>(rect.x) * kBytesPerPixel, nullptr, nullptr,
        nullptr};
    const int destinationStride[4] = {frame_.stride, 0, 0, 0};
    lib::swscale.sws_scale(scaler_.get(), picture.data, picture.linesize, 0, sourceHeight,
                           destination, destinationStride);
    ClearRightOf(rect);
    frame_.picture = rect;
    return true;
}

}  // namespace quillo::player
