#include "gui/skin.h"

#include <QApplication>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QStyleFactory>

#include <array>
#include <cmath>

namespace quillo::gui {

namespace {

QString Css(const QColor& color) {
    return color.name(QColor::HexRgb);
}

// Pictures are drawn at twice their size and marked so, for sharp pictures on dense screens.
QPixmap BlankPixmap(int width, int height, qreal ratio = 2.0) {
    QPixmap pixmap(static_cast<int>(width * ratio), static_cast<int>(height * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void DrawPlayTriangle(QPainter& painter, const QRectF& box, const QColor& color) {
    QPainterPath path;
    path.moveTo(box.left() + box.width() * 0.25, box.top() + box.height() * 0.18);
    path.lineTo(box.left() + box.width() * 0.82, box.center().y());
    path.lineTo(box.left() + box.width() * 0.25, box.bottom() - box.height() * 0.18);
    path.closeSubpath();
    painter.fillPath(path, color);
}

// The program's picture: a rounded blue tile with a film frame, a play mark and an arrow
// that turns it into something else.
void DrawApplicationPicture(QPainter& painter, const QRectF& box) {
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = box.width() / 64.0;
    QLinearGradient tile(box.topLeft(), box.bottomLeft());
    tile.setColorAt(0, QColor(86, 140, 222));
    tile.setColorAt(1, skin::AccentDark);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(box.adjusted(2 * unit, 2 * unit, -2 * unit, -2 * unit), 12 * unit,
                            12 * unit);
    // Film frame with sprocket holes.
    const QRectF film(box.left() + 12 * unit, box.top() + 14 * unit, 40 * unit, 30 * unit);
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawRoundedRect(film, 4 * unit, 4 * unit);
    painter.setBrush(skin::AccentDark);
    for (int hole = 0; hole < 5; ++hole) {
        const qreal x = film.left() + (4 + hole * 7.5) * unit;
        painter.drawRect(QRectF(x, film.top() + 2 * unit, 3.5 * unit, 3 * unit));
        painter.drawRect(QRectF(x, film.bottom() - 5 * unit, 3.5 * unit, 3 * unit));
    }
    DrawPlayTriangle(painter,
                     QRectF(film.left() + 12 * unit, film.top() + 7 * unit, 16 * unit, 16 * unit),
                     skin::Accent);
    // The conversion arrow under the frame.
    QPen arrow(QColor(255, 255, 255), 3.5 * unit, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(arrow);
    painter.setBrush(Qt::NoBrush);
    const qreal y = box.top() + 52 * unit;
    painter.drawLine(QPointF(box.left() + 16 * unit, y), QPointF(box.left() + 46 * unit, y));
    painter.drawLine(QPointF(box.left() + 40 * unit, y - 5 * unit),
                     QPointF(box.left() + 46 * unit, y));
    painter.drawLine(QPointF(box.left() + 40 * unit, y + 5 * unit),
                     QPointF(box.left() + 46 * unit, y));
}

}  // namespace

QString SkinStyleSheet() {
    // Kept as one sheet so that every window, dialogs included, has the same look.
    return QStringLiteral(R"(
QMainWindow, QDialog { background: %1; }
QWidget { color: %7; }
QWidget#pnlHeader {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4f86d6, stop:1 %3);
    border-bottom: 1px solid %3;
}
QLabel#lblTitle { color: white; font-size: 15pt; font-weight: 600; padding: 0 6px; }
QWidget#pnlHeader QToolButton {
    color: white; background: transparent; border: 1px solid transparent;
    border-radius: 4px; padding: 4px 12px; font-weight: 600;
}
QWidget#pnlHeader QToolButton:hover { background: rgba(255,255,255,40);
    border-color: rgba(255,255,255,90); }
QWidget#pnlHeader QToolButton:pressed, QWidget#pnlHeader QToolButton:open {
    background: rgba(0,0,0,45); }
QWidget#pnlHeader QToolButton::menu-indicator { image: none; width: 0; }
QWidget#pnlToolbar { background: transparent; }
QPushButton {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #e4eaf6);
    border: 1px solid %4; border-radius: 4px; padding: 5px 14px; min-height: 18px;
}
QPushButton:hover { border-color: %2; background: #f4f8ff; }
QPushButton:pressed { background: %5; }
QPushButton:disabled { color: #9aa3b5; border-color: #c9d2e3; background: #eef1f7; }
QPushButton#btnStart {
    color: white; font-weight: 600; border-color: %3;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4f86d6, stop:1 %2);
}
QPushButton#btnStart:hover { background: %2; }
QPushButton#btnStart:pressed { background: %3; }
QPushButton#btnStart:disabled { color: #e8edf6; background: #a9bbd9; border-color: #a9bbd9; }
QLineEdit {
    background: white; border: 1px solid %4; border-radius: 3px; padding: 4px 6px;
    selection-background-color: %5; selection-color: %7;
}
QLineEdit[readOnly="true"] { background: #fbfcfe; }
QTreeView#lvFIles, QListView#lstProfile {
    background: white; border: 1px solid %4; border-radius: 3px;
}
QHeaderView::section {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f7f9fd, stop:1 #e3e9f5);
    border: none; border-right: 1px solid #ccd6ea; border-bottom: 1px solid %4;
    padding: 4px 6px; font-weight: 600;
}
QFrame#frmProfileList { background: %6; border: 1px solid %2; }
QListView#lstProfile { background: %6; border: none; }
QGroupBox {
    border: 1px solid %4; border-radius: 4px; margin-top: 10px; padding-top: 6px;
    font-weight: 600;
}
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 4px; }
QMenu { background: white; border: 1px solid %4; padding: 4px 0; }
QMenu::item { padding: 5px 24px 5px 20px; }
QMenu::item:selected { background: %5; color: %7; }
QMenu::item:disabled { color: #a3abbc; }
QMenu::separator { height: 1px; background: #d5dced; margin: 4px 8px; }
QLabel#lblCaption { color: #4a5468; }
QTextBrowser { background: white; border: 1px solid %4; }
QSplitter::handle { background: transparent; }
)")
        .arg(Css(skin::Window), Css(skin::Accent), Css(skin::AccentDark),
             Css(skin::FocusFrameInactive), Css(skin::FocusFill), Css(skin::ProfileListBackground),
             Css(skin::Text));
}

void ApplySkin(QApplication& application) {
    // Fusion draws the same on every desktop, so the sheet's colours meet a known base.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        application.setStyle(fusion);
    }
    QPalette palette = application.palette();
    palette.setColor(QPalette::Window, skin::Window);
    palette.setColor(QPalette::WindowText, skin::Text);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, skin::OddRow);
    palette.setColor(QPalette::Highlight, skin::FocusFill);
    palette.setColor(QPalette::HighlightedText, skin::Text);
    palette.setColor(QPalette::Text, skin::Text);
    palette.setColor(QPalette::ButtonText, skin::Text);
    application.setPalette(palette);
    application.setStyleSheet(SkinStyleSheet());
    application.setWindowIcon(ApplicationIcon());
}

