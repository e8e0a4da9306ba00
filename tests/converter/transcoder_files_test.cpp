#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "converter/builtin_presets.h"
#include "converter/transcoder_test_support.h"
#include "fixtures/fixture_path.h"
#include "media/library_bindings.h"
#include "media/library_pointers.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace quillo::converter {
namespace {

using media::LogLevel;
using quillo::testing::FixturePath;
using testing::TranscoderTest;
namespace fs = std::filesystem;
namespace lib = media::lib;

using FilesTest = TranscoderTest;

std::string Fixture(const char* name) {
    return FixturePath(name).string();
}

AVMediaType KindOf(const OutputStream& stream) {
    return stream.stream->codecpar->codec_type;
}

TEST_F(FilesTest, InputSetsThePictureAndSoundDefaults) {
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4"))) << engine_.LastErrorMessage();
    const OptionState& o = engine_.Options();
    EXPECT_EQ(o.frameWidth, 320);
    EXPECT_EQ(o.frameHeight, 240);
    EXPECT_EQ(av_q2d(o.frameRate), 25.0);
    EXPECT_EQ(o.framePixelFormat, AV_PIX_FMT_YUV420P);
    EXPECT_NEAR(o.frameAspectRatio, 4.0 / 3.0, 1e-9);
    EXPECT_EQ(o.audioSampleRate, 44100);
    EXPECT_EQ(o.audioChannels, 2);
    EXPECT_EQ(engine_.TotalDuration(), 3'000'000);
    EXPECT_EQ(engine_.InputCount(), 1);
    EXPECT_EQ(engine_.Input(0).timeOffset, 0);
    EXPECT_TRUE(o.videoCodecName.empty());
    // The libraries' own description of the input reaches the log.
    bool described = false;
    for (const auto& [level, text] : logged_) {
        described = described || text.starts_with("Input #0, mov,mp4");
    }
    EXPECT_TRUE(described);
}

TEST_F(FilesTest, ForcedDecodersAreLookedUpByKind) {
    engine_.SetOption("vcodec", "h264");
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mkv"))) << engine_.LastErrorMessage();
    const InputFile& input = engine_.Input(0);
    int video = -1;
    for (unsigned s = 0; s < input.input.Context()->nb_streams; ++s) {
        if (input.input.Context()->streams[s]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            video = static_cast<int>(s);
        }
    }
    ASSERT_GE(video, 0);
    ASSERT_NE(input.forcedDecoders[video], nullptr);
    EXPECT_STREQ(input.forcedDecoders[video]->name, "h264");
    EXPECT_TRUE(engine_.Options().videoCodecName.empty());  // consumed by the open

    engine_.SetOption("acodec", "no_such_decoder");
    EXPECT_FALSE(engine_.OpenInput(Fixture("clip.mp4")));
    EXPECT_EQ(engine_.LastErrorMessage(), "Unknown decoder 'no_such_decoder'");
    engine_.SetOption("acodec", "mpeg4");
    EXPECT_FALSE(engine_.OpenInput(Fixture("clip.mp4")));
    EXPECT_EQ(engine_.LastErrorMessage(), "Invalid decoder type 'mpeg4'");
}

TEST_F(FilesTest, InputFailuresNameTheFile) {
    const std::string missing = Out("missing:file.avi");
    EXPECT_FALSE(engine_.OpenInput(missing));
    EXPECT_EQ(engine_.LastErrorMessage(), missing + ": No such file or directory");

    EXPECT_FALSE(engine_.OpenInput(Fixture("not_media.txt")));
    EXPECT_TRUE(engine_.LastErrorMessage().starts_with(Fixture("not_media.txt") + ": "));

    engine_.SetOption("f", "no_such_format");
    EXPECT_EQ(Refusal("", ""), "");
    try {
        engine_.OpenInput(Fixture("clip.mp4"));
        ADD_FAILURE() << "opened with an unknown format";
    } catch (const media::MediaError& error) {
        EXPECT_STREQ(error.what(), "Unknown input format: \"no_such_format\"");
    }
    EXPECT_EQ(engine_.InputCount(), 0);
}

TEST_F(FilesTest, ProgramIdSelectsItsStreams) {
    engine_.SetOption("programid", "9999");
    EXPECT_FALSE(engine_.OpenInput(Fixture("programs.ts")));
    EXPECT_EQ(engine_.LastErrorMessage(), "Specified program id not found");
    EXPECT_EQ(engine_.Options().programId, 0);

    engine_.SetOption("programid", "202");
    ASSERT_TRUE(engine_.OpenInput(Fixture("programs.ts"))) << engine_.LastErrorMessage();
    const AVFormatContext* input = engine_.Input(0).input.Context();
    int kept = 0;
    for (unsigned s = 0; s < input->nb_streams; ++s) {
        kept += input->streams[s]->discard == AVDISCARD_ALL ? 0 : 1;
    }
    EXPECT_EQ(kept, 2);
    for (unsigned p = 0; p < input->nb_programs; ++p) {
        EXPECT_EQ(input->programs[p]->discard == AVDISCARD_ALL, input->programs[p]->id != 202);
    }
}

TEST_F(FilesTest, StartTimeSeeksFromTheContainersOwnStart) {
    engine_.SetOption("ss", "1");
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.ts"))) << engine_.LastErrorMessage();
    const std::int64_t containerStart = engine_.Input(0).input.Context()->start_time;
    ASSERT_GT(containerStart, 0);  // transport streams start late
    EXPECT_EQ(engine_.Input(0).timeOffset, -(1'000'000 + containerStart));
    EXPECT_EQ(engine_.Options().startTime, 0);

    engine_.SetOption("ss", "1");
    engine_.SetOption("itsoffset", "2");
    engine_.SetOption("copyts", "");
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.ts")));
    EXPECT_EQ(engine_.Input(1).timeOffset, 2'000'000);
}

TEST_F(FilesTest, DisabledKindsAreDiscarded) {
    engine_.SetOption("an", "1");
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4")));
    const AVFormatContext* input = engine_.Input(0).input.Context();
    for (unsigned s = 0; s < input->nb_streams; ++s) {
        EXPECT_EQ(input->streams[s]->discard == AVDISCARD_ALL,
                  input->streams[s]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO);
    }
}

TEST_F(FilesTest, OutputGetsTheStreamsItsInputCanFeed) {
    ASSERT_TRUE(engine_.OpenInput(Fixture("tagged.mp3")));
    // MP4 has a default video codec, but there is no picture to encode.
    ASSERT_EQ(engine_.OpenOutput(Out("audio.mp4"), false), 1) << engine_.LastErrorMessage();
    const OutputFile& output = engine_.Output(0);
    ASSERT_EQ(output.streams.size(), 1U);
    EXPECT_EQ(KindOf(*output.streams[0]), AVMEDIA_TYPE_AUDIO);
    EXPECT_STREQ(output.streams[0]->codec->name, "aac");
    EXPECT_EQ(output.streams[0]->encoder->sample_rate, 44100);
}

TEST_F(FilesTest, NoVideoWhenVideoIsDisabled) {
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4")));
    engine_.SetOption("vn", "1");
    ASSERT_EQ(engine_.OpenOutput(Out("novideo.mp4"), false), 1) << engine_.LastErrorMessage();
    ASSERT_EQ(engine_.Output(0).streams.size(), 1U);
    EXPECT_EQ(KindOf(*engine_.Output(0).streams[0]), AVMEDIA_TYPE_AUDIO);
}

TEST_F(FilesTest, VideoStreamTakesTheEncoderSettings) {
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4")));
    engine_.SetOption("vcodec", "mpeg4");
    engine_.SetOption("s", "176x144");
    engine_.SetOption("aspect", "4:3");
    engine_.SetOption("qscale", "4");
    engine_.SetOption("intra", "1");
    engine_.SetOption("vtag", "XVID");
    engine_.SetOption("vlang", "eng");
    engine_.SetOption("streamid", "0:77");
    engine_.SetOption("rc_override", "0,10,2/11,20,-50");
    engine_.SetOption("bufsize", "400000");
    engine_.SetOption("pass", "1");
    engine_.SetOption("psnr", "1");
    engine_.SetOption("dc", "9");
    engine_.SetOption("vbsf", "dump_extra");
    ASSERT_EQ(engine_.OpenOutput(Out("video.avi"), false), 1) << engine_.LastErrorMessage();

    const OutputStream& video = *engine_.Output(0).streams[0];
    ASSERT_EQ(KindOf(video), AVMEDIA_TYPE_VIDEO);
    const AVCodecContext& encoder = *video.encoder;
    EXPECT_STREQ(video.codec->name, "mpeg4");
    EXPECT_EQ(encoder.width, 176);
    EXPECT_EQ(encoder.height, 144);
    EXPECT_EQ(encoder.time_base.num, 1);
    EXPECT_EQ(encoder.time_base.den, 25);
    // A 4:3 picture of 176x144 has pixels of 12:11.
    EXPECT_EQ(encoder.sample_aspect_ratio.num, 12);
    EXPECT_EQ(encoder.sample_aspect_ratio.den, 11);
    EXPECT_EQ(encoder.gop_size, 0);
    EXPECT_NE(encoder.flags & AV_CODEC_FLAG_QSCALE, 0);
    EXPECT_EQ(encoder.global_quality, 4 * FF_QP2LAMBDA);
    EXPECT_NE(encoder.flags & AV_CODEC_FLAG_PASS1, 0);
    EXPECT_NE(encoder.flags & AV_CODEC_FLAG_PSNR, 0);
    EXPECT_EQ(encoder.intra_dc_precision, 1);
    EXPECT_EQ(encoder.codec_tag, MKTAG('X', 'V', 'I', 'D'));
    EXPECT_EQ(encoder.rc_buffer_size, 400000);
    EXPECT_EQ(encoder.rc_initial_buffer_occupancy, 300000);
    ASSERT_EQ(encoder.rc_override_count, 2);
    EXPECT_EQ(encoder.rc_override[0].qscale, 2);
    EXPECT_EQ(encoder.rc_override[1].qscale, 0);
    EXPECT_FLOAT_EQ(encoder.rc_override[1].quality_factor, 0.5F);
    EXPECT_EQ(video.stream->id, 77);
    EXPECT_EQ(video.bitstreamFilters, std::vector<std::string>{"dump_extra"});
    const AVDictionaryEntry* language =
        lib::avutil.av_dict_get(video.stream->metadata, "language", nullptr, 0);
    ASSERT_NE(language, nullptr);
    EXPECT_STREQ(language->value, "eng");

    // Per-stream options are consumed by the stream.
    EXPECT_TRUE(engine_.Options().videoCodecName.empty());
    EXPECT_TRUE(engine_.Options().videoLanguage.empty());
    EXPECT_TRUE(engine_.Options().videoBitstreamFilters.empty());
    EXPECT_EQ(engine_.Options().streamIdMap[0], 0);
}

TEST_F(FilesTest, AudioStreamAndHeaderSettings) {
    ASSERT_TRUE(engine_.OpenInput(Fixture("surround.mka")));
    engine_.SetOption("acodec", "ac3");
    engine_.SetOption("aq", "2");
    engine_.SetOption("atag", "abcd");
    ASSERT_EQ(engine_.OpenOutput(Out("audio.mkv"), false), 1) << engine_.LastErrorMessage();
    const AVCodecContext& audio = *engine_.Output(0).streams[0]->encoder;
    EXPECT_NE(audio.flags & AV_CODEC_FLAG_QSCALE, 0);
    EXPECT_EQ(audio.global_quality, 2 * FF_QP2LAMBDA);
    EXPECT_EQ(audio.ch_layout.nb_channels, 6);  // the input's layout
    EXPECT_EQ(audio.sample_rate, 48000);
    EXPECT_EQ(audio.codec_tag, MKTAG('a', 'b', 'c', 'd'));
    EXPECT_EQ(audio.time_base.den, 48000);
    // Matroska wants global headers; AVI does not, unless asked.
    EXPECT_NE(audio.flags & AV_CODEC_FLAG_GLOBAL_HEADER, 0);

    engine_.ResetOptions();
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4")));
    engine_.SetOption("ac", "1");
    ASSERT_EQ(engine_.OpenOutput(Out("plain.avi"), false), 1) << engine_.LastErrorMessage();
    EXPECT_EQ(engine_.Output(0).streams[0]->encoder->flags & AV_CODEC_FLAG_GLOBAL_HEADER, 0);
    EXPECT_EQ(engine_.Output(0).streams[1]->encoder->ch_layout.nb_channels, 1);
    engine_.SetOption("vglobal", "1");
    ASSERT_EQ(engine_.OpenOutput(Out("global.avi"), false), 2) << engine_.LastErrorMessage();
    EXPECT_NE(engine_.Output(1).streams[0]->encoder->flags & AV_CODEC_FLAG_GLOBAL_HEADER, 0);
}

TEST_F(FilesTest, VideoBitRatesStayWithTheVideo) {
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4")));
    engine_.SetOption("vcodec", "mpeg2video");
    engine_.SetOption("acodec", "mp2");
    engine_.SetOption("b", "3000000");
    engine_.SetOption("ab", "128000");
    ASSERT_EQ(engine_.OpenOutput(Out("rates.mpg"), false), 1) << engine_.LastErrorMessage();
    const OutputFile& output = engine_.Output(0);
    EXPECT_EQ(output.streams[0]->encoder->bit_rate, 3000000);
    EXPECT_EQ(output.streams[1]->encoder->bit_rate, 128000);
    // Both encoders take their settings.
    for (const auto& stream : output.streams) {
        EXPECT_GE(lib::avcodec.avcodec_open2(stream->encoder.get(), stream->codec, nullptr), 0)
            << stream->codec->name;
    }
}

TEST_F(FilesTest, MuxerOptionsWaitForTheFormatTheNameGives) {
    EXPECT_TRUE(engine_.SetLibraryOption("muxrate", "10080000"));
    engine_.SetOption("s", "320x240");
    ASSERT_EQ(engine_.OpenOutput(Out("guessed.mpg"), false), 1) << engine_.LastErrorMessage();
    std::int64_t muxRate = 0;
    ASSERT_GE(
        lib::avutil.av_opt_get_int(engine_.Output(0).context->priv_data, "muxrate", 0, &muxRate),
        0);
    EXPECT_EQ(muxRate, 10080000);
    EXPECT_FALSE(engine_.SetLibraryOption("no_muxer_has_this", "1"));
}

TEST_F(FilesTest, RefusedNewStreamLeavesTheOutputAsItWas) {
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4")));
    ASSERT_EQ(engine_.OpenOutput(Out("kept.mkv"), false), 1) << engine_.LastErrorMessage();
    const std::size_t streams = engine_.Output(0).streams.size();
    engine_.SetOption("rc_override", "not,a,group");
    engine_.SetOption("vcodec", "mpeg4");
    engine_.SetOption("vlang", "eng");
    EXPECT_EQ(Refusal("newvideo", ""), "error parsing rc_override");
    EXPECT_EQ(engine_.Output(0).streams.size(), streams);
    EXPECT_EQ(engine_.Output(0).context->nb_streams, streams);
    EXPECT_EQ(engine_.Options().videoCodecName, "mpeg4");
    EXPECT_EQ(engine_.Options().videoLanguage, "eng");
}

TEST_F(FilesTest, GlobalHeaderSurvivesCopiedFlags) {
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4")));
    engine_.SetOption("flags", "+mv4");
    ASSERT_EQ(engine_.OpenOutput(Out("flags.mp4"), false), 1) << engine_.LastErrorMessage();
    for (const auto& stream : engine_.Output(0).streams) {
        EXPECT_NE(stream->encoder->flags & AV_CODEC_FLAG_GLOBAL_HEADER, 0) << stream->codec->name;
    }
    EXPECT_NE(engine_.Output(0).streams[0]->encoder->flags & AV_CODEC_FLAG_4MV, 0);
}

TEST_F(FilesTest, LoopCountReachesTheMuxer) {
    engine_.SetOption("s", "64x48");
    ASSERT_EQ(engine_.OpenOutput(Out("once.gif"), false), 1) << engine_.LastErrorMessage();
    std::int64_t loop = 0;
    ASSERT_GE(lib::avutil.av_opt_get_int(engine_.Output(0).context->priv_data, "loop", 0, &loop),
              0);
    EXPECT_EQ(loop, -1);  // plays once, the default
}

TEST_F(FilesTest, AtMostTwentyOutputs) {
    for (int i = 0; i < MaxFiles; ++i) {
        engine_.SetOption("vn", "1");
        ASSERT_EQ(engine_.OpenOutput(Out("out" + std::to_string(i) + ".mka"), false), i + 1)
            << engine_.LastErrorMessage();
    }
    EXPECT_EQ(engine_.OpenOutput(Out("one-too-many.mka"), false), -1);
    EXPECT_EQ(engine_.LastErrorMessage(), "max output files 20 reached");
}

TEST_F(FilesTest, WithoutAFrameRateVideoIsEncodedAtTwentyFive) {
    engine_.SetOption("s", "320x240");
    ASSERT_EQ(engine_.OpenOutput(Out("nothing.avi"), false), 1) << engine_.LastErrorMessage();
    const OutputStream& video = *engine_.Output(0).streams[0];
    EXPECT_EQ(video.encoder->time_base.den, 25);
    EXPECT_EQ(video.encoder->time_base.num, 1);
}

TEST_F(FilesTest, EncoderSupportedValuesWin) {
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4")));
    engine_.SetOption("vcodec", "mpeg1video");
    engine_.SetOption("r", "24.5");
    engine_.SetOption("acodec", "mp2");
    engine_.SetOption("ar", "44000");
    ASSERT_EQ(engine_.OpenOutput(Out("rates.mpg"), false), 1) << engine_.LastErrorMessage();
    const OutputFile& output = engine_.Output(0);
    // mpeg1video knows a fixed list of rates; mp2 a fixed list of sampling rates.
    EXPECT_EQ(output.streams[0]->encoder->time_base.den, 24);
    EXPECT_EQ(output.streams[1]->encoder->sample_rate, 44100);
    EXPECT_TRUE(Logged(LogLevel::llWarning,
                       "Requested sampling rate unsupported using closest supported (44100)"));
    EXPECT_EQ(output.streams[1]->encoder->sample_fmt, AV_SAMPLE_FMT_S16);
}

TEST_F(FilesTest, LegacyEncoderNamesReachTheirSuccessors) {
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4")));
    engine_.SetOption("acodec", "libfaac");
    ASSERT_EQ(engine_.OpenOutput(Out("legacy.mp4"), false), 1) << engine_.LastErrorMessage();
    EXPECT_STREQ(engine_.Output(0).streams[1]->codec->name, "aac");

    engine_.SetOption("acodec", "libamr_nb");
    EXPECT_EQ(engine_.OpenOutput(Out("amr.3gp"), false), -1);
    EXPECT_EQ(engine_.LastErrorMessage(), "new_audio_stream fail: Unknown encoder 'libamr_nb'");
    EXPECT_EQ(engine_.OutputCount(), 1);
    EXPECT_FALSE(fs::exists(Out("amr.3gp")));
}

TEST_F(FilesTest, OutputFailuresLeaveNoTrace) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"", Out("clip.unknownext"),
         "Unable to find a suitable output format for '" + Out("clip.unknownext") + "'"},
        {"nosuchformat", Out("clip.avi"),
         "Requested output format 'nosuchformat' is not a suitable output format"},
        // The feed-server format left the libraries together with its server.
        {"ffm", "http://localhost:8090/feed1.ffm",
         "Requested output format 'ffm' is not a suitable output format"},
        {"", Out("no/such/folder/clip.avi"),
         Out("no/such/folder/clip.avi") + ": No such file or directory"},
    };
    for (const auto& [format, file, message] : cases) {
        if (!format.empty()) {
            engine_.SetOption("f", format);
        }
        EXPECT_EQ(engine_.OpenOutput(file, false), -1) << file;
        EXPECT_EQ(engine_.LastErrorMessage(), message);
        EXPECT_EQ(engine_.OutputCount(), 0);
        EXPECT_TRUE(engine_.Options().fileFormat.empty());
    }
}

