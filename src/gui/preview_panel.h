#pragma once

#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "player/player.h"
#include "profiles/profile_files.h"

class QLabel;
class QPushButton;
class QSlider;

namespace quillo::gui {

class VideoWidget;

// The main window's preview: the Player drawing into a VideoWidget, with play, pause, stop,
// previous, next and snapshot buttons, the position bar with the elapsed and total time, and
// the volume bar with the mute button (both stored in the program settings). It follows every
// enabling rule of the preview; which file to play and what previous and next mean belong to
// the main window, which it asks through signals.
// Controls (objectName): "pnlVideo", "btnPlay", "btnPause", "btnStop", "btnPrevious",
// "btnNext", "btnSnapshot", "trcPosition", "lblElapsed", "lblTotal", "trcVolume", "btnMute".
class PreviewPanel : public QWidget {
    Q_OBJECT
public:
    PreviewPanel(profiles::ProfileFiles files, QWidget* parent = nullptr);
    ~PreviewPanel() override;

    player::Player& GetPlayer();
    VideoWidget& Video();

    // Loads the player's libraries when they are not loaded; false with the loader's text.
    bool EnsureLibraries(std::string& error);
    // The Play command (the play button; a double click on a row): resumes when paused,
    // otherwise loads the libraries and asks the main window for the row (playRequested).
    void Play();
    // Opens and plays source (the focused row's), setting the buttons as the Play command does.
    void PlayFile(const std::filesystem::path& source);
    // The Pause and Stop commands; Stop also runs before editing windows, batches and when the
    // list becomes empty.
    void Pause();
    void Stop();
    bool IsPaused() const { return paused_; }
    bool IsStopped() const { return stopped_; }
    // Shows and applies the stored volume and mute again (another window changed them).
    void ReloadAudioSettings();
    // Enables Previous and Next as the main window computes them from the focused row.
    void SetNavigation(bool previousEnabled, bool nextEnabled);

signals:
    // Play pressed while not paused: the main window picks the row (or runs Add).
    void playRequested();
    void previousRequested();
    void nextRequested();
    void snapshotRequested();
    // A line for the hidden log memo.
    void logLine(const QString& line);

private:
    void FileOpened(std::int64_t duration, int frameWidth, int frameHeight, int& screenWidth,
                    int& screenHeight);
    void PositionChanged(std::int64_t pts);
    void EndReached();
    void SeekToBar();
    void VolumeChanged(int volume);
    void MuteToggled(bool muted);
    // Which of the play, pause, stop and snapshot buttons can be pressed.
    void SetCommands(bool play, bool pause, bool stop, bool snapshot);
    void ResetTimes();
    void WriteSetting(const char* key, int value);

    profiles::ProfileFiles files_;
    bool paused_ = false;
    bool stopped_ = true;
    // The user holds the position bar, or a seek from it has only just been asked for: the
    // bar does not follow the playback meanwhile.
    bool dragging_ = false;
    std::int64_t duration_ = 0;  // microseconds, of the file open
    struct Controls;
    std::unique_ptr<Controls> controls_;
};

}  // namespace quillo::gui
