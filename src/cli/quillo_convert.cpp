// quillo-convert: the batch converter without windows, on the same job list, batch core and
// settings files as the desktop program.

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/batch_controller.h"
#include "app/global_object.h"
#include "app/job_list.h"
#include "app/startup_folders.h"
#include "app/system_services.h"
#include "cli/batch_progress_printer.h"
#include "cli/convert_arguments.h"
#include "cli/terminal_prompter.h"
#include "converter/converter.h"
#include "effects/bmp_file.h"
#include "effects/gui_application.h"
#include "effects/text_watermark.h"
#include "effects/watermark_picture.h"
#include "media/logger.h"
#include "media/main_thread.h"
#include "media/media_error.h"
#include "profiles/ini_file.h"
#include "profiles/output_naming.h"
#include "profiles/profile_catalogue.h"
#include "profiles/settings_keys.h"

namespace {

namespace fs = std::filesystem;
using namespace quillo;

constexpr int ExitConverted = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

int UsageError(const std::string& message) {
    std::fprintf(stderr, "quillo-convert: %s\nTry quillo-convert --help.\n", message.c_str());
    return ExitUsage;
}

void ListProfiles(const profiles::ProfileFiles& files) {
    const int current = profiles::CurrentFormatCode(files);
    const profiles::IniFile catalogue(files.Catalogue);
    for (const int code : profiles::CatalogueCodes()) {
        if (!catalogue.SectionExists(profiles::FormatSection(code))) {
            continue;
        }
        // Code 1 is the profile a first run starts with; it stands in no group.
        const bool firstRun = code == profiles::DefaultFormatCode;
        const int group = code / 100;
        std::printf("%c %5d  %-26s %s\n", code == current ? '*' : ' ', code,
                    firstRun ? "-" : profiles::GroupText(group).c_str(),
                    firstRun ? profiles::DefaultFormatName
                             : profiles::ProfileText(group, code % 100).c_str());
    }
}

// As a click on the profile's line would store it.
bool StoreProfile(const profiles::ProfileFiles& files, int code) {
    const auto codes = profiles::CatalogueCodes();
    if (std::find(codes.begin(), codes.end(), code) == codes.end() ||
        !profiles::IniFile(files.Catalogue).SectionExists(profiles::FormatSection(code))) {
        std::fprintf(stderr,
                     "quillo-convert: the profile catalogue %s has no profile with code %d "
                     "(see --list-profiles)\n",
                     files.Catalogue.c_str(), code);
        return false;
    }
    profiles::StoreCurrentProfile(files, code, profiles::ProfileText(code / 100, code % 100));
    return true;
}

// As choosing the folder with Browse would store it; false for a name that is no folder.
bool StoreOutputFolder(const profiles::ProfileFiles& files, const fs::path& given,
                       profiles::Prompter& prompter) {
    std::error_code error;
    const fs::path folder = fs::absolute(given, error).lexically_normal();
    if (error || folder.string().size() < 4) {
        prompter.Warn("Warning", "The path " + given.string() + " is not a valid directory.");
        return false;
    }
    if (fs::exists(folder, error) && !fs::is_directory(folder, error)) {
        prompter.Warn("Warning", "The path " + folder.string() + " is not a valid directory.");
        return false;
    }
    fs::create_directories(folder, error);  // a folder that cannot be made fails the test below
    fs::path stored = folder;
    if (!app::GlobalObject::IsFolderWritable(folder)) {
        prompter.Warn("Warning",
                      "You login as " + app::GlobalObject::UserName() +
                          " .You don't have permission to write to directory:" + folder.string());
        stored = profiles::DefaultOutputFolder();
    }
    profiles::IniFile(files.Settings)
        .WriteString(profiles::settings::Section, profiles::settings::OutputFolder,
                     stored.string());
    return true;
}

// The edits the command line asks for, as the editing windows would write them.
struct JobEdits {
    const cli::ConvertArguments& arguments;
    std::optional<app::WmRec> text;
    std::optional<app::WmRec> image;
};

// False (after saying why) when the edits cannot apply to this job.
bool ApplyEdits(app::JobList& jobs, int row, const JobEdits& edits) {
    const cli::ConvertArguments& a = edits.arguments;
    app::JobRecord record = jobs.Record(row);
    if (a.trim) {
        const auto [start, length] = *a.trim;
        if (record.Duration > 0 && start >= record.Duration + 1) {
            std::fprintf(stderr,
                         "quillo-convert: %s: --trim starts at %g s, after its end (%d s)\n",
                         record.SourceFile.c_str(), start, record.Duration);
            return false;
        }
        record.StartTime = static_cast<std::int64_t>(start * 1e6);
        record.TrimDuration = static_cast<std::int64_t>(length * 1e6);
        jobs.SetText(row, app::JobColumn::TrimmedLength,
                     std::to_string(record.TrimDuration / 1'000'000));
    }
    if (a.crop) {
        // The editor stores even source pixels: 4:2:0 pictures cannot be cut at odd lines.
        const auto& [top, bottom, left, right] = *a.crop;
        record.CropTop = record.CropEditTop = top & ~1;
        record.CropBottom = record.CropEditBottom = bottom & ~1;
        record.CropLeft = record.CropEditLeft = left & ~1;
        record.CropRight = record.CropEditRight = right & ~1;
    }
    record.Brightness = a.brightness.value_or(record.Brightness);
    record.Contrast = a.contrast.value_or(record.Contrast);
    record.Saturation = a.saturation.value_or(record.Saturation);
    record.Exposure = a.exposure.value_or(record.Exposure);
    std::vector<app::WmRec> items;
    for (const auto* item : {&edits.image, &edits.text}) {
        if (*item) {
            app::WmRec placed = **item;
            placed.EndSec = std::max(record.Duration, 0);
            items.push_back(std::move(placed));
        }
    }
    if (!items.empty()) {
        record.ReplaceWatermarks(std::move(items));
    }
    jobs.SetRecord(row, std::move(record));
    return true;
}

// The watermark items of the command line; false (after saying why) when one cannot be made.
bool MakeWatermarks(JobEdits& edits) {
    const cli::ConvertArguments& a = edits.arguments;
    int textTop = 16;
    if (a.watermarkImage) {
        try {
            const media::Bitmap picture =
                effects::DecodeWatermarkPicture(effects::ReadPictureFile(*a.watermarkImage),
                                                *a.watermarkImage)
                    .Pixels;
            app::WmRec image;
            image.Kind = app::WmRec::ImageKind;
            image.ImageFile = fs::absolute(*a.watermarkImage);
            image.ImageLeft = 16;
            image.ImageTop = 16;
            image.ImageWidth = picture.Width();
            image.ImageHeight = picture.Height();
            edits.image = image;
            textTop += picture.Height() + 8;
        } catch (const media::MediaError& error) {
            std::fprintf(stderr, "quillo-convert: --watermark-image: %s\n", error.what());
            return false;
        }
    }
    if (a.watermarkText) {
        try {
            effects::EnsureGuiApplication();
            app::WmRec text;
            text.Kind = app::WmRec::TextKind;
            text.Text = *a.watermarkText;
            text.Font.Size = 26;
            text.Font.Color = 0xFFFFFF;
            const effects::TextSize size = effects::MeasureText(text.Text, text.Font);
            text.TextLeft = 16;
            text.TextTop = textTop;
            text.TextWidth = size.Width;
            text.TextHeight = size.Height;
            edits.text = text;
        } catch (const media::MediaError& error) {
            std::fprintf(stderr, "quillo-convert: --watermark-text: %s\n", error.what());
            return false;
        }
    }
    return true;
}

std::string OutputFolderOf(const profiles::ProfileFiles& files) {
    return profiles::IniFile(files.Settings)
        .ReadString(profiles::settings::Section, profiles::settings::OutputFolder,
                    profiles::DefaultOutputFolder().string());
}

const char* SkipText(app::SkipReason reason) {
    switch (reason) {
        case app::SkipReason::Folder:
            return "is a folder";
        case app::SkipReason::Duplicate:
            return "is given more than once; converted once";
        case app::SkipReason::Unreadable:
            break;
    }
    return "cannot be read as a media file";
}

// Ctrl-C (or a termination request) asks the batch to stop, on the main thread; a second one
// ends the process at once. Signals are taken by a thread of their own, as a handler could
// not safely reach the main thread.
class InterruptWatcher {
public:
    explicit InterruptWatcher(app::BatchController& batch) : batch_(batch) {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
        thread_ = std::thread([this] { Watch(); });
    }
    ~InterruptWatcher() {
        pthread_kill(thread_.native_handle(), SIGTERM);
        thread_.join();
    }
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

