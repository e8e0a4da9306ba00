#include "gui/widgets/colour_box.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>
#include <array>
#include <utility>

namespace quillo::gui {

namespace {

const std::array<std::pair<const char*, QRgb>, 20> kColours{{
    {"Black", 0x000000}, {"Maroon", 0x800000},      {"Green", 0x008000},
    {"Olive", 0x808000}, {"Navy", 0x000080},        {"Purple", 0x800080},
    {"Teal", 0x008080},  {"Gray", 0x808080},        {"Silver", 0xC0C0C0},
    {"Red", 0xFF0000},   {"Lime", 0x00FF00},        {"Yellow", 0xFFFF00},
    {"Blue", 0x0000FF},  {"Fuchsia", 0xFF00FF},     {"Aqua", 0x00FFFF},
    {"White", 0xFFFFFF}, {"Money Green", 0xC0DCC0}, {"Sky Blue", 0xA6CAF0},
    {"Cream", 0xFFFBF0}, {"Medium Gray", 0xA4A0A0},
}};

QIcon Swatch(const QColor& colour) {
    QPixmap pixmap(16, 12);
    pixmap.fill(colour);
    QPainter painter(&pixmap);
    painter.setPen(QColor(120, 120, 120));
    painter.drawRect(0, 0, pixmap.width() - 1, pixmap.height() - 1);
    return QIcon(pixmap);
}

}  // namespace

ColourBox::ColourBox(QWidget* parent) : QComboBox(parent) {
    for (const auto& [name, rgb] : kColours) {
        addItem(Swatch(QColor(rgb)), QString::fromLatin1(name), QColor(rgb));
    }
    otherLine_ = count();
    addItem(QStringLiteral("Other..."));
    setMaxVisibleItems(count());
    chooser_ = [](QWidget* parent, const QColor& initial) {
        return QColorDialog::getColor(initial, parent, QStringLiteral("Colour"));
    };
    colour_ = QColor(kColours[0].second);
    connect(this, &QComboBox::activated, this, &ColourBox::LineChosen);
}

void ColourBox::SetColour(const QColor& colour) {
    {
        // Showing the colour is no choice of the user's.
        const QSignalBlocker block(this);
        const int line = findData(colour);
        if (line >= 0 && line < otherLine_) {
            setCurrentIndex(line);
        } else {
            ShowOther(colour);
        }
    }
    if (colour != colour_) {
        colour_ = colour;
        emit colourChanged(colour_);
    }
}

void ColourBox::LineChosen(int index) {
    QColor chosen;
    if (index == otherLine_) {
        chosen = chooser_ ? chooser_(this, colour_) : QColor();
        if (!chosen.isValid()) {
            // Cancelled: the box shows the colour it had.
            SetColour(colour_);
            return;
        }
    } else {
        chosen = itemData(index).value<QColor>();
    }
    SetColour(chosen);
}

void ColourBox::ShowOther(const QColor& colour) {
    setItemIcon(otherLine_, Swatch(colour));
    setItemText(otherLine_, colour.name().toUpper());
    setItemData(otherLine_, colour);
    setCurrentIndex(otherLine_);
}

}  // namespace quillo::gui
