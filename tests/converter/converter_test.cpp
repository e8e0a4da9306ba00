// The converter component: its properties, how option records and extra option lines reach
// the engine, the queue's runs (one at a time, inside the call, several at once), stop,
// pause, failures, and its events.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "converter/converter.h"
#include "converter/extra_options.h"
#include "converter/task_options.h"
#include "converter_test_support.h"
#include "fixtures/external_commands.h"
#include "fixtures/fixture_path.h"
#include "media/library_bindings.h"
#include "media/library_loader.h"
#include "media/library_set.h"
#include "media/main_thread.h"
#include "support/temp_folder.h"

namespace quillo::converter::testing {
namespace {

namespace fs = std::filesystem;
using quillo::testing::DecodeWithFfmpeg;
using quillo::testing::Field;
using quillo::testing::FixturePath;
using quillo::testing::RunFfprobe;

double Duration(const fs::path& file) {
    return std::atof(Field(RunFfprobe(file, "-show_format"), "format.duration").c_str());
}

// The codec names of a file's streams of one kind ("audio", "video"), in stream order.
std::vector<std::string> CodecNames(const fs::path& file, const std::string& kind) {
    const auto report = RunFfprobe(file, "-show_streams");
    std::vector<std::string> names;
    for (int index = 0;
         report.fields.count("streams.stream." + std::to_string(index) + ".codec_type") != 0;
         ++index) {
        const std::string prefix = "streams.stream." + std::to_string(index) + ".";
        if (Field(report, prefix + "codec_type") == kind) {
            names.push_back(Field(report, prefix + "codec_name"));
        }
    }
    return names;
}

// The first stream of a kind among the first output's streams, or null.
const OutputStream* FirstStream(const Transcoder& engine, AVMediaType type) {
    for (const auto& stream : engine.Output(0).streams) {
        if (stream->stream->codecpar->codec_type == type) {
            return stream.get();
        }
    }
    return nullptr;
}

const OutputStream& StreamOf(const Transcoder& engine, AVMediaType type) {
    const OutputStream* stream = FirstStream(engine, type);
    if (stream == nullptr) {
        throw std::runtime_error("the output has no stream of that kind");
    }
    return *stream;
}

std::vector<std::string> EncoderNames(const Transcoder& engine, AVMediaType type) {
    std::vector<std::string> names;
    for (const auto& stream : engine.Output(0).streams) {
        if (stream->stream->codecpar->codec_type == type) {
            names.push_back(stream->codec != nullptr ? stream->codec->name : "");
        }
    }
    return names;
}

std::string Tags(const AVDictionary* dictionary) {
    std::string text;
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = media::lib::avutil.av_dict_get(dictionary, "", entry, AV_DICT_IGNORE_SUFFIX)) !=
           nullptr) {
        text += std::string(entry->key) + "=" + entry->value + ";";
    }
    return text;
}

std::string OutputTag(const Transcoder& engine, const char* key) {
    const AVDictionaryEntry* entry =
        media::lib::avutil.av_dict_get(engine.Output(0).context->metadata, key, nullptr, 0);
    return entry != nullptr ? entry->value : "";
}

// What a task's option state and first output hold that options can change.
std::string Describe(const Transcoder& engine) {
    std::ostringstream text;
    const OptionState& o = engine.Options();
    text << "recording " << o.recordingTime << " start " << o.startTime << " stamp "
         << o.recordingTimestamp << " vsync " << o.videoSyncMethod << " async " << o.audioSyncMethod
         << " isync " << o.inputSync << " copyts " << o.copyTimestamps << " volume "
         << o.audioVolume << " languages " << o.videoLanguage << "/" << o.audioLanguage << "/"
         << o.subtitleLanguage << " filters " << o.videoFilters << " mux " << o.muxPreload << "/"
         << o.muxMaxDelay << " total " << engine.TotalDuration() << "\n";
    const OutputFile& output = engine.Output(0);
    text << "container " << output.context->oformat->name << " packet "
         << output.context->packet_size << " delay " << output.context->max_delay << " tags "
         << Tags(output.context->metadata) << "\n";
    for (const auto& stream : output.streams) {
        text << "stream " << (stream->codec != nullptr ? stream->codec->name : "none") << " copy "
             << stream->streamCopy << " tag " << stream->stream->codecpar->codec_tag << " crop "
             << stream->cropTop << "," << stream->cropBottom << "," << stream->cropLeft << ","
             << stream->cropRight << " filters " << stream->videoFilters << " aspect "
             << stream->sampleAspectRatio.num << ":" << stream->sampleAspectRatio.den << " tags "
             << Tags(stream->stream->metadata);
        if (const AVCodecContext* e = stream->encoder.get()) {
            text << " rate " << e->bit_rate << " tolerance " << e->bit_rate_tolerance << " gop "
                 << e->gop_size << " rc " << e->rc_max_rate << "/" << e->rc_min_rate << "/"
                 << e->rc_buffer_size << " size " << e->width << "x" << e->height << " base "
                 << e->time_base.num << "/" << e->time_base.den << " audio " << e->sample_rate
                 << "/" << e->ch_layout.nb_channels << " flags " << e->flags << "/" << e->flags2
                 << " quality " << e->global_quality;
        }
        text << "\n";
    }
    return text.str();
}

// --- Properties and texts, no media needed -------------------------------------------------

TEST(ConverterPropertiesTest, StartsWithItsDocumentedDefaults) {
    const Converter converter;
    EXPECT_EQ(converter.Version(), "3.3");
    EXPECT_EQ(converter.ProgressInterval(), 500);
    EXPECT_TRUE(converter.TriggerEventInMainThread());
    EXPECT_FALSE(converter.Preview());
    EXPECT_FALSE(converter.PreviewBitmap());
    EXPECT_EQ(converter.ThreadPriority(), ThreadPriority::tpNormal);
    EXPECT_FALSE(converter.Working());
    EXPECT_EQ(converter.NextTask(), -1);
    EXPECT_EQ(converter.TasksCount(), 0);
    EXPECT_EQ(converter.Probes(0, 0), nullptr);
}

TEST(ConverterPropertiesTest, ProgressIntervalOfAtMost100IsStoredAs100) {
    const struct {
        int given;
        int stored;
    } cases[] = {{0, 100}, {50, 100}, {100, 100}, {101, 101}, {-20, 100}, {2000, 2000}};
    Converter converter;
    for (const auto& c : cases) {
        converter.SetProgressInterval(c.given);
        EXPECT_EQ(converter.ProgressInterval(), c.stored) << c.given;
    }
}

