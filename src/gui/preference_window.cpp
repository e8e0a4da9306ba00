#include "gui/preference_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <optional>

#include "app/global_object.h"
#include "gui/folder_checks.h"
#include "gui/skin.h"
#include "gui/snapshot_writer.h"
#include "profiles/ini_file.h"
#include "profiles/output_naming.h"
#include "profiles/settings_keys.h"

namespace quillo::gui {

namespace {

namespace keys = profiles::settings;

// What "&Default" puts in the controls.
constexpr int kDefaultQuality = 20;

QString FromPath(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

QPushButton* MakeButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QCheckBox* MakeCheckBox(const QString& text, const char* name, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QLabel* MakeCaption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("lblCaption"));
    return label;
}

}  // namespace

PreferenceWindow::PreferenceWindow(profiles::ProfileFiles files, app::SystemServices& system,
                                   MessageFunction show, ChooseFolderFunction chooseFolder,
                                   QWidget* parent)
    : QDialog(parent),
      files_(std::move(files)),
      system_(system),
      show_(std::move(show)),
      chooseFolder_(std::move(chooseFolder)) {
    setObjectName(QStringLiteral("PreferenceWindow"));
    setWindowTitle(QStringLiteral("Preference"));
    setModal(true);

    auto* folderGroup = new QGroupBox(QStringLiteral("Snapshot folder"), this);
    folder_ = new QLineEdit(folderGroup);
    folder_->setObjectName(QStringLiteral("edtSnapshotFolder"));
    folder_->setReadOnly(true);
    auto* browse = MakeButton(QStringLiteral("&Brows"), "btnBrowse", folderGroup);
    browse->setIcon(MakeCommandIcon(CommandIcon::Browse));
    browse->setToolTip(QStringLiteral("Choose the folder the snapshot pictures go to"));
    auto* open = MakeButton(QStringLiteral("&Open"), "btnOpen", folderGroup);
    open->setIcon(MakeCommandIcon(CommandIcon::Open));
    open->setToolTip(QStringLiteral("Show the snapshot folder in the file manager"));
    auto* folderRow = new QHBoxLayout(folderGroup);
    folderRow->setSpacing(8);
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(browse);
    folderRow->addWidget(open);

    auto* pictureGroup = new QGroupBox(QStringLiteral("Snapshot pictures"), this);
    fullSize_ = MakeCheckBox(QStringLiteral("Full Size"), "chkFullSize", pictureGroup);
    smallSize_ = MakeCheckBox(QStringLiteral("Small Size"), "chkSmallSize", pictureGroup);
    bmp_ = MakeCheckBox(QStringLiteral("BMP"), "chkBmp", pictureGroup);
    jpg_ = MakeCheckBox(QStringLiteral("JPG"), "chkJpg", pictureGroup);
    qualityBar_ = new QSlider(Qt::Horizontal, pictureGroup);
    qualityBar_->setObjectName(QStringLiteral("trcQuality"));
    qualityBar_->setRange(1, 100);
    qualityBar_->setPageStep(10);
    qualityBox_ = new QSpinBox(pictureGroup);
    qualityBox_->setObjectName(QStringLiteral("spnQuality"));
    qualityBox_->setRange(1, 100);
    auto* pictures = new QGridLayout(pictureGroup);
    pictures->setHorizontalSpacing(12);
    pictures->setVerticalSpacing(8);
    pictures->addWidget(MakeCaption(QStringLiteral("Size:"), pictureGroup), 0, 0);
    pictures->addWidget(fullSize_, 0, 1, Qt::AlignLeft);
    pictures->addWidget(smallSize_, 0, 2, Qt::AlignLeft);
    pictures->addWidget(MakeCaption(QStringLiteral("Format:"), pictureGroup), 1, 0);
    pictures->addWidget(bmp_, 1, 1, Qt::AlignLeft);
    pictures->addWidget(jpg_, 1, 2, Qt::AlignLeft);
    pictures->addWidget(MakeCaption(QStringLiteral("JPEG quality:"), pictureGroup), 2, 0);
    auto* quality = new QHBoxLayout;
    quality->setSpacing(8);
    quality->addWidget(qualityBar_, 1);
    quality->addWidget(qualityBox_);
    pictures->addLayout(quality, 2, 1, 1, 3);
    pictures->setColumnStretch(3, 1);

    auto* priorityGroup = new QGroupBox(QStringLiteral("Work priority"), this);
    priority_ = new QComboBox(priorityGroup);
    priority_->setObjectName(QStringLiteral("cmbPriority"));
    // In the order of the stored values 0..3.
    priority_->addItems({QStringLiteral("Idle"), QStringLiteral("Normal"), QStringLiteral("Lower"),
                         QStringLiteral("Lowest")});
    auto* priorityRow = new QHBoxLayout(priorityGroup);
    priorityRow->setSpacing(8);
    priorityRow->addWidget(MakeCaption(QStringLiteral("Conversion priority:"), priorityGroup));
    priorityRow->addWidget(priority_);
    priorityRow->addStretch(1);

    auto* defaults = MakeButton(QStringLiteral("&Default"), "btnDefault", this);
    auto* ok = MakeButton(QStringLiteral("&Ok"), "btnOk", this);
    ok->setDefault(true);
    auto* cancel = MakeButton(QStringLiteral("&Cancel"), "btnCancel", this);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(defaults);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(10);
    layout->addWidget(folderGroup);
    layout->addWidget(pictureGroup);
    layout->addWidget(priorityGroup);
    layout->addStretch(1);
    layout->addLayout(buttons);
    setFixedSize(480, 390);

    connect(browse, &QPushButton::clicked, this, &PreferenceWindow::Browse);
    connect(open, &QPushButton::clicked, this, &PreferenceWindow::OpenFolder);
    connect(defaults, &QPushButton::clicked, this, &PreferenceWindow::Defaults);
    connect(ok, &QPushButton::clicked, this, &PreferenceWindow::Store);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(fullSize_, &QCheckBox::toggled, this,
            [this] { KeepOneChecked(fullSize_, smallSize_); });
    connect(smallSize_, &QCheckBox::toggled, this,
            [this] { KeepOneChecked(smallSize_, fullSize_); });
    connect(bmp_, &QCheckBox::toggled, this, [this] { KeepOneChecked(bmp_, jpg_); });
    connect(jpg_, &QCheckBox::toggled, this, [this](bool checked) {
        qualityBar_->setEnabled(checked);
        qualityBox_->setEnabled(checked);
        KeepOneChecked(jpg_, bmp_);
    });
    connect(qualityBar_, &QSlider::valueChanged, qualityBox_, &QSpinBox::setValue);
    connect(qualityBox_, &QSpinBox::valueChanged, qualityBar_, &QSlider::setValue);
}

void PreferenceWindow::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        LoadSettings();
    }
    QDialog::showEvent(event);
}

