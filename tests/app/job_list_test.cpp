// The job list on the real converter: adding files (probing, naming, skipping), removing,
// clearing, and what its observer hears.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/file_probing.h"
#include "app/job_list.h"
#include "app_test_support.h"
#include "converter/converter.h"
#include "fixtures/fixture_path.h"
#include "media/logger.h"
#include "profiles/test_support.h"

namespace quillo::app {
namespace {

namespace fs = std::filesystem;
using quillo::testing::FixturePath;

class JobListTest : public ::testing::Test {
protected:
    void SetUp() override {
        media::LoggerInstance().SetTriggerEventInMainThread(false);
        jobs_.SetObserver(&log_);
    }

    // A copy of a fixture under another name, in a folder of the test's own.
    fs::path Copy(const std::string& fixture, const std::string& name) {
        const fs::path target = settings_ / name;
        fs::create_directories(target.parent_path());
        fs::copy_file(FixturePath(fixture), target);
        return target;
    }

    std::vector<std::string> Captions() const {
        std::vector<std::string> captions;
        for (int row = 0; row < jobs_.RowCount(); ++row) {
            captions.push_back(jobs_.Row(row).Caption());
        }
        return captions;
    }

    testing::SettingsFolder settings_;
    quillo::testing::ScriptedPrompter prompter_;
    converter::Converter converter_;
    JobList jobs_{converter_, settings_.Files(), prompter_};
    testing::JobListLog log_;
};

TEST_F(JobListTest, AddedFilesShowLengthDestinationAndACheckedRecord) {
    const fs::path clip = FixturePath("clip.mp4");
    const fs::path longer = FixturePath("two_minutes.mkv");  // 2 min 5.9 s
    const AddFilesResult result = jobs_.AddFiles({clip, longer});
    ASSERT_TRUE(result.LibrariesLoaded) << result.LibraryError;
    EXPECT_EQ(result.Added, 2);
    EXPECT_TRUE(result.Skipped.empty());
    ASSERT_EQ(jobs_.RowCount(), 2);

    const JobRow& second = jobs_.Row(1);
    EXPECT_EQ(second.Texts, (std::array<std::string, JobColumnCount>{longer.string(), "125", "125",
                                                                     "two_minutes_(new).mp4", ""}));
    EXPECT_TRUE(second.Checked);
    EXPECT_EQ(second.Record.SourceFile, longer);
    EXPECT_EQ(second.Record.OutputFile, settings_.OutputFolder() / "two_minutes_(new).mp4");
    EXPECT_EQ(second.Record.Duration, 125);
    EXPECT_EQ(second.Record.ZoomMode, "lbox");
    EXPECT_EQ(second.Record.StartTime, 0);
    EXPECT_EQ(second.Record.TrimDuration, 0);
    EXPECT_FALSE(second.Record.NeedsFrameHook());
    EXPECT_EQ(jobs_.Row(0).Text(JobColumn::Length), "3");
    EXPECT_EQ(jobs_.Row(0).Text(JobColumn::Destination), "clip_(new).mp4");
    EXPECT_EQ(jobs_.Selected(), 0);
    EXPECT_EQ(jobs_.CheckedCount(), 2);
    EXPECT_EQ(log_.lines, (std::vector<std::string>{"added 0", "selected 0", "added 1"}));
    // The probing tasks are gone, and nothing was written.
    EXPECT_EQ(converter_.TasksCount(), 0);
    EXPECT_TRUE(fs::is_empty(settings_.OutputFolder()));
    EXPECT_TRUE(prompter_.warnings.empty());
}

TEST_F(JobListTest, FoldersDuplicatesAndUnreadableFilesAreLeftOutSilently) {
    const fs::path clip = FixturePath("clip.mp4");
    ASSERT_EQ(jobs_.AddFiles({clip}).Added, 1);
    const fs::path folder = settings_ / "a folder.mp4";
    fs::create_directory(folder);
    const fs::path upperCase = Copy("clip.avi", "CLIP.MP4");
    const AddFilesResult result =
        jobs_.AddFiles({clip, folder, FixturePath("not_media.txt"), upperCase,
                        settings_ / "missing.avi", FixturePath("empty.bin"), upperCase});
    EXPECT_EQ(result.Added, 1);
    ASSERT_EQ(result.Skipped.size(), 6u);
    const struct {
        fs::path path;
        SkipReason reason;
    } skipped[] = {
        {clip, SkipReason::Duplicate},
        {folder, SkipReason::Folder},
        {FixturePath("not_media.txt"), SkipReason::Unreadable},
        {settings_ / "missing.avi", SkipReason::Unreadable},
        {FixturePath("empty.bin"), SkipReason::Unreadable},
        {upperCase, SkipReason::Duplicate},
    };
    for (std::size_t i = 0; i < std::size(skipped); ++i) {
        EXPECT_EQ(result.Skipped[i].Path, skipped[i].path) << i;
        EXPECT_EQ(result.Skipped[i].Reason, skipped[i].reason) << i;
    }
    // Captions compare case-sensitively.
    EXPECT_EQ(Captions(), (std::vector<std::string>{clip.string(), upperCase.string()}));
    EXPECT_TRUE(prompter_.warnings.empty());
    EXPECT_TRUE(prompter_.questions.empty());
}

TEST_F(JobListTest, DestinationsTakeTheProfilesExtensionAndTheNextFreeName) {
    settings_.Settings().WriteString("settings", "FormatCode", "0");  // XviD, avi
    settings_.Settings().WriteString("formatInfo0", "paraZoom", "pan");
    const fs::path a = Copy("clip.ts", "one/a.mpg");
    const fs::path b = Copy("clip.ts", "two/b.mpg");
    fs::create_directories(settings_.OutputFolder());
    quillo::testing::WriteFile(settings_.OutputFolder() / "b_(new).avi", "taken");
    ASSERT_EQ(jobs_.AddFiles({a, b}).Added, 2);
    EXPECT_EQ(jobs_.Row(0).Text(JobColumn::Destination), "a_(new).avi");
    EXPECT_EQ(jobs_.Row(1).Text(JobColumn::Destination), "b_(new_1).avi");
    EXPECT_EQ(jobs_.Row(1).Record.OutputFile, settings_.OutputFolder() / "b_(new_1).avi");
    EXPECT_EQ(jobs_.Row(1).Record.ZoomMode, "pan");
}

TEST_F(JobListTest, RemovingSelectsTheRowInItsPlaceOrTheNewLast) {
    ASSERT_EQ(
        jobs_.AddFiles({FixturePath("clip.mp4"), FixturePath("clip.avi"), FixturePath("clip.mkv")})
            .Added,
        3);
    log_.lines.clear();
    jobs_.Select(2);
    ASSERT_TRUE(jobs_.RemoveSelected());
    EXPECT_EQ(jobs_.Selected(), 1);  // the new last row
    jobs_.Select(0);
    ASSERT_TRUE(jobs_.RemoveSelected());
    EXPECT_EQ(jobs_.Selected(), 0);  // the row now at the same place
    EXPECT_EQ(Captions(), std::vector<std::string>{FixturePath("clip.avi").string()});
    ASSERT_TRUE(jobs_.RemoveSelected());
    EXPECT_TRUE(jobs_.Empty());
    EXPECT_EQ(jobs_.Selected(), -1);
    EXPECT_FALSE(jobs_.RemoveSelected());
    EXPECT_EQ(log_.lines,
              (std::vector<std::string>{"selected 2", "removed 2", "selected 1", "selected 0",
                                        "removed 0", "selected 0", "removed 0", "selected -1"}));
}

TEST_F(JobListTest, ClearingEmptiesTheListAndAnEmptyListStaysQuiet) {
    ASSERT_EQ(jobs_.AddFiles({FixturePath("clip.mp4"), FixturePath("clip.avi")}).Added, 2);
    jobs_.SetChecked(1, false);
    log_.lines.clear();
    jobs_.Clear();
    EXPECT_TRUE(jobs_.Empty());
    EXPECT_EQ(jobs_.Selected(), -1);
    jobs_.Clear();
    EXPECT_EQ(log_.lines, std::vector<std::string>{"cleared"});
    // The same files come back as new rows.
    EXPECT_EQ(jobs_.AddFiles({FixturePath("clip.avi")}).Added, 1);
    EXPECT_TRUE(jobs_.Row(0).Checked);
}

TEST_F(JobListTest, EditsReachTheRowAndItsObserver) {
    ASSERT_EQ(jobs_.AddFiles({FixturePath("clip.mp4")}).Added, 1);
    log_.lines.clear();
    JobRecord trimmed = jobs_.Record(0);
    trimmed.TrimDuration = 1'500'000;
    jobs_.SetRecord(0, trimmed);
    jobs_.SetText(0, JobColumn::TrimmedLength, "1");
    jobs_.SetChecked(0, false);
    EXPECT_EQ(jobs_.Record(0).TrimDuration, 1'500'000);
    EXPECT_EQ(jobs_.Row(0).Text(JobColumn::TrimmedLength), "1");
    EXPECT_EQ(jobs_.CheckedCount(), 0);
    EXPECT_EQ(log_.lines, (std::vector<std::string>{"changed 0", "changed 0", "changed 0"}));
    EXPECT_THROW(jobs_.SetChecked(1, true), std::out_of_range);
    EXPECT_THROW(jobs_.Row(-1), std::out_of_range);
}

// Many files at once, probed on several threads: the rows come in the order given, each
// with its own file's length.
TEST_F(JobListTest, ManyFilesKeepTheirOrder) {
    std::vector<fs::path> paths;
    std::vector<std::string> expectedCaptions;
    std::vector<std::string> expectedLengths;
    for (int i = 0; i < 24; ++i) {
        const std::string fixture = i % 3 == 0   ? "two_minutes.mkv"
                                    : i % 3 == 1 ? "clip.mp4"
                                                 : "not_media.txt";
        const fs::path path = Copy(fixture, "many/" + std::to_string(i) + "_" + fixture);
        paths.push_back(path);
        if (i % 3 != 2) {
            expectedCaptions.push_back(path.string());
            expectedLengths.push_back(i % 3 == 0 ? "125" : "3");
        }
    }
    const AddFilesResult result = jobs_.AddFiles(paths);
    EXPECT_EQ(result.Added, 16);
    EXPECT_EQ(result.Skipped.size(), 8u);
    EXPECT_EQ(Captions(), expectedCaptions);
    std::vector<std::string> lengths;
    for (int row = 0; row < jobs_.RowCount(); ++row) {
        lengths.push_back(jobs_.Row(row).Text(JobColumn::Length));
    }
    EXPECT_EQ(lengths, expectedLengths);

    // One worker or four: the same outcome.
    EXPECT_EQ(ProbeFiles(paths, 1), ProbeFiles(paths, 4));
}

}  // namespace
}  // namespace quillo::app
