#pragma once

#include <QDialog>
#include <QImage>
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
//
// Use: make it once and keep it; for each batch set it as the controller's observer, Start
// the batch, and when it started call RunModal.
class ProgressWindow : public QDialog, public app::BatchObserver {
    Q_OBJECT
public:
    explicit ProgressWindow(app::BatchController& batch, QWidget* parent = nullptr);
    ~ProgressWindow() override;

    // Shows the window modally, for a batch already started with this window as the
    // controller's observer, until the batch ends (the window then closes) or is cancelled.
    // Returns at once when the batch is no longer running.
    void RunModal();
    bool OpenFolderChecked() const;
    bool ShutdownChecked() const;
    // A copy of the live picture as it is shown, at the size of "imgPreview".
    QImage ShownPicture() const;

    // Every observer call is passed on to next (null: none) once the window has handled it,
    // for a main window that follows the batch too (its list commands, its log).
    void SetNextObserver(app::BatchObserver* next) { next_ = next; }

    // BatchObserver.
    void BatchStarted(int tasks) override;
    void ProgressChanged(int task, int row, const app::ProgressFields& fields,
                         std::optional<int> percent) override;
    void ProgressReported(int task, int row, const converter::ProgressInfo& info) override;
    void ButtonsChanged(const app::BatchButtons& buttons) override;
    void JobEnded(int task, int row, bool finished, const std::string& error) override;
    void BatchEnded(const app::BatchSummary& summary) override;

    // The light blue the picture shows around and before the converter's pictures.
    static QColor PictureBackground();

signals:
    // "Save snapshot picture".
    void snapshotRequested();

protected:
    // Every way of closing (Cancel, the frame, Escape, the batch's end) comes here.
    void done(int result) override;

private:
    void ShowPreview();

    struct Controls;
    std::unique_ptr<Controls> controls_;
    app::BatchController& batch_;
    app::BatchObserver* next_ = nullptr;
    bool closing_ = false;  // inside done: the cancel's wait may end the batch meanwhile
};

}  // namespace quillo::gui
