#pragma once

#include <cstdint>

#include "gui/job_editor_window.h"
#include "profiles/profile_files.h"

class QLineEdit;

namespace quillo::player {
class Player;
}

namespace quillo::gui {

class EditorPlayback;
class TrimMarkerBar;
class VideoWidget;

// The trim editor ("Trim"): plays a job's source and lets the user pick a start and an end in
// whole seconds with two markers on the bar "trcPosition" under the video; "Ok" stores the
// start and the length into the job and shows the length in its "Trimmed Length" cell.
// Controls (objectName): "imgPreview", the playback controls of EditorPlayback, "trcPosition",
// "edtStart", "edtTrimLength", "btnDefault", "btnOk", "btnCancel".
// Made once and reused; each Edit rebuilds its state from the job.
class TrimWindow : public JobEditorWindow {
    Q_OBJECT
public:
    TrimWindow(profiles::ProfileFiles files, QWidget* parent = nullptr);
    ~TrimWindow() override;

    player::Player& GetPlayer();
    std::int64_t StartSecond() const { return startSecond_; }
    std::int64_t EndSecond() const { return endSecond_; }
    std::int64_t TotalSeconds() const { return totalSeconds_; }

    // The marker pictures' width: a marker's left edge is at most the bar's width less this.
    static constexpr int kMarkerWidth = 11;

protected:
    void done(int result) override;

private:
    enum class Marker { Start, End };

    void ShowJob() override;
    void FileOpened(std::int64_t duration);
    void PlaceMarkers();
    int MarkerSpan() const;
    void MarkerPressed(int x);
    void MarkerDragged(int x);
    void MarkerReleased(int x);
    // Moves the marker nearer to x (by the midpoint between them), within the limits.
    void MoveMarkerTo(int x, int startLimit, int endLimit);
    void ShowSeconds();
    void Defaults();
    void Accept();

    profiles::ProfileFiles files_;

    std::int64_t duration_ = 0;
    std::int64_t totalSeconds_ = 0;
    std::int64_t startSecond_ = 0;
    std::int64_t endSecond_ = 0;
    int startX_ = 0;
    int endX_ = 0;

    VideoWidget* video_ = nullptr;
    EditorPlayback* playback_ = nullptr;
    TrimMarkerBar* markers_ = nullptr;
    QLineEdit* start_ = nullptr;
    QLineEdit* end_ = nullptr;
};

}  // namespace quillo::gui
