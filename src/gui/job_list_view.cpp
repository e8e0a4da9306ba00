#include "gui/job_list_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include "app/job_list.h"
#include "gui/data_files.h"
#include "gui/skin.h"

namespace quillo::gui {

namespace {

constexpr int RowHeight = 24;
constexpr int CheckBoxSize = 12;

QStringList LocalFiles(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(url.toLocalFile());
        }
    }
    return paths;
}

QPixmap LoadEmptyPicture() {
    if (const auto file = FindDataFile("skin/lvBack.bmp"); !file.empty()) {
        QPixmap picture;
        if (picture.load(QString::fromStdString(file.string())) && !picture.isNull()) {
            return picture;
        }
    }
    return BuiltInEmptyListPicture();
}

}  // namespace

QRect JobRowDelegate::CheckBoxRect(const QRect& cell) {
    return {cell.left() + 6, cell.top() + (cell.height() - CheckBoxSize) / 2, CheckBoxSize,
            CheckBoxSize};
}

void JobRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    painter->save();
    const QRect cell = option.rect;
    const int lastColumn = index.model()->columnCount(index.parent()) - 1;
    painter->fillRect(cell, index.row() % 2 == 1 ? skin::OddRow : skin::EvenRow);

    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const bool focused = (option.state & QStyle::State_Selected) != 0;
    if (focused) {
        // The row's rectangle narrowed by a pixel at each side, drawn cell by cell.
        const bool active = view != nullptr && view->hasFocus();
        QRect inner = cell.adjusted(0, 1, 0, -1);
        if (index.column() == 0) {
            inner.setLeft(cell.left() + 1);
        }
        if (index.column() == lastColumn) {
            inner.setRight(cell.right() - 1);
        }
        painter->fillRect(inner, active ? skin::FocusFill : skin::FocusFillInactive);
        painter->setPen(active ? skin::FocusFrame : skin::FocusFrameInactive);
        painter->drawLine(inner.topLeft(), inner.topRight());
        painter->drawLine(inner.bottomLeft(), inner.bottomRight());
        if (index.column() == 0) {
            painter->drawLine(inner.topLeft(), inner.bottomLeft());
        }
        if (index.column() == lastColumn) {
            painter->drawLine(inner.topRight(), inner.bottomRight());
        }
    }

    QRect textRect = cell.adjusted(6, 0, -6, 0);
    Qt::TextElideMode elide = Qt::ElideRight;
    if (index.column() == 0) {
        const QRect box = CheckBoxRect(cell);
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(Qt::NoPen);
        painter->setBrush(Qt::white);
        painter->drawRect(box);
        QPen frame(Qt::black, 2);
        frame.setJoinStyle(Qt::MiterJoin);
        painter->setPen(frame);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(box.adjusted(1, 1, -1, -1));
        if (index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked) {
            painter->setRenderHint(QPainter::Antialiasing, true);
            QPen tick(Qt::black, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
            painter->setPen(tick);
            const QPointF a(box.left() + 2.5, box.top() + 6.0);
            const QPointF b(box.left() + 5.0, box.top() + 9.0);
            const QPointF c(box.left() + 9.5, box.top() + 3.0);
            painter->drawLine(a, b);
            painter->drawLine(b, c);
        }
        textRect.setLeft(box.right() + 7);
        // A path keeps its file name in view: the folders give way.
        elide = Qt::ElideLeft;
    }
    const QString text = index.data(Qt::DisplayRole).toString();
    const auto alignment = static_cast<Qt::Alignment>(
        index.data(Qt::TextAlignmentRole).value<int>() | Qt::AlignVCenter);
    painter->setFont(option.font);
    painter->setPen(skin::Text);
    painter->drawText(textRect, static_cast<int>(alignment | Qt::TextSingleLine),
                      option.fontMetrics.elidedText(text, elide, textRect.width()));
    painter->restore();
}

QSize JobRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), RowHeight));
    return size;
}

bool JobRowDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                 const QStyleOptionViewItem& option, const QModelIndex& index) {
    const QModelIndex first = index.siblingAtColumn(0);
    const auto toggle = [&] {
        const bool checked = first.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
        return model->setData(first, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    };
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (index.column() != 0 || mouse->button() != Qt::LeftButton ||
                !CheckBoxRect(option.rect)
                     .adjusted(-3, -3, 3, 3)
                     .contains(mouse->position().toPoint())) {
                return false;
            }
            if (event->type() == QEvent::MouseButtonRelease) {
                toggle();
            }
            // A press still selects the row; a double click on the box is no preview request.
            return event->type() != QEvent::MouseButtonPress;
        }
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Space || key->key() == Qt::Key_Select) {
                return toggle();
            }
            return false;
        }
        default:
            return false;
    }
}

JobListView::JobListView(QWidget* parent) : QTreeView(parent), emptyPicture_(LoadEmptyPicture()) {
    setObjectName(QStringLiteral("lvFIles"));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setTextElideMode(Qt::ElideRight);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);
    setItemDelegate(new JobRowDelegate(this));
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setHighlightSections(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void JobListView::setModel(QAbstractItemModel* model) {
    QTreeView::setModel(model);
    if (model != nullptr) {
        connect(model, &QAbstractItemModel::modelReset, this, &JobListView::ColumnsChanged);
    }
    ColumnsChanged();
}

void JobListView::ColumnsChanged() {
    const bool hasColumns = model() != nullptr && model()->columnCount() > 0;
    // Plain style while empty: no header, only the picture.
    header()->setVisible(hasColumns);
    if (!hasColumns) {
        return;
    }
    const auto& columns = app::JobColumns();
    QFont captionFont = header()->font();
    captionFont.setBold(true);  // as the skin draws the captions
    const QFontMetrics metrics(captionFont);
    for (int column = 0; column < static_cast<int>(columns.size()); ++column) {
        header()->setSectionResizeMode(column, QHeaderView::Interactive);
        // The list's widths, widened where the caption would be cut in this font.
        const auto& info = columns[static_cast<std::size_t>(column)];
        const int caption = metrics.horizontalAdvance(QString::fromUtf8(info.Caption)) + 20;
        setColumnWidth(column, std::max(info.Width, caption));
    }
    // The source path takes the room the other columns leave.
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
}

void JobListView::paintEvent(QPaintEvent* event) {
    if (model() == nullptr || model()->rowCount() == 0) {
        QPainter painter(viewport());
        painter.fillRect(viewport()->rect(), Qt::white);
        painter.drawPixmap(QPoint(4, 4), emptyPicture_);
        return;
    }
    QTreeView::paintEvent(event);
}

void JobListView::mouseDoubleClickEvent(QMouseEvent* event) {
    // Two quick clicks on a check box are two clicks on it (each release toggles it), not a
    // request to play the row.
    const QPoint at = event->position().toPoint();
    const QModelIndex index = indexAt(at);
    if (index.isValid() && index.column() == 0 &&
        JobRowDelegate::CheckBoxRect(visualRect(index)).adjusted(-3, -3, 3, 3).contains(at)) {
        event->accept();
        return;
    }
    QTreeView::mouseDoubleClickEvent(event);
}

void JobListView::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void JobListView::dragMoveEvent(QDragMoveEvent* event) {
    if (!LocalFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void JobListView::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalFiles(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit filesDropped(paths);
}

}  // namespace quillo::gui
