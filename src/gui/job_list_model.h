#pragma once

#include <QAbstractTableModel>
#include <QSize>

#include "app/job_list.h"

namespace quillo::gui {

// The job list as a table for the job list view: the five columns while the list has rows
// and none while it is empty, the rows' texts and check boxes. It follows every change of the
// list (it is the list's observer) and tells the view which row the list has selected.
class JobListModel : public QAbstractTableModel, private app::JobListObserver {
    Q_OBJECT
public:
    explicit JobListModel(app::JobList& jobs, QObject* parent = nullptr);
    ~JobListModel() override;

    app::JobList& Jobs() { return jobs_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The list's selected row changed (-1: none).
    void listSelectionChanged(int row);

private:
    void RowAdded(int row) override;
    void RowRemoved(int row) override;
    void RowChanged(int row) override;
    void Cleared() override;
    void SelectionChanged(int row) override;

    app::JobList& jobs_;
    // The rows the views know of; the list itself has already changed when it reports.
    int shownRows_ = 0;
};

}  // namespace quillo::gui
