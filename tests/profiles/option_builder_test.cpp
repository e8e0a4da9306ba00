#include <gtest/gtest.h>

#include "media/media_error.h"
#include "profiles/option_builder.h"
#include "profiles/test_support.h"

namespace quillo::profiles {
namespace {

using converter::InputOptions;
using converter::OutputOptions;
using testing::ScriptedPrompter;
using testing::TempFolder;
using testing::WriteFile;

constexpr int Code = 402;

const SourceFacts Video640x360{.VideoStreamCount = 1,
                               .Width = 640,
                               .Height = 360,
                               .VideoBitRate = 1000000,
                               .AudioSampleRate = 48000,
                               .AudioBitRate = 128000};

// One profile (code 402) written as a catalogue section and a settings section.
class BuilderTest : public ::testing::Test {
protected:
    void Profile(const std::string& catalogue, const std::string& settings) {
        WriteFile(files_.Catalogue, "[formatInfo402]\n" + catalogue);
        WriteFile(files_.Settings, "[formatInfo402]\n" + settings);
    }

    OutputOptions Build(const JobFraming& job = {}, const SourceFacts& source = Video640x360,
                        std::vector<bool> answers = {}) {
        prompter_ = ScriptedPrompter(std::move(answers));
        OutputOptions output;
        input_ = InputOptions{};
        BuildProfileOptions(files_, Code, job, source, output, input_, prompter_);
        return output;
    }

