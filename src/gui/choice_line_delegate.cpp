#include "gui/choice_line_delegate.h"

#include <QPainter>
#include <algorithm>

#include "gui/skin.h"

namespace quillo::gui {

void ChoiceLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    painter->save();
    const QRect line = option.rect;
    painter->fillRect(line, Qt::white);
    if ((option.state & QStyle::State_Selected) != 0) {
        const QRect inner = line.adjusted(2, 2, -2, -2);
        painter->fillRect(inner, skin::FocusFill);
        painter->setPen(skin::FocusFrame);
        painter->drawRect(inner.adjusted(0, 0, -1, -1));
    }
    const bool enabled = (option.state & QStyle::State_Enabled) != 0;
    painter->setPen(enabled ? skin::Text
                            : option.palette.color(QPalette::Disabled, QPalette::Text));
    painter->setFont(option.font);
    const QRect textRect = line.adjusted(3, 0, -3, 0);
    const QString text = index.data(Qt::DisplayRole).toString();
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      option.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width()));
    painter->restore();
}

QSize ChoiceLineDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(LineHeight, option.fontMetrics.height() + 4));
    return size;
}

}  // namespace quillo::gui