TEST_F(FilesTest, ExistingOutputIsTruncated) {
    for (const std::string name : {"existing.avi", "exist:ing.avi"}) {
        const fs::path path = folder_ / name;
        std::ofstream(path) << std::string(5000, 'x');
        const fs::path previous = fs::current_path();
        fs::current_path(folder_);
        const int outputs = engine_.OpenOutput(name, false);
        fs::current_path(previous);
        ASSERT_GE(outputs, 1) << engine_.LastErrorMessage();
        EXPECT_EQ(fs::file_size(path), 0U) << name;
    }
}

TEST_F(FilesTest, MetadataGoesToTheNextOutputFirstValueWinning) {
    engine_.SetOption("metadata", "title=First");
    engine_.SetOption("metadata", "title=Second");
    engine_.SetOption("metadata", "comment=a=b");
    engine_.SetOption("timestamp", "2010-06-15T12:00:00Z");
    ASSERT_EQ(engine_.OpenOutput(Out("tags.mkv"), false), 1) << engine_.LastErrorMessage();
    const AVDictionary* metadata = engine_.Output(0).context->metadata;
    EXPECT_STREQ(lib::avutil.av_dict_get(metadata, "title", nullptr, 0)->value, "First");
    EXPECT_STREQ(lib::avutil.av_dict_get(metadata, "comment", nullptr, 0)->value, "a=b");
    EXPECT_STREQ(lib::avutil.av_dict_get(metadata, "creation_time", nullptr, 0)->value,
                 "2010-06-15T12:00:00.000000Z");
    EXPECT_TRUE(engine_.Options().metadata.empty());
}

