#include "media/bitmap_converter.h"

#include <algorithm>
#include <cstring>

namespace quillo::media {

void BitmapConverter::ResetConverter() {
    bitmap_.reset();
    buffer_.reset();
    toRgb_.reset();
    fromRgb_.reset();
    rgbFormat_ = AV_PIX_FMT_BGR24;
    bufferSize_ = 0;
    std::fill(std::begin(rgbData_), std::end(rgbData_), nullptr);
    std::fill(std::begin(rgbLineSize_), std::end(rgbLineSize_), 0);
    lastData_ = nullptr;
    lastLineSize_ = 0;
    lastIsBuffer_ = false;
}

bool BitmapConverter::PictureToBitmap(const AVFrame& frame) {
    return PictureToBitmap(frame.data, frame.linesize, static_cast<AVPixelFormat>(frame.format),
                           frame.height, frame.width);
}

bool BitmapConverter::PictureToBitmap(const std::uint8_t* const* data, const int* lineSize,
                                      AVPixelFormat format, int height, int width) {
    if (width <= 0 || height <= 0 || data == nullptr || lineSize == nullptr || data[0] == nullptr) {
        return false;
    }
    if (!bitmap_) {
        bitmap_ = std::make_unique<Bitmap>();
    }
    if (bitmap_->Width() != width || bitmap_->Height() != height) {
        bitmap_->SetSize(width, height);
    }

    const bool needsConversion = format != rgbFormat_ || width % 2 != 0 || height % 2 != 0 ||
                                 lineSize[0] != Bitmap::ScanLineSize(width);
    if (needsConversion) {
        if (!ConvertToRgb(data, lineSize, format, height, width)) {
            return false;
        }
    } else {
        lastData_ = data[0];
        lastLineSize_ = lineSize[0];
        lastIsBuffer_ = false;
    }

    const std::size_t rowBytes =
        static_cast<std::size_t>(std::min(lastLineSize_, bitmap_->Stride()));
    for (int row = 0; row < height; ++row) {
        std::memcpy(bitmap_->ScanLine(row),
                    lastData_ + static_cast<std::ptrdiff_t>(row) * lastLineSize_, rowBytes);
    }
    return true;
}

bool BitmapConverter::ConvertToRgb(const std::uint8_t* const* data, const int* lineSize,
                                   AVPixelFormat format, int height, int width) {
    // The scaler aborts the process on a format it cannot read, rather than failing.
    if (format < 0 || lib::swscale.sws_isSupportedInput(format) == 0) {
        return false;
    }
    const int size = lib::avutil.av_image_get_buffer_size(rgbFormat_, width, height, 1);
    if (size <= 0) {
        return false;
    }
    if (!buffer_ || bufferSize_ < size) {
        buffer_.reset(
            static_cast<std::uint8_t*>(lib::avutil.av_malloc(static_cast<std::size_t>(size))));
        bufferSize_ = buffer_ ? size : 0;
        if (!buffer_) {
            return false;
        }
    }
    if (lib::avutil.av_image_fill_arrays(rgbData_, rgbLineSize_, buffer_.get(), rgbFormat_, width,
                                         height, 1) < 0) {
        return false;
    }
    toRgb_.reset(lib::swscale.sws_getCachedContext(toRgb_.release(), width, height, format, width,
                                                   height, rgbFormat_, SWS_BICUBIC, nullptr,
                                                   nullptr, nullptr));
    if (!toRgb_) {
        return false;
    }
    lib::swscale.sws_scale(toRgb_.get(), data, lineSize, 0, height, rgbData_, rgbLineSize_);
    lastData_ = rgbData_[0];
    lastLineSize_ = rgbLineSize_[0];
    lastIsBuffer_ = true;
    return true;
}

bool BitmapConverter::BitmapToPicture(std::uint8_t* const* data, const int* lineSize,
                                      AVPixelFormat format, int height, int width) {
    if (!bitmap_ || lastData_ == nullptr || data == nullptr || lineSize == nullptr ||
        data[0] == nullptr || bitmap_->Width() != width || bitmap_->Height() != height) {
        return false;
    }
    if (!lastIsBuffer_) {
        // The picture has the bitmap's layout: its rows are the bitmap's rows.
        const std::size_t rowBytes =
            static_cast<std::size_t>(std::min(lineSize[0], bitmap_->Stride()));
        for (int row = 0; row < height; ++row) {
            std::memcpy(data[0] + static_cast<std::ptrdiff_t>(row) * lineSize[0],
                        bitmap_->ScanLine(row), rowBytes);
        }
        return true;
    }
    if (format < 0 || lib::swscale.sws_isSupportedOutput(format) == 0) {
        return false;
    }
    fromRgb_.reset(lib::swscale.sws_getCachedContext(fromRgb_.release(), width, height, rgbFormat_,
                                                     width, height, format, SWS_BICUBIC, nullptr,
                                                     nullptr, nullptr));
    if (!fromRgb_) {
        return false;
    }
    // Straight from the bitmap's rows, which lie one after another.
    const std::uint8_t* const source[4] = {bitmap_->ScanLine(0)};
    const int sourceLineSize[4] = {bitmap_->Stride()};
    lib::swscale.sws_scale(fromRgb_.get(), source, sourceLineSize, 0, height, data, lineSize);
    return true;
}

}  // namespace quillo::media
