#pragma once

#include <QImage>

#include "media/bitmap.h"

namespace quillo::gui {

// The bitmap as a QImage that reads the bitmap's own pixels (rows top to bottom, blue, green,
// red, padded to four bytes): valid only while the bitmap is neither changed nor gone, so copy
// it to keep it. Null for an empty bitmap.
inline QImage BitmapImage(const media::Bitmap& bitmap) {
    if (bitmap.Width() <= 0 || bitmap.Height() <= 0) {
        return {};
    }
    return QImage(bitmap.ScanLine(0), bitmap.Width(), bitmap.Height(), bitmap.Stride(),
                  QImage::Format_BGR888);
}

}  // namespace quillo::gui
