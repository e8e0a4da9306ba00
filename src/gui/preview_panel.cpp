#include "gui/preview_panel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "gui/glyph_buttons.h"
#include "gui/main_thread_pump.h"
#include "gui/time_text.h"
#include "gui/video_widget.h"
#include "media/file_contents.h"
#include "media/media_error.h"
#include "profiles/ini_file.h"
#include "profiles/settings_keys.h"

namespace quillo::gui {

namespace {

namespace keys = profiles::settings;

constexpr int kVolumeMaximum = 128;
constexpr int kVolumeFallback = 64;  // for a stored volume outside the bar's range
// How long the position bar keeps still after a seek it asked for, so that positions from
// before the seek do not pull the thumb back.
constexpr int kSeekSettleMs = 300;
constexpr int kThumbWidth = 12;
const char* const kZeroTime = "00:00:00";
const char* const kZeroElapsed = "00:00:00 / ";

// A track bar that follows the pointer: a press and every move with the left button down put
// the thumb under the pointer, x / (width - thumb width / 2) of the way along. Presses and
// releases come as QSlider's sliderPressed and sliderReleased.
class TrackBar : public QSlider {
public:
    TrackBar(const QString& name, bool wheel, QWidget* parent)
        : QSlider(Qt::Horizontal, parent), wheel_(wheel) {
        setObjectName(name);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setMinimumHeight(20);
    }

    // The bar position for the pointer at x, within the range.
    int PositionAt(int x) const {
        const int span = width() - static_cast<int>(std::lround(kThumbWidth / 2.0));
        if (span <= 0) {
            return minimum();
        }
        const double position = std::trunc(static_cast<double>(x) / span * maximum());
        return static_cast<int>(
            std::clamp(position, static_cast<double>(minimum()), static_cast<double>(maximum())));
    }

    QSize sizeHint() const override { return {120, 20}; }
    QSize minimumSizeHint() const override { return {40, 20}; }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) {
            event->ignore();
            return;
        }
        setSliderDown(true);
        setSliderPosition(PositionAt(qRound(event->position().x())));
        event->accept();
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        if (isSliderDown() && (event->buttons() & Qt::LeftButton) != 0) {
            setSliderPosition(PositionAt(qRound(event->position().x())));
        }
        event->accept();
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && isSliderDown()) {
            setSliderDown(false);
        }
        event->accept();
    }

    void wheelEvent(QWheelEvent* event) override {
        if (wheel_) {
            QSlider::wheelEvent(event);
        } else {
            event->ignore();
        }
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const double half = kThumbWidth / 2.0;
        const double middle = height() / 2.0;
        const QRectF groove(half, middle - 2.0, std::max(width() - 2 * half, 0.0), 4.0);
        const double span = width() - std::round(half);
        const double fraction = maximum() > minimum() ? static_cast<double>(value() - minimum()) /
                                                            (maximum() - minimum())
                                                      : 0.0;
        const double centre = std::clamp(fraction * span, half, std::max(width() - half, half));

        const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
        const QColor played = isEnabled() ? palette().color(group, QPalette::Highlight)
                                          : palette().color(group, QPalette::Mid);
        QColor rest = palette().color(group, QPalette::Mid);
        rest.setAlpha(isEnabled() ? 150 : 90);

        painter.setPen(Qt::NoPen);
        painter.setBrush(rest);
        painter.drawRoundedRect(groove, 2.0, 2.0);
        painter.setBrush(played);
        painter.drawRoundedRect(QRectF(groove.left(), groove.top(), centre - groove.left(), 4.0),
                                2.0, 2.0);
        painter.setPen(QPen(played, 1.5));
        painter.setBrush(palette().color(group, QPalette::Button).lighter(isEnabled() ? 115 : 100));
        painter.drawEllipse(QPointF(centre, middle), half - 1.0, half - 1.0);
    }

private:
    bool wheel_;
};

QString ToQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

struct PreviewPanel::Controls {
    player::Player player;
    VideoWidget* video = nullptr;
    QPushButton* play = nullptr;
    QPushButton* pause = nullptr;
    QPushButton* stop = nullptr;
    QPushButton* previous = nullptr;
    QPushButton* next = nullptr;
    QPushButton* snapshot = nullptr;
    TrackBar* position = nullptr;
    QLabel* elapsed = nullptr;
    QLabel* total = nullptr;
    TrackBar* volume = nullptr;
    QPushButton* mute = nullptr;
    QTimer* seekSettled = nullptr;
    QIcon soundIcon;
    QIcon mutedIcon;
};

