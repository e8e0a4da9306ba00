#include "gui/settings_window.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <string>
#include <utility>

#include "gui/choice_line_delegate.h"
#include "gui/profile_box.h"
#include "media/media_error.h"
#include "profiles/ini_file.h"
#include "profiles/ini_transaction.h"
#include "profiles/profile_catalogue.h"

namespace quillo::gui {

namespace {

namespace values = settings_values;
using values::Checked;

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

QComboBox* MakeBox(const char* name, bool editable, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(editable);
    // A typed value is a value of its own, never a new item of the list.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setItemDelegate(new ChoiceLineDelegate(box));
    // Room for the longest item of the catalogue ("stereo 2 channels") whatever the profile.
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(16);
    return box;
}

QPushButton* MakeButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QLabel* MakeCaption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("lblCaption"));
    return label;
}

// One of the catalogue's nine lists of a profile and where its choice is stored.
struct ListKeys {
    QComboBox* box;
    const char* list;   // the catalogue's key
    const char* index;  // the selection index in the settings file
    // Editable boxes: the stored text shown for a typed value, and its default.
    const char* parameter;
    const char* defaultText;
};

// The item, or -1 when the text was typed and matches none.
int IndexOfText(const QComboBox& box) {
    return box.findText(box.currentText(), Qt::MatchFixedString | Qt::MatchCaseSensitive);
}

// Selects the item, or the first one when there is no such item; a typed text goes too.
void SelectItem(QComboBox& box, int index) {
    const int chosen = index >= 0 && index < box.count() ? index : (box.count() > 0 ? 0 : -1);
    box.setCurrentIndex(chosen);
    if (box.isEditable()) {
        box.setEditText(box.itemText(chosen));
    }
}

}  // namespace

SettingsWindow::SettingsWindow(profiles::ProfileFiles files, MessageFunction show, QWidget* parent)
    : QDialog(parent), files_(std::move(files)), show_(std::move(show)) {
    setObjectName(QStringLiteral("SettingsWindow"));
    setWindowTitle(QStringLiteral("Settings"));
    setModal(true);
    // A box without choices looks as disabled as the skin's disabled buttons: the typing boxes
    // are white otherwise, whatever their state.
    QPalette shaded = palette();
    shaded.setColor(QPalette::Disabled, QPalette::Base, QColor(0xee, 0xf1, 0xf7));
    setPalette(shaded);
    setStyleSheet(QStringLiteral("QComboBox:disabled, QLineEdit:disabled { color: #9aa3b5; }"));
    BuildWindow();
}