    TempFolder folder_;
    ProfileFiles files_{folder_ / "settings.ini", folder_ / "catalogue.ini"};
    ScriptedPrompter prompter_;
    InputOptions input_;
};

// Zoom arithmetic, straight on ApplyZoom.
struct ZoomCase {
    const char* name;
    JobFraming job;
    int width, height, sourceWidth, sourceHeight;
    const char* frameSize;
    const char* aspect;
    const char* filters;
    int cropTop, cropBottom, cropLeft, cropRight;  // output fields afterwards (start at 0)
};

TEST(Zoom, ModesGiveTheirExactGeometry) {
    const std::vector<ZoomCase> cases = {
        {"lbox 640x360 into 320x240",
         {"lbox"},
         320,
         240,
         640,
         360,
         "320x180",
         "320:180",
         "pad=320:240:0:30",
         0,
         0,
         0,
         0},
        {"lbox with crop 8/8/0/0",
         {"lbox", 8, 8, 0, 0},
         640,
         480,
         1280,
         720,
         "",
         "640:360",
         "crop=x=0:y=8:w=1280:h=704,scale=640:360,pad=640:480:0:60",
         0,
         0,
         0,
         0},
        {"lbox with left and right crop",
         {"lbox", 0, 0, 16, 16},
         640,
         480,
         1280,
         720,
         "",
         "640:360",
         "crop=x=16:y=0:w=1248:h=720,scale=640:360,pad=640:480:0:60",
         0,
         0,
         0,
         0},
        {"lbox pillarbox 640x480 into 1280x720",
         {"lbox"},
         1280,
         720,
         640,
         480,
         "960x720",
         "960:720",
         "pad=1280:720:160:0",
         0,
         0,
         0,
         0},
        {"lbox narrower source",
         {"lbox"},
         320,
         240,
         640,
         720,
         "212x240",
         "212:240",
         "pad=320:240:54:0",
         0,
         0,
         0,
         0},
        {"lbox keeps pads even",
         {"lbox"},
         352,
         240,
         640,
         360,
         "352x200",
         "352:200",
         "pad=352:240:0:20",
         0,
         0,
         0,
         0},
        {"lbox same size",
         {"lbox"},
         640,
         480,
         640,
         480,
         "640x480",
         "640:480",
         "pad=640:480:0:0",
         0,
         0,
         0,
         0},
        {"full with crop",
         {"full", 2, 4, 6, 8},
         320,
         240,
         640,
         360,
         "320x240",
         "320:240",
         "",
         2,
         4,
         6,
         8},
        {"pan 720x576 to 4:3", {"pan"}, 640, 480, 720, 576, "640x480", "640:480", "", 18, 18, 0, 0},
        {"pan 1920x1080 to 4:3",
         {"pan"},
         640,
         480,
         1920,
         1080,
         "640x480",
         "640:480",
         "",
         0,
         0,
         240,
         240},
        {"pan of a 4:3 source", {"pan"}, 640, 480, 640, 480, "640x480", "640:480", "", 0, 0, 0, 0},
        {"pan keeps each side's own margin",
         {"pan", 0, 0, 10, 30},
         640,
         480,
         1920,
         1080,
         "640x480",
         "640:480",
         "",
         0,
         0,
         230,
         250},
        {"center 640x360 into 320x240",
         {"center"},
         320,
         240,
         640,
         360,
         "320x180",
         "320:240",
         "pad=320:240:0:30:black",
         0,
         0,
         0,
         0},
        {"center 1280x720 into 640x480",
         {"center"},
         640,
         480,
         1280,
         720,
         "640x360",
         "640:480",
         "pad=640:480:0:60:black",
         0,
         0,
         0,
         0},
        {"center 640x480 into 1280x720",
         {"center"},
         1280,
         720,
         640,
         480,
         "640x480",
         "1280:720",
         "pad=960:480:160:0:black",
         0,
         0,
         0,
         0},
        {"center same size",
         {"center"},
         640,
         480,
         640,
         480,
         "640x480",
         "640:480",
         "pad=640:480:0:0:black",
         0,
         0,
         0,
         0},
        {"unknown mode does nothing", {"zoom"}, 640, 480, 640, 360, "", "", "", 0, 0, 0, 0},
        {"unknown source size falls back to full",
         {"lbox"},
         320,
         240,
         -1,
         -1,
         "320x240",
         "320:240",
         "",
         0,
         0,
         0,
         0},
    };
    for (const ZoomCase& c : cases) {
        OutputOptions output;
        output.CropTop = output.CropBottom = output.CropLeft = output.CropRight = 0;
        if (std::string(c.name).starts_with("lbox with")) {
            // Batch start has copied the job's margins into the record already.
            output.CropTop = c.job.CropTop;
            output.CropBottom = c.job.CropBottom;
            output.CropLeft = c.job.CropLeft;
            output.CropRight = c.job.CropRight;
        }
        const std::string filters =
            ApplyZoom(c.job, c.width, c.height, c.sourceWidth, c.sourceHeight, output);
        EXPECT_EQ(output.FrameSize, c.frameSize) << c.name;
        EXPECT_EQ(output.AspectRatio, c.aspect) << c.name;
        EXPECT_EQ(filters, c.filters) << c.name;
        EXPECT_EQ(output.CropTop, c.cropTop) << c.name;
        EXPECT_EQ(output.CropBottom, c.cropBottom) << c.name;
        EXPECT_EQ(output.CropLeft, c.cropLeft) << c.name;
        EXPECT_EQ(output.CropRight, c.cropRight) << c.name;
    }
}

TEST(Zoom, PanAndScanLeavesAFourByThreePicture) {
    for (const auto& [width, height] : std::initializer_list<std::pair<int, int>>{
             {720, 576}, {1920, 1080}, {1280, 720}, {640, 360}, {720, 480}, {480, 640}}) {
        OutputOptions output;
        output.CropTop = output.CropBottom = output.CropLeft = output.CropRight = 0;
        ApplyZoom({"pan"}, 640, 480, width, height, output);
        const double left = width - output.CropLeft - output.CropRight;
        const double top = height - output.CropTop - output.CropBottom;
        EXPECT_NEAR(left / top, 4.0 / 3.0, 0.02) << width << "x" << height;
    }
}

TEST(Zoom, CentreFramesAlwaysFitTheirCanvas) {
    for (const auto& [w, h, sw, sh] :
         std::initializer_list<std::array<int, 4>>{{320, 240, 640, 360},
                                                   {640, 400, 640, 360},
                                                   {1280, 720, 640, 480},
                                                   {352, 288, 176, 144},
                                                   {320, 480, 640, 360},
                                                   {704, 576, 640, 480}}) {
        OutputOptions output;
        const std::string filters = ApplyZoom({"center"}, w, h, sw, sh, output);
        int canvasW = 0, canvasH = 0, x = 0, y = 0, frameW = 0, frameH = 0;
        ASSERT_EQ(sscanf(filters.c_str(), "pad=%d:%d:%d:%d:black", &canvasW, &canvasH, &x, &y), 4)
            << filters;
        ASSERT_EQ(sscanf(output.FrameSize.c_str(), "%dx%d", &frameW, &frameH), 2);
        EXPECT_LE(frameW + x, canvasW) << filters << " " << output.FrameSize;
        EXPECT_LE(frameH + y, canvasH) << filters << " " << output.FrameSize;
        EXPECT_GT(frameW, 0);
        EXPECT_GT(frameH, 0);
    }
}

TEST(Zoom, CropThatLeavesNoPictureIsRefused) {
    OutputOptions output;
    EXPECT_THROW(ApplyZoom({"lbox", 0, 0, 320, 320}, 320, 240, 640, 360, output),
                 media::MediaError);
}

TEST_F(BuilderTest, VideoProfileFillsCodecsRatesSizeAndFilters) {
    Profile("Format=avi\nFileExt=avi\n",
            "paraVideoEncoder=libxvid\nparaVideoSize=320x240\nparaVideoBitRate=1200\n"
            "paraFrameRate=25\nparaAudioEncoder=libmp3lame\nparaSampleRate=44100\n"
            "paraAudioBitRate=128\nparaChannel=2\nparaVolume=256\n");
    const OutputOptions output = Build({"lbox"});
    EXPECT_EQ(output.FileFormat, "avi");
    EXPECT_EQ(output.VideoCodec, "libxvid");
    EXPECT_EQ(output.VideoBitrate, 1200000);
    EXPECT_EQ(output.FrameRate, "25");
    EXPECT_EQ(output.FrameSize, "320x180");
    EXPECT_EQ(output.AspectRatio, "320:180");
    EXPECT_EQ(output.VideoFilters, "pad=320:240:0:30");
    EXPECT_EQ(output.CropTop, 0);
    EXPECT_EQ(output.CropRight, 0);
    EXPECT_EQ(output.AudioCodec, "libmp3lame");
    EXPECT_EQ(output.AudioSampleRate, 44100);
    EXPECT_EQ(output.AudioBitrate, 128000);
    EXPECT_EQ(output.AudioChannels, 2);
    EXPECT_EQ(output.AudioVolume, -1);
    EXPECT_FALSE(output.DisableAudio || output.DisableVideo || output.DisableSubtitle);
    EXPECT_EQ(output.Target, 0);
    EXPECT_TRUE(input_.ExtOptions.empty());
    EXPECT_TRUE(prompter_.questions.empty());
}

TEST_F(BuilderTest, EncoderNamesChooseCodecPresetAndTarget) {
    struct Case {
        const char* format;
        const char* encoder;
        const char* codec;
        const char* preset;
        int target;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"avi", "mpeg4", "mpeg4", "", 0},
             {"vob", "mpeg2video", "mpeg2video", "", 3},
             {"PSP", "libx264", "libx264", "libx264-psp", 0},
             {"ipod", "libx264", "libx264", "libx264-ipod", 0},
             {"ps3", "libx264", "libx264", "libx264-ps3", 0},
             {"mp4", "libx264", "libx264", "libx264-mp4", 0},
             {"flv", "flv", "", "", 0},
             {"asf", "wmv3", "", "", 0},
             {"avi", "MPEG4", "", "", 0},
         }) {
        Profile(std::string("Format=") + c.format + "\n",
                std::string("paraVideoEncoder=") + c.encoder + "\nparaVideoSize=320x240\n");
        const OutputOptions output = Build({"full"});
        EXPECT_EQ(output.VideoCodec, c.codec) << c.encoder;
        EXPECT_EQ(output.VideoPreset, c.preset) << c.encoder << " " << c.format;
        EXPECT_EQ(output.Target, c.target) << c.encoder;
    }
}

