#include <chrono>
#include <thread>

#include "media/codec_lock.h"
#include "media/library_bindings.h"
#include "media/library_error.h"
#include "media/logger.h"
#include "media/main_thread.h"
#include "media/media_url.h"
#include "player/playback_context.h"
#include "player/player.h"

namespace quillo::player {

namespace lib = media::lib;
using media::LogLevel;

namespace {

constexpr std::int64_t kAllQueuesLimit = 15 * 1024 * 1024;
constexpr std::int64_t kAudioQueueEnough = 0x50000;
constexpr int kPacketsEnough = 5;

void Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace

bool PlaybackContext::OpenInput() {
    AVFormatContext* context = lib::avformat.avformat_alloc_context();
    if (context == nullptr) {
        player_.SetLastError("av_mallocz() failed.");
        return false;
    }
    context->interrupt_callback = {&PlaybackContext::InterruptCallback, this};
    media::Dictionary options;
    if (player_.FrameWidth() > 0 && player_.FrameHeight() > 0) {
        const std::string size =
            std::to_string(player_.FrameWidth()) + "x" + std::to_string(player_.FrameHeight());
        lib::avutil.av_dict_set(options.Address(), "video_size", size.c_str(), 0);
    }
    const int opened =
        input_.Open(media::MakeMediaURL(fileName_), nullptr, options.Address(), context);
    if (opened < 0) {
        player_.SetLastError(media::FormatLibraryError(fileName_, opened));
        return false;
    }
    int found = 0;
    {
        std::lock_guard lock(media::CodecLock());
        found = lib::avformat.avformat_find_stream_info(input_.Context(), nullptr);
    }
    if (found < 0) {
        player_.SetLastError(fileName_ + ": could not find codec parameters");
        return false;
    }
    AVFormatContext* format = input_.Context();
    if (format->pb != nullptr) {
        format->pb->eof_reached = 0;
    }
    const std::string formatName = format->iformat != nullptr ? format->iformat->name : "";
    imageSequence_ = formatName == "image2";
    captureDevice_ = formatName == "video4linux2,v4l2" || formatName == "x11grab";
    startTime_ = format->start_time != AV_NOPTS_VALUE ? format->start_time : 0;
    duration_ = format->duration != AV_NOPTS_VALUE ? format->duration : -1;
    return true;
}

void PlaybackContext::SelectAndOpenStreams() {
    AVFormatContext* format = input_.Context();
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        format->streams[i]->discard = AVDISCARD_ALL;
    }
    // The library's choice prefers the stream with the most pictures or samples found while
    // analysing, as the player should.
    const bool video = !player_.DisableVideo() && !player_.DisableDisplay();
    const int videoIndex =
        video ? lib::avformat.av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0)
              : -1;
    const int audioIndex = !player_.DisableAudio()
                               ? lib::avformat.av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1,
                                                                   videoIndex, nullptr, 0)
                               : -1;
    const int subtitleIndex =
        video ? lib::avformat.av_find_best_stream(format, AVMEDIA_TYPE_SUBTITLE, -1,
                                                  videoIndex >= 0 ? videoIndex : -1, nullptr, 0)
              : -1;

    if (videoIndex >= 0) {
        HoldAudioForPicture();
    }
    if (audioIndex >= 0 && OpenDecoder(format->streams[audioIndex], audioDecoder_)) {
        audioQueue_.Start();
        if (!audio_.Open(audioDecoder_.decoder.get(), audioDecoder_.stream, &audioQueue_,
                         &player_.Controls(), &audioHeld_, &waveformRing_)) {
            audioQueue_.Abort();
            audioQueue_.Flush();
            std::lock_guard lock(media::CodecLock());
            audioDecoder_.stream->discard = AVDISCARD_ALL;
            audioDecoder_.decoder.reset();
            audioDecoder_.stream = nullptr;
        }
    }
    if (videoIndex >= 0 && OpenDecoder(format->streams[videoIndex], video_)) {
        const AVRational rate = video_.stream->avg_frame_rate.num > 0
                                    ? video_.stream->avg_frame_rate
                                    : video_.stream->r_frame_rate;
        if (rate.num > 0 && rate.den > 0) {
            frameRate_ = av_q2d(rate);
        }
        videoStream_ = video_.stream;
        videoQueue_.Start();
        videoThread_ = std::thread([this] { VideoThread(); });
    }
    if (videoStream_ == nullptr) {
        awaitingPicture_.store(false);
        UpdateAudioHold();
    }
    if (subtitleIndex >= 0 && videoStream_ != nullptr &&
        OpenDecoder(format->streams[subtitleIndex], subtitle_)) {
        subtitleQueue_.Start();
        subtitleThread_ = std::thread([this] { SubtitleThread(); });
    }
}

