// Running a task: on the caller's thread or a worker thread, with stop, pause and the end
// of the task reported to whoever started it.

#include <exception>

#include "converter/transcode_session.h"
#include "converter/transcoder.h"
#include "media/logger.h"
#include "media/main_thread.h"

namespace quillo::converter {

std::string Transcoder::ErrorText() const {
    std::scoped_lock lock(stateMutex_);
    return errorText_;
}

void Transcoder::RecordError(const std::string& message) {
    Log(media::LogLevel::llQuiet, message);
    failed_.store(true);
    std::scoped_lock lock(stateMutex_);
    errorText_ = message;
}

bool Transcoder::StartConvert(bool inThread, ThreadPriority priority) {
    if (running_.load() || ended_.load()) {
        return false;
    }
    if (outputs_.empty() || inputs_.empty()) {
        const char* message = outputs_.empty() ? "At least one output file must be specified"
                                               : "At least one input file must be specified";
        CloseFiles();
        RecordError(message);
        EndOfTask();
        return false;
    }
    stopRequested_.store(false);
    finished_.store(false);
    running_.store(true);
    if (!inThread) {
        TaskBody();
        return true;
    }
    {
        std::scoped_lock lock(stateMutex_);
        workerActive_ = true;
    }
    worker_ = std::thread([this, priority] {
        ApplyThreadPriority(priority);
        TaskBody();
        {
            std::scoped_lock lock(stateMutex_);
            workerActive_ = false;
        }
        stateChanged_.notify_all();
        media::NotifyMainThread();
    });
    return true;
}

void Transcoder::TaskBody() {
    finished_.store(false);
    try {
        TranscodeSession session(*this);
        try {
            session.Run();
            finished_.store(!stopRequested_.load());
            if (stopRequested_.load()) {
                session.DropEmptyOutputs();
            }
        } catch (const std::exception& error) {
            RecordError(error.what());
        }
        try {
            session.CloseCodecs();
        } catch (const std::exception& error) {
            RecordError(error.what());
        }
    } catch (const std::exception& error) {
        RecordError(error.what());
    }
    ClosePreviewWindow();  // a window lives as long as its task runs
    try {
        if (failed_.load()) {
            // What a failed task wrote is not a result; it goes with the files.
            for (auto& output : outputFiles_) {
                output->removeWhenClosed = true;
            }
        }
        CloseFiles();
    } catch (const std::exception& error) {
        RecordError(error.what());
    }
    try {
        EndOfTask();
    } catch (const std::exception& error) {
        RecordError(error.what());
    }
}

void Transcoder::EndOfTask() {
    running_.store(false);
    ended_.store(true);
    if (onTerminate_) {
        onTerminate_(*this);
    }
}

void Transcoder::StopConvert(bool wait) {
    if (running_.load()) {
        stopRequested_.store(true);
        Resume();
        if (wait) {
            WaitForWorker();
        }
        return;
    }
    if (ended_.load()) {
        return;
    }
    // Never started: it ends unfinished, reported from a thread of its own as a run would be.
    {
        std::scoped_lock lock(stateMutex_);
        if (terminatorActive_ && !wait) {
            return;
        }
    }
    WaitForTerminator();  // an ending already under way finishes first
    if (ended_.load()) {
        return;
    }
    {
        std::scoped_lock lock(stateMutex_);
        terminatorActive_ = true;
    }
    terminator_ = std::thread([this] {
        EndOfTask();
        {
            std::scoped_lock lock(stateMutex_);
            terminatorActive_ = false;
        }
        stateChanged_.notify_all();
        media::NotifyMainThread();
    });
    if (wait) {
        WaitForTerminator();
    }
}

void Transcoder::WaitForTerminator() {
    const auto done = [this] {
        std::scoped_lock lock(stateMutex_);
        return !terminatorActive_;
    };
    if (media::IsMainThread()) {
        media::PumpMessagesUntil(done);
    } else {
        std::unique_lock lock(stateMutex_);
        stateChanged_.wait(lock, [this] { return !terminatorActive_; });
    }
    if (terminator_.joinable() && terminator_.get_id() != std::this_thread::get_id()) {
        terminator_.join();
    }
}

void Transcoder::WaitForWorker() {
    const auto done = [this] {
        std::scoped_lock lock(stateMutex_);
        return !workerActive_;
    };
    if (media::IsMainThread()) {
        // The worker may be waiting for a call only the main thread can run.
        media::PumpMessagesUntil(done);
    } else {
        std::unique_lock lock(stateMutex_);
        stateChanged_.wait(lock, [this] { return !workerActive_; });
    }
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) {
        worker_.join();
    }
}

void Transcoder::Pause() {
    if (!worker_.joinable() || !running_.load()) {
        return;
    }
    paused_.store(true);
}

void Transcoder::Resume() {
    {
        std::scoped_lock lock(stateMutex_);
        paused_.store(false);
    }
    stateChanged_.notify_all();
}

void Transcoder::WaitWhilePaused() {
    if (!paused_.load()) {
        return;
    }
    std::unique_lock lock(stateMutex_);
    heldAtPause_.store(true);
    stateChanged_.wait(lock, [this] { return !paused_.load() || stopRequested_.load(); });
    heldAtPause_.store(false);
}

}  // namespace quillo::converter