TEST_F(FilesTest, ContainerSettingsFollowTheOptions) {
    engine_.SetOption("muxdelay", "0.25");
    engine_.SetOption("packetsize", "4096");
    ASSERT_EQ(engine_.OpenOutput(Out("settings.mpg"), false), 1) << engine_.LastErrorMessage();
    const AVFormatContext& context = *engine_.Output(0).context;
    EXPECT_EQ(context.max_delay, 250000);
    EXPECT_EQ(context.packet_size, 4096U);
    std::int64_t preload = 0;
    ASSERT_GE(lib::avutil.av_opt_get_int(context.priv_data, "preload", 0, &preload), 0);
    EXPECT_EQ(preload, 500000);
}

TEST_F(FilesTest, TargetDvdReachesTheMuxer) {
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4")));
    engine_.SetOption("target", "pal-dvd");
    ASSERT_EQ(engine_.OpenOutput(Out("disc.vob"), false), 1) << engine_.LastErrorMessage();
    const OutputFile& output = engine_.Output(0);
    EXPECT_STREQ(output.context->oformat->name, "dvd");
    std::int64_t muxRate = 0;
    ASSERT_GE(lib::avutil.av_opt_get_int(output.context->priv_data, "muxrate", 0, &muxRate), 0);
    EXPECT_EQ(muxRate, 10080000);
    EXPECT_STREQ(output.streams[0]->codec->name, "mpeg2video");
    EXPECT_EQ(output.streams[0]->encoder->width, 720);
    EXPECT_STREQ(output.streams[1]->codec->name, "ac3");
    EXPECT_EQ(output.streams[1]->encoder->bit_rate, 448000);
    EXPECT_EQ(output.streams[1]->encoder->sample_rate, 48000);
}

