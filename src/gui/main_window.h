#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "app/batch_controller.h"
#include "app/global_object.h"
#include "app/job_list.h"
#include "app/system_services.h"
#include "converter/converter.h"
#include "gui/message_boxes.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace quillo::gui {

class AboutWindow;
class CropWindow;
class FileInfoWindow;
class HelpWindow;
class JobListModel;
class JobListView;
class PreferenceWindow;
class PreviewPanel;
class ProfileBox;
class ProgressWindow;
class SettingsWindow;
class TrimWindow;

// The dialogs the main window asks for files and folders with; tests replace them so that no
// dialog waits for a click.
struct FileDialogs {
    // The chosen files (empty: cancelled) for a caption, a start folder and a Qt filter.
    std::function<QStringList(QWidget* parent, const QString& caption, const QString& folder,
                              const QString& filter)>
        OpenFiles;
    // The chosen folder (empty: cancelled).
    std::function<QString(QWidget* parent, const QString& caption, const QString& folder)>
        ChooseFolder;
    // True for a folder on a read-only or optical file system.
    std::function<bool(const QString& folder)> IsReadOnlyStorage;
};
FileDialogs NativeFileDialogs();

// The program's window: the title and the menu buttons "File", "Edit", "Preference", "Help";
// Add, Remove, Clear and Start; the job list ("lvFIles") beside the preview; the current
// profile ("cmbProfile") with "Settings" ("btnSettings"); the output folder ("edtOutputDir")
// with "Browse" ("btnBrowse") and "Open" ("btnOpen"); and the hidden log ("memLog").
// It owns the converter, the job list and the batch controller, and makes the other windows
// when they are first needed.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // The settings live in the config folder (GlobalObject::ConfigFolder()). Without system
    // services of the caller's, the desktop's are used.
    explicit MainWindow(app::SystemServices* system = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Adds files exactly as if they had been chosen in the Add dialog (the command line and
    // drops on the list come here).
    void AddFiles(const QStringList& paths);

    // Commands, as their buttons and menu entries run them.
    void AddCommand();
    void RemoveCommand();
    void ClearCommand();
    void StartCommand();
    void BrowseCommand();
    void OpenCommand();
    void PlayCommand();
    void PreviousCommand();
    void NextCommand();
    void ShowFileInformation();
    // The editing windows, for the selected row (the first when none is).
    void TrimCommand();
    void CropCommand();
    void WatermarkCommand();
    // "Preference": the snapshot and work priority settings.
    void ShowPreferences();
    void ShowAbout();
    void ShowHelp();

    // Closing no longer asks first (for a program told to end, such as --screenshot).
    void SetConfirmExit(bool confirm) { confirmExit_ = confirm; }
    void SetMessageFunction(MessageFunction show);
    void SetFileDialogs(FileDialogs dialogs) { dialogs_ = std::move(dialogs); }
    // Another observer of every batch, told after the progress window.
    void SetBatchListener(app::BatchObserver* listener) { batchListener_ = listener; }

    const app::GlobalObject& Global() const { return global_; }
    app::JobList& Jobs() { return jobs_; }
    app::BatchController& Batch() { return batch_; }
    converter::Converter& Converter() { return converter_; }
    PreviewPanel& Preview() { return *preview_; }
    ProfileBox& Profiles() { return *profileBox_; }
    // The menu of the Edit button and of the list's right button ("mnuEdit").
    QMenu& EditMenu() { return *editMenu_; }
    ProgressWindow* Progress() const { return progressWindow_.get(); }
    TrimWindow* Trim() const { return trimWindow_.get(); }
    QString TitleText() const;
    QString LogText() const;
    void Log(const QString& line);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class BatchRelay;

    void BuildWindow();
    QWidget* BuildHeader();
    QWidget* BuildToolbar();
    QWidget* BuildSettingsArea();
    void BuildMenus();
    void ConnectList();
    void ConnectPreview();

    void UpdateCommands();
    void UpdateEditMenu();
    void UpdateNavigation();
    void ShowListSelection(int row);
    void PlayRow(int row);
    void StopPreview();
    // The row an editing window works on: the selected one, else the first, selected now;
    // -1 on an empty list.
    int EditedRow();
    void ProfileSettings();
    bool Confirm(const QString& caption, const QString& text);
    void Warn(const QString& caption, const QString& text);
    void Inform(const QString& caption, const QString& text);
    ProgressWindow& EnsureProgressWindow();
    // The snapshot buttons: the preview's picture (the snapshot folder is shown afterwards)
    // and the progress window's.
    void SavePreviewSnapshot();
    void SaveBatchSnapshot();
    // Stops the conversion and the preview and stores what exit stores.
    void ShutDown();

    app::GlobalObject global_;
    std::unique_ptr<app::SystemServices> ownSystem_;
    app::SystemServices& system_;
    MessageFunction messages_;
    GuiPrompter prompter_;
    FileDialogs dialogs_;
    converter::Converter converter_;
    app::JobList jobs_;
    app::BatchController batch_;
    std::unique_ptr<BatchRelay> relay_;
    app::BatchObserver* batchListener_ = nullptr;
    std::unique_ptr<JobListModel> model_;

    QLabel* title_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* start_ = nullptr;
    JobListView* list_ = nullptr;
    ProfileBox* profileBox_ = nullptr;
    QLineEdit* outputFolder_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;

    // Made on first use and kept.
    std::unique_ptr<ProgressWindow> progressWindow_;
    std::unique_ptr<FileInfoWindow> fileInfoWindow_;
    std::unique_ptr<AboutWindow> aboutWindow_;
    std::unique_ptr<HelpWindow> helpWindow_;
    std::unique_ptr<TrimWindow> trimWindow_;
    std::unique_ptr<PreferenceWindow> preferenceWindow_;
    std::unique_ptr<SettingsWindow> settingsWindow_;

    bool playAfterAdd_ = false;
    bool confirmExit_ = true;
    bool closeAfterBatch_ = false;
    bool shutDown_ = false;
    QString lastAddFolder_;

    // Last, so that it goes first: its player may still report while it stops.
    std::unique_ptr<PreviewPanel> preview_;
};

}  // namespace quillo::gui
