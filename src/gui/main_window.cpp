#include "gui/main_window.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/startup_folders.h"
#include "gui/about_window.h"
#include "gui/desktop_services.h"
#include "gui/file_info_window.h"
#include "gui/job_list_model.h"
#include "gui/job_list_view.h"
#include "gui/preference_window.h"
#include "gui/preview_panel.h"
#include "gui/profile_box.h"
#include "gui/progress_window.h"
#include "gui/settings_window.h"
#include "gui/skin.h"
#include "gui/trim_window.h"
#include "media/logger.h"
#include "media/main_thread.h"

namespace quillo::gui {

namespace {

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

QPushButton* CommandButton(const QString& text, const char* name, CommandIcon icon,
                           const QString& tip, QWidget* parent) {
    auto* button = new QPushButton(MakeCommandIcon(icon), text, parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setToolTip(tip);
    button->setIconSize(QSize(16, 16));
    return button;
}

}  // namespace

FileDialogs NativeFileDialogs() {
    FileDialogs dialogs;
    dialogs.OpenFiles = [](QWidget* parent, const QString& caption, const QString& folder,
                           const QString& filter) {
        // The descriptions of the filter carry their patterns already.
        return QFileDialog::getOpenFileNames(parent, caption, folder, filter, nullptr,
                                             QFileDialog::HideNameFilterDetails);
    };
    dialogs.ChooseFolder = [](QWidget* parent, const QString& caption, const QString& folder) {
        return QFileDialog::getExistingDirectory(parent, caption, folder,
                                                 QFileDialog::ShowDirsOnly);
    };
    dialogs.IsReadOnlyStorage = &IsReadOnlyStorage;
    return dialogs;
}

// Follows every batch after the progress window: the list commands, the errors of failed
// jobs and the end of the batch in the log, and the window's own listener.
class MainWindow::BatchRelay final : public app::BatchObserver {
public:
    explicit BatchRelay(MainWindow& window) : window_(window) {}