TEST_F(FilesTest, NewStreamsGoToTheLastOutput) {
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4")));
    ASSERT_EQ(engine_.OpenOutput(Out("more.mkv"), false), 1);
    const std::size_t before = engine_.Output(0).streams.size();
    engine_.SetOption("acodec", "mp2");
    engine_.SetOption("alang", "ger");
    engine_.SetOption("newaudio", "");
    ASSERT_EQ(engine_.Output(0).streams.size(), before + 1);
    EXPECT_STREQ(engine_.Output(0).streams.back()->codec->name, "mp2");
    engine_.SetOption("scodec", "copy");
    engine_.SetOption("newsubtitle", "");
    EXPECT_TRUE(engine_.Output(0).streams.back()->streamCopy);
    EXPECT_EQ(engine_.Output(0).streams.back()->encoder, nullptr);
}

TEST_F(FilesTest, JoinEntersTheOutputOncePerInput) {
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4")));
    ASSERT_TRUE(engine_.OpenInput(Fixture("odd_size.mp4")));
    ASSERT_EQ(engine_.OpenOutput(Out("joined.mkv"), true), 2) << engine_.LastErrorMessage();
    EXPECT_TRUE(engine_.JoinMode());
    EXPECT_EQ(&engine_.Output(0), &engine_.Output(1));
    EXPECT_EQ(engine_.TotalDuration(), 5'000'000);
    EXPECT_EQ(engine_.OpenOutput(Out("second.mkv"), false), -1);
    EXPECT_EQ(engine_.LastErrorMessage(), "Cannot join more than one output file.");
}

