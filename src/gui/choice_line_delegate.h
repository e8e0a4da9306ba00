#pragma once

#include <QStyledItemDelegate>

namespace quillo::gui {

// Draws a choice box's list item like a profile list line: white, the item under the pointer
// filled light blue 2 pixels in and framed; the text on one line, centred in height, 3 pixels
// from the left and elided when it is too long.
class ChoiceLineDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int LineHeight = 20;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace quillo::gui
