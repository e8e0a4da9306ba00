#include "app/preview_placement.h"

#include <cmath>

namespace quillo::app {

namespace {

// Independent of the floating-point rounding mode the process happens to run with.
int RoundHalfToEven(double value) {
    const double below = std::floor(value);
    const double fraction = value - below;
    double result = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)) {
        result += 1.0;
    }
    return static_cast<int>(result);
}

}  // namespace

PictureRect PreviewPlacement(int bitmapWidth, int bitmapHeight, int pictureWidth,
                             int pictureHeight) {
    if (bitmapWidth <= 0 || bitmapHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0) {
        return {};
    }
    const double a = static_cast<double>(bitmapWidth) / pictureWidth;
    const double b = static_cast<double>(bitmapHeight) / pictureHeight;
    if (a >= b) {
        const int margin = RoundHalfToEven((pictureHeight - bitmapHeight / a) / 2);
        return {0, margin, pictureWidth, pictureHeight - 2 * margin};
    }
    const int margin = RoundHalfToEven((pictureWidth - bitmapWidth / b) / 2);
    return {margin, 0, pictureWidth - 2 * margin, pictureHeight};
}

}  // namespace quillo::app
