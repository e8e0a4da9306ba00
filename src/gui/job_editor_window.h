#pragma once

#include <QDialog>

#include "app/job_list.h"

namespace quillo::gui {

// A modal editor of one job of the list. Edit shows it for a row and returns once it has
// closed; meanwhile Jobs() and Row() name the job, and an "Ok" writes the row's record back.
class JobEditorWindow : public QDialog {
public:
    void Edit(app::JobList& jobs, int row) {
        jobs_ = &jobs;
        row_ = row;
        ShowJob();
        exec();
        jobs_ = nullptr;
        row_ = -1;
    }

protected:
    using QDialog::QDialog;

    // Fills the window from the job before it is shown.
    virtual void ShowJob() = 0;

    // Null, and -1, while the window is not open for a job.
    app::JobList* Jobs() const { return jobs_; }
    int Row() const { return row_; }

private:
    app::JobList* jobs_ = nullptr;
    int row_ = -1;
};

}  // namespace quillo::gui
