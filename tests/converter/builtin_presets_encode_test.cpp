#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "converter/builtin_presets.h"
#include "converter/legacy_names.h"
#include "media/library_bindings.h"
#include "media/library_pointers.h"
#include "media/system_libraries.h"

namespace quillo::converter {

// Names the row in test output.
void PrintTo(const OptionsPreset& preset, std::ostream* stream) {
    *stream << preset.Name;
}

namespace {

namespace lib = media::lib;

constexpr int Width = 320;
constexpr int Height = 240;
constexpr int FrameCount = 6;

// Sets every line of the preset text on the encoder's context through the legacy-names
// translation, as the engine does; reports each line the library refuses.
void ApplyPreset(AVCodecContext* context, std::string_view text) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        const std::size_t equals = line.find('=');
        ASSERT_NE(equals, std::string_view::npos) << line;
        for (const auto& [name, value] :
             TranslateLegacyOption("libx264", line.substr(0, equals), line.substr(equals + 1))) {
            EXPECT_GE(lib::avutil.av_opt_set(context, name.c_str(), value.c_str(),
                                             AV_OPT_SEARCH_CHILDREN),
                      0)
                << "line \"" << line << "\" as " << name << "=" << value;
        }
    }
}

// A moving gradient, so that the encoder has motion to search.
void FillPicture(AVFrame& frame, int index) {
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            frame.data[0][y * frame.linesize[0] + x] = static_cast<std::uint8_t>(x + y + 3 * index);
        }
    }
    for (int plane = 1; plane < 3; ++plane) {
        for (int y = 0; y < Height / 2; ++y) {
            std::memset(frame.data[plane] + y * frame.linesize[plane], 128 + plane * index,
                        Width / 2);
        }
    }
}

// Encodes a few frames and flushes; returns the bytes of every packet, in order.
std::string EncodeFrames(AVCodecContext* context, int& packetCount) {
    const media::FramePtr frame(lib::avutil.av_frame_alloc());
    const media::PacketPtr packet(lib::avcodec.av_packet_alloc());
    EXPECT_NE(frame, nullptr);
    EXPECT_NE(packet, nullptr);
    if (frame == nullptr || packet == nullptr) {
        return {};
    }
    frame->width = Width;
    frame->height = Height;
    frame->format = AV_PIX_FMT_YUV420P;
    EXPECT_GE(lib::avutil.av_frame_get_buffer(frame.get(), 0), 0);
    std::string bytes;
    const auto drain = [&] {
        while (lib::avcodec.avcodec_receive_packet(context, packet.get()) >= 0) {
            ++packetCount;
            bytes.append(reinterpret_cast<const char*>(packet->data),
                         static_cast<std::size_t>(packet->size));
            lib::avcodec.av_packet_unref(packet.get());
        }
    };
    for (int index = 0; index < FrameCount; ++index) {
        EXPECT_GE(lib::avutil.av_frame_make_writable(frame.get()), 0);
        FillPicture(*frame, index);
        frame->pts = index;
        EXPECT_GE(lib::avcodec.avcodec_send_frame(context, frame.get()), 0) << "frame " << index;
        drain();
    }
    EXPECT_GE(lib::avcodec.avcodec_send_frame(context, nullptr), 0);
    drain();
    return bytes;
}

std::string PrivateOption(AVCodecContext* context, const char* name) {
    std::uint8_t* value = nullptr;
    if (lib::avutil.av_opt_get(context->priv_data, name, 0, &value) < 0 || value == nullptr) {
        return "<unreadable>";
    }
    std::string text(reinterpret_cast<const char*>(value));
    lib::avutil.av_free(value);
    return text;
}

// Translated settings read back from libx264's private options after applying the row.
struct PrivateSetting {
    std::string_view preset;
    const char* option;
    std::string_view expected;
};

constexpr PrivateSetting PrivateSettings[] = {
    {"libx264-baseline", "8x8dct", "false"},
    {"libx264-baseline", "weightb", "false"},
    {"libx264-baseline", "weightp", "0"},
    {"libx264-baseline", "coder", "0"},
    {"libx264-ipod320", "level", "1.3"},
    {"libx264-ipod640", "level", "3.0"},
    {"libx264-psp", "level", "3.0"},
    {"libx264-psp", "motion-est", "2"},
    {"libx264-default", "partitions", "p8x8,b8x8,i8x8,i4x4"},
    {"libx264-default", "motion-est", "1"},
    {"libx264-default", "direct-pred", "1"},
    {"libx264-default", "mixed-refs", "true"},
    {"libx264-default", "fast-pskip", "true"},
    {"libx264-default", "weightp", "2"},
    {"libx264-ultrafast", "partitions", "none"},
    {"libx264-ultrafast", "x264-params", "no-deblock=1"},
    {"libx264-ultrafast", "mbtree", "false"},
    {"libx264-placebo", "motion-est", "4"},
    {"libx264-placebo", "b-pyramid", "2"},
    {"libx264-lossless_max", "qp", "0"},
    {"libx264-main", "8x8dct", "false"},
};