    void BatchStarted(int tasks) override {
        if (auto* next = window_.batchListener_) {
            next->BatchStarted(tasks);
        }
    }
    void ProgressChanged(int task, int row, const app::ProgressFields& fields,
                         std::optional<int> percent) override {
        if (auto* next = window_.batchListener_) {
            next->ProgressChanged(task, row, fields, percent);
        }
    }
    void ProgressReported(int task, int row, const converter::ProgressInfo& info) override {
        if (auto* next = window_.batchListener_) {
            next->ProgressReported(task, row, info);
        }
    }
    void ButtonsChanged(const app::BatchButtons& buttons) override {
        window_.UpdateCommands();
        if (auto* next = window_.batchListener_) {
            next->ButtonsChanged(buttons);
        }
    }
    void JobEnded(int task, int row, bool finished, const std::string& error) override {
        if (!finished && !error.empty() && row >= 0 && row < window_.jobs_.RowCount()) {
            window_.Log(QStringLiteral("Not converted: %1: %2")
                            .arg(FromStd(window_.jobs_.Row(row).Caption()), FromStd(error)));
        }
        if (auto* next = window_.batchListener_) {
            next->JobEnded(task, row, finished, error);
        }
    }
    void BatchEnded(const app::BatchSummary& summary) override {
        window_.Log(QStringLiteral("Batch ended: %1 of %2 converted%3")
                        .arg(summary.Finished)
                        .arg(summary.Tasks)
                        .arg(summary.Cancelled ? QStringLiteral(", cancelled") : QString()));
        window_.UpdateCommands();
        if (auto* next = window_.batchListener_) {
            next->BatchEnded(summary);
        }
    }

private:
    MainWindow& window_;
};

MainWindow::MainWindow(app::SystemServices* system, QWidget* parent)
    : QMainWindow(parent),
      ownSystem_(system == nullptr ? std::make_unique<GuiSystemServices>() : nullptr),
      system_(system == nullptr ? *ownSystem_ : *system),
      messages_(MessageBoxesFor(this)),
      prompter_(messages_),
      dialogs_(NativeFileDialogs()),
      jobs_(converter_, global_.Files(), prompter_),
      batch_(converter_, jobs_, global_.Files(), prompter_, system_),
      relay_(std::make_unique<BatchRelay>(*this)) {
    setObjectName(QStringLiteral("MainWindow"));
    global_.PrepareConfigFolder();
    global_.SetVersionText(app::GlobalObject::BuildVersionText());
    setWindowTitle(FromStd(global_.Title()));
    setWindowIcon(ApplicationIcon());
    // Pictures of the running conversion come as bitmaps for the progress window.
    converter_.SetPreview(true);
    converter_.SetPreviewBitmap(true);

    model_ = std::make_unique<JobListModel>(jobs_);
    preview_ = std::make_unique<PreviewPanel>(global_.Files(), this);
    BuildWindow();
    BuildMenus();
    ConnectList();
    ConnectPreview();

    // Lines are queued for the main thread and may arrive after the window has gone: they
    // reach the log only through a guarded pointer.
    auto sink = std::make_shared<QPointer<QPlainTextEdit>>(log_);
    media::LoggerInstance().SetOnLog([sink](const media::MediaComponent*, std::uint32_t,
                                            media::LogLevel, const std::string& text) {
        media::PostToMainThread([sink, line = FromStd(text).trimmed()] {
            if (QPlainTextEdit* log = sink->data(); log != nullptr && !line.isEmpty()) {
                log->appendPlainText(line);
            }
        });
    });

    // The player's libraries load now; a failure only shows in the log, and the preview
    // stays unusable until they load.
    if (std::string error; !preview_->EnsureLibraries(error)) {
        Log(QStringLiteral("The preview cannot play: ") + FromStd(error));
    }
    outputFolder_->setText(FromStd(app::CheckOutputFolder(global_.Files()).string()));
    app::CheckSnapshotFolder(global_.Files());
    UpdateCommands();
    UpdateNavigation();
    resize(980, 640);
}

MainWindow::~MainWindow() {
    media::LoggerInstance().SetOnLog({});
    ShutDown();
    batch_.SetObserver(nullptr);
    // The preview goes first, while everything it might still reach is whole.
    preview_->disconnect(this);
    preview_.reset();
}

void MainWindow::BuildWindow() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(BuildHeader());

    auto* body = new QWidget(central);
    auto* bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(12, 10, 12, 12);
    bodyLayout->setSpacing(10);
    bodyLayout->addWidget(BuildToolbar());

    auto* splitter = new QSplitter(Qt::Horizontal, body);
    splitter->setObjectName(QStringLiteral("splList"));
    splitter->setChildrenCollapsible(false);
    splitter->setHandleWidth(10);
    list_ = new JobListView(splitter);
    list_->setModel(model_.get());
    list_->setMinimumWidth(380);
    splitter->addWidget(list_);
    preview_->setParent(splitter);
    preview_->setMinimumWidth(300);
    splitter->addWidget(preview_.get());
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setSizes({580, 390});
    bodyLayout->addWidget(splitter, 1);
    bodyLayout->addWidget(BuildSettingsArea());

    log_ = new QPlainTextEdit(body);
    log_->setObjectName(QStringLiteral("memLog"));
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(5000);
    log_->hide();
    bodyLayout->addWidget(log_);
    layout->addWidget(body, 1);
    setCentralWidget(central);
    setMinimumSize(780, 500);
}

QWidget* MainWindow::BuildHeader() {
    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("pnlHeader"));
    header->setAttribute(Qt::WA_StyledBackground);
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(12, 6, 10, 6);
    layout->setSpacing(4);
    auto* picture = new QLabel(header);
    picture->setPixmap(ApplicationIcon().pixmap(28, 28));
    layout->addWidget(picture);
    title_ = new QLabel(FromStd(global_.Title() + global_.VersionText()).trimmed(), header);
    title_->setObjectName(QStringLiteral("lblTitle"));
    layout->addWidget(title_);
    layout->addStretch(1);