TEST(ExtraOptionLinesTest, SplitsLinesAtBreaksAndMarkersAndNamesAtTheFirstEquals) {
    const struct {
        const char* text;
        std::vector<std::pair<std::string, std::string>> lines;
    } cases[] = {
        {"  b=300000<CRLF>vcodec=mpeg4  ", {{"b", "300000"}, {"vcodec", "mpeg4"}}},
        {"VFilters=crop=160:120:0:0", {{"vfilters", "crop=160:120:0:0"}}},
        {"A=1\r\nB=Two\rre\n\nd=", {{"a", "1"}, {"b", "Two"}, {"re", ""}, {"d", ""}}},
        {"newaudio<CRLF><CRLF>ACodec=MP2", {{"newaudio", ""}, {"acodec", "MP2"}}},
        {" \r\n ", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::pair<std::string, std::string>> lines;
        for (const OptionLine& line : ExtraOptionLines(c.text)) {
            lines.emplace_back(line.name, line.value);
        }
        EXPECT_EQ(lines, c.lines) << c.text;
    }
}

TEST(TaskOptionsTest, DurationsAreSecondsToTheMicrosecond) {
    const struct {
        std::int64_t microseconds;
        const char* text;
    } cases[] = {{0, "0.000000"},
                 {1, "0.000001"},
                 {1'500'000, "1.500000"},
                 {-1'500'000, "-1.500000"},
                 {std::numeric_limits<std::int64_t>::max(), "9223372036854.775807"}};
    for (const auto& c : cases) {
        EXPECT_EQ(DurationText(c.microseconds), c.text) << c.microseconds;
    }
}

TEST(TaskOptionsTest, TimestampsBecomeUtcWithTheStandardTimeBias) {
    const quillo::testing::ScopedEnvironment zone({"TZ"});
    // 40344.5 is 2010-06-15 12:00 local time, when New York keeps daylight saving time.
    const struct {
        const char* zone;
        double timestamp;
        const char* text;
    } cases[] = {{"UTC0", 40344.5, "2010-06-15T12:00:00Z"},
                 {"<+03>-3", 40344.5, "2010-06-15T09:00:00Z"},
                 {"EST5EDT,M3.2.0,M11.1.0", 40344.5, "2010-06-15T17:00:00Z"},
                 {"UTC0", 25569.0, "1970-01-01T00:00:00Z"},
                 {"UTC0", 0.0, "now"},
                 {"UTC0", -1.0, ""}};
    for (const auto& c : cases) {
        setenv("TZ", c.zone, 1);
        EXPECT_EQ(TimestampText(c.timestamp), c.text) << c.zone << " " << c.timestamp;
    }
}

TEST(ConverterLibrariesTest, AddTaskNeedsTheLibrariesThatLoadMediaLibrariesLoads) {
    if (media::LibraryLoaderInstance().LibrariesLoaded(media::ConverterLibrarySet)) {
        GTEST_SKIP() << "the libraries are already loaded in this process";
    }
    const quillo::testing::TempFolder emptyFolder;
    Converter converter;
    EXPECT_EQ(converter.AddTask(FixturePath("clip.mp4")), -1);
    EXPECT_EQ(converter.LastErrMsg(), "The media libraries are not loaded.");
    // Libraries missing from the folder come from the system.
    ASSERT_TRUE(converter.LoadMediaLibraries(emptyFolder.Path())) << converter.LastErrMsg();
    EXPECT_EQ(converter.AddTask(FixturePath("clip.mp4")), 0) << converter.LastErrMsg();
}

// --- Adding tasks and outputs ---------------------------------------------------------------

TEST_F(ConverterTest, AddTaskRefusesInputsThatCannotBeOpenedAndKeepsNothing) {
    const fs::path missing = Out("missing.mp4");
    const struct {
        fs::path file;
        std::string format;
        std::string extra;
        int program;
        std::string message;
    } cases[] = {
        {FixturePath("not_media.txt"), "", "", -1,
         FixturePath("not_media.txt").string() + ": Invalid data found when processing input"},
        {missing, "", "", -1, missing.string() + ": No such file or directory"},
        {FixturePath("clip.mp4"), "nosuchformat", "", -1, "Unknown input format: \"nosuchformat\""},
        {FixturePath("clip.mp4"), "", "ss=later", -1,
         "Invalid duration specification for ss: later"},
        {FixturePath("programs.ts"), "", "", 999, "Specified program id not found"},
    };
    for (const auto& c : cases) {
        InputOptions options;
        options.FileFormat = c.format;
        options.ExtOptions = c.extra;
        options.ProgramID = c.program;
        EXPECT_EQ(converter_->AddTask(c.file, &options), -1) << c.message;
        EXPECT_EQ(converter_->LastErrMsg(), c.message);
        EXPECT_EQ(converter_->TasksCount(), 0);
    }
}

TEST_F(ConverterTest, TasksKeepTheirRecordsWithTheFileNamesFilledInAndProbeTheirInput) {
    const InputOptions unnamed;
    InputOptions named;
    named.FileName = "/somewhere/else.mp4";
    ASSERT_EQ(Add("clip.mp4", &unnamed), 0);
    ASSERT_EQ(Add("clip.mp4", &named), 1);
    ASSERT_EQ(Add("clip.mp4"), 2);

    EXPECT_EQ(converter_->Task(0)->StoredInputOptions(0)->FileName, FixturePath("clip.mp4"));
    EXPECT_EQ(converter_->Task(1)->StoredInputOptions(0)->FileName, "/somewhere/else.mp4");
    EXPECT_FALSE(converter_->Task(2)->StoredInputOptions(0).has_value());

    media::MediaProbe* probe = converter_->Probes(0, 0);
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe->StreamCount(), 2);
    EXPECT_EQ(probe->VideoStreamCount(), 1);
    EXPECT_EQ(probe->AudioStreamCount(), 1);
    EXPECT_EQ(converter_->Probes(0, 1), nullptr);
    EXPECT_EQ(converter_->Probes(3, 0), nullptr);

    const OutputOptions unnamedOutput;
    ASSERT_TRUE(converter_->SetOutputFile(0, Out("first.mkv"), &unnamedOutput))
        << converter_->LastErrMsg();
    ASSERT_TRUE(converter_->SetOutputFile(0, Out("second.mkv"))) << converter_->LastErrMsg();
    EXPECT_EQ(converter_->Task(0)->StoredOutputOptions(0)->FileName, Out("first.mkv"));
    EXPECT_FALSE(converter_->Task(0)->StoredOutputOptions(1).has_value());
}

