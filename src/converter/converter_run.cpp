// Running the converter's queue: starting tasks, pause, resume and stop, and the events the
// engines report through it.

#include <exception>
#include <thread>

#include "converter/converter.h"
#include "media/logger.h"
#include "media/main_thread.h"

namespace quillo::converter {

ConverterBase::~ConverterBase() {
    // Stopping first: a worker inside a dispatch may be waiting for the main thread, and
    // would never give its lock back if this thread took the locks first and waited.
    {
        std::scoped_lock lock(terminateLock_);
        remaining_.store(0);
    }
    const bool wait = !InsideDispatch();
    for (const TaskPointer& task : Snapshot()) {
        if (task->Running()) {
            task->StopConvert(wait);
        }
    }
    { std::scoped_lock lock(hookLock_); }
    { std::scoped_lock lock(previewLock_); }
    { std::scoped_lock lock(progressLock_); }
    { std::scoped_lock lock(terminateLock_); }
    // Freeing a task waits for its threads, which may still report its end.
    std::vector<TaskPointer> tasks;
    {
        std::scoped_lock lock(listMutex_);
        tasks.swap(tasks_);
        for (TaskPointer& task : retired_) {
            tasks.push_back(std::move(task));
        }
        retired_.clear();
    }
    tasks.clear();
    WaitForTerminateThreads();
}

void ConverterBase::StartTask(int threadCount) {
    RefuseWhileWorking("StartTask");
    ReleaseRetiredTasks();
    const bool threaded = threadCount > 0;
    {
        std::scoped_lock lock(terminateLock_);
        finishedCount_.store(0);
        nextTask_.store(0);
        remaining_.store(TasksCount());
        allDone_.store(false);
        threaded_.store(threaded);
        working_.store(true);
        if (remaining_.load() == 0) {
            // Nothing to run: the run ends as any run does, so ClearTasks is allowed again.
            FinishRun();
            return;
        }
    }
    if (threaded) {
        for (int started = 0; started < threadCount && StartNextTask(); ++started) {
        }
        return;
    }
    {
        const DispatchScope scope(*this);
        while (StartNextTask()) {
        }
    }
    ReleaseRetiredTasks();
}

bool ConverterBase::StartNextTask() {
    std::unique_lock lock(terminateLock_);
    if (remaining_.load() <= 0) {
        return false;
    }
    remaining_.fetch_sub(1);
    const TaskPointer task = Task(nextTask_.fetch_add(1));
    if (!task) {
        return true;
    }
    task->SetProgressInterval(static_cast<std::int64_t>(progressInterval_.load()) * 1000);
    task->DetachProbes();
    if (threaded_.load()) {
        // Under the lock, so that Stop finds the task either started or not claimed.
        task->StartConvert(true, threadPriority_.load());
        return true;
    }
    syncStarting_ = task.get();
    lock.unlock();
    task->StartConvert(false);
    lock.lock();
    syncStarting_ = nullptr;
    return true;
}

void ConverterBase::Pause() {
    for (const TaskPointer& task : Snapshot()) {
        task->Pause();
    }
}

void ConverterBase::Resume() {
    for (const TaskPointer& task : Snapshot()) {
        task->Resume();
    }
}

void ConverterBase::Stop(bool waitForStop) {
    const bool wait = waitForStop && !InsideDispatch();
    const TranscodeTask* starting = nullptr;
    {
        std::scoped_lock lock(terminateLock_);
        remaining_.store(0);
        starting = syncStarting_;
    }
    for (const TaskPointer& task : Snapshot()) {
        if (task.get() == starting) {
            // Claimed by a run on another thread and about to start: ending it meanwhile
            // would race with its start.
            while (!task->Running() && !task->Ended()) {
                std::this_thread::yield();
            }
        }
        task->StopConvert(wait);
    }
}

void ConverterBase::RunEvent(const std::function<void()>& call) {
    if (!triggerEventInMainThread_.load()) {
        call();
        return;
    }
    media::CallInMainThread([this, &call] {
        const DispatchScope scope(*this);
        call();
    });
}

void ConverterBase::DoProgress(Transcoder& engine, const ProgressReport& report) {
    std::scoped_lock lock(progressLock_);
    const DispatchScope scope(*this);
    progressInfo_ = ProgressInfo{.TaskIndex = IndexOf(engine),
                                 .FileIndex = report.inputIndex,
                                 .FrameNumber = report.frameNumber,
                                 .FPS = report.fps,
                                 .Quality = report.quality,
                                 .BitRate = report.bitRate,
                                 .TotalSize = report.totalSize,
                                 .CurrentDuration = report.time,
                                 .TotalDuration = report.totalDuration};
    if (const auto handler = OnProgress.Get()) {
        RunEvent([&] { handler(*this, &progressInfo_); });
    }
}

void ConverterBase::DoPreviewBitmap(Transcoder& engine, const media::Bitmap& bitmap,
                                    int frameNumber, std::int64_t pts) {
    std::scoped_lock lock(previewLock_);
    const DispatchScope scope(*this);
    previewInfo_ = PreviewInfo{
        .TaskIndex = IndexOf(engine), .Bitmap = &bitmap, .FrameNumber = frameNumber, .PTS = pts};
    if (const auto handler = OnPreviewBitmap.Get()) {
        RunEvent([&] { handler(*this, previewInfo_); });
    }
}

void ConverterBase::DoCustomHook(Transcoder& engine, media::Bitmap& bitmap, int frameNumber,
                                 std::int64_t pts, bool& update, bool& stopHook) {
    std::scoped_lock lock(hookLock_);
    const DispatchScope scope(*this);
    hookInfo_ = HookInfo{.TaskIndex = IndexOf(engine),
                         .Bitmap = &bitmap,
                         .FrameNumber = frameNumber,
                         .PTS = pts,
                         .Update = update,
                         .StopHook = stopHook};
    // Always on the worker: the handler edits the picture the worker is about to encode.
    if (const auto handler = OnCustomHook.Get()) {
        handler(*this, &hookInfo_);
    }
    update = hookInfo_.Update;
    stopHook = hookInfo_.StopHook;
}

void ConverterBase::DoTerminate(Transcoder& engine) {
    std::scoped_lock lock(terminateLock_);
    const DispatchScope scope(*this);
    if (OnTerminate) {
        terminateInfo_ = TerminateInfo{.TaskIndex = IndexOf(engine),
                                       .Finished = engine.Finished(),
                                       .Exception = engine.Failed(),
                                       .ExceptionMsg = engine.ErrorText()};
        RaiseTerminate(terminateInfo_);
    }
    finishedCount_.fetch_add(1);
    if (remaining_.load() > 0) {
        if (threaded_.load()) {
            StartNextTask();  // from the thread of the task that just ended
        }
    } else if (finishedCount_.load() >= TasksCount()) {
        FinishRun();
    }
}

void ConverterBase::FinishRun() {
    allDone_.store(true);
    if (OnTerminate) {
        terminateInfo_ = TerminateInfo{
            .TaskIndex = -1, .Finished = true, .Exception = false, .ExceptionMsg = {}};
        RaiseTerminate(terminateInfo_);
    }
}

void ConverterBase::RaiseTerminate(const TerminateInfo& info) {
    if (threaded_.load()) {
        StartTerminateThread(info);
    } else {
        CallTerminateHandler(info);
    }
}

void ConverterBase::CallTerminateHandler(const TerminateInfo& info) {
    const auto handler = OnTerminate.Get();
    if (!handler) {
        return;
    }
    // The queue must go on whatever the handler does.
    try {
        handler(*this, info);
    } catch (const std::exception& error) {
        media::LoggerInstance().Log(this, media::LogLevel::llError,
                                    std::string("Error occurs OnTerminate: ") + error.what());
    }
}

void ConverterBase::StartTerminateThread(const TerminateInfo& info) {
    std::scoped_lock lock(terminateThreadsMutex_);
    JoinEndedTerminateThreads();
    const std::uint64_t turn = turnsIssued_++;
    DoTerminateThread& entry = terminateThreads_.emplace_back();
    entry.thread =
        std::thread([this, info, turn, &entry] { RunTerminateThread(info, turn, entry); });
}

void ConverterBase::RunTerminateThread(const TerminateInfo& info, std::uint64_t turn,
                                       DoTerminateThread& entry) {
    {
        std::unique_lock lock(terminateThreadsMutex_);
        terminateThreadsChanged_.wait(lock, [&] { return turnsDone_ == turn; });
    }
    CallTerminateHandler(info);
    {
        std::scoped_lock lock(terminateThreadsMutex_);
        ++turnsDone_;
        entry.done = true;
    }
    terminateThreadsChanged_.notify_all();
    media::NotifyMainThread();
}

void ConverterBase::JoinEndedTerminateThreads() {
    for (auto entry = terminateThreads_.begin(); entry != terminateThreads_.end();) {
        if (entry->done) {
            entry->thread.join();
            entry = terminateThreads_.erase(entry);
        } else {
            ++entry;
        }
    }
}

void ConverterBase::WaitForTerminateThreads() {
    const auto allDone = [this] {
        for (const DoTerminateThread& entry : terminateThreads_) {
            if (!entry.done && entry.thread.get_id() != std::this_thread::get_id()) {
                return false;
            }
        }
        return true;
    };
    if (media::IsMainThread()) {
        // Their handlers may pass work to the main thread and wait for it.
        media::PumpMessagesUntil([&] {
            std::scoped_lock lock(terminateThreadsMutex_);
            return allDone();
        });
    } else {
        std::unique_lock lock(terminateThreadsMutex_);
        terminateThreadsChanged_.wait(lock, allDone);
    }
    std::scoped_lock lock(terminateThreadsMutex_);
    for (DoTerminateThread& entry : terminateThreads_) {
        if (entry.thread.get_id() == std::this_thread::get_id()) {
            entry.thread.detach();
        } else if (entry.thread.joinable()) {
            entry.thread.join();
        }
    }
    terminateThreads_.clear();
}

}  // namespace quillo::converter
