#pragma once

#include <QDialog>
#include <QString>
#include <optional>
#include <vector>

#include "gui/message_boxes.h"
#include "gui/settings_values.h"
#include "profiles/profile_files.h"

class QComboBox;

namespace quillo::gui {

class ProfileBox;

// "Settings" (modal): the encoder choices of one profile, stored in the program settings file's
// "formatInfo<code>" section. Controls (objectName): "cmbProfile" (a profile box of its own,
// picking a profile here only changes the profile being edited), "cmbVideoSize",
// "cmbVideoEncoder", "cmbVideoBitRate", "cmbFrameRate", "cmbZoom", "cmbSamplerate",
// "cmbAudioEncoder", "cmbChannel", "cmbAudioBitRate", "cmbVolume", "btnDefault", "btnOk",
// "btnCancel". The lists come from the profile's catalogue section; frame size, frame rate,
// bit rates and sample rate also take typed values, checked when their box is left and again
// by "&Ok". Every showing starts from the stored current profile; "&Default" selects the
// catalogue's choices; "&Ok" checks everything first and then stores all of it (the choices,
// the list's collapse states and the edited profile as the current one) or nothing.
class SettingsWindow : public QDialog {
    Q_OBJECT
public:
    SettingsWindow(profiles::ProfileFiles files, MessageFunction show, QWidget* parent = nullptr);

    // The profile being edited.
    int ProfileCode() const { return code_; }
    const QString& ProfileName() const { return name_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A box that takes typed values.
    struct TypedField {
        QComboBox* Box;
        settings_values::Checked (*Check)(const QString&);
        QString InvalidMessage;
        std::optional<settings_values::TypedBox> Filter;  // none: any key is taken
    };

    void BuildWindow();
    void LoadProfile(int code, const QString& name);
    void FillControls();
    void Defaults();
    void Store();
    // Checks a typed value; false after the message (and the reset or correction of the box)
    // when it cannot be stored as it is.
    bool CheckField(const TypedField& field);
    bool CheckVolume();
    // Takes or refuses a typed character; true when it is refused.
    bool RefuseKey(const TypedField& field, const QString& typed);
    const TypedField* FieldOf(const QObject* box) const;
    void Warn(const QString& caption, const QString& text) const;

    profiles::ProfileFiles files_;
    MessageFunction show_;
    int code_ = 0;
    QString name_;

    ProfileBox* profileBox_ = nullptr;
    QComboBox* videoSize_ = nullptr;
    QComboBox* videoEncoder_ = nullptr;
    QComboBox* videoBitRate_ = nullptr;
    QComboBox* frameRate_ = nullptr;
    QComboBox* zoom_ = nullptr;
    QComboBox* sampleRate_ = nullptr;
    QComboBox* audioEncoder_ = nullptr;
    QComboBox* channel_ = nullptr;
    QComboBox* audioBitRate_ = nullptr;
    QComboBox* volume_ = nullptr;
    std::vector<TypedField> fields_;
};

}  // namespace quillo::gui
