#include <cmath>
#include <cstdlib>

#include "media/logger.h"
#include "media/main_thread.h"
#include "player/playback_context.h"
#include "player/player.h"

namespace quillo::player {

using media::LogLevel;

namespace {

// Positions closer than this to the last one reported are not worth a notification.
constexpr std::int64_t kPositionStep = 10'000;

}  // namespace

void PlayerBase::ReportState(PlayState state) {
    events_.Post({.kind = PlayerNotification::Kind::State, .state = state});
}

void PlayerBase::ReportPosition(const PlaybackContext& context) {
    if (context.IsImageSequence()) {
        return;
    }
    const std::int64_t start = context.StartTime();
    const std::int64_t duration = context.Duration();
    std::int64_t position = 0;
    if (context.HasVideo()) {
        position = std::llround(context.VideoClock() * 1'000'000.0) - start;
    } else if (context.HasAudio()) {
        position = std::llround(context.AudioClock() * 1'000'000.0) - start;
        const std::int64_t audioDuration = context.AudioStreamDuration();
        // A sound track shorter than the file ends the file all the same.
        if (audioDuration >= 0 && position >= audioDuration && duration > 0 &&
            position < duration) {
            position = duration;
        }
    } else {
        return;
    }
    const bool ending =
        !context.IsCaptureDevice() && !endReported_.load() && context.DrainedAtEnd();
    bool clamped = false;
    // The end state comes with the end position, not one picture's time before it.
    if (duration > 0 && (position >= duration || ending)) {
        position = duration;
        clamped = true;
    }
    if (lastReportedPosition_ == INT64_MIN ||
        std::llabs(position - lastReportedPosition_) > kPositionStep ||
        (clamped && position != lastReportedPosition_)) {
        lastReportedPosition_ = position;
        events_.Post({.kind = PlayerNotification::Kind::Position, .position = position});
    }
    if (ending) {
        ReportState(PlayState::psEnd);
        if (context.HasVideo()) {
            endReported_.store(true);  // until a new picture is decoded
        }
    }
}

void PlayerBase::EnsureEventThread() {
    if (!eventThread_.joinable()) {
        eventThreadFinished_.store(false);
        eventThread_ = std::thread([this] { EventThread(); });
    }
}

void PlayerBase::EventThread() {
    for (;;) {
        PlayerNotification notification;
        while (!events_.Take(notification)) {
            events_.WaitNotEmpty(std::chrono::milliseconds(1000));
        }
        if (notification.kind == PlayerNotification::Kind::EndOfDelivery) {
            break;
        }
        const std::shared_ptr<const Handlers> handlers = CurrentHandlers();
        const auto deliver = [&] {
            if (notification.kind == PlayerNotification::Kind::Position) {
                if (handlers->onPosition) {
                    handlers->onPosition(*this, notification.position);
                }
            } else if (handlers->onState) {
                handlers->onState(*this, notification.state);
            }
        };
        try {
            if (triggerEventInMainThread_.load()) {
                media::CallInMainThread([&] {
                    struct Depth {
                        std::atomic<int>& depth;
                        explicit Depth(std::atomic<int>& value) : depth(value) { ++depth; }
                        ~Depth() { --depth; }
                    } depth(deliveringDepth_);
                    deliver();
                });
            } else {
                deliver();
            }
        } catch (const std::exception& error) {
            media::LoggerInstance().Log(this, LogLevel::llError, error.what());
        }
        if (notification.kind == PlayerNotification::Kind::State &&
            notification.state == PlayState::psStop) {
            ++stopsDelivered_;
            media::NotifyMainThread();
        }
    }
    eventThreadFinished_.store(true);
    media::NotifyMainThread();
}

void PlayerBase::RunFrameHook(AVFrame& picture, std::int64_t pts) {
    if (!hook_.load()) {
        return;
    }
    const std::shared_ptr<const Handlers> handlers = CurrentHandlers();
    if (!handlers->onHook) {
        return;
    }
    if (!hookConverter_.PictureToBitmap(picture)) {
        media::LoggerInstance().Log(this, LogLevel::llError,
                                    "Cannot initialize the toRGB conversion context");
        return;
    }
    try {
        handlers->onHook(*this, *hookConverter_.GetBitmap(), pts);
    } catch (const std::exception& error) {
        media::LoggerInstance().Log(this, LogLevel::llError,
                                    std::string("Error occurs OnHook: ") + error.what());
        return;
    } catch (...) {
        media::LoggerInstance().Log(this, LogLevel::llError, "Error occurs OnHook: ");
        return;
    }
    // Nothing is shown without a surface: the drawing need not go back into the picture, which
    // saves a full conversion of every frame for windows that only watch the frames.
    if (Surface() == nullptr || DisableDisplay()) {
        return;
    }
    if (!hookConverter_.BitmapToPicture(picture.data, picture.linesize,
                                        static_cast<AVPixelFormat>(picture.format), picture.height,
                                        picture.width)) {
        media::LoggerInstance().Log(this, LogLevel::llError,
                                    "Cannot initialize the fromRGB conversion context");
    }
}

}  // namespace quillo::player