void PreferenceWindow::LoadSettings() {
    const profiles::IniFile settings(files_.Settings);
    const std::filesystem::path fallback = profiles::DefaultOutputFolder();
    std::filesystem::path folder =
        settings.ReadString(keys::Section, keys::SnapshotFolder, fallback.string());
    if (!folder.is_absolute() || !MakeFolder(folder) ||
        !app::GlobalObject::IsFolderWritable(folder)) {
        folder = fallback;
        MakeFolder(folder);
        settings.WriteString(keys::Section, keys::SnapshotFolder, folder.string());
    }
    folder_->setText(FromPath(folder));

    const SnapshotChoices choices = ReadSnapshotChoices(settings);
    {
        // Set as stored; only a stored pair with both off needs the rule below.
        const QSignalBlocker blockFull(fullSize_);
        const QSignalBlocker blockSmall(smallSize_);
        const QSignalBlocker blockBmp(bmp_);
        const QSignalBlocker blockJpg(jpg_);
        fullSize_->setChecked(choices.FullSize || !choices.SmallSize);
        smallSize_->setChecked(choices.SmallSize);
        bmp_->setChecked(choices.Bmp || !choices.Jpg);
        jpg_->setChecked(choices.Jpg);
    }
    qualityBar_->setEnabled(jpg_->isChecked());
    qualityBox_->setEnabled(jpg_->isChecked());
    qualityBox_->setValue(choices.JpegQuality);

    const int priority = settings.ReadInteger(keys::Section, keys::Priority, keys::PriorityDefault);
    priority_->setCurrentIndex(
        priority >= 0 && priority < priority_->count() ? priority : keys::PriorityDefault);
}