bool PlaybackContext::QueuesAreFull() const {
    const std::int64_t total = audioQueue_.Size() + videoQueue_.Size() + subtitleQueue_.Size();
    if (total > kAllQueuesLimit) {
        return true;
    }
    const bool audioEnough = !audio_.IsOpen() || audioQueue_.Size() > kAudioQueueEnough;
    const bool videoEnough = video_.stream == nullptr || videoQueue_.Count() > kPacketsEnough;
    const bool subtitleEnough =
        subtitle_.stream == nullptr || subtitleQueue_.Count() > kPacketsEnough;
    return audioEnough && videoEnough && subtitleEnough;
}

void PlaybackContext::ServeSeek() {
    std::int64_t target = 0;
    std::int64_t relative = 0;
    int flags = 0;
    {
        std::lock_guard lock(seekMutex_);
        if (!seekPending_) {
            return;
        }
        target = seekTarget_;
        relative = seekRelative_;
        flags = seekFlags_;
    }
    AVFormatContext* format = input_.Context();
    const std::int64_t minimum = relative > 0 ? target - relative + 2 : INT64_MIN;
    const std::int64_t maximum = relative < 0 ? target - relative - 2 : INT64_MAX;
    int result = lib::avformat.avformat_seek_file(format, -1, minimum, target, maximum, flags);
    if (result < 0) {
        result = lib::avformat.av_seek_frame(format, -1, target, flags);
    }
    if (result < 0) {
        result = lib::avformat.av_seek_frame(format, -1, target, flags ^ AVSEEK_FLAG_BACKWARD);
    }
    if (result < 0) {
        media::LoggerInstance().Log(&player_, LogLevel::llError,
                                    fileName_ + ": error while seeking");
        pausedAtSeek_.store(false);
        if (video_.stream != nullptr) {
            player_.frameShown_.Set();
        }
    } else {
        if (audio_.IsOpen()) {
            audioQueue_.Flush();
            audioQueue_.PutFlush();
        }
        if (subtitle_.stream != nullptr) {
            subtitleQueue_.Flush();
            subtitleQueue_.PutFlush();
        }
        if (video_.stream != nullptr) {
            // Reset before the flush goes in: the first picture after it sets the event.
            player_.frameShown_.Reset();
            {
                // What waits, and what the decoder gives out before it meets the flush, is
                // from before the seek: dropped unseen, also while paused.
                std::lock_guard lock(pictures_.mutex);
                for (int i = 0; i < pictures_.count; ++i) {
                    pictures_.slots[(pictures_.readIndex + i) % PictureQueue::kSlots].stale = true;
                }
                staleUntilFlush_ = true;
            }
            videoQueue_.Flush();
            videoQueue_.PutFlush();
            if (audio_.IsOpen()) {
                HoldAudioForPicture();
            }
        }
        if (format->pb != nullptr) {
            format->pb->eof_reached = 0;
        }
    }
    endLogged_ = false;
    drainedAtEnd_.store(false);
    endOfFile_.store(false);
    {
        std::lock_guard lock(seekMutex_);
        seekPending_ = false;
    }
    player_.seekDone_.Set();
}

