#include "gui/editor_playback.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "gui/glyph_buttons.h"
#include "gui/main_thread_pump.h"
#include "gui/time_text.h"
#include "gui/widgets/track_bar2.h"
#include "media/file_contents.h"
#include "profiles/ini_file.h"
#include "profiles/settings_keys.h"

namespace quillo::gui {

namespace {

namespace keys = profiles::settings;

// How long the seek bar keeps still after a seek, so that positions from before the seek do
// not pull the thumb back.
constexpr int kSeekSettleMs = 300;
const char* const kZeroTime = "00:00:00";

}  // namespace

EditorPlayback::EditorPlayback(profiles::ProfileFiles files, SeekScale scale, QWidget* parent)
    : QWidget(parent), files_(std::move(files)), scale_(scale) {
    InstallMainThreadPump();
    seekBar_ = new TrackBar2(this);
    seekBar_->setObjectName(QStringLiteral("trcPreview"));
    seekBar_->SetThumbSize(14);
    seekBar_->SetRange(0, 0);
    seekBar_->setEnabled(false);
    // Positions come from the player; keys would move the thumb without seeking.
    seekBar_->setFocusPolicy(Qt::NoFocus);

    time_ = new QLabel(this);
    time_->setObjectName(QStringLiteral("lblTime"));
    length_ = new QLabel(this);
    length_->setObjectName(QStringLiteral("lblPTS"));
    const QFontMetrics metrics(time_->font());
    for (QLabel* label : {time_, length_}) {
        label->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("00:00:00")) + 4);
        label->setAlignment(Qt::AlignCenter);
    }
    auto* separator = new QLabel(QStringLiteral("/"), this);

    play_ = MakeGlyphButton("btnPlay", tr("Play"), Glyph::Play, this);
    pause_ = MakeGlyphButton("btnPause", tr("Pause"), Glyph::Pause, this);
    stop_ = MakeGlyphButton("btnStop", tr("Stop"), Glyph::Stop, this);

    seekSettled_ = new QTimer(this);
    seekSettled_->setSingleShot(true);
    seekSettled_->setInterval(kSeekSettleMs);
    connect(seekSettled_, &QTimer::timeout, this, [this] { holding_ = false; });

    auto* seekRow = new QHBoxLayout;
    seekRow->setContentsMargins(0, 0, 0, 0);
    seekRow->setSpacing(4);
    seekRow->addWidget(seekBar_, 1);
    seekRow->addWidget(time_);
    seekRow->addWidget(separator);
    seekRow->addWidget(length_);

    buttonRow_ = new QHBoxLayout;
    buttonRow_->setContentsMargins(0, 0, 0, 0);
    buttonRow_->setSpacing(4);
    for (QPushButton* button : {play_, pause_, stop_}) {
        buttonRow_->addWidget(button);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addLayout(seekRow);
    layout->addLayout(buttonRow_);

    connect(play_, &QPushButton::clicked, this, &EditorPlayback::Play);
    connect(pause_, &QPushButton::clicked, this, &EditorPlayback::Pause);
    connect(stop_, &QPushButton::clicked, this, &EditorPlayback::Stop);
    connect(seekBar_, &TrackBar2::changed, this, [this] {
        if (seekBar_->TrackingL()) {
            seekSettled_->stop();
            holding_ = true;
        }
    });
    connect(seekBar_, &TrackBar2::released, this, &EditorPlayback::SeekToBar);

    player_.SetOnFileOpen([this](player::PlayerBase&, std::int64_t duration, int frameWidth,
                                 int frameHeight, int&, int&) {
        FileOpened(duration);
        emit fileOpened(duration, frameWidth, frameHeight);
    });
    player_.SetOnPosition([this](player::PlayerBase&, std::int64_t pts) { PositionChanged(pts); });
    player_.SetOnState(
        [this](player::PlayerBase&, player::PlayState state) { StateChanged(state); });
    SetButtons(true, false, false);
    ShowZeroTimes();
}

EditorPlayback::~EditorPlayback() {
    player_.SetOnFileOpen({});
    player_.SetOnPosition({});
    player_.SetOnState({});
    player_.Stop(true);
}

bool EditorPlayback::EnsureLibraries(std::string& error) {
    if (player_.MediaLibrariesLoaded() ||
        player_.LoadMediaLibraries(media::ExecutableFolder() / "medialibs")) {
        return true;
    }
    error = player_.LastErrorMessage();
    return false;
}

std::int64_t EditorPlayback::TotalSeconds() const {
    return RoundedSeconds(duration_);
}

