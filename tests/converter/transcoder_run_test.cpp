// Running tasks end to end: which input streams feed the outputs, how pictures and sound are
// kept in step, what the progress reports say, and how stop, pause and failures end a task.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "converter/transcoder.h"
#include "fixtures/external_commands.h"
#include "fixtures/fixture_path.h"
#include "media/library_loader.h"
#include "media/logger.h"
#include "media/main_thread.h"
#include "media/media_probe.h"
#include "media/system_libraries.h"
#include "support/temp_folder.h"

namespace quillo::converter {
namespace {

namespace fs = std::filesystem;
using quillo::testing::FixturePath;
using quillo::testing::RunCommand;
using quillo::testing::RunFfprobe;
using quillo::testing::ShellQuoted;

// Applies arguments the way the command line takes them: "-i FILE" opens an input, "-name
// value" sets an option (switches take none), anything else opens an output.
void Apply(Transcoder& engine, std::initializer_list<std::string> arguments) {
    const std::vector<std::string> list(arguments);
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string& argument = list[i];
        if (argument.empty() || argument[0] != '-') {
            ASSERT_GE(engine.OpenOutput(argument, false), 0) << engine.LastErrorMessage();
        } else if (argument == "-i") {
            ASSERT_LT(i + 1, list.size());
            ASSERT_TRUE(engine.OpenInput(list[++i])) << engine.LastErrorMessage();
        } else if (Transcoder::TakesNoValue(argument.substr(1))) {
            engine.SetOption(argument.substr(1), "1");
        } else {
            ASSERT_LT(i + 1, list.size()) << argument;
            engine.SetOption(argument.substr(1), list[++i]);
        }
    }
}

std::string Fixture(const char* name) {
    return FixturePath(name).string();
}

double Number(const quillo::testing::ProbeReport& report, const std::string& key) {
    const auto found = report.fields.find(key);
    return found == report.fields.end() ? -1.0 : std::atof(found->second.c_str());
}

std::string Text(const quillo::testing::ProbeReport& report, const std::string& key) {
    const auto found = report.fields.find(key);
    return found == report.fields.end() ? "" : found->second;
}

// The presentation times of the video packets of a file, in seconds.
std::vector<double> VideoPacketTimes(const fs::path& file) {
    const auto report = RunFfprobe(file, "-select_streams v -show_entries packet=pts_time");
    std::vector<double> times;
    for (int index = 0;; ++index) {
        const std::string key = "packets.packet." + std::to_string(index) + ".pts_time";
        if (report.fields.count(key) == 0) {
            return times;
        }
        times.push_back(std::atof(report.fields.at(key).c_str()));
    }
}

double Duration(const fs::path& file) {
    return Number(RunFfprobe(file, "-show_format"), "format.duration");
}

// Records log lines and progress reports from any thread, and lets the test wait for them.
class RunTest : public ::testing::Test {
protected:
    void SetUp() override {
        media::testing::LoadSystemLibraries();
        engine_ = std::make_unique<Transcoder>();
        media::LoggerInstance().SetTriggerEventInMainThread(false);
        media::LoggerInstance().SetOnLog([this](const media::MediaComponent*, std::uint32_t,
                                                media::LogLevel, const std::string& text) {
            std::scoped_lock lock(mutex_);
            logged_.push_back(text);
        });
        engine_->SetProgressCallback([this](Transcoder&, const ProgressReport& report) {
            {
                std::scoped_lock lock(mutex_);
                reports_.push_back(report);
            }
            changed_.notify_all();
            media::NotifyMainThread();
        });
        engine_->SetTerminateCallback([this](Transcoder&) {
            {
                std::scoped_lock lock(mutex_);
                ended_ = true;
            }
            changed_.notify_all();
            media::NotifyMainThread();
        });
    }

    void TearDown() override {
        engine_.reset();
        media::LoggerInstance().SetOnLog({});
    }

    bool Logged(const std::string& text) {
        std::scoped_lock lock(mutex_);
        return std::find(logged_.begin(), logged_.end(), text) != logged_.end();
    }

    std::vector<ProgressReport> Reports() {
        std::scoped_lock lock(mutex_);
        return reports_;
    }

    void WaitForReports(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return reports_.size() >= count || ended_; });
    }

    void WaitForEnd() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return ended_; });
    }

    fs::path Out(const std::string& name) const { return temp_.Path() / name; }

    quillo::testing::TempFolder temp_;
    std::unique_ptr<Transcoder> engine_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> logged_;
    std::vector<ProgressReport> reports_;
    bool ended_ = false;
};

