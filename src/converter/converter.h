#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "converter/conversion_events.h"
#include "converter/conversion_options.h"
#include "converter/event_handler.h"
#include "converter/thread_priority.h"
#include "converter/transcode_task.h"
#include "media/bitmap.h"
#include "media/media_component.h"
#include "media/media_error.h"
#include "media/media_probe.h"

namespace quillo::converter {

// Raised by the operations a running queue refuses ("Cannot AddTask while working.").
class ConverterBusyError : public media::MediaError {
public:
    using MediaError::MediaError;
};

// The application's interface to conversion: a queue of tasks, each one engine with one
// input and its outputs, run one after another inside StartTask or on worker threads, a
// chosen number at a time. What happens is reported through four events.
//
// Tasks are shared between the list and the operations that work through it (Stop, Pause,
// Resume), so those never hold a lock while they wait for a task; the list is the only
// owner that lasts.
class ConverterBase : public media::MediaComponent {
public:
    ConverterBase();
    ~ConverterBase() override;

    bool LoadMediaLibraries(const std::filesystem::path& folder);
    // The new task's index, or -1 with LastErrMsg() saying why.
    int AddTask(const std::filesystem::path& file, const InputOptions* options = nullptr);
    // False with LastErrMsg() saying why; the task keeps the outputs it had.
    bool SetOutputFile(int task, const std::filesystem::path& file,
                       const OutputOptions* options = nullptr);
    // Throws std::out_of_range for an index that names no task.
    void RemoveTask(int index);
    void ClearTasks();
    // threadCount <= 0: every task runs to its end inside the call, one after another.
    // Otherwise up to threadCount tasks run at once, each on a worker thread of its own, and
    // the call returns at once.
    void StartTask(int threadCount);
    void Pause();
    void Resume();
    // Called from inside one of this converter's event handlers, it does not wait: the task
    // being reported cannot end before the handler returns.
    void Stop(bool waitForStop);
    int TasksCount() const;
    // The probe of a task's input, null when there is none; it belongs to the task. Running
    // a task closes its inputs, so from its start the probe holds no file.
    media::MediaProbe* Probes(int task, int input) const;
    // The task itself, or null.
    std::shared_ptr<TranscodeTask> Task(int index) const;

protected:
    // Called by the engines, from whatever thread they run on.
    virtual void DoCustomHook(Transcoder& engine, media::Bitmap& bitmap, int frameNumber,
                              std::int64_t pts, bool& update, bool& stopHook);
    virtual void DoPreviewBitmap(Transcoder& engine, const media::Bitmap& bitmap, int frameNumber,
                                 std::int64_t pts);
    virtual void DoProgress(Transcoder& engine, const ProgressReport& report);
    virtual void DoTerminate(Transcoder& engine);

    // Properties, published by Converter.
    bool Preview() const { return preview_.load(); }
    void SetPreview(bool value);
    bool PreviewBitmap() const { return previewBitmap_.load(); }
    void SetPreviewBitmap(bool value);
    // Milliseconds; 100 at the least.
    int ProgressInterval() const { return progressInterval_.load(); }
    void SetProgressInterval(int milliseconds);
    converter::ThreadPriority ThreadPriority() const { return threadPriority_.load(); }
    void SetThreadPriority(converter::ThreadPriority priority) { threadPriority_.store(priority); }
    bool TriggerEventInMainThread() const { return triggerEventInMainThread_.load(); }
    void SetTriggerEventInMainThread(bool value) { triggerEventInMainThread_.store(value); }
    static std::string Version() { return "3.3"; }
    media::MediaProbe& Probe() { return probe_; }
    std::string LastErrMsg() const;

    int FinishedCount() const { return finishedCount_.load(); }
    int NextTask() const { return nextTask_.load(); }
    int Remaining() const { return remaining_.load(); }
    bool AllDone() const { return allDone_.load(); }
    bool Threaded() const { return threaded_.load(); }
    bool Working() const { return working_.load(); }

    // Sender is always the converter. The records belong to the converter and are valid
    // only during the call.
    EventHandler<void(ConverterBase& sender, ProgressInfo* info)> OnProgress;
    EventHandler<void(ConverterBase& sender, HookInfo* info)> OnCustomHook;
    EventHandler<void(ConverterBase& sender, const PreviewInfo& info)> OnPreviewBitmap;
    EventHandler<void(ConverterBase& sender, const TerminateInfo& info)> OnTerminate;

private:
    using TaskPointer = std::shared_ptr<TranscodeTask>;