void SettingsWindow::BuildWindow() {
    profileBox_ = new ProfileBox(files_, this);
    profileBox_->SetStoresChoice(false);
    auto* profileRow = new QHBoxLayout;
    profileRow->setSpacing(8);
    profileRow->addWidget(MakeCaption(QStringLiteral("Profile:"), this));
    profileRow->addWidget(profileBox_, 1);

    auto* video = new QGroupBox(QStringLiteral("Video Options"), this);
    videoSize_ = MakeBox("cmbVideoSize", true, video);
    videoEncoder_ = MakeBox("cmbVideoEncoder", false, video);
    videoBitRate_ = MakeBox("cmbVideoBitRate", true, video);
    frameRate_ = MakeBox("cmbFrameRate", true, video);
    zoom_ = MakeBox("cmbZoom", false, video);
    zoom_->addItems(values::ZoomItems());
    auto* videoGrid = new QGridLayout(video);
    videoGrid->setHorizontalSpacing(8);
    videoGrid->setVerticalSpacing(8);
    const std::pair<const char*, QComboBox*> videoRows[] = {{"Frame Size:", videoSize_},
                                                            {"Encoder:", videoEncoder_},
                                                            {"BitRate (Kbps):", videoBitRate_},
                                                            {"FrameRate (Fps):", frameRate_},
                                                            {"Zoom:", zoom_}};
    int row = 0;
    for (const auto& [caption, box] : videoRows) {
        videoGrid->addWidget(MakeCaption(QString::fromLatin1(caption), video), row, 0);
        videoGrid->addWidget(box, row++, 1);
    }
    videoGrid->setColumnStretch(1, 1);

    auto* audio = new QGroupBox(QStringLiteral("Audio Options"), this);
    sampleRate_ = MakeBox("cmbSamplerate", true, audio);
    audioEncoder_ = MakeBox("cmbAudioEncoder", false, audio);
    channel_ = MakeBox("cmbChannel", false, audio);
    audioBitRate_ = MakeBox("cmbAudioBitRate", true, audio);
    volume_ = MakeBox("cmbVolume", false, audio);
    auto* audioGrid = new QGridLayout(audio);
    audioGrid->setHorizontalSpacing(8);
    audioGrid->setVerticalSpacing(8);
    const std::pair<const char*, QComboBox*> audioRows[] = {{"SampleRate (Hz):", sampleRate_},
                                                            {"Encoder:", audioEncoder_},
                                                            {"Channel:", channel_},
                                                            {"BitRate (Kbps):", audioBitRate_},
                                                            {"Volume:", volume_}};
    row = 0;
    for (const auto& [caption, box] : audioRows) {
        audioGrid->addWidget(MakeCaption(QString::fromLatin1(caption), audio), row, 0);
        audioGrid->addWidget(box, row++, 1);
    }
    audioGrid->setColumnStretch(1, 1);

    auto* groups = new QHBoxLayout;
    groups->setSpacing(10);
    groups->addWidget(video, 1);
    groups->addWidget(audio, 1);

    auto* hint = new QLabel(QStringLiteral("Choose from a list or type a value: the frame size as "
                                           "width x height, bit rates in kbit/s, the sample rate "
                                           "in Hz. \"as source\" keeps the source's own."),
                            this);
    hint->setObjectName(QStringLiteral("lblCaption"));
    hint->setWordWrap(true);

    auto* defaults = MakeButton(QStringLiteral("&Default"), "btnDefault", this);
    defaults->setToolTip(QStringLiteral("Select the profile's own choices"));
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
    layout->addLayout(profileRow);
    layout->addLayout(groups);
    layout->addWidget(hint);
    layout->addStretch(1);
    layout->addLayout(buttons);
    // Wider than 475 x 370 when the captions and the items need it.
    const QSize needed = layout->sizeHint();
    setFixedSize(std::max(475, needed.width()), std::max(370, needed.height()));

    using values::TypedBox;
    fields_ = {
        {videoSize_, &values::CheckFrameSize, QStringLiteral("Frame Size is not a valid value!"),
         TypedBox::FrameSize},
        {videoBitRate_, &values::CheckVideoBitRate,
         QStringLiteral("Video BitRate is not a valid value!"), TypedBox::VideoBitRate},
        {frameRate_, &values::CheckFrameRate,
         QStringLiteral("Video FrameRate is not a valid value!"), std::nullopt},
        {sampleRate_, &values::CheckSampleRate,
         QStringLiteral("Audio SampleRate is not a valid value!"), TypedBox::SampleRate},
        {audioBitRate_, &values::CheckAudioBitRate,
         QStringLiteral("Audio BitRate is not a valid value!"), TypedBox::AudioBitRate},
    };
    for (const TypedField& field : fields_) {
        field.Box->installEventFilter(this);
    }

    connect(profileBox_, &ProfileBox::profileChosen, this,
            [this](int code, const QString& name) { LoadProfile(code, name); });
    connect(defaults, &QPushButton::clicked, this, &SettingsWindow::Defaults);
    connect(ok, &QPushButton::clicked, this, &SettingsWindow::Store);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void SettingsWindow::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        profileBox_->Build();
        LoadProfile(profiles::CurrentFormatCode(files_),
                    FromStd(profiles::CurrentFormatName(files_)));
    }
    QDialog::showEvent(event);
}

void SettingsWindow::LoadProfile(int code, const QString& name) {
    code_ = code;
    name_ = name;
    FillControls();
}

