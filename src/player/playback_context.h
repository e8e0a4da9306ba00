#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "media/library_pointers.h"
#include "media/media_input.h"
#include "player/audio_output.h"
#include "player/audio_waveform.h"
#include "player/display_composer.h"
#include "player/display_event.h"
#include "player/packet_queue.h"
#include "player/picture_queue.h"

namespace quillo::player {

class PlayerBase;

// Everything of one open file behind a player: the read thread that demuxes into bounded
// packet queues, the video and subtitle decoding threads, the audio output, the picture
// queue with its clocks and pacing, and the display state the play thread draws with.
// The audio clock is the master: pictures become due when the sound reaches them, and late
// pictures are skipped by the decoder or dropped by the display.
class PlaybackContext {
public:
    PlaybackContext(PlayerBase& player, std::string fileName);
    PlaybackContext(const PlaybackContext&) = delete;
    PlaybackContext& operator=(const PlaybackContext&) = delete;
    ~PlaybackContext();

    // Starts the read thread and waits until the file is open or has failed, running the
    // main thread's calls meanwhile. On failure the player's last error says why and every
    // thread has ended.
    bool Open();
    // Stops every thread and closes the file. Safe to call again.
    void Close();

    // Runs the display loop on the calling (play) thread until a quit event has closed the
    // context.
    void RunDisplayLoop();
    void PostDisplayEvent(const DisplayEvent& event) { displayEvents_.Post(event); }

    // From the display loop itself, insideDisplayLoop must be set: it holds the player lock.
    void TogglePause(bool insideDisplayLoop = false);
    bool IsPaused() const { return paused_.load(); }
    // A request the read thread serves; dropped while another is pending.
    void RequestSeek(int flags, bool wait, std::int64_t relative, std::int64_t target);
    // The target of the request waiting for the read thread, if one waits.
    bool PendingSeek(std::int64_t& target);

    double VideoClock() const;
    double AudioClock() const;
    double MasterClock() const;

    AVFormatContext* FormatContext() const { return input_.Context(); }
    bool HasVideo() const { return videoStream_ != nullptr; }
    bool HasAudio() const { return audio_.IsOpen(); }
    bool IsImageSequence() const { return imageSequence_; }
    bool IsCaptureDevice() const { return captureDevice_; }
    std::int64_t StartTime() const { return startTime_; }
    std::int64_t Duration() const { return duration_; }
    std::int64_t AudioStreamDuration() const { return audio_.StreamDurationMicroseconds(); }
    int VideoWidth() const;
    int VideoHeight() const;
    // True when reading reached the end and every packet queue, the video decoder and the
    // picture queue are empty.
    bool DrainedAtEnd() const;
    bool ReadingBlocked() const { return reading_.load(); }
    // Pictures drawn, and pictures skipped by the decoder or dropped by the display because
    // they were late.
    int ShownPictures() const { return shownPictures_.load(); }
    int DroppedPictures() const { return droppedPictures_.load(); }

    // The picture on screen, copied by the caller under the picture queue's lock.
    template <typename Use>
    void WithShownPicture(Use use) {
        std::lock_guard lock(pictures_.mutex);
        const PictureSlot* slot =
            pictures_.shown >= 0 ? &pictures_.slots[pictures_.shown] : nullptr;
        use(slot != nullptr && slot->frame != nullptr && slot->frame->data[0] != nullptr ? slot
                                                                                         : nullptr);
    }

private:
    struct DecoderStream {
        AVStream* stream = nullptr;
        media::CodecContextPtr decoder;
    };

    static int InterruptCallback(void* opaque);

    // Read thread.
    void ReadThread();
    bool OpenInput();
    void SelectAndOpenStreams();
    bool OpenDecoder(AVStream* stream, DecoderStream& target);
    void ServeSeek();
    bool QueuesAreFull() const;
    void CloseStreams();
    void ReadLoop();

    // Video thread.
    void VideoThread();
    // 1 with a picture in frame, 0 without one this time, -1 when the thread must end.
    int DecodeVideoFrame(AVFrame* frame);
    void OnVideoFlush();
    // False when the thread must end; stale tells whether the picture was from before a seek
    // (or could not be queued), first whether it is the first one after a flush.
    bool OutputPicture(AVFrame* frame, double pts, bool& stale, bool& first);
    bool FillSlot(PictureSlot& slot, AVFrame* frame, double pts);
    double TargetTimeLocked(double pts);
    double FrameDuration(const AVFrame* frame) const;

