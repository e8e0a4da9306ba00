#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/job_record.h"
#include "effects/frame_effects.h"
#include "effects/watermark_image_cache.h"
#include "gui/hooked_frames.h"
#include "gui/job_editor_window.h"
#include "gui/message_boxes.h"
#include "media/bitmap.h"
#include "profiles/profile_files.h"

class QListWidgetItem;

namespace quillo::player {
class Player;
}

namespace quillo::gui {

// The open dialog's filter for watermark pictures.
QString WatermarkPictureFilter();

// The watermark editor ("Water Mark"): plays a job's source in the view "ImgView" with the
// job's text and picture watermarks drawn over it by the conversion's own drawing code, so
// that what is placed is what the conversion writes. Items are added ("Add Text", "Add
// Image"), removed, ordered (the first is drawn at the bottom), dragged on the picture, given
// a font, colours, a background box or none, an opacity and the seconds in which they show;
// "Ok" writes them into the job. Made anew for every opening.
// Controls (objectName): "ImgView", "lsbox", "btnAddText", "btnAddImage", "btnDelete",
// "btnUp", "btnDown", "suiFontCmb", "suiFontSizeCmb", "btnFont", "suiColorBoxcmb", "chkBold",
// "chkItalic", "chkUnderline", "chkStrikeout", "rb1", "rb2", "suiColorBoxbackground",
// "trcTextHoriz"/"edtTextHoriz", "trcTextVert"/"edtTextVert", "trcTextTran"/"edtTextTran",
// "trcRange", "edtStart", "edtEnd", "btnStartUp", "btnStartDown", "btnEndUp", "btnEndDown",
// the playback controls of EditorPlayback, "btnOk", "btnCancel", "btnHelp".
class WatermarkWindow : public JobEditorWindow {
    Q_OBJECT
public:
    // The chosen picture file (empty: cancelled).
    using PictureChooser = std::function<QString(QWidget* parent)>;
    // The chosen font; ok is set to false when the dialog was cancelled.
    using FontChooser = std::function<QFont(QWidget* parent, const QFont& initial, bool& ok)>;
    using ColourChooser = std::function<QColor(QWidget* parent, const QColor& initial)>;

    WatermarkWindow(profiles::ProfileFiles files, QWidget* parent = nullptr);
    ~WatermarkWindow() override;

    // Dialogs and messages; the defaults are Qt's dialogs and real message boxes.
    void SetPictureChooser(PictureChooser chooser) { pictureChooser_ = std::move(chooser); }
    void SetFontChooser(FontChooser chooser) { fontChooser_ = std::move(chooser); }
    void SetColourChooser(const ColourChooser& chooser);
    void SetMessageFunction(MessageFunction show) { messages_ = std::move(show); }
    // What "&Help" shows.
    void SetHelp(std::function<void()> help) { help_ = std::move(help); }

    player::Player& GetPlayer();
    // The items as the editor holds them, in drawing order: what "Ok" stores.
    const std::vector<app::WmRec>& Items() const { return items_; }
    // The selected item's index, -1 without one.
    int SelectedItem() const;
    // The picture the view shows: the newest frame with the items drawn; null before one.
    QImage ShownPicture() const;
    // The frame it was drawn from, as the player handed it over.
    QImage SourcePicture() const;
    // How many times the view's picture has been drawn.
    int PicturesDrawn() const { return picturesDrawn_; }
    // Frames the player has handed over so far.
    int FramesCaptured() const { return frames_.Captured(); }

    // The sizes the font size box offers.
    static constexpr int kSmallestFontSize = 7;
    static constexpr int kLargestFontSize = 70;

protected:
    void done(int result) override;

private:
    void BuildWindow();
    void ShowJob() override;
    void FileOpened(std::int64_t duration, int frameWidth, int frameHeight);
    void LoadItems(const app::JobRecord& job);
    void AddLine(const app::WmRec& item);
    void AddText();
    void AddImage();
    void DeleteItem();
    void MoveItem(int step);
    void SelectItem(int index);
    void ShowItemControls(const app::WmRec& item);
    void SetItemControlsEnabled(bool on);
    // Measures the selected text item again after a change of its text or font.
    void RemeasureText(app::WmRec& item);
    // The selected item, or null.
    app::WmRec* Selected();
    void FontControlsChanged();
    void LineEdited(QListWidgetItem* line);
    void ViewPressed(const QPointF& point);
    void ViewDragged(const QPointF& point);
    void RangeChanged();
    void PositionBarsChanged();
    void ShowSelection();
    void Refresh();
    void Redraw() { dirty_ = true; }
    bool Warn(const QString& text);
    void Accept();

    profiles::ProfileFiles files_;
    MessageFunction messages_;
    PictureChooser pictureChooser_;
    FontChooser fontChooser_;
    std::function<void()> help_;

    std::vector<app::WmRec> items_;
    effects::PictureAdjustments adjustments_;
    std::int64_t duration_ = 0;
    QSize frameSize_;
    bool opened_ = false;
    bool updatingControls_ = false;  // the controls are being set from an item
    QPointF dragOffset_;
    bool draggingItem_ = false;

    HookedFrames frames_;
    // Drawn on the main thread.
    media::Bitmap frame_;
    std::int64_t framePts_ = 0;
    media::Bitmap shown_;
    effects::WatermarkImageCache images_;
    bool dirty_ = false;
    int picturesDrawn_ = 0;

    struct Controls;
    std::unique_ptr<Controls> controls_;
};

}  // namespace quillo::gui
