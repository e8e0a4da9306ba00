#include "effects/text_watermark.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "effects/overlay_blend.h"
#include "effects/watermark_error.h"

namespace quillo::effects {
namespace {

// Fonts need the GUI application; without one Qt would abort the process instead of failing
// the frame.
void RequireGuiApplication() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        throw WatermarkError("Text watermarks need a GUI application (EnsureGuiApplication)");
    }
}

QFont ToQFont(const WatermarkFont& font) {
    QFont result(QString::fromStdString(font.Name));
    result.setPixelSize(FontPixelSize(font.Size));
    result.setBold(font.Bold);
    result.setItalic(font.Italic);
    result.setUnderline(font.Underline);
    result.setStrikeOut(font.StrikeOut);
    return result;
}

QColor ToQColor(std::uint32_t rgb) {
    return QColor(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>(rgb & 0xFF));
}

void Fill(media::Bitmap& bitmap, std::uint32_t rgb) {
    const auto blue = static_cast<std::uint8_t>(rgb & 0xFF);
    const auto green = static_cast<std::uint8_t>((rgb >> 8) & 0xFF);
    const auto red = static_cast<std::uint8_t>((rgb >> 16) & 0xFF);
    for (int row = 0; row < bitmap.Height(); ++row) {
        std::uint8_t* pixel = bitmap.ScanLine(row);
        for (int x = 0; x < bitmap.Width(); ++x, pixel += 3) {
            pixel[0] = blue;
            pixel[1] = green;
            pixel[2] = red;
        }
    }
}

void CopyArea(const media::Bitmap& frame, int left, int top, media::Bitmap& area) {
    const auto rowBytes = static_cast<std::size_t>(area.Width()) * 3;
    for (int row = 0; row < area.Height(); ++row) {
        std::memcpy(area.ScanLine(row), frame.ScanLine(top + row) + std::size_t(left) * 3,
                    rowBytes);
    }
}

}  // namespace

int FontPixelSize(int points) {
    // 96 / 72 = 4 / 3 never lands on a half, so no rounding rule needs choosing. The upper
    // bound only keeps absurd sizes away from the font engine.
    const long pixels = std::lround(std::clamp(points, 0, 100000) * 96.0 / 72.0);
    return static_cast<int>(std::max(1L, pixels));
}

TextSize MeasureText(const std::string& text, const WatermarkFont& font) {
    RequireGuiApplication();
    const QFontMetrics metrics(ToQFont(font));
    return {metrics.horizontalAdvance(QString::fromStdString(text)), metrics.height()};
}

void DrawTextItem(media::Bitmap& frame, const WmRec& item) {
    if (item.Text.empty() || item.TextWidth <= 0 || item.TextHeight <= 0) {
        return;
    }
    // Only the part of the box inside the frame is made: the blend would clip the rest
    // anyway, and a huge or far-off box then costs nothing.
    const std::int64_t boxLeft = item.TextLeft;
    const std::int64_t boxTop = item.TextTop;
    const std::int64_t left = std::max<std::int64_t>(boxLeft, 0);
    const std::int64_t top = std::max<std::int64_t>(boxTop, 0);
    const std::int64_t right = std::min<std::int64_t>(boxLeft + item.TextWidth, frame.Width());
    const std::int64_t bottom = std::min<std::int64_t>(boxTop + item.TextHeight, frame.Height());
    if (right <= left || bottom <= top) {
        return;
    }
    RequireGuiApplication();

    media::Bitmap overlay(static_cast<int>(right - left), static_cast<int>(bottom - top));
    if (item.HasBackground) {
        Fill(overlay, item.BackColor);
    } else {
        // The frame under the box, so that only the glyphs differ from it.
        CopyArea(frame, static_cast<int>(left), static_cast<int>(top), overlay);
    }
    {
        // Painted straight into the overlay's rows: same byte order, same 4-byte padding.
        QImage canvas(overlay.ScanLine(0), overlay.Width(), overlay.Height(), overlay.Stride(),
                      QImage::Format_BGR888);
        QPainter painter(&canvas);
        painter.setFont(ToQFont(item.Font));
        painter.setPen(ToQColor(item.Font.Color));
        const QRectF box(static_cast<qreal>(boxLeft - left), static_cast<qreal>(boxTop - top),
                         item.TextWidth, item.TextHeight);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         QString::fromStdString(item.Text));
    }
    BlendBitmap(frame, overlay, static_cast<int>(left), static_cast<int>(top), item.TextOpacity);
}

}  // namespace quillo::effects