void SettingsWindow::FillControls() {
    const std::string section = profiles::FormatSection(code_);
    const profiles::IniFile settings(files_.Settings);
    const ListKeys lists[] = {
        {videoSize_, "VideoSize", "iVideoSize", "paraVideoSize", "320x240"},
        {videoEncoder_, "VideoEncoder", "iVideoEncoder", nullptr, nullptr},
        {videoBitRate_, "VideoBitRate", "iVideoBitRate", "paraVideoBitRate", "800"},
        {frameRate_, "FrameRate", "iFrameRate", "paraFrameRate", "25"},
        {sampleRate_, "SampleRate", "iSampleRate", "paraSampleRate", "44100"},
        {audioEncoder_, "AudioEncoder", "iAudioEncoder", nullptr, nullptr},
        {channel_, "Channel", "iChannel", nullptr, nullptr},
        {audioBitRate_, "AudioBitRate", "iAudioBitRate", "paraAudioBitRate", "96"},
        {volume_, "Volume", "iVolume", nullptr, nullptr},
    };
    for (const ListKeys& keys : lists) {
        QComboBox& box = *keys.box;
        box.clear();
        const std::vector<std::string> items = profiles::ReadValueList(files_, code_, keys.list);
        for (const std::string& item : items) {
            box.addItem(FromStd(item));
        }
        box.setEnabled(!items.empty());
        box.setMaxVisibleItems(std::max(1, box.count()));
        const int index = settings.ReadInteger(section, keys.index, 0);
        if (keys.parameter != nullptr && (index < 0 || index >= box.count())) {
            // A typed value: shown as it was stored. A box without choices shows only what is
            // really stored (such as a fixed "as source"), never a default that is not used.
            box.setCurrentIndex(-1);
            box.setEditText(FromStd(settings.ReadString(section, keys.parameter,
                                                        box.isEnabled() ? keys.defaultText : "")));
        } else {
            SelectItem(box, index);
        }
    }
    zoom_->setCurrentIndex(
        values::ZoomIndex(FromStd(settings.ReadString(section, "paraZoom", "full"))));
    zoom_->setEnabled(true);
    // A profile without video encoders (or audio encoders) converts no pictures (or sound).
    if (videoEncoder_->count() == 0) {
        for (QComboBox* box : {videoSize_, videoEncoder_, videoBitRate_, frameRate_, zoom_}) {
            box->setEnabled(false);
        }
        zoom_->setCurrentIndex(-1);
    }
    if (audioEncoder_->count() == 0) {
        for (QComboBox* box : {sampleRate_, audioEncoder_, channel_, audioBitRate_, volume_}) {
            box->setEnabled(false);
        }
    }
}

void SettingsWindow::Defaults() {
    const profiles::IniFile catalogue(files_.Catalogue);
    const std::string section = profiles::FormatSection(code_);
    const std::pair<QComboBox*, const char*> indexes[] = {{videoSize_, "iVideoSize"},
                                                          {videoEncoder_, "iVideoEncoder"},
                                                          {videoBitRate_, "iVideoBitRate"},
                                                          {frameRate_, "iFrameRate"},
                                                          {sampleRate_, "iSampleRate"},
                                                          {audioEncoder_, "iAudioEncoder"},
                                                          {channel_, "iChannel"},
                                                          {audioBitRate_, "iAudioBitRate"},
                                                          {volume_, "iVolume"}};
    for (const auto& [box, key] : indexes) {
        SelectItem(*box, catalogue.ReadInteger(section, key, 0));
    }
    zoom_->setCurrentIndex(0);
}

const SettingsWindow::TypedField* SettingsWindow::FieldOf(const QObject* box) const {
    for (const TypedField& field : fields_) {
        if (field.Box == box) {
            return &field;
        }
    }
    return nullptr;
}

