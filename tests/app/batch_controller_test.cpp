// Batches on the real converter with short generated clips: queueing the checked rows,
// progress texts, the rows' "Progress", the actions after the last job, cancel, skipped jobs,
// output names across batches, the frame hook, and several tasks at once. Each test waits for
// the end of its batch by running main-thread calls.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/batch_controller.h"
#include "app/job_list.h"
#include "app_test_support.h"
#include "converter/converter.h"
#include "converter/converter_test_support.h"
#include "fixtures/external_commands.h"
#include "fixtures/fixture_path.h"
#include "media/logger.h"
#include "media/media_error.h"
#include "profiles/ini_file.h"
#include "profiles/test_support.h"

namespace quillo::app {
namespace {

namespace fs = std::filesystem;
using converter::testing::PumpUntil;
using quillo::testing::FixturePath;

// The mean grey level of every decoded picture of a file, as ffmpeg decodes it.
double MeanLuma(const fs::path& file) {
    const quillo::testing::CommandResult decoded = quillo::testing::RunCommand(
        std::string(QUILLO_FFMPEG) + " -nostdin -v error -i " + quillo::testing::ShellQuoted(file) +
            " -map 0:v:0 -f rawvideo -pix_fmt gray -",
        false);
    EXPECT_EQ(decoded.exitStatus, 0) << file;
    EXPECT_FALSE(decoded.output.empty()) << file;
    double sum = 0;
    for (const char byte : decoded.output) {
        sum += static_cast<unsigned char>(byte);
    }
    return decoded.output.empty() ? 0.0 : sum / static_cast<double>(decoded.output.size());
}

class BatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        media::LoggerInstance().SetTriggerEventInMainThread(false);
        batch_.SetObserver(&log_);
    }

    void Add(const std::vector<fs::path>& paths) {
        const AddFilesResult added = jobs_.AddFiles(paths);
        ASSERT_EQ(added.Added, static_cast<int>(paths.size())) << added.LibraryError;
    }

    fs::path Copy(const std::string& fixture, const std::string& name) {
        const fs::path target = settings_ / name;
        fs::create_directories(target.parent_path());
        fs::copy_file(FixturePath(fixture), target);
        return target;
    }

    void WaitForEnd() {
        ASSERT_TRUE(PumpUntil([this] { return !batch_.Running(); })) << "the batch did not end";
    }

    BatchStartResult RunBatch(const BatchStartOptions& options = {}) {
        const BatchStartResult result = batch_.Start(options);
        EXPECT_TRUE(result.Started);
        WaitForEnd();
        return result;
    }

    std::string ProgressCell(int row) const { return jobs_.Row(row).Text(JobColumn::Progress); }

    std::set<std::string> Outputs() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(settings_.OutputFolder())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    testing::SettingsFolder settings_;
    quillo::testing::ScriptedPrompter prompter_;  // any question fails the test
    testing::RecordingSystemServices system_;
    converter::Converter converter_;
    JobList jobs_{converter_, settings_.Files(), prompter_};
    BatchController batch_{converter_, jobs_, settings_.Files(), prompter_, system_};
    testing::BatchLog log_;
};

