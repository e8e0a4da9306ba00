#include <chrono>
#include <cmath>
#include <thread>

#include "media/library_bindings.h"
#include "player/clock_time.h"
#include "player/playback_context.h"
#include "player/player.h"
#include "player/subtitle_blend.h"

namespace quillo::player {

namespace lib = media::lib;

namespace {

constexpr int kDefaultDisplayWidth = 640;
constexpr int kDefaultDisplayHeight = 480;
// Seconds the sound waits for the first picture at most.
constexpr double kLongestAudioHold = 1.0;

}  // namespace

void PlaybackContext::SubtitleThread() {
    media::PacketPtr packet(lib::avcodec.av_packet_alloc());
    AVCodecContext* decoder = subtitle_.decoder.get();
    const AVRational timeBase = subtitle_.stream->time_base;
    for (;;) {
        if (!WaitWhilePaused(subtitleQueue_)) {
            return;
        }
        const PacketQueue::Result got = subtitleQueue_.Get(packet.get(), true);
        if (got == PacketQueue::Result::Aborted) {
            return;
        }
        if (got == PacketQueue::Result::Flush) {
            lib::avcodec.avcodec_flush_buffers(decoder);
            continue;
        }
        int index = 0;
        {
            std::unique_lock lock(subtitles_.mutex);
            subtitles_.changed.wait(lock, [this] {
                return subtitles_.count < SubtitleQueue::kSlots || subtitleQueue_.Aborted();
            });
            if (subtitleQueue_.Aborted()) {
                return;
            }
            index = subtitles_.writeIndex;
        }
        // The slot at the write index is free until the count says otherwise.
        SubtitleSlot& slot = subtitles_.slots[index];
        int decoded = 0;
        const int result =
            lib::avcodec.avcodec_decode_subtitle2(decoder, &slot.subtitle, &decoded, packet.get());
        slot.pts = packet->pts != AV_NOPTS_VALUE
                       ? static_cast<double>(packet->pts) * av_q2d(timeBase)
                       : 0.0;
        lib::avcodec.av_packet_unref(packet.get());
        if (result < 0 || decoded == 0) {
            continue;
        }
        if (slot.subtitle.format != 0) {
            // Only bitmap subtitles are drawn.
            lib::avcodec.avsubtitle_free(&slot.subtitle);
            continue;
        }
        for (unsigned i = 0; i < slot.subtitle.num_rects; ++i) {
            PaletteToYuva(*slot.subtitle.rects[i]);
        }
        std::lock_guard lock(subtitles_.mutex);
        subtitles_.writeIndex = (index + 1) % SubtitleQueue::kSlots;
        ++subtitles_.count;
    }
}

void PlaybackContext::ExpireSubtitles(double pts) {
    std::lock_guard lock(subtitles_.mutex);
    while (subtitles_.count > 0) {
        const SubtitleSlot& first = subtitles_.slots[subtitles_.readIndex];
        const SubtitleSlot& second =
            subtitles_.slots[(subtitles_.readIndex + 1) % SubtitleQueue::kSlots];
        const bool ended = pts > first.pts + first.subtitle.end_display_time / 1000.0;
        const bool followed =
            subtitles_.count > 1 && pts > second.pts + second.subtitle.start_display_time / 1000.0;
        if (!ended && !followed) {
            return;
        }
        FreeSubtitleLocked(subtitles_.readIndex);
    }
}

void PlaybackContext::BlendSubtitles(PictureSlot& slot) {
    if (!slot.ownBuffer) {
        return;
    }
    std::lock_guard lock(subtitles_.mutex);
    if (subtitles_.count == 0) {
        return;
    }
    const SubtitleSlot& first = subtitles_.slots[subtitles_.readIndex];
    if (slot.pts < first.pts + first.subtitle.start_display_time / 1000.0 ||
        slot.blendedSubtitle == &first.subtitle) {
        return;
    }
    for (unsigned i = 0; i < first.subtitle.num_rects; ++i) {
        BlendSubtitleRect(*slot.frame, *first.subtitle.rects[i]);
    }
    slot.blendedSubtitle = &first.subtitle;
}

void PlaybackContext::ReleaseReadSlotLocked() {
    // A dropped picture also becomes the kept one: the writer must never reach the slot
    // before the read index while the display may still draw it.
    pictures_.shown = pictures_.readIndex;
    pictures_.readIndex = (pictures_.readIndex + 1) % PictureQueue::kSlots;
    --pictures_.count;
    pictures_.changed.notify_all();
}

void PlaybackContext::RefreshTimer(bool dequeue) {
    if (awaitingPicture_.load() && NowSeconds() - heldSince_.load() > kLongestAudioHold) {
        // No picture comes: the sound plays on its own.
        awaitingPicture_.store(false);
        UpdateAudioHold();
    }
    if (video_.stream != nullptr) {
        for (;;) {
            std::unique_lock lock(pictures_.mutex);
            if (pictures_.count == 0 || !dequeue) {
                lock.unlock();
                if (!dequeue) {
                    Draw();
                }
                break;
            }
            PictureSlot& slot = pictures_.slots[pictures_.readIndex];
            if (slot.stale) {
                ReleaseReadSlotLocked();
                continue;
            }
            const bool paused = paused_.load();
            if (paused && !slot.firstAfterSeek) {
                break;  // the picture on screen stays until playback goes on
            }
            const double now = NowSeconds();
            if (!paused && now < slot.targetTime) {
                return;
            }
            currentPtsDrift_.store(slot.pts - now);
            if (paused) {
                pausedClock_.store(slot.pts);
                pausedAt_ = now;
            } else {
                const double nextTarget =
                    pictures_.count == 1
                        ? slot.targetTime + (videoDecodeClock_.load() - slot.pts)
                        : pictures_.slots[(pictures_.readIndex + 1) % PictureQueue::kSlots]
                              .targetTime;
                if (now > nextTarget && !captureDevice_) {
                    skipFactor_.store(skipFactor_.load() * 1.05F);
                    if (pictures_.count == PictureQueue::kWaiting || now > nextTarget + 0.5) {
                        ReleaseReadSlotLocked();
                        ++droppedPictures_;
                        continue;
                    }
                }
            }
            const double pts = slot.pts;
            slot.firstAfterSeek = false;
            ReleaseReadSlotLocked();
            if (subtitle_.stream != nullptr) {
                ExpireSubtitles(pts);
                BlendSubtitles(slot);
            }
            lock.unlock();
            Draw();
            ++shownPictures_;
            if (awaitingPicture_.exchange(false)) {
                UpdateAudioHold();
            }
            if (!paused && player_.StepRequested()) {
                // A step shows exactly one more picture.
                TogglePause(true);
            }
            break;
        }
    } else if (audio_.IsOpen()) {
        Draw();
    }
    player_.ReportPosition(*this);
}

int PlaybackContext::OpenDisplay(bool force) {
    int width = player_.ScreenWidth();
    int height = player_.ScreenHeight();
    if (width <= 0 || height <= 0) {
        if (video_.stream != nullptr && VideoWidth() > 1 && VideoHeight() > 1) {
            width = VideoWidth() & ~1;
            height = VideoHeight() & ~1;
        } else {
            width = kDefaultDisplayWidth;
            height = kDefaultDisplayHeight;
        }
    }
    if (!force && displayOpen_ && composer_.DisplayWidth() == width &&
        composer_.DisplayHeight() == height) {
        return 0;
    }
    composer_.SetDisplaySize(width, height);
    displayOpen_ = true;
    return 0;
}

void PlaybackContext::Draw() {
    VideoSurface* surface = player_.Surface();
    if (surface == nullptr || player_.DisableDisplay()) {
        return;
    }
    if (!displayOpen_) {
        OpenDisplay(false);
    }
    if (audioDisplay_ && audio_.IsOpen()) {
        DrawWaveform();
    } else if (video_.stream != nullptr) {
        DrawPicture();
    }
}

void PlaybackContext::DrawPicture() {
    if (pictures_.shown < 0) {
        return;
    }
    const PictureSlot& slot = pictures_.slots[pictures_.shown];
    const AVFrame* frame = slot.frame.get();
    if (frame == nullptr || frame->data[0] == nullptr) {
        return;
    }
    const int displayWidth = composer_.DisplayWidth();
    const int displayHeight = composer_.DisplayHeight();
    const double ratio =
        DisplayAspectRatio(player_.GetAspectRatio(), frame->sample_aspect_ratio, frame->width & ~1,
                           frame->height & ~1, displayWidth, displayHeight);
    const DisplayRect rect = PlacePicture(displayWidth, displayHeight, ratio);
    if (composer_.ComposePicture(*frame, rect)) {
        composer_.Frame().pts = std::llround(slot.pts * 1'000'000.0) - startTime_;
        player_.Surface()->Present(composer_.Frame());
    }
}

void PlaybackContext::DrawWaveform() {
    if (!paused_.load()) {
        const std::int64_t lastCallback = audio_.LastCallbackMicroseconds();
        const WaveformTiming timing{
            .channels = audio_.Channels(),
            .sampleRate = audio_.SampleRate(),
            .bytesWaiting = audio_.BytesWaiting(),
            .sinceLastCallbackUs = lastCallback >= 0 ? NowMicroseconds() - lastCallback : -1};
        lastWaveformStart_ = WaveformStartIndex(waveformRing_, timing, composer_.DisplayWidth());
    }
    player::DrawWaveform(composer_.Frame(), waveformRing_, lastWaveformStart_, audio_.Channels());
    composer_.Frame().pts = -1;
    player_.Surface()->Present(composer_.Frame());
}

void PlaybackContext::HandleResize(int width, int height) {
    if (width <= 0 || height <= 0) {
        return;
    }
    composer_.SetDisplaySize(width, height);
    displayOpen_ = true;
    player_.SetScreenWidth(width);
    player_.SetScreenHeight(height);
    if (paused_.load()) {
        RefreshTimer(false);
    }
}

void PlaybackContext::RefreshThread() {
    while (!abortRequest_.load()) {
        if (!refreshPending_.exchange(true)) {
            PostDisplayEvent({DisplayEvent::Kind::Refresh});
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(audioDisplay_ ? 20 : 5));
    }
}

void PlaybackContext::RunDisplayLoop() {
    for (;;) {
        const DisplayEvent event = displayEvents_.Wait();
        std::unique_lock lock(player_.playerLock_);
        if (closed_ || event.kind == DisplayEvent::Kind::Quit) {
            Close();
            return;
        }
        switch (event.kind) {
            case DisplayEvent::Kind::Resize:
                HandleResize(event.width, event.height);
                break;
            case DisplayEvent::Kind::Expose:
                if (paused_.load()) {
                    RefreshTimer(false);
                } else {
                    Draw();
                }
                break;
            case DisplayEvent::Kind::Refresh:
                RefreshTimer(true);
                refreshPending_.store(false);
                break;
            case DisplayEvent::Kind::ReopenDisplay:
                OpenDisplay(true);
                Draw();
                break;
            case DisplayEvent::Kind::Quit:
                break;
        }
    }
}

}  // namespace quillo::player