TEST_F(BuilderTest, StandardTargetsSetTargetNormAndAspect) {
    struct Case {
        const char* format;
        const char* size;
        int target, norm;
        const char* aspect;
        const char* fileFormat;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"ntsc-dvd", "720x480", 3, 2, "16:9", ""},
             {"ntsc-dvd", "720x576", 3, 2, "4:3", ""},
             {"PAL-DVD", "720x576", 3, 1, "16:9", ""},
             {"ntsc-vcd", "352x240", 1, 2, "4:3", ""},
             {"pal-vcd", "352x288", 1, 1, "4:3", ""},
             {"ntsc-svcd", "480x480", 2, 2, "4:3", ""},
             {"pal-svcd", "480x576", 2, 1, "4:3", ""},
             {"vcd", "352x240", 0, 0, "", "vcd"},
         }) {
        Profile(std::string("Format=") + c.format + "\n",
                std::string("paraVideoEncoder=mpeg1video\nparaVideoSize=") + c.size + "\n");
        // A zoom keyword of no mode leaves the target's aspect in place.
        const OutputOptions output = Build({"none"});
        EXPECT_EQ(output.Target, c.target) << c.format;
        EXPECT_EQ(output.TargetNorm, c.norm) << c.format;
        EXPECT_EQ(output.AspectRatio, c.aspect) << c.format << " " << c.size;
        EXPECT_EQ(output.FileFormat, c.fileFormat) << c.format;
    }
    Profile("Format=ntsc-dvd\n", "paraVideoEncoder=mpeg2video\nparaVideoSize=720x480\n");
    EXPECT_EQ(Build({"full"}).AspectRatio, "720:480");
}

