#include "effects/bmp_file.h"

#include <QImage>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "effects/watermark_error.h"

namespace quillo::effects {
namespace {

std::string Quoted(const std::filesystem::path& file) {
    return "\"" + file.string() + "\"";
}

}  // namespace

std::string ReadPictureFile(const std::filesystem::path& file) {
    std::error_code ignored;
    if (std::filesystem::is_directory(file, ignored)) {
        throw WatermarkError("The watermark picture " + Quoted(file) + " is a folder");
    }
    errno = 0;
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        const int error = errno;
        throw WatermarkError("Cannot open the watermark picture " + Quoted(file) + ": " +
                             (error != 0 ? std::strerror(error) : "cannot be read"));
    }
    std::string bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (stream.bad()) {
        throw WatermarkError("Cannot read the watermark picture " + Quoted(file));
    }
    return bytes;
}

media::Bitmap DecodeBmp(std::string_view bytes, const std::filesystem::path& file) {
    // Checked here rather than left to the decoder, which would take any format it knows.
    if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M') {
        throw WatermarkError("The watermark picture " + Quoted(file) + " is not a BMP file");
    }
    QImage image;
    if (bytes.size() > std::size_t{INT_MAX} ||
        !image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                            static_cast<int>(bytes.size()), "BMP") ||
        image.isNull()) {
        throw WatermarkError("Cannot decode the BMP file " + Quoted(file));
    }
    // Any depth becomes 24-bit B, G, R; an alpha channel is dropped, not composed.
    if (image.hasAlphaChannel()) {
        image = image.convertToFormat(QImage::Format_RGB32);
    }
    image = image.convertToFormat(QImage::Format_BGR888);
    media::Bitmap picture(image.width(), image.height());
    const auto rowBytes = static_cast<std::size_t>(image.width()) * 3;
    for (int row = 0; row < image.height(); ++row) {
        std::memcpy(picture.ScanLine(row), image.constScanLine(row), rowBytes);
    }
    return picture;
}

media::Bitmap ReadBmpFile(const std::filesystem::path& file) {
    return DecodeBmp(ReadPictureFile(file), file);
}

}  // namespace quillo::effects