TEST_F(RunTest, VideoAndAudioOfAnMp4MapToTheirKindsWithoutMaps) {
    const fs::path out = Out("mapped.mkv");
    Apply(*engine_, {"-i", Fixture("clip.mp4"), "-vcodec", "mpeg4", "-acodec", "mp2", out});
    engine_->StartConvert(false);
    ASSERT_TRUE(engine_->Finished()) << engine_->ErrorText();
    EXPECT_TRUE(Logged("  Stream #0.0 -> #0.0 (Video)"));
    EXPECT_TRUE(Logged("  Stream #0.1 -> #0.1 (Audio)"));
    const auto report = RunFfprobe(out, "-show_streams");
    EXPECT_EQ(Text(report, "streams.stream.0.codec_name"), "mpeg4");
    EXPECT_EQ(Text(report, "streams.stream.1.codec_name"), "mp2");
    // The final report tells the finished file's size, and the summary follows it.
    ASSERT_FALSE(Reports().empty());
    EXPECT_EQ(Reports().back().totalSize, static_cast<std::int64_t>(fs::file_size(out)));
    std::scoped_lock lock(mutex_);
    EXPECT_TRUE(std::any_of(logged_.begin(), logged_.end(), [](const std::string& line) {
        return line.starts_with("video:") && line.find("kB audio:") != std::string::npos &&
               line.ends_with("%\r\n");
    }));
}

struct AudioChoice {
    const char* fixture;
    const char* mapping;  // the log line naming the chosen stream
    double duration;      // seconds of the chosen stream
};

void PrintTo(const AudioChoice& choice, std::ostream* out) {
    *out << choice.fixture;
}

class AudioChoiceTest : public RunTest, public ::testing::WithParamInterface<AudioChoice> {};

TEST_P(AudioChoiceTest, TheStreamWithTheMostProbedFramesFeedsTheOnlyAudioOutput) {
    const AudioChoice& choice = GetParam();
    const fs::path out = Out("chosen.wav");
    Apply(*engine_, {"-i", Fixture(choice.fixture), "-vn", out});
    engine_->StartConvert(false);
    ASSERT_TRUE(engine_->Finished()) << engine_->ErrorText();
    EXPECT_TRUE(Logged(choice.mapping)) << choice.fixture;
    EXPECT_NEAR(Duration(out), choice.duration, 0.1) << choice.fixture;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, AudioChoiceTest,
                         ::testing::Values(
                             // A half-second mono track before a four-second stereo one.
                             AudioChoice{"uneven_audio.mp4", "  Stream #0.1 -> #0.0 (Audio)", 4.0},
                             // Two seconds and four seconds, both within the probing window.
                             AudioChoice{"two_audio.mp4", "  Stream #0.2 -> #0.0 (Audio)", 4.0}),
                         [](const auto& info) {
                             std::string name = info.param.fixture;
                             return name.substr(0, name.find('.'));
                         });

struct PicturePath {
    const char* name;
    std::vector<std::string> options;
    int width;
    int height;
    int scalers;
};

void PrintTo(const PicturePath& path, std::ostream* out) {
    *out << path.name;
}

class PicturePathTest : public RunTest, public ::testing::WithParamInterface<PicturePath> {};