TEST_F(FilesTest, RecordingTimeIsTheTotalDuration) {
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4")));
    engine_.SetOption("t", "1.5");
    EXPECT_EQ(engine_.TotalDuration(), 1'500'000);
}

// Every built-in row, chosen through the engine as a profile would choose it, gives an
// encoder that opens.
TEST_F(FilesTest, EveryBuiltInPresetOpensTheEncoder) {
    for (const OptionsPreset& preset : BuiltinPresets()) {
        SCOPED_TRACE(std::string(preset.Name));
        engine_.ResetOptions();
        ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4")));
        engine_.SetOption("vcodec", "libx264");
        engine_.SetOption("vpre", std::string(preset.Name.substr(std::string("libx264-").size())));
        ASSERT_EQ(engine_.OpenOutput(Out("preset.mp4"), false), 1) << engine_.LastErrorMessage();
        AVCodecContext* encoder = engine_.Output(0).streams[0]->encoder.get();
        ASSERT_STREQ(engine_.Output(0).streams[0]->codec->name, "libx264");
        EXPECT_GE(lib::avcodec.avcodec_open2(encoder, engine_.Output(0).streams[0]->codec, nullptr),
                  0);
    }
}

TEST_F(FilesTest, BaselinePresetSettingsReachTheEncoder) {
    ASSERT_TRUE(engine_.OpenInput(Fixture("clip.mp4")));
    engine_.SetOption("vcodec", "libx264");
    engine_.SetOption("vpre", "baseline");
    ASSERT_EQ(engine_.OpenOutput(Out("baseline.mp4"), false), 1) << engine_.LastErrorMessage();
    AVCodecContext* encoder = engine_.Output(0).streams[0]->encoder.get();
    std::int64_t dct8x8 = -1;
    ASSERT_GE(lib::avutil.av_opt_get_int(encoder->priv_data, "8x8dct", 0, &dct8x8), 0);
    EXPECT_EQ(dct8x8, 0);
    EXPECT_EQ(encoder->max_b_frames, 0);
}

}  // namespace
}  // namespace quillo::converter
