#pragma once

#include <QWidget>
#include <cstdint>
#include <filesystem>

#include "player/player.h"
#include "profiles/profile_files.h"

class QHBoxLayout;
class QLabel;
class QPushButton;
class QTimer;

namespace quillo::gui {

class TrackBar2;

// The playback controls the editing windows share, with the window's player: the seek
// bar "trcPreview" with the elapsed time "lblTime" and the length "lblPTS", and the buttons
// "btnPlay", "btnPause" and "btnStop" with room after them for a window's own controls.
// Play resumes when paused and opens the file again when stopped; Stop shows "00:00:00" in
// both labels; at the end the first picture stays on screen, paused. The player's
// OnFileOpen, OnPosition and OnState handlers are this object's; it stops the player, waiting,
// when it goes.
class EditorPlayback : public QWidget {
    Q_OBJECT
public:
    // The seek bar counts whole seconds of the file, or one step per pixel of its width.
    enum class SeekScale { Seconds, Pixels };

    EditorPlayback(profiles::ProfileFiles files, SeekScale scale, QWidget* parent = nullptr);
    ~EditorPlayback() override;

    // Loads the player's libraries when they are not loaded; false with the loader's text.
    bool EnsureLibraries(std::string& error);
    // Opens source into surface (null: nothing drawn) and plays it; false when it cannot be
    // played, the buttons then set so that only Play can be pressed.
    bool Open(const std::filesystem::path& source, player::VideoSurface* surface);
    void Play();
    void Pause();
    // Stops with wait: the seek bar goes back to 0 and is disabled.
    void Stop();

    bool Paused() const { return paused_; }
    bool Stopped() const { return stopped_; }
    // Of the file last opened, in microseconds; 0 before.
    std::int64_t Duration() const { return duration_; }
    // The rounded length in whole seconds.
    std::int64_t TotalSeconds() const;

    player::Player& GetPlayer() { return player_; }
    TrackBar2& SeekBar() { return *seekBar_; }
    // Where a window adds its own controls beside the buttons.
    QHBoxLayout& ButtonRow() { return *buttonRow_; }

    // Something other than the seek bar put it where the picture should go (a trim marker):
    // positions leave the bar alone until the seek that follows.
    void HoldSeekBar();
    // Seeks to the bar's position; the bar keeps still for a moment while the seek lands.
    void SeekToBar();

signals:
    // The file opened (after the bar's range and the labels are set); duration in µs.
    void fileOpened(std::int64_t duration, int frameWidth, int frameHeight);
    // Paused, stopped or playing again.
    void playStateChanged();

private:
    void FileOpened(std::int64_t duration);
    void PositionChanged(std::int64_t pts);
    void StateChanged(player::PlayState state);
    void SetButtons(bool play, bool pause, bool stop);
    void ShowZeroTimes();

    player::Player player_;
    profiles::ProfileFiles files_;
    SeekScale scale_;
    std::filesystem::path source_;
    player::VideoSurface* surface_ = nullptr;
    std::int64_t duration_ = 0;
    bool paused_ = true;
    bool stopped_ = true;
    bool holding_ = false;  // the bar does not follow the playback

    TrackBar2* seekBar_ = nullptr;
    QLabel* time_ = nullptr;
    QLabel* length_ = nullptr;
    QPushButton* play_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* stop_ = nullptr;
    QHBoxLayout* buttonRow_ = nullptr;
    QTimer* seekSettled_ = nullptr;
};

}  // namespace quillo::gui
