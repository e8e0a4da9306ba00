#include "gui/crop_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/job_list.h"
#include "gui/bitmap_image.h"
#include "gui/editor_playback.h"
#include "gui/glyph_buttons.h"
#include "gui/widgets/rect_tracker.h"
#include "gui/widgets/track_bar2.h"
#include "profiles/ini_file.h"
#include "profiles/settings_keys.h"

namespace quillo::gui {

namespace {

namespace keys = profiles::settings;

const QSize kBoxSize(420, 303);
constexpr int kRefreshMs = 100;
constexpr int kVolumeMaximum = 128;
constexpr int kVolumeFallback = 64;

int RoundHalfEven(double value) {
    return static_cast<int>(std::nearbyint(value));
}

// A picture box: sky blue, with a picture stretched into the fitted rectangle.
class PictureBox : public QWidget {
public:
    PictureBox(const char* name, QWidget* parent) : QWidget(parent) {
        setObjectName(QString::fromLatin1(name));
        setFixedSize(kBoxSize);
    }

    void SetPicture(const QImage& picture) {
        picture_ = picture;
        update();
    }
    const QImage& Picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), CropWindow::BoxColour());
        if (!picture_.isNull()) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(FittedPictureRect(size(), picture_.size()), picture_);
        }
    }

private:
    QImage picture_;
};

// An adjustment's bar and box, kept equal.
struct Adjustment {
    QSlider* bar = nullptr;
    QSpinBox* box = nullptr;

    int Value() const { return bar->value(); }
    void Set(int value) {
        bar->setValue(value);
        box->setValue(bar->value());
    }
};

}  // namespace

QRect FittedPictureRect(const QSize& box, const QSize& picture) {
    if (box.isEmpty() || picture.isEmpty()) {
        return {};
    }
    const double a = static_cast<double>(picture.width()) / box.width();
    const double b = static_cast<double>(picture.height()) / box.height();
    if (a >= b) {
        const int free = RoundHalfEven((box.height() - picture.height() / a) / 2.0);
        return {0, free, box.width(), box.height() - 2 * free};
    }
    const int free = RoundHalfEven((box.width() - picture.width() / b) / 2.0);
    return {free, 0, box.width() - 2 * free, box.height()};
}

QRect ImageRectangle(const QSize& box, const QSize& picture) {
    const QRect fitted = FittedPictureRect(box, picture);
    return fitted.isEmpty() ? QRect() : fitted.adjusted(1, 1, -1, -1);
}

CropMargins SourceCropMargins(const CropMargins& display, const QSize& source, const QSize& image) {
    if (image.isEmpty()) {
        return {};
    }
    const auto scale = [](int margin, int sourceSide, int imageSide) {
        const double value =
            sourceSide == imageSide ? margin : static_cast<double>(margin) * sourceSide / imageSide;
        return RoundHalfEven(value) / 2 * 2;
    };
    return {scale(display.Top, source.height(), image.height()),
            scale(display.Left, source.width(), image.width()),
            scale(display.Bottom, source.height(), image.height()),
            scale(display.Right, source.width(), image.width())};
}

const QColor& CropWindow::BoxColour() {
    static const QColor colour(166, 202, 240);
    return colour;
}

struct CropWindow::Controls {
    PictureBox* preview = nullptr;
    PictureBox* output = nullptr;
    RectTracker* band = nullptr;
    QTabWidget* tabs = nullptr;
    std::array<QSpinBox*, 4> margins{};  // Up, Left, Down, Right
    Adjustment contrast;
    Adjustment brightness;
    Adjustment saturation;
    Adjustment exposure;
    QPushButton* cropReset = nullptr;
    QPushButton* effectReset = nullptr;
    EditorPlayback* playback = nullptr;
    TrackBar2* volume = nullptr;
    QPushButton* mute = nullptr;
    QIcon soundIcon;
    QIcon mutedIcon;
    QLabel* noPicture = nullptr;
    QTimer* refresh = nullptr;

    QSpinBox* Margin(Side side) { return margins[static_cast<std::size_t>(side)]; }
};

CropWindow::CropWindow(profiles::ProfileFiles files, QWidget* parent)
    : JobEditorWindow(parent), files_(std::move(files)), controls_(std::make_unique<Controls>()) {
    setObjectName(QStringLiteral("CropWindow"));
    setWindowTitle(QStringLiteral("Crop"));
    BuildWindow();

    frames_.Attach(GetPlayer());
}

