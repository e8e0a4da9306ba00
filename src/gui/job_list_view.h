#pragma once

#include <QPixmap>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QTreeView>

namespace quillo::gui {

// Draws the job list's rows: white and light blue-grey stripes, the focused row filled and
// framed (in brighter tones while the list has the focus), a check box of its own in the
// first column and single-line texts cut with an ellipsis.
class JobRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    // Where the check box of a first-column cell is drawn.
    static QRect CheckBoxRect(const QRect& cell);
};

// The job list (objectName "lvFIles"): whole-row, single selection, read-only, the column
// captions and widths of the list, the empty-list picture ("skin/lvBack.bmp"), and files
// dropped on it handed on as paths.
class JobListView : public QTreeView {
    Q_OBJECT
public:
    explicit JobListView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    const QPixmap& EmptyPicture() const { return emptyPicture_; }

signals:
    void filesDropped(const QStringList& paths);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ColumnsChanged();

    QPixmap emptyPicture_;
};

}  // namespace quillo::gui