    const auto menuButton = [&](const QString& text, const char* name) {
        auto* button = new QToolButton(header);
        button->setObjectName(QString::fromUtf8(name));
        button->setText(text);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setCursor(Qt::PointingHandCursor);
        layout->addWidget(button);
        return button;
    };
    fileMenu_ = new QMenu(this);
    fileMenu_->setObjectName(QStringLiteral("mnuFile"));
    editMenu_ = new QMenu(this);
    editMenu_->setObjectName(QStringLiteral("mnuEdit"));
    helpMenu_ = new QMenu(this);
    helpMenu_->setObjectName(QStringLiteral("mnuHelp"));
    for (auto [button, menu] :
         {std::pair{menuButton(QStringLiteral("File"), "btnFile"), fileMenu_},
          std::pair{menuButton(QStringLiteral("Edit"), "btnEdit"), editMenu_}}) {
        button->setMenu(menu);
        button->setPopupMode(QToolButton::InstantPopup);
    }
    QToolButton* preference = menuButton(QStringLiteral("Preference"), "btnPreference");
    connect(preference, &QToolButton::clicked, this, &MainWindow::ShowPreferences);
    QToolButton* help = menuButton(QStringLiteral("Help"), "btnHelp");
    help->setMenu(helpMenu_);
    help->setPopupMode(QToolButton::InstantPopup);
    return header;
}

QWidget* MainWindow::BuildToolbar() {
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("pnlToolbar"));
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    add_ = CommandButton(QStringLiteral("Add"), "btnAdd", CommandIcon::Add,
                         QStringLiteral("Add video or audio files to the list"), bar);
    remove_ = CommandButton(QStringLiteral("Remove"), "btnRemove", CommandIcon::Remove,
                            QStringLiteral("Remove the selected file from the list"), bar);
    clear_ = CommandButton(QStringLiteral("Clear"), "btnClear", CommandIcon::Clear,
                           QStringLiteral("Remove every file from the list"), bar);
    start_ = CommandButton(QStringLiteral("Start"), "btnStart", CommandIcon::Start,
                           QStringLiteral("Convert the checked files"), bar);
    start_->setMinimumWidth(110);
    layout->addWidget(add_);
    layout->addWidget(remove_);
    layout->addWidget(clear_);
    layout->addStretch(1);
    layout->addWidget(start_);
    connect(add_, &QPushButton::clicked, this, &MainWindow::AddCommand);
    connect(remove_, &QPushButton::clicked, this, &MainWindow::RemoveCommand);
    connect(clear_, &QPushButton::clicked, this, &MainWindow::ClearCommand);
    connect(start_, &QPushButton::clicked, this, &MainWindow::StartCommand);
    return bar;
}

QWidget* MainWindow::BuildSettingsArea() {
    auto* area = new QWidget(this);
    area->setObjectName(QStringLiteral("pnlSettings"));
    auto* grid = new QGridLayout(area);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);

    auto* profileLabel = new QLabel(QStringLiteral("Output profile:"), area);
    profileLabel->setObjectName(QStringLiteral("lblCaption"));
    grid->addWidget(profileLabel, 0, 0);
    profileBox_ = new ProfileBox(global_.Files(), area);
    grid->addWidget(profileBox_, 0, 1);
    auto* settings = CommandButton(QStringLiteral("Settings"), "btnSettings", CommandIcon::Settings,
                                   QStringLiteral("Encoder settings of the current profile"), area);
    grid->addWidget(settings, 0, 2, 1, 2);
    connect(settings, &QPushButton::clicked, this, &MainWindow::ProfileSettings);
    connect(profileBox_, &ProfileBox::profileChosen, this, [this](int code, const QString& name) {
        Log(QStringLiteral("Profile %1: %2").arg(code).arg(name));
    });

    auto* folderLabel = new QLabel(QStringLiteral("Output folder:"), area);
    folderLabel->setObjectName(QStringLiteral("lblCaption"));
    grid->addWidget(folderLabel, 1, 0);
    outputFolder_ = new QLineEdit(area);
    outputFolder_->setObjectName(QStringLiteral("edtOutputDir"));
    outputFolder_->setReadOnly(true);
    grid->addWidget(outputFolder_, 1, 1);
    auto* browse =
        CommandButton(QStringLiteral("Browse"), "btnBrowse", CommandIcon::Browse,
                      QStringLiteral("Choose the folder the converted files go to"), area);
    auto* open = CommandButton(QStringLiteral("Open"), "btnOpen", CommandIcon::Open,
                               QStringLiteral("Show the output folder in the file manager"), area);
    grid->addWidget(browse, 1, 2);
    grid->addWidget(open, 1, 3);
    grid->setColumnStretch(1, 1);
    connect(browse, &QPushButton::clicked, this, &MainWindow::BrowseCommand);
    connect(open, &QPushButton::clicked, this, &MainWindow::OpenCommand);
    return area;
}

