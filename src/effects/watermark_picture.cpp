#include "effects/watermark_picture.h"

#include <QByteArray>
#include <QImage>
#include <cstring>
#include <string>

#include "effects/bmp_file.h"
#include "effects/watermark_error.h"

namespace quillo::effects {
namespace {

std::string Quoted(const std::filesystem::path& file) {
    return "\"" + file.string() + "\"";
}

bool StartsWith(std::string_view bytes, std::string_view signature) {
    return bytes.size() >= signature.size() && bytes.substr(0, signature.size()) == signature;
}

// PNG and JPEG through Qt's readers, the transparency kept as its own plane.
WatermarkPicture DecodeWithQt(std::string_view bytes, const char* format,
                              const std::filesystem::path& file) {
    QImage image;
    if (!image.loadFromData(
            QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())), format) ||
        image.isNull()) {
        throw WatermarkError("Cannot decode the " + std::string(format) + " file " + Quoted(file));
    }
    WatermarkPicture picture;
    picture.Pixels.SetSize(image.width(), image.height());
    const bool transparent = image.hasAlphaChannel();
    const QImage pixels = image.convertToFormat(QImage::Format_BGR888);
    for (int row = 0; row < image.height(); ++row) {
        std::memcpy(picture.Pixels.ScanLine(row), pixels.constScanLine(row),
                    static_cast<std::size_t>(image.width()) * 3);
    }
    if (transparent) {
        const QImage alpha = image.convertToFormat(QImage::Format_Alpha8);
        picture.Alpha.resize(static_cast<std::size_t>(image.width()) * image.height());
        for (int row = 0; row < image.height(); ++row) {
            std::memcpy(picture.Alpha.data() + static_cast<std::size_t>(row) * image.width(),
                        alpha.constScanLine(row), static_cast<std::size_t>(image.width()));
        }
    }
    return picture;
}

}  // namespace

WatermarkPicture DecodeWatermarkPicture(std::string_view bytes, const std::filesystem::path& file) {
    if (StartsWith(bytes, "\x89PNG\r\n\x1a\n")) {
        return DecodeWithQt(bytes, "PNG", file);
    }
    if (StartsWith(bytes, "\xff\xd8\xff")) {
        return DecodeWithQt(bytes, "JPEG", file);
    }
    if (!StartsWith(bytes, "BM")) {
        throw WatermarkError("The watermark picture " + Quoted(file) +
                             " is not a BMP, PNG or JPEG file");
    }
    return WatermarkPicture{DecodeBmp(bytes, file), {}};
}

}  // namespace quillo::effects