PreviewPanel::PreviewPanel(profiles::ProfileFiles files, QWidget* parent)
    : QWidget(parent), files_(std::move(files)), controls_(std::make_unique<Controls>()) {
    InstallMainThreadPump();
    Controls& c = *controls_;

    c.video = new VideoWidget(this);
    c.play = MakeGlyphButton("btnPlay", tr("Play"), Glyph::Play, this);
    c.pause = MakeGlyphButton("btnPause", tr("Pause"), Glyph::Pause, this);
    c.stop = MakeGlyphButton("btnStop", tr("Stop"), Glyph::Stop, this);
    c.previous = MakeGlyphButton("btnPrevious", tr("Previous"), Glyph::Previous, this);
    c.next = MakeGlyphButton("btnNext", tr("Next"), Glyph::Next, this);
    c.snapshot = MakeGlyphButton("btnSnapshot", tr("Snapshot"), Glyph::Snapshot, this);
    c.mute = MakeGlyphButton("btnMute", tr("Mute"), Glyph::Sound, this);
    c.mute->setCheckable(true);
    c.soundIcon = c.mute->icon();
    c.mutedIcon = GlyphIcon(Glyph::Muted, c.mute->palette());

    c.position = new TrackBar(QStringLiteral("trcPosition"), false, this);
    // Positions come from the player; keys would move the thumb without seeking.
    c.position->setFocusPolicy(Qt::NoFocus);
    c.volume = new TrackBar(QStringLiteral("trcVolume"), true, this);
    c.volume->setRange(0, kVolumeMaximum);
    c.volume->setFixedWidth(100);
    c.volume->setToolTip(tr("Volume"));

    c.elapsed = new QLabel(QString::fromLatin1(kZeroElapsed), this);
    c.elapsed->setObjectName(QStringLiteral("lblElapsed"));
    c.total = new QLabel(QString::fromLatin1(kZeroTime), this);
    c.total->setObjectName(QStringLiteral("lblTotal"));
    // Wide enough for the longest text, so the bar does not shift as the times change.
    const QFontMetrics metrics(c.elapsed->font());
    c.elapsed->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("00:00:00 / ")));
    c.elapsed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    c.total->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("00:00:00")));

    c.seekSettled = new QTimer(this);
    c.seekSettled->setSingleShot(true);
    c.seekSettled->setInterval(kSeekSettleMs);
    connect(c.seekSettled, &QTimer::timeout, this, [this] { dragging_ = false; });

    // The picture goes from edge to edge; the controls keep a little room from the edges.
    auto* timeRow = new QHBoxLayout;
    timeRow->setContentsMargins(6, 0, 6, 0);
    timeRow->setSpacing(6);
    timeRow->addWidget(c.position, 1);
    timeRow->addWidget(c.elapsed);
    timeRow->addWidget(c.total);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->setContentsMargins(6, 0, 6, 6);
    buttonRow->setSpacing(4);
    for (QPushButton* button : {c.play, c.pause, c.stop}) {
        buttonRow->addWidget(button);
    }
    buttonRow->addSpacing(10);
    buttonRow->addWidget(c.previous);
    buttonRow->addWidget(c.next);
    buttonRow->addSpacing(10);
    buttonRow->addWidget(c.snapshot);
    buttonRow->addStretch(1);
    buttonRow->addWidget(c.mute);
    buttonRow->addWidget(c.volume);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(c.video, 1);
    layout->addLayout(timeRow);
    layout->addLayout(buttonRow);

    ReloadAudioSettings();

    connect(c.play, &QPushButton::clicked, this, &PreviewPanel::Play);
    connect(c.pause, &QPushButton::clicked, this, &PreviewPanel::Pause);
    connect(c.stop, &QPushButton::clicked, this, &PreviewPanel::Stop);
    connect(c.previous, &QPushButton::clicked, this, &PreviewPanel::previousRequested);
    connect(c.next, &QPushButton::clicked, this, &PreviewPanel::nextRequested);
    connect(c.snapshot, &QPushButton::clicked, this, &PreviewPanel::snapshotRequested);
    connect(c.mute, &QPushButton::toggled, this, &PreviewPanel::MuteToggled);
    connect(c.volume, &QSlider::valueChanged, this, &PreviewPanel::VolumeChanged);
    connect(c.volume, &QSlider::sliderReleased, this,
            [this] { WriteSetting(keys::Volume, controls_->volume->value()); });
    connect(c.position, &QSlider::sliderPressed, this, [this] {
        controls_->seekSettled->stop();
        dragging_ = true;
    });
    connect(c.position, &QSlider::sliderReleased, this, &PreviewPanel::SeekToBar);
    connect(c.video, &VideoWidget::sizeChanged, this,
            [this](int width, int height) { controls_->player.ResizeDisplay(width, height); });

    c.player.SetOnFileOpen([this](player::PlayerBase&, std::int64_t duration, int frameWidth,
                                  int frameHeight, int& screenWidth, int& screenHeight) {
        FileOpened(duration, frameWidth, frameHeight, screenWidth, screenHeight);
    });
    c.player.SetOnPosition([this](player::PlayerBase&, std::int64_t pts) { PositionChanged(pts); });
    c.player.SetOnState([this](player::PlayerBase&, player::PlayState state) {
        if (state == player::PlayState::psEnd) {
            EndReached();
        }
    });

    SetCommands(true, false, false, false);
    SetNavigation(false, false);
    c.position->setEnabled(false);
}

