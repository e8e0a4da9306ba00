#pragma once

// What the converter's tests share: a converter on the system's libraries whose events are
// recorded from any thread, a scratch folder, and waiting that pumps the main thread.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "converter/converter.h"
#include "fixtures/fixture_path.h"
#include "media/logger.h"
#include "media/main_thread.h"
#include "media/system_libraries.h"
#include "support/temp_folder.h"

namespace quillo::converter::testing {

// The converter with its dispatch operations reachable, for the events no engine raises yet.
class TestConverter : public Converter {
public:
    using ConverterBase::DoCustomHook;
    using ConverterBase::DoPreviewBitmap;
};

// Pumps main-thread calls until done() holds. A limit far beyond any normal run turns a
// deadlock into a failed wait instead of a test that never ends; nothing is measured.
inline bool PumpUntil(const std::function<bool()>& done,
                      std::chrono::seconds limit = std::chrono::seconds(300)) {
    std::mutex mutex;
    std::condition_variable finished;
    bool over = false;
    bool expired = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!finished.wait_for(lock, limit, [&] { return over; })) {
            expired = true;
            lock.unlock();
            media::NotifyMainThread();
        }
    });
    media::PumpMessagesUntil([&] {
        std::scoped_lock lock(mutex);
        return expired || done();
    });
    bool result = false;
    {
        std::scoped_lock lock(mutex);
        over = true;
        result = !expired;
    }
    finished.notify_all();
    watchdog.join();
    return result;
}

struct TerminateRecord {
    TerminateInfo info;
    std::thread::id thread;
};

struct ProgressRecord {
    ProgressInfo info;
    std::thread::id thread;
    int runningTasks = 0;  // tasks of the converter running when the report arrived
};

// Records what one converter reports. Extra work for a test runs inside the handlers.
class EventLog {
public:
    void Watch(Converter& converter) {
        converter.OnProgress = [this](ConverterBase& sender, ProgressInfo* info) {
            auto& owner = static_cast<Converter&>(sender);
            int running = 0;
            for (int index = 0; index < owner.TasksCount(); ++index) {
                const auto task = owner.Task(index);
                running += task && task->Running() ? 1 : 0;
            }
            {
                std::scoped_lock lock(mutex_);
                progress_.push_back({*info, std::this_thread::get_id(), running});
            }
            if (whenProgress) {
                whenProgress(*info);
            }
            media::NotifyMainThread();
        };
        converter.OnTerminate = [this](ConverterBase&, const TerminateInfo& info) {
            {
                std::scoped_lock lock(mutex_);
                ++insideTerminate_;
                maxInsideTerminate_ = std::max(maxInsideTerminate_, insideTerminate_);
                terminated_.push_back({info, std::this_thread::get_id()});
            }
            if (whenTerminate) {
                whenTerminate(info);
            }
            {
                std::scoped_lock lock(mutex_);
                --insideTerminate_;
                runEnded_ = runEnded_ || info.TaskIndex < 0;
            }
            media::NotifyMainThread();
        };
    }

    bool RunEnded() const {
        std::scoped_lock lock(mutex_);
        return runEnded_;
    }
    std::vector<TerminateRecord> Terminated() const {
        std::scoped_lock lock(mutex_);
        return terminated_;
    }
    std::vector<ProgressRecord> Progress() const {
        std::scoped_lock lock(mutex_);
        return progress_;
    }
    std::vector<int> TerminatedIndices() const {
        std::vector<int> indices;
        for (const TerminateRecord& record : Terminated()) {
            indices.push_back(record.info.TaskIndex);
        }
        return indices;
    }
    int MaxInsideTerminate() const {
        std::scoped_lock lock(mutex_);
        return maxInsideTerminate_;
    }
    int ProgressCount(int task, bool midRunOnly) const {
        int count = 0;
        for (const ProgressRecord& record : Progress()) {
            count += record.info.TaskIndex == task && (!midRunOnly || record.info.FileIndex >= 0);
        }
        return count;
    }

    std::function<void(const ProgressInfo&)> whenProgress;
    std::function<void(const TerminateInfo&)> whenTerminate;

private:
    mutable std::mutex mutex_;
    std::vector<ProgressRecord> progress_;
    std::vector<TerminateRecord> terminated_;
    int insideTerminate_ = 0;
    int maxInsideTerminate_ = 0;
    bool runEnded_ = false;
};

class ConverterTest : public ::testing::Test {
protected:
    void SetUp() override {
        media::testing::LoadSystemLibraries();
        media::LoggerInstance().SetTriggerEventInMainThread(false);
        media::LoggerInstance().SetOnLog({});
        events_.Watch(*converter_);
    }

    void TearDown() override {
        // Its files close before their folder goes.
        converter_.reset();
    }

    std::filesystem::path Out(const std::string& name) const { return temp_.Path() / name; }

    // Adds a task for a fixture and fails the test when it is refused.
    int Add(const std::string& fixture, const InputOptions* options = nullptr) {
        const int index = converter_->AddTask(quillo::testing::FixturePath(fixture), options);
        EXPECT_GE(index, 0) << converter_->LastErrMsg();
        return index;
    }

    void AddWithOutput(const std::string& fixture, const std::string& output,
                       const InputOptions* input = nullptr,
                       const OutputOptions* options = nullptr) {
        const int index = Add(fixture, input);
        ASSERT_GE(index, 0);
        ASSERT_TRUE(converter_->SetOutputFile(index, Out(output), options))
            << converter_->LastErrMsg();
    }

    void WaitForRunEnd() {
        ASSERT_TRUE(PumpUntil([this] { return events_.RunEnded(); })) << "the run did not end";
    }

    quillo::testing::TempFolder temp_;
    EventLog events_;
    std::unique_ptr<TestConverter> converter_ = std::make_unique<TestConverter>();
};

// An input read at the source's own pace, so a three-second clip takes three seconds and
// reports progress while it runs.
inline InputOptions PacedInput() {
    InputOptions options;
    options.ExtOptions = "re";
    return options;
}

}  // namespace quillo::converter::testing
