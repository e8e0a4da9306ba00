#pragma once

#include <QWidget>
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
    // Opens and plays source (the focused row's), setting the buttons as the Play command does.
    void PlayFile(const std::filesystem::path& source);
    // The Pause and Stop commands; Stop also runs before editing windows, batches and when the
    // list becomes empty.
    void Pause();
    void Stop();
    bool IsPaused() const { return paused_; }
    bool IsStopped() const { return stopped_; }
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
    bool paused_ = false;
    bool stopped_ = true;
    struct Controls;
    std::unique_ptr<Controls> controls_;
};

}  // namespace quillo::gui