PreviewPanel::~PreviewPanel() {
    // Nothing may reach the widgets while they go.
    player::Player& player = controls_->player;
    player.SetOnFileOpen({});
    player.SetOnPosition({});
    player.SetOnState({});
    player.Stop(true);
}

player::Player& PreviewPanel::GetPlayer() {
    return controls_->player;
}

VideoWidget& PreviewPanel::Video() {
    return *controls_->video;
}

bool PreviewPanel::EnsureLibraries(std::string& error) {
    player::Player& player = controls_->player;
    if (player.MediaLibrariesLoaded() ||
        player.LoadMediaLibraries(media::ExecutableFolder() / "medialibs")) {
        return true;
    }
    error = player.LastErrorMessage();
    return false;
}

void PreviewPanel::Play() {
    Controls& c = *controls_;
    if (paused_) {
        paused_ = false;
        stopped_ = false;
        c.pause->setEnabled(true);
        c.snapshot->setEnabled(true);
        c.play->setEnabled(false);
        if (c.player.Paused()) {
            c.player.Resume();
        }
        return;
    }
    std::string error;
    if (!EnsureLibraries(error)) {
        emit logLine(ToQString(error));
        return;
    }
    emit playRequested();
}

void PreviewPanel::PlayFile(const std::filesystem::path& source) {
    std::string error;
    if (!EnsureLibraries(error)) {
        emit logLine(ToQString(error));
        return;
    }
    Controls& c = *controls_;
    SetCommands(false, false, false, false);
    if (!c.player.Open(source.string(), c.video)) {
        // The buttons stay as for an open file; the player has logged why.
        emit logLine(ToQString(c.player.LastErrorMessage()));
    }
    paused_ = false;
    stopped_ = false;
    SetCommands(false, true, true, true);
}

void PreviewPanel::Pause() {
    if (paused_) {
        return;
    }
    player::Player& player = controls_->player;
    if (!player.Paused()) {
        player.Pause();
    }
    paused_ = true;
    stopped_ = false;
    SetCommands(true, false, true, true);
}

void PreviewPanel::Stop() {
    Controls& c = *controls_;
    if (c.player.Paused()) {
        c.player.Resume();
    }
    c.player.Stop(true);
    c.position->setValue(0);
    c.position->setEnabled(false);
    stopped_ = true;
    paused_ = false;
    SetCommands(true, false, false, false);
    ResetTimes();
    c.video->Clear();
}

void PreviewPanel::ReloadAudioSettings() {
    Controls& c = *controls_;
    // Restoring the stored values is no change to store again.
    const QSignalBlocker blockVolume(c.volume);
    const QSignalBlocker blockMute(c.mute);
    const profiles::IniFile settings(files_.Settings);
    const int stored = settings.ReadInteger(keys::Section, keys::Volume, keys::VolumeDefault);
    c.volume->setValue(stored >= 0 && stored <= kVolumeMaximum ? stored : kVolumeFallback);
    c.player.SetAudioVolume(c.volume->value());
    const bool muted = settings.ReadInteger(keys::Section, keys::Mute, keys::MuteDefault) == 1;
    c.mute->setChecked(muted);
    c.mute->setIcon(muted ? c.mutedIcon : c.soundIcon);
    c.player.SetMute(muted);
}

