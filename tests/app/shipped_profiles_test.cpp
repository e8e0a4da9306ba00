#include <gtest/gtest.h>
#include <stdlib.h>

#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include "app/global_object.h"
#include "app/job_record.h"
#include "converter/legacy_names.h"
#include "media/library_bindings.h"
#include "media/system_libraries.h"
#include "media/value_text.h"
#include "profiles/ini_file.h"
#include "profiles/option_builder.h"
#include "profiles/profile_catalogue.h"
#include "profiles/test_support.h"

namespace quillo::app {
namespace {

using converter::InputOptions;
using converter::OutputOptions;
using profiles::IniFile;

const char* const ListKeys[] = {"VideoSize",    "VideoBitRate", "FrameRate",
                                "VideoEncoder", "SampleRate",   "AudioBitRate",
                                "AudioEncoder", "Channel",      "Volume"};

// What the settings editor stores for a chosen list entry, for the lists whose entries are
// display names.
std::string StoredValue(const std::string& key, const std::string& entry) {
    static const std::map<std::string, std::string> videoEncoders = {{"mpeg-4", "mpeg4"},
                                                                     {"xvid", "libxvid"},
                                                                     {"h263", "h263"},
                                                                     {"flv", "flv"},
                                                                     {"mpeg1video", "mpeg1video"},
                                                                     {"mpeg2video", "mpeg2video"},
                                                                     {"h264", "libx264"},
                                                                     {"wmv1", "wmv1"},
                                                                     {"wmv2", "wmv2"},
                                                                     {"msmpeg4", "msmpeg4"},
                                                                     {"msmpeg4v2", "msmpeg4v2"},
                                                                     {"dvvideo", "dvvideo"},
                                                                     {"mjpeg", "mjpeg"}};
    static const std::map<std::string, std::string> audioEncoders = {
        {"mp3", "libmp3lame"},    {"aac", "libfaac"}, {"mp2", "mp2"},
        {"ac-3", "ac3"},          {"wma1", "wmav1"},  {"wma2", "wmav2"},
        {"pcm_s16", "pcm_s16le"}, {"ogg", "vorbis"},  {"alac", "alac"}};
    static const std::map<std::string, std::string> channels = {
        {"as source", "as source"}, {"mono 1 channel", "1"}, {"stereo 2 channels", "2"}};
    if (key == "VideoEncoder") {
        return videoEncoders.at(media::LowerAscii(entry));
    }
    if (key == "AudioEncoder") {
        return audioEncoders.at(media::LowerAscii(entry));
    }
    if (key == "Channel") {
        return channels.at(entry);
    }
    if (key == "Volume") {
        return std::to_string(media::StrictInteger(entry.substr(0, entry.size() - 1)) * 256 / 100);
    }
    return entry;
}

std::string ParameterKey(const std::string& key) {
    return "para" + key;
}

class ShippedProfiles : public ::testing::Test {
protected:
    void SetUp() override {
        media::testing::LoadSystemLibraries();
        setenv("QUILLO_CONFIG_DIR", (folder_ / "config").c_str(), 1);
        setenv("HOME", folder_.Path().c_str(), 1);
        global_.PrepareConfigFolder();
    }