// The settings x264 writes into its stream (an SEI text "x264 - core ... options: ...")
// show that the translated lines reached the encoder itself.
struct EncodedSetting {
    std::string_view preset;
    std::string_view text;
};

constexpr EncodedSetting EncodedSettings[] = {
    {"libx264-baseline", " cabac=0 "},
    {"libx264-baseline", " 8x8dct=0 "},
    {"libx264-baseline", " bframes=0 "},
    {"libx264-baseline", " weightp=0 "},
    {"libx264-default", " ref=3 "},
    {"libx264-default", " me=hex "},
    {"libx264-default", " subme=7 "},
    {"libx264-default", " mixed_ref=1 "},
    {"libx264-default", " chroma_me=1 "},
    {"libx264-default", " trellis=1 "},
    {"libx264-default", " deblock=1:0:0 "},
    {"libx264-default", " direct=1 "},
    {"libx264-default", " weightb=1 "},
    {"libx264-default", " weightp=2 "},
    {"libx264-default", " keyint=250 keyint_min=25 scenecut=40 "},
    {"libx264-ultrafast", " deblock=0:0:0 "},
    {"libx264-ultrafast", " analyse=0x1:0 "},
    {"libx264-ultrafast", " me=dia "},
    {"libx264-ultrafast", " subme=0 "},
    {"libx264-ultrafast", " mbtree=0 "},
    {"libx264-placebo", " me=tesa "},
    {"libx264-placebo", " me_range=24 "},
    {"libx264-placebo", " fast_pskip=0 "},
    {"libx264-placebo", " b_pyramid=2 "},
    {"libx264-medium_firstpass", " ref=1 "},
    {"libx264-medium_firstpass", " 8x8dct=0 "},
    {"libx264-psp", " me=umh "},
    {"libx264-psp", " trellis=2 "},
    {"libx264-psp", " vbv_maxrate=1500 "},
    {"libx264-ipod320", " vbv_maxrate=768 "},
    {"libx264-lossless_medium", " qp=0"},
    {"libx264-lossless_ultrafast", " qp=0"},
};

class BuiltinPresetEncodeTest : public ::testing::TestWithParam<OptionsPreset> {};

// Every built-in row, with libx264 selected, sets options the FFmpeg 5.1 libx264 encoder
// accepts, opens it and encodes.
TEST_P(BuiltinPresetEncodeTest, TheRowOpensLibx264AndEncodes) {
    media::testing::LoadSystemLibraries();
    const OptionsPreset& preset = GetParam();
    const AVCodec* codec = lib::avcodec.avcodec_find_encoder_by_name("libx264");
    ASSERT_NE(codec, nullptr);
    const media::CodecContextPtr context(lib::avcodec.avcodec_alloc_context3(codec));
    ASSERT_NE(context, nullptr);
    context->width = Width;
    context->height = Height;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = AVRational{1, 25};
    context->framerate = AVRational{25, 1};

    ApplyPreset(context.get(), preset.Text);
    for (const PrivateSetting& setting : PrivateSettings) {
        if (setting.preset == preset.Name) {
            EXPECT_EQ(PrivateOption(context.get(), setting.option), setting.expected)
                << setting.option;
        }
    }

    ASSERT_GE(lib::avcodec.avcodec_open2(context.get(), codec, nullptr), 0);
    int packetCount = 0;
    const std::string stream = EncodeFrames(context.get(), packetCount);
    EXPECT_GE(packetCount, 1);
    const std::size_t options = stream.find("options: ");
    ASSERT_NE(options, std::string::npos) << "no x264 settings in the stream";
    const std::string settings = stream.substr(options, stream.find('\0', options) - options);
    for (const EncodedSetting& expected : EncodedSettings) {
        if (expected.preset == preset.Name) {
            EXPECT_NE(settings.find(expected.text), std::string::npos)
                << "\"" << expected.text << "\" not in " << settings;
        }
    }
}

std::string RowTestName(const ::testing::TestParamInfo<OptionsPreset>& info) {
    std::string name(info.param.Name);
    for (char& character : name) {
        if (character == '-') {
            character = '_';
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(BuiltinRows, BuiltinPresetEncodeTest,
                         ::testing::ValuesIn(BuiltinPresets().begin(), BuiltinPresets().end()),
                         RowTestName);

}  // namespace
}  // namespace quillo::converter
