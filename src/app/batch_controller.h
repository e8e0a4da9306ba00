#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/job_record.h"
#include "app/progress_text.h"
#include "converter/conversion_events.h"
#include "converter/thread_priority.h"
#include "media/bitmap.h"
#include "profiles/output_naming.h"
#include "profiles/profile_files.h"
#include "profiles/prompter.h"

namespace quillo::converter {
class Converter;
}

namespace quillo::app {

class ConversionFrameHook;
class JobList;
class SystemServices;

// The worker priority for the "priority" setting: 0 idle, 1 normal, 2 lower, 3 lowest;
// nullopt for any other value, which leaves the converter's priority as it is.
std::optional<converter::ThreadPriority> ConversionPriority(int setting);

// Which of the commands a batch governs are enabled.
struct BatchButtons {
    bool ListCommands = true;  // Add, Remove, Clear and Start
    bool Pause = false;
    bool Resume = false;

    bool operator==(const BatchButtons&) const = default;
};

struct SkippedJob {
    int Row = -1;
    std::string Reason;  // the probe's or the converter's error text
};

struct BatchStartResult {
    // False when no row is checked: the warning was shown and nothing else happened.
    bool Started = false;
    int Tasks = 0;
    // Checked rows left out: a source that cannot be opened, or a task the converter refused.
    std::vector<SkippedJob> Skipped;
};

struct BatchStartOptions {
    int TasksAtOnce = 1;  // values below 1 count as 1
    // "Open the output folder after conversion", checked again at every start.
    bool OpenOutputFolder = true;
};

struct BatchSummary {
    int Tasks = 0;
    int Finished = 0;  // tasks that ran to their end
    bool Cancelled = false;
    bool FolderOpened = false;       // the output folder was handed to OpenFolder
    bool PowerOffRequested = false;  // PowerOff was called
};

// Told about a batch, always on the main thread, after the controller's own state and the job
// list (the rows' "Progress" texts) have changed.
class BatchObserver {
public:
    virtual ~BatchObserver() = default;

    // The progress window opens: its fields are empty and its bar is at 0.
    virtual void BatchStarted(int /*tasks*/) {}
    // A progress report of task for row: the fields and, when the length is known, the
    // percentage of the bar.
    virtual void ProgressChanged(int /*task*/, int /*row*/, const ProgressFields& /*fields*/,
                                 std::optional<int> /*percent*/) {}
    // Right after ProgressChanged: the converter's own figures of the report (speed, size),
    // for front ends that show more than the progress window.
    virtual void ProgressReported(int /*task*/, int /*row*/,
                                  const converter::ProgressInfo& /*info*/) {}
    virtual void ButtonsChanged(const BatchButtons& /*buttons*/) {}
    // A task ended; finished ones show "100%" and put the bar at 100. error is the
    // converter's text for a task that failed, empty otherwise.
    virtual void JobEnded(int /*task*/, int /*row*/, bool /*finished*/,
                          const std::string& /*error*/) {}
    // The batch is over (every task ended, or it was cancelled): the progress window closes.
    virtual void BatchEnded(const BatchSummary& /*summary*/) {}
};

// Runs the checked rows of a job list as one batch on the converter: queues a task per job,
// starts them, follows their progress and ends, and carries out the actions after the last
// job (opening the output folder, powering off). Without any window: the front ends show what
// the observer hears and call Pause, Resume and Cancel.
//
// The actions come once the whole batch has ended, and only when its last task ran to its
// end and the batch was not cancelled. The output folder is the stored "OutPutDir".
//
// Used on the main thread, which must keep running queued main-thread calls while a batch
// runs (a GUI's event loop, or WaitUntilEnded). The converter's events are the controller's
// from its construction to its destruction; the converter, the job list, the prompter and
// the system services must outlive it. The rows must not be added or removed while a batch
// runs (the job list refuses it); each job's conversion reads a copy of its record made at
// the start.
class BatchController {
public:
    BatchController(converter::Converter& converter, JobList& jobs, profiles::ProfileFiles files,
                    profiles::Prompter& prompter, SystemServices& system);
    // Detaches from the converter's events and stops a running batch, waiting for it.
    ~BatchController();
    BatchController(const BatchController&) = delete;
    BatchController& operator=(const BatchController&) = delete;

    // Queues every checked row, in list order, with the current profile, and starts the
    // converter with up to TasksAtOnce tasks at a time. Errors of the option builder and of
    // the naming rule (MediaError) end the start before anything runs. Front ends stop their
    // preview player first. Throws converter::ConverterBusyError while a batch runs.
    BatchStartResult Start(const BatchStartOptions& options = {});
    void Pause();
    void Resume();
    // Stops every task, waiting for them; the batch then ends with no end-of-batch action,
    // possibly before Cancel returns. Like every call here, only on the main thread.
    void Cancel();

    bool Running() const { return running_; }
    // Runs queued main-thread calls until the batch has ended; for front ends without an
    // event loop of their own.
    void WaitUntilEnded();

    // Changeable while a batch runs.
    void SetOpenOutputFolder(bool open) { openOutputFolder_ = open; }
    bool OpenOutputFolder() const { return openOutputFolder_; }
    // "Shut down computer after conversion"; kept from batch to batch.
    void SetPowerOffWhenDone(bool powerOff) { powerOff_ = powerOff; }
    bool PowerOffWhenDone() const { return powerOff_; }

    // Entry k is the job-list row of task k.
    const std::vector<int>& BatchIndexList() const { return batchIndex_; }
    // -1 for a task index the batch does not have.
    int RowOfTask(int task) const;
    // The record task k converts with, its OutputFile the file it writes; null for a task
    // index the batch does not have.
    const JobRecord* TaskRecord(int task) const;

    // What the progress window shows.
    const ProgressFields& Fields() const { return fields_; }
    int Percent() const { return percent_; }
    const BatchButtons& Buttons() const { return buttons_; }
    // The latest picture the converter handed over in this batch; empty (0 x 0) before its
    // first.
    const media::Bitmap& PreviewBitmap() const { return previewBitmap_; }

    // One observer at a time; nullptr detaches it.
    void SetObserver(BatchObserver* observer) { observer_ = observer; }

private:
    // Queues one row; the reason when it is left out.
    std::optional<std::string> QueueJob(int row, int code, const std::string& extension,
                                        const std::string& zoom, profiles::OutputNameBook& names);
    void AttachEvents();
    void DetachEvents();
    void HandleProgress(const converter::ProgressInfo& info);
    void HandleTerminate(const converter::TerminateInfo& info);
    void HandlePreview(const converter::PreviewInfo& info);
    void EndBatch();
    void ChangeButtons(BatchButtons buttons);

    converter::Converter& converter_;
    JobList& jobs_;
    profiles::ProfileFiles files_;
    profiles::Prompter& prompter_;
    SystemServices& system_;
    BatchObserver* observer_ = nullptr;
    // Checked on the main thread by handlers that may run after the controller is gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    std::unique_ptr<ConversionFrameHook> hook_;  // made by the first batch that needs it
    std::vector<int> batchIndex_;
    std::vector<JobRecord> records_;  // one per task, read by the frame hook on workers

    bool running_ = false;
    bool cancelled_ = false;
    bool lastJobFinished_ = false;
    int finished_ = 0;
    bool openOutputFolder_ = true;
    bool powerOff_ = false;

    ProgressFields fields_;
    int percent_ = 0;
    BatchButtons buttons_;
    media::Bitmap previewBitmap_;
};

}  // namespace quillo::app
