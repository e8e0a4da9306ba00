#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "app/system_services.h"
#include "gui/message_boxes.h"
#include "profiles/profile_files.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSlider;
class QSpinBox;

namespace quillo::gui {

// Asks for a folder (empty: cancelled), as FileDialogs::ChooseFolder does.
using ChooseFolderFunction =
    std::function<QString(QWidget* parent, const QString& caption, const QString& folder)>;

// "Preference" (480 x 390, modal): the snapshot folder with "&Brows" and "&Open", which
// snapshot files to save and their JPEG quality, and the conversion's work priority.
// Controls (objectName): "edtSnapshotFolder", "btnBrowse", "btnOpen", "chkFullSize",
// "chkSmallSize", "chkBmp", "chkJpg", "trcQuality", "spnQuality", "cmbPriority" ("Idle",
// "Normal", "Lower", "Lowest"), "btnDefault", "btnOk", "btnCancel".
// Every showing reads the settings again; a snapshot folder in which nothing can be written is
// replaced by the default folder and stored at once. "&Brows" stores the folder it takes at
// once too; everything else is stored by "&Ok" only.
class PreferenceWindow : public QDialog {
    Q_OBJECT
public:
    PreferenceWindow(profiles::ProfileFiles files, app::SystemServices& system,
                     MessageFunction show, ChooseFolderFunction chooseFolder,
                     QWidget* parent = nullptr);

    // Fills the controls from the settings, as showing the window does.
    void LoadSettings();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Browse();
    void OpenFolder();
    void Defaults();
    void Store();
    // A size or format box that goes off while its partner is off comes on again.
    void KeepOneChecked(QCheckBox* box, const QCheckBox* partner);
    void Warn(const QString& text) const;

    profiles::ProfileFiles files_;
    app::SystemServices& system_;
    MessageFunction show_;
    ChooseFolderFunction chooseFolder_;

    QLineEdit* folder_ = nullptr;
    QCheckBox* fullSize_ = nullptr;
    QCheckBox* smallSize_ = nullptr;
    QCheckBox* bmp_ = nullptr;
    QCheckBox* jpg_ = nullptr;
    QSlider* qualityBar_ = nullptr;
    QSpinBox* qualityBox_ = nullptr;
    QComboBox* priority_ = nullptr;
};

}  // namespace quillo::gui