TEST_F(BatchTest, TheCheckedRowsRunInListOrderAndShowTheirProgress) {
    Add({FixturePath("clip.mp4"), FixturePath("clip.avi"), FixturePath("clip.mkv")});
    jobs_.SetChecked(1, false);
    const BatchStartResult result = batch_.Start();
    ASSERT_TRUE(result.Started);
    EXPECT_EQ(result.Tasks, 2);
    EXPECT_TRUE(result.Skipped.empty());
    EXPECT_EQ(converter_.TasksCount(), 2);
    EXPECT_EQ(batch_.BatchIndexList(), (std::vector<int>{0, 2}));
    EXPECT_EQ(batch_.RowOfTask(1), 2);
    EXPECT_EQ(batch_.RowOfTask(2), -1);
    EXPECT_EQ(batch_.Buttons(), (BatchButtons{.ListCommands = false, .Pause = true}));
    WaitForEnd();

    EXPECT_EQ(log_.started, std::vector<int>{2});
    ASSERT_FALSE(log_.progress.empty());
    std::vector<std::string> counters;
    for (const testing::ProgressRecord& record : log_.progress) {
        SCOPED_TRACE(record.task);
        ASSERT_TRUE(record.task == 0 || record.task == 1);
        EXPECT_EQ(record.row, record.task == 0 ? 0 : 2);
        EXPECT_EQ(record.fields.File, ShortenedFileName(jobs_.Row(record.row).Caption()));
        EXPECT_EQ(record.fields.Length, "3 Second");
        EXPECT_TRUE(record.fields.CurrentTime.ends_with(" Second"));
        EXPECT_TRUE(record.fields.FileSize.ends_with(" kb"));
        ASSERT_TRUE(record.percent.has_value());
        if (counters.empty() || counters.back() != record.fields.Counter) {
            counters.push_back(record.fields.Counter);
        }
    }
    // One task at a time: every report of the first before any of the second.
    EXPECT_EQ(counters, (std::vector<std::string>{"[1/2]", "[2/2]"}));
    EXPECT_EQ(ProgressCell(0), "100%");
    EXPECT_EQ(ProgressCell(1), "");
    EXPECT_EQ(ProgressCell(2), "100%");
    ASSERT_EQ(log_.ended.size(), 2u);
    EXPECT_EQ(log_.ended[0].row, 0);
    EXPECT_EQ(log_.ended[1].row, 2);
    EXPECT_TRUE(log_.ended[0].finished && log_.ended[1].finished);
    ASSERT_TRUE(log_.summary.has_value());
    EXPECT_EQ(log_.summary->Tasks, 2);
    EXPECT_EQ(log_.summary->Finished, 2);
    EXPECT_FALSE(log_.summary->Cancelled);
    EXPECT_TRUE(log_.summary->FolderOpened);
    EXPECT_FALSE(log_.summary->PowerOffRequested);
    EXPECT_EQ(system_.openedFolders, std::vector<fs::path>{settings_.OutputFolder()});
    EXPECT_EQ(system_.powerOffs, 0);
    EXPECT_EQ(log_.buttons, (std::vector<BatchButtons>{{.ListCommands = false, .Pause = true},
                                                       {.ListCommands = true}}));
    EXPECT_EQ(batch_.Percent(), 100);
    EXPECT_GT(batch_.PreviewBitmap().Width(), 0);
    EXPECT_EQ(converter_.TasksCount(), 0);

    // Both sources are named clip: the second job of the batch gets the next name, while the
    // row still shows the name computed when it was added.
    EXPECT_EQ(Outputs(), (std::set<std::string>{"clip_(new).mp4", "clip_(new_1).mp4"}));
    EXPECT_EQ(jobs_.Row(2).Text(JobColumn::Destination), "clip_(new).mp4");
    for (const std::string& name : Outputs()) {
        EXPECT_EQ(quillo::testing::DecodeWithFfmpeg(settings_.OutputFolder() / name).exitStatus, 0)
            << name;
    }
}

TEST_F(BatchTest, AnOptionBuilderErrorEndsTheStartWithNothingQueued) {
    Add({FixturePath("clip.mp4"), FixturePath("clip.avi")});
    // "as source" makes the builder read the catalogue's range, whose bounds are no numbers.
    settings_.Settings().WriteString("formatInfo1", "paraVideoBitRate", "as source");
    profiles::IniFile(settings_.Files().Catalogue)
        .WriteString("formatInfo1", "VideoBitRate", "as source,many,more");
    EXPECT_THROW(batch_.Start(), media::MediaError);
    EXPECT_FALSE(batch_.Running());
    EXPECT_FALSE(converter_.Working());
    EXPECT_EQ(converter_.TasksCount(), 0);
    EXPECT_TRUE(batch_.BatchIndexList().empty());
    EXPECT_TRUE(log_.started.empty());
    EXPECT_EQ(jobs_.AddFiles({FixturePath("clip.mkv")}).Added, 1);
}

