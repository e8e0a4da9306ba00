#pragma once

#include <cstdint>
#include <memory>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

#include "media/bitmap.h"
#include "media/library_pointers.h"

namespace quillo::media {

// Turns decoded pictures into 24-bit bitmaps of the same size and back, keeping its bitmap,
// buffer and scaling contexts between calls. Needs avutil and swscale.
class BitmapConverter {
public:
    BitmapConverter() { ResetConverter(); }

    // Fills Bitmap() with the picture; converts it first unless it already has the bitmap's
    // layout. False when the picture cannot be converted (the bitmap then has the new size
    // and no meaningful content).
    bool PictureToBitmap(const std::uint8_t* const* data, const int* lineSize, AVPixelFormat format,
                         int height, int width);
    bool PictureToBitmap(const AVFrame& frame);

    // Writes the bitmap, changed since PictureToBitmap, into a writable picture of the size
    // and format PictureToBitmap was given (that picture itself, or a fresh one): row by row
    // when the picture had the bitmap's layout, else converted back with a cached scaling
    // context. False when that conversion cannot be made.
    bool BitmapToPicture(std::uint8_t* const* data, const int* lineSize, AVPixelFormat format,
                         int height, int width);

    // Frees the bitmap, the buffer and the scaling contexts and returns to the defaults.
    void ResetConverter();

    const Bitmap* GetBitmap() const { return bitmap_.get(); }
    Bitmap* GetBitmap() { return bitmap_.get(); }
    AVPixelFormat RgbPixelFormat() const { return rgbFormat_; }
    int BufferSize() const { return bufferSize_; }

private:
    bool ConvertToRgb(const std::uint8_t* const* data, const int* lineSize, AVPixelFormat format,
                      int height, int width);

    AVPixelFormat rgbFormat_ = AV_PIX_FMT_BGR24;
    std::unique_ptr<Bitmap> bitmap_;
    AvBufferPtr buffer_;
    int bufferSize_ = 0;
    std::uint8_t* rgbData_[4] = {};
    int rgbLineSize_[4] = {};
    // The picture last copied into the bitmap: the RGB picture or the caller's own.
    const std::uint8_t* lastData_ = nullptr;
    int lastLineSize_ = 0;
    bool lastIsBuffer_ = false;
    SwsContextPtr toRgb_;
    SwsContextPtr fromRgb_;
};

}  // namespace quillo::media
