// Batch run: the converter's events, pause, resume and cancel, and the end of a batch.

#include <string>

#include "app/batch_controller.h"
#include "app/conversion_hook.h"
#include "app/job_list.h"
#include "app/system_services.h"
#include "converter/converter.h"
#include "media/main_thread.h"
#include "profiles/ini_file.h"
#include "profiles/output_naming.h"
#include "profiles/settings_keys.h"

namespace quillo::app {

void BatchController::AttachEvents() {
    // The progress and preview handlers must run on the main thread, where the job list
    // lives; the termination handler passes its work there itself.
    converter_.SetTriggerEventInMainThread(true);
    converter_.SetPreviewBitmap(true);
    const std::shared_ptr<bool> alive = alive_;
    converter_.OnProgress = [this, alive](converter::ConverterBase&,
                                          converter::ProgressInfo* info) {
        if (*alive && info != nullptr) {
            HandleProgress(*info);
        }
    };
    converter_.OnPreviewBitmap = [this, alive](converter::ConverterBase&,
                                               const converter::PreviewInfo& info) {
        if (*alive) {
            HandlePreview(info);
        }
    };
    // Raised on a thread of the converter's own, which waits here until the main thread has
    // done the work.
    converter_.OnTerminate = [this, alive](converter::ConverterBase&,
                                           const converter::TerminateInfo& info) {
        media::CallInMainThread([this, alive, &info] {
            if (*alive) {
                HandleTerminate(info);
            }
        });
    };
    // On the workers; the destructor stops them before the hook goes.
    converter_.OnCustomHook = [this](converter::ConverterBase&, converter::HookInfo* info) {
        if (hook_ && info != nullptr) {
            hook_->Apply(*info);
        }
    };
}

void BatchController::DetachEvents() {
    converter_.OnProgress = nullptr;
    converter_.OnPreviewBitmap = nullptr;
    converter_.OnTerminate = nullptr;
    converter_.OnCustomHook = nullptr;
}

void BatchController::HandleProgress(const converter::ProgressInfo& info) {
    const int row = RowOfTask(info.TaskIndex);
    if (!running_ || row < 0 || row >= jobs_.RowCount()) {
        return;
    }
    const std::optional<int> percent = ProgressPercent(info.CurrentDuration, info.TotalDuration);
    if (percent) {
        percent_ = *percent;
        jobs_.SetText(row, JobColumn::Progress, PercentText(*percent));
    }
    fields_ = MakeProgressFields(info, converter_.TasksCount(), jobs_.Row(row).Caption());
    if (observer_ != nullptr) {
        observer_->ProgressChanged(info.TaskIndex, row, fields_, percent);
        observer_->ProgressReported(info.TaskIndex, row, info);
    }
}

void BatchController::HandlePreview(const converter::PreviewInfo& info) {
    if (info.Bitmap != nullptr) {
        previewBitmap_ = *info.Bitmap;
    }
}

void BatchController::HandleTerminate(const converter::TerminateInfo& info) {
    if (!running_) {
        return;
    }
    if (info.TaskIndex < 0) {
        EndBatch();
        return;
    }
    const int row = RowOfTask(info.TaskIndex);
    if (info.Finished) {
        ++finished_;
        percent_ = 100;
        if (row >= 0 && row < jobs_.RowCount()) {
            jobs_.SetText(row, JobColumn::Progress, PercentText(100));
        }
        // Skipped jobs have no task, so the last job is the batch's last task.
        lastJobFinished_ =
            lastJobFinished_ || info.TaskIndex + 1 == static_cast<int>(batchIndex_.size());
    }
    if (observer_ != nullptr) {
        observer_->JobEnded(info.TaskIndex, row, info.Finished, info.ExceptionMsg);
    }
}

void BatchController::EndBatch() {
    BatchSummary summary;
    summary.Tasks = static_cast<int>(batchIndex_.size());
    summary.Finished = finished_;
    summary.Cancelled = cancelled_;
    // With several tasks at once the last job may end before others, so the actions wait
    // for the end of the whole batch.
    if (lastJobFinished_ && !cancelled_) {
        if (openOutputFolder_) {
            const std::string folder =
                profiles::IniFile(files_.Settings)
                    .ReadString(profiles::settings::Section, profiles::settings::OutputFolder,
                                profiles::DefaultOutputFolder().string());
            if (folder.size() > 2) {
                system_.OpenFolder(folder);
                summary.FolderOpened = true;
            }
        }
        if (powerOff_) {
            system_.PowerOff();
            summary.PowerOffRequested = true;
        }
    }
    ChangeButtons({.ListCommands = true, .Pause = false, .Resume = false});
    converter_.ClearTasks();
    running_ = false;
    media::NotifyMainThread();
    if (observer_ != nullptr) {
        observer_->BatchEnded(summary);
    }
}

void BatchController::ChangeButtons(BatchButtons buttons) {
    buttons_ = buttons;
    if (observer_ != nullptr) {
        observer_->ButtonsChanged(buttons_);
    }
}

void BatchController::Pause() {
    if (!running_) {
        return;
    }
    converter_.Pause();
    ChangeButtons({.ListCommands = false, .Pause = false, .Resume = true});
}

void BatchController::Resume() {
    if (!running_) {
        return;
    }
    converter_.Resume();
    ChangeButtons({.ListCommands = false, .Pause = true, .Resume = false});
}

void BatchController::Cancel() {
    if (!running_) {
        return;
    }
    cancelled_ = true;
    // Waiting runs queued main-thread calls, so the ends of the tasks, and of the batch,
    // may be handled before this returns.
    converter_.Stop(true);
}

void BatchController::WaitUntilEnded() {
    media::PumpMessagesUntil([this] { return !running_; });
}

}  // namespace quillo::app
