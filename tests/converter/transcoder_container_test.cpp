// One conversion per container family of the profile catalogue, checked with ffprobe and a
// full decode by ffmpeg; and the ways a task meets bad input or a refusing system.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "converter/transcoder_test_support.h"
#include "fixtures/external_commands.h"
#include "fixtures/fixture_path.h"

namespace quillo::converter {
namespace {

namespace fs = std::filesystem;
using media::LogLevel;
using quillo::testing::CommandResult;
using quillo::testing::CountOf;
using quillo::testing::DecodeWithFfmpeg;
using quillo::testing::Field;
using quillo::testing::FixturePath;
using quillo::testing::ProbeReport;
using quillo::testing::ReadFile;
using quillo::testing::RunFfprobe;
using quillo::testing::StreamField;
using quillo::testing::StreamOf;
using quillo::testing::WriteFile;
using Options = std::vector<std::pair<std::string, std::string>>;

std::string Fixture(const char* name) {
    return FixturePath(name).string();
}

// The container's duration in seconds; -1 when ffprobe gives none.
double Seconds(const ProbeReport& report) {
    const std::string text = Field(report, "format.duration");
    return text.empty() || text == "N/A" ? -1.0 : std::stod(text);
}

double Seconds(const fs::path& file) {
    return Seconds(RunFfprobe(file, "-show_format"));
}

std::string Trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

// What one catalogue family must give.
struct ContainerCase {
    const char* name;
    const char* source;
    const char* output;  // file name; the extension matters where no "f" is given
    Options options;     // set after the input is opened, before the output
    const char* formatName;
    const char* brand;       // ISO family brand; nullptr: not checked
    const char* videoCodec;  // nullptr: no video stream may be there
    const char* videoTag;    // nullptr: not checked
    int width;
    int height;
    const char* audioCodec;
    int sampleRate;  // 0: not checked
    int channels;    // 0: not checked
};

// Settings as the catalogue's profiles give them (docs/profiles.md), sources varied.
const std::vector<ContainerCase>& ContainerCases() {
    static const std::vector<ContainerCase> cases = {
        {"XvidAvi",
         "clip.mp4",
         "xvid.avi",
         {{"f", "avi"},
          {"vcodec", "libxvid"},
          {"vtag", "XVID"},
          {"s", "640x480"},
          {"r", "29.97"},
          {"b", "1200000"},
          {"acodec", "libmp3lame"},
          {"ar", "44100"},
          {"ab", "128000"},
          {"ac", "2"}},
         "avi",
         nullptr,
         "mpeg4",
         "XVID",
         640,
         480,
         "mp3",
         44100,
         2},
        {"DivxAvi",
         "clip.ts",
         "divx.avi",
         {{"f", "avi"},
          {"vcodec", "msmpeg4"},
          {"s", "640x480"},
          {"r", "29.97"},
          {"b", "1200000"},
          {"acodec", "libmp3lame"},
          {"ar", "44100"},
          {"ab", "128000"},
          {"ac", "2"}},
         "avi",
         nullptr,
         "msmpeg4v3",
         nullptr,
         640,
         480,
         "mp3",
         44100,
         2},
        {"Mpeg4Mp4",
         "clip.avi",
         "mpeg4.mp4",
         {{"vcodec", "mpeg4"},
          {"s", "640x480"},
          {"r", "29.97"},
          {"b", "1200000"},
          {"acodec", "libfaac"},
          {"ar", "44100"},
          {"ab", "128000"},
          {"ac", "2"}},
         "mov,mp4,m4a,3gp,3g2,mj2",
         "isom",
         "mpeg4",
         nullptr,
         640,
         480,
         "aac",
         44100,
         2},
        {"H263ThreeGp",
         "clip.mkv",
         "phone.3gp",
         {{"f", "3gp"},
          {"vcodec", "h263"},
          {"s", "176x144"},
          {"r", "15"},
          {"b", "128000"},
          {"acodec", "libfaac"},
          {"ar", "22050"},
          {"ab", "32000"},
          {"ac", "1"}},
         "mov,mp4,m4a,3gp,3g2,mj2",
         "3gp4",
         "h263",
         nullptr,
         176,
         144,
         "aac",
         22050,
         1},
        {"Mpeg4ThreeG2",
         "clip.ts",
         "phone.3g2",
         {{"f", "3g2"},
          {"vcodec", "mpeg4"},
          {"s", "176x144"},
          {"r", "15"},
          {"b", "128000"},
          {"acodec", "libfaac"},
          {"ar", "22050"},
          {"ab", "32000"},
          {"ac", "1"}},
         "mov,mp4,m4a,3gp,3g2,mj2",
         "3g2a",
         "mpeg4",
         nullptr,
         176,
         144,
         "aac",
         22050,
         1},
        // The profile leaves the video encoder to the container: Sorenson H.263.
        {"FlashVideo",
         "clip.mp4",
         "flash.flv",
         {{"f", "flv"},
          {"s", "320x240"},
          {"r", "29.97"},
          {"b", "512000"},
          {"acodec", "libmp3lame"},
          {"ar", "44100"},
          {"ab", "96000"},
          {"ac", "2"}},
         "flv",
         nullptr,
         "flv1",
         nullptr,
         320,
         240,
         "mp3",
         44100,
         2},
        {"QuickTime",
         "clip.mkv",
         "movie.mov",
         {{"f", "mov"},
          {"vcodec", "mpeg4"},
          {"s", "640x480"},
          {"r", "29.97"},
          {"b", "1200000"},
          {"acodec", "libfaac"},
          {"ar", "44100"},
          {"ab", "128000"},
          {"ac", "2"}},
         "mov,mp4,m4a,3gp,3g2,mj2",
         "qt",
         "mpeg4",
         nullptr,
         640,
         480,
         "aac",
         44100,
         2},
        {"NtscDvdTarget",
         "clip.ts",
         "dvd.mpg",
         {{"target", "ntsc-dvd"}, {"aspect", "4:3"}},
         "mpeg",
         nullptr,
         "mpeg2video",
         nullptr,
         720,
         480,
         "ac3",
         48000,
         2},
        {"PalDvdTargetVob",
         "clip.avi",
         "dvd.vob",
         {{"target", "pal-dvd"}},
         "mpeg",
         nullptr,
         "mpeg2video",
         nullptr,
         720,
         576,
         "ac3",
         48000,
         2},
        // The VCD container without the VCD target, as the MPEG-1 profile has it.
        {"Mpeg1Vcd",
         "clip.mkv",
         "vcd.mpg",
         {{"f", "vcd"},
          {"vcodec", "mpeg1video"},
          {"s", "352x240"},
          {"r", "29.97"},
          {"b", "1150000"},
          {"acodec", "mp2"},
          {"ar", "44100"},
          {"ab", "224000"},
          {"ac", "2"}},
         "mpeg",
         nullptr,
         "mpeg1video",
         nullptr,
         352,
         240,
         "mp2",
         44100,
         2},
        {"Matroska",
         "clip.ts",
         "movie.mkv",
         {{"vcodec", "libx264"}, {"acodec", "vorbis"}, {"ar", "44100"}, {"ab", "128000"}},
         "matroska,webm",
         nullptr,
         "h264",
         nullptr,
         320,
         240,
         "vorbis",
         44100,
         2},
        {"WindowsMedia",
         "clip.mp4",
         "movie.wmv",
         {{"f", "asf"},
          {"vcodec", "wmv2"},
          {"s", "640x480"},
          {"r", "29.97"},
          {"b", "1000000"},
          {"acodec", "wmav2"},
          {"ar", "44100"},
          {"ab", "128000"},
          {"ac", "2"}},
         "asf",
         nullptr,
         "wmv2",
         nullptr,
         640,
         480,
         "wmav2",
         44100,
         2},
        {"PalDvTarget",
         "clip.ts",
         "pal.dv",
         {{"target", "pal-dv"}},
         "dv",
         nullptr,
         "dvvideo",
         nullptr,
         720,
         576,
         "pcm_s16le",
         48000,
         2},
        // NTSC DV as the profile builds it, with the 4:1:1 pictures the encoder requires.
        {"NtscDv",
         "clip.mp4",
         "ntsc.dv",
         {{"f", "dv"},
          {"vcodec", "dvvideo"},
          {"s", "720x480"},
          {"r", "29.97"},
          {"pix_fmt", "yuv411p"},
          {"acodec", "pcm_s16le"},
          {"ar", "48000"},
          {"ac", "2"}},
         "dv",
         nullptr,
         "dvvideo",
         nullptr,
         720,
         480,
         "pcm_s16le",
         48000,
         2},
        // The DV muxer takes a picture only once the previous one has all its sound.
        {"PalDvTargetFromXvid",
         "clip.avi",
         "xvid.dv",
         {{"target", "pal-dv"}},
         "dv",
         nullptr,
         "dvvideo",
         nullptr,
         720,
         576,
         "pcm_s16le",
         48000,
         2},
        {"NtscDvFromMatroska",
         "clip.mkv",
         "matroska.dv",
         {{"f", "dv"},
          {"vcodec", "dvvideo"},
          {"s", "720x480"},
          {"r", "29.97"},
          {"pix_fmt", "yuv411p"},
          {"acodec", "pcm_s16le"},
          {"ar", "48000"},
          {"ac", "2"},
          // As the DV profiles give it: this sound starts 3 ms after the picture, which the
          // DV muxer refuses unless the start is padded.
          {"async", "1"}},
         "dv",
         nullptr,
         "dvvideo",
         nullptr,
         720,
         480,
         "pcm_s16le",
         48000,
         2},
        {"Mp3",
         "clip.mkv",
         "sound.mp3",
         {{"vn", "1"}, {"acodec", "libmp3lame"}, {"ar", "44100"}, {"ab", "128000"}, {"ac", "2"}},
         "mp3",
         nullptr,
         nullptr,
         nullptr,
         0,
         0,
         "mp3",
         44100,
         2},
        {"AdtsAac",
         "tagged.mp3",
         "sound.aac",
         {{"vn", "1"}, {"acodec", "libfaac"}, {"ar", "44100"}, {"ab", "128000"}, {"ac", "2"}},
         "aac",
         nullptr,
         nullptr,
         nullptr,
         0,
         0,
         "aac",
         44100,
         2},
        {"M4a",
         "clip.mp4",
         "sound.m4a",
         {{"vn", "1"},
          {"f", "ipod"},
          {"acodec", "libfaac"},
          {"ar", "44100"},
          {"ab", "128000"},
          {"ac", "2"}},
         "mov,mp4,m4a,3gp,3g2,mj2",
         "M4A",
         nullptr,
         nullptr,
         0,
         0,
         "aac",
         44100,
         2},
        {"Wav",
         "clip.ts",
         "sound.wav",
         {{"vn", "1"}, {"acodec", "pcm_s16le"}, {"ar", "44100"}, {"ac", "2"}},
         "wav",
         nullptr,
         nullptr,
         nullptr,
         0,
         0,
         "pcm_s16le",
         44100,
         2},
        {"OggVorbis",
         "surround.mka",
         "sound.ogg",
         {{"vn", "1"}, {"acodec", "vorbis"}, {"ar", "44100"}, {"ab", "128000"}, {"ac", "2"}},
         "ogg",
         nullptr,
         nullptr,
         nullptr,
         0,
         0,
         "vorbis",
         44100,
         2},
        {"Wma",
         "surround.mka",
         "sound.wma",
         {{"vn", "1"},
          {"f", "asf"},
          {"acodec", "wmav2"},
          {"ar", "44100"},
          {"ab", "128000"},
          {"ac", "2"}},
         "asf",
         nullptr,
         nullptr,
         nullptr,
         0,
         0,
         "wmav2",
         44100,
         2},
        {"Ac3",
         "tagged.mp3",
         "sound.ac3",
         {{"vn", "1"}, {"f", "ac3"}, {"acodec", "ac3"}, {"ar", "48000"}, {"ab", "192000"}},
         "ac3",
         nullptr,
         nullptr,
         nullptr,
         0,
         0,
         "ac3",
         48000,
         2},
        // The MP2 elementary stream is written by the MP3 muxer.
        {"Mp2",
         "clip.avi",
         "sound.mp2",
         {{"vn", "1"}, {"acodec", "mp2"}, {"ab", "192000"}},
         "mp3",
         nullptr,
         nullptr,
         nullptr,
         0,
         0,
         "mp2",
         44100,
         2},
    };
    return cases;
}

// Test names show the case's name instead of its bytes.
void PrintTo(const ContainerCase& c, std::ostream* out) {
    *out << c.name;
}

class ContainerTest : public testing::TranscoderTest,
                      public ::testing::WithParamInterface<ContainerCase> {};

TEST_P(ContainerTest, ConvertsToTheFamilyAndDecodesCleanly) {
    const ContainerCase& c = GetParam();
    const fs::path output = folder_ / c.output;
    ASSERT_TRUE(engine_.OpenInput(Fixture(c.source))) << engine_.LastErrorMessage();
    for (const auto& [name, value] : c.options) {
        engine_.SetOption(name, value);
    }
    ASSERT_EQ(engine_.OpenOutput(output.string(), false), 1) << engine_.LastErrorMessage();
    ASSERT_TRUE(engine_.StartConvert(false));
    EXPECT_TRUE(engine_.Finished());
    ASSERT_FALSE(engine_.Failed()) << engine_.ErrorText();
    engine_.ResetOptions();  // closes the output

    const ProbeReport probe = RunFfprobe(output, "-show_streams -show_format");
    ASSERT_EQ(probe.exitStatus, 0) << output;
    EXPECT_EQ(Field(probe, "format.format_name"), c.formatName);
    if (c.brand != nullptr) {
        EXPECT_EQ(Trimmed(Field(probe, "format.tags.major_brand")), c.brand);
    }

    const int video = StreamOf(probe, "video");
    if (c.videoCodec == nullptr) {
        EXPECT_EQ(video, -1) << "a video stream in an audio-only output";
    } else {
        ASSERT_GE(video, 0) << "no video stream";
        EXPECT_EQ(CountOf(probe, "video"), 1);
        EXPECT_EQ(StreamField(probe, video, "codec_name"), c.videoCodec);
        if (c.videoTag != nullptr) {
            EXPECT_EQ(StreamField(probe, video, "codec_tag_string"), c.videoTag);
        }
        EXPECT_EQ(StreamField(probe, video, "width"), std::to_string(c.width));
        EXPECT_EQ(StreamField(probe, video, "height"), std::to_string(c.height));
    }
    const int audio = StreamOf(probe, "audio");
    ASSERT_GE(audio, 0) << "no audio stream";
    EXPECT_EQ(CountOf(probe, "audio"), 1);
    EXPECT_EQ(StreamField(probe, audio, "codec_name"), c.audioCodec);
    if (c.sampleRate != 0) {
        EXPECT_EQ(StreamField(probe, audio, "sample_rate"), std::to_string(c.sampleRate));
    }
    if (c.channels != 0) {
        EXPECT_EQ(StreamField(probe, audio, "channels"), std::to_string(c.channels));
    }

    const double sourceSeconds = Seconds(FixturePath(c.source));
    ASSERT_GT(sourceSeconds, 0.0);
    EXPECT_NEAR(Seconds(probe), sourceSeconds, 0.2);

    const CommandResult decoded = DecodeWithFfmpeg(output);
    EXPECT_EQ(decoded.exitStatus, 0) << decoded.output;
    EXPECT_EQ(decoded.output, "");
}

INSTANTIATE_TEST_SUITE_P(Families, ContainerTest, ::testing::ValuesIn(ContainerCases()),
                         [](const ::testing::TestParamInfo<ContainerCase>& info) {
                             return std::string(info.param.name);
                         });

// Runs the check as an ordinary user and returns what it says. Root may write anywhere, so
// as root the check runs in a child process that has become "nobody".
std::string AsOrdinaryUser(const std::function<std::string()>& check) {
    if (geteuid() != 0) {
        return check();
    }
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return "cannot make a pipe";
    }
    const pid_t child = fork();
    if (child < 0) {
        return "cannot fork";
    }
    if (child == 0) {
        close(pipeEnds[0]);
        const std::string said = setgid(65534) == 0 && setuid(65534) == 0
                                     ? check()
                                     : std::string("cannot become nobody");
        const ssize_t written = write(pipeEnds[1], said.data(), said.size());
        _exit(written == static_cast<ssize_t>(said.size()) ? 0 : 1);
    }
    close(pipeEnds[1]);
    std::string said;
    char buffer[512];
    ssize_t count;
    while ((count = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
        said.append(buffer, static_cast<std::size_t>(count));
    }
    close(pipeEnds[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return "the child did not end well: " + said;
    }
    return said;
}

// A file-size limit for this process, with the signal that would kill it ignored, so that a
// write past the limit fails as on a full disk. Both are restored when it goes.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &savedAction_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        sigaction(SIGXFSZ, &savedAction_, nullptr);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool Active() const { return active_; }

private:
    rlimit saved_{};
    struct sigaction savedAction_ {};
    bool active_ = false;
};

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

using BadInputTest = testing::TranscoderTest;

TEST_F(BadInputTest, SourcesThatAreNoMediaAreRefusedWithTheirName) {
    // truncated.mp4 keeps the first 40% of a file whose index comes last: nothing to read.
    for (const char* name : {"not_media.txt", "empty.bin", "truncated.mp4"}) {
        const std::string path = Fixture(name);
        EXPECT_FALSE(engine_.OpenInput(path)) << name;
        EXPECT_EQ(engine_.LastErrorMessage(), path + ": Invalid data found when processing input");
        EXPECT_EQ(engine_.InputCount(), 0);
    }
    // Nothing is left half open: a good source opens as the first input.
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4"))) << engine_.LastErrorMessage();
    EXPECT_EQ(engine_.InputCount(), 1);
    EXPECT_EQ(engine_.TotalDuration(), 3'000'000);
}

// A source cut short converts up to the cut into a complete file.
void ExpectShorterCompleteOutput(Transcoder& engine, const std::string& source,
                                 const fs::path& output) {
    ASSERT_TRUE(engine.OpenInput(source)) << engine.LastErrorMessage();
    engine.SetOption("vcodec", "mpeg4");
    engine.SetOption("acodec", "libmp3lame");
    ASSERT_EQ(engine.OpenOutput(output.string(), false), 1) << engine.LastErrorMessage();
    ASSERT_TRUE(engine.StartConvert(false));
    EXPECT_TRUE(engine.Finished());
    EXPECT_FALSE(engine.Failed()) << engine.ErrorText();
    engine.ResetOptions();
    ASSERT_TRUE(fs::exists(output));
    const double seconds = Seconds(output);
    EXPECT_GT(seconds, 0.5);
    EXPECT_LT(seconds, 2.5);  // the full clip has 3 s
    const CommandResult decoded = DecodeWithFfmpeg(output);
    EXPECT_EQ(decoded.exitStatus, 0) << decoded.output;
    EXPECT_EQ(decoded.output, "");
}

TEST_F(BadInputTest, TruncatedTransportStreamGivesTheFirstPart) {
    ExpectShorterCompleteOutput(engine_, Fixture("truncated.ts"), folder_ / "part.avi");
}

TEST_F(BadInputTest, TruncatedMp4WithItsIndexFirstGivesTheFirstPart) {
    // A copy with the index moved to the front, cut where truncated.mp4 is cut.
    const fs::path indexFirst = folder_ / "index_first.mp4";
    {
        Transcoder copier;  // an engine runs one task
        ASSERT_TRUE(copier.OpenInput(Fixture("clip.mp4"))) << copier.LastErrorMessage();
        copier.SetOption("vcodec", "copy");
        copier.SetOption("acodec", "copy");
        copier.SetOption("movflags", "faststart");
        ASSERT_EQ(copier.OpenOutput(indexFirst.string(), false), 1) << copier.LastErrorMessage();
        ASSERT_TRUE(copier.StartConvert(false));
        ASSERT_FALSE(copier.Failed()) << copier.ErrorText();
    }
    const std::string whole = ReadFile(indexFirst);
    ASSERT_LT(whole.find("moov"), whole.find("mdat")) << "the index is not first";
    const fs::path cut = folder_ / "cut.mp4";
    WriteFile(cut, whole.substr(0, whole.size() * 40 / 100));

    ExpectShorterCompleteOutput(engine_, cut.string(), folder_ / "part.avi");
}

// clip.ts with bytes in its middle overwritten.
fs::path DamagedTransportStream(const fs::path& folder) {
    std::string bytes = ReadFile(FixturePath("clip.ts"));
    const std::size_t middle = bytes.size() / 2;
    for (std::size_t i = middle; i < middle + 3000 && i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>((i * 37 + 11) & 0xff);
    }
    const fs::path damaged = folder / "damaged.ts";
    WriteFile(damaged, bytes);
    return damaged;
}

TEST_F(BadInputTest, CorruptPacketsAreLoggedAndSkipped) {
    const fs::path damaged = DamagedTransportStream(folder_);
    const fs::path output = folder_ / "repaired.mpg";
    ASSERT_TRUE(engine_.OpenInput(damaged.string())) << engine_.LastErrorMessage();
    ASSERT_EQ(engine_.OpenOutput(output.string(), false), 1) << engine_.LastErrorMessage();
    ASSERT_TRUE(engine_.StartConvert(false));
    EXPECT_TRUE(engine_.Finished());
    EXPECT_FALSE(engine_.Failed()) << engine_.ErrorText();
    engine_.ResetOptions();

    bool reported = false;
    for (const auto& [level, text] : logged_) {
        reported = reported || text.starts_with("Error while decoding stream #0.");
    }
    EXPECT_TRUE(reported) << "the damage went unmentioned";
    EXPECT_NEAR(Seconds(output), 3.0, 0.2);
    const CommandResult decoded = DecodeWithFfmpeg(output);
    EXPECT_EQ(decoded.exitStatus, 0) << decoded.output;
    EXPECT_EQ(decoded.output, "");
}

TEST_F(BadInputTest, CorruptPacketsFailTheTaskWhenErrorsAreFatal) {
    const fs::path damaged = DamagedTransportStream(folder_);
    const fs::path output = folder_ / "repaired.mpg";
    engine_.SetOption("xerror", "1");
    ASSERT_TRUE(engine_.OpenInput(damaged.string())) << engine_.LastErrorMessage();
    ASSERT_EQ(engine_.OpenOutput(output.string(), false), 1) << engine_.LastErrorMessage();
    engine_.StartConvert(false);
    EXPECT_FALSE(engine_.Finished());
    EXPECT_TRUE(engine_.Failed());
    EXPECT_TRUE(engine_.ErrorText().starts_with("Error while decoding stream #0."))
        << engine_.ErrorText();
    EXPECT_TRUE(Logged(LogLevel::llQuiet, engine_.ErrorText()));
    engine_.ResetOptions();
    EXPECT_FALSE(fs::exists(output));
    EXPECT_EQ(FolderEntries(folder_), std::vector<std::string>{"damaged.ts"});
}

TEST_F(BadInputTest, MissingOutputFolderIsRefusedAtOpen) {
    const fs::path output = folder_ / "no such folder" / "out.mp4";
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4"))) << engine_.LastErrorMessage();
    EXPECT_EQ(engine_.OpenOutput(output.string(), false), -1);
    EXPECT_EQ(engine_.LastErrorMessage(), output.string() + ": No such file or directory");
    EXPECT_EQ(engine_.OutputCount(), 0);
    EXPECT_TRUE(fs::is_empty(folder_));
}

TEST_F(BadInputTest, UnwritableOutputFolderIsRefusedAtOpen) {
    const fs::path locked = folder_ / "locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    // The ordinary user must reach the folder.
    fs::permissions(folder_, fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);
    const fs::path output = locked / "out.mp4";
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4"))) << engine_.LastErrorMessage();
    const std::string said = AsOrdinaryUser([&] {
        const int outputs = engine_.OpenOutput(output.string(), false);
        return std::to_string(outputs) + " " + std::to_string(engine_.OutputCount()) + " " +
               engine_.LastErrorMessage();
    });
    EXPECT_EQ(said, "-1 0 " + output.string() + ": Permission denied");
    EXPECT_TRUE(fs::is_empty(locked));
    fs::permissions(locked, fs::perms::owner_all, fs::perm_options::add);
}

struct FullDiskCase {
    const char* name;
    const char* output;
    Options options;
};

void PrintTo(const FullDiskCase& c, std::ostream* out) {
    *out << c.name;
}

class FullDiskTest : public testing::TranscoderTest,
                     public ::testing::WithParamInterface<FullDiskCase> {};

TEST_P(FullDiskTest, FailsTheTaskAndLeavesNoFile) {
    const FullDiskCase& c = GetParam();
    const fs::path output = folder_ / c.output;
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4"))) << engine_.LastErrorMessage();
    for (const auto& [name, value] : c.options) {
        engine_.SetOption(name, value);
    }
    ASSERT_EQ(engine_.OpenOutput(output.string(), false), 1) << engine_.LastErrorMessage();
    {
        // Far less than either output needs.
        const FileSizeLimit limit(64 * 1024);
        ASSERT_TRUE(limit.Active());
        engine_.StartConvert(false);
    }
    EXPECT_FALSE(engine_.Finished());
    EXPECT_TRUE(engine_.Failed());
    const std::string error = engine_.ErrorText();
    EXPECT_TRUE(error == "av_interleaved_write_frame(): File too large" ||
                error == "av_write_trailer(): File too large")
        << error;
    engine_.ResetOptions();
    EXPECT_FALSE(fs::exists(output));
    EXPECT_TRUE(fs::is_empty(folder_));
}

INSTANTIATE_TEST_SUITE_P(BadInput, FullDiskTest,
                         ::testing::Values(
                             // Every picture is larger than the limit: the write of a packet fails.
                             FullDiskCase{
                                 "WhilePacketsAreWritten", "full.dv", {{"target", "pal-dv"}}},
                             // The AVI muxer buffers: the failure shows when the file is finished.
                             FullDiskCase{"WhenTheFileIsFinished",
                                          "full.avi",
                                          {{"vcodec", "libxvid"},
                                           {"vtag", "XVID"},
                                           {"s", "640x480"},
                                           {"b", "1200000"},
                                           {"acodec", "libmp3lame"}}}),
                         [](const ::testing::TestParamInfo<FullDiskCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(BadInputTest, EncoderRefusalFailsTheTaskAndLeavesNoFile) {
    const fs::path output = folder_ / "phone.3gp";
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4"))) << engine_.LastErrorMessage();
    engine_.SetOption("vcodec", "h263");
    engine_.SetOption("s", "320x240");  // no size of H.263's own
    engine_.SetOption("acodec", "libfaac");
    ASSERT_EQ(engine_.OpenOutput(output.string(), false), 1) << engine_.LastErrorMessage();
    engine_.StartConvert(false);
    EXPECT_FALSE(engine_.Finished());
    EXPECT_TRUE(engine_.Failed());
    EXPECT_TRUE(engine_.ErrorText().starts_with(
        "Error while opening encoder for output stream #0.0 (Video) - maybe incorrect "
        "parameters such as bit_rate, rate, width or height"))
        << engine_.ErrorText();
    // The encoder's own reason reaches the log too.
    bool reason = false;
    for (const auto& [level, text] : logged_) {
        reason = reason || text.find("320x240 is not valid for the H.263") != std::string::npos;
    }
    EXPECT_TRUE(reason);
    engine_.ResetOptions();
    EXPECT_FALSE(fs::exists(output));
    EXPECT_TRUE(fs::is_empty(folder_));
}

TEST_F(BadInputTest, OutputOverItsInputIsRefusedAndTheInputKept) {
    const fs::path input = folder_ / "source.mp4";
    fs::copy_file(FixturePath("clip.mp4"), input);
    const std::string original = ReadFile(input);
    fs::create_symlink(input, folder_ / "link.mp4");
    fs::create_hard_link(input, folder_ / "hard.mp4");
    const std::vector<std::string> spellings = {
        input.string(), (folder_ / "." / "source.mp4").string(),
        (folder_.parent_path() / folder_.filename() / "source.mp4").string(),
        (folder_ / "link.mp4").string(), (folder_ / "hard.mp4").string()};

    ASSERT_TRUE(engine_.OpenInput(input.string())) << engine_.LastErrorMessage();
    for (const std::string& spelling : spellings) {
        EXPECT_EQ(engine_.OpenOutput(spelling, false), -1) << spelling;
        EXPECT_EQ(engine_.LastErrorMessage(),
                  "Output file '" + spelling + "' is the same file as input file #0");
        EXPECT_EQ(engine_.OutputCount(), 0);
    }
    // Without an output the task ends at once, and the input is still what it was.
    EXPECT_FALSE(engine_.StartConvert(false));
    EXPECT_EQ(engine_.ErrorText(), "At least one output file must be specified");
    engine_.ResetOptions();
    EXPECT_TRUE(ReadFile(input) == original) << "the input was changed";
}

// A task limited by a frame count or a duration.
struct LimitCase {
    const char* name;
    const char* source;
    const char* output;
    const char* option;
    const char* value;
    int frames;      // video frames the output must have; -1: not counted
    double seconds;  // the output's duration
};

void PrintTo(const LimitCase& c, std::ostream* out) {
    *out << c.name;
}

class ContainerLimitsTest : public testing::TranscoderTest,
                            public ::testing::WithParamInterface<LimitCase> {};

// No fixture is longer than 3 s (75 pictures), so the frame limits stay below that.
TEST_P(ContainerLimitsTest, StopsAtTheLimitWithACompleteFile) {
    const LimitCase& c = GetParam();
    const fs::path output = folder_ / c.output;
    ASSERT_TRUE(engine_.OpenInput(Fixture(c.source))) << engine_.LastErrorMessage();
    engine_.SetOption("vcodec", "mpeg4");
    engine_.SetOption(c.option, c.value);
    ASSERT_EQ(engine_.OpenOutput(output.string(), false), 1) << engine_.LastErrorMessage();
    ASSERT_TRUE(engine_.StartConvert(false));
    EXPECT_TRUE(engine_.Finished());
    ASSERT_FALSE(engine_.Failed()) << engine_.ErrorText();
    engine_.ResetOptions();

    if (c.frames >= 0) {
        const ProbeReport counted = RunFfprobe(
            output, "-count_frames -select_streams v:0 -show_entries stream=nb_read_frames");
        EXPECT_EQ(Field(counted, "streams.stream.0.nb_read_frames"), std::to_string(c.frames));
    }
    EXPECT_NEAR(Seconds(output), c.seconds, 0.1);
    const CommandResult decoded = DecodeWithFfmpeg(output);
    EXPECT_EQ(decoded.exitStatus, 0) << decoded.output;
    EXPECT_EQ(decoded.output, "");
}

INSTANTIATE_TEST_SUITE_P(
    Limits, ContainerLimitsTest,
    ::testing::Values(
        LimitCase{"ThirtyFramesFromMp4", "clip.mp4", "thirty.mp4", "vframes", "30", 30, 1.2},
        LimitCase{"SixtyFramesFromMatroska", "clip.mkv", "sixty.avi", "vframes", "60", 60, 2.4},
        LimitCase{"OneSecondFromAvi", "clip.avi", "second.mkv", "t", "1", -1, 1.0},
        // The transport stream's timestamps start late; the limit counts from
        // its start.
        LimitCase{"OneSecondFromTransportStream", "clip.ts", "second.mp4", "t", "1", -1, 1.0}),
    [](const ::testing::TestParamInfo<LimitCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillo::converter
