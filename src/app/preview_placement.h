#pragma once

namespace quillo::app {

// A rectangle inside a picture, in pixels from its top-left corner.
struct PictureRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;

    bool operator==(const PictureRect&) const = default;
};

// Where the progress window's preview draws a bitmap: stretched into the picture with its
// aspect ratio kept. With a = bitmap width / picture width and b = bitmap height / picture
// height, a >= b fills the width and leaves equal top and bottom margins of
// round((picture height - bitmap height / a) / 2); otherwise it fills the height with equal
// left and right margins of round((picture width - bitmap width / b) / 2). Rounding goes to
// the nearest integer, ties to even. Sizes of zero or less give an empty rectangle.
PictureRect PreviewPlacement(int bitmapWidth, int bitmapHeight, int pictureWidth,
                             int pictureHeight);

}  // namespace quillo::app
