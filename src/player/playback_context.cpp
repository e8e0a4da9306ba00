#include "player/playback_context.h"

#include <chrono>
#include <cmath>
#include <system_error>

#include "media/codec_lock.h"
#include "media/library_bindings.h"
#include "media/logger.h"
#include "media/main_thread.h"
#include "player/clock_time.h"
#include "player/player.h"

namespace quillo::player {

namespace lib = media::lib;
using media::LogLevel;

PlaybackContext::PlaybackContext(PlayerBase& player, std::string fileName)
    : player_(player), fileName_(std::move(fileName)), audio_(&player) {}

PlaybackContext::~PlaybackContext() {
    Close();
}

bool PlaybackContext::Open() {
    try {
        readThread_ = std::thread([this] { ReadThread(); });
    } catch (const std::system_error&) {
        player_.SetLastError("SDL_CreateThread() failed.");
        closed_.store(true);
        return false;
    }
    const auto opened = [this] { return openState_.load() != 0; };
    if (media::IsMainThread()) {
        media::PumpMessagesUntil(opened);
    } else {
        while (!opened()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (openState_.load() == 1) {
        if (videoStream_ == nullptr && !player_.DisableDisplay()) {
            audioDisplay_ = true;
        }
        refreshThread_ = std::thread([this] { RefreshThread(); });
        return true;
    }
    readThread_.join();
    closed_.store(true);
    return false;
}

void PlaybackContext::Close() {
    if (closed_.exchange(true)) {
        return;
    }
    abortRequest_.store(true);
    // Wake every queue's consumer; the read thread closes the streams.
    audioQueue_.Abort();
    videoQueue_.Abort();
    subtitleQueue_.Abort();
    {
        std::lock_guard lock(pictures_.mutex);
        pictures_.changed.notify_all();
    }
    if (readThread_.joinable()) {
        readThread_.join();
    }
    if (refreshThread_.joinable()) {
        refreshThread_.join();
    }
    std::lock_guard lock(pictures_.mutex);
    for (PictureSlot& slot : pictures_.slots) {
        slot.frame.reset();
    }
    pictures_.count = 0;
    pictures_.shown = -1;
}

void PlaybackContext::HoldAudioForPicture() {
    heldSince_.store(NowSeconds());
    awaitingPicture_.store(true);
    UpdateAudioHold();
}

int PlaybackContext::InterruptCallback(void* opaque) {
    // Lets a blocking read give up as soon as the playback is stopped.
    return static_cast<const PlaybackContext*>(opaque)->abortRequest_.load() ? 1 : 0;
}

bool PlaybackContext::OpenDecoder(AVStream* stream, DecoderStream& target) {
    const AVCodec* codec = lib::avcodec.avcodec_find_decoder(stream->codecpar->codec_id);
    media::CodecContextPtr decoder(lib::avcodec.avcodec_alloc_context3(codec));
    bool opened = false;
    if (codec != nullptr && decoder != nullptr &&
        lib::avcodec.avcodec_parameters_to_context(decoder.get(), stream->codecpar) >= 0) {
        decoder->pkt_timebase = stream->time_base;
        decoder->workaround_bugs = 1;
        decoder->err_recognition = AV_EF_CAREFUL;
        decoder->error_concealment = 3;
        decoder->thread_count = 0;  // the libraries choose: 1080p needs both cores
        std::lock_guard lock(media::CodecLock());
        opened = lib::avcodec.avcodec_open2(decoder.get(), codec, nullptr) >= 0;
    }
    if (!opened) {
        media::LoggerInstance().Log(&player_, LogLevel::llError, "avcodec_open() failed.");
        return false;
    }
    stream->discard = AVDISCARD_DEFAULT;
    target.stream = stream;
    target.decoder = std::move(decoder);
    return true;
}

void PlaybackContext::CloseStreams() {
    if (audio_.IsOpen() || audioDecoder_.stream != nullptr) {
        audioQueue_.Abort();
        audio_.Close();
        audioQueue_.Flush();
    }
    if (video_.stream != nullptr) {
        videoQueue_.Abort();
        {
            std::lock_guard lock(pictures_.mutex);
            pictures_.changed.notify_all();
        }
        if (videoThread_.joinable()) {
            videoThread_.join();
        }
        videoQueue_.Flush();
    }
    if (subtitle_.stream != nullptr) {
        subtitleQueue_.Abort();
        {
            std::lock_guard lock(subtitles_.mutex);
            subtitles_.streamClosed = true;
            subtitles_.changed.notify_all();
        }
        if (subtitleThread_.joinable()) {
            subtitleThread_.join();
        }
        subtitleQueue_.Flush();
        std::lock_guard lock(subtitles_.mutex);
        while (subtitles_.count > 0) {
            FreeSubtitleLocked(subtitles_.readIndex);
        }
    }
    std::lock_guard lock(media::CodecLock());
    for (DecoderStream* stream : {&audioDecoder_, &video_, &subtitle_}) {
        if (stream->stream != nullptr) {
            stream->stream->discard = AVDISCARD_ALL;
        }
        stream->decoder.reset();
        stream->stream = nullptr;
    }
}

void PlaybackContext::FreeSubtitleLocked(int index) {
    lib::avcodec.avsubtitle_free(&subtitles_.slots[index].subtitle);
    subtitles_.readIndex = (index + 1) % SubtitleQueue::kSlots;
    --subtitles_.count;
    subtitles_.changed.notify_all();
}

int PlaybackContext::VideoWidth() const {
    return video_.stream != nullptr ? video_.stream->codecpar->width : 0;
}

int PlaybackContext::VideoHeight() const {
    return video_.stream != nullptr ? video_.stream->codecpar->height : 0;
}

bool PlaybackContext::DrainedAtEnd() const {
    if (!drainedAtEnd_.load()) {
        return false;
    }
    if (video_.stream == nullptr) {
        return true;
    }
    std::lock_guard lock(pictures_.mutex);
    return videoDrained_.load() && pictures_.count == 0;
}

double PlaybackContext::VideoClock() const {
    if (paused_.load()) {
        return pausedClock_.load();
    }
    const double drift = currentPtsDrift_.load();
    if (drift != 0.0) {
        return drift + NowSeconds();
    }
    return static_cast<double>(startTime_) / 1'000'000.0;
}

double PlaybackContext::AudioClock() const {
    return audio_.Clock();
}

double PlaybackContext::MasterClock() const {
    return audio_.IsOpen() ? AudioClock() : VideoClock();
}

void PlaybackContext::TogglePause(bool insideDisplayLoop) {
    WaitPumping(player_.seekDone_, std::chrono::milliseconds(250));
    player_.seekDone_.Set();
    if (!paused_.load() && video_.stream != nullptr) {
        WaitPumping(player_.frameShown_, std::chrono::milliseconds(250));
        player_.frameShown_.Set();
    }
    // Flipping between display events means no picture is half-way to the screen when the
    // pause starts: once paused, what is shown stays.
    std::unique_lock displayLock(player_.playerLock_, std::defer_lock);
    if (!insideDisplayLoop) {
        displayLock.lock();
    }
    std::lock_guard lock(pictures_.mutex);
    const double now = NowSeconds();
    if (paused_.load()) {
        // The picture clock goes on from where it stood, and pictures become due later by
        // the time spent paused.
        frameTimer_ += now - pausedAt_;
        if (currentPtsDrift_.load() != 0.0) {
            currentPtsDrift_.store(pausedClock_.load() - now);
        }
        paused_.store(false);
        UpdateAudioHold();
    } else {
        pausedClock_.store(VideoClock());
        pausedAt_ = now;
        paused_.store(true);
        UpdateAudioHold();
    }
}

void PlaybackContext::RequestSeek(int flags, bool wait, std::int64_t relative,
                                  std::int64_t target) {
    {
        std::lock_guard lock(seekMutex_);
        if (seekPending_) {
            return;
        }
        pausedAtSeek_.store(paused_.load());
        seekTarget_ = target;
        seekRelative_ = relative;
        seekFlags_ = flags & 0xF;
        player_.seekDone_.Reset();
        seekPending_ = true;
    }
    if (!wait) {
        return;
    }
    while (!WaitPumping(player_.seekDone_, std::chrono::milliseconds(100))) {
        if (abortRequest_.load()) {
            return;
        }
    }
    if (video_.stream != nullptr) {
        while (!WaitPumping(player_.frameShown_, std::chrono::milliseconds(100))) {
            if (abortRequest_.load()) {
                return;
            }
        }
    }
}

}  // namespace quillo::player

namespace quillo::player {

bool PlaybackContext::PendingSeek(std::int64_t& target) {
    std::lock_guard lock(seekMutex_);
    target = seekTarget_;
    return seekPending_;
}

}  // namespace quillo::player
