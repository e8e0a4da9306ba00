// The main window's editing commands: each stops the preview and opens its editor modally on
// the selected job.

#include "gui/crop_window.h"
#include "gui/main_window.h"
#include "gui/preview_panel.h"
#include "gui/quillo_application.h"
#include "gui/trim_window.h"
#include "gui/watermark_window.h"

namespace quillo::gui {

int MainWindow::EditedRow() {
    if (jobs_.Empty()) {
        return -1;
    }
    if (jobs_.Selected() < 0) {
        jobs_.Select(0);
    }
    return jobs_.Selected();
}

void MainWindow::TrimCommand() {
    Guarded([this] {
        StopPreview();
        const int row = EditedRow();
        if (row < 0) {
            return;
        }
        if (!trimWindow_) {
            trimWindow_ = std::make_unique<TrimWindow>(global_.Files(), this);
        }
        trimWindow_->Edit(jobs_, row);
    });
}

void MainWindow::CropCommand() {
    Guarded([this] {
        StopPreview();
        const int row = EditedRow();
        if (row < 0) {
            return;
        }
        {
            // A window of its own for every opening.
            CropWindow crop(global_.Files(), this);
            crop.Edit(jobs_, row);
        }
        preview_->ReloadAudioSettings();
    });
}

void MainWindow::WatermarkCommand() {
    Guarded([this] {
        StopPreview();
        const int row = EditedRow();
        if (row < 0) {
            return;
        }
        WatermarkWindow watermarks(global_.Files(), this);
        watermarks.SetMessageFunction(messages_);
        watermarks.SetPictureChooser([this](QWidget* parent) {
            const QStringList chosen = dialogs_.OpenFiles
                                           ? dialogs_.OpenFiles(parent, QStringLiteral("Add Image"),
                                                                QString(), WatermarkPictureFilter())
                                           : QStringList();
            return chosen.isEmpty() ? QString() : chosen.first();
        });
        watermarks.SetHelp([this] { ShowHelp(); });
        watermarks.Edit(jobs_, row);
    });
}

}  // namespace quillo::gui