    void Stopping() { stopping_ = true; }

private:
    void Watch() {
        for (int count = 0;; ++count) {
            int signal = 0;
            if (sigwait(&signals_, &signal) != 0 || stopping_) {
                return;
            }
            if (count > 0) {
                static const char text[] = "\nquillo-convert: ended at once\n";
                (void)!write(STDERR_FILENO, text, sizeof text - 1);
                _exit(130);
            }
            media::PostToMainThread([this] {
                std::fputs(
                    "\nquillo-convert: stopping; the outputs being written are finished "
                    "up to here (Ctrl-C again ends at once)\n",
                    stderr);
                if (batch_.Running()) {
                    batch_.Cancel();
                }
            });
            media::NotifyMainThread();
        }
    }

    app::BatchController& batch_;
    sigset_t signals_{};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

int Run(const cli::ConvertArguments& a) {
    cli::TerminalPrompter prompter;
    app::GlobalObject global;
    global.PrepareConfigFolder();
    const profiles::ProfileFiles files = global.Files();
    if (a.listProfiles) {
        ListProfiles(files);
        return ExitConverted;
    }
    if (a.profile && !StoreProfile(files, *a.profile)) {
        return ExitUsage;
    }
    app::CheckOutputFolder(files);
    if (a.outputFolder && !StoreOutputFolder(files, *a.outputFolder, prompter)) {
        return ExitUsage;
    }
    JobEdits edits{a, std::nullopt, std::nullopt};
    if (!MakeWatermarks(edits)) {
        return ExitUsage;
    }

    media::LoggerInstance().SetOnLog([verbose = a.verbose](const media::MediaComponent*,
                                                           std::uint32_t, media::LogLevel,
                                                           const std::string& text) {
        if (verbose) {
            std::fprintf(stderr, "%s%s", text.c_str(),
                         !text.empty() && text.back() == '\n' ? "" : "\n");
        }
    });

    converter::Converter converter;
    app::JobList jobs(converter, files, prompter);
    int failed = 0;
    std::vector<fs::path> existing;
    for (const fs::path& file : a.files) {
        std::error_code error;
        if (!fs::exists(file, error)) {
            std::fprintf(stderr, "quillo-convert: %s: No such file\n", file.c_str());
            ++failed;
        } else {
            existing.push_back(fs::absolute(file, error).lexically_normal());
        }
    }
    const app::AddFilesResult added = jobs.AddFiles(existing);
    if (!added.LibrariesLoaded) {
        std::fprintf(stderr, "quillo-convert: the media libraries could not be loaded: %s\n",
                     added.LibraryError.c_str());
        return ExitFailed;
    }
    for (const app::SkippedFile& skipped : added.Skipped) {
        std::fprintf(stderr, "quillo-convert: %s %s\n", skipped.Path.c_str(),
                     SkipText(skipped.Reason));
        failed += skipped.Reason == app::SkipReason::Duplicate ? 0 : 1;
    }
    for (int row = 0; row < jobs.RowCount(); ++row) {
        if (!ApplyEdits(jobs, row, edits)) {
            jobs.SetChecked(row, false);
            ++failed;
        }
    }
    if (jobs.CheckedCount() == 0) {
        std::fprintf(stderr, "quillo-convert: nothing to convert\n");
        return ExitFailed;
    }

    app::DesktopSystemServices system;
    app::BatchController batch(converter, jobs, files, prompter, system);
    batch.SetOpenOutputFolder(false);
    cli::BatchProgressPrinter printer(jobs, batch, stdout, isatty(STDOUT_FILENO) != 0);
    batch.SetObserver(&printer);
    InterruptWatcher interrupts(batch);
    const app::BatchStartResult start =
        batch.Start({.TasksAtOnce = a.jobs, .OpenOutputFolder = false});
    for (const app::SkippedJob& skipped : start.Skipped) {
        std::fprintf(stderr, "quillo-convert: %s: %s\n", jobs.Row(skipped.Row).Caption().c_str(),
                     skipped.Reason.c_str());
        ++failed;
    }
    if (start.Started && start.Tasks > 0) {
        std::printf("converting %d file%s into %s\n", start.Tasks, start.Tasks == 1 ? "" : "s",
                    OutputFolderOf(files).c_str());
        std::fflush(stdout);
        batch.WaitUntilEnded();
    }
    interrupts.Stopping();
    batch.SetObserver(nullptr);
    failed += printer.Failed();

    const std::string folder = OutputFolderOf(files);
    std::printf("%d converted, %d failed%s; output folder: %s\n", printer.Converted(), failed,
                printer.Cancelled() ? " (stopped)" : "", folder.c_str());
    return failed == 0 && !printer.Cancelled() ? ExitConverted : ExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    const cli::ParsedArguments parsed =
        cli::ParseConvertArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.arguments.help) {
        std::fputs(cli::ConvertUsage, stdout);
        return ExitConverted;
    }
    if (!parsed.error.empty()) {
        return UsageError(parsed.error);
    }
    // A full file-size limit gives a write error, not a killed process.
    signal(SIGXFSZ, SIG_IGN);
    try {
        return Run(parsed.arguments);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quillo-convert: %s\n", error.what());
        return ExitFailed;
    }
}
