// One conversion per container family of the profile catalogue, checked with ffprobe and a
// full decode by ffmpeg; and the ways a task meets bad input or a refusing system.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "converter/transcoder_test_support.h"
#include "fixtures/external_commands.h"
#include "fixtures/fixture_path.h"

namespace quillo::converter {
namespace {

namespace fs = std::filesystem;
using quillo::testing::DecodeWithFfmpeg;
using quillo::testing::FixturePath;
using quillo::testing::ProbeReport;
using quillo::testing::RunFfprobe;
using Options = std::vector<std::pair<std::string, std::string>>;

std::string Fixture(const char* name) {
    return FixturePath(name).string();
}

std::string Field(const ProbeReport& report, const std::string& key) {
    const auto found = report.fields.find(key);
    return found == report.fields.end() ? std::string() : found->second;
}

// Index of the first stream of the kind ("video", "audio"), or -1. Containers such as FLV
// list their streams in the order the demuxer meets them, so kinds are looked up.
int StreamOf(const ProbeReport& report, const std::string& kind) {
    for (int i = 0;; ++i) {
        const std::string type =
            Field(report, "streams.stream." + std::to_string(i) + ".codec_type");
        if (type.empty()) {
            return -1;
        }
        if (type == kind) {
            return i;
        }
    }
}

int CountOf(const ProbeReport& report, const std::string& kind) {
    int count = 0;
    for (int i = 0;; ++i) {
        const std::string type =
            Field(report, "streams.stream." + std::to_string(i) + ".codec_type");
        if (type.empty()) {
            return count;
        }
        count += type == kind ? 1 : 0;
    }
}

std::string StreamField(const ProbeReport& report, int stream, const std::string& name) {
    return Field(report, "streams.stream." + std::to_string(stream) + "." + name);
}

// The container's duration in seconds; -1 when ffprobe gives none.
double Seconds(const fs::path& file) {
    const std::string text = Field(RunFfprobe(file, "-show_format"), "format.duration");
    return text.empty() || text == "N/A" ? -1.0 : std::stod(text);
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
    int sampleRate;                     // 0: not checked
    int channels;                       // 0: not checked
    const char* engineIssue = nullptr;  // set while the engine is known to fail the case
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
         2,
         "the DV muxer refuses frame #31 (Insufficient audio data or severe sync problem); "
         "resampled sound reaches it with timestamps 11 samples behind its sample count"},
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
          {"ac", "2"}},
         "dv",
         nullptr,
         "dvvideo",
         nullptr,
         720,
         480,
         "pcm_s16le",
         48000,
         2,
         "the DV muxer refuses frame #9 (Insufficient audio data or severe sync problem) with "
         "Vorbis sound of millisecond timestamps"},
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

class ContainerTest : public testing::TranscoderTest,
                      public ::testing::WithParamInterface<ContainerCase> {};

TEST_P(ContainerTest, ConvertsToTheFamilyAndDecodesCleanly) {
    const ContainerCase& c = GetParam();
    if (c.engineIssue != nullptr) {
        GTEST_SKIP() << "engine: " << c.engineIssue;
    }
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
    EXPECT_NEAR(std::stod(Field(probe, "format.duration")), sourceSeconds, 0.2);

    const quillo::testing::CommandResult decoded = DecodeWithFfmpeg(output);
    EXPECT_EQ(decoded.exitStatus, 0) << decoded.output;
    EXPECT_EQ(decoded.output, "");
}

INSTANTIATE_TEST_SUITE_P(Families, ContainerTest, ::testing::ValuesIn(ContainerCases()),
                         [](const ::testing::TestParamInfo<ContainerCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace quillo::converter
