#include "media/logger.h"

#include <cinttypes>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

#include "media/library_bindings.h"
#include "media/main_thread.h"
#include "media/thread_id.h"
#include "media/value_text.h"

namespace quillo::media {

namespace {

std::atomic<int> libraryLogLevel{32};

// The one logger, and the one LoggerInstance() made itself (if any), which it also owns.
std::mutex instanceMutex;
std::atomic<Logger*> instance{nullptr};
std::unique_ptr<Logger> ownedInstance;

// The part of a library message that no line feed has ended yet, for the calling thread.
thread_local std::string pendingLibraryText;

std::string FormatVarargs(const char* format, va_list arguments) {
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length <= 0) {
        return {};
    }
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
    // Like the C string it was, the text ends at its first zero byte.
    return std::string(buffer.data());
}

std::string ContextPrefix(void* context) {
    if (context == nullptr) {
        return {};
    }
    const AVClass* avClass = *static_cast<const AVClass* const*>(context);
    if (avClass == nullptr) {
        return {};
    }
    const char* name =
        avClass->item_name != nullptr ? avClass->item_name(context) : avClass->class_name;
    char address[2 * sizeof(void*) + 1];
    std::snprintf(address, sizeof address, "%0*" PRIXPTR, static_cast<int>(2 * sizeof(void*)),
                  reinterpret_cast<std::uintptr_t>(context));
    return "[" + std::string(name != nullptr ? name : "") + " @ " + address + "]";
}

}  // namespace

int LibraryLogLevel() {
    return libraryLogLevel.load();
}

Logger::Logger() : logLevel_(LogLevelOfLibraryLevel(libraryLogLevel.load())) {
    Logger* expected = nullptr;
    if (!instance.compare_exchange_strong(expected, this)) {
        throw std::logic_error("Allow creating only one instance of Logger.");
    }
}

Logger::~Logger() {
    Logger* expected = this;
    instance.compare_exchange_strong(expected, nullptr);
}

Logger& LoggerInstance() {
    if (Logger* existing = instance.load()) {
        return *existing;
    }
    std::scoped_lock lock(instanceMutex);
    if (Logger* existing = instance.load()) {
        return *existing;
    }
    ownedInstance = std::make_unique<Logger>();
    return *ownedInstance;
}

void Logger::SetLogLevel(LogLevel level) {
    if (logLevel_.exchange(level) != level) {
        ApplyLibraryLevel();
    }
}

void Logger::SetLogLevelByName(std::string_view text) {
    const auto named = LogLevelFromName(text);
    SetLogLevel(named ? *named : LogLevelOfLibraryLevel(StrictInteger(text)));
}

void Logger::SetOnLog(LogEvent handler) {
    std::scoped_lock lock(handlerMutex_);
    onLog_ = std::move(handler);
}

void Logger::ApplyLibraryLevel() {
    if (lib::avutil.av_log_set_level == nullptr) {
        return;
    }
    libraryLogLevel.store(LibraryLevelOf(GetLogLevel()));
    lib::avutil.av_log_set_level(libraryLogLevel.load());
}

void Logger::InstallLibraryCallback() {
    if (lib::avutil.av_log_set_callback == nullptr || lib::avutil.av_log_set_level == nullptr) {
        return;
    }
    lib::avutil.av_log_set_callback(LibraryLogCallback);
    ApplyLibraryLevel();
}

bool Logger::Passes(LogLevel level) const {
    const LogLevel current = GetLogLevel();
    return level <= current || (level == LogLevel::llVerbose && current != LogLevel::llQuiet);
}

void Logger::Log(const MediaComponent* sender, LogLevel level, std::string_view text) {
    if (Passes(level)) {
        Deliver(sender, level, std::string(text));
    }
}

void Logger::LogFmt(const MediaComponent* sender, LogLevel level, const char* format, ...) {
    if (!Passes(level)) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    std::string text = FormatVarargs(format, arguments);
    va_end(arguments);
    Deliver(sender, level, std::move(text));
}

void Logger::AddLibraryText(int libraryLevel, std::string_view prefix, std::string_view message) {
    std::string& pending = pendingLibraryText;
    if (pending.empty()) {
        pending.assign(prefix);
    }
    pending.append(message);

    std::size_t lineFeed;
    while ((lineFeed = pending.find('\n')) != std::string::npos) {
        std::string line = pending.substr(0, lineFeed);
        pending.erase(0, lineFeed + 1);
        Deliver(this, LogLevelOfLibraryLevel(libraryLevel), std::move(line));
    }
}

void Logger::Deliver(const MediaComponent* sender, LogLevel level, std::string message) {
    LogEvent handler;
    {
        std::scoped_lock lock(handlerMutex_);
        handler = onLog_;
    }
    if (!handler) {
        return;
    }
    const std::uint32_t threadId = CurrentThreadId();
    if (TriggerEventInMainThread()) {
        // Queued, not waited for: the logging thread may hold a lock (the codec lock while a
        // codec opens) that the main thread is itself waiting for.
        PostToMainThread(
            [handler = std::move(handler), sender, threadId, level, message = std::move(message)] {
                handler(sender, threadId, level, message);
            });
    } else {
        handler(sender, threadId, level, message);
    }
}

void LibraryLogCallback(void* context, int level, const char* format, va_list arguments) {
    if (level > libraryLogLevel.load() || format == nullptr) {
        return;
    }
    Logger* logger = instance.load();
    if (logger == nullptr) {
        return;
    }
    logger->AddLibraryText(level, ContextPrefix(context), FormatVarargs(format, arguments));
}

}  // namespace quillo::media