void PreferenceWindow::KeepOneChecked(QCheckBox* box, const QCheckBox* partner) {
    if (!box->isChecked() && !partner->isChecked()) {
        box->setChecked(true);
    }
}

void PreferenceWindow::Warn(const QString& text) const {
    if (show_) {
        show_({MessageIcon::Warning, QStringLiteral("Warning"), text});
    }
}

void PreferenceWindow::Browse() {
    const QString chosen =
        chooseFolder_
            ? chooseFolder_(this, QStringLiteral("Select the snapshot folder"), folder_->text())
            : QString();
    if (chosen.isEmpty()) {
        return;
    }
    const QString folder = QDir::cleanPath(chosen);
    if (folder == folder_->text()) {
        return;
    }
    const std::optional<std::filesystem::path> stored = AcceptChosenFolder(folder, show_);
    if (!stored) {
        return;
    }
    profiles::IniFile(files_.Settings)
        .WriteString(keys::Section, keys::SnapshotFolder, stored->string());
    folder_->setText(FromPath(*stored));
}

void PreferenceWindow::OpenFolder() {
    if (folder_->text().size() <= 2) {
        return;
    }
    const std::string folder = profiles::IniFile(files_.Settings)
                                   .ReadString(keys::Section, keys::SnapshotFolder,
                                               profiles::DefaultOutputFolder().string());
    if (!system_.OpenFolder(folder)) {
        Warn(QStringLiteral("The folder %1 could not be shown: no file manager answered.")
                 .arg(QString::fromStdString(folder)));
    }
}

void PreferenceWindow::Defaults() {
    folder_->setText(FromPath(profiles::DefaultOutputFolder()));
    // The boxes that come on first, so that the rule never turns the others on again.
    bmp_->setChecked(true);
    fullSize_->setChecked(true);
    jpg_->setChecked(false);
    smallSize_->setChecked(false);
    priority_->setCurrentIndex(keys::PriorityDefault);
    qualityBox_->setValue(kDefaultQuality);
}

void PreferenceWindow::Store() {
    const profiles::IniFile settings(files_.Settings);
    const QString folder =
        folder_->text().isEmpty() ? FromPath(profiles::DefaultOutputFolder()) : folder_->text();
    settings.WriteString(keys::Section, keys::SnapshotFolder, folder.toStdString());
    settings.WriteInteger(keys::Section, keys::SnapBmp, bmp_->isChecked() ? 1 : 0);
    settings.WriteInteger(keys::Section, keys::SnapJpg, jpg_->isChecked() ? 1 : 0);
    settings.WriteInteger(keys::Section, keys::SnapFullSize, fullSize_->isChecked() ? 1 : 0);
    settings.WriteInteger(keys::Section, keys::SnapSmallSize, smallSize_->isChecked() ? 1 : 0);
    if (qualityBox_->value() > 0) {
        settings.WriteInteger(keys::Section, keys::JpegQuality, qualityBox_->value());
    }
    settings.WriteInteger(keys::Section, keys::Priority, priority_->currentIndex());
    accept();
}

}  // namespace quillo::gui
