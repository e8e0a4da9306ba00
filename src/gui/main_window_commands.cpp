// The main window's commands: adding, removing and clearing files, the batch, the output
// folder, the preview's row choice and the small windows.

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <filesystem>
#include <optional>
#include <vector>

#include "gui/about_window.h"
#include "gui/data_files.h"
#include "gui/file_info_window.h"
#include "gui/folder_checks.h"
#include "gui/job_list_view.h"
#include "gui/main_window.h"
#include "gui/preview_panel.h"
#include "gui/profile_box.h"
#include "gui/progress_window.h"
#include "gui/quillo_application.h"
#include "gui/settings_window.h"
#include "profiles/ini_file.h"
#include "profiles/output_naming.h"
#include "profiles/settings_keys.h"

namespace quillo::gui {

namespace {

namespace fs = std::filesystem;

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

fs::path ToPath(const QString& text) {
    return fs::path(text.toStdString());
}

}  // namespace

void MainWindow::AddCommand() {
    Guarded([this] {
        if (batch_.Running()) {
            return;
        }
        std::string error;
        if (!jobs_.LoadMediaLibraries(&error)) {
            Log(QStringLiteral("The media libraries could not be loaded: ") + FromStd(error));
            Warn(QStringLiteral("Warning"),
                 QStringLiteral("Files cannot be added: the media libraries could not be "
                                "loaded.\n") +
                     FromStd(error));
            return;
        }
        const QString folder = lastAddFolder_.isEmpty() ? QDir::homePath() : lastAddFolder_;
        const QStringList paths = dialogs_.OpenFiles
                                      ? dialogs_.OpenFiles(this, QStringLiteral("Add files"),
                                                           folder, QtFileFilter(AddFilesFilter))
                                      : QStringList();
        if (paths.isEmpty()) {
            return;
        }
        lastAddFolder_ = QFileInfo(paths.front()).absolutePath();
        AddFiles(paths);
    });
}

void MainWindow::AddFiles(const QStringList& paths) {
    Guarded([&] {
        if (batch_.Running() || paths.isEmpty()) {
            return;
        }
        std::vector<fs::path> files;
        files.reserve(static_cast<std::size_t>(paths.size()));
        for (const QString& path : paths) {
            // Rows show absolute paths, so one file is one row however it was named.
            files.push_back(ToPath(QFileInfo(path).absoluteFilePath()));
        }
        const app::AddFilesResult result = jobs_.AddFiles(files);
        if (!result.LibrariesLoaded) {
            Log(QStringLiteral("The media libraries could not be loaded: ") +
                FromStd(result.LibraryError));
            Warn(QStringLiteral("Warning"),
                 QStringLiteral("Files cannot be added: the media libraries could not be "
                                "loaded.\n") +
                     FromStd(result.LibraryError));
            return;
        }
        QStringList unreadable;
        for (const app::SkippedFile& skipped : result.Skipped) {
            const QString path = FromStd(skipped.Path.string());
            switch (skipped.Reason) {
                case app::SkipReason::Folder:
                    Log(QStringLiteral("Not added, a folder: ") + path);
                    break;
                case app::SkipReason::Duplicate:
                    Log(QStringLiteral("Not added, already in the list: ") + path);
                    break;
                case app::SkipReason::Unreadable:
                    Log(QStringLiteral("Not added, not readable as a media file: ") + path);
                    unreadable.push_back(path);
                    break;
            }
        }
        if (!unreadable.isEmpty()) {
            Warn(QStringLiteral("Warning"),
                 (unreadable.size() == 1
                      ? QStringLiteral("This file cannot be read as a video or audio file and "
                                       "was not added:\n")
                      : QStringLiteral("These files cannot be read as video or audio files and "
                                       "were not added:\n")) +
                     unreadable.join(QLatin1Char('\n')));
        }
        list_->setFocus();
        if (playAfterAdd_ && !jobs_.Empty()) {
            playAfterAdd_ = false;
            PlayRow(std::max(jobs_.Selected(), 0));
        }
    });
}

void MainWindow::RemoveCommand() {
    Guarded([this] {
        if (batch_.Running() || !jobs_.RemoveSelected()) {
            return;
        }
        if (jobs_.Empty()) {
            StopPreview();
        }
    });
}

void MainWindow::ClearCommand() {
    Guarded([this] {
        if (batch_.Running() || jobs_.Empty()) {
            return;
        }
        jobs_.Clear();
        StopPreview();
    });
}

void MainWindow::StartCommand() {
    Guarded([this] {
        if (batch_.Running() || jobs_.Empty()) {
            return;
        }
        if (jobs_.CheckedCount() == 0) {
            batch_.Start();  // it only says that no row is checked
            return;
        }
        StopPreview();
        ProgressWindow& progress = EnsureProgressWindow();
        batch_.SetObserver(&progress);
        const app::BatchStartResult result = batch_.Start({.TasksAtOnce = 1});
        if (!result.Started) {
            return;
        }
        for (const app::SkippedJob& skipped : result.Skipped) {
            Log(QStringLiteral("Not converted: %1: %2")
                    .arg(FromStd(jobs_.Row(skipped.Row).Caption()), FromStd(skipped.Reason)));
        }
        UpdateCommands();
        progress.RunModal();
        UpdateCommands();
        if (closeAfterBatch_) {
            closeAfterBatch_ = false;
            close();
        }
    });
}

void MainWindow::BrowseCommand() {
    Guarded([this] {
        const QString title = FromStd(global_.Title());
        QString start = outputFolder_->text();
        QString folder;
        for (;;) {
            folder =
                dialogs_.ChooseFolder
                    ? dialogs_.ChooseFolder(this, QStringLiteral("Select the output folder"), start)
                    : QString();
            if (folder.isEmpty()) {
                return;
            }
            folder = QDir::cleanPath(folder);
            if (!dialogs_.IsReadOnlyStorage || !dialogs_.IsReadOnlyStorage(folder)) {
                break;
            }
            // As the picker would stay open: choose again, or cancel.
            Inform(title, QStringLiteral("Output folder cannot be located in CD-ROM.Please "
                                         "select another folder."));
            start = folder;
        }
        if (folder == outputFolder_->text()) {
            return;
        }
        const std::optional<fs::path> stored = AcceptChosenFolder(folder, messages_);
        if (!stored) {
            return;
        }
        profiles::IniFile(global_.SettingsFile())
            .WriteString(profiles::settings::Section, profiles::settings::OutputFolder,
                         stored->string());
        outputFolder_->setText(FromStd(stored->string()));
        Log(QStringLiteral("Output folder: ") + outputFolder_->text());
    });
}

void MainWindow::OpenCommand() {
    Guarded([this] {
        const std::string folder =
            profiles::IniFile(global_.SettingsFile())
                .ReadString(profiles::settings::Section, profiles::settings::OutputFolder,
                            profiles::DefaultOutputFolder().string());
        if (outputFolder_->text().size() <= 2) {
            return;
        }
        std::error_code error;
        if (!fs::is_directory(folder, error)) {
            Inform(FromStd(global_.Title()),
                   QStringLiteral("The output folder %1 does not exist yet. It is made when the "
                                  "first file is converted.")
                       .arg(FromStd(folder)));
            return;
        }
        if (!system_.OpenFolder(folder)) {
            Warn(QStringLiteral("Warning"),
                 QStringLiteral("The folder %1 could not be shown: no file manager answered.")
                     .arg(FromStd(folder)));
        }
    });
}

void MainWindow::StopPreview() {
    preview_->Stop();
}

void MainWindow::PlayCommand() {
    Guarded([this] {
        UpdateNavigation();
        std::string error;
        if (!preview_->EnsureLibraries(error)) {
            Log(QStringLiteral("The preview cannot play: ") + FromStd(error));
            return;
        }
        if (jobs_.Empty()) {
            playAfterAdd_ = true;
            AddCommand();
            return;
        }
        PlayRow(jobs_.Selected() >= 0 ? jobs_.Selected() : 0);
    });
}

void MainWindow::PlayRow(int row) {
    Guarded([this, row] {
        if (row < 0 || row >= jobs_.RowCount()) {
            return;
        }
        jobs_.Select(row);
        UpdateNavigation();
        std::string error;
        if (!preview_->EnsureLibraries(error)) {
            Log(QStringLiteral("The preview cannot play: ") + FromStd(error));
            return;
        }
        preview_->PlayFile(ToPath(FromStd(jobs_.Row(row).Caption())));
    });
}

void MainWindow::PreviousCommand() {
    const int focused = std::max(jobs_.Selected(), 0);
    if (focused > 0) {
        PlayRow(focused - 1);
    }
}

void MainWindow::NextCommand() {
    const int focused = std::max(jobs_.Selected(), 0);
    if (focused + 1 < jobs_.RowCount()) {
        PlayRow(focused + 1);
    }
}

void MainWindow::ProfileSettings() {
    Guarded([this] {
        // The editor's list opens with the groups as this one shows them.
        profileBox_->SaveState();
        if (!settingsWindow_) {
            settingsWindow_ = std::make_unique<SettingsWindow>(
                global_.Files(),
                [this](const MessageRequest& request) { return messages_ && messages_(request); },
                this);
        }
        if (settingsWindow_->exec() == QDialog::Accepted) {
            profileBox_->Build();
        }
    });
}

void MainWindow::ShowFileInformation() {
    Guarded([this] {
        StopPreview();
        const int row = jobs_.Selected();
        if (row < 0) {
            return;
        }
        if (!fileInfoWindow_) {
            fileInfoWindow_ = std::make_unique<FileInfoWindow>(this);
        }
        const std::string source = jobs_.Row(row).Caption();
        if (!fileInfoWindow_->ShowFile(source)) {
            Warn(QStringLiteral("Warning"),
                 QStringLiteral("No information can be read from %1.").arg(FromStd(source)));
            return;
        }
        fileInfoWindow_->exec();
    });
}

void MainWindow::ShowAbout() {
    if (!aboutWindow_) {
        aboutWindow_ = std::make_unique<AboutWindow>(
            FromStd(global_.Title()), FromStd(global_.VersionText()).trimmed().prepend(' '), this);
    }
    aboutWindow_->exec();
}

void MainWindow::ShowHelp() {
    if (!helpWindow_) {
        QString guide;
        if (!HelpWindow::LoadGuide(guide)) {
            Warn(QStringLiteral("Warning"),
                 QStringLiteral("The user guide (user-guide.md) is missing from the program's "
                                "data folder."));
            return;
        }
        helpWindow_ = std::make_unique<HelpWindow>(FromStd(global_.Title()), guide, this);
    }
    helpWindow_->show();
    helpWindow_->raise();
    helpWindow_->activateWindow();
}

}  // namespace quillo::gui
