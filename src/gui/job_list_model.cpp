#include "gui/job_list_model.h"

namespace quillo::gui {

JobListModel::JobListModel(app::JobList& jobs, QObject* parent)
    : QAbstractTableModel(parent), jobs_(jobs), shownRows_(jobs.RowCount()) {
    jobs_.SetObserver(this);
}

JobListModel::~JobListModel() {
    jobs_.SetObserver(nullptr);
}

int JobListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

int JobListModel::columnCount(const QModelIndex& parent) const {
    // The columns exist only while there are rows.
    return parent.isValid() || shownRows_ == 0 ? 0 : static_cast<int>(app::JobColumnCount);
}

QVariant JobListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= jobs_.RowCount() ||
        index.column() >= static_cast<int>(app::JobColumnCount)) {
        return {};
    }
    const app::JobRow& row = jobs_.Row(index.row());
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(row.Texts[static_cast<std::size_t>(index.column())]);
        case Qt::ToolTipRole:
            return index.column() == 0 ? QString::fromStdString(row.Caption())
                                       : QString::fromStdString(row.Record.OutputFile.string());
        case Qt::CheckStateRole:
            if (index.column() == 0) {
                return row.Checked ? Qt::Checked : Qt::Unchecked;
            }
            return {};
        case Qt::TextAlignmentRole: {
            const auto column = static_cast<app::JobColumn>(index.column());
            const bool number = column == app::JobColumn::Length ||
                                column == app::JobColumn::TrimmedLength ||
                                column == app::JobColumn::Progress;
            return QVariant::fromValue(Qt::AlignVCenter |
                                       (number ? Qt::AlignRight : Qt::AlignLeft));
        }
        default:
            return {};
    }
}

bool JobListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole ||
        index.row() >= jobs_.RowCount()) {
        return false;
    }
    jobs_.SetChecked(index.row(), value.value<Qt::CheckState>() == Qt::Checked);
    return true;
}

QVariant JobListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(app::JobColumnCount)) {
        return {};
    }
    const app::JobColumnInfo& column = app::JobColumns()[static_cast<std::size_t>(section)];
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromUtf8(column.Caption);
        case Qt::SizeHintRole:
            return QSize(column.Width, 24);
        default:
            return {};
    }
}

Qt::ItemFlags JobListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::ItemIsDropEnabled;
    }
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0) {
        flags |= Qt::ItemIsUserCheckable;
    }
    return flags;
}

void JobListModel::RowAdded(int row) {
    if (shownRows_ == 0) {
        // The first row brings the columns.
        beginResetModel();
        shownRows_ = jobs_.RowCount();
        endResetModel();
        return;
    }
    beginInsertRows({}, row, row);
    ++shownRows_;
    endInsertRows();
}

void JobListModel::RowRemoved(int row) {
    if (jobs_.Empty()) {
        beginResetModel();
        shownRows_ = 0;
        endResetModel();
        return;
    }
    beginRemoveRows({}, row, row);
    --shownRows_;
    endRemoveRows();
}

void JobListModel::RowChanged(int row) {
    if (row < shownRows_) {
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    }
}

void JobListModel::Cleared() {
    beginResetModel();
    shownRows_ = 0;
    endResetModel();
    emit listSelectionChanged(-1);
}

void JobListModel::SelectionChanged(int row) {
    emit listSelectionChanged(row);
}

}  // namespace quillo::gui
