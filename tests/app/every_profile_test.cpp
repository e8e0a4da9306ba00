// Every profile code of the shipped catalogue through the batch core on the real converter, as
// the program runs it: the code made current, the file added, the batch started and waited for.
// ffprobe then checks each output against the profile's defaults in docs/profiles.md.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <stdexcept>
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
#include "profiles/ini_file.h"
#include "profiles/profile_catalogue.h"
#include "profiles/test_support.h"

namespace quillo::app {
namespace {

namespace fs = std::filesystem;
using converter::testing::PumpUntil;
using quillo::testing::Field;
using quillo::testing::FixturePath;
using quillo::testing::ProbeReport;
using quillo::testing::RunFfprobe;
using quillo::testing::StreamField;
using quillo::testing::StreamOf;

// What a profile's defaults must give, in ffprobe's names.
struct ProfileCase {
    int code;
    const char* name;        // for the test name
    const char* formatName;  // ffprobe's format_name
    const char* brand;       // ISO family major brand (mp4, mov, 3gp); nullptr: not checked
    const char* extension;
    const char* videoCodec;  // nullptr: an audio profile, no video stream may be there
    // The codec tag tells libxvid, mpeg4 and MS MPEG-4 apart in AVI; nullptr: not checked.
    const char* videoTag;
    const char* pixelFormat;  // nullptr: not checked
    int width;
    int height;
    const char* audioCodec;
    int sampleRate;
    int channels;
};

// GoogleTest prints the case with a failure.
void PrintTo(const ProfileCase& c, std::ostream* out) {
    *out << "profile " << c.code;
}

constexpr const char* Iso = "mov,mp4,m4a,3gp,3g2,mj2";  // the ISO family demuxer
constexpr const char* None = nullptr;

// docs/profiles.md, one line per code, in the catalogue's order. Columns: code, name,
// format_name, brand, extension, video codec, tag, pixel format, width, height, audio codec,
// sample rate, channels.
const std::vector<ProfileCase>& ProfileCases() {
    static const std::vector<ProfileCase> cases = {
        {1, "IpodFirstRun", Iso, "M4V", "mp4", "mpeg4", None, None, 320, 240, "aac", 44100, 2},
        {0, "XvidVideo", "avi", None, "avi", "mpeg4", "xvid", None, 640, 480, "mp3", 44100, 2},
        {100, "ThreeGpp", Iso, "3gp4", "3gp", "h263", None, None, 176, 144, "aac", 22050, 1},
        {101, "ThreeGpp2", Iso, "3g2a", "3g2", "mpeg4", None, None, 176, 144, "aac", 22050, 1},
        {102, "MobileMpeg4", Iso, "isom", "mp4", "mpeg4", None, None, 320, 240, "aac", 44100, 2},
        {200, "FlashVideo", "flv", None, "flv", "flv1", None, None, 320, 240, "mp3", 44100, 2},
        {300, "QuickTime", Iso, "qt", "mov", "mpeg4", None, None, 640, 480, "aac", 44100, 2},
        {400, "Mpeg1", "mpeg", None, "mpg", "mpeg1video", None, None, 352, 240, "mp2", 44100, 2},
        {401, "Mpeg2Dvd", "mpeg", None, "mpg", "mpeg2video", None, None, 720, 480, "ac3", 48000, 2},
        {402, "Mpeg4", Iso, "isom", "mp4", "mpeg4", None, None, 640, 480, "aac", 44100, 2},
        {403, "H264", Iso, "isom", "mp4", "h264", None, None, 1280, 720, "aac", 44100, 2},
        {404, "Avi", "avi", None, "avi", "mpeg4", "FMP4", None, 640, 480, "mp3", 44100, 2},
        {405, "Wmv", "asf", None, "wmv", "wmv2", None, None, 640, 480, "wmav2", 44100, 2},
        {406, "Divx", "avi", None, "avi", "msmpeg4v3", "MP43", None, 640, 480, "mp3", 44100, 2},
        {407, "Xvid", "avi", None, "avi", "mpeg4", "xvid", None, 640, 480, "mp3", 44100, 2},
        {408, "DvNtsc", "dv", None, "dv", "dvvideo", None, "yuv411p", 720, 480, "pcm_s16le", 48000,
         2},
        {409, "DvPal", "dv", None, "dv", "dvvideo", None, None, 720, 576, "pcm_s16le", 48000, 2},
        {500, "Mp3", "mp3", None, "mp3", None, None, None, 0, 0, "mp3", 44100, 2},
        {501, "Aac", "aac", None, "aac", None, None, None, 0, 0, "aac", 44100, 2},
        {502, "M4a", Iso, "M4A", "m4a", None, None, None, 0, 0, "aac", 44100, 2},
        {503, "Wma", "asf", None, "wma", None, None, None, 0, 0, "wmav2", 44100, 2},
        {504, "Wav", "wav", None, "wav", None, None, None, 0, 0, "pcm_s16le", 44100, 2},
        {505, "OggVorbis", "ogg", None, "ogg", None, None, None, 0, 0, "vorbis", 44100, 2},
        {506, "Ac3", "ac3", None, "ac3", None, None, None, 0, 0, "ac3", 48000, 2},
    };
    return cases;
}

const ProfileCase& CaseOf(int code) {
    const auto& cases = ProfileCases();
    const auto found = std::find_if(cases.begin(), cases.end(),
                                    [code](const ProfileCase& c) { return c.code == code; });
    if (found == cases.end()) {
        throw std::out_of_range("no expectations for profile " + std::to_string(code));
    }
    return *found;
}

// The container's duration in seconds; -1 when ffprobe gives none.
double Seconds(const ProbeReport& report) {
    const std::string text = Field(report, "format.duration");
    return text.empty() || text == "N/A" ? -1.0 : std::stod(text);
}

std::string WithoutTrailingSpaces(std::string text) {
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

struct Trim {
    std::int64_t startUs;
    std::int64_t lengthUs;
};

class ProfileBatch {
public:
    ProfileBatch() {
        media::LoggerInstance().SetTriggerEventInMainThread(false);
        batch_.SetObserver(&log_);
    }

    const profiles::ProfileFiles Files() const { return settings_.Files(); }

    // As a click on the profile's line stores it.
    void MakeCurrent(int code) {
        const std::string name = code == profiles::DefaultFormatCode
                                     ? profiles::DefaultFormatName
                                     : profiles::ProfileText(code / 100, code % 100);
        profiles::StoreCurrentProfile(Files(), code, name);
    }

    // Adds the sources, trims every row when asked, runs the batch to its end and gives the
    // files its tasks wrote, in the order of the sources; empty after a failure.
    std::vector<fs::path> Convert(const std::vector<fs::path>& sources,
                                  std::optional<Trim> trim = std::nullopt) {
        const AddFilesResult added = jobs_.AddFiles(sources);
        EXPECT_EQ(added.Added, static_cast<int>(sources.size())) << added.LibraryError;
        if (added.Added != static_cast<int>(sources.size())) {
            return {};
        }
        for (int row = 0; trim && row < jobs_.RowCount(); ++row) {
            JobRecord record = jobs_.Record(row);
            record.StartTime = trim->startUs;
            record.TrimDuration = trim->lengthUs;
            jobs_.SetRecord(row, std::move(record));
        }
        const BatchStartResult started = batch_.Start({.OpenOutputFolder = false});
        EXPECT_TRUE(started.Started);
        EXPECT_EQ(started.Tasks, static_cast<int>(sources.size()));
        for (const SkippedJob& skipped : started.Skipped) {
            ADD_FAILURE() << "row " << skipped.Row << " left out: " << skipped.Reason;
        }
        EXPECT_TRUE(PumpUntil([this] { return !batch_.Running(); })) << "the batch did not end";
        if (!started.Started || started.Tasks != static_cast<int>(sources.size())) {
            return {};
        }
        bool allFinished = log_.ended.size() == sources.size();
        for (const testing::JobEndRecord& ended : log_.ended) {
            EXPECT_TRUE(ended.finished) << jobs_.Row(ended.row).Caption() << ": " << ended.error;
            allFinished = allFinished && ended.finished;
        }
        if (!allFinished) {
            return {};
        }
        std::vector<fs::path> outputs;
        for (int task = 0; task < started.Tasks; ++task) {
            outputs.push_back(batch_.TaskRecord(task)->OutputFile);
        }
        return outputs;
    }

private:
    testing::SettingsFolder settings_;
    quillo::testing::ScriptedPrompter prompter_;  // any question fails the test
    testing::RecordingSystemServices system_;
    converter::Converter converter_;
    JobList jobs_{converter_, settings_.Files(), prompter_};
    BatchController batch_{converter_, jobs_, settings_.Files(), prompter_, system_};
    testing::BatchLog log_;
};

// The output of a source against the profile's expectations; seconds is the length it must
// have within half a second.
void CheckOutput(const ProfileCase& c, const fs::path& output, double seconds) {
    SCOPED_TRACE(output.string());
    EXPECT_EQ(output.extension().string(), std::string(".") + c.extension);
    const ProbeReport probe = RunFfprobe(output, "-show_streams -show_format");
    ASSERT_EQ(probe.exitStatus, 0) << "ffprobe cannot read the output";
    EXPECT_EQ(Field(probe, "format.format_name"), c.formatName);
    if (c.brand != nullptr) {
        EXPECT_EQ(WithoutTrailingSpaces(Field(probe, "format.tags.major_brand")), c.brand);
    }

    const int video = StreamOf(probe, "video");
    if (c.videoCodec == nullptr) {
        EXPECT_EQ(video, -1) << "a video stream in the output of an audio profile";
    } else if (video < 0) {
        ADD_FAILURE() << "no video stream";
    } else {
        EXPECT_EQ(StreamField(probe, video, "codec_name"), c.videoCodec);
        if (c.videoTag != nullptr) {
            EXPECT_EQ(StreamField(probe, video, "codec_tag_string"), c.videoTag);
        }
        if (c.pixelFormat != nullptr) {
            EXPECT_EQ(StreamField(probe, video, "pix_fmt"), c.pixelFormat);
        }
        EXPECT_EQ(StreamField(probe, video, "width"), std::to_string(c.width));
        EXPECT_EQ(StreamField(probe, video, "height"), std::to_string(c.height));
    }

    const int audio = StreamOf(probe, "audio");
    if (audio < 0) {
        ADD_FAILURE() << "no audio stream";
    } else {
        EXPECT_EQ(StreamField(probe, audio, "codec_name"), c.audioCodec);
        EXPECT_EQ(StreamField(probe, audio, "sample_rate"), std::to_string(c.sampleRate));
        EXPECT_EQ(StreamField(probe, audio, "channels"), std::to_string(c.channels));
    }
    EXPECT_NEAR(Seconds(probe), seconds, 0.5);
}

double SourceSeconds(const fs::path& source) {
    const double seconds = Seconds(RunFfprobe(source, "-show_format"));
    EXPECT_GT(seconds, 0) << source;
    return seconds;
}

// The video clip with sound for every profile, and the audio-only file too for the audio ones.
std::vector<fs::path> SourcesFor(const ProfileCase& c) {
    std::vector<fs::path> sources{FixturePath("clip.mp4")};
    if (c.videoCodec == nullptr) {
        sources.push_back(FixturePath("tagged.mp3"));
    }
    return sources;
}

std::string CaseName(const ::testing::TestParamInfo<ProfileCase>& info) {
    return "Code" + std::to_string(info.param.code) + "_" + info.param.name;
}

TEST(EveryProfileTable, HasALineForEveryCodeOfTheCatalogue) {
    const testing::SettingsFolder settings;
    const profiles::IniFile catalogue(settings.Files().Catalogue);
    std::vector<int> shipped;
    for (const int code : profiles::CatalogueCodes()) {
        if (catalogue.SectionExists(profiles::FormatSection(code))) {
            shipped.push_back(code);
        }
    }
    std::vector<int> table;
    for (const ProfileCase& c : ProfileCases()) {
        table.push_back(c.code);
    }
    EXPECT_EQ(table, shipped);
}

class EveryProfile : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(EveryProfile, ConvertsTheFixturesToItsDefaults) {
    const ProfileCase& c = GetParam();
    ProfileBatch batch;
    batch.MakeCurrent(c.code);
    EXPECT_EQ(profiles::CurrentExtension(batch.Files()), c.extension);

    const std::vector<fs::path> sources = SourcesFor(c);
    const std::vector<fs::path> outputs = batch.Convert(sources);
    ASSERT_EQ(outputs.size(), sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
        SCOPED_TRACE(sources[i].filename().string());
        CheckOutput(c, outputs[i], SourceSeconds(sources[i]));
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, EveryProfile, ::testing::ValuesIn(ProfileCases()), CaseName);

// A job trimmed to the second second of its source: the output lasts one second.
class TrimmedProfile : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(TrimmedProfile, ConvertsOnlyTheTrimmedSecond) {
    const ProfileCase& c = GetParam();
    ProfileBatch batch;
    batch.MakeCurrent(c.code);
    const std::vector<fs::path> sources = SourcesFor(c);
    const std::vector<fs::path> outputs =
        batch.Convert(sources, Trim{.startUs = 1'000'000, .lengthUs = 1'000'000});
    ASSERT_EQ(outputs.size(), sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
        SCOPED_TRACE(sources[i].filename().string());
        CheckOutput(c, outputs[i], 1.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, TrimmedProfile, ::testing::Values(CaseOf(402), CaseOf(500)),
                         CaseName);

}  // namespace
}  // namespace quillo::app
