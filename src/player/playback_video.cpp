#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "media/library_bindings.h"
#include "media/logger.h"
#include "player/clock_time.h"
#include "player/playback_context.h"
#include "player/player.h"

namespace quillo::player {

namespace lib = media::lib;

namespace {

// Sound and pictures further apart than this are taken for a jump in the timestamps, not
// for a drift worth correcting.
constexpr double kNoSyncThreshold = 10.0;

}  // namespace

bool PlaybackContext::WaitWhilePaused(const PacketQueue& queue) const {
    while (paused_.load() && !pausedAtSeek_.load() && !queue.Aborted()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !queue.Aborted();
}

void PlaybackContext::OnVideoFlush() {
    lib::avcodec.avcodec_flush_buffers(video_.decoder.get());
    std::lock_guard lock(pictures_.mutex);
    for (int i = 0; i < pictures_.count; ++i) {
        pictures_.slots[(pictures_.readIndex + i) % PictureQueue::kSlots].stale = true;
    }
    lastFramePtsKnown_ = false;
    lastFrameDelay_ = 0.0;
    frameTimer_ = NowSeconds();
    skipFactor_.store(1.0F);
    skipIndex_ = 0.0F;
    videoDrained_.store(false);
    staleUntilFlush_ = false;
    firstAfterSeek_ = true;
}

int PlaybackContext::DecodeVideoFrame(AVFrame* frame) {
    AVCodecContext* decoder = video_.decoder.get();
    AVPacket* packet = videoPacket_.get();
    for (;;) {
        if (pendingPacket_ &&
            lib::avcodec.avcodec_send_packet(decoder, packet) != AVERROR(EAGAIN)) {
            lib::avcodec.av_packet_unref(packet);
            pendingPacket_ = false;
        }
        const int received = lib::avcodec.avcodec_receive_frame(decoder, frame);
        if (received >= 0) {
            // Under load only every skipFactor-th picture goes on.
            skipIndex_ += 1.0F;
            const float factor = skipFactor_.load();
            if (skipIndex_ >= factor) {
                skipIndex_ -= std::max(1.0F, factor);
                return 1;
            }
            lib::avutil.av_frame_unref(frame);
            ++droppedPictures_;
            continue;
        }
        if (received == AVERROR_EOF) {
            // Everything given out: ready for what comes after a seek.
            lib::avcodec.avcodec_flush_buffers(decoder);
            videoDrained_.store(true);
            decoderDraining_ = false;
        }
        if (pendingPacket_) {
            continue;
        }
        const PacketQueue::Result got = videoQueue_.Get(packet, true);
        if (got == PacketQueue::Result::Aborted) {
            return -1;
        }
        if (got == PacketQueue::Result::Flush) {
            OnVideoFlush();
            decoderDraining_ = false;
            continue;
        }
        if (packet->data == nullptr) {
            lib::avcodec.av_packet_unref(packet);
            if (!decoderDraining_ && !videoDrained_.load()) {
                // The end of the file: the decoder gives out the pictures it holds back.
                decoderDraining_ = true;
                lib::avcodec.avcodec_send_packet(decoder, nullptr);
            }
            continue;
        }
        videoDrained_.store(false);
        if (lib::avcodec.avcodec_send_packet(decoder, packet) == AVERROR(EAGAIN)) {
            pendingPacket_ = true;  // sent again once a picture has been taken out
        } else {
            lib::avcodec.av_packet_unref(packet);
        }
    }
}

double PlaybackContext::FrameDuration(const AVFrame* frame) const {
    return (1.0 + 0.5 * frame->repeat_pict) / frameRate_;
}

double PlaybackContext::TargetTimeLocked(double pts) {
    if (!lastFramePtsKnown_) {
        // The first picture after the start or a seek is due when it is ready, however
        // long the decoder took to get going.
        frameTimer_ = NowSeconds();
    }
    double delay = lastFramePtsKnown_ ? pts - lastFramePts_ : 0.0;
    if (!lastFramePtsKnown_ || delay <= 0.0 || delay >= kNoSyncThreshold) {
        delay = lastFrameDelay_;
    } else {
        lastFrameDelay_ = delay;
    }
    lastFramePts_ = pts;
    lastFramePtsKnown_ = true;
    if (audio_.IsOpen()) {
        const double difference = VideoClock() - MasterClock();
        const double threshold = std::max(0.01, delay);
        if (std::fabs(difference) < kNoSyncThreshold) {
            if (difference <= -threshold) {
                delay = 0.0;
            } else if (difference >= threshold) {
                delay = 2.0 * delay;
            }
        }
    }
    frameTimer_ += delay;
    return frameTimer_;
}

bool PlaybackContext::FillSlot(PictureSlot& slot, AVFrame* frame, double pts) {
    const bool drawOn = player_.Hook() || subtitle_.stream != nullptr;
    const int width = frame->width & ~1;
    const int height = frame->height & ~1;
    if (!drawOn) {
        slot.ownBuffer = false;
        lib::avutil.av_frame_unref(slot.frame.get());
        return lib::avutil.av_frame_ref(slot.frame.get(), frame) >= 0;
    }
    AVFrame* own = slot.frame.get();
    if (!slot.ownBuffer || own->width != width || own->height != height ||
        own->format != AV_PIX_FMT_YUV420P || lib::avutil.av_frame_is_writable(own) == 0) {
        lib::avutil.av_frame_unref(own);
        own->width = width;
        own->height = height;
        own->format = AV_PIX_FMT_YUV420P;
        if (lib::avutil.av_frame_get_buffer(own, 0) < 0) {
            slot.ownBuffer = false;
            return false;
        }
        slot.ownBuffer = true;
    }
    if (frame->format == AV_PIX_FMT_YUV420P) {
        lib::avutil.av_image_copy(own->data, own->linesize,
                                  const_cast<const std::uint8_t**>(frame->data), frame->linesize,
                                  AV_PIX_FMT_YUV420P, width, height);
    } else {
        SwsContext* scaler = lib::swscale.sws_getCachedContext(
            copyScaler_.release(), frame->width, frame->height,
            static_cast<AVPixelFormat>(frame->format), width, height, AV_PIX_FMT_YUV420P,
            SWS_BICUBIC, nullptr, nullptr, nullptr);
        copyScaler_.reset(scaler);
        if (scaler == nullptr) {
            return false;
        }
        lib::swscale.sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, own->data,
                               own->linesize);
    }
    own->sample_aspect_ratio = frame->sample_aspect_ratio;
    slot.blendedSubtitle = nullptr;
    player_.RunFrameHook(*own, std::llround(pts * 1'000'000.0) - startTime_);
    return true;
}

bool PlaybackContext::OutputPicture(AVFrame* frame, double pts, bool& stale, bool& first) {
    if (pts != 0.0) {
        videoDecodeClock_.store(pts);
    } else {
        pts = videoDecodeClock_.load();
    }
    videoDecodeClock_.store(pts + FrameDuration(frame));

    int index = 0;
    {
        std::unique_lock lock(pictures_.mutex);
        if (pictures_.count >= PictureQueue::kWaiting && !refreshPending_.load()) {
            skipFactor_.store(std::max(0.95F, skipFactor_.load() * 0.95F));
        }
        pictures_.changed.wait(lock, [this] {
            return pictures_.count < PictureQueue::kWaiting || videoQueue_.Aborted() ||
                   abortRequest_.load();
        });
        if (videoQueue_.Aborted() || abortRequest_.load()) {
            return false;
        }
        index = pictures_.writeIndex;
    }
    // The slot at the write index is neither waiting nor on screen: no lock needed to fill it.
    PictureSlot& slot = pictures_.slots[index];
    if (!FillSlot(slot, frame, pts)) {
        stale = true;  // nothing queued
        first = false;
        return true;
    }
    std::lock_guard lock(pictures_.mutex);
    slot.pts = pts;
    slot.stale = staleUntilFlush_;
    stale = slot.stale;
    // Only a picture from after the flush can be the first one after it.
    slot.firstAfterSeek = firstAfterSeek_ && !stale;
    first = slot.firstAfterSeek;
    if (!stale) {
        firstAfterSeek_ = false;
    }
    slot.targetTime = TargetTimeLocked(pts);
    pictures_.writeIndex = (index + 1) % PictureQueue::kSlots;
    ++pictures_.count;
    pictures_.changed.notify_all();
    return true;
}

void PlaybackContext::VideoThread() {
    media::FramePtr frame(lib::avutil.av_frame_alloc());
    videoPacket_.reset(lib::avcodec.av_packet_alloc());
    for (PictureSlot& slot : pictures_.slots) {
        slot.frame.reset(lib::avutil.av_frame_alloc());
    }
    const AVRational timeBase = video_.stream->time_base;
    for (;;) {
        if (!WaitWhilePaused(videoQueue_)) {
            break;
        }
        const int got = DecodeVideoFrame(frame.get());
        if (got < 0) {
            break;
        }
        if (got == 0) {
            continue;
        }
        const std::int64_t timestamp =
            frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : 0;
        const double pts = static_cast<double>(timestamp) * av_q2d(timeBase);
        bool stale = false;
        bool first = false;
        const bool queued = OutputPicture(frame.get(), pts, stale, first);
        lib::avutil.av_frame_unref(frame.get());
        if (!queued) {
            break;
        }
        if (first && !SeekRequested()) {
            // A seek made while paused decodes this one picture and no more. While a request
            // still waits, this picture is the start's or an earlier seek's: decoding goes on
            // until the waiting seek's own first picture.
            pausedAtSeek_.store(false);
        }
        if (!stale) {
            player_.frameShown_.Set();
            player_.ClearEndReported();
        }
    }
}

}  // namespace quillo::player
