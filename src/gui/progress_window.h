#pragma once

#include <QDialog>
#include <memory>

#include "app/batch_controller.h"

namespace quillo::gui {

// The batch's progress window (420 x 460), shown modally while the converter runs the
// checked jobs: the live picture, "Current Time:", "Length:", "File Size:", "Progress:" and
// "File:" with their values, the bar, Pause, Resume, Cancel, "Save snapshot picture",
// "Open the output folder after conversion" and "Shut down computer after conversion".
// It observes the BatchController; closing it in any way cancels (Stop with wait).
// Controls (objectName): "imgPreview", "lblCurrentTime", "lblLength", "lblFileSize",
// "lblProgress", "lblFile", "barProgress", "btnPause", "btnResume", "btnCancel",
// "btnSnapshot", "chkOpenFolder", "chkShutdown".
class ProgressWindow : public QDialog, public app::BatchObserver {
    Q_OBJECT
public:
    explicit ProgressWindow(app::BatchController& batch, QWidget* parent = nullptr);
    ~ProgressWindow() override;

    // Shows the window modally, for a batch already started with this window as the
    // controller's observer, until the batch ends (the window then closes) or is cancelled.
    void RunModal();
    bool OpenFolderChecked() const;
    bool ShutdownChecked() const;

    // BatchObserver.
    void BatchStarted(int tasks) override;
    void ProgressChanged(int task, int row, const app::ProgressFields& fields,
                         std::optional<int> percent) override;
    void BatchEnded(const app::BatchSummary& summary) override;

private:
    struct Controls;
    std::unique_ptr<Controls> controls_;
    app::BatchController& batch_;
};

}  // namespace quillo::gui
