#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <array>
#include <cstdint>
#include <memory>

#include "effects/frame_effects.h"
#include "gui/hooked_frames.h"
#include "gui/job_editor_window.h"
#include "media/bitmap.h"
#include "profiles/profile_files.h"

namespace quillo::player {
class Player;
}

namespace quillo::gui {

// Four crop margins, top, left, bottom and right, in pixels.
struct CropMargins {
    int Top = 0;
    int Left = 0;
    int Bottom = 0;
    int Right = 0;

    bool operator==(const CropMargins&) const = default;
};

// Where a picture is drawn stretched into a box: across the full width or the full height,
// whichever fits, centred in the other direction.
QRect FittedPictureRect(const QSize& box, const QSize& picture);
// That rectangle shrunk by a pixel on every side: the picture's area the rubber band keeps to.
QRect ImageRectangle(const QSize& box, const QSize& picture);
// Margins in the picture's pixels for margins on its image rectangle, each rounded (ties to
// even) and then made even toward zero.
CropMargins SourceCropMargins(const CropMargins& display, const QSize& source, const QSize& image);

class EditorPlayback;
class RectTracker;
class TrackBar2;

// The crop and picture adjustment editor ("Crop"): plays a job's source with a rubber band over
// the picture (the part to keep) and beside it the cropped picture with the brightness,
// contrast, saturation and exposure of the "Effect" tab applied by the conversion's own effect
// code. "Ok" stores the margins (as shown in the "Crop" tab's boxes and in the source's even
// pixels) and the four adjustments into the job. Volume and mute changes are stored at once.
// Controls (objectName): "imgPreview" with "RectTracker", "imgOutput", "tabsEdit",
// "spedUp", "spedLeft", "spedRight", "spedDown", "btnCropReset", "trcContrast"/"spedContrast",
// "trcBrightness"/"spedBrightness", "trcSaturation"/"spedSaturation",
// "trcExposure"/"spedExposure", "btnEffectReset", the playback controls of EditorPlayback,
// "trcVolume", "imgbtnMute", "lblNoPicture", "btnDefault", "btnOk", "btnCancel".
// Made anew for every opening.
class CropWindow : public JobEditorWindow {
    Q_OBJECT
public:
    CropWindow(profiles::ProfileFiles files, QWidget* parent = nullptr);
    ~CropWindow() override;

    player::Player& GetPlayer();
    // The picture's area in "imgPreview" (empty without a picture).
    QRect ImageRect() const { return imageRect_; }
    CropMargins DisplayMargins() const;
    CropMargins SourceMargins() const { return sourceMargins_; }
    effects::PictureAdjustments Adjustments() const;
    // The cropped, adjusted picture "imgOutput" shows, at the source's scale; null before the
    // first picture.
    QImage OutputPicture() const { return output_; }
    // Pictures the player has handed over so far.
    int FramesCaptured() const { return frames_.Captured(); }

    // The sky blue of the empty picture boxes.
    static const QColor& BoxColour();

protected:
    void done(int result) override;

private:
    enum class Side { Up, Left, Down, Right };

    void BuildWindow();
    QWidget* BuildCropPage();
    QWidget* BuildEffectPage();
    void ShowJob() override;
    void FileOpened(int frameWidth, int frameHeight);
    void EnablePicture(bool on);
    void PlaceBandFromMargins();
    void MarginChanged(Side side);
    void BandPressed();
    void BandMoved();
    void RecomputeSourceMargins();
    void ResetCrop();
    void ResetEffects();
    void Refresh();
    void Accept();

    profiles::ProfileFiles files_;

    QSize source_;     // W x H of the picture, empty without video
    QRect imageRect_;  // x0, y0, Wd, Hd in "imgPreview"
    CropMargins previous_;
    CropMargins sourceMargins_;
    QRect bandAtPress_;
    bool bandMoving_ = false;
    bool updatingFromBand_ = false;

    HookedFrames frames_;
    // Drawn on the main thread from the captured picture.
    media::Bitmap working_;
    media::Bitmap adjusted_;
    effects::WatermarkImageCache noImages_;
    QImage output_;
    bool dirty_ = false;

    struct Controls;
    std::unique_ptr<Controls> controls_;
};

}  // namespace quillo::gui