bool EditorPlayback::Open(const std::filesystem::path& source, player::VideoSurface* surface) {
    source_ = source;
    surface_ = surface;
    duration_ = 0;
    std::string error;
    if (!EnsureLibraries(error) || !player_.Open(source.string(), surface)) {
        paused_ = true;
        stopped_ = true;
        SetButtons(true, false, false);
        seekBar_->setEnabled(false);
        emit playStateChanged();
        return false;
    }
    paused_ = false;
    stopped_ = false;
    SetButtons(false, true, true);
    seekBar_->setEnabled(duration_ > 0);
    emit playStateChanged();
    return true;
}

void EditorPlayback::Play() {
    if (paused_ && !stopped_) {
        paused_ = false;
        SetButtons(false, true, true);
        player_.Resume();
        emit playStateChanged();
        return;
    }
    if (!source_.empty()) {
        Open(source_, surface_);
    }
}

void EditorPlayback::Pause() {
    if (!player_.Paused()) {
        player_.Pause();
    }
    paused_ = true;
    SetButtons(true, false, !stopped_);
    emit playStateChanged();
}

void EditorPlayback::Stop() {
    if (player_.Paused()) {
        player_.Resume();
    }
    player_.Stop(true);
    seekBar_->SetPositionL(0);
    seekBar_->setEnabled(false);
    paused_ = false;
    stopped_ = true;
    SetButtons(true, false, false);
    ShowZeroTimes();
    emit playStateChanged();
}

void EditorPlayback::HoldSeekBar() {
    seekSettled_->stop();
    holding_ = true;
}

void EditorPlayback::SeekToBar() {
    if (!holding_ || duration_ <= 0 || seekBar_->Maximum() <= 0) {
        return;
    }
    const double fraction = static_cast<double>(seekBar_->PositionL()) / seekBar_->Maximum();
    player_.Seek(0, false, static_cast<std::int64_t>(fraction * static_cast<double>(duration_)));
    seekSettled_->start();
}

void EditorPlayback::FileOpened(std::int64_t duration) {
    duration_ = std::max<std::int64_t>(duration, 0);
    length_->setText(QString::fromStdString(FormatSeconds(TotalSeconds())));
    time_->setText(QString::fromStdString(FormatSeconds(0)));
    const int maximum = scale_ == SeekScale::Seconds ? static_cast<int>(TotalSeconds())
                                                     : std::max(seekBar_->width(), 1);
    seekBar_->SetRange(0, std::max(maximum, 0));
    seekBar_->SetPositionL(0);
    holding_ = false;
    const profiles::IniFile settings(files_.Settings);
    const int volume = settings.ReadInteger(keys::Section, keys::Volume, keys::VolumeDefault);
    if (volume >= 0 && volume <= 128) {
        player_.SetAudioVolume(volume);
    }
    player_.SetMute(settings.ReadInteger(keys::Section, keys::Mute, keys::MuteDefault) == 1);
}

void EditorPlayback::PositionChanged(std::int64_t pts) {
    time_->setText(QString::fromStdString(FormatSeconds(RoundedSeconds(pts))));
    if (!holding_ && duration_ > 0) {
        seekBar_->SetPositionL(
            static_cast<int>(static_cast<std::int64_t>(seekBar_->Maximum()) * pts / duration_));
    }
}

void EditorPlayback::StateChanged(player::PlayState state) {
    switch (state) {
        case player::PlayState::psPause:
            paused_ = true;
            SetButtons(true, false, !stopped_);
            break;
        case player::PlayState::psStop:
            stopped_ = true;
            SetButtons(true, false, false);
            seekBar_->setEnabled(false);
            break;
        case player::PlayState::psEnd:
            // The first picture stays on screen, ready to play again.
            paused_ = true;
            stopped_ = true;
            SetButtons(true, false, false);
            player_.Seek(0, false, 0);
            player_.Pause();
            seekBar_->SetPositionL(0);
            time_->setText(QString::fromStdString(FormatSeconds(0)));
            break;
        default:
            return;
    }
    emit playStateChanged();
}

void EditorPlayback::SetButtons(bool play, bool pause, bool stop) {
    play_->setEnabled(play);
    pause_->setEnabled(pause);
    stop_->setEnabled(stop);
}

void EditorPlayback::ShowZeroTimes() {
    time_->setText(QString::fromLatin1(kZeroTime));
    length_->setText(QString::fromLatin1(kZeroTime));
}

}  // namespace quillo::gui