TEST_F(BuilderTest, FrameSizeFromTheProfileTheSourceOrTheQuestion) {
    struct Case {
        const char* setting;  // nullptr: key missing
        std::vector<bool> answers;
        const char* frameSize;
        bool asked;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"as source", {}, "640x360", false},
             {"320x", {true}, "320x240", true},
             {"320x", {false}, "640x360", true},
             {nullptr, {true}, "320x240", true},
             {nullptr, {false}, "640x360", true},
             {"x240", {true}, "320x240", true},
             {"400xabc", {}, "400x360", false},
             {"0x0", {}, "640x360", false},
         }) {
        Profile("Format=avi\n",
                std::string("paraVideoEncoder=mpeg4\n") +
                    (c.setting ? std::string("paraVideoSize=") + c.setting + "\n" : std::string()));
        const OutputOptions output = Build({"full"}, Video640x360, c.answers);
        const std::string name = c.setting ? c.setting : "(missing)";
        EXPECT_EQ(output.FrameSize, c.frameSize) << name;
        ASSERT_EQ(prompter_.questions.size(), c.asked ? 1u : 0u) << name;
        if (c.asked) {
            EXPECT_EQ(prompter_.questions[0],
                      "Warning|Error output Video Size.Use the default size 320x240?");
        }
    }
}

TEST_F(BuilderTest, H263GetsOnlySizesItsEncoderTakes) {
    struct Case {
        const char* size;
        std::vector<bool> answers;
        const char* frameSize;
    };
    for (const Case& c : std::initializer_list<Case>{{"400x300", {}, "704x576"},
                                                     {"176x144", {}, "176x144"},
                                                     {"128x96", {}, "128x96"},
                                                     {"300x200", {}, "352x288"},
                                                     {"52x288", {}, "176x144"},
                                                     {"160x120", {}, "176x144"},
                                                     {"as source", {}, "704x576"},
                                                     {"320", {true}, "352x288"}}) {
        Profile("Format=3gp\n",
                std::string("paraVideoEncoder=h263\nparaVideoSize=") + c.size + "\n");
        EXPECT_EQ(Build({"full"}, Video640x360, c.answers).FrameSize, c.frameSize) << c.size;
    }
}