QIcon MakeCommandIcon(CommandIcon icon) {
    QPixmap pixmap = BlankPixmap(16, 16, 4.0);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0, 0, 16, 16);
    const QColor blue = skin::Accent;
    QPen pen(blue, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (icon) {
        case CommandIcon::Add:
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(52, 150, 84));
            painter.drawEllipse(box.adjusted(1, 1, -1, -1));
            painter.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(QPointF(8, 4.5), QPointF(8, 11.5));
            painter.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
            break;
        case CommandIcon::Remove:
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(204, 82, 64));
            painter.drawEllipse(box.adjusted(1, 1, -1, -1));
            painter.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
            break;
        case CommandIcon::Clear: {
            // A waste basket.
            painter.setPen(
                QPen(QColor(110, 118, 134), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.setBrush(QColor(226, 230, 238));
            QPainterPath basket;
            basket.moveTo(3.5, 4.5);
            basket.lineTo(12.5, 4.5);
            basket.lineTo(11.5, 14.5);
            basket.lineTo(4.5, 14.5);
            basket.closeSubpath();
            painter.drawPath(basket);
            painter.drawLine(QPointF(2, 4.5), QPointF(14, 4.5));
            painter.drawLine(QPointF(6, 2), QPointF(10, 2));
            painter.drawLine(QPointF(6.5, 7), QPointF(6.8, 12));
            painter.drawLine(QPointF(9.5, 7), QPointF(9.2, 12));
            break;
        }
        case CommandIcon::Start:
            DrawPlayTriangle(painter, box, Qt::white);
            break;
        case CommandIcon::Browse:
        case CommandIcon::Open: {
            // A folder; Open adds an arrow out of it.
            painter.setPen(QPen(QColor(176, 128, 32), 1.2));
            painter.setBrush(QColor(244, 196, 84));
            QPainterPath folder;
            folder.moveTo(1.5, 4);
            folder.lineTo(6, 4);
            folder.lineTo(7.5, 5.5);
            folder.lineTo(14.5, 5.5);
            folder.lineTo(14.5, 13.5);
            folder.lineTo(1.5, 13.5);
            folder.closeSubpath();
            painter.drawPath(folder);
            if (icon == CommandIcon::Open) {
                painter.setPen(pen);
                painter.drawLine(QPointF(6, 11), QPointF(11, 7.5));
                painter.drawLine(QPointF(8, 7.5), QPointF(11, 7.5));
                painter.drawLine(QPointF(11, 7.5), QPointF(11, 10.5));
            }
            break;
        }
        case CommandIcon::Settings: {
            painter.setPen(QPen(QColor(96, 104, 122), 2.4, Qt::SolidLine, Qt::RoundCap));
            for (int tooth = 0; tooth < 8; ++tooth) {
                const double angle = tooth * M_PI / 4;
                painter.drawLine(QPointF(8 + 4.5 * std::cos(angle), 8 + 4.5 * std::sin(angle)),
                                 QPointF(8 + 6.5 * std::cos(angle), 8 + 6.5 * std::sin(angle)));
            }
            painter.setBrush(QColor(150, 158, 176));
            painter.setPen(QPen(QColor(96, 104, 122), 1.2));
            painter.drawEllipse(QPointF(8, 8), 4.5, 4.5);
            painter.setBrush(Qt::white);
            painter.drawEllipse(QPointF(8, 8), 1.8, 1.8);
            break;
        }
    }
    painter.end();
    return QIcon(pixmap);
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        DrawApplicationPicture(painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPixmap GroupPicture(int group) {
    static const std::array<QColor, 6> colours{QColor(58, 104, 176), QColor(46, 150, 120),
                                               QColor(214, 92, 52),  QColor(120, 96, 182),
                                               QColor(64, 128, 196), QColor(198, 140, 30)};
    QPixmap pixmap = BlankPixmap(16, 16, 4.0);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colours[static_cast<std::size_t>(std::clamp(group, 0, 5))]);
    painter.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3.5, 3.5);
    if (group == 5) {
        // A note for the audio formats.
        painter.setBrush(Qt::white);
        painter.drawEllipse(QPointF(6, 11.2), 2.6, 2.0);
        painter.setPen(QPen(Qt::white, 1.5, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(8.4, 11), QPointF(8.4, 3.5));
        painter.drawLine(QPointF(8.4, 3.5), QPointF(11.8, 5.2));
    } else {
        DrawPlayTriangle(painter, QRectF(2.5, 2, 12, 12), Qt::white);
    }
    painter.end();
    return pixmap;
}

QPixmap BuiltInSplashPicture() {
    constexpr int width = 480;
    constexpr int height = 300;
    QPixmap pixmap(width, height);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient background(0, 0, width, height);
    background.setColorAt(0, QColor(30, 56, 104));
    background.setColorAt(1, QColor(70, 120, 200));
    painter.fillRect(pixmap.rect(), background);
    // A film strip running across the lower part.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 28));
    painter.drawRect(QRectF(0, 190, width, 58));
    painter.setBrush(QColor(255, 255, 255, 60));
    for (int x = 8; x < width; x += 24) {
        painter.drawRoundedRect(QRectF(x, 195, 12, 8), 2, 2);
        painter.drawRoundedRect(QRectF(x, 235, 12, 8), 2, 2);
    }
    for (int frame = 0; frame < 6; ++frame) {
        painter.setBrush(QColor(255, 255, 255, 40 + frame * 12));
        painter.drawRoundedRect(QRectF(14 + frame * 78, 207, 66, 24), 3, 3);
    }
    DrawApplicationPicture(painter, QRectF(36, 44, 96, 96));
    painter.setPen(Qt::white);
    QFont title = painter.font();
    title.setPixelSize(30);
    title.setWeight(QFont::DemiBold);
    painter.setFont(title);
    painter.drawText(QRectF(150, 52, 320, 40), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Quillo"));
    painter.drawText(QRectF(150, 88, 320, 40), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Video Converter"));
    QFont small = painter.font();
    small.setPixelSize(13);
    small.setWeight(QFont::Normal);
    painter.setFont(small);
    painter.setPen(QColor(220, 232, 250));
    painter.drawText(QRectF(150, 126, 320, 22), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("XviD AVI, MP4, 3GP, FLV, MOV and audio"));
    painter.drawText(QRectF(0, 262, width - 16, 26), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("Loading\u2026"));
    painter.end();
    return pixmap;
}

QPixmap BuiltInEmptyListPicture() {
    constexpr int width = 320;
    constexpr int height = 120;
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(QPen(skin::FocusFrameInactive, 1.5, Qt::DashLine));
    painter.setBrush(QColor(246, 249, 255));
    painter.drawRoundedRect(QRectF(10, 10, width - 20, height - 20), 8, 8);
    DrawApplicationPicture(painter, QRectF(26, 32, 56, 56));
    painter.setPen(skin::Text);
    QFont heading = painter.font();
    heading.setPixelSize(15);
    heading.setWeight(QFont::DemiBold);
    painter.setFont(heading);
    painter.drawText(QRectF(96, 32, 210, 26), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("No files to convert yet"));
    QFont body = painter.font();
    body.setPixelSize(12);
    body.setWeight(QFont::Normal);
    painter.setFont(body);
    painter.setPen(QColor(84, 94, 116));
    painter.drawText(QRectF(96, 58, 210, 34), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     QStringLiteral("Click Add, or drop video and audio files here."));
    painter.end();
    return pixmap;
}

}  // namespace quillo::gui