    // Marks the calling thread as running one of this converter's dispatches or a run inside
    // StartTask, for as long as it lives.
    class DispatchScope {
    public:
        explicit DispatchScope(const ConverterBase& converter);
        ~DispatchScope();
        DispatchScope(const DispatchScope&) = delete;
        DispatchScope& operator=(const DispatchScope&) = delete;
    };

    // A short-lived thread that raises OnTerminate with its copy of the record. Records are
    // raised in the order the tasks reported their ends, one at a time.
    struct DoTerminateThread {
        std::thread thread;
        bool done = false;
    };

    void RefuseWhileWorking(const char* operation) const;
    void SetLastErrMsg(std::string text);
    bool InsideDispatch() const;
    std::vector<TaskPointer> Snapshot() const;
    int IndexOf(const Transcoder& engine) const;
    void ConnectEvents(TranscodeTask& task);
    void UpdatePreviewFlag(int flag, bool on);
    // Frees tasks taken off the list, or keeps them for later when the calling thread may
    // be inside one of their bodies.
    void Release(std::vector<TaskPointer> tasks);
    void ReleaseRetiredTasks();

    // Claims the next task of the run and starts it; false when none was left.
    bool StartNextTask();
    void FinishRun();
    void RaiseTerminate(const TerminateInfo& info);
    void CallTerminateHandler(const TerminateInfo& info);
    void StartTerminateThread(const TerminateInfo& info);
    void RunTerminateThread(const TerminateInfo& info, std::uint64_t turn,
                            DoTerminateThread& entry);
    void JoinEndedTerminateThreads();
    void WaitForTerminateThreads();
    // Runs an event handler on the main thread when TriggerEventInMainThread is set.
    void RunEvent(const std::function<void()>& call);

    std::atomic<bool> preview_{false};
    std::atomic<bool> previewBitmap_{false};
    std::atomic<int> progressInterval_{500};
    std::atomic<converter::ThreadPriority> threadPriority_{converter::ThreadPriority::tpNormal};
    std::atomic<bool> triggerEventInMainThread_{true};
    media::MediaProbe probe_;

    mutable std::mutex lastErrorMutex_;
    std::string lastErrMsg_;

    // Run bookkeeping; changed under the terminate lock.
    std::atomic<int> finishedCount_{0};
    std::atomic<int> nextTask_{-1};
    std::atomic<int> remaining_{0};
    std::atomic<bool> allDone_{false};
    std::atomic<bool> threaded_{false};
    std::atomic<bool> working_{false};
    const TranscodeTask* syncStarting_ = nullptr;  // claimed by a run inside StartTask

    // One record per event kind, filled just before its event.
    ProgressInfo progressInfo_;
    HookInfo hookInfo_;
    PreviewInfo previewInfo_;
    TerminateInfo terminateInfo_;

    // One lock per event kind, each held for the whole dispatch. The terminate lock is taken
    // again when a task started from a dispatch ends at once.
    std::mutex hookLock_;
    std::mutex previewLock_;
    std::mutex progressLock_;
    std::recursive_mutex terminateLock_;

    mutable std::mutex listMutex_;
    std::vector<TaskPointer> tasks_;
    std::vector<TaskPointer> retired_;  // off the list, to be freed by a later call

    std::mutex terminateThreadsMutex_;
    std::condition_variable terminateThreadsChanged_;
    std::list<DoTerminateThread> terminateThreads_;
    std::uint64_t turnsIssued_ = 0;
    std::uint64_t turnsDone_ = 0;
};

// The converter with its properties and events published.
class Converter : public ConverterBase {
public:
    using ConverterBase::AllDone;
    using ConverterBase::FinishedCount;
    using ConverterBase::LastErrMsg;
    using ConverterBase::NextTask;
    using ConverterBase::OnCustomHook;
    using ConverterBase::OnPreviewBitmap;
    using ConverterBase::OnProgress;
    using ConverterBase::OnTerminate;
    using ConverterBase::Preview;
    using ConverterBase::PreviewBitmap;
    using ConverterBase::Probe;
    using ConverterBase::ProgressInterval;
    using ConverterBase::Remaining;
    using ConverterBase::SetPreview;
    using ConverterBase::SetPreviewBitmap;
    using ConverterBase::SetProgressInterval;
    using ConverterBase::SetThreadPriority;
    using ConverterBase::SetTriggerEventInMainThread;
    using ConverterBase::Threaded;
    using ConverterBase::ThreadPriority;
    using ConverterBase::TriggerEventInMainThread;
    using ConverterBase::Version;
    using ConverterBase::Working;
};

}  // namespace quillo::converter
