#include "media/logger.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <cstdarg>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "media/library_bindings.h"
#include "media/main_thread.h"
#include "media/media_error.h"
#include "media/system_libraries.h"
#include "media/thread_id.h"

namespace quillo::media {
namespace {

struct Delivery {
    const MediaComponent* sender;
    std::uint32_t threadId;
    LogLevel level;
    std::string message;
    bool onMainThread;
};

// Collects what the logger delivers; usable from any thread.
class Recorder {
public:
    explicit Recorder(Logger& logger) {
        logger.SetOnLog([this](const MediaComponent* sender, std::uint32_t threadId, LogLevel level,
                               const std::string& message) {
            std::scoped_lock lock(mutex_);
            deliveries_.push_back({sender, threadId, level, message, IsMainThread()});
        });
    }

    std::vector<Delivery> Deliveries() const {
        std::scoped_lock lock(mutex_);
        return deliveries_;
    }

    std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        for (const Delivery& delivery : Deliveries()) {
            messages.push_back(delivery.message);
        }
        return messages;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Delivery> deliveries_;
};

// What the libraries pass as a log context: an object whose first member is its class.
struct FakeLibraryContext {
    const AVClass* avClass;
};

const char* FakeItemName(void*) {
    return "fakedemuxer";
}

const AVClass FakeClass = [] {
    AVClass avClass{};
    avClass.class_name = "FakeClass";
    avClass.item_name = FakeItemName;
    return avClass;
}();

void LibraryLog(void* context, int level, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    LibraryLogCallback(context, level, format, arguments);
    va_end(arguments);
}

std::string PrefixOf(const FakeLibraryContext& context) {
    char address[64];
    std::snprintf(address, sizeof address, "%016" PRIXPTR,
                  reinterpret_cast<std::uintptr_t>(&context));
    return std::string("[fakedemuxer @ ") + address + "]";
}

TEST(LogLevelTest, LibraryLevelsOfEachLevel) {
    const std::vector<std::pair<LogLevel, int>> cases = {
        {LogLevel::llQuiet, -8},   {LogLevel::llPanic, 0},    {LogLevel::llFatal, 8},
        {LogLevel::llError, 16},   {LogLevel::llWarning, 24}, {LogLevel::llInfo, 32},
        {LogLevel::llVerbose, 40}, {LogLevel::llDebug, 48}};
    for (const auto& [level, libraryLevel] : cases) {
        EXPECT_EQ(LibraryLevelOf(level), libraryLevel) << LogLevelName(level);
        EXPECT_EQ(LogLevelOfLibraryLevel(libraryLevel), level) << libraryLevel;
    }
}

TEST(LogLevelTest, LevelsOfLibraryNumbersTruncateAndClamp) {
    const std::vector<std::pair<int, LogLevel>> cases = {
        {-100, LogLevel::llQuiet}, {-9, LogLevel::llQuiet}, {-8, LogLevel::llQuiet},
        {-7, LogLevel::llPanic},   {-1, LogLevel::llPanic}, {7, LogLevel::llPanic},
        {20, LogLevel::llError},   {33, LogLevel::llInfo},  {56, LogLevel::llDebug},
        {1000, LogLevel::llDebug}};
    for (const auto& [libraryLevel, level] : cases) {
        EXPECT_EQ(LogLevelOfLibraryLevel(libraryLevel), level) << libraryLevel;
    }
}

TEST(LoggerTest, LevelByNameAcceptsNamesInAnyCaseAndNumbers) {
    Logger& logger = LoggerInstance();
    const std::vector<std::pair<std::string, LogLevel>> cases = {
        {"DEBUG", LogLevel::llDebug}, {"Warning", LogLevel::llWarning},
        {"quiet", LogLevel::llQuiet}, {"20", LogLevel::llError},
        {"-100", LogLevel::llQuiet},  {"40", LogLevel::llVerbose}};
    for (const auto& [text, level] : cases) {
        logger.SetLogLevelByName(text);
        EXPECT_EQ(logger.GetLogLevel(), level) << text;
    }
}

TEST(LoggerTest, LevelByNameRefusesOtherTextAndKeepsTheLevel) {
    Logger& logger = LoggerInstance();
    logger.SetLogLevel(LogLevel::llWarning);
    for (const std::string text : {"loud", "", "12x", " 12", "99999999999"}) {
        try {
            logger.SetLogLevelByName(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const MediaError& error) {
            EXPECT_EQ(error.what(), "'" + text + "' is not a valid integer value");
        }
        EXPECT_EQ(logger.GetLogLevel(), LogLevel::llWarning) << text;
    }
}

TEST(LoggerTest, OnlyOneLoggerMayExist) {
    auto first = std::make_unique<Logger>();
    EXPECT_EQ(&LoggerInstance(), first.get());
    try {
        Logger second;
        ADD_FAILURE() << "a second logger was created";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(), "Allow creating only one instance of Logger.");
    }
    first.reset();
    // With the first gone, a new one takes its place.
    EXPECT_NE(&LoggerInstance(), nullptr);
}

TEST(LoggerTest, StartsAtTheLevelLastPushedToTheLibraries) {
    EXPECT_EQ(LibraryLogLevel(), 32);
    EXPECT_EQ(LoggerInstance().GetLogLevel(), LogLevel::llInfo);
    EXPECT_TRUE(LoggerInstance().TriggerEventInMainThread());
}

TEST(LoggerTest, ComponentMessagesAreFilteredByTheLoggersLevel) {
    Logger& logger = LoggerInstance();
    Recorder recorder(logger);
    const MediaComponent* sender = &logger;

    logger.SetLogLevel(LogLevel::llError);
    logger.Log(sender, LogLevel::llError, "error passes");
    logger.Log(sender, LogLevel::llWarning, "warning dropped");
    logger.Log(sender, LogLevel::llVerbose, "verbose passes unless quiet");
    logger.LogFmt(sender, LogLevel::llFatal, "%s %d", "formatted", 42);

    logger.SetLogLevel(LogLevel::llQuiet);
    logger.Log(sender, LogLevel::llVerbose, "verbose dropped when quiet");
    logger.Log(sender, LogLevel::llPanic, "panic dropped when quiet");

    EXPECT_EQ(
        recorder.Messages(),
        (std::vector<std::string>{"error passes", "verbose passes unless quiet", "formatted 42"}));
    const Delivery first = recorder.Deliveries().front();
    EXPECT_EQ(first.sender, sender);
    EXPECT_EQ(first.level, LogLevel::llError);
    EXPECT_EQ(first.threadId, CurrentThreadId());
}

TEST(LoggerTest, WithoutAHandlerNothingIsDelivered) {
    Logger& logger = LoggerInstance();
    logger.Log(&logger, LogLevel::llError, "dropped");
    FakeLibraryContext context{&FakeClass};
    LibraryLog(&context, AV_LOG_ERROR, "dropped too\n");
    Recorder recorder(logger);
    LibraryLog(&context, AV_LOG_ERROR, "after\n");
    EXPECT_EQ(recorder.Messages(), (std::vector<std::string>{PrefixOf(context) + "after"}));
}

TEST(LoggerTest, LibraryPiecesJoinIntoOneLineWithTheFirstPiecesPrefix) {
    Logger& logger = LoggerInstance();
    Recorder recorder(logger);
    FakeLibraryContext context{&FakeClass};

    LibraryLog(&context, AV_LOG_WARNING, "abc");
    EXPECT_TRUE(recorder.Deliveries().empty());
    LibraryLog(&context, AV_LOG_WARNING, "%s\n", "def");

    const auto deliveries = recorder.Deliveries();
    ASSERT_EQ(deliveries.size(), 1U);
    EXPECT_EQ(deliveries[0].message, PrefixOf(context) + "abcdef");
    EXPECT_EQ(deliveries[0].sender, &logger);
    EXPECT_EQ(deliveries[0].level, LogLevel::llWarning);
}

TEST(LoggerTest, TextAfterTheLastLineFeedWaitsForTheNextMessage) {
    Recorder recorder(LoggerInstance());

    LibraryLog(nullptr, AV_LOG_INFO, "a\nb\nc");
    EXPECT_EQ(recorder.Messages(), (std::vector<std::string>{"a", "b"}));
    LibraryLog(nullptr, AV_LOG_INFO, "d\n");
    EXPECT_EQ(recorder.Messages(), (std::vector<std::string>{"a", "b", "cd"}));
}

TEST(LoggerTest, ContextWithoutAClassGivesNoPrefix) {
    Recorder recorder(LoggerInstance());
    FakeLibraryContext classless{nullptr};
    LibraryLog(&classless, AV_LOG_ERROR, "plain\n");
    EXPECT_EQ(recorder.Messages(), (std::vector<std::string>{"plain"}));
}

TEST(LoggerTest, LongLibraryMessagesAreKeptWhole) {
    Recorder recorder(LoggerInstance());
    const std::string longText(5000, 'x');
    LibraryLog(nullptr, AV_LOG_ERROR, "%s|end\n", longText.c_str());
    EXPECT_EQ(recorder.Messages(), (std::vector<std::string>{longText + "|end"}));
}

TEST(LoggerTest, LibraryLinesAreFilteredByTheLibraryLevelOnly) {
    Logger& logger = LoggerInstance();
    Recorder recorder(logger);
    // avutil is not loaded, so the library level stays at 32 whatever the logger's level.
    logger.SetLogLevel(LogLevel::llError);
    ASSERT_EQ(LibraryLogLevel(), 32);

    LibraryLog(nullptr, AV_LOG_INFO, "info passes\n");
    LibraryLog(nullptr, AV_LOG_VERBOSE, "verbose dropped\n");
    LibraryLog(nullptr, 33, "33 dropped\n");

    EXPECT_EQ(recorder.Messages(), (std::vector<std::string>{"info passes"}));
    EXPECT_EQ(recorder.Deliveries()[0].level, LogLevel::llInfo);
}

TEST(LoggerTest, LinesOfSeveralThreadsNeverMixAndReachTheMainThread) {
    Logger& logger = LoggerInstance();
    Recorder recorder(logger);
    constexpr int ThreadCount = 4;
    constexpr int LineCount = 20;
    std::barrier bothWritten(ThreadCount);
    std::atomic<int> finished = 0;
    std::vector<std::uint32_t> threadIds(ThreadCount);

    std::vector<std::thread> threads;
    for (int t = 0; t < ThreadCount; ++t) {
        threads.emplace_back([&, t] {
            threadIds[t] = CurrentThreadId();
            for (int line = 0; line < LineCount; ++line) {
                LibraryLog(nullptr, AV_LOG_ERROR, "thread %d ", t);
                // Every thread has a half-written line pending at this point.
                bothWritten.arrive_and_wait();
                LibraryLog(nullptr, AV_LOG_ERROR, "line %d\n", line);
            }
            ++finished;
            NotifyMainThread();
        });
    }
    PumpMessagesUntil([&] { return finished.load() == ThreadCount; });
    for (std::thread& thread : threads) {
        thread.join();
    }
    PumpMessages();  // lines are queued for the main thread, not waited for

    const auto deliveries = recorder.Deliveries();
    ASSERT_EQ(deliveries.size(), static_cast<std::size_t>(ThreadCount * LineCount));
    std::vector<int> nextLine(ThreadCount, 0);
    for (const Delivery& delivery : deliveries) {
        EXPECT_TRUE(delivery.onMainThread);
        int t = -1;
        int line = -1;
        ASSERT_EQ(std::sscanf(delivery.message.c_str(), "thread %d line %d", &t, &line), 2)
            << delivery.message;
        ASSERT_TRUE(t >= 0 && t < ThreadCount);
        EXPECT_EQ(delivery.threadId, threadIds[t]);
        EXPECT_EQ(line, nextLine[t]++) << delivery.message;
    }
}

TEST(LoggerTest, WithoutMainThreadDeliveryTheHandlerRunsOnTheLoggingThread) {
    Logger& logger = LoggerInstance();
    logger.SetTriggerEventInMainThread(false);
    Recorder recorder(logger);
    std::uint32_t workerId = 0;

    std::thread worker([&] {
        workerId = CurrentThreadId();
        logger.Log(&logger, LogLevel::llError, "from worker");
    });
    worker.join();

    const auto deliveries = recorder.Deliveries();
    ASSERT_EQ(deliveries.size(), 1U);
    EXPECT_FALSE(deliveries[0].onMainThread);
    EXPECT_EQ(deliveries[0].threadId, workerId);
}

// With the real avutil the loader routes the library's own av_log calls to the logger, and
// the logger's level reaches the library.
TEST(LoggerLibraryTest, LibraryLogCallsArriveThroughTheLoader) {
    testing::LoadSystemLibraries();
    Logger& logger = LoggerInstance();
    Recorder recorder(logger);
    FakeLibraryContext context{&FakeClass};

    lib::avutil.av_log(&context, AV_LOG_ERROR, "from %s\n", "avutil");
    EXPECT_EQ(recorder.Messages(), (std::vector<std::string>{PrefixOf(context) + "from avutil"}));

    logger.SetLogLevel(LogLevel::llQuiet);
    EXPECT_EQ(LibraryLogLevel(), -8);
    EXPECT_EQ(lib::avutil.av_log_get_level(), -8);
    lib::avutil.av_log(nullptr, AV_LOG_PANIC, "panic dropped\n");
    lib::avutil.av_log(nullptr, AV_LOG_QUIET, "quiet passes\n");
    logger.Log(&logger, LogLevel::llVerbose, "component verbose dropped");

    logger.SetLogLevel(LogLevel::llDebug);
    EXPECT_EQ(lib::avutil.av_log_get_level(), 48);
    EXPECT_EQ(recorder.Messages(),
              (std::vector<std::string>{PrefixOf(context) + "from avutil", "quiet passes"}));
}

TEST(LoggerLibraryTest, LoadingAvutilAgainReinstallsTheCallback) {
    testing::LoadSystemLibraries();
    Recorder recorder(LoggerInstance());
    lib::avutil.av_log_set_callback(nullptr);  // the library now drops its lines
    lib::avutil.av_log(nullptr, AV_LOG_ERROR, "lost\n");
    testing::LoadSystemLibraries();
    lib::avutil.av_log(nullptr, AV_LOG_ERROR, "back\n");
    EXPECT_EQ(recorder.Messages(), (std::vector<std::string>{"back"}));
}

}  // namespace
}  // namespace quillo::media