TEST_F(ConverterTest, InputLinesForOutputsAreIgnoredAndTheOthersApplied) {
    InputOptions options;
    // Each ignored line would fail or change the input if it were applied.
    options.ExtOptions = "re\nvf=crop=1:1:0:0\nnewaudio\nvpre=no-such-preset\nVFilters=hflip";
    ASSERT_EQ(Add("clip.mp4", &options), 0);
    const auto task = converter_->Task(0);
    EXPECT_TRUE(task->Options().rateEmulation);
    EXPECT_EQ(task->Options().videoFilters, "");
    EXPECT_EQ(task->OutputCount(), 0);

    InputOptions program;
    program.ProgramID = 202;
    ASSERT_EQ(Add("programs.ts", &program), 1);
    EXPECT_TRUE(converter_->Task(1)->Input(0).programSelected);
}

TEST_F(ConverterTest, InputStartTimeSeeksIntoTheSource) {
    InputOptions options;
    options.StartTime = 2'000'000;
    AddWithOutput("clip.mp4", "tail.mkv", &options);
    converter_->StartTask(0);
    EXPECT_NEAR(Duration(Out("tail.mkv")), 1.0, 0.25);
}

TEST_F(ConverterTest, ExtraOutputLinesGiveDefaultsTheRecordLeavesOpenAndApplyTheRest) {
    const struct {
        const char* name;
        std::string extra;
        std::string videoCodec;
        std::string frameSize;
        std::string filters;
        std::string expectedCodec;
        std::int64_t expectedBitRate;  // -1: not looked at
        int expectedWidth;
        std::string expectedFilters;
    } cases[] = {
        {"codec line fills an empty codec", "b=300000<CRLF>vcodec=mpeg4", "", "", "", "mpeg4",
         300000, 320, ""},
        {"record codec wins", "b=300000<CRLF>vcodec=mpeg4", "mpeg2video", "", "", "mpeg2video",
         300000, 320, ""},
        {"size line fills an empty size", "s=160x120", "mpeg4", "", "", "mpeg4", -1, 160, ""},
        {"record size wins", "s=160x120", "mpeg4", "176x144", "", "mpeg4", -1, 176, ""},
        {"filter line is split at its first equals", "VFilters=crop=160:120:0:0", "mpeg4", "", "",
         "mpeg4", -1, 320, "crop=160:120:0:0"},
        {"record filters win", "VFilters=crop=160:120:0:0", "mpeg4", "", "hflip", "mpeg4", -1, 320,
         "hflip"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int index = Add("clip.mp4");
        ASSERT_GE(index, 0);
        OutputOptions options;
        options.ExtOptions = c.extra;
        options.VideoCodec = c.videoCodec;
        options.FrameSize = c.frameSize;
        options.VideoFilters = c.filters;
        ASSERT_TRUE(converter_->SetOutputFile(index, Out(std::to_string(index) + ".mkv"), &options))
            << converter_->LastErrMsg();
        const OutputStream* video = FirstStream(*converter_->Task(index), AVMEDIA_TYPE_VIDEO);
        ASSERT_NE(video, nullptr);
        ASSERT_NE(video->codec, nullptr);
        EXPECT_STREQ(video->codec->name, c.expectedCodec.c_str());
        if (c.expectedBitRate > 0) {
            EXPECT_EQ(video->encoder->bit_rate, c.expectedBitRate);
        }
        EXPECT_EQ(video->encoder->width, c.expectedWidth);
        EXPECT_EQ(video->videoFilters, c.expectedFilters);
    }
}

TEST_F(ConverterTest, StreamsAddedByExtraLinesTakeTheQueuedCodecOrElseTheDefault) {
    const struct {
        const char* name;
        std::string audioCodec;
        std::string extra;
        std::vector<std::string> codecs;
    } cases[] = {
        {"line before newaudio", "", "acodec=mp2\nnewaudio", {"mp2", "mp2"}},
        {"record for the first, line for the added", "mp2", "newaudio\nacodec=ac3", {"mp2", "ac3"}},
        {"record for both", "ac3", "newaudio", {"ac3", "ac3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int index = Add("two_audio.mp4");
        ASSERT_GE(index, 0);
        OutputOptions options;
        options.AudioCodec = c.audioCodec;
        options.VideoCodec = "mpeg4";
        options.ExtOptions = c.extra;
        ASSERT_TRUE(converter_->SetOutputFile(index, Out(std::to_string(index) + ".mkv"), &options))
            << converter_->LastErrMsg();
        EXPECT_EQ(EncoderNames(*converter_->Task(index), AVMEDIA_TYPE_AUDIO), c.codecs);
    }
    converter_->StartTask(0);
    for (std::size_t index = 0; index < std::size(cases); ++index) {
        const fs::path output = Out(std::to_string(index) + ".mkv");
        EXPECT_EQ(CodecNames(output, "audio"), cases[index].codecs) << cases[index].name;
        EXPECT_EQ(DecodeWithFfmpeg(output).exitStatus, 0) << cases[index].name;
    }
}

TEST_F(ConverterTest, OutputRecordFieldsReachTheOutputAndItsEncoders) {
    const auto video = [](const Transcoder& e) -> const OutputStream& {
        return StreamOf(e, AVMEDIA_TYPE_VIDEO);
    };
    const auto audio = [](const Transcoder& e) -> const OutputStream& {
        return StreamOf(e, AVMEDIA_TYPE_AUDIO);
    };
    const struct {
        const char* name;
        const char* file;
        std::function<void(OutputOptions&)> set;
        std::function<void(const Transcoder&)> check;
    } cases[] = {
        {"GopSize", "out.mkv", [](OutputOptions& o) { o.GopSize = 12; },
         [&](const Transcoder& e) { EXPECT_EQ(video(e).encoder->gop_size, 12); }},
        {"VideoBitrate", "out.mkv", [](OutputOptions& o) { o.VideoBitrate = 300000; },
         [&](const Transcoder& e) { EXPECT_EQ(video(e).encoder->bit_rate, 300000); }},
        {"MaxRate and BufferSize", "out.mkv",
         [](OutputOptions& o) {
             o.MaxRate = 500000;
             o.BufferSize = 1000000;
         },
         [&](const Transcoder& e) {
             EXPECT_EQ(video(e).encoder->rc_max_rate, 500000);
             EXPECT_EQ(video(e).encoder->rc_buffer_size, 1000000);
         }},
        {"MinRate", "out.mkv", [](OutputOptions& o) { o.MinRate = 100000; },
         [&](const Transcoder& e) { EXPECT_EQ(video(e).encoder->rc_min_rate, 100000); }},
        {"BitrateTolerance", "out.mkv", [](OutputOptions& o) { o.BitrateTolerance = 123456; },
         [&](const Transcoder& e) { EXPECT_EQ(video(e).encoder->bit_rate_tolerance, 123456); }},
        {"AudioBitrate", "out.mkv", [](OutputOptions& o) { o.AudioBitrate = 64000; },
         [&](const Transcoder& e) { EXPECT_EQ(audio(e).encoder->bit_rate, 64000); }},
        // The libraries' tolerance is a video option, so the audio value stays in the
        // engine's audio option context, as with the classic tool.
        {"AudioBitrateTolerance", "out.mkv",
         [](OutputOptions& o) { o.AudioBitrateTolerance = 50000; },
         [](const Transcoder& e) {
             EXPECT_EQ(e.LibraryOptions().Codec(AVMEDIA_TYPE_AUDIO).bit_rate_tolerance, 50000);
         }},
        {"AudioSampleRate and AudioChannels", "out.mkv",
         [](OutputOptions& o) {
             o.AudioSampleRate = 22050;
             o.AudioChannels = 1;
         },
         [&](const Transcoder& e) {
             EXPECT_EQ(audio(e).encoder->sample_rate, 22050);
             EXPECT_EQ(audio(e).encoder->ch_layout.nb_channels, 1);
         }},
        {"FrameRate", "out.mkv", [](OutputOptions& o) { o.FrameRate = "10"; },
         [&](const Transcoder& e) {
             EXPECT_EQ(video(e).encoder->time_base.num, 1);
             EXPECT_EQ(video(e).encoder->time_base.den, 10);
         }},
        {"AspectRatio", "out.mkv", [](OutputOptions& o) { o.AspectRatio = "16:9"; },
         [&](const Transcoder& e) {
             // 320x240 pictures shown at 16:9 have pixels 4:3 wide.
             EXPECT_EQ(video(e).sampleAspectRatio.num, 4);
             EXPECT_EQ(video(e).sampleAspectRatio.den, 3);
         }},
        {"CropTop", "out.mkv", [](OutputOptions& o) { o.CropTop = 8; },
         [&](const Transcoder& e) { EXPECT_EQ(video(e).cropTop, 8); }},
        {"DisableAudio", "out.mkv", [](OutputOptions& o) { o.DisableAudio = true; },
         [](const Transcoder& e) {
             EXPECT_EQ(FirstStream(e, AVMEDIA_TYPE_AUDIO), nullptr);
             EXPECT_NE(FirstStream(e, AVMEDIA_TYPE_VIDEO), nullptr);
         }},
        {"DisableVideo", "out.mkv", [](OutputOptions& o) { o.DisableVideo = true; },
         [](const Transcoder& e) {
             EXPECT_EQ(FirstStream(e, AVMEDIA_TYPE_VIDEO), nullptr);
             EXPECT_NE(FirstStream(e, AVMEDIA_TYPE_AUDIO), nullptr);
         }},
        {"AudioLanguage", "out.mkv", [](OutputOptions& o) { o.AudioLanguage = "fre"; },
         [&](const Transcoder& e) { EXPECT_EQ(Tags(audio(e).stream->metadata), "language=fre;"); }},
        {"VideoTag", "out.avi", [](OutputOptions& o) { o.VideoTag = "XVID"; },
         [&](const Transcoder& e) {
             EXPECT_EQ(video(e).stream->codecpar->codec_tag, MKTAG('X', 'V', 'I', 'D'));
         }},
        {"PacketSize and MuxDelay", "out.mpg",
         [](OutputOptions& o) {
             o.PacketSize = 4096;
             o.MuxDelay = 0.25F;
         },
         [](const Transcoder& e) {
             EXPECT_EQ(e.Output(0).context->packet_size, 4096U);
             EXPECT_EQ(e.Output(0).context->max_delay, 250000);
         }},
        {"Duration", "out.mkv", [](OutputOptions& o) { o.Duration = 1'000'000; },
         [](const Transcoder& e) { EXPECT_EQ(e.TotalDuration(), 1'000'000); }},
        {"Target dvd in pal", "out.mpg",
         [](OutputOptions& o) {
             o.Target = 3;
             o.TargetNorm = 1;
         },
         [&](const Transcoder& e) {
             EXPECT_STREQ(video(e).codec->name, "mpeg2video");
             EXPECT_EQ(video(e).encoder->width, 720);
             EXPECT_EQ(video(e).encoder->height, 576);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int index = Add("clip.mp4");
        ASSERT_GE(index, 0);
        OutputOptions options;
        c.set(options);
        ASSERT_TRUE(
            converter_->SetOutputFile(index, Out(std::to_string(index) + "-" + c.file), &options))
            << converter_->LastErrMsg();
        try {
            c.check(*converter_->Task(index));
        } catch (const std::exception& error) {
            ADD_FAILURE() << error.what();
        }
    }
}

TEST_F(ConverterTest, MetadataReachesTheOutput) {
    const quillo::testing::ScopedEnvironment zone({"TZ"});
    setenv("TZ", "<+03>-3", 1);
    ASSERT_EQ(Add("clip.mp4"), 0);
    OutputOptions options;
    options.Metadata.Timestamp = 40344.5;  // 2010-06-15 12:00 local
    options.Metadata.Year = 2010;
    options.Metadata.Track = 7;
    options.Metadata.Title = "A title";
    options.Metadata.Author = "An author";
    options.Metadata.Rights = "Some rights";
    options.Metadata.Comment = "key=value stays whole";
    options.Metadata.Album = "An album";
    options.Metadata.Genre = "Speech";
    ASSERT_TRUE(converter_->SetOutputFile(0, Out("tagged.mkv"), &options))
        << converter_->LastErrMsg();
    const auto task = converter_->Task(0);
    EXPECT_EQ(OutputTag(*task, "creation_time"), "2010-06-15T09:00:00.000000Z");
    EXPECT_EQ(OutputTag(*task, "year"), "2010");
    EXPECT_EQ(OutputTag(*task, "track"), "7");
    EXPECT_EQ(OutputTag(*task, "title"), "A title");
    EXPECT_EQ(OutputTag(*task, "author"), "An author");
    EXPECT_EQ(OutputTag(*task, "copyright"), "Some rights");
    EXPECT_EQ(OutputTag(*task, "comment"), "key=value stays whole");
    EXPECT_EQ(OutputTag(*task, "album"), "An album");
    EXPECT_EQ(OutputTag(*task, "genre"), "Speech");
}

TEST_F(ConverterTest, ARecordAtItsDefaultsChangesNothingButTheFileName) {
    ASSERT_EQ(Add("clip.mp4"), 0);
    ASSERT_TRUE(converter_->SetOutputFile(0, Out("without.mkv")));
    const OutputOptions defaults;
    ASSERT_EQ(Add("clip.mp4"), 1);
    ASSERT_TRUE(converter_->SetOutputFile(1, Out("with.mkv"), &defaults));
    EXPECT_EQ(converter_->Task(1)->StoredOutputOptions(0)->FileName, Out("with.mkv"));
    const std::string without = Describe(*converter_->Task(0));
    EXPECT_EQ(Describe(*converter_->Task(1)), without);

    // The description does tell a changed field.
    OutputOptions language;
    language.AudioLanguage = "eng";
    ASSERT_EQ(Add("clip.mp4"), 2);
    ASSERT_TRUE(converter_->SetOutputFile(2, Out("language.mkv"), &language));
    EXPECT_NE(Describe(*converter_->Task(2)), without);
}

TEST_F(ConverterTest, SetOutputFileRefusalsSayWhyAndKeepTheEarlierOutputs) {
    ASSERT_EQ(Add("clip.mp4"), 0);
    ASSERT_TRUE(converter_->SetOutputFile(0, Out("kept.mkv")));
    const struct {
        const char* name;
        int task;
        std::string file;
        std::function<void(OutputOptions&)> set;
        std::string message;
    } cases[] = {
        {"no such task", 4, "a.mkv", [](OutputOptions&) {},
         "Task index 4 is out of range (1 tasks)"},
        {"audio tag", 0, "b.mkv", [](OutputOptions& o) { o.AudioTag = "abc"; },
         "audio tag parameter must be 4 chars"},
        {"frame rate", 0, "c.mkv", [](OutputOptions& o) { o.FrameRate = "fast"; },
         "Incorrect frame rate"},
        {"unknown container", 0, "d.nosuch", [](OutputOptions&) {},
         "Unable to find a suitable output format for '" + Out("d.nosuch").string() + "'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OutputOptions options;
        c.set(options);
        EXPECT_FALSE(converter_->SetOutputFile(c.task, Out(c.file), &options));
        EXPECT_EQ(converter_->LastErrMsg(), c.message);
        EXPECT_EQ(converter_->Task(0)->OutputCount(), 1);
        EXPECT_FALSE(converter_->Task(0)->StoredOutputOptions(1).has_value());
        EXPECT_FALSE(fs::exists(Out(c.file)));
    }
}

TEST_F(ConverterTest, TheTwentyFirstOutputIsRefused) {
    ASSERT_EQ(Add("clip.mp4"), 0);
    for (int output = 0; output < 20; ++output) {
        ASSERT_TRUE(converter_->SetOutputFile(0, Out(std::to_string(output) + ".mkv")))
            << output << ": " << converter_->LastErrMsg();
    }
    EXPECT_FALSE(converter_->SetOutputFile(0, Out("20.mkv")));
    EXPECT_EQ(converter_->LastErrMsg(), "max output files 20 reached");
    EXPECT_EQ(converter_->Task(0)->OutputCount(), 20);
    EXPECT_FALSE(fs::exists(Out("20.mkv")));
}

TEST_F(ConverterTest, PreviewPropertiesSetTheirBitInEveryTaskAtOnce) {
    ASSERT_EQ(Add("clip.mp4"), 0);
    ASSERT_EQ(Add("clip.mp4"), 1);
    const auto flags = [this](int task) { return converter_->Task(task)->PreviewFlags(); };
    converter_->SetPreview(true);
    EXPECT_EQ(flags(0), PreviewWindowFlag);
    EXPECT_EQ(flags(1), PreviewWindowFlag);
    converter_->SetPreviewBitmap(true);
    EXPECT_EQ(flags(0), PreviewWindowFlag | PreviewBitmapFlag);
    converter_->SetPreview(false);
    EXPECT_EQ(flags(1), PreviewBitmapFlag);
    ASSERT_EQ(Add("clip.mp4"), 2);
    EXPECT_EQ(flags(2), PreviewBitmapFlag);
}

// --- Events raised outside a run ------------------------------------------------------------

TEST_F(ConverterTest, CustomHookIsInstalledOnRequestAndRaisedOnTheCallingThread) {
    ASSERT_EQ(Add("clip.mp4"), 0);
    ASSERT_EQ(Add("clip.mp4"), 1);
    OutputOptions hooked;
    hooked.CustomHook = true;
    ASSERT_TRUE(converter_->SetOutputFile(0, Out("plain.mkv")));
    ASSERT_TRUE(converter_->SetOutputFile(1, Out("hooked.mkv"), &hooked));
    EXPECT_FALSE(converter_->Task(0)->HasCustomHook());
    EXPECT_TRUE(converter_->Task(1)->HasCustomHook());

    media::Bitmap bitmap(4, 2);
    std::optional<HookInfo> seen;
    std::thread::id handlerThread;
    converter_->OnCustomHook = [&](ConverterBase&, HookInfo* info) {
        seen = *info;
        handlerThread = std::this_thread::get_id();
        info->Update = false;
        info->StopHook = true;
    };
    bool update = true;
    bool stopHook = false;
    std::thread::id callerThread;
    std::thread worker([&] {
        callerThread = std::this_thread::get_id();
        converter_->DoCustomHook(*converter_->Task(1), bitmap, 7, 1234, update, stopHook);
    });
    worker.join();
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(handlerThread, callerThread);  // never moved to the main thread
    EXPECT_EQ(seen->TaskIndex, 1);
    EXPECT_EQ(seen->Bitmap, &bitmap);
    EXPECT_EQ(seen->FrameNumber, 7);
    EXPECT_EQ(seen->PTS, 1234);
    EXPECT_TRUE(seen->Update);
    EXPECT_FALSE(seen->StopHook);
    EXPECT_FALSE(update);
    EXPECT_TRUE(stopHook);
}

TEST_F(ConverterTest, PreviewBitmapIsRaisedOnTheMainThreadWhenAsked) {
    ASSERT_EQ(Add("clip.mp4"), 0);
    const media::Bitmap bitmap(4, 2);
    for (const bool mainThread : {true, false}) {
        SCOPED_TRACE(mainThread);
        converter_->SetTriggerEventInMainThread(mainThread);
        std::optional<PreviewInfo> seen;
        std::thread::id handlerThread;
        converter_->OnPreviewBitmap = [&](ConverterBase&, const PreviewInfo& info) {
            seen = info;
            handlerThread = std::this_thread::get_id();
        };
        std::atomic<bool> done = false;
        std::thread::id callerThread;
        std::thread worker([&] {
            callerThread = std::this_thread::get_id();
            converter_->DoPreviewBitmap(*converter_->Task(0), bitmap, 12, 480000);
            done = true;
            media::NotifyMainThread();
        });
        ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
        worker.join();
        ASSERT_TRUE(seen.has_value());
        EXPECT_EQ(handlerThread == std::this_thread::get_id(), mainThread);
        EXPECT_EQ(handlerThread == callerThread, !mainThread);
        EXPECT_EQ(seen->TaskIndex, 0);
        EXPECT_EQ(seen->Bitmap, &bitmap);
        EXPECT_EQ(seen->FrameNumber, 12);
        EXPECT_EQ(seen->PTS, 480000);
    }
}

// --- Runs -----------------------------------------------------------------------------------

TEST_F(ConverterTest, OperationsAreRefusedFromStartUntilClearTasks) {
    const InputOptions paced = PacedInput();
    AddWithOutput("clip.mp4", "paced.mkv", &paced);
    const auto refusal = [](const std::function<void()>& operation) -> std::string {
        try {
            operation();
        } catch (const ConverterBusyError& error) {
            return error.what();
        }
        return "";
    };
    const struct {
        const char* message;
        std::function<void()> operation;
    } refused[] = {
        {"Cannot AddTask while working.", [this] { converter_->AddTask(FixturePath("clip.mp4")); }},
        {"Cannot SetOutputFile while working.",
         [this] { converter_->SetOutputFile(0, Out("more.mkv")); }},
        {"Cannot RemoveTask while working.", [this] { converter_->RemoveTask(0); }},
        {"Cannot StartTask while working.", [this] { converter_->StartTask(1); }},
    };
    std::vector<std::string> duringRun;
    bool stopped = false;
    events_.whenProgress = [&](const ProgressInfo& info) {
        if (info.FileIndex < 0 || stopped) {
            return;
        }
        // The task is running: it waits for this handler.
        for (const auto& r : refused) {
            duringRun.push_back(refusal(r.operation));
        }
        duringRun.push_back(refusal([this] { converter_->ClearTasks(); }));
        stopped = true;
        converter_->Stop(true);  // from inside the event: must not wait for the task
    };
    converter_->StartTask(1);
    WaitForRunEnd();
    ASSERT_TRUE(stopped);
    ASSERT_EQ(duringRun.size(), std::size(refused) + 1);
    for (std::size_t i = 0; i < std::size(refused); ++i) {
        EXPECT_EQ(duringRun[i], refused[i].message);
    }
    EXPECT_EQ(duringRun.back(), "Cannot ClearTasks while working.");
    EXPECT_FALSE(events_.Terminated().front().info.Finished);

    // After the final record: still refused, until ClearTasks.
    EXPECT_TRUE(converter_->AllDone());
    for (const auto& r : refused) {
        EXPECT_EQ(refusal(r.operation), r.message);
    }
    EXPECT_EQ(refusal([this] { converter_->ClearTasks(); }), "");
    EXPECT_FALSE(converter_->Working());
    EXPECT_EQ(converter_->TasksCount(), 0);
    EXPECT_EQ(converter_->NextTask(), -1);
    EXPECT_EQ(Add("clip.mp4"), 0);
}

TEST_F(ConverterTest, StartTaskOneRunsTheTasksOneAtATimeInListOrder) {
    for (const char* name : {"0.mkv", "1.mkv", "2.mkv"}) {
        AddWithOutput("clip.mp4", name);
    }
    converter_->SetProgressInterval(250);
    converter_->StartTask(1);
    EXPECT_TRUE(converter_->Threaded());
    WaitForRunEnd();

    EXPECT_EQ(events_.TerminatedIndices(), (std::vector<int>{0, 1, 2, -1}));
    EXPECT_EQ(events_.MaxInsideTerminate(), 1);
    for (const TerminateRecord& record : events_.Terminated()) {
        SCOPED_TRACE(record.info.TaskIndex);
        EXPECT_TRUE(record.info.Finished);
        EXPECT_FALSE(record.info.Exception);
        EXPECT_EQ(record.info.ExceptionMsg, "");
        EXPECT_NE(record.thread, std::this_thread::get_id());
    }
    ASSERT_FALSE(events_.Progress().empty());
    for (const ProgressRecord& record : events_.Progress()) {
        EXPECT_EQ(record.runningTasks, 1);
        EXPECT_EQ(record.thread, std::this_thread::get_id());
    }
    for (int task = 0; task < 3; ++task) {
        EXPECT_EQ(converter_->Task(task)->ProgressInterval(), 250000);
        const fs::path output = Out(std::to_string(task) + ".mkv");
        EXPECT_NEAR(Duration(output), 3.0, 0.2) << output;
        EXPECT_EQ(DecodeWithFfmpeg(output).exitStatus, 0) << output;
    }
    EXPECT_EQ(converter_->FinishedCount(), 3);
}

TEST_F(ConverterTest, StartTaskZeroRunsEveryTaskInsideTheCall) {
    AddWithOutput("clip.mp4", "0.mkv");
    AddWithOutput("clip.mp4", "1.mkv");
    // Pause has no hold on a task that runs on the caller's thread.
    events_.whenProgress = [this](const ProgressInfo&) { converter_->Pause(); };
    converter_->StartTask(0);
    EXPECT_FALSE(converter_->Threaded());
    EXPECT_TRUE(converter_->AllDone());
    EXPECT_EQ(events_.TerminatedIndices(), (std::vector<int>{0, 1, -1}));
    for (const TerminateRecord& record : events_.Terminated()) {
        EXPECT_EQ(record.thread, std::this_thread::get_id());
        EXPECT_TRUE(record.info.Finished);
    }
    ASSERT_FALSE(events_.Progress().empty());
    for (const ProgressRecord& record : events_.Progress()) {
        EXPECT_EQ(record.thread, std::this_thread::get_id());
    }
    EXPECT_EQ(events_.Progress().back().info.FileIndex, -1);
}

TEST_F(ConverterTest, StartTaskTwoRunsTwoTasksAtOnce) {
    for (const char* name : {"0.mkv", "1.mkv", "2.mkv"}) {
        AddWithOutput("clip.mp4", name);
    }
    converter_->StartTask(2);
    WaitForRunEnd();

    // Progress is raised on this thread, which only pumps after StartTask has returned, by
    // then having started two tasks; neither can end before its final report is handled.
    const auto progress = events_.Progress();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front().runningTasks, 2);
    for (const ProgressRecord& record : progress) {
        EXPECT_LE(record.runningTasks, 2);
    }
    auto indices = events_.TerminatedIndices();
    ASSERT_EQ(indices.size(), 4U);
    EXPECT_EQ(indices.back(), -1);
    indices.pop_back();
    std::sort(indices.begin(), indices.end());
    EXPECT_EQ(indices, (std::vector<int>{0, 1, 2}));
    for (const TerminateRecord& record : events_.Terminated()) {
        EXPECT_TRUE(record.info.Finished) << record.info.TaskIndex;
    }
    for (const char* name : {"0.mkv", "1.mkv", "2.mkv"}) {
        EXPECT_EQ(DecodeWithFfmpeg(Out(name)).exitStatus, 0) << name;
    }
}

TEST_F(ConverterTest, StopWithWaitWhileTheFirstOfThreeTasksRuns) {
    const InputOptions paced = PacedInput();
    AddWithOutput("clip.mp4", "0.mkv", &paced);
    AddWithOutput("clip.mp4", "1.mkv");
    AddWithOutput("clip.mp4", "2.mkv");
    bool holding = false;
    events_.whenProgress = [&](const ProgressInfo& info) {
        if (info.TaskIndex == 0 && info.FileIndex >= 0 && !holding) {
            // Held at its next packet, task 0 cannot end before Stop reaches it.
            converter_->Pause();
            holding = true;
        }
    };
    converter_->StartTask(1);
    ASSERT_TRUE(PumpUntil([&] { return holding; }));
    converter_->Stop(true);
    for (int task = 0; task < 3; ++task) {
        EXPECT_TRUE(converter_->Task(task)->Ended()) << task;
    }
    WaitForRunEnd();

    EXPECT_EQ(events_.TerminatedIndices(), (std::vector<int>{0, 1, 2, -1}));
    for (const TerminateRecord& record : events_.Terminated()) {
        SCOPED_TRACE(record.info.TaskIndex);
        EXPECT_EQ(record.info.Finished, record.info.TaskIndex < 0);
        EXPECT_FALSE(record.info.Exception);
    }
    EXPECT_EQ(events_.ProgressCount(1, false), 0);
    EXPECT_EQ(events_.ProgressCount(2, false), 0);
    // The stopped task's file is finished up to where it got.
    EXPECT_EQ(DecodeWithFfmpeg(Out("0.mkv")).exitStatus, 0);
    EXPECT_LT(Duration(Out("0.mkv")), 2.5);
    converter_->ClearTasks();
    EXPECT_FALSE(fs::exists(Out("1.mkv")));
    EXPECT_FALSE(fs::exists(Out("2.mkv")));
}

TEST_F(ConverterTest, PauseHoldsTheTaskStillUntilResume) {
    const InputOptions paced = PacedInput();
    AddWithOutput("clip.mp4", "held.mkv", &paced);
    converter_->SetProgressInterval(100);
    std::optional<std::uintmax_t> sizeAtPause;
    int progressAtPause = 0;
    events_.whenProgress = [&](const ProgressInfo& info) {
        if (info.FileIndex >= 0 && !sizeAtPause) {
            converter_->Pause();
            sizeAtPause = fs::file_size(Out("held.mkv"));
            progressAtPause = events_.ProgressCount(0, false);
        }
    };
    converter_->StartTask(1);
    ASSERT_TRUE(PumpUntil([&] { return sizeAtPause.has_value(); }));

    // Meanwhile a second converter reads the same source at the same pace and reports as
    // often: while it reports five times, the held task would have reported too.
    EventLog otherEvents;
    Converter other;
    otherEvents.Watch(other);
    std::vector<std::uintmax_t> sizesWhileHeld;
    std::vector<int> progressWhileHeld;
    otherEvents.whenProgress = [&](const ProgressInfo&) {
        sizesWhileHeld.push_back(fs::file_size(Out("held.mkv")));
        progressWhileHeld.push_back(events_.ProgressCount(0, false));
    };
    ASSERT_EQ(other.AddTask(FixturePath("clip.mp4"), &paced), 0) << other.LastErrMsg();
    ASSERT_TRUE(other.SetOutputFile(0, Out("other.mkv"))) << other.LastErrMsg();
    other.SetProgressInterval(100);
    other.StartTask(1);
    ASSERT_TRUE(PumpUntil([&] { return otherEvents.ProgressCount(0, true) >= 5; }));
    other.Stop(true);
    ASSERT_TRUE(PumpUntil([&] { return otherEvents.RunEnded(); }));
    for (std::size_t i = 0; i < sizesWhileHeld.size(); ++i) {
        EXPECT_EQ(sizesWhileHeld[i], *sizeAtPause) << i;
        EXPECT_EQ(progressWhileHeld[i], progressAtPause) << i;
    }
    EXPECT_EQ(fs::file_size(Out("held.mkv")), *sizeAtPause);
    EXPECT_EQ(events_.ProgressCount(0, false), progressAtPause);

    converter_->Resume();
    WaitForRunEnd();
    EXPECT_GT(events_.ProgressCount(0, false), progressAtPause);
    ASSERT_EQ(events_.TerminatedIndices(), (std::vector<int>{0, -1}));
    EXPECT_TRUE(events_.Terminated()[0].info.Finished);
    EXPECT_NEAR(Duration(Out("held.mkv")), 3.0, 0.2);
    EXPECT_EQ(DecodeWithFfmpeg(Out("held.mkv")).exitStatus, 0);
}

TEST_F(ConverterTest, AFailingTaskReportsItsErrorAndTheQueueGoesOn) {
    // Handlers run on the workers here.
    converter_->SetTriggerEventInMainThread(false);
    converter_->SetThreadPriority(ThreadPriority::tpLowest);
    std::mutex niceMutex;
    std::vector<int> niceValues;
    events_.whenProgress = [&](const ProgressInfo&) {
        const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        std::scoped_lock lock(niceMutex);
        niceValues.push_back(nice);
    };
    OutputOptions refused;
    refused.VideoCodec = "h263";  // takes only the picture sizes of the H.263 formats
    AddWithOutput("clip.mp4", "0.mkv");
    AddWithOutput("clip.mp4", "1.avi", nullptr, &refused);
    AddWithOutput("clip.mp4", "2.mkv");
    converter_->StartTask(1);
    WaitForRunEnd();

    const auto records = events_.Terminated();
    ASSERT_EQ(events_.TerminatedIndices(), (std::vector<int>{0, 1, 2, -1}));
    EXPECT_TRUE(records[0].info.Finished);
    EXPECT_FALSE(records[0].info.Exception);
    EXPECT_FALSE(records[1].info.Finished);
    EXPECT_TRUE(records[1].info.Exception);
    EXPECT_NE(records[1].info.ExceptionMsg, "");
    EXPECT_TRUE(records[2].info.Finished);
    EXPECT_FALSE(records[2].info.Exception);
    EXPECT_FALSE(fs::exists(Out("1.avi")));
    EXPECT_EQ(DecodeWithFfmpeg(Out("2.mkv")).exitStatus, 0);

    ASSERT_FALSE(events_.Progress().empty());
    for (const ProgressRecord& record : events_.Progress()) {
        EXPECT_NE(record.thread, std::this_thread::get_id());
        EXPECT_NE(record.info.TaskIndex, 1);
    }
    // A process that already runs below normal keeps its lower priority.
    const int expected = std::max(10, getpriority(PRIO_PROCESS, 0));
    std::scoped_lock lock(niceMutex);
    ASSERT_FALSE(niceValues.empty());
    for (const int nice : niceValues) {
        EXPECT_EQ(nice, expected);
    }
}

TEST_F(ConverterTest, ATaskWithoutOutputEndsAtOnceWithItsError) {
    ASSERT_EQ(Add("clip.mp4"), 0);
    converter_->StartTask(1);
    WaitForRunEnd();
    const auto records = events_.Terminated();
    ASSERT_EQ(records.size(), 2U);
    EXPECT_EQ(records[0].info.TaskIndex, 0);
    EXPECT_TRUE(records[0].info.Exception);
    EXPECT_FALSE(records[0].info.Finished);
    EXPECT_EQ(records[0].info.ExceptionMsg, "At least one output file must be specified");
    EXPECT_EQ(records[1].info.TaskIndex, -1);
}

// A running task hands every decoded picture to OnCustomHook on its worker, and its encoded
// pictures, now and then, to OnPreviewBitmap on the main thread.
TEST_F(ConverterTest, RunningTaskRaisesHookAndPreviewEvents) {
    const InputOptions paced = PacedInput();
    OutputOptions hooked;
    hooked.CustomHook = true;
    AddWithOutput("clip.mp4", "hooked.mkv", &paced, &hooked);
    converter_->SetPreviewBitmap(true);
    const std::thread::id mainThread = std::this_thread::get_id();
    std::atomic<int> hooks = 0;
    std::atomic<bool> hookOnMain = false;
    converter_->OnCustomHook = [&](ConverterBase&, HookInfo* info) {
        ++hooks;
        hookOnMain = hookOnMain || std::this_thread::get_id() == mainThread;
        EXPECT_EQ(info->TaskIndex, 0);
        EXPECT_EQ(info->FrameNumber, hooks.load());
    };
    int previews = 0;
    bool previewOffMain = false;
    converter_->OnPreviewBitmap = [&](ConverterBase&, const PreviewInfo& info) {
        ++previews;
        previewOffMain = previewOffMain || std::this_thread::get_id() != mainThread;
        EXPECT_EQ(info.TaskIndex, 0);
        EXPECT_EQ(info.Bitmap->Width(), 320);
    };
    converter_->StartTask(1);
    WaitForRunEnd();
    EXPECT_EQ(hooks.load(), 75);
    EXPECT_FALSE(hookOnMain.load());
    EXPECT_GT(previews, 0);
    EXPECT_FALSE(previewOffMain);
    ASSERT_EQ(events_.TerminatedIndices(), (std::vector<int>{0, -1}));
    EXPECT_TRUE(events_.Terminated()[0].info.Finished);
}

TEST_F(ConverterTest, ARunWithoutTasksEndsAtOnce) {
    for (const int threads : {0, 1}) {
        SCOPED_TRACE(threads);
        EventLog events;
        events.Watch(*converter_);
        converter_->StartTask(threads);
        ASSERT_TRUE(PumpUntil([&] { return events.RunEnded(); }));
        EXPECT_EQ(events.TerminatedIndices(), std::vector<int>{-1});
        EXPECT_TRUE(converter_->AllDone());
        converter_->ClearTasks();
        EXPECT_FALSE(converter_->Working());
    }
}

TEST_F(ConverterTest, TheFinalHandlerMayClearTheQueue) {
    for (const int threads : {0, 1}) {
        SCOPED_TRACE(threads);
        AddWithOutput("clip.mp4", std::to_string(threads) + "-a.mkv");
        AddWithOutput("clip.mp4", std::to_string(threads) + "-b.mkv");
        std::atomic<bool> cleared = false;
        EventLog events;
        events.Watch(*converter_);
        events.whenTerminate = [&](const TerminateInfo& info) {
            if (info.TaskIndex >= 0) {
                return;
            }
            // As the application does: the work goes to the main thread.
            media::CallInMainThread([&] {
                converter_->ClearTasks();
                cleared = true;
            });
        };
        converter_->StartTask(threads);
        ASSERT_TRUE(PumpUntil([&] { return cleared.load() && events.RunEnded(); }));
        EXPECT_EQ(converter_->TasksCount(), 0);
        EXPECT_FALSE(converter_->Working());
        EXPECT_EQ(events.TerminatedIndices(), (std::vector<int>{0, 1, -1}));
    }
    EXPECT_EQ(Add("clip.mp4"), 0);
}

TEST_F(ConverterTest, DestroyingTheConverterStopsTheRunningTaskAndWaitsForIt) {
    const InputOptions paced = PacedInput();
    AddWithOutput("clip.mp4", "running.mkv", &paced);
    AddWithOutput("clip.mp4", "waiting.mkv");
    bool running = false;
    events_.whenProgress = [&](const ProgressInfo& info) {
        running = running || info.FileIndex >= 0;
    };
    converter_->StartTask(1);
    ASSERT_TRUE(PumpUntil([&] { return running; }));
    converter_.reset();

    // The stopped task reported its end; the one that never ran did not.
    const auto records = events_.Terminated();
    ASSERT_EQ(records.size(), 1U);
    EXPECT_EQ(records[0].info.TaskIndex, 0);
    EXPECT_FALSE(records[0].info.Finished);
    EXPECT_EQ(DecodeWithFfmpeg(Out("running.mkv")).exitStatus, 0);
    EXPECT_FALSE(fs::exists(Out("waiting.mkv")));
}

}  // namespace
}  // namespace quillo::converter::testing