TEST_F(BuilderTest, AudioOnlyProfileUsesItsDefaults) {
    Profile("Format=mp3\n", "");
    const OutputOptions output = Build();
    EXPECT_EQ(output.AudioCodec, "libfaac");
    EXPECT_EQ(output.FileFormat, "");
    EXPECT_EQ(output.AudioChannels, 2);
    EXPECT_EQ(output.AudioSampleRate, 44100);
    EXPECT_EQ(output.AudioBitrate, 128000);
    EXPECT_EQ(output.AudioVolume, -1);
    EXPECT_TRUE(output.DisableVideo);
    EXPECT_TRUE(output.DisableSubtitle);
    EXPECT_FALSE(output.DisableAudio);
    EXPECT_EQ(input_.ExtOptions, "vn=1");
    EXPECT_TRUE(output.VideoCodec.empty());
    EXPECT_TRUE(output.FrameSize.empty());
    EXPECT_EQ(output.CropTop, -1);

    Profile("Format=AC3\n",
            "paraVideoEncoder=  \nparaAudioEncoder=ac3\nparaChannel=as source\n"
            "paraSampleRate=48000\nparaAudioBitRate=192.5\nparaVolume=512\n");
    const OutputOptions ac3 = Build();
    EXPECT_EQ(ac3.FileFormat, "ac3");
    EXPECT_EQ(ac3.AudioCodec, "ac3");
    EXPECT_EQ(ac3.AudioChannels, -1);
    EXPECT_EQ(ac3.AudioSampleRate, 48000);
    EXPECT_EQ(ac3.AudioBitrate, 192500);
    EXPECT_EQ(ac3.AudioVolume, 512);
}

TEST_F(BuilderTest, AsSourceRatesKeepTheSourceOnlyInsideTheCatalogueRange) {
    struct Case {
        int sourceRate;
        int sourceBitRate;
        int sampleRate;
        int bitrate;
    };
    for (const Case& c : std::initializer_list<Case>{{48000, 320000, 22050, 96000},
                                                     {44100, 128000, 44100, 128000},
                                                     {22050, 64000, 22050, 64000},
                                                     {8000, 32000, 22050, 96000}}) {
        Profile(
            "SampleRate=as source,22050,44100\nAudioBitRate=as source,64,128\n"
            "paraSampleRate=22050\nparaAudioBitRate=96\n",
            "paraAudioEncoder=libmp3lame\nparaSampleRate=as source\n"
            "paraAudioBitRate=as source\n");
        SourceFacts source = Video640x360;
        source.AudioSampleRate = c.sourceRate;
        source.AudioBitRate = c.sourceBitRate;
        const OutputOptions output = Build({}, source);
        EXPECT_EQ(output.AudioSampleRate, c.sampleRate) << c.sourceRate;
        EXPECT_EQ(output.AudioBitrate, c.bitrate) << c.sourceBitRate;
    }
}

TEST_F(BuilderTest, VideoBitRateAsSourceAndItsFallbacks) {
    struct Case {
        const char* fallback;
        int sourceBitRate;
        int expected;
    };
    for (const Case& c : std::initializer_list<Case>{{"700", 1000000, 1000000},
                                                     {"700", 9000000, 700000},
                                                     {"as source", 9000000, -1},
                                                     {"AS SOURCE", 9000000, -1}}) {
        Profile(
            std::string("VideoBitRate=as source,500,2000\nparaVideoBitRate=") + c.fallback + "\n",
            "paraVideoEncoder=mpeg4\nparaVideoSize=320x240\nparaVideoBitRate=as source\n");
        SourceFacts source = Video640x360;
        source.VideoBitRate = c.sourceBitRate;
        EXPECT_EQ(Build({"full"}, source).VideoBitrate, c.expected) << c.fallback;
    }
}

TEST_F(BuilderTest, MalformedCatalogueNumbersRaiseTheConversionError) {
    struct Case {
        const char* catalogue;
        const char* settings;
        const char* message;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"SampleRate=as source,abc,44100\n", "paraSampleRate=as source\n",
              "'abc' is not a valid floating point value"},
             {"SampleRate=as source,22050,\n", "paraSampleRate=as source\n",
              "'' is not a valid floating point value"},
             {"", "paraVolume=loud\n", "'loud' is not a valid integer value"},
         }) {
        Profile(c.catalogue, c.settings);
        try {
            Build();
            ADD_FAILURE() << "no error for " << c.catalogue << c.settings;
        } catch (const media::MediaError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    }
}

