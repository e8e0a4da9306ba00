#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "media/log_level.h"
#include "media/media_component.h"

namespace quillo::media {

using LogEvent = std::function<void(const MediaComponent* sender, std::uint32_t threadId,
                                    LogLevel level, const std::string& message)>;

// The library level currently pushed to the media libraries; 32 until a logger changes it.
int LibraryLogLevel();

// Gathers the messages of the media components and the media libraries into one event.
// Library lines are reassembled per thread and filtered by LibraryLogLevel(); component
// messages are filtered by LogLevel(). Only one logger exists at a time.
class Logger : public MediaComponent {
public:
    // Throws std::logic_error when a logger already exists.
    Logger();
    ~Logger() override;

    LogLevel GetLogLevel() const { return logLevel_.load(); }
    void SetLogLevel(LogLevel level);
    // Accepts the level names, in any case, or a library level number; throws MediaError
    // with the conversion message for anything else and leaves the level unchanged.
    void SetLogLevelByName(std::string_view text);

    bool TriggerEventInMainThread() const { return triggerEventInMainThread_.load(); }
    void SetTriggerEventInMainThread(bool value) { triggerEventInMainThread_.store(value); }

    void SetOnLog(LogEvent handler);

    // Pushes the library level of LogLevel() to avutil, when avutil is bound.
    void ApplyLibraryLevel();
    // Routes the library's log lines here; the loader calls it whenever avutil loads.
    void InstallLibraryCallback();

    void Log(const MediaComponent* sender, LogLevel level, std::string_view text);
    void LogFmt(const MediaComponent* sender, LogLevel level, const char* format, ...)
        __attribute__((format(printf, 4, 5)));

    // Appends a piece of a library message to the calling thread's pending text and
    // delivers every line it completes.
    void AddLibraryText(int libraryLevel, std::string_view prefix, std::string_view message);

private:
    bool Passes(LogLevel level) const;
    void Deliver(const MediaComponent* sender, LogLevel level, std::string message);

    std::atomic<LogLevel> logLevel_;
    std::atomic<bool> triggerEventInMainThread_{true};
    mutable std::mutex handlerMutex_;
    LogEvent onLog_;
};

// The one logger, created on first use when nobody has created one.
Logger& LoggerInstance();

// The callback given to av_log_set_callback.
void LibraryLogCallback(void* context, int level, const char* format, va_list arguments);

}  // namespace quillo::media