TEST_P(PicturePathTest, ScalesOnlyWhenThePictureMustChange) {
    const PicturePath& path = GetParam();
    const fs::path out = Out("picture.avi");
    ASSERT_TRUE(engine_->OpenInput(Fixture("clip.mp4"))) << engine_->LastErrorMessage();
    engine_->SetOption("vcodec", "mpeg4");
    for (std::size_t i = 0; i + 1 < path.options.size(); i += 2) {
        engine_->SetOption(path.options[i], path.options[i + 1]);
    }
    ASSERT_GE(engine_->OpenOutput(out, false), 0) << engine_->LastErrorMessage();
    engine_->StartConvert(false);
    ASSERT_TRUE(engine_->Finished()) << engine_->ErrorText();
    EXPECT_EQ(engine_->ScalersMade(), path.scalers);
    const auto report = RunFfprobe(out, "-show_streams -select_streams v");
    EXPECT_EQ(Number(report, "streams.stream.0.width"), path.width);
    EXPECT_EQ(Number(report, "streams.stream.0.height"), path.height);
    EXPECT_EQ(quillo::testing::DecodeWithFfmpeg(out).output, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PicturePathTest,
    ::testing::Values(
        PicturePath{"SameSize", {}, 320, 240, 0},
        PicturePath{"Scaled", {"s", "160x120"}, 160, 120, 1},
        PicturePath{"CroppedOnly", {"croptop", "16", "cropbottom", "16"}, 320, 208, 0},
        PicturePath{"CroppedAndScaled", {"cropleft", "40", "s", "176x144"}, 176, 144, 1},
        // The filter chain's padding decides the encoded size.
        PicturePath{"PaddedByFilters", {"vf", "pad=400:300:40:30"}, 400, 300, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct CopyRefusal {
    const char* name;
    int previewFlags;
    bool customHook;
    std::vector<std::string> options;
    const char* message;
};

void PrintTo(const CopyRefusal& refusal, std::ostream* out) {
    *out << refusal.name;
}

class CopyRefusalTest : public RunTest, public ::testing::WithParamInterface<CopyRefusal> {};

TEST_P(CopyRefusalTest, ACopiedStreamThatWouldNeedDecodingIsRefused) {
    const CopyRefusal& refusal = GetParam();
    const fs::path out = Out("copy.mkv");
    ASSERT_TRUE(engine_->OpenInput(Fixture("clip.mp4")));
    for (std::size_t i = 0; i + 1 < refusal.options.size(); i += 2) {
        engine_->SetOption(refusal.options[i], refusal.options[i + 1]);
    }
    ASSERT_GE(engine_->OpenOutput(out, false), 0) << engine_->LastErrorMessage();
    engine_->SetPreviewFlags(refusal.previewFlags);
    if (refusal.customHook) {
        engine_->SetCustomHook([](Transcoder&, media::Bitmap&, int, std::int64_t, bool&, bool&) {});
    }
    engine_->StartConvert(false);
    EXPECT_TRUE(engine_->Failed());
    EXPECT_FALSE(engine_->Finished());
    EXPECT_EQ(engine_->ErrorText(), refusal.message);
    EXPECT_FALSE(fs::exists(out));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CopyRefusalTest,
    ::testing::Values(
        CopyRefusal{"PreviewBitmap",
                    PreviewBitmapFlag,
                    false,
                    {"vcodec", "copy", "acodec", "copy"},
                    "-vcodec copy and PostHooks are incompatible (frames are not decoded)"},
        CopyRefusal{"PreviewWindow",
                    PreviewWindowFlag,
                    false,
                    {"vcodec", "copy", "an", "1"},
                    "-vcodec copy and PostHooks are incompatible (frames are not decoded)"},
        CopyRefusal{"CustomHook",
                    0,
                    true,
                    {"vcodec", "copy", "an", "1"},
                    "-vcodec copy and CustomHook are incompatible (frames are not decoded)"},
        CopyRefusal{"Volume",
                    0,
                    false,
                    {"vn", "1", "acodec", "copy", "vol", "512"},
                    "-acodec copy and -vol are incompatible (frames are not decoded)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunTest, PassOneWritesItsStatisticsBesideTheProgramAndPassTwoReadsThem) {
    const fs::path previous = fs::current_path();
    fs::current_path(temp_.Path());
    Apply(*engine_, {"-i", Fixture("clip.mp4"), "-an", "-vcodec", "mpeg4", "-b", "200000", "-pass",
                     "1", Out("pass1.avi")});
    engine_->StartConvert(false);
    ASSERT_TRUE(engine_->Finished()) << engine_->ErrorText();
    const fs::path log = temp_.Path() / "ffmpeg2pass-0.log";
    ASSERT_TRUE(fs::exists(log));
    EXPECT_GT(fs::file_size(log), 0U);

    Transcoder second;
    Apply(second, {"-i", Fixture("clip.mp4"), "-an", "-vcodec", "mpeg4", "-b", "200000", "-pass",
                   "2", Out("pass2.avi")});
    second.StartConvert(false);
    EXPECT_TRUE(second.Finished()) << second.ErrorText();
    fs::current_path(previous);
}

TEST_F(RunTest, PassTwoWithoutStatisticsFailsNamingTheFile) {
    const fs::path previous = fs::current_path();
    fs::current_path(temp_.Path());
    Apply(*engine_, {"-i", Fixture("clip.mp4"), "-an", "-vcodec", "mpeg4", "-passlogfile",
                     "missing", "-pass", "2", Out("pass2.avi")});
    engine_->StartConvert(false);
    fs::current_path(previous);
    EXPECT_EQ(engine_->ErrorText(),
              "Cannot read file: Error reading log file \"missing-0.log\" for pass-2 encoding");
    EXPECT_FALSE(fs::exists(Out("pass2.avi")));
}

TEST_F(RunTest, AVariableRateOutputKeepsPicturesHalfATickEarlyAndDropsThoseFurtherOff) {
    // Pictures at 0, 40, 80, 100 (half a tick early), 132 (0.7 early), 160, 200, then after a
    // gap 416 and 442 ms; Matroska takes any frame timing.
    const fs::path out = Out("variable.mkv");
    Apply(*engine_, {"-i", Fixture("irregular.mkv"), "-r", "25", "-vcodec", "mpeg4", out});
    engine_->StartConvert(false);
    ASSERT_TRUE(engine_->Finished()) << engine_->ErrorText();
    const std::vector<double> times = VideoPacketTimes(out);
    const std::vector<double> expected = {0.0, 0.04, 0.08, 0.12, 0.16, 0.20, 0.40, 0.44};
    ASSERT_EQ(times.size(), expected.size());
    for (std::size_t i = 0; i < times.size(); ++i) {
        EXPECT_NEAR(times[i], expected[i], 0.001) << "picture " << i;
    }
    ASSERT_FALSE(Reports().empty());
    EXPECT_NE(Reports().back().line.find("dup=0 drop=1"), std::string::npos)
        << Reports().back().line;
}

TEST_F(RunTest, AConstantRateOutputRepeatsAPictureForAGapOfSeveralTicks) {
    // The gap after 200 ms ends 3.4 ticks past the frame clock: that picture is written three
    // times; the next, 1.05 ticks on, once. Nothing is dropped at a constant rate.
    const fs::path out = Out("constant.avi");
    Apply(*engine_, {"-i", Fixture("irregular.mkv"), "-r", "25", "-vcodec", "mpeg4", out});
    engine_->StartConvert(false);
    ASSERT_TRUE(engine_->Finished()) << engine_->ErrorText();
    EXPECT_EQ(VideoPacketTimes(out).size(), 11U);
    ASSERT_FALSE(Reports().empty());
    EXPECT_EQ(Reports().back().frameNumber, 11);
    EXPECT_NE(Reports().back().line.find("dup=2 drop=0"), std::string::npos)
        << Reports().back().line;
}

struct AudioShift {
    const char* name;
    const char* offset;  // of the input, seconds
    double change;       // of the output's duration against the unshifted conversion
};

void PrintTo(const AudioShift& shift, std::ostream* out) {
    *out << shift.name;
}

class AudioShiftTest : public RunTest, public ::testing::WithParamInterface<AudioShift> {};

TEST_P(AudioShiftTest, SoundOffItsPlaceAtTheStartIsPaddedOrTrimmed) {
    const AudioShift& shift = GetParam();
    const fs::path plain = Out("plain.wav");
    {
        Transcoder reference;
        Apply(reference, {"-i", Fixture("tagged.mp3"), "-async", "1", plain});
        reference.StartConvert(false);
        ASSERT_TRUE(reference.Finished()) << reference.ErrorText();
    }
    const fs::path out = Out("shifted.wav");
    Apply(*engine_, {"-itsoffset", shift.offset, "-i", Fixture("tagged.mp3"), "-async", "1", out});
    engine_->StartConvert(false);
    ASSERT_TRUE(engine_->Finished()) << engine_->ErrorText();
    EXPECT_NEAR(Duration(out) - Duration(plain), shift.change, 0.1);
    if (shift.change > 0) {
        // The added part is silence, and the sound follows it.
        const auto detected =
            RunCommand(std::string(QUILLO_FFMPEG) + " -nostdin -i " + ShellQuoted(out) +
                           " -af silencedetect=n=-50dB:d=0.5 -f null -",
                       true);
        EXPECT_NE(detected.output.find("silence_start: 0"), std::string::npos) << detected.output;
        EXPECT_NE(detected.output.find("silence_end: 1.5"), std::string::npos) << detected.output;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, AudioShiftTest,
                         ::testing::Values(AudioShift{"Late", "1.5", 1.5},
                                           AudioShift{"Early", "-1.5", -1.5}),
                         [](const auto& info) { return std::string(info.param.name); });

struct DriftCase {
    const char* sync;
    double lengthening;  // seconds the output gains over the source's samples
    double tolerance;
};

void PrintTo(const DriftCase& drift, std::ostream* out) {
    *out << "async " << drift.sync;
}

class DriftTest : public RunTest, public ::testing::WithParamInterface<DriftCase> {};

TEST_P(DriftTest, DriftAfterTheStartIsCompensatedOnlyAboveSyncOne) {
    // Stretched timestamps: three seconds of samples claim about 3.05 seconds.
    const DriftCase& drift = GetParam();
    const fs::path out = Out("drift.wav");
    Apply(*engine_,
          {"-itsscale", "0:1.0167", "-i", Fixture("tagged.mp3"), "-async", drift.sync, out});
    engine_->StartConvert(false);
    ASSERT_TRUE(engine_->Finished()) << engine_->ErrorText();
    EXPECT_NEAR(Duration(out) - 3.0, drift.lengthening, drift.tolerance) << "async " << drift.sync;
}

INSTANTIATE_TEST_SUITE_P(Cases, DriftTest,
                         ::testing::Values(DriftCase{"1", 0.0, 0.01},
                                           DriftCase{"1000", 0.035, 0.02}),
                         [](const auto& info) { return "Async" + std::string(info.param.sync); });

TEST_F(RunTest, TheFirstReportBeforeAnyOutputTimeTellsTenBillionSeconds) {
    // Output starts one second in, so the first reports come before anything is encoded.
    engine_->SetProgressInterval(0);
    Apply(*engine_,
          {"-i", Fixture("clip.mp4"), "-vn", "-ss", "1", "-acodec", "libmp3lame", Out("late.mp3")});
    engine_->StartConvert(false);
    ASSERT_TRUE(engine_->Finished()) << engine_->ErrorText();
    const auto reports = Reports();
    ASSERT_GE(reports.size(), 2U);
    EXPECT_EQ(reports.front().time, 10'000'000'000LL * 1'000'000);
    EXPECT_NE(reports.front().line.find("time=10000000000.00"), std::string::npos)
        << reports.front().line;
    EXPECT_EQ(reports.front().frameNumber, -1);  // no video output
    EXPECT_EQ(reports.back().inputIndex, -1);
    EXPECT_NEAR(static_cast<double>(reports.back().time) / 1e6, 2.0, 0.1);
}

TEST_F(RunTest, NoReportComesBeforeTheFirstVideoFrame) {
    engine_->SetProgressInterval(0);
    Apply(*engine_,
          {"-i", Fixture("clip.mp4"), "-ss", "1", "-vcodec", "mpeg4", "-an", Out("late.avi")});
    engine_->StartConvert(false);
    ASSERT_TRUE(engine_->Finished()) << engine_->ErrorText();
    const auto reports = Reports();
    ASSERT_GE(reports.size(), 2U);
    for (const ProgressReport& report : reports) {
        EXPECT_GE(report.frameNumber, 1);
        EXPECT_GE(report.quality, 0.0F);
        EXPECT_EQ(report.totalDuration, 3'000'000);
    }
    EXPECT_EQ(reports.back().frameNumber, 50);
    EXPECT_NE(reports.back().line.find(" L"), std::string::npos) << reports.back().line;
}

TEST_F(RunTest, ACopiedVideoStreamReportsNoQuality) {
    engine_->SetProgressInterval(0);
    Apply(*engine_,
          {"-i", Fixture("clip.mp4"), "-vcodec", "copy", "-acodec", "copy", Out("copied.mkv")});
    engine_->StartConvert(false);
    ASSERT_TRUE(engine_->Finished()) << engine_->ErrorText();
    const auto reports = Reports();
    ASSERT_FALSE(reports.empty());
    for (const ProgressReport& report : reports) {
        EXPECT_EQ(report.quality, -1.0F);
    }
    EXPECT_EQ(reports.back().frameNumber, 75);
    EXPECT_EQ(quillo::testing::DecodeWithFfmpeg(Out("copied.mkv")).output, "");
}

TEST_F(RunTest, AStoppedTaskFinishesItsFileUpToTheStop) {
    // At the source's own pace the clip takes three seconds; it is stopped at the first report.
    engine_->SetProgressInterval(100'000);
    const fs::path out = Out("stopped.mp4");
    Apply(*engine_,
          {"-re", "-i", Fixture("clip.mp4"), "-vcodec", "libx264", "-acodec", "aac", out});
    ASSERT_TRUE(engine_->StartConvert(true));
    WaitForReports(1);
    engine_->StopConvert(true);
    EXPECT_TRUE(engine_->Ended());
    EXPECT_FALSE(engine_->Running());
    EXPECT_FALSE(engine_->Finished());
    EXPECT_FALSE(engine_->Failed()) << engine_->ErrorText();
    const auto decoded = quillo::testing::DecodeWithFfmpeg(out);
    EXPECT_EQ(decoded.exitStatus, 0);
    EXPECT_EQ(decoded.output, "");
    const double duration = Duration(out);
    EXPECT_GT(duration, 0.0);
    EXPECT_LT(duration, 2.9);
    // The final report still came, with the stop point's figures.
    EXPECT_EQ(Reports().back().inputIndex, -1);
}

TEST_F(RunTest, APausedTaskHoldsStillAndGoesOnWhenResumed) {
    engine_->SetProgressInterval(100'000);
    const fs::path out = Out("paused.avi");
    Apply(*engine_,
          {"-re", "-i", Fixture("clip.mp4"), "-vcodec", "mpeg4", "-acodec", "libmp3lame", out});
    ASSERT_TRUE(engine_->StartConvert(true));
    WaitForReports(1);
    engine_->Pause();
    while (!engine_->HeldAtPause() && !engine_->Ended()) {
        std::this_thread::yield();
    }
    ASSERT_TRUE(engine_->HeldAtPause());
    const std::size_t reportsWhenHeld = Reports().size();
    const auto sizeWhenHeld = fs::file_size(out);
    for (int i = 0; i < 1000; ++i) {
        std::this_thread::yield();
    }
    EXPECT_TRUE(engine_->HeldAtPause());
    EXPECT_EQ(Reports().size(), reportsWhenHeld);
    EXPECT_EQ(fs::file_size(out), sizeWhenHeld);
    EXPECT_TRUE(engine_->Running());

    engine_->Resume();
    WaitForEnd();
    engine_->StopConvert(true);  // joins the finished worker
    EXPECT_TRUE(engine_->Finished()) << engine_->ErrorText();
    EXPECT_NEAR(Duration(out), 3.0, 0.1);
    EXPECT_GT(Reports().size(), reportsWhenHeld);
}

TEST_F(RunTest, ATaskWithoutInputOrOutputEndsAtOnceWithItsReason) {
    engine_->StartConvert(false);
    EXPECT_TRUE(engine_->Ended());
    EXPECT_TRUE(engine_->Failed());
    EXPECT_EQ(engine_->ErrorText(), "At least one output file must be specified");
    EXPECT_TRUE(Logged("At least one output file must be specified"));
    {
        std::scoped_lock lock(mutex_);
        EXPECT_TRUE(ended_);
    }
    // An ended task never runs again.
    EXPECT_FALSE(engine_->StartConvert(false));

    Transcoder withoutInput;
    ASSERT_GE(withoutInput.OpenOutput(Out("nothing.wav"), false), 0)
        << withoutInput.LastErrorMessage();
    withoutInput.StartConvert(false);
    EXPECT_EQ(withoutInput.ErrorText(), "At least one input file must be specified");
    EXPECT_FALSE(fs::exists(Out("nothing.wav")));
}

TEST_F(RunTest, OutputsOfTasksThatNeverRanOrFailedAtSetupAreNotLeftBehind) {
    const fs::path abandoned = Out("abandoned.avi");
    {
        Transcoder task;
        Apply(task, {"-i", Fixture("clip.mp4"), abandoned});
        ASSERT_TRUE(fs::exists(abandoned));
    }
    EXPECT_FALSE(fs::exists(abandoned));

    const fs::path failed = Out("failed.avi");
    Apply(*engine_, {"-i", Fixture("clip.mp4"), "-map", "0:0", "-map", "0:7", failed});
    engine_->StartConvert(false);
    EXPECT_EQ(engine_->ErrorText(), "Could not find input stream #0.7");
    EXPECT_FALSE(fs::exists(failed));
}

TEST_F(RunTest, AStopBeforeTheStartEndsTheTaskUnfinished) {
    Apply(*engine_, {"-i", Fixture("clip.mp4"), Out("never.avi")});
    engine_->StopConvert(true);
    EXPECT_TRUE(engine_->Ended());
    EXPECT_FALSE(engine_->Finished());
    EXPECT_FALSE(engine_->Failed());
    {
        std::scoped_lock lock(mutex_);
        EXPECT_TRUE(ended_);
    }
    EXPECT_FALSE(engine_->StartConvert(false));
}

TEST(RunLocks, TheMainThreadCanProbeWhileWorkersOpenCodecsAndLog) {
    // Worker threads log while they hold the codec lock (the encoders talk as they open); a
    // main thread probing at the same time waits for that lock. Log delivery must not wait for
    // the main thread, or both would wait forever.
    media::testing::LoadSystemLibraries();
    quillo::testing::TempFolder folder;
    media::Logger& logger = media::LoggerInstance();
    logger.SetTriggerEventInMainThread(true);
    std::atomic<int> lines{0};
    logger.SetOnLog([&](const media::MediaComponent*, std::uint32_t, media::LogLevel,
                        const std::string&) { ++lines; });
    std::atomic<int> ended{0};
    std::vector<std::unique_ptr<Transcoder>> tasks;
    for (int i = 0; i < 3; ++i) {
        auto task = std::make_unique<Transcoder>();
        Apply(*task, {"-i", Fixture("clip.mp4"), "-vcodec", "libx264", "-acodec", "aac",
                      (folder.Path() / ("task" + std::to_string(i) + ".mp4")).string()});
        task->SetTerminateCallback([&](Transcoder&) {
            ++ended;
            media::NotifyMainThread();
        });
        tasks.push_back(std::move(task));
    }
    for (auto& task : tasks) {
        ASSERT_TRUE(task->StartConvert(true));
    }
    media::MediaProbe probe;
    int probes = 0;
    while (ended.load() < 3) {
        ASSERT_TRUE(probe.LoadFile(Fixture("clip.mkv"))) << probe.LastErrorMessage();
        probe.CloseFile();
        ++probes;
        media::PumpMessages();
    }
    for (auto& task : tasks) {
        task->StopConvert(true);
        EXPECT_TRUE(task->Finished()) << task->ErrorText();
    }
    media::PumpMessages();
    EXPECT_GT(probes, 0);
    EXPECT_GT(lines.load(), 0);
    logger.SetOnLog({});
}

}  // namespace
}  // namespace quillo::converter

namespace quillo::converter {
namespace {

TEST_F(RunTest, JoinedInputsFollowEachOtherInOneOutput) {
    // The second clip has another picture size; it is scaled to the output's.
    ASSERT_TRUE(engine_->OpenInput(Fixture("clip.mp4")));
    ASSERT_TRUE(engine_->OpenInput(Fixture("odd_size.mp4")));
    engine_->SetOption("s", "320x240");
    engine_->SetOption("vcodec", "mpeg4");
    engine_->SetOption("acodec", "libmp3lame");
    const fs::path out = Out("joined.avi");
    ASSERT_GE(engine_->OpenOutput(out.string(), true), 0) << engine_->LastErrorMessage();
    ASSERT_TRUE(engine_->JoinMode());
    engine_->StartConvert(false);
    ASSERT_TRUE(engine_->Finished()) << engine_->ErrorText();
    EXPECT_EQ(engine_->TotalDuration(), 5'000'000);
    EXPECT_EQ(quillo::testing::DecodeWithFfmpeg(out).output, "");
    const auto report = RunFfprobe(out, "-show_streams -count_frames");
    EXPECT_EQ(Number(report, "streams.stream.0.nb_read_frames"), 125);
    EXPECT_EQ(Number(report, "streams.stream.0.width"), 320);
    EXPECT_NEAR(Duration(out), 5.0, 0.1);
    EXPECT_EQ(Reports().back().frameNumber, 125);
    EXPECT_NEAR(static_cast<double>(Reports().back().time) / 1e6, 5.0, 0.1);
}

TEST_F(RunTest, TimestampsThatJumpInATransportStreamAreMadeContinuous) {
    // Two streams written one after the other: the second restarts its clock.
    const fs::path joined = Out("two.ts");
    quillo::testing::WriteFile(joined, quillo::testing::ReadFile(FixturePath("clip.ts")) +
                                           quillo::testing::ReadFile(FixturePath("programs.ts")));
    const fs::path out = Out("continuous.avi");
    Apply(*engine_, {"-i", joined.string(), "-vcodec", "mpeg4", "-acodec", "mp2", out});
    engine_->StartConvert(false);
    ASSERT_TRUE(engine_->Finished()) << engine_->ErrorText();
    EXPECT_NEAR(Duration(out), 5.0, 0.1);
    EXPECT_EQ(quillo::testing::DecodeWithFfmpeg(out).output, "");
}

TEST_F(RunTest, SubtitlesAreReencodedAtTheirTimes) {
    const fs::path out = Out("subtitled.mkv");
    Apply(*engine_, {"-i", Fixture("subtitles.mkv"), "-vcodec", "mpeg4", "-scodec", "dvdsub", out});
    engine_->StartConvert(false);
    ASSERT_TRUE(engine_->Finished()) << engine_->ErrorText();
    const auto report = RunFfprobe(out, "-select_streams s -show_entries packet=pts_time");
    EXPECT_EQ(Number(report, "packets.packet.0.pts_time"), 0.2);
    EXPECT_EQ(Number(report, "packets.packet.1.pts_time"), 1.2);
    EXPECT_EQ(Number(report, "packets.packet.2.pts_time"), 2.2);
    EXPECT_EQ(report.fields.count("packets.packet.3.pts_time"), 0U);
}

TEST_F(RunTest, TheVideoStatisticsFileHasALinePerEncodedFrame) {
    const fs::path statistics = Out("vstats.log");
    Apply(*engine_, {"-i", Fixture("clip.mp4"), "-an", "-vcodec", "mpeg4", "-vstats_file",
                     statistics.string(), Out("counted.avi")});
    engine_->StartConvert(false);
    ASSERT_TRUE(engine_->Finished()) << engine_->ErrorText();
    const std::string text = quillo::testing::ReadFile(statistics);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 75);
    EXPECT_TRUE(text.starts_with("frame=     1 q= ")) << text.substr(0, 80);
    EXPECT_NE(text.find("type= I\n"), std::string::npos);
    EXPECT_NE(text.find("frame=    75 "), std::string::npos);
}

// The 16-bit samples of a WAV file's data chunk.
std::vector<std::int16_t> WaveSamples(const fs::path& file) {
    const std::string bytes = quillo::testing::ReadFile(file);
    const std::size_t data = bytes.find("data");
    std::vector<std::int16_t> samples;
    if (data == std::string::npos) {
        return samples;
    }
    for (std::size_t at = data + 8; at + 1 < bytes.size(); at += 2) {
        samples.push_back(
            static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                      (static_cast<std::uint8_t>(bytes[at + 1]) << 8)));
    }
    return samples;
}

TEST_F(RunTest, VolumeFiveHundredTwelveDoublesEachSampleAndClamps) {
    const fs::path source = Out("source.wav");
    {
        Transcoder first;
        // Four times as loud as the clip, so that doubling it again passes the limits.
        Apply(first, {"-i", Fixture("tagged.mp3"), "-vol", "1024", source});
        first.StartConvert(false);
        ASSERT_TRUE(first.Finished()) << first.ErrorText();
    }
    const fs::path out = Out("louder.wav");
    Apply(*engine_, {"-i", source, "-vol", "512", out});
    engine_->StartConvert(false);
    ASSERT_TRUE(engine_->Finished()) << engine_->ErrorText();
    const auto before = WaveSamples(source);
    const auto after = WaveSamples(out);
    ASSERT_EQ(after.size(), before.size());
    int clamped = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        const int doubled = std::clamp(before[i] * 2, -32768, 32767);
        ASSERT_EQ(after[i], doubled) << "sample " << i;
        clamped += doubled != before[i] * 2 ? 1 : 0;
    }
    EXPECT_GT(clamped, 0);
}

TEST_F(RunTest, ACopiedStreamGoesThroughItsBitstreamFilters) {
    // H.264 from Matroska carries its headers apart; a transport stream needs them in band.
    const fs::path out = Out("annexb.ts");
    Apply(*engine_, {"-i", Fixture("clip.mkv"), "-vcodec", "copy", "-vbsf", "h264_mp4toannexb",
                     "-acodec", "mp2", out});
    engine_->StartConvert(false);
    ASSERT_TRUE(engine_->Finished()) << engine_->ErrorText();
    EXPECT_EQ(quillo::testing::DecodeWithFfmpeg(out).output, "");
    const std::string bytes = quillo::testing::ReadFile(out);
    EXPECT_NE(bytes.find(std::string("\0\0\0\1", 4)), std::string::npos);
}

}  // namespace
}  // namespace quillo::converter