// A fallback stands in for a source value outside the catalogue's range; one that is not a
// positive number leaves its option unset instead of stopping the batch.
TEST_F(BuilderTest, CatalogueFallbacksAreUsedOnlyWhenPositiveNumbers) {
    struct Case {
        const char* key;
        const char* fallback;
        std::int32_t OutputOptions::*field;
        std::int32_t expected;
    };
    const std::int32_t Unset = -1;
    for (const Case& c : std::initializer_list<Case>{
             {"paraSampleRate", "22050", &OutputOptions::AudioSampleRate, 22050},
             {"paraSampleRate", "", &OutputOptions::AudioSampleRate, Unset},
             {"paraSampleRate", "fast", &OutputOptions::AudioSampleRate, Unset},
             {"paraSampleRate", "0", &OutputOptions::AudioSampleRate, Unset},
             {"paraSampleRate", "-8000", &OutputOptions::AudioSampleRate, Unset},
             {"paraSampleRate", "22050.5", &OutputOptions::AudioSampleRate, Unset},
             {"paraSampleRate", "as source", &OutputOptions::AudioSampleRate, Unset},
             {"paraAudioBitRate", "96", &OutputOptions::AudioBitrate, 96000},
             {"paraAudioBitRate", "96.5", &OutputOptions::AudioBitrate, 96500},
             {"paraAudioBitRate", "", &OutputOptions::AudioBitrate, Unset},
             {"paraAudioBitRate", "none", &OutputOptions::AudioBitrate, Unset},
             {"paraAudioBitRate", "0", &OutputOptions::AudioBitrate, Unset},
             {"paraAudioBitRate", "-96", &OutputOptions::AudioBitrate, Unset},
             {"paraVideoBitRate", "700", &OutputOptions::VideoBitrate, 700000},
             {"paraVideoBitRate", "none", &OutputOptions::VideoBitrate, Unset},
             {"paraVideoBitRate", "", &OutputOptions::VideoBitrate, Unset},
             {"paraVideoBitRate", "0", &OutputOptions::VideoBitrate, Unset},
             {"paraVideoBitRate", "-700", &OutputOptions::VideoBitrate, Unset},
         }) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.fallback);
        Profile(
            "SampleRate=as source,22050,44100\nAudioBitRate=as source,64,128\n"
            "VideoBitRate=as source,500,2000\n" +
                std::string(c.key) + "=" + c.fallback + "\n",
            "paraVideoEncoder=mpeg4\nparaVideoSize=320x240\nparaVideoBitRate=as source\n"
            "paraAudioEncoder=libmp3lame\nparaSampleRate=as source\n"
            "paraAudioBitRate=as source\n");
        SourceFacts source = Video640x360;  // every value outside its range
        source.AudioSampleRate = 8000;
        source.AudioBitRate = 32000;
        source.VideoBitRate = 9000000;
        try {
            EXPECT_EQ(Build({"full"}, source).*c.field, c.expected);
        } catch (const media::MediaError& error) {
            ADD_FAILURE() << error.what();
        }
    }
}

TEST_F(BuilderTest, RangeTestReadsBoundsFromTheCatalogueList) {
    struct Case {
        const char* list;
        double value;
        bool inside;
    };
    for (const Case& c : std::initializer_list<Case>{{"as source,22050,44100", 48000, false},
                                                     {"as source,22050,44100", 44100, true},
                                                     {"as source,22050,44100", 22050, true},
                                                     {"as source,22050,44100", 22049, false},
                                                     {"8000,16000,32000", 16000, true},
                                                     {"8000,16000,32000", 32001, false},
                                                     // Two entries: the maximum is the minimum.
                                                     {"8000,16000", 8000, true},
                                                     {"8000,16000", 12000, false},
                                                     {"As Source,64", 64, true},
                                                     {"as source,64", 65, false},
                                                     {"44100", 44100, false},
                                                     {",22050,44100", 30000, false},
                                                     {"null", 44100, false}}) {
        Profile(std::string("SampleRate=") + c.list + "\n", "");
        EXPECT_EQ(SourceValueInRange(files_, "audiosamplerate", c.value, Code), c.inside)
            << c.list << " " << c.value;
    }
    EXPECT_FALSE(SourceValueInRange(files_, "framerate", 25, Code));
}