// The open-folder choice is made again at every start and may change while a batch runs;
// the power-off choice lasts from batch to batch.
TEST_F(BatchTest, TheActionsAfterTheLastJobFollowTheirChoices) {
    Add({FixturePath("clip.mp4")});
    const struct {
        const char* name;
        std::function<void()> before;
        BatchStartOptions options;
        std::function<void()> during;
        std::size_t opened;
        int powerOffs;
    } batches[] = {
        {"unchecked while running", {}, {}, [this] { batch_.SetOpenOutputFolder(false); }, 0, 0},
        {"checked again, power off", [this] { batch_.SetPowerOffWhenDone(true); }, {}, {}, 1, 1},
        {"power off kept", {}, {}, {}, 2, 2},
        {"neither",
         [this] { batch_.SetPowerOffWhenDone(false); },
         {.OpenOutputFolder = false},
         {},
         2,
         2},
    };
    for (const auto& b : batches) {
        SCOPED_TRACE(b.name);
        if (b.before) {
            b.before();
        }
        ASSERT_TRUE(batch_.Start(b.options).Started);
        if (b.during) {
            b.during();
        }
        WaitForEnd();
        EXPECT_EQ(system_.openedFolders.size(), b.opened);
        EXPECT_EQ(system_.powerOffs, b.powerOffs);
        EXPECT_EQ(log_.summary->Finished, 1);
    }
    EXPECT_EQ(system_.openedFolders.back(), settings_.OutputFolder());
}

TEST_F(BatchTest, CancellingDuringTheFirstJobEndsTheBatchWithoutItsActions) {
    // Paused at once, the first job is held at its first packets whatever the machine's speed.
    Add({FixturePath("two_minutes.mkv"), FixturePath("clip.mp4"), FixturePath("clip.avi")});
    batch_.SetPowerOffWhenDone(true);
    ASSERT_TRUE(batch_.Start().Started);
    batch_.Pause();
    ASSERT_TRUE(batch_.Running());
    EXPECT_EQ(batch_.Buttons(), (BatchButtons{.ListCommands = false, .Resume = true}));

    // Nothing of the list or the batch may change meanwhile.
    EXPECT_THROW(jobs_.AddFiles({FixturePath("clip.ts")}), converter::ConverterBusyError);
    EXPECT_THROW(jobs_.RemoveSelected(), converter::ConverterBusyError);
    EXPECT_THROW(jobs_.Clear(), converter::ConverterBusyError);
    EXPECT_THROW(batch_.Start(), converter::ConverterBusyError);
    EXPECT_EQ(jobs_.RowCount(), 3);

    batch_.Cancel();
    WaitForEnd();
    ASSERT_TRUE(log_.summary.has_value());
    EXPECT_TRUE(log_.summary->Cancelled);
    EXPECT_EQ(log_.summary->Finished, 0);
    EXPECT_FALSE(log_.summary->FolderOpened);
    EXPECT_FALSE(log_.summary->PowerOffRequested);
    EXPECT_TRUE(system_.openedFolders.empty());
    EXPECT_EQ(system_.powerOffs, 0);
    ASSERT_EQ(log_.ended.size(), 3u);
    for (const testing::JobEndRecord& ended : log_.ended) {
        EXPECT_FALSE(ended.finished) << ended.task;
    }
    EXPECT_NE(ProgressCell(0), "100%");
    EXPECT_EQ(ProgressCell(1), "");
    EXPECT_EQ(ProgressCell(2), "");
    EXPECT_EQ(batch_.Buttons(), BatchButtons{});
    // The list is the user's again.
    EXPECT_TRUE(jobs_.RemoveSelected());
}

TEST_F(BatchTest, ASourceMissingAtTheStartIsSkippedAndTheRestGoesOn) {
    const fs::path vanishing = Copy("clip.avi", "gone/clip.avi");
    Add({FixturePath("clip.mp4"), vanishing, FixturePath("clip.mkv")});
    fs::remove(vanishing);
    const BatchStartResult result = batch_.Start();
    ASSERT_TRUE(result.Started);
    EXPECT_EQ(result.Tasks, 2);
    ASSERT_EQ(result.Skipped.size(), 1u);
    EXPECT_EQ(result.Skipped[0].Row, 1);
    EXPECT_NE(result.Skipped[0].Reason, "");
    EXPECT_EQ(batch_.BatchIndexList(), (std::vector<int>{0, 2}));
    WaitForEnd();
    EXPECT_EQ(ProgressCell(0), "100%");
    EXPECT_EQ(ProgressCell(1), "");
    EXPECT_EQ(ProgressCell(2), "100%");
    EXPECT_EQ(log_.summary->Finished, 2);
    // The last task was the last job.
    EXPECT_EQ(system_.openedFolders.size(), 1u);
}