    // Subtitle thread.
    void SubtitleThread();
    void FreeSubtitleLocked(int index);

    // Refresh and display (play thread).
    void RefreshThread();
    void RefreshTimer(bool dequeue);
    void ReleaseReadSlotLocked();
    void ExpireSubtitles(double pts);
    void BlendSubtitles(PictureSlot& slot);
    int OpenDisplay(bool force);
    void Draw();
    void DrawPicture();
    void DrawWaveform();
    void HandleResize(int width, int height);

    bool WaitWhilePaused(const PacketQueue& queue) const;
    bool SeekRequested() {
        std::lock_guard lock(seekMutex_);
        return seekPending_;
    }
    void HoldAudioForPicture();
    void UpdateAudioHold() { audioHeld_.store(paused_.load() || awaitingPicture_.load()); }

    PlayerBase& player_;
    std::string fileName_;

    media::MediaInput input_;
    DecoderStream video_;
    DecoderStream subtitle_;
    DecoderStream audioDecoder_;
    AVStream* videoStream_ = nullptr;  // set once the video stream plays
    bool imageSequence_ = false;
    bool captureDevice_ = false;
    std::int64_t startTime_ = 0;
    std::int64_t duration_ = -1;

    std::thread readThread_;
    std::thread videoThread_;
    std::thread subtitleThread_;
    std::thread refreshThread_;

    std::atomic<bool> abortRequest_{false};
    std::atomic<int> openState_{0};  // 0 opening, 1 open, -1 failed, -2 failed and cleaned up
    std::atomic<bool> paused_{false};
    bool lastPausedSeen_ = false;  // read thread
    std::atomic<bool> refreshPending_{false};
    std::atomic<bool> pausedAtSeek_{false};
    std::atomic<bool> endOfFile_{false};  // read thread found the end
    bool endLogged_ = false;
    std::atomic<bool> drainedAtEnd_{false};
    std::atomic<bool> videoDrained_{false};  // the decoder gave out its last picture
    std::atomic<bool> reading_{false};
    // The sound waits for the first picture after the start and after each seek, so that a
    // decoder that takes a moment to start does not leave the pictures late from the outset.
    std::atomic<bool> audioHeld_{false};
    std::atomic<bool> awaitingPicture_{false};
    std::atomic<double> heldSince_{0.0};

    std::mutex seekMutex_;
    bool seekPending_ = false;
    int seekFlags_ = 0;
    std::int64_t seekTarget_ = 0;
    std::int64_t seekRelative_ = 0;

    PacketQueue audioQueue_;
    PacketQueue videoQueue_;
    PacketQueue subtitleQueue_;
    mutable PictureQueue pictures_;
    SubtitleQueue subtitles_;

    // Video timing; the frame timer, last pts and last delay are guarded by pictures_.mutex.
    std::atomic<double> videoDecodeClock_{0.0};
    std::atomic<double> currentPtsDrift_{0.0};
    std::atomic<double> pausedClock_{0.0};
    bool staleUntilFlush_ = false;  // a seek was served; the decoder has not met its flush
    double frameTimer_ = 0.0;
    double pausedAt_ = 0.0;  // when the pause began, or when a picture was last shown in it
    double lastFramePts_ = 0.0;
    bool lastFramePtsKnown_ = false;
    double lastFrameDelay_ = 0.0;
    std::atomic<float> skipFactor_{1.0F};
    float skipIndex_ = 0.0F;
    double frameRate_ = 25.0;

    AudioOutput audio_;
    SampleRing waveformRing_;
    bool audioDisplay_ = false;
    int lastWaveformStart_ = 0;

    DisplayEventQueue displayEvents_;
    DisplayComposer composer_;
    bool displayOpen_ = false;
    // Video thread only.
    media::PacketPtr videoPacket_;
    bool pendingPacket_ = false;  // the decoder refused it until a picture is taken out
    bool decoderDraining_ = false;
    bool firstAfterSeek_ = false;
    media::SwsContextPtr copyScaler_;
    std::atomic<bool> closed_{false};
    std::atomic<int> shownPictures_{0};
    std::atomic<int> droppedPictures_{0};
};

}  // namespace quillo::player