void PreviewPanel::SetNavigation(bool previousEnabled, bool nextEnabled) {
    controls_->previous->setEnabled(previousEnabled);
    controls_->next->setEnabled(nextEnabled);
}

void PreviewPanel::FileOpened(std::int64_t duration, int frameWidth, int frameHeight,
                              int& screenWidth, int& screenHeight) {
    Controls& c = *controls_;
    emit logLine(ToQString(c.player.Probe().GetInfoText()));
    char line[96];
    std::snprintf(line, sizeof line, "duration: %f, frame size: %dx%d",
                  static_cast<double>(duration) / 1e6, frameWidth, frameHeight);
    emit logLine(QString::fromLatin1(line));

    screenWidth = c.video->width();
    screenHeight = c.video->height();
    duration_ = duration;
    c.total->setText(ToQString(TimeTextOfMicroseconds(duration)));
    c.position->setTickInterval(1);
    // One step per pixel; a bar not laid out yet still gets a range to divide by.
    c.position->setMaximum(std::max(c.position->width(), 1));
    c.position->setEnabled(duration > 0);
    c.player.SetAudioVolume(c.volume->value());
    c.player.SetMute(profiles::IniFile(files_.Settings)
                         .ReadInteger(keys::Section, keys::Mute, keys::MuteDefault) == 1);
    const bool wasDragging = dragging_;
    dragging_ = true;
    c.position->setValue(0);
    dragging_ = wasDragging;
}

void PreviewPanel::PositionChanged(std::int64_t pts) {
    // Once stopped, or at the end, the times read zero until the next Play; the seek back to
    // the start would otherwise show up here.
    if (stopped_) {
        return;
    }
    Controls& c = *controls_;
    // The separator stays, so that elapsed and total time read as one "0:00:01 / 0:00:03".
    c.elapsed->setText(ToQString(TimeTextOfMicroseconds(pts)) + QStringLiteral(" / "));
    if (!dragging_ && duration_ > 0) {
        c.position->setValue(
            static_cast<int>(static_cast<std::int64_t>(c.position->maximum()) * pts / duration_));
    }
}

void PreviewPanel::EndReached() {
    Controls& c = *controls_;
    c.position->setValue(0);
    c.player.Seek(0, false, 0);
    c.player.Pause();
    paused_ = false;
    stopped_ = true;
    SetCommands(true, false, false, false);
    c.position->setEnabled(false);
    ResetTimes();
}

void PreviewPanel::SeekToBar() {
    if (!dragging_) {
        return;
    }
    const TrackBar& bar = *controls_->position;
    const double fraction = static_cast<double>(bar.value()) / std::max(bar.maximum(), 1);
    controls_->player.Seek(0, false,
                           static_cast<std::int64_t>(fraction * static_cast<double>(duration_)));
    // Without blocking the window: the bar stays put for a moment while the seek lands.
    controls_->seekSettled->start();
}

void PreviewPanel::VolumeChanged(int volume) {
    controls_->player.SetAudioVolume(volume);
    WriteSetting(keys::Volume, volume);
}

void PreviewPanel::MuteToggled(bool muted) {
    Controls& c = *controls_;
    c.player.SetMute(muted);
    WriteSetting(keys::Mute, muted ? 1 : 0);
    c.mute->setIcon(muted ? c.mutedIcon : c.soundIcon);
}

void PreviewPanel::SetCommands(bool play, bool pause, bool stop, bool snapshot) {
    Controls& c = *controls_;
    c.play->setEnabled(play);
    c.pause->setEnabled(pause);
    c.stop->setEnabled(stop);
    c.snapshot->setEnabled(snapshot);
}

void PreviewPanel::ResetTimes() {
    controls_->elapsed->setText(QString::fromLatin1(kZeroElapsed));
    controls_->total->setText(QString::fromLatin1(kZeroTime));
}

void PreviewPanel::WriteSetting(const char* key, int value) {
    try {
        profiles::IniFile(files_.Settings).WriteInteger(keys::Section, key, value);
    } catch (const media::MediaError& error) {
        // A settings file that cannot be written costs the stored choice, not the preview.
        emit logLine(QString::fromUtf8(error.what()));
    }
}

}  // namespace quillo::gui