TEST_F(BatchTest, ASecondBatchOfTheSameListNeverWritesOverTheFirst) {
    Add({FixturePath("clip.mp4"), Copy("clip.mp4", "other/clip.mp4")});
    RunBatch();
    ASSERT_EQ(Outputs(), (std::set<std::string>{"clip_(new).mp4", "clip_(new_1).mp4"}));
    const std::string first =
        quillo::testing::ReadFile(settings_.OutputFolder() / "clip_(new).mp4");
    const std::string second =
        quillo::testing::ReadFile(settings_.OutputFolder() / "clip_(new_1).mp4");
    log_.progress.clear();
    RunBatch();
    EXPECT_EQ(Outputs(), (std::set<std::string>{"clip_(new).mp4", "clip_(new_1).mp4",
                                                "clip_(new_2).mp4", "clip_(new_3).mp4"}));
    EXPECT_EQ(quillo::testing::ReadFile(settings_.OutputFolder() / "clip_(new).mp4"), first);
    EXPECT_EQ(quillo::testing::ReadFile(settings_.OutputFolder() / "clip_(new_1).mp4"), second);
    EXPECT_EQ(jobs_.Row(0).Text(JobColumn::Destination), "clip_(new).mp4");
    EXPECT_EQ(jobs_.Row(1).Text(JobColumn::Destination), "clip_(new).mp4");
    EXPECT_EQ(ProgressCell(0), "100%");
    EXPECT_EQ(ProgressCell(1), "100%");
}

// Two jobs of the same source, one of them brightened: only that one goes through the frame
// hook, and its pictures come out brighter.
TEST_F(BatchTest, AJobWithAdjustmentsConvertsThroughTheFrameHook) {
    Add({FixturePath("clip.mp4"), Copy("clip.mp4", "bright/clip.mp4")});
    JobRecord bright = jobs_.Record(1);
    bright.Brightness = 400;
    jobs_.SetRecord(1, bright);
    RunBatch();
    ASSERT_EQ(log_.summary->Finished, 2);
    const double source = MeanLuma(FixturePath("clip.mp4"));
    const double plain = MeanLuma(settings_.OutputFolder() / "clip_(new).mp4");
    const double brightened = MeanLuma(settings_.OutputFolder() / "clip_(new_1).mp4");
    EXPECT_NEAR(plain, source, 3.0);
    EXPECT_GT(brightened, plain + 15.0);
}

TEST_F(BatchTest, SeveralTasksAtOnceAllFinishAndTheFolderOpensOnce) {
    Add({FixturePath("clip.mp4"), FixturePath("clip.avi"), FixturePath("clip.ts")});
    ASSERT_EQ(batch_.Start({.TasksAtOnce = 2}).Tasks, 3);
    batch_.WaitUntilEnded();
    EXPECT_FALSE(batch_.Running());
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(ProgressCell(row), "100%") << row;
    }
    EXPECT_EQ(log_.summary->Finished, 3);
    EXPECT_EQ(system_.openedFolders.size(), 1u);
    EXPECT_EQ(Outputs().size(), 3u);
}

// A raw stream does not say how long it is: the reports carry no percentage and no length,
// and the row shows nothing until its job has finished.
TEST_F(BatchTest, WithoutATotalLengthTheRowWaitsForItsEnd) {
    Add({FixturePath("raw.h264")});
    std::vector<std::string> cellsDuringRun;
    log_.whenProgress = [&](const testing::ProgressRecord&) {
        cellsDuringRun.push_back(ProgressCell(0));
    };
    RunBatch();
    ASSERT_FALSE(log_.progress.empty());
    for (const testing::ProgressRecord& record : log_.progress) {
        EXPECT_FALSE(record.percent.has_value());
        EXPECT_EQ(record.fields.Length, "");
    }
    EXPECT_EQ(cellsDuringRun, std::vector<std::string>(log_.progress.size(), ""));
    EXPECT_EQ(ProgressCell(0), "100%");
}

}  // namespace
}  // namespace quillo::app
