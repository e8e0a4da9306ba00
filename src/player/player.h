#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

extern "C" {
#include <libavutil/frame.h>
}

#include "media/bitmap.h"
#include "media/bitmap_converter.h"
#include "media/media_component.h"
#include "media/media_probe.h"
#include "player/audio_controls.h"
#include "player/manual_reset_event.h"
#include "player/play_state.h"
#include "player/player_event_ring.h"
#include "player/video_surface.h"

namespace quillo::player {

class PlayerBase;
class PlaybackContext;

// The SDL audio driver to use; the default leaves the choice to SDL and the environment.
enum class AudioDriver { adDefault, adDirectSound, adWaveOut };
// Kept for forms that store it: the picture is composed by the player, not by SDL's video.
enum class VideoDriver { vdDefault, vdDirectDraw, vdGDI };

// duration in microseconds (-1 unknown, 0 for picture sequences); frameWidth and frameHeight
// -1 without video. The handler may set screenWidth and screenHeight to choose the display
// size; left at 0 they become the surface's client size.
using FileOpenEvent = std::function<void(PlayerBase& sender, std::int64_t duration, int frameWidth,
                                         int frameHeight, int& screenWidth, int& screenHeight)>;
// Runs on the video thread for every picture about to be queued: what the handler draws on
// the bitmap is what is shown (a player without a surface shows nothing and keeps the
// picture as decoded). pts in microseconds from the file start.
using HookEvent = std::function<void(PlayerBase& sender, media::Bitmap& bitmap, std::int64_t pts)>;
using PositionEvent = std::function<void(PlayerBase& sender, std::int64_t pts)>;
using PlayStateEvent = std::function<void(PlayerBase& sender, PlayState state)>;

// The preview player: plays one file at a time into a VideoSurface, with its sound through
// SDL, and tells the form when the file opened, where playback is, and when the play state
// changes. OnPosition and OnState arrive through an event thread, in the main thread when
// TriggerEventInMainThread is set; consecutive positions (and consecutive states) coalesce
// when the form is slow. Operations are made from the main thread (or one thread that owns
// the player); waits for the media threads keep running the main thread's queued calls.
class PlayerBase : public media::MediaComponent {
public:
    PlayerBase();
    ~PlayerBase() override;

    // Loads the player's library set (the converter's and SDL 2) from folder, else from the
    // system; on failure the loader's message becomes the last error.
    bool LoadMediaLibraries(const std::filesystem::path& folder);
    bool MediaLibrariesLoaded() const;

    // Stops what plays, opens fileName and starts playing into surface (null: nothing is
    // drawn). False with LastErrorMessage() saying why.
    bool Open(const std::string& fileName, VideoSurface* surface);
    // Asks the playback to end; with wait, returns once it has and psStop was delivered
    // (unless called from inside an event handler, which must not wait for itself).
    void Stop(bool wait);
    void Pause();
    void Resume();
    // Shows one more picture, then pauses again.
    void Step();
    // True when nothing is open or the playback is paused.
    bool Paused() const;
    // flags: 0 seeks to a key frame, 4 (AVSEEK_FLAG_ANY) to any frame, 2 (by bytes) takes
    // position as a byte offset; otherwise position is in microseconds from the file start,
    // limited to the duration. With wait, returns when a picture of the new position is
    // queued. A request made while another is pending is dropped.
    void Seek(int flags, bool wait, std::int64_t position);
    // A copy of the picture on screen at the video's size (black before the first picture,
    // 0 x 0 without video); pts gets its position (-1 without video). The bitmap belongs to
    // the player and is reused by the next call.
    const media::Bitmap& CurrentFrame();
    const media::Bitmap& CurrentFrame(std::int64_t& pts);

    // The host's display area changed size, or must be drawn again (paused pictures).
    void ResizeDisplay(int width, int height);
    void Redraw();

    // Pictures shown so far in the file that plays, and pictures skipped or dropped because
    // they were late; 0 with nothing open.
    int PicturesShown() const;
    int PicturesDropped() const;

    const std::string& LastErrorMessage() const { return lastError_; }
    // The probe attached to the playing file's format context.
    media::MediaProbe& Probe() { return probe_; }
    static constexpr const char* kVersion = "2.3";
    std::string Version() const { return kVersion; }