void MainWindow::BuildMenus() {
    const auto entry = [this](QMenu* menu, const QString& text, auto slot) {
        QAction* action = menu->addAction(text);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    // The File menu's keys work in the whole window, the menu only shows them.
    const auto keyed = [this](QAction* action, const QKeySequence& key) {
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    };
    keyed(entry(fileMenu_, QStringLiteral("&Add"), &MainWindow::AddCommand), QKeySequence::Open);
    keyed(entry(fileMenu_, QStringLiteral("&Remove"), &MainWindow::RemoveCommand),
          QKeySequence::Delete);
    entry(fileMenu_, QStringLiteral("&Clear"), &MainWindow::ClearCommand);
    keyed(entry(fileMenu_, QStringLiteral("&Start"), &MainWindow::StartCommand),
          QKeySequence(Qt::CTRL | Qt::Key_Return));
    fileMenu_->addSeparator();
    entry(fileMenu_, QStringLiteral("Se&ttings"), &MainWindow::ProfileSettings);
    keyed(entry(fileMenu_, QStringLiteral("&Exit"), &MainWindow::close), QKeySequence::Quit);

    entry(editMenu_, QStringLiteral("&Crop"), &MainWindow::CropCommand);
    entry(editMenu_, QStringLiteral("&Trim"), &MainWindow::TrimCommand);
    entry(editMenu_, QStringLiteral("&Video Effect && Water Mark"), &MainWindow::WatermarkCommand);
    editMenu_->addSeparator();
    entry(editMenu_, QStringLiteral("&Add"), &MainWindow::AddCommand);
    entry(editMenu_, QStringLiteral("&Remove"), &MainWindow::RemoveCommand);
    entry(editMenu_, QStringLiteral("&Clear"), &MainWindow::ClearCommand);
    entry(editMenu_, QStringLiteral("&Start"), &MainWindow::StartCommand);
    editMenu_->addSeparator();
    entry(editMenu_, QStringLiteral("Video &Information"), &MainWindow::ShowFileInformation);
    connect(editMenu_, &QMenu::aboutToShow, this, &MainWindow::UpdateEditMenu);

    keyed(entry(helpMenu_, QStringLiteral("&Help"), &MainWindow::ShowHelp),
          QKeySequence::HelpContents);
    helpMenu_->addSeparator();
    entry(helpMenu_, QStringLiteral("&About"), &MainWindow::ShowAbout);
}

void MainWindow::ConnectList() {
    connect(list_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { editMenu_->popup(list_->viewport()->mapToGlobal(at)); });
    connect(list_, &JobListView::filesDropped, this, &MainWindow::AddFiles);
    connect(list_, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { PlayRow(index.row()); });
    connect(list_, &QAbstractItemView::clicked, this, [this] { UpdateNavigation(); });
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) {
                    jobs_.Select(current.row());
                }
            });
    connect(model_.get(), &JobListModel::listSelectionChanged, this,
            &MainWindow::ShowListSelection);
    for (const auto change :
         {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(model_.get(), change, this, [this] {
            UpdateCommands();
            UpdateNavigation();
        });
    }
    connect(model_.get(), &QAbstractItemModel::modelReset, this, [this] {
        UpdateCommands();
        UpdateNavigation();
    });
}