bool SettingsWindow::eventFilter(QObject* watched, QEvent* event) {
    const TypedField* field = FieldOf(watched);
    if (field == nullptr) {
        return QDialog::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress && field->Filter) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Keys without a character (moving, deleting, shortcuts) pass; pasted text is checked
        // when the box is left.
        if ((key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0 &&
            key->text().size() == 1 && key->text().front().isPrint()) {
            return RefuseKey(*field, key->text());
        }
    }
    if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // The box's own list opening, or another window coming up, is no leaving of the box.
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            // After the focus has moved, so that no message box opens inside the focus change.
            QComboBox* box = field->Box;
            QTimer::singleShot(0, this, [this, box] {
                if (const TypedField* left = FieldOf(box);
                    left && isVisible() && box->isEnabled()) {
                    CheckField(*left);
                }
            });
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool SettingsWindow::RefuseKey(const TypedField& field, const QString& typed) {
    const QLineEdit* edit = field.Box->lineEdit();
    QString result = edit->text();
    if (edit->hasSelectedText()) {
        result.replace(edit->selectionStart(), edit->selectedText().size(), typed);
    } else {
        result.insert(edit->cursorPosition(), typed);
    }
    QStringList items;
    for (int i = 0; i < field.Box->count(); ++i) {
        items.push_back(field.Box->itemText(i));
    }
    if (values::JudgeTypedCharacter(*field.Filter, typed.front(), result, items) ==
        values::KeyVerdict::Take) {
        return false;
    }
    QApplication::beep();
    if (field.Filter != values::TypedBox::FrameSize) {
        Warn(QStringLiteral("Warning"), QStringLiteral("Please enter numerical."));
    }
    return true;
}

bool SettingsWindow::CheckField(const TypedField& field) {
    QComboBox& box = *field.Box;
    const QString text = box.currentText();
    const Checked checked = field.Check(text);
    switch (checked.Result) {
        case Checked::Verdict::Fine:
            if (checked.Text != text) {
                box.setEditText(checked.Text);
            }
            return true;
        case Checked::Verdict::Corrected:
            box.setEditText(checked.Text);
            Warn(QStringLiteral("Input Error!"),
                 QStringLiteral("Frame Size must be a multiple of 2.\nThe correct value:") +
                     checked.Text);
            return false;
        case Checked::Verdict::Invalid:
            // Back to a choice of the list (the second, past "as source" where there is one).
            SelectItem(box, box.count() > 1 ? 1 : 0);
            Warn(QStringLiteral("Warning"), field.InvalidMessage);
            return false;
    }
    return false;
}

bool SettingsWindow::CheckVolume() {
    if (!volume_->isEnabled()) {
        return true;
    }
    if (volume_->currentIndex() < 0) {
        Warn(QStringLiteral("Warning"), QStringLiteral("Please choose a volume."));
        return false;
    }
    if (!values::VolumeValue(volume_->currentText()).Number) {
        Warn(QStringLiteral("Warning"),
             QStringLiteral("The volume \"%1\" is not a percentage such as 100%.")
                 .arg(volume_->currentText()));
        return false;
    }
    return true;
}

void SettingsWindow::Store() {
    for (const TypedField& field : fields_) {
        if (field.Box->isEnabled() && !CheckField(field)) {
            field.Box->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    if (!CheckVolume()) {
        return;
    }

    // Everything is known to be storable: gather it, then write it in one go.
    std::vector<std::pair<std::string, std::string>> writes;
    const auto put = [&writes](const char* key, const QString& value) {
        writes.emplace_back(key, value.toStdString());
    };
    const auto putIndex = [&put](const char* key, int index) { put(key, QString::number(index)); };
    put("Description", name_);
    const std::pair<QComboBox*, const char*> typed[] = {{videoSize_, "VideoSize"},
                                                        {videoBitRate_, "VideoBitRate"},
                                                        {frameRate_, "FrameRate"},
                                                        {sampleRate_, "SampleRate"},
                                                        {audioBitRate_, "AudioBitRate"}};
    // A disabled box offers no choice, and what is stored for it stays.
    for (const auto& [box, key] : typed) {
        if (box->isEnabled()) {
            const std::string name(key);
            writes.emplace_back("i" + name, std::to_string(IndexOfText(*box)));
            writes.emplace_back("para" + name, box->currentText().toStdString());
        }
    }
    if (videoEncoder_->isEnabled()) {
        putIndex("iVideoEncoder", videoEncoder_->currentIndex());
        if (const auto encoder = values::VideoEncoderValue(videoEncoder_->currentText())) {
            put("paraVideoEncoder", *encoder);
        }
        if (values::IsH264(videoEncoder_->currentText())) {
            for (auto& extra : values::H264Extras(files_, code_)) {
                writes.push_back(std::move(extra));
            }
        }
    }
    if (zoom_->isEnabled()) {
        put("paraZoom", values::ZoomKeyword(zoom_->currentIndex()));
    }
    if (channel_->isEnabled()) {
        putIndex("iChannel", channel_->currentIndex());
        if (const auto channels = values::ChannelValue(channel_->currentText())) {
            put("paraChannel", *channels);
        }
    }
    if (volume_->isEnabled()) {
        putIndex("iVolume", volume_->currentIndex());
        if (const auto volume = values::VolumeValue(volume_->currentText()).Value) {
            put("paraVolume", *volume);
        }
    }
    if (audioEncoder_->isEnabled()) {
        putIndex("iAudioEncoder", audioEncoder_->currentIndex());
        if (const auto encoder = values::AudioEncoderValue(audioEncoder_->currentText())) {
            put("paraAudioEncoder", *encoder);
        }
        if (values::IsGsm(audioEncoder_->currentText())) {
            put("paraSampleRate", QString::fromLatin1(values::GsmSampleRate));
            put("paraChannel", QString::fromLatin1(values::GsmChannels));
        }
    }

    try {
        profiles::IniTransaction transaction(files_.Settings);
        const std::string section = profiles::FormatSection(code_);
        for (const auto& [key, value] : writes) {
            transaction.File().WriteString(section, key, value);
        }
        const profiles::ProfileFiles staged{transaction.File().Path(), files_.Catalogue};
        profileBox_->Lines().SaveState(staged);
        profiles::StoreCurrentProfile(staged, code_, name_.toStdString());
        transaction.Commit();
    } catch (const media::MediaError& error) {
        Warn(QStringLiteral("Warning"),
             QStringLiteral("The settings were not stored.\n") + FromStd(error.what()));
        return;
    }
    accept();
}

void SettingsWindow::Warn(const QString& caption, const QString& text) const {
    if (show_) {
        show_({MessageIcon::Warning, caption, text});
    }
}

}  // namespace quillo::gui