void PlaybackContext::ReadLoop() {
    AVFormatContext* format = input_.Context();
    media::PacketPtr packet(lib::avcodec.av_packet_alloc());
    bool endPacketSent = false;
    while (!abortRequest_.load()) {
        if (paused_.load() != lastPausedSeen_) {
            lastPausedSeen_ = paused_.load();
            if (lastPausedSeen_) {
                lib::avformat.av_read_pause(format);
            } else {
                lib::avformat.av_read_play(format);
            }
        }
        bool seekPending = false;
        {
            std::lock_guard lock(seekMutex_);
            seekPending = seekPending_;
        }
        if (seekPending) {
            ServeSeek();
            endPacketSent = false;
            continue;
        }
        if (QueuesAreFull()) {
            Pause(10);
            continue;
        }
        if (endOfFile_.load() || (format->pb != nullptr && format->pb->eof_reached != 0)) {
            endOfFile_.store(true);
            if (video_.stream != nullptr && !endPacketSent) {
                // An empty packet makes the decoder give out the pictures it holds back.
                packet->stream_index = video_.stream->index;
                videoQueue_.Put(packet.get());
                endPacketSent = true;
                player_.frameShown_.Set();
            }
            Pause(10);
            if (audioQueue_.Empty() && videoQueue_.Empty() && subtitleQueue_.Empty()) {
                drainedAtEnd_.store(true);
            }
            continue;
        }
        reading_.store(true);
        const int result = lib::avformat.av_read_frame(format, packet.get());
        reading_.store(false);
        if (abortRequest_.load()) {
            break;
        }
        if (result == AVERROR(EAGAIN)) {
            Pause(10);
            continue;
        }
        if (result < 0) {
            if (video_.stream != nullptr) {
                player_.frameShown_.Set();
            }
            const bool end = result == AVERROR_EOF;
            if (!imageSequence_ && !endLogged_) {
                endLogged_ = true;
                if (end) {
                    media::LoggerInstance().Log(&player_, LogLevel::llInfo,
                                                "reach end of file: " + fileName_);
                } else {
                    char text[AV_ERROR_MAX_STRING_SIZE] = {};
                    lib::avutil.av_strerror(result, text, sizeof text);
                    media::LoggerInstance().LogFmt(&player_, LogLevel::llError,
                                                   "error #%d while reading file: %s", result,
                                                   text);
                }
            }
            if (end) {
                endOfFile_.store(true);
                continue;
            }
            if (format->pb != nullptr && format->pb->error != 0) {
                // The file itself failed (it vanished, or the disk did): what was read
                // plays to its end.
                endOfFile_.store(true);
                continue;
            }
            Pause(100);
            continue;
        }
        const int index = packet->stream_index;
        if (audio_.IsOpen() && index == audioDecoder_.stream->index) {
            audioQueue_.Put(packet.get());
        } else if (video_.stream != nullptr && index == video_.stream->index) {
            videoQueue_.Put(packet.get());
        } else if (subtitle_.stream != nullptr && index == subtitle_.stream->index) {
            subtitleQueue_.Put(packet.get());
        }
        lib::avcodec.av_packet_unref(packet.get());
    }
}

void PlaybackContext::ReadThread() {
    bool opened = OpenInput();
    if (opened) {
        SelectAndOpenStreams();
        if (video_.stream == nullptr && !audio_.IsOpen()) {
            player_.SetLastError(fileName_ + ": could not open codecs, no stream to play.");
            opened = false;
        }
    }
    if (opened) {
        openState_.store(1);
        media::NotifyMainThread();
        ReadLoop();
        // Served requests now only release their callers.
        while (!abortRequest_.load()) {
            {
                std::lock_guard lock(seekMutex_);
                if (seekPending_) {
                    seekPending_ = false;
                    player_.seekDone_.Set();
                    player_.frameShown_.Set();
                }
            }
            Pause(10);
        }
    } else {
        openState_.store(-1);
    }
    CloseStreams();
    player_.probe_.AttachContext(nullptr);
    input_.Close();
    if (openState_.load() == -1) {
        openState_.store(-2);
        media::NotifyMainThread();
    }
}

}  // namespace quillo::player