// Bit rates come in bit/s, as the probe gives them; the catalogue lists them in kbit/s.
TEST_F(BuilderTest, RangeTestTakesBitRatesInBitsPerSecond) {
    struct Case {
        const char* parameter;
        double bitsPerSecond;
        bool inside;
    };
    Profile("AudioBitRate=as source,64,320\nVideoBitRate=500,700,900\n", "");
    for (const Case& c : std::initializer_list<Case>{{"audiobitrate", 128000, true},
                                                     {"audiobitrate", 64000, true},
                                                     {"audiobitrate", 63999, false},
                                                     {"audiobitrate", 320000, true},
                                                     {"audiobitrate", 320001, false},
                                                     {"audiobitrate", 128, false},
                                                     {"videobitrate", 500000, true},
                                                     {"videobitrate", 499999, false},
                                                     {"videobitrate", 900000, true},
                                                     {"videobitrate", 900001, false},
                                                     {"videobitrate", 700, false}}) {
        EXPECT_EQ(SourceValueInRange(files_, c.parameter, c.bitsPerSecond, Code), c.inside)
            << c.parameter << " " << c.bitsPerSecond;
    }
}

TEST_F(BuilderTest, SourceWithoutVideoConvertsOnlyItsAudio) {
    Profile("Format=avi\n",
            "paraVideoEncoder=mpeg4\nparaVideoSize=320x240\nparaAudioEncoder=libamr_nb\n");
    SourceFacts audio;
    audio.AudioSampleRate = 44100;
    audio.AudioBitRate = 128000;
    const OutputOptions output = Build({"lbox"}, audio);
    EXPECT_TRUE(output.DisableVideo);
    EXPECT_EQ(output.VideoCodec, "mpeg4");
    EXPECT_TRUE(output.FrameSize.empty());
    EXPECT_TRUE(output.FileFormat.empty());
    EXPECT_EQ(output.VideoBitrate, -1);
    EXPECT_EQ(output.CropTop, -1);
    EXPECT_EQ(output.AudioCodec, "libopencore_amrnb");
    EXPECT_EQ(output.AudioSampleRate, 44100);
    EXPECT_TRUE(input_.ExtOptions.empty());
}

TEST_F(BuilderTest, VideoProfileDetails) {
    Profile("Format=dv\n",
            "paraVideoEncoder=dvvideo\nparaVideoSize=720x480\nparaFrameRate=as source\n"
            "paraAudioEncoder=\nparaChannel=0\n");
    OutputOptions output = Build({"full"});
    EXPECT_EQ(output.FileFormat, "dv");
    EXPECT_TRUE(output.FrameRate.empty());
    EXPECT_EQ(output.ExtOptions, "pix_fmt=yuv411p");
    EXPECT_TRUE(output.DisableAudio);
    EXPECT_EQ(output.AudioSync, 0);
    EXPECT_EQ(output.AudioChannels, 0);
    EXPECT_EQ(output.VideoBitrate, 512000);

    Profile("Format=dv\n",
            "paraVideoEncoder=dvvideo\nparaVideoSize=720x576\nparaAudioEncoder=pcm_s16le\n");
    output = Build({"full"});
    EXPECT_EQ(output.FrameRate, "29.97");
    EXPECT_TRUE(output.ExtOptions.empty());
    // DV with sound pads the start of the sound to the picture's.
    EXPECT_EQ(output.AudioSync, 1);

    // Filters already in the record are kept in front of the zoom's.
    Profile("Format=avi\n", "paraVideoEncoder=mpeg4\nparaVideoSize=320x240\n");
    prompter_ = ScriptedPrompter();
    OutputOptions withFilter;
    withFilter.VideoFilters = "hflip";
    withFilter.CropLeft = 4;
    InputOptions input;
    BuildProfileOptions(files_, Code, {"lbox"}, Video640x360, withFilter, input, prompter_);
    EXPECT_EQ(withFilter.VideoFilters, "hflip,pad=320:240:0:30");
    EXPECT_EQ(withFilter.CropLeft, 4);
    EXPECT_EQ(withFilter.CropTop, 0);
}

}  // namespace
}  // namespace quillo::profiles
