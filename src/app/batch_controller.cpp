// Batch start: the checked rows of the job list become converter tasks.

#include "app/batch_controller.h"

#include <algorithm>
#include <utility>

#include "app/conversion_hook.h"
#include "app/job_list.h"
#include "converter/converter.h"
#include "profiles/ini_file.h"
#include "profiles/option_builder.h"
#include "profiles/profile_catalogue.h"
#include "profiles/settings_keys.h"

namespace quillo::app {

namespace {

profiles::SourceFacts FactsOf(media::MediaProbe& probe) {
    profiles::SourceFacts facts;
    facts.VideoStreamCount = std::max(probe.VideoStreamCount(), 0);
    if (facts.VideoStreamCount > 0) {
        const media::VideoStreamInfo video = probe.GetVideoInfo(probe.FirstVideoStream());
        facts.Width = video.Width;
        facts.Height = video.Height;
        facts.VideoBitRate = video.BitRate;
    }
    if (probe.AudioStreamCount() > 0) {
        const media::AudioStreamInfo audio = probe.GetAudioInfo(probe.FirstAudioStream());
        facts.AudioSampleRate = audio.SampleRate;
        facts.AudioBitRate = audio.BitRate;
    }
    return facts;
}

bool HasCrop(const JobRecord& job) {
    return job.CropTop > 0 || job.CropBottom > 0 || job.CropLeft > 0 || job.CropRight > 0;
}

}  // namespace

std::optional<converter::ThreadPriority> ConversionPriority(int setting) {
    switch (setting) {
        case 0:
            return converter::ThreadPriority::tpIdle;
        case 1:
            return converter::ThreadPriority::tpNormal;
        case 2:
            return converter::ThreadPriority::tpLower;
        case 3:
            return converter::ThreadPriority::tpLowest;
        default:
            return std::nullopt;
    }
}

BatchController::BatchController(converter::Converter& converter, JobList& jobs,
                                 profiles::ProfileFiles files, profiles::Prompter& prompter,
                                 SystemServices& system)
    : converter_(converter),
      jobs_(jobs),
      files_(std::move(files)),
      prompter_(prompter),
      system_(system) {
    AttachEvents();
}

BatchController::~BatchController() {
    *alive_ = false;
    DetachEvents();
    converter_.Stop(true);
}

int BatchController::RowOfTask(int task) const {
    return task >= 0 && task < static_cast<int>(batchIndex_.size()) ? batchIndex_[task] : -1;
}

const JobRecord* BatchController::TaskRecord(int task) const {
    return task >= 0 && task < static_cast<int>(records_.size()) ? &records_[task] : nullptr;
}

BatchStartResult BatchController::Start(const BatchStartOptions& options) {
    if (running_) {
        throw converter::ConverterBusyError("Cannot start a batch while converting.");
    }
    const profiles::IniFile settings(files_.Settings);
    if (const auto priority = ConversionPriority(
            settings.ReadInteger(profiles::settings::Section, profiles::settings::Priority,
                                 profiles::settings::PriorityDefault))) {
        converter_.SetThreadPriority(*priority);
    }
    BatchStartResult result;
    const int checked = jobs_.CheckedCount();
    if (checked == 0) {
        prompter_.Warn("Warning", "Please select a file by clicking the check box!");
        return result;
    }

    bool hooked = false;
    for (int row = 0; row < jobs_.RowCount(); ++row) {
        hooked = hooked || (jobs_.Row(row).Checked && jobs_.Record(row).NeedsFrameHook());
    }
    if (hooked && !hook_) {
        // Made here, on the main thread and before anything is queued, since text watermarks
        // need the GUI application, which may fail to come up.
        hook_ = std::make_unique<ConversionFrameHook>([this](int task) -> const JobRecord* {
            return task >= 0 && task < static_cast<int>(records_.size()) ? &records_[task]
                                                                         : nullptr;
        });
    }
    if (hook_) {
        hook_->Reset();
    }

    batchIndex_.clear();
    batchIndex_.reserve(static_cast<std::size_t>(checked));
    records_.clear();
    records_.reserve(static_cast<std::size_t>(checked));
    converter_.ClearTasks();
    converter_.SetPreview(true);
    const int code = profiles::CurrentFormatCode(files_);
    const std::string extension = "." + profiles::CurrentExtension(files_);
    const std::string zoom = profiles::CurrentZoom(files_);
    // No output exists before its task runs: the book keeps two jobs of one batch from
    // being given the same name.
    profiles::OutputNameBook names;
    try {
        for (int row = 0; row < jobs_.RowCount(); ++row) {
            if (!jobs_.Row(row).Checked) {
                continue;
            }
            if (auto reason = QueueJob(row, code, extension, zoom, names)) {
                result.Skipped.push_back({row, std::move(*reason)});
            }
        }
    } catch (...) {
        converter_.Probe().CloseFile();
        converter_.ClearTasks();
        batchIndex_.clear();
        records_.clear();
        throw;
    }

    result.Started = true;
    result.Tasks = static_cast<int>(batchIndex_.size());
    running_ = true;
    cancelled_ = false;
    lastJobFinished_ = false;
    finished_ = 0;
    openOutputFolder_ = options.OpenOutputFolder;
    fields_ = {};
    percent_ = 0;
    // The last batch's picture is no snapshot of this one.
    previewBitmap_.SetSize(0, 0);
    if (observer_ != nullptr) {
        observer_->BatchStarted(result.Tasks);
    }
    ChangeButtons({.ListCommands = false, .Pause = true, .Resume = false});
    converter_.StartTask(std::max(options.TasksAtOnce, 1));
    return result;
}

std::optional<std::string> BatchController::QueueJob(int row, int code,
                                                     const std::string& extension,
                                                     const std::string& zoom,
                                                     profiles::OutputNameBook& names) {
    const std::string source = jobs_.Row(row).Caption();
    converter::InputOptions input;
    converter::InitInputOptions(input);
    input.FileName = source;

    media::MediaProbe& probe = converter_.Probe();
    if (!probe.LoadFile(source)) {
        // Nothing to read the source with: the converter would refuse it as well.
        return probe.LastErrorMessage();
    }
    input.FileFormat = probe.FormatName();

    JobRecord job = jobs_.Record(row);
    input.StartTime = job.StartTime;
    const std::filesystem::path output =
        profiles::MakeOutputFileName(files_, probe.FileName(), extension, prompter_, &names);
    job.ZoomMode = zoom;
    jobs_.SetRecord(row, job);
    // The task's own copy names the file it writes; the row keeps the name it has shown.
    job.OutputFile = output;

    converter::OutputOptions outputOptions;
    converter::InitOutputOptions(outputOptions);
    outputOptions.FileName = output;
    if (HasCrop(job)) {
        outputOptions.CropTop = job.CropTop;
        outputOptions.CropBottom = job.CropBottom;
        outputOptions.CropLeft = job.CropLeft;
        outputOptions.CropRight = job.CropRight;
    }
    if (job.TrimDuration > 0) {
        outputOptions.Duration = job.TrimDuration;
    }
    profiles::BuildProfileOptions(files_, code, job.Framing(), FactsOf(probe), outputOptions, input,
                                  prompter_);

    const int task = converter_.AddTask(source, &input);
    if (task < 0) {
        probe.CloseFile();
        return converter_.LastErrMsg();
    }
    outputOptions.CustomHook = job.NeedsFrameHook();
    if (!converter_.SetOutputFile(task, output, &outputOptions)) {
        // A task without its output would only fail when it runs.
        std::string reason = converter_.LastErrMsg();
        converter_.RemoveTask(task);
        probe.CloseFile();
        return reason;
    }
    probe.CloseFile();
    batchIndex_.push_back(row);
    records_.push_back(std::move(job));
    return std::nullopt;
}

}  // namespace quillo::app
