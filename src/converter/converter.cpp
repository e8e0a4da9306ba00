// The converter's queue: adding tasks and their outputs, removing them, and its properties.

#include "converter/converter.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

#include "converter/task_options.h"
#include "media/library_loader.h"
#include "media/library_set.h"

namespace quillo::converter {

namespace {

// The converters whose dispatch (or run inside StartTask) the calling thread is in.
thread_local std::vector<const ConverterBase*> dispatching;

}  // namespace

ConverterBase::DispatchScope::DispatchScope(const ConverterBase& converter) {
    dispatching.push_back(&converter);
}

ConverterBase::DispatchScope::~DispatchScope() {
    dispatching.pop_back();
}

bool ConverterBase::InsideDispatch() const {
    return std::find(dispatching.begin(), dispatching.end(), this) != dispatching.end();
}

ConverterBase::ConverterBase() = default;

void ConverterBase::SetLastErrMsg(std::string text) {
    std::scoped_lock lock(lastErrorMutex_);
    lastErrMsg_ = std::move(text);
}

std::string ConverterBase::LastErrMsg() const {
    std::scoped_lock lock(lastErrorMutex_);
    return lastErrMsg_;
}

void ConverterBase::RefuseWhileWorking(const char* operation) const {
    if (working_.load()) {
        throw ConverterBusyError(std::string("Cannot ") + operation + " while working.");
    }
}

void ConverterBase::SetProgressInterval(int milliseconds) {
    progressInterval_.store(milliseconds <= 100 ? 100 : milliseconds);
}

void ConverterBase::UpdatePreviewFlag(int flag, bool on) {
    for (const TaskPointer& task : Snapshot()) {
        // Only this bit: the engine clears the other itself when its preview fails.
        task->ChangePreviewFlag(flag, on);
    }
}

void ConverterBase::SetPreview(bool value) {
    preview_.store(value);
    UpdatePreviewFlag(PreviewWindowFlag, value);
}

void ConverterBase::SetPreviewBitmap(bool value) {
    previewBitmap_.store(value);
    UpdatePreviewFlag(PreviewBitmapFlag, value);
}

bool ConverterBase::LoadMediaLibraries(const std::filesystem::path& folder) {
    media::LibraryLoader& loader = media::LibraryLoaderInstance();
    loader.SetLibraryFolder(folder);
    const bool loaded = loader.LoadLibraries(media::ConverterLibrarySet);
    if (!loaded) {
        SetLastErrMsg(loader.LastErrorMessage());
    }
    return loaded;
}

std::vector<ConverterBase::TaskPointer> ConverterBase::Snapshot() const {
    std::scoped_lock lock(listMutex_);
    return tasks_;
}

int ConverterBase::TasksCount() const {
    std::scoped_lock lock(listMutex_);
    return static_cast<int>(tasks_.size());
}

std::shared_ptr<TranscodeTask> ConverterBase::Task(int index) const {
    std::scoped_lock lock(listMutex_);
    if (index < 0 || index >= static_cast<int>(tasks_.size())) {
        return nullptr;
    }
    return tasks_[index];
}

int ConverterBase::IndexOf(const Transcoder& engine) const {
    std::scoped_lock lock(listMutex_);
    for (std::size_t index = 0; index < tasks_.size(); ++index) {
        if (tasks_[index].get() == &engine) {
            return static_cast<int>(index);
        }
    }
    return -1;
}

media::MediaProbe* ConverterBase::Probes(int task, int input) const {
    const TaskPointer found = Task(task);
    return found ? found->Probe(input) : nullptr;
}

void ConverterBase::ConnectEvents(TranscodeTask& task) {
    task.SetProgressCallback(
        [this](Transcoder& engine, const ProgressReport& report) { DoProgress(engine, report); });
    task.SetTerminateCallback([this](Transcoder& engine) { DoTerminate(engine); });
    task.SetPreviewCallback(
        [this](Transcoder& engine, const media::Bitmap& bitmap, int frameNumber,
               std::int64_t time) { DoPreviewBitmap(engine, bitmap, frameNumber, time); });
}

int ConverterBase::AddTask(const std::filesystem::path& file, const InputOptions* options) {
    RefuseWhileWorking("AddTask");
    ReleaseRetiredTasks();
    try {
        // A new engine starts reset, with every option at its default.
        auto task = std::make_shared<TranscodeTask>();
        task->SetOption("v", "1");
        task->SetPreviewFlags((preview_.load() ? PreviewWindowFlag : 0) |
                              (previewBitmap_.load() ? PreviewBitmapFlag : 0));
        if (options != nullptr) {
            InputOptions stored = *options;
            if (stored.FileName.empty()) {
                stored.FileName = file;
            }
            task->StoreInputOptions(task->InputCount(), stored);
            ApplyInputOptions(*task, stored);
        }
        if (!task->OpenInput(file.string())) {
            SetLastErrMsg(task->LastErrorMessage());
            return -1;
        }
        task->AttachProbe(task->InputCount() - 1);
        ConnectEvents(*task);
        std::scoped_lock lock(listMutex_);
        tasks_.push_back(std::move(task));
        return static_cast<int>(tasks_.size()) - 1;
    } catch (const std::exception& error) {
        SetLastErrMsg(error.what());
        return -1;
    }
}

bool ConverterBase::SetOutputFile(int index, const std::filesystem::path& file,
                                  const OutputOptions* options) {
    RefuseWhileWorking("SetOutputFile");
    ReleaseRetiredTasks();
    const TaskPointer task = Task(index);
    if (!task) {
        SetLastErrMsg("Task index " + std::to_string(index) + " is out of range (" +
                      std::to_string(TasksCount()) + " tasks)");
        return false;
    }
    if (task->OutputCount() >= MaxFiles) {
        SetLastErrMsg("max output files " + std::to_string(MaxFiles) + " reached");
        return false;
    }
    const int slot = task->OutputCount();
    try {
        std::optional<OutputOptions> stored;
        std::optional<OutputSetup> setup;
        if (options != nullptr) {
            stored = *options;
            if (stored->FileName.empty()) {
                stored->FileName = file;
            }
            task->StoreOutputOptions(slot, stored);
            setup.emplace(*stored);
            setup->Prepare(*task);
            if (stored->CustomHook) {
                task->SetCustomHook([this](Transcoder& engine, media::Bitmap& bitmap,
                                           int frameNumber, std::int64_t pts, bool& update,
                                           bool& stopHook) {
                    DoCustomHook(engine, bitmap, frameNumber, pts, update, stopHook);
                });
            }
        } else {
            task->StoreOutputOptions(slot, std::nullopt);
        }
        if (task->OpenOutput(file.string(), stored && stored->Join) < 0) {
            SetLastErrMsg(task->LastErrorMessage());
            task->StoreOutputOptions(slot, std::nullopt);
            return false;
        }
        if (setup) {
            setup->AddStreams(*task);
        }
        return true;
    } catch (const std::exception& error) {
        SetLastErrMsg(error.what());
        if (task->OutputCount() <= slot) {
            task->StoreOutputOptions(slot, std::nullopt);
        }
        return false;
    }
}

void ConverterBase::Release(std::vector<TaskPointer> tasks) {
    if (InsideDispatch()) {
        // This thread may be running one of these tasks' bodies, or ending one of them.
        std::scoped_lock lock(listMutex_);
        for (TaskPointer& task : tasks) {
            retired_.push_back(std::move(task));
        }
        return;
    }
    tasks.clear();  // each engine waits for its threads
}

void ConverterBase::ReleaseRetiredTasks() {
    if (InsideDispatch()) {
        return;
    }
    std::vector<TaskPointer> retired;
    {
        std::scoped_lock lock(listMutex_);
        retired.swap(retired_);
    }
}

void ConverterBase::RemoveTask(int index) {
    RefuseWhileWorking("RemoveTask");
    ReleaseRetiredTasks();
    std::vector<TaskPointer> removed;
    {
        std::scoped_lock lock(listMutex_);
        if (index < 0 || index >= static_cast<int>(tasks_.size())) {
            throw std::out_of_range("RemoveTask: task index " + std::to_string(index) +
                                    " is out of range (" + std::to_string(tasks_.size()) +
                                    " tasks)");
        }
        removed.push_back(std::move(tasks_[index]));
        tasks_.erase(tasks_.begin() + index);
    }
    Release(std::move(removed));
}

void ConverterBase::ClearTasks() {
    if (working_.load() && !allDone_.load()) {
        throw ConverterBusyError("Cannot ClearTasks while working.");
    }
    std::vector<TaskPointer> removed;
    {
        std::scoped_lock lock(listMutex_);
        removed.swap(tasks_);
    }
    SetLastErrMsg({});
    {
        std::scoped_lock lock(terminateLock_);
        finishedCount_.store(0);
        nextTask_.store(-1);
        remaining_.store(0);
        allDone_.store(false);
        threaded_.store(false);
        working_.store(false);
    }
    Release(std::move(removed));
    ReleaseRetiredTasks();
}

}  // namespace quillo::converter
