#include <gtest/gtest.h>

#include <fstream>

#include "converter/transcoder_test_support.h"
#include "media/library_bindings.h"
#include "media/library_loader.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace quillo::converter {
namespace {

using media::LogLevel;
using testing::TranscoderTest;
namespace lib = media::lib;

using OptionsTest = TranscoderTest;

TEST_F(OptionsTest, DefaultsOfANewTask) {
    const OptionState& o = engine_.Options();
    EXPECT_EQ(o.audioSampleRate, 44100);
    EXPECT_EQ(o.audioChannels, 2);
    EXPECT_EQ(o.audioQScale, -99999.0F);
    EXPECT_EQ(o.audioVolume, 256);
    EXPECT_EQ(o.maxVideoFrames, INT_MAX);
    EXPECT_EQ(o.recordingTime, INT64_MAX);
    EXPECT_EQ(o.muxPreload, 0.5F);
    EXPECT_EQ(o.muxMaxDelay, 0.7F);
    EXPECT_EQ(o.loopOutput, -1);
    EXPECT_EQ(o.videoSyncMethod, -1);
    EXPECT_EQ(o.intraDcPrecision, 8);
    EXPECT_EQ(o.topFieldFirst, -1);
    EXPECT_EQ(o.verbose, 1);
    EXPECT_EQ(o.framePixelFormat, AV_PIX_FMT_NONE);
    EXPECT_EQ(o.scalerFlags, SWS_BICUBIC);
    EXPECT_EQ(o.inputTimestampScale[19], 1.0);
    EXPECT_EQ(engine_.TotalDuration(), -1);
}

// Every option of the table that stores a value, with the value it stores.
TEST_F(OptionsTest, EachOptionSetsItsState) {
    const auto& o = engine_.Options();
    struct Case {
        const char* name;
        const char* value;
        std::function<bool()> check;
    };
    const std::vector<Case> cases = {
        {"f", "avi", [&] { return o.fileFormat == "avi"; }},
        {"t", "00:01:02.5", [&] { return o.recordingTime == 62'500'000; }},
        {"fs", "5000000000", [&] { return o.limitFileSize == 5'000'000'000; }},
        {"ss", "12.25", [&] { return o.startTime == 12'250'000; }},
        {"itsoffset", "-1.5", [&] { return o.inputTimeOffset == -1'500'000; }},
        {"itsscale", "3:0.5", [&] { return o.inputTimestampScale[3] == 0.5; }},
        {"timestamp", "2010-06-15 12:00:00", [&] { return o.recordingTimestamp > 1'276'000'000; }},
        {"dframes", "3", [&] { return o.maxDataFrames == 3; }},
        {"vframes", "100", [&] { return o.maxVideoFrames == 100; }},
        {"aframes", "7", [&] { return o.maxAudioFrames == 7; }},
        {"dump", "", [&] { return o.packetDump; }},
        {"hex", "1", [&] { return o.hexDump; }},
        {"re", "1", [&] { return o.rateEmulation; }},
        {"loop_input", "1", [&] { return o.loopInput; }},
        {"intra", "1", [&] { return o.intraOnly; }},
        {"sameq", "1", [&] { return o.sameQuality; }},
        {"deinterlace", "1", [&] { return o.deinterlace; }},
        {"psnr", "1", [&] { return o.psnr; }},
        {"qphist", "1", [&] { return o.qpHistogram; }},
        {"force_fps", "1", [&] { return o.forceFps; }},
        {"isync", "1", [&] { return o.inputSync; }},
        {"shortest", "1", [&] { return o.shortest; }},
        {"vn", "1", [&] { return o.videoDisable; }},
        {"vn", "0", [&] { return !o.videoDisable; }},
        {"an", "yes", [&] { return o.audioDisable; }},
        {"sn", "1", [&] { return o.subtitleDisable; }},
        {"loop_output", "3", [&] { return o.loopOutput == 3; }},
        {"v", "2", [&] { return o.verbose == 2; }},
        {"vsync", "0", [&] { return o.videoSyncMethod == 0; }},
        {"async", "1", [&] { return o.audioSyncMethod == 1; }},
        {"vglobal", "2", [&] { return o.videoGlobalHeader == 2; }},
        {"programid", "5", [&] { return o.programId == 5; }},
        {"copyinkf", "1", [&] { return o.copyInitialNonKeyframes == 1; }},
        {"vdt", "8", [&] { return o.videoDiscard == 8; }},
        {"dc", "10", [&] { return o.intraDcPrecision == 10; }},
        {"adrift_threshold", "0.25", [&] { return o.audioDriftThreshold == 0.25F; }},
        {"dts_delta_threshold", "5", [&] { return o.dtsDeltaThreshold == 5.0F; }},
        {"copyts", "0", [&] { return o.copyTimestamps; }},  // true whatever the value
        {"xerror", "0", [&] { return o.exitOnError; }},
        {"r", "ntsc", [&] { return o.frameRate.num == 30000 && o.frameRate.den == 1001; }},
        {"r", "12.5", [&] { return av_q2d(o.frameRate) == 12.5; }},
        {"s", "cif", [&] { return o.frameWidth == 352 && o.frameHeight == 288; }},
        {"s", "", [&] { return o.frameWidth == 352; }},  // empty: ignored
        {"aspect", "16:9", [&] { return std::abs(o.frameAspectRatio - 16.0 / 9) < 1e-9; }},
        {"aspect", "1.5", [&] { return o.frameAspectRatio == 1.5; }},
        {"pix_fmt", "yuv422p", [&] { return o.framePixelFormat == AV_PIX_FMT_YUV422P; }},
        {"qscale", "255", [&] { return o.videoQScale == 255.0F; }},
        {"rc_override", "0,10,2", [&] { return o.rcOverride == "0,10,2"; }},
        {"vcodec", "copy", [&] { return o.videoStreamCopy && o.videoCodecName == "copy"; }},
        {"vcodec", "mpeg4", [&] { return !o.videoStreamCopy && o.videoCodecName == "mpeg4"; }},
        {"vcodec", "", [&] { return o.videoCodecName == "mpeg4"; }},  // empty: ignored
        {"acodec", "mp2", [&] { return o.audioCodecName == "mp2"; }},
        {"scodec", "copy", [&] { return o.subtitleStreamCopy; }},
        {"me_threshold", "4", [&] { return o.meThreshold == 4; }},
        {"pass", "2", [&] { return o.pass == 2; }},
        {"passlogfile", "/tmp/two", [&] { return o.passLogFileName == "/tmp/two"; }},
        {"vstats_file", "/tmp/v.log", [&] { return o.videoStatsFileName == "/tmp/v.log"; }},
        {"vstats", "", [&] { return o.videoStatsFileName.find("vstats_") != std::string::npos; }},
        {"vfilters", "scale=10:10", [&] { return o.videoFilters == "scale=10:10"; }},
        {"vf", "hflip", [&] { return o.videoFilters == "hflip"; }},
        {"top", "1", [&] { return o.topFieldFirst == 1; }},
        {"vtag", "XVID", [&] { return o.videoCodecTag == "XVID"; }},
        {"atag", "mp4a", [&] { return o.audioCodecTag == "mp4a"; }},
        {"stag", "tx3g", [&] { return o.subtitleCodecTag == "tx3g"; }},
        {"vlang", "eng", [&] { return o.videoLanguage == "eng"; }},
        {"alang", "fre", [&] { return o.audioLanguage == "fre"; }},
        {"slang", "ger", [&] { return o.subtitleLanguage == "ger"; }},
        {"streamid", "2:300", [&] { return o.streamIdMap[2] == 300; }},
        {"aq", "3.5", [&] { return o.audioQScale == 3.5F; }},
        {"ar", "22050", [&] { return o.audioSampleRate == 22050; }},
        {"ar", "0", [&] { return o.audioSampleRate == 22050; }},  // <= 0: ignored
        {"ac", "6", [&] { return o.audioChannels == 6; }},
        {"ac", "-1", [&] { return o.audioChannels == 6; }},
        {"vol", "512", [&] { return o.audioVolume == 512; }},
        {"sample_fmt", "s16", [&] { return o.audioSampleFormat == AV_SAMPLE_FMT_S16; }},
        {"vc", "2", [&] { return o.videoChannel == 2; }},
        {"tvstd", "pal", [&] { return o.videoStandard == "pal"; }},
        {"muxdelay", "0.2", [&] { return o.muxMaxDelay == 0.2F; }},
        {"muxpreload", "0.1", [&] { return o.muxPreload == 0.1F; }},
        {"vbsf", "h264_mp4toannexb", [&] { return o.videoBitstreamFilters.size() == 1; }},
        {"absf", "aac_adtstoasc", [&] { return o.audioBitstreamFilters.size() == 1; }},
        {"sbsf", "null", [&] { return o.subtitleBitstreamFilters.size() == 1; }},
        {"map", "0:1",
         [&] {
             const StreamMap& m = o.streamMaps.back();
             return m.fileIndex == 0 && m.streamIndex == 1 && m.syncFileIndex == 0 &&
                    m.syncStreamIndex == 1;
         }},
        {"map", "1.0x10:0.2",
         [&] {
             const StreamMap& m = o.streamMaps.back();
             return m.fileIndex == 1 && m.streamIndex == 16 && m.syncFileIndex == 0 &&
                    m.syncStreamIndex == 2;
         }},
        {"map_meta_data", "0:1",
         [&] {
             return o.metaDataMaps.back().outputFile == 0 && o.metaDataMaps.back().inputFile == 1;
         }},
        {"metadata", "comment=a=b",
         [&] {
             return o.metadata.back() == std::pair<std::string, std::string>("comment", "a=b");
         }},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Refusal(c.name, c.value), "") << c.name << "=" << c.value;
        EXPECT_TRUE(c.check()) << c.name << "=" << c.value;
    }
}

TEST_F(OptionsTest, RefusalsSayWhyAndChangeNothing) {
    engine_.SetOption("s", "320x240");
    engine_.SetOption("r", "25");
    const std::vector<std::tuple<const char*, const char*, std::string>> cases = {
        {"padtop", "10", "Please use vfilters=pad"},
        {"padcolor", "000000", "Please use vfilters=pad"},
        {"qscale", "0", "qscale must be > 0.0 and <= 255"},
        {"qscale", "256", "qscale must be > 0.0 and <= 255"},
        {"threads", "2", "TODO: option - threads"},
        {"r", "fast", "Incorrect frame rate"},
        {"s", "big", "Incorrect frame size"},
        {"aspect", "0", "Incorrect aspect ratio specification."},
        {"aspect", "4:0", "Incorrect aspect ratio specification."},
        {"pix_fmt", "yuv999", "Unknown pixel format requested: yuv999"},
        {"sample_fmt", "s99", "Unknown sample format requested: s99"},
        {"croptop", "240",
         "Vertical crop dimensions are outside the range of the original "
         "image.\nRemember to crop first and scale second."},
        {"cropleft", "400",
         "Horizontal crop dimensions are outside the range of the original "
         "image.\nRemember to crop first and scale second."},
        {"pass", "3", "pass number can be only 1 or 2"},
        {"metadata", "title", "Missing ="},
        {"itsscale", "20:2", "stream index over MAX_STREAMS(20)"},
        {"vtag", "XVI", "video tag parameter must be 4 chars"},
        {"atag", "mp4aa", "audio tag parameter must be 4 chars"},
        {"stag", "", "subtitle tag parameter must be 4 chars"},
        {"streamid", "3",
         "Invalid value \"3\" for option \"streamid\", required syntax is "
         "\"index:value\""},
        {"streamid", ":3",
         "Invalid value \":3\" for option \"streamid\", required syntax is "
         "\"index:value\""},
        {"vbsf", "no_such_filter=x", "Unknown bitstream filter no_such_filter"},
        {"intra_matrix", "1,2,3", "Syntax error in matrix \"1,2,3\" at coeff 2"},
        {"newvideo", "", "At least one output file must be specified"},
        {"target", "pal-laserdisc", "Unknown target type"},
        {"ss", "soon", "Invalid duration specification for ss: soon"},
        {"timestamp", "someday", "Invalid date specification for timestamp: someday"},
        {"vframes", "many", "'many' is not a valid integer value for option \"vframes\""},
        {"aq", "1,5", "'1,5' is not a valid floating point value for option \"aq\""},
        {"loglevel", "loud", "'loud' is not a valid integer value for option \"loglevel\""},
        {"ar", "", "'' is not a valid integer value for option \"ar\""},
        {"vpre", "/no/such/preset.ffpreset", "Preset \"/no/such/preset.ffpreset\" not found"},
        {"vhook", "/no/such/module.so", "Failed to add video hook function: /no/such/module.so"},
    };
    for (const auto& [name, value, message] : cases) {
        const OptionState before = engine_.Options();
        EXPECT_EQ(Refusal(name, value), message) << name << "=" << value;
        const OptionState& after = engine_.Options();
        EXPECT_EQ(after.frameWidth, before.frameWidth) << name;
        EXPECT_EQ(after.frameHeight, before.frameHeight) << name;
        EXPECT_EQ(after.videoQScale, before.videoQScale) << name;
        EXPECT_EQ(after.metadata.size(), before.metadata.size()) << name;
        EXPECT_EQ(after.frameRate.num, before.frameRate.num) << name;
    }
}

TEST_F(OptionsTest, CropBandsShrinkTheFrameAndWarn) {
    engine_.SetOption("s", "320x240");
    EXPECT_EQ(Refusal("croptop", "0"), "");
    EXPECT_TRUE(logged_.empty());
    EXPECT_EQ(Refusal("croptop", "-4"), "");
    EXPECT_EQ(engine_.Options().frameHeight, 240);

    engine_.SetOption("croptop", "16");
    engine_.SetOption("cropright", "20");
    EXPECT_EQ(engine_.Options().frameTopBand, 16);
    EXPECT_EQ(engine_.Options().frameRightBand, 20);
    EXPECT_EQ(engine_.Options().frameHeight, 224);
    EXPECT_EQ(engine_.Options().frameWidth, 300);
    EXPECT_TRUE(Logged(LogLevel::llWarning, "CropTop is deprecated in favor of the crop avfilter"));
    EXPECT_TRUE(
        Logged(LogLevel::llWarning, "CropRight is deprecated in favor of the crop avfilter"));
    // Equal to what is left of the height is refused.
    EXPECT_EQ(Refusal("cropbottom", "224"),
              "Vertical crop dimensions are outside the range of the original image.\n"
              "Remember to crop first and scale second.");
}

TEST_F(OptionsTest, LowBitRatesAreSetButWarnedAbout) {
    const std::string warning =
        "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s";
    engine_.SetOption("b", "800000");
    EXPECT_FALSE(Logged(LogLevel::llWarning, warning));
    EXPECT_EQ(engine_.LibraryOptions().Codec(AVMEDIA_TYPE_VIDEO).bit_rate, 800000);

    engine_.SetOption("b", "800");
    EXPECT_TRUE(Logged(LogLevel::llWarning, warning));
    EXPECT_EQ(engine_.LibraryOptions().Codec(AVMEDIA_TYPE_VIDEO).bit_rate, 800);

    logged_.clear();
    engine_.SetOption("ab", "64");
    EXPECT_TRUE(Logged(LogLevel::llWarning, warning));
    EXPECT_EQ(engine_.LibraryOptions().Codec(AVMEDIA_TYPE_AUDIO).bit_rate, 64);
}

TEST_F(OptionsTest, InformationalOptionsOnlyLog) {
    engine_.SetOption("y", "");
    engine_.SetOption("benchmark", "1");
    engine_.SetOption("timelimit", "10");
    engine_.SetOption("f", "pgmyuv");
    EXPECT_TRUE(Logged(LogLevel::llInfo, "Do nothing: option - y"));
    EXPECT_TRUE(Logged(LogLevel::llInfo, "Do nothing: option - benchmark"));
    EXPECT_TRUE(Logged(LogLevel::llWarning, "Warning: -timelimit not implemented on Windows"));
    EXPECT_TRUE(Logged(LogLevel::llInfo, "pgmyuv format is deprecated, use image2"));
    EXPECT_EQ(engine_.Options().fileFormat, "image2");
    EXPECT_TRUE(engine_.Options().pgmyuvCompatibility);

    engine_.SetOption("loglevel", "error");
    EXPECT_EQ(media::LoggerInstance().GetLogLevel(), LogLevel::llError);
    engine_.SetOption("loglevel", "info");
}

TEST_F(OptionsTest, ListsOfFormatsAreLogged) {
    engine_.SetOption("pix_fmt", "list");
    engine_.SetOption("sample_fmt", "list");
    EXPECT_TRUE(Logged(LogLevel::llInfo, "yuv420p"));
    EXPECT_TRUE(Logged(LogLevel::llInfo, "fltp"));
    EXPECT_EQ(engine_.Options().framePixelFormat, AV_PIX_FMT_NONE);
}

TEST_F(OptionsTest, MatrixTakesSixtyFourCoefficients) {
    std::string values;
    for (int i = 1; i <= 64; ++i) {
        values += std::to_string(i) + (i < 64 ? "," : "");
    }
    engine_.SetOption("inter_matrix", values);
    ASSERT_TRUE(engine_.Options().interMatrix.has_value());
    EXPECT_EQ((*engine_.Options().interMatrix)[0], 1);
    EXPECT_EQ((*engine_.Options().interMatrix)[63], 64);
}

TEST_F(OptionsTest, MatrixCoefficientsAreDecimal) {
    struct Case {
        const char* first;  // the first coefficient; the other 63 are 16
        int expected;       // -1: refused
    };
    for (const Case& c : std::initializer_list<Case>{
             {"08", 8}, {"010", 10}, {"0099", 99}, {"255", 255}, {"0x10", -1}}) {
        SCOPED_TRACE(c.first);
        std::string values = c.first;
        for (int i = 1; i < 64; ++i) {
            values += ",16";
        }
        for (const char* name : {"intra_matrix", "inter_matrix"}) {
            const auto& matrix = std::string(name) == "intra_matrix"
                                     ? engine_.Options().intraMatrix
                                     : engine_.Options().interMatrix;
            const auto before = matrix;
            const std::string refusal = Refusal(name, values);
            if (c.expected < 0) {
                EXPECT_EQ(refusal, "Syntax error in matrix \"" + values + "\" at coeff 0");
                EXPECT_EQ(matrix, before) << name;
                continue;
            }
            EXPECT_EQ(refusal, "") << name;
            ASSERT_TRUE(matrix.has_value()) << name;
            EXPECT_EQ((*matrix)[0], c.expected) << name;
            EXPECT_EQ((*matrix)[63], 16) << name;
        }
    }
}

TEST_F(OptionsTest, UnknownNamesAreIgnoredSilently) {
    EXPECT_EQ(Refusal("mispelt_codec_option", "3"), "");
    EXPECT_FALSE(engine_.SetLibraryOption("mispelt_codec_option", "3"));
    EXPECT_TRUE(logged_.empty());
    EXPECT_TRUE(engine_.LibraryOptions().SetNames().empty());
}

TEST_F(OptionsTest, LibraryOptionsReachTheirContexts) {
    EXPECT_TRUE(engine_.SetLibraryOption(" g ", " 12 "));
    EXPECT_EQ(engine_.LibraryOptions().Codec(AVMEDIA_TYPE_VIDEO).gop_size, 12);
    // "b" is the video bit rate; the audio one is "ab".
    const std::int64_t audioBitRate = engine_.LibraryOptions().Codec(AVMEDIA_TYPE_AUDIO).bit_rate;
    EXPECT_TRUE(engine_.SetLibraryOption("b", "300000"));
    EXPECT_TRUE(engine_.SetLibraryOption("maxrate", "400000"));
    EXPECT_EQ(engine_.LibraryOptions().Codec(AVMEDIA_TYPE_VIDEO).bit_rate, 300000);
    EXPECT_EQ(engine_.LibraryOptions().Codec(AVMEDIA_TYPE_AUDIO).bit_rate, audioBitRate);
    EXPECT_EQ(engine_.LibraryOptions().Codec(AVMEDIA_TYPE_AUDIO).rc_max_rate, 0);
    // The a/v/s prefix names the kind of codec.
    EXPECT_TRUE(engine_.SetLibraryOption("aflags", "+qscale"));
    EXPECT_NE(engine_.LibraryOptions().Codec(AVMEDIA_TYPE_AUDIO).flags & AV_CODEC_FLAG_QSCALE, 0);
    EXPECT_EQ(engine_.LibraryOptions().Codec(AVMEDIA_TYPE_VIDEO).flags & AV_CODEC_FLAG_QSCALE, 0);
    // Container and scaler options.
    EXPECT_TRUE(engine_.SetLibraryOption("packetsize", "2048"));
    EXPECT_EQ(engine_.LibraryOptions().Container().packet_size, 2048U);
    EXPECT_TRUE(engine_.SetLibraryOption("sws_flags", "lanczos"));
    EXPECT_EQ(engine_.LibraryOptions().SetNames(),
              (std::vector<std::string>{"g", "b", "maxrate", "flags", "packetsize", "sws_flags"}));

    EXPECT_FALSE(engine_.SetLibraryOption("", "1"));
    EXPECT_FALSE(engine_.SetLibraryOption("g", " "));
}

TEST_F(OptionsTest, RefusedLibraryValueIsLoggedAndFails) {
    media::LoggerInstance().SetLogLevel(LogLevel::llInfo);
    EXPECT_FALSE(engine_.SetLibraryOption("g", "twelve"));
    bool reported = false;
    for (const auto& [level, text] : logged_) {
        reported = reported || text == "Invalid value \"twelve\" for option \"g\"";
    }
    EXPECT_TRUE(reported);
    EXPECT_NE(engine_.LibraryOptions().Codec(AVMEDIA_TYPE_VIDEO).gop_size, 0);
}

TEST_F(OptionsTest, DebugSettingRaisesTheLogLevel) {
    media::LoggerInstance().SetLogLevel(LogLevel::llInfo);
    EXPECT_TRUE(engine_.SetLibraryOption("debug", "pict"));
    EXPECT_EQ(media::LoggerInstance().GetLogLevel(), LogLevel::llDebug);
    media::LoggerInstance().SetLogLevel(LogLevel::llInfo);
}

TEST_F(OptionsTest, EncoderPrivateOptionsNeedTheirEncoderChosen) {
    EXPECT_FALSE(engine_.SetLibraryOption("crf", "20"));
    engine_.SetOption("vcodec", "libx264");
    EXPECT_TRUE(engine_.SetLibraryOption("crf", "20"));
    EXPECT_FALSE(engine_.SetLibraryOption("crf", "very"));
    // Old names reach what they are called now.
    EXPECT_TRUE(engine_.SetLibraryOption("flags2", "-dct8x8"));
    EXPECT_TRUE(engine_.SetLibraryOption("level", "13"));
}

TEST_F(OptionsTest, TargetPalDvd) {
    engine_.SetOption("target", "pal-dvd");
    const OptionState& o = engine_.Options();
    EXPECT_EQ(o.frameWidth, 720);
    EXPECT_EQ(o.frameHeight, 576);
    EXPECT_EQ(o.frameRate.num, 25);
    EXPECT_EQ(o.frameRate.den, 1);
    EXPECT_EQ(o.videoCodecName, "mpeg2video");
    EXPECT_EQ(o.audioCodecName, "ac3");
    EXPECT_EQ(o.fileFormat, "dvd");
    EXPECT_EQ(o.audioSampleRate, 48000);
    EXPECT_EQ(o.audioChannels, 2);
    EXPECT_EQ(o.frameAspectRatio, 16.0 / 9.0);
    const auto& options = engine_.LibraryOptions();
    EXPECT_EQ(options.Codec(AVMEDIA_TYPE_VIDEO).gop_size, 15);
    EXPECT_EQ(options.Codec(AVMEDIA_TYPE_VIDEO).bit_rate, 6000000);
    EXPECT_EQ(options.Codec(AVMEDIA_TYPE_VIDEO).rc_max_rate, 9000000);
    EXPECT_EQ(options.Codec(AVMEDIA_TYPE_VIDEO).rc_buffer_size, 1835008);
    EXPECT_EQ(options.Codec(AVMEDIA_TYPE_AUDIO).bit_rate, 448000);
    EXPECT_EQ(options.Container().packet_size, 2048U);
    EXPECT_TRUE(Logged(LogLevel::llInfo, "Assuming 16:9 for aspect ratio"));
}

TEST_F(OptionsTest, TargetNormsAndTheirRules) {
    // No frame rate and no norm: nothing to decide by.
    EXPECT_EQ(Refusal("target", "vcd"), "frame_rate is invalid.");

    engine_.SetOption("r", "29.97");
    engine_.SetOption("ac", "1");
    engine_.SetOption("target", "svcd");
    EXPECT_EQ(engine_.Options().frameHeight, 480);  // NTSC by the frame rate
    EXPECT_EQ(engine_.Options().audioChannels, 2);
    EXPECT_TRUE(Logged(LogLevel::llVerbose, "Assuming NTSC for target."));

    engine_.SetOption("r", "10");
    engine_.SetTarget("vcd", "auto", "pal");  // undecided: the default norm
    EXPECT_EQ(engine_.Options().frameHeight, 288);
    EXPECT_EQ(engine_.Options().muxPreload, 0.44F);
    EXPECT_EQ(engine_.LibraryOptions().Codec(AVMEDIA_TYPE_VIDEO).rc_min_rate, 1150000);

    engine_.SetOption("target", "film-dv");
    EXPECT_EQ(engine_.Options().frameRate.num, 24000);
    EXPECT_EQ(engine_.Options().framePixelFormat, AV_PIX_FMT_YUV411P);
    engine_.SetOption("target", "pal-dv50");
    EXPECT_EQ(engine_.Options().framePixelFormat, AV_PIX_FMT_YUV422P);
    EXPECT_EQ(engine_.Options().fileFormat, "dv");
}

TEST_F(OptionsTest, BuiltInPresetsAreFoundByCodecAndName) {
    const AVCodecContext& video = engine_.LibraryOptions().Codec(AVMEDIA_TYPE_VIDEO);
    engine_.SetOption("vcodec", "libx264");
    engine_.SetOption("vpre", "slow");  // the row "libx264-slow"
    EXPECT_EQ(video.refs, 5);
    EXPECT_EQ(video.max_b_frames, 3);
    engine_.SetOption("vpre", "LIBX264-Baseline");  // a whole row name, in any case
    EXPECT_EQ(video.max_b_frames, 0);
    EXPECT_EQ(Refusal("vpre", "turbo"), "Preset \"turbo\" not found");
}

TEST_F(OptionsTest, PresetFilesAndTheirErrors) {
    const auto write = [this](const std::string& name, const std::string& text) {
        std::ofstream(folder_ / name) << text;
        return (folder_ / name).string();
    };
    const std::string good = write("good.ffpreset", "\r\n  g = 48 \r\nvcodec=mpeg4\r\n\r\nqmax=20");
    engine_.SetOption("fpre", good);
    EXPECT_EQ(engine_.LibraryOptions().Codec(AVMEDIA_TYPE_VIDEO).gop_size, 48);
    EXPECT_EQ(engine_.LibraryOptions().Codec(AVMEDIA_TYPE_VIDEO).qmax, 20);
    EXPECT_EQ(engine_.Options().videoCodecName, "mpeg4");

    const std::string noValue = write("novalue.ffpreset", "g=12\nqmax=");
    EXPECT_EQ(Refusal("fpre", noValue), noValue + ": Invalid syntax: \"qmax=\"");
    const std::string unknown = write("unknown.ffpreset", "frobnicate = 3");
    EXPECT_EQ(Refusal("vpre", unknown), unknown +
                                            ": Invalid option or argument: \"frobnicate = 3\", "
                                            "parsed as \"frobnicate\" = \"3\"");
    EXPECT_EQ(Refusal("apre", ""), "");  // nothing to load
}

TEST_F(OptionsTest, HookModulesAreConfiguredAndReleased) {
    const std::string log = (folder_ / "hook.log").string();
    engine_.SetOption("vhook", std::string(QUILLO_HOOK_MODULE) + " " + log + " extra");
    ASSERT_EQ(engine_.HookModules().Modules().size(), 1U);
    engine_.SetOption("vhook", std::string(QUILLO_HOOK_MODULE) + "|" + log + "|with blank");
    EXPECT_EQ(engine_.HookModules().Modules().size(), 2U);

    EXPECT_EQ(Refusal("vhook", QUILLO_HOOK_MODULE),  // Configure wants a log file
              std::string("Failed to add video hook function: ") + QUILLO_HOOK_MODULE);
    EXPECT_EQ(
        Refusal("vhook", QUILLO_HOOK_MODULE_WITHOUT_PROCESS),
        std::string("Failed to add video hook function: ") + QUILLO_HOOK_MODULE_WITHOUT_PROCESS);

    engine_.ResetOptions();
    std::ifstream in(log);
    const std::string calls{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(calls, std::string("configure ") + QUILLO_HOOK_MODULE + " " + log + " extra\n" +
                         "configure " + QUILLO_HOOK_MODULE + " " + log + " with blank\n" +
                         "release\nrelease\n");
}

TEST(TranscoderWithoutLibrariesTest, RefusesClearly) {
    if (media::LibraryLoaderInstance().LibrariesLoaded(media::ConverterLibrarySet)) {
        GTEST_SKIP() << "needs a process without the libraries, as ctest runs each test";
    }
    Transcoder engine;
    try {
        engine.SetOption("s", "320x240");
        ADD_FAILURE() << "an option was set without libraries";
    } catch (const media::MediaError& error) {
        EXPECT_STREQ(error.what(), "The media libraries are not loaded.");
    }
}

}  // namespace
}  // namespace quillo::converter