    testing::ScopedEnvironment environment_{{"HOME", "QUILLO_CONFIG_DIR"}};
    testing::TempFolder folder_;
    // Its files in the test's own folder, never the user's.
    GlobalObject global_{folder_ / "config"};
};

TEST_F(ShippedProfiles, CatalogueCoversEveryCodeWithValidDefaultIndexes) {
    const IniFile catalogue(global_.CatalogueFile());
    for (const int code : profiles::CatalogueCodes()) {
        const std::string section = profiles::FormatSection(code);
        ASSERT_TRUE(catalogue.SectionExists(section)) << section;
        EXPECT_NE(catalogue.ReadString(section, "Format", "null"), "null") << section;
        EXPECT_FALSE(catalogue.ReadString(section, "FileExt", "").empty()) << section;
        for (const char* key : ListKeys) {
            const auto list = profiles::ReadValueList(global_.Files(), code, key);
            const int index = catalogue.ReadInteger(section, std::string("i") + key, -1);
            if (!list.empty()) {
                EXPECT_GE(index, 0) << section << " " << key;
                EXPECT_LT(index, static_cast<int>(list.size())) << section << " " << key;
                EXPECT_NE(list[index], "as source") << section << " " << key;
            }
        }
    }
}

TEST_F(ShippedProfiles, InitialSettingsAreTheCatalogueDefaults) {
    const IniFile catalogue(global_.CatalogueFile());
    const IniFile settings(global_.SettingsFile());
    for (const int code : profiles::CatalogueCodes()) {
        const std::string section = profiles::FormatSection(code);
        ASSERT_TRUE(settings.SectionExists(section)) << section;
        const bool video = !profiles::ReadValueList(global_.Files(), code, "VideoEncoder").empty();
        for (const char* key : ListKeys) {
            const std::string indexKey = std::string("i") + key;
            EXPECT_EQ(settings.ReadInteger(section, indexKey, -9),
                      catalogue.ReadInteger(section, indexKey, -8))
                << section << " " << indexKey;
            const auto list = profiles::ReadValueList(global_.Files(), code, key);
            const std::string stored = settings.ReadString(section, ParameterKey(key), "(none)");
            if (!list.empty()) {
                EXPECT_EQ(stored,
                          StoredValue(key, list[catalogue.ReadInteger(section, indexKey, 0)]))
                    << section << " " << key;
            } else if (std::string(key) == "VideoBitRate" || std::string(key) == "AudioBitRate") {
                // No choice offered: the rate is left to the encoder.
                EXPECT_EQ(stored,
                          video || std::string(key) == "AudioBitRate" ? "as source" : "(none)")
                    << section << " " << key;
            }
        }
        EXPECT_EQ(settings.ReadString(section, "paraZoom", "(none)"), video ? "lbox" : "(none)")
            << section;
    }
}

std::string Describe(const OutputOptions& o, const InputOptions& i) {
    std::ostringstream text;
    const auto add = [&text](const char* name, const auto& value, const auto& unset) {
        if (value != unset) {
            text << name << "=" << value << " ";
        }
    };
    add("f", o.FileFormat, std::string());
    add("target", o.Target, 0);
    add("norm", o.TargetNorm, 0);
    add("vcodec", o.VideoCodec, std::string());
    add("vpre", o.VideoPreset, std::string());
    add("vn", o.DisableVideo, false);
    add("vb", o.VideoBitrate, -1);
    add("r", o.FrameRate, std::string());
    add("s", o.FrameSize, std::string());
    add("aspect", o.AspectRatio, std::string());
    add("vf", o.VideoFilters, std::string());
    add("crop", o.CropTop + o.CropBottom + o.CropLeft + o.CropRight, -4);
    add("acodec", o.AudioCodec, std::string());
    add("an", o.DisableAudio, false);
    add("ac", o.AudioChannels, -1);
    add("ar", o.AudioSampleRate, -1);
    add("ab", o.AudioBitrate, -1);
    add("vol", o.AudioVolume, -1);
    add("sn", o.DisableSubtitle, false);
    add("ext", o.ExtOptions, std::string());
    add("in", i.ExtOptions, std::string());
    return text.str();
}

// The encoder the engine will use for a stored name, in the libraries this machine has.
bool EncoderExists(const std::string& name, AVMediaType type) {
    const AVCodec* codec = media::lib::avcodec.avcodec_find_encoder_by_name(
        converter::SuccessorEncoderName(name).c_str());
    return codec != nullptr && codec->type == type;
}

// With no video encoder named, the container's own default encoder is used.
bool ContainerDefaultVideoEncoderExists(const std::string& format) {
    const AVOutputFormat* container =
        media::lib::avformat.av_guess_format(format.c_str(), nullptr, nullptr);
    return container != nullptr && container->video_codec != AV_CODEC_ID_NONE &&
           media::lib::avcodec.avcodec_find_encoder(container->video_codec) != nullptr;
}

TEST_F(ShippedProfiles, EveryProfileYieldsCompleteRecords) {
    const profiles::SourceFacts video{.VideoStreamCount = 1,
                                      .Width = 640,
                                      .Height = 360,
                                      .VideoBitRate = 1500000,
                                      .AudioSampleRate = 48000,
                                      .AudioBitRate = 192000};
    const profiles::SourceFacts audioOnly{.VideoStreamCount = 0,
                                          .Width = -1,
                                          .Height = -1,
                                          .VideoBitRate = 0,
                                          .AudioSampleRate = 44100,
                                          .AudioBitRate = 128000};
    const IniFile settings(global_.SettingsFile());
    for (const int code : profiles::CatalogueCodes()) {
        settings.WriteInteger("settings", "FormatCode", code);
        const bool videoProfile =
            !settings.ReadString(profiles::FormatSection(code), "paraVideoEncoder", "").empty();
        for (const auto& [name, source] :
             {std::pair{"640x360", video}, std::pair{"audio", audioOnly}}) {
            const JobRecord job = NewJobRecord(global_.Files(), "/v/clip.mkv", "/o/x", 0);
            OutputOptions output;
            InputOptions input;
            testing::ScriptedPrompter prompter;  // any question fails the test
            profiles::BuildProfileOptions(global_.Files(), code, job.Framing(), source, output,
                                          input, prompter);
            std::cout << code << " " << name << ": " << Describe(output, input) << "\n";
            const std::string where = std::to_string(code) + " " + name;

            EXPECT_TRUE(EncoderExists(output.AudioCodec, AVMEDIA_TYPE_AUDIO))
                << where << " " << output.AudioCodec;
            EXPECT_GT(output.AudioSampleRate, 0) << where;
            EXPECT_GT(output.AudioChannels, 0) << where;
            EXPECT_FALSE(output.DisableAudio) << where;
            if (!videoProfile) {
                EXPECT_TRUE(output.DisableVideo) << where;
                EXPECT_EQ(input.ExtOptions, "vn=1") << where;
                continue;
            }
            if (output.VideoCodec.empty()) {
                // Only the FLV profile leaves the choice to its container.
                EXPECT_EQ(code, 200) << where;
                EXPECT_TRUE(ContainerDefaultVideoEncoderExists(
                    output.FileFormat.empty() ? "flv" : output.FileFormat))
                    << where;
            } else {
                EXPECT_TRUE(EncoderExists(output.VideoCodec, AVMEDIA_TYPE_VIDEO))
                    << where << " " << output.VideoCodec;
            }
            if (source.VideoStreamCount == 0) {
                EXPECT_TRUE(output.DisableVideo) << where;
                continue;
            }
            EXPECT_FALSE(output.DisableVideo) << where;
            EXPECT_FALSE(output.FrameSize.empty()) << where;
            EXPECT_FALSE(output.FrameRate.empty()) << where;
            EXPECT_EQ(output.VideoFilters.rfind("pad=", 0), 0u) << where;
            if (output.VideoCodec != "dvvideo") {
                EXPECT_GT(output.VideoBitrate, 0) << where;
            }
        }
    }
}

}  // namespace
}  // namespace quillo::app
