// The main window's snapshots and its preferences window.

#include "gui/bitmap_image.h"
#include "gui/main_window.h"
#include "gui/preference_window.h"
#include "gui/preview_panel.h"
#include "gui/progress_window.h"
#include "gui/quillo_application.h"
#include "gui/snapshot_writer.h"
#include "gui/video_widget.h"

namespace quillo::gui {

void MainWindow::SavePreviewSnapshot() {
    Guarded([this] {
        const media::Bitmap& frame = preview_->GetPlayer().CurrentFrame();
        if (frame.Width() <= 0 || frame.Height() <= 0) {
            return;  // nothing on screen, or a file without pictures
        }
        // A copy: a message box's event loop may let the player reuse its bitmap.
        const QImage full = BitmapImage(frame).copy();
        const QImage small =
            full.scaled(preview_->Video().size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const SnapshotResult result =
            SaveSnapshot(profiles::IniFile(global_.SettingsFile()), full, small, messages_);
        if (result.Complete) {
            system_.OpenFolder(result.Folder);
        }
    });
}

void MainWindow::SaveBatchSnapshot() {
    Guarded([this] {
        if (!progressWindow_) {
            return;
        }
        // A copy: the next picture of the conversion may arrive while a message is shown.
        const QImage full = BitmapImage(batch_.PreviewBitmap()).copy();
        if (full.isNull()) {
            return;  // no picture of this batch yet
        }
        SaveSnapshot(profiles::IniFile(global_.SettingsFile()), full,
                     progressWindow_->ShownPicture(), messages_);
    });
}

void MainWindow::ShowPreferences() {
    Guarded([this] {
        if (!preferenceWindow_) {
            // Through the window's own functions, so that tests may replace them later.
            preferenceWindow_ = std::make_unique<PreferenceWindow>(
                global_.Files(), system_,
                [this](const MessageRequest& request) { return messages_ && messages_(request); },
                [this](QWidget* parent, const QString& caption, const QString& folder) {
                    return dialogs_.ChooseFolder ? dialogs_.ChooseFolder(parent, caption, folder)
                                                 : QString();
                },
                this);
        }
        preferenceWindow_->exec();
    });
}

}  // namespace quillo::gui