void MainWindow::ConnectPreview() {
    connect(preview_.get(), &PreviewPanel::playRequested, this, &MainWindow::PlayCommand);
    connect(preview_.get(), &PreviewPanel::previousRequested, this, &MainWindow::PreviousCommand);
    connect(preview_.get(), &PreviewPanel::nextRequested, this, &MainWindow::NextCommand);
    connect(preview_.get(), &PreviewPanel::snapshotRequested, this,
            &MainWindow::SavePreviewSnapshot);
    connect(preview_.get(), &PreviewPanel::logLine, this, &MainWindow::Log);
}

void MainWindow::ShowListSelection(int row) {
    QItemSelectionModel* selection = list_->selectionModel();
    if (row < 0 || row >= model_->rowCount()) {
        selection->clear();
    } else {
        const QModelIndex index = model_->index(row, 0);
        selection->setCurrentIndex(index,
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        list_->scrollTo(index);
    }
    UpdateCommands();
    UpdateNavigation();
}

void MainWindow::UpdateCommands() {
    const bool idle = !batch_.Running();
    add_->setEnabled(idle);
    remove_->setEnabled(idle && jobs_.Selected() >= 0);
    clear_->setEnabled(idle && !jobs_.Empty());
    start_->setEnabled(idle && !jobs_.Empty());
    // The File menu's first four entries are the same commands (and keys).
    const QList<QAction*> file = fileMenu_->actions();
    file[0]->setEnabled(add_->isEnabled());
    file[1]->setEnabled(remove_->isEnabled());
    file[2]->setEnabled(clear_->isEnabled());
    file[3]->setEnabled(start_->isEnabled());
}

void MainWindow::UpdateEditMenu() {
    // Everything but Add needs a selected row.
    const bool row = !jobs_.Empty() && jobs_.Selected() >= 0 && !batch_.Running();
    for (QAction* action : editMenu_->actions()) {
        if (!action->isSeparator()) {
            action->setEnabled(row || action->text() == QStringLiteral("&Add"));
        }
    }
}

void MainWindow::UpdateNavigation() {
    const int focused = std::max(jobs_.Selected(), 0);
    preview_->SetNavigation(focused > 0, focused + 1 < jobs_.RowCount());
}

QString MainWindow::TitleText() const {
    return title_->text();
}

QString MainWindow::LogText() const {
    return log_->toPlainText();
}

void MainWindow::Log(const QString& line) {
    if (!line.isEmpty()) {
        log_->appendPlainText(line);
    }
}

void MainWindow::SetMessageFunction(MessageFunction show) {
    messages_ = show;
    prompter_.SetMessageFunction(std::move(show));
}

bool MainWindow::Confirm(const QString& caption, const QString& text) {
    return messages_ && messages_({MessageIcon::Question, caption, text});
}

void MainWindow::Warn(const QString& caption, const QString& text) {
    if (messages_) {
        messages_({MessageIcon::Warning, caption, text});
    }
}

void MainWindow::Inform(const QString& caption, const QString& text) {
    if (messages_) {
        messages_({MessageIcon::Information, caption, text});
    }
}

ProgressWindow& MainWindow::EnsureProgressWindow() {
    if (!progressWindow_) {
        progressWindow_ = std::make_unique<ProgressWindow>(batch_, this);
        progressWindow_->SetNextObserver(relay_.get());
        connect(progressWindow_.get(), &ProgressWindow::snapshotRequested, this,
                &MainWindow::SaveBatchSnapshot);
    }
    return *progressWindow_;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (confirmExit_ &&
        !Confirm(QStringLiteral("Warning"), QStringLiteral("Do you really want to exit?"))) {
        event->ignore();
        return;
    }
    if (batch_.Running()) {
        // The batch's window is open further down this call chain: stop the batch, and let
        // the close come again once that window has gone.
        confirmExit_ = false;
        closeAfterBatch_ = true;
        batch_.Cancel();
        event->ignore();
        return;
    }
    ShutDown();
    event->accept();
}

void MainWindow::ShutDown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    profileBox_->SaveState();
    batch_.Cancel();
    converter_.Stop(true);
    preview_->Stop();
}

}  // namespace quillo::gui