    // Properties.
    AudioDriver GetAudioDriver() const { return audioDriver_; }
    void SetAudioDriver(AudioDriver driver) { audioDriver_ = driver; }
    VideoDriver GetVideoDriver() const { return videoDriver_; }
    void SetVideoDriver(VideoDriver driver) { videoDriver_ = driver; }
    int AudioVolume() const { return audioControls_.volume.load(); }
    void SetAudioVolume(int volume);
    bool Mute() const { return audioControls_.mute.load(); }
    void SetMute(bool mute) { audioControls_.mute.store(mute); }
    bool DisableAudio() const { return disableAudio_; }
    void SetDisableAudio(bool value) { disableAudio_ = value; }
    bool DisableVideo() const { return disableVideo_; }
    void SetDisableVideo(bool value) { disableVideo_ = value; }
    bool DisableDisplay() const { return disableDisplay_; }
    void SetDisableDisplay(bool value) { disableDisplay_ = value; }
    int FrameWidth() const { return frameWidth_; }
    void SetFrameWidth(int value) { frameWidth_ = value; }
    int FrameHeight() const { return frameHeight_; }
    void SetFrameHeight(int value) { frameHeight_ = value; }
    bool Hook() const { return hook_.load(); }
    void SetHook(bool value) { hook_.store(value); }
    int ScreenWidth() const { return screenWidth_.load(); }
    void SetScreenWidth(int value) { screenWidth_.store(value); }
    int ScreenHeight() const { return screenHeight_.load(); }
    void SetScreenHeight(int value) { screenHeight_.store(value); }
    bool TriggerEventInMainThread() const { return triggerEventInMainThread_.load(); }
    void SetTriggerEventInMainThread(bool value) { triggerEventInMainThread_.store(value); }
    float GetAspectRatio() const { return aspectRatio_.load(); }

    void SetOnFileOpen(FileOpenEvent handler);
    void SetOnHook(HookEvent handler);
    void SetOnPosition(PositionEvent handler);
    void SetOnState(PlayStateEvent handler);

protected:
    void StoreAspectRatio(float ratio);

private:
    friend class PlaybackContext;

    struct Handlers {
        FileOpenEvent onFileOpen;
        HookEvent onHook;
        PositionEvent onPosition;
        PlayStateEvent onState;
    };

    // Called by the playback threads.
    void ReportPosition(const PlaybackContext& context);
    // picture is a writable 4:2:0 planar picture; pts in microseconds from the file start.
    void RunFrameHook(AVFrame& picture, std::int64_t pts);
    void ClearEndReported() { endReported_.store(false); }
    void ReportState(PlayState state);
    void SetLastError(std::string message);
    VideoSurface* Surface() const { return surface_; }
    const AudioControls& Controls() const { return audioControls_; }
    bool StepRequested() const { return stepFlag_.load(); }
    void ClearStep() { stepFlag_.store(false); }

    void DeliverFileOpen();
    void PlayThread(PlaybackContext& context);
    void EventThread();
    void EnsureEventThread();
    void ResetFileFields();
    void ChangeHandlers(const std::function<void(Handlers&)>& change);
    std::shared_ptr<const Handlers> CurrentHandlers() const { return handlers_.load(); }
    void JoinPlayThread();
    // A file is open and its play thread has not ended (Stop without wait ends it later).
    bool FileOpen() const;

    std::atomic<std::shared_ptr<const Handlers>> handlers_;

    AudioDriver audioDriver_ = AudioDriver::adDefault;
    VideoDriver videoDriver_ = VideoDriver::vdDefault;
    AudioControls audioControls_;
    bool disableAudio_ = false;
    bool disableVideo_ = false;
    bool disableDisplay_ = false;
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    std::atomic<bool> hook_{false};
    std::atomic<int> screenWidth_{0};
    std::atomic<int> screenHeight_{0};
    std::atomic<bool> triggerEventInMainThread_{true};
    std::atomic<float> aspectRatio_{0.0F};

    std::unique_ptr<PlaybackContext> context_;
    std::atomic<PlaybackContext*> liveContext_{nullptr};  // what the media threads may see
    std::string fileName_;
    VideoSurface* surface_ = nullptr;
    std::string lastError_;
    std::atomic<bool> stepFlag_{false};
    std::int64_t lastReportedPosition_ = INT64_MIN;
    std::atomic<bool> endReported_{false};
    bool sdlStarted_ = false;

    media::MediaProbe probe_;
    media::BitmapConverter snapshotConverter_;
    media::BitmapConverter hookConverter_;
    media::Bitmap snapshot_;

    PlayerEventRing events_;
    std::thread eventThread_;
    std::atomic<bool> eventThreadFinished_{false};
    std::atomic<int> stopsPosted_{0};
    std::atomic<int> stopsDelivered_{0};
    std::atomic<int> deliveringDepth_{0};  // > 0 while a handler runs on the main thread

    std::thread playThread_;
    std::timed_mutex playerLock_;  // held while the display loop handles one event
    ManualResetEvent seekDone_{true};
    ManualResetEvent frameShown_{true};
    ManualResetEvent playThreadDone_{true};
};

// The component forms place: PlayerBase with the aspect ratio setter.
class Player : public PlayerBase {
public:
    // > 0 forces that display aspect ratio, 0 uses the stream's own, < 0 fills the display
    // area. A change redraws the file that plays.
    float AspectRatio() const { return GetAspectRatio(); }
    void SetAspectRatio(float ratio) { StoreAspectRatio(ratio); }
};

}  // namespace quillo::player
