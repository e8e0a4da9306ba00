// quillo-convert run in a child process the way a user runs it, on settings of its own
// (QUILLO_CONFIG_DIR and HOME in a scratch folder): its exit status, what it says and the
// files it writes, checked with ffprobe.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "child_program.h"
#include "fixtures/external_commands.h"
#include "fixtures/fixture_path.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using quillo::testing::FixturePath;
using quillo::testing::Outcome;
using quillo::testing::RunFfprobe;
using quillo::testing::TempFolder;

class QuilloConvertTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(config_);
        fs::create_directories(home_);
        // Each test is a process of its own: the child inherits these.
        setenv("QUILLO_CONFIG_DIR", config_.c_str(), 1);
        setenv("HOME", home_.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }

    static Outcome Run(const std::vector<std::string>& arguments) {
        quillo::testing::Program program(arguments, QUILLO_CONVERT);
        return program.Wait();
    }

    static std::vector<std::string> Files(const fs::path& folder) {
        std::vector<std::string> names;
        if (fs::is_directory(folder)) {
            for (const auto& entry : fs::directory_iterator(folder)) {
                names.push_back(entry.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    static double Duration(const fs::path& file) {
        const auto report = RunFfprobe(file, "-show_format");
        const auto found = report.fields.find("format.duration");
        return found == report.fields.end() ? -1.0 : std::atof(found->second.c_str());
    }

    static std::string Field(const fs::path& file, const std::string& options,
                             const std::string& key) {
        const auto report = RunFfprobe(file, options);
        const auto found = report.fields.find(key);
        return found == report.fields.end() ? "" : found->second;
    }

    TempFolder temp_;
    const fs::path config_ = temp_.Path() / "config";
    const fs::path home_ = temp_.Path() / "home";
    const fs::path out_ = temp_.Path() / "out";
};

TEST_F(QuilloConvertTest, HelpNamesEveryOption) {
    const Outcome outcome = Run({"--help"});
    EXPECT_EQ(outcome.exitStatus, 0);
    for (const char* option : {"--list-profiles", "--profile", "--output-dir", "--jobs", "--trim",
                               "--crop", "--brightness", "--contrast", "--saturation", "--exposure",
                               "--watermark-text", "--watermark-image", "Exit status"}) {
        EXPECT_NE(outcome.output.find(option), std::string::npos) << option;
    }
}

TEST_F(QuilloConvertTest, WrongCommandLinesAreRefusedNamingTheOption) {
    const std::string clip = FixturePath("clip.mp4").string();
    const struct {
        std::vector<std::string> arguments;
        const char* named;
    } cases[] = {
        {{"--brightness", "600", clip}, "--brightness"},
        {{"--contrast", "-101", clip}, "--contrast"},
        {{"--exposure", "bright", clip}, "--exposure"},
        {{"--jobs", "0", clip}, "--jobs"},
        {{"--trim", "5", clip}, "--trim"},
        {{"--trim", "1,0", clip}, "--trim"},
        {{"--crop", "1,2,3", clip}, "--crop"},
        {{"--frobnicate", clip}, "--frobnicate"},
        {{"--profile"}, "--profile"},
        {{}, "No file to convert"},
        {{"--profile", "9999", clip}, "9999"},
        {{"--watermark-image", FixturePath("not_media.txt").string(), clip}, "not_media.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.named);
        const Outcome outcome = Run(c.arguments);
        EXPECT_EQ(outcome.exitStatus, 2) << outcome.errors;
        EXPECT_NE(outcome.errors.find(c.named), std::string::npos) << outcome.errors;
    }
    EXPECT_EQ(Files(home_ / "korvana"), std::vector<std::string>{});
}

TEST_F(QuilloConvertTest, ProfileChoiceIsStoredAndListed) {
    Outcome listed = Run({"--list-profiles"});
    ASSERT_EQ(listed.exitStatus, 0) << listed.errors;
    EXPECT_NE(listed.output.find("*     1  "), std::string::npos) << listed.output;  // first run
    EXPECT_NE(listed.output.find("    200  Flash Video"), std::string::npos) << listed.output;

    // A conversion with --profile stores it, as choosing it in the program would.
    const Outcome converted =
        Run({"--profile", "200", "--output-dir", out_.string(), FixturePath("clip.mp4").string()});
    ASSERT_EQ(converted.exitStatus, 0) << converted.errors;
    EXPECT_EQ(Files(out_), std::vector<std::string>{"clip_(new).flv"});
    EXPECT_EQ(Field(out_ / "clip_(new).flv", "-show_format", "format.format_name"), "flv");
    listed = Run({"--list-profiles"});
    EXPECT_NE(listed.output.find("*   200  Flash Video"), std::string::npos) << listed.output;
    EXPECT_NE(listed.output.find("      1  "), std::string::npos) << listed.output;
}

TEST_F(QuilloConvertTest, EachFailureIsNamedAndTheOthersConvertWithoutOverwriting) {
    const std::vector<std::string> arguments = {"--profile",
                                                "402",
                                                "--output-dir",
                                                out_.string(),
                                                FixturePath("clip.mp4").string(),
                                                (temp_.Path() / "missing.mp4").string(),
                                                FixturePath("not_media.txt").string(),
                                                FixturePath("clip.avi").string()};
    const Outcome first = Run(arguments);
    EXPECT_EQ(first.exitStatus, 1);
    EXPECT_NE(first.errors.find("missing.mp4: No such file"), std::string::npos) << first.errors;
    EXPECT_NE(first.errors.find("not_media.txt cannot be read as a media file"), std::string::npos)
        << first.errors;
    EXPECT_NE(first.output.find("2 converted, 2 failed; output folder: " + out_.string()),
              std::string::npos)
        << first.output;
    const std::vector<std::string> firstNames = {"clip_(new).mp4", "clip_(new_1).mp4"};
    ASSERT_EQ(Files(out_), firstNames);
    const auto firstSize = fs::file_size(out_ / "clip_(new).mp4");
    const auto firstTime = fs::last_write_time(out_ / "clip_(new).mp4");

    // The same list again writes new names and leaves the first outputs alone.
    const Outcome second = Run(arguments);
    EXPECT_EQ(second.exitStatus, 1);
    EXPECT_EQ(Files(out_), (std::vector<std::string>{"clip_(new).mp4", "clip_(new_1).mp4",
                                                     "clip_(new_2).mp4", "clip_(new_3).mp4"}));
    EXPECT_EQ(fs::file_size(out_ / "clip_(new).mp4"), firstSize);
    EXPECT_EQ(fs::last_write_time(out_ / "clip_(new).mp4"), firstTime);
    for (const auto& name : Files(out_)) {
        EXPECT_NEAR(Duration(out_ / name), 3.0, 0.5) << name;
    }
}

TEST_F(QuilloConvertTest, TrimCropAndEffectsReachTheOutputs) {
    const Outcome outcome =
        Run({"--profile", "402", "--output-dir", out_.string(), "--jobs", "2", "--trim", "1,1.5",
             "--crop", "20,20,0,0", "--brightness", "400", "--watermark-text", "Quillo",
             FixturePath("clip.mp4").string(), FixturePath("clip.mkv").string()});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
    ASSERT_EQ(Files(out_), (std::vector<std::string>{"clip_(new).mp4", "clip_(new_1).mp4"}));
    for (const auto& name : Files(out_)) {
        SCOPED_TRACE(name);
        EXPECT_NEAR(Duration(out_ / name), 1.5, 0.3);
        EXPECT_EQ(quillo::testing::DecodeWithFfmpeg(out_ / name).exitStatus, 0);
    }

    // The same job without effects: the picture differs.
    const fs::path plain = temp_.Path() / "plain";
    ASSERT_EQ(Run({"--output-dir", plain.string(), "--trim", "1,1.5", "--crop", "20,20,0,0",
                   FixturePath("clip.mp4").string()})
                  .exitStatus,
              0);
    const auto mean = [](const fs::path& file) {
        const auto report = quillo::testing::RunCommand(
            std::string(QUILLO_FFMPEG) + " -v error -i " + quillo::testing::ShellQuoted(file) +
                " -frames:v 1 -vf signalstats,metadata=print:key=lavfi.signalstats.YAVG:file=- "
                "-f null -",
            false);
        const auto at = report.output.find("YAVG=");
        return at == std::string::npos ? -1.0 : std::atof(report.output.c_str() + at + 5);
    };
    EXPECT_GT(mean(out_ / "clip_(new).mp4"), mean(plain / "clip_(new).mp4") + 10);
}

// Interrupted as soon as it has started: two minutes of pictures take far longer to convert
// than the stop takes to arrive.
TEST_F(QuilloConvertTest, InterruptStopsWithFinishedOutputs) {
    quillo::testing::Program program({"--profile", "402", "--output-dir", out_.string(),
                                      FixturePath("two_minutes.mkv").string()},
                                     QUILLO_CONVERT);
    ASSERT_TRUE(program.ReadOutputUntil("converting 1 file into " + out_.string()))
        << program.Errors();
    program.Signal(SIGINT);
    const Outcome outcome = program.Wait();
    EXPECT_EQ(outcome.exitStatus, 1) << outcome.errors;
    EXPECT_NE(outcome.errors.find("stopping"), std::string::npos) << outcome.errors;
    EXPECT_NE(outcome.output.find("0 converted, 1 failed (stopped)"), std::string::npos)
        << outcome.output;
    // Stopped this early, the output is either finished up to where it got, or, when it got
    // no picture at all, not kept.
    const fs::path output = out_ / "two_minutes_(new).mp4";
    if (fs::exists(output)) {
        EXPECT_NE(outcome.output.find("the output is finished up to where it got"),
                  std::string::npos)
            << outcome.output;
        const auto decoded = quillo::testing::DecodeWithFfmpeg(output);
        EXPECT_EQ(decoded.exitStatus, 0) << decoded.output;
        EXPECT_LT(Duration(output), 125.0) << outcome.output;
    } else {
        EXPECT_NE(outcome.output.find("no output was kept"), std::string::npos) << outcome.output;
        EXPECT_EQ(Files(out_), std::vector<std::string>{});
    }
}

TEST_F(QuilloConvertTest, UnwritableOutputFolderFallsBackToTheHomeFolderWithAWarning) {
    const fs::path blocker = temp_.Path() / "a-file";
    std::ofstream(blocker) << "not a folder";
    const fs::path wanted = blocker / "outputs";
    const Outcome outcome =
        Run({"--output-dir", wanted.string(), FixturePath("clip.mp4").string()});
    EXPECT_EQ(outcome.exitStatus, 0) << outcome.errors;
    EXPECT_NE(
        outcome.errors.find("You don't have permission to write to directory:" + wanted.string()),
        std::string::npos)
        << outcome.errors;
    EXPECT_EQ(Files(home_ / "korvana"), std::vector<std::string>{"clip_(new).mp4"});
}

}  // namespace