CropWindow::~CropWindow() {
    // The player's threads must not reach this window while it goes.
    frames_.Detach();
    GetPlayer().Stop(true);
}

player::Player& CropWindow::GetPlayer() {
    return controls_->playback->GetPlayer();
}

void CropWindow::BuildWindow() {
    Controls& c = *controls_;
    c.preview = new PictureBox("imgPreview", this);
    c.output = new PictureBox("imgOutput", this);
    c.band = new RectTracker(c.preview);
    c.band->hide();

    c.tabs = new QTabWidget(this);
    c.tabs->setObjectName(QStringLiteral("tabsEdit"));
    c.tabs->addTab(BuildCropPage(), QStringLiteral("Crop"));
    c.tabs->addTab(BuildEffectPage(), QStringLiteral("Effect"));
    c.tabs->setCurrentIndex(1);

    c.playback = new EditorPlayback(files_, EditorPlayback::SeekScale::Pixels, this);
    c.mute = MakeGlyphButton("imgbtnMute", tr("Mute"), Glyph::Sound, this);
    c.mute->setCheckable(true);
    c.soundIcon = c.mute->icon();
    c.mutedIcon = GlyphIcon(Glyph::Muted, c.mute->palette());
    c.volume = new TrackBar2(this);
    c.volume->setObjectName(QStringLiteral("trcVolume"));
    c.volume->SetThumbSize(14);
    c.volume->SetRange(0, kVolumeMaximum);
    c.volume->setFixedWidth(110);
    c.volume->setToolTip(tr("Volume"));
    c.playback->ButtonRow().addStretch(1);
    c.playback->ButtonRow().addWidget(c.mute);
    c.playback->ButtonRow().addWidget(c.volume);

    c.noPicture = new QLabel(this);
    c.noPicture->setObjectName(QStringLiteral("lblNoPicture"));
    c.noPicture->hide();

    auto* defaults = new QPushButton(QStringLiteral("&Default"), this);
    defaults->setObjectName(QStringLiteral("btnDefault"));
    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));

    auto* captionSource = new QLabel(QStringLiteral("Source"), this);
    auto* captionOutput = new QLabel(QStringLiteral("Output"), this);
    auto* pictures = new QGridLayout;
    pictures->setHorizontalSpacing(12);
    pictures->setVerticalSpacing(4);
    pictures->addWidget(captionSource, 0, 0);
    pictures->addWidget(captionOutput, 0, 1);
    pictures->addWidget(c.preview, 1, 0);
    pictures->addWidget(c.output, 1, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(c.noPicture);
    bottom->addStretch(1);
    bottom->addWidget(defaults);
    bottom->addSpacing(12);
    bottom->addWidget(ok);
    bottom->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(8);
    layout->addLayout(pictures);
    layout->addWidget(c.playback);
    layout->addWidget(c.tabs);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    c.refresh = new QTimer(this);
    c.refresh->setInterval(kRefreshMs);
    connect(c.refresh, &QTimer::timeout, this, &CropWindow::Refresh);

    connect(c.band, &RectTracker::pressed, this, &CropWindow::BandPressed);
    connect(c.band, &RectTracker::moved, this, &CropWindow::BandMoved);
    connect(c.band, &RectTracker::released, this,
            [this] { bandAtPress_ = controls_->band->geometry(); });
    connect(c.playback, &EditorPlayback::fileOpened, this,
            [this](std::int64_t, int width, int height) { FileOpened(width, height); });
    connect(c.volume, &TrackBar2::changed, this, [this] {
        const int volume = controls_->volume->PositionL();
        GetPlayer().SetAudioVolume(volume);
        profiles::IniFile(files_.Settings).WriteInteger(keys::Section, keys::Volume, volume);
    });
    connect(c.mute, &QPushButton::toggled, this, [this](bool muted) {
        GetPlayer().SetMute(muted);
        profiles::IniFile(files_.Settings).WriteInteger(keys::Section, keys::Mute, muted ? 1 : 0);
        controls_->mute->setIcon(muted ? controls_->mutedIcon : controls_->soundIcon);
    });
    connect(defaults, &QPushButton::clicked, this, &CropWindow::ResetCrop);
    connect(ok, &QPushButton::clicked, this, &CropWindow::Accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* CropWindow::BuildCropPage() {
    Controls& c = *controls_;
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->setHorizontalSpacing(10);
    struct Box {
        const char* name;
        const char* caption;
        int row;
        int column;  // of the caption; the box follows it
    };
    // Up and Down above and below the middle, Left and Right beside them, as on the picture.
    const std::array<Box, 4> boxes{{{"spedUp", "Up:", 0, 2},
                                    {"spedLeft", "Left:", 1, 0},
                                    {"spedDown", "Down:", 2, 2},
                                    {"spedRight", "Right:", 1, 4}}};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        auto* box = new QSpinBox(page);
        box->setObjectName(QString::fromLatin1(boxes[i].name));
        box->setRange(0, 9999);
        box->setFixedWidth(80);
        c.margins[i] = box;
        grid->addWidget(new QLabel(QString::fromLatin1(boxes[i].caption), page), boxes[i].row,
                        boxes[i].column, Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(box, boxes[i].row, boxes[i].column + 1);
        const Side side = static_cast<Side>(i);
        connect(box, &QSpinBox::valueChanged, this, [this, side] { MarginChanged(side); });
    }
    auto* hint = new QLabel(
        QStringLiteral("Drag the rectangle on the source picture, or set the margins here."), page);
    grid->addWidget(hint, 0, 7, 3, 1, Qt::AlignVCenter);
    c.cropReset = new QPushButton(QStringLiteral("Reset"), page);
    c.cropReset->setObjectName(QStringLiteral("btnCropReset"));
    grid->addWidget(c.cropReset, 1, 6);
    grid->setColumnMinimumWidth(6, 90);
    grid->setColumnStretch(7, 1);
    connect(c.cropReset, &QPushButton::clicked, this, &CropWindow::ResetCrop);
    return page;
}

QWidget* CropWindow::BuildEffectPage() {
    Controls& c = *controls_;
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->setHorizontalSpacing(10);
    struct Row {
        Adjustment* adjustment;
        const char* name;
        const char* caption;
        int minimum;
        int maximum;
    };
    const std::array<Row, 4> rows{{{&c.contrast, "Contrast", "Contrast:", -100, 100},
                                   {&c.brightness, "Brightness", "Brightness:", 0, 512},
                                   {&c.saturation, "Saturation", "Saturation:", 0, 512},
                                   {&c.exposure, "Exposure", "Exposure:", -255, 512}}};
    int line = 0;
    for (const Row& row : rows) {
        Adjustment& adjustment = *row.adjustment;
        adjustment.bar = new QSlider(Qt::Horizontal, page);
        adjustment.bar->setObjectName(QStringLiteral("trc") + QString::fromLatin1(row.name));
        adjustment.bar->setRange(row.minimum, row.maximum);
        adjustment.box = new QSpinBox(page);
        adjustment.box->setObjectName(QStringLiteral("sped") + QString::fromLatin1(row.name));
        adjustment.box->setRange(row.minimum, row.maximum);
        adjustment.box->setFixedWidth(80);
        // Two columns of two rows keep the tab short.
        const int column = (line % 2) * 3;
        const int gridRow = line / 2;
        grid->addWidget(new QLabel(QString::fromLatin1(row.caption), page), gridRow, column);
        grid->addWidget(adjustment.bar, gridRow, column + 1);
        grid->addWidget(adjustment.box, gridRow, column + 2);
        connect(adjustment.bar, &QSlider::valueChanged, adjustment.box, &QSpinBox::setValue);
        connect(adjustment.box, &QSpinBox::valueChanged, adjustment.bar, &QSlider::setValue);
        connect(adjustment.bar, &QSlider::valueChanged, this, [this] { dirty_ = true; });
        ++line;
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(4, 1);
    c.effectReset = new QPushButton(QStringLiteral("Reset"), page);
    c.effectReset->setObjectName(QStringLiteral("btnEffectReset"));
    grid->addWidget(c.effectReset, 2, 5);
    connect(c.effectReset, &QPushButton::clicked, this, &CropWindow::ResetEffects);
    return page;
}

void CropWindow::ShowJob() {
    Controls& c = *controls_;
    const app::JobRecord& job = Jobs()->Record(Row());
    const profiles::IniFile settings(files_.Settings);
    const int volume = settings.ReadInteger(keys::Section, keys::Volume, keys::VolumeDefault);
    {
        const QSignalBlocker blockVolume(c.volume);
        const QSignalBlocker blockMute(c.mute);
        c.volume->SetPositionL(volume >= 0 && volume <= kVolumeMaximum ? volume : kVolumeFallback);
        const bool muted = settings.ReadInteger(keys::Section, keys::Mute, keys::MuteDefault) == 1;
        c.mute->setChecked(muted);
        c.mute->setIcon(muted ? c.mutedIcon : c.soundIcon);
    }
    c.contrast.Set(job.Contrast);
    c.brightness.Set(job.Brightness);
    c.saturation.Set(job.Saturation);
    c.exposure.Set(job.Exposure);

    source_ = {};
    imageRect_ = {};
    if (!c.playback->Open(job.SourceFile, nullptr)) {
        EnablePicture(false);
        c.noPicture->setText(
            QStringLiteral("The file cannot be played: there is no picture to "
                           "crop or adjust."));
        c.noPicture->show();
        return;
    }
    if (source_.isEmpty()) {
        EnablePicture(false);
        c.noPicture->setText(
            QStringLiteral("This file has no picture: there is nothing to crop or adjust."));
        c.noPicture->show();
        return;
    }
    EnablePicture(true);
    const std::array<int, 4> stored{job.CropEditTop, job.CropEditLeft, job.CropEditBottom,
                                    job.CropEditRight};
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const QSignalBlocker block(c.margins[i]);
        c.margins[i]->setValue(std::max(stored[i], 0));
    }
    PlaceBandFromMargins();
    c.refresh->start();
}

void CropWindow::FileOpened(int frameWidth, int frameHeight) {
    Controls& c = *controls_;
    GetPlayer().SetAudioVolume(c.volume->PositionL());
    if (frameWidth <= 0 || frameHeight <= 0) {
        return;
    }
    source_ = QSize(frameWidth, frameHeight);
    imageRect_ = ImageRectangle(c.preview->size(), source_);
}

void CropWindow::EnablePicture(bool on) {
    Controls& c = *controls_;
    c.band->setVisible(on);
    c.band->setEnabled(on);
    for (QSpinBox* box : c.margins) {
        box->setEnabled(on);
        if (!on) {
            const QSignalBlocker block(box);
            box->setValue(0);
        }
    }
    for (Adjustment* adjustment : {&c.contrast, &c.brightness, &c.saturation, &c.exposure}) {
        adjustment->bar->setEnabled(on);
        adjustment->box->setEnabled(on);
    }
    c.cropReset->setEnabled(on);
    c.effectReset->setEnabled(on);
    c.noPicture->setVisible(!on);
    if (!on) {
        previous_ = {};
        sourceMargins_ = {};
    }
}

CropMargins CropWindow::DisplayMargins() const {
    const Controls& c = *controls_;
    return {c.margins[0]->value(), c.margins[1]->value(), c.margins[2]->value(),
            c.margins[3]->value()};
}

effects::PictureAdjustments CropWindow::Adjustments() const {
    const Controls& c = *controls_;
    return {c.brightness.Value(), c.contrast.Value(), c.saturation.Value(), c.exposure.Value()};
}

void CropWindow::PlaceBandFromMargins() {
    const CropMargins m = DisplayMargins();
    const QRect& image = imageRect_;
    controls_->band->setGeometry(image.x() + m.Left, image.y() + m.Top,
                                 image.width() - m.Right - m.Left,
                                 image.height() - m.Bottom - m.Top);
    bandAtPress_ = controls_->band->geometry();
    previous_ = m;
    RecomputeSourceMargins();
}

void CropWindow::MarginChanged(Side side) {
    if (updatingFromBand_ || imageRect_.isEmpty()) {
        return;
    }
    Controls& c = *controls_;
    QSpinBox* box = c.Margin(side);
    const CropMargins m = DisplayMargins();
    const bool vertical = side == Side::Up || side == Side::Down;
    // A band of at least the rubber band's smallest side stays: a margin that would leave less
    // of the picture goes back to what it was.
    const int remaining =
        vertical ? imageRect_.height() - m.Top - m.Bottom : imageRect_.width() - m.Left - m.Right;
    if (remaining < RectTracker::MinimumSide) {
        const int before = side == Side::Up     ? previous_.Top
                           : side == Side::Left ? previous_.Left
                           : side == Side::Down ? previous_.Bottom
                                                : previous_.Right;
        const QSignalBlocker block(box);
        box->setValue(before);
        return;
    }
    PlaceBandFromMargins();
}

void CropWindow::BandPressed() {
    bandAtPress_ = controls_->band->geometry();
    bandMoving_ = controls_->band->Current() == RectTracker::Grab::Move;
}

void CropWindow::BandMoved() {
    Controls& c = *controls_;
    const int x0 = imageRect_.x();
    const int y0 = imageRect_.y();
    const int wd = imageRect_.width();
    const int hd = imageRect_.height();
    const QRect band = c.band->geometry();
    int left = band.x();
    int top = band.y();
    int width = band.width();
    int height = band.height();
    const int pressRight = bandAtPress_.x() + bandAtPress_.width();
    const int pressBottom = bandAtPress_.y() + bandAtPress_.height();
    // The band's dotted line lies 2 pixels in; it may touch the picture's edge, not cross it.
    if (left + RectTracker::Inset < x0) {
        if (!bandMoving_) {
            width = pressRight - x0;
        }
        left = x0;
    }
    if (top + RectTracker::Inset < y0) {
        if (!bandMoving_) {
            height = pressBottom - y0;
        }
        top = y0;
    }
    if (left + width - RectTracker::Inset - x0 > wd) {
        if (bandMoving_) {
            left = x0 + wd - width;
        } else {
            left = bandAtPress_.x();
            width = x0 + wd - left;
        }
    }
    if (top + height - RectTracker::Inset - y0 >= hd) {
        if (bandMoving_) {
            top = y0 + hd - height;
        } else {
            top = bandAtPress_.y();
            height = y0 + hd - top;
        }
    }
    c.band->setGeometry(left, top, width, height);

    updatingFromBand_ = true;
    const CropMargins m{std::max(top - y0, 0), std::max(left - x0, 0),
                        std::max(hd + y0 - height - top, 0), std::max(wd + x0 - width - left, 0)};
    c.margins[0]->setValue(m.Top);
    c.margins[1]->setValue(m.Left);
    c.margins[2]->setValue(m.Bottom);
    c.margins[3]->setValue(m.Right);
    previous_ = m;
    updatingFromBand_ = false;
    RecomputeSourceMargins();
}

void CropWindow::RecomputeSourceMargins() {
    sourceMargins_ = SourceCropMargins(DisplayMargins(), source_, imageRect_.size());
    dirty_ = true;
}

void CropWindow::ResetCrop() {
    if (imageRect_.isEmpty()) {
        return;
    }
    for (QSpinBox* box : controls_->margins) {
        const QSignalBlocker block(box);
        box->setValue(0);
    }
    PlaceBandFromMargins();
}

void CropWindow::ResetEffects() {
    Controls& c = *controls_;
    c.brightness.Set(255);
    c.contrast.Set(0);
    c.saturation.Set(255);
    c.exposure.Set(0);
}

void CropWindow::Refresh() {
    std::int64_t pts = 0;
    if (frames_.TakeNewest(working_, pts)) {
        dirty_ = true;
        controls_->preview->SetPicture(BitmapImage(working_).copy());
    }
    if (!dirty_ || working_.Width() <= 0) {
        return;
    }
    dirty_ = false;
    const CropMargins& m = sourceMargins_;
    const QRect keep(m.Left, m.Top, working_.Width() - m.Left - m.Right,
                     working_.Height() - m.Top - m.Bottom);
    if (keep.width() <= 0 || keep.height() <= 0) {
        return;
    }
    const effects::PictureAdjustments adjustments = Adjustments();
    if (adjustments == effects::PictureAdjustments{}) {
        output_ = BitmapImage(working_).copy(keep);
    } else {
        // The conversion's own effect code on a copy, so that the preview is what it will write.
        adjusted_ = working_;
        effects::ApplyFrameEffects(adjusted_, 0, adjustments, {}, noImages_);
        output_ = BitmapImage(adjusted_).copy(keep);
    }
    controls_->output->SetPicture(output_);
}

void CropWindow::Accept() {
    if (Jobs() == nullptr) {
        reject();
        return;
    }
    app::JobRecord record = Jobs()->Record(Row());
    const CropMargins shown = DisplayMargins();
    record.CropEditTop = shown.Top;
    record.CropEditLeft = shown.Left;
    record.CropEditBottom = shown.Bottom;
    record.CropEditRight = shown.Right;
    record.CropTop = sourceMargins_.Top;
    record.CropLeft = sourceMargins_.Left;
    record.CropBottom = sourceMargins_.Bottom;
    record.CropRight = sourceMargins_.Right;
    const effects::PictureAdjustments adjustments = Adjustments();
    record.Brightness = adjustments.Brightness;
    record.Contrast = adjustments.Contrast;
    record.Saturation = adjustments.Saturation;
    record.Exposure = adjustments.Exposure;
    Jobs()->SetRecord(Row(), std::move(record));
    accept();
}

void CropWindow::done(int result) {
    controls_->refresh->stop();
    frames_.Detach();
    GetPlayer().Stop(true);
    QDialog::done(result);
}

}  // namespace quillo::gui
