#include "gui/glyph_buttons.h"

#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace quillo::gui {

namespace {

constexpr int kGlyphSize = 20;
const QSize kButtonSize(36, 30);

// Draws glyph into a square of kGlyphSize logical pixels.
void DrawGlyph(QPainter& painter, Glyph glyph, const QColor& colour) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    const auto polygon = [&](std::initializer_list<QPointF> points) {
        painter.drawPolygon(QPolygonF(QList<QPointF>(points)));
    };
    const QPen line(colour, 1.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (glyph) {
        case Glyph::Play:
            polygon({{6.0, 4.0}, {16.0, 10.0}, {6.0, 16.0}});
            break;
        case Glyph::Pause:
            painter.drawRoundedRect(QRectF(5.0, 4.5, 3.6, 11.0), 1.0, 1.0);
            painter.drawRoundedRect(QRectF(11.4, 4.5, 3.6, 11.0), 1.0, 1.0);
            break;
        case Glyph::Stop:
            painter.drawRoundedRect(QRectF(5.0, 5.0, 10.0, 10.0), 1.5, 1.5);
            break;
        case Glyph::Previous:
            painter.drawRoundedRect(QRectF(4.5, 5.0, 2.2, 10.0), 0.8, 0.8);
            polygon({{15.5, 5.0}, {7.5, 10.0}, {15.5, 15.0}});
            break;
        case Glyph::Next:
            polygon({{4.5, 5.0}, {12.5, 10.0}, {4.5, 15.0}});
            painter.drawRoundedRect(QRectF(13.3, 5.0, 2.2, 10.0), 0.8, 0.8);
            break;
        case Glyph::Snapshot:
            painter.setPen(line);
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(QRectF(2.5, 6.0, 15.0, 10.5), 2.0, 2.0);
            painter.drawEllipse(QPointF(10.0, 11.2), 3.0, 3.0);
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
            painter.drawRoundedRect(QRectF(7.0, 3.6, 6.0, 2.8), 1.0, 1.0);
            painter.drawEllipse(QPointF(15.0, 8.6), 0.9, 0.9);
            break;
        case Glyph::Sound:
        case Glyph::Muted:
            polygon({{2.5, 7.5}, {6.0, 7.5}, {10.0, 4.0}, {10.0, 16.0}, {6.0, 12.5}, {2.5, 12.5}});
            painter.setPen(line);
            painter.setBrush(Qt::NoBrush);
            if (glyph == Glyph::Sound) {
                painter.drawArc(QRectF(8.0, 6.5, 7.0, 7.0), -50 * 16, 100 * 16);
                painter.drawArc(QRectF(6.5, 3.5, 12.0, 13.0), -50 * 16, 100 * 16);
            } else {
                painter.drawLine(QPointF(12.8, 7.5), QPointF(17.6, 12.5));
                painter.drawLine(QPointF(17.6, 7.5), QPointF(12.8, 12.5));
            }
            break;
    }
}

QPixmap GlyphPixmap(Glyph glyph, const QColor& colour, qreal ratio) {
    QPixmap pixmap(QSize(kGlyphSize, kGlyphSize) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    DrawGlyph(painter, glyph, colour);
    return pixmap;
}

}  // namespace

QIcon GlyphIcon(Glyph glyph, const QPalette& palette) {
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0}) {
        icon.addPixmap(
            GlyphPixmap(glyph, palette.color(QPalette::Active, QPalette::ButtonText), ratio),
            QIcon::Normal);
        QColor disabled = palette.color(QPalette::Disabled, QPalette::ButtonText);
        disabled.setAlpha(110);
        icon.addPixmap(GlyphPixmap(glyph, disabled, ratio), QIcon::Disabled);
    }
    return icon;
}

QPushButton* MakeGlyphButton(const char* name, const QString& hint, Glyph glyph, QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    button->setIcon(GlyphIcon(glyph, button->palette()));
    button->setIconSize(QSize(kGlyphSize, kGlyphSize));
    button->setFixedSize(kButtonSize);
    return button;
}

}  // namespace quillo::gui
