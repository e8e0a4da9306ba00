#include "converter/legacy_names.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "media/library_bindings.h"
#include "media/library_pointers.h"
#include "media/system_libraries.h"

namespace quillo::converter {
namespace {

namespace lib = media::lib;
using Pairs = std::vector<std::pair<std::string, std::string>>;

struct EncoderCase {
    std::string_view legacy;
    std::string_view expected;
};

// The successors every FFmpeg 5.1 build has, and the names that stay as they are.
TEST(LegacyNamesTest, EncoderNamesMapToTheirSuccessors) {
    media::testing::LoadSystemLibraries();
    const EncoderCase cases[] = {
        {"libfaac", "aac"},
        {"libvo_aacenc", "aac"},
        {"libaacplus", "aac"},
        {"libflac", "flac"},
        {"libdirac", "vc2"},
        {"libschroedinger", "vc2"},
        {"libamr_nb", "libamr_nb"},
        {"libamr_wb", "libamr_wb"},
        {"libopencore_amrnb", "libopencore_amrnb"},
        {"libx264", "libx264"},
        {"mpeg4", "mpeg4"},
        {"libmp3lame", "libmp3lame"},
        {"", ""},
    };
    for (const EncoderCase& item : cases) {
        const std::string successor = SuccessorEncoderName(item.legacy);
        EXPECT_EQ(successor, item.expected) << item.legacy;
        if (successor != item.legacy) {
            EXPECT_NE(lib::avcodec.avcodec_find_encoder_by_name(successor.c_str()), nullptr)
                << successor;
        }
    }
    // Names without successor stay, and the caller's lookup then reports them missing.
    EXPECT_EQ(lib::avcodec.avcodec_find_encoder_by_name("libamr_nb"), nullptr);
}

TEST(LegacyNamesTest, VorbisBecomesLibvorbisWhenTheLibraryHasIt) {
    media::testing::LoadSystemLibraries();
    const bool hasLibvorbis = lib::avcodec.avcodec_find_encoder_by_name("libvorbis") != nullptr;
    EXPECT_EQ(SuccessorEncoderName("vorbis"), hasLibvorbis ? "libvorbis" : "vorbis");
    EXPECT_EQ(SuccessorEncoderName("libvorbis"), "libvorbis");
}

TEST(LegacyNamesTest, VorbisStaysWithoutLibavcodec) {
    if (lib::avcodec.avcodec_find_encoder_by_name != nullptr) {
        GTEST_SKIP() << "needs a process without the libraries, as ctest runs each test";
    }
    EXPECT_EQ(SuccessorEncoderName("vorbis"), "vorbis");
    EXPECT_EQ(SuccessorEncoderName("libfaac"), "aac");
}

struct OptionCase {
    std::string_view encoder;
    std::string_view name;
    std::string_view value;
    Pairs expected;
};

const std::vector<OptionCase>& OptionCases() {
    static const std::vector<OptionCase> cases = {
        // flags2: one libx264 option per flag, the rest stays generic.
        {"libx264", "flags2", "-wpred-dct8x8", {{"weightb", "0"}, {"8x8dct", "0"}}},
        {"libx264",
         "flags2",
         "+mixed_refs+wpred+dct8x8+fastpskip",
         {{"mixed-refs", "1"}, {"weightb", "1"}, {"8x8dct", "1"}, {"fast-pskip", "1"}}},
        {"libx264",
         "flags2",
         "+bpyramid-mbtree+aud+psy-ssim+intra_refresh",
         {{"b-pyramid", "normal"},
          {"mbtree", "0"},
          {"aud", "1"},
          {"psy", "1"},
          {"ssim", "0"},
          {"intra-refresh", "1"}}},
        {"libx264", "flags2", "-bpyramid", {{"b-pyramid", "none"}}},
        {"libx264",
         "flags2",
         "+dct8x8+local_header-fast",
         {{"8x8dct", "1"}, {"flags2", "+local_header-fast"}}},
        // A value without a leading sign replaced the whole set.
        {"libx264",
         "flags2",
         "dct8x8+local_header",
         {{"8x8dct", "1"},
          {"weightb", "0"},
          {"mixed-refs", "0"},
          {"fast-pskip", "0"},
          {"b-pyramid", "none"},
          {"aud", "0"},
          {"mbtree", "0"},
          {"psy", "0"},
          {"ssim", "0"},
          {"intra-refresh", "0"},
          {"flags2", "local_header"}}},
        // flags: libx264 ignores the generic loop filter flag; its own parameters replace it.
        {"libx264", "flags", "+loop", {{"x264-params", "no-deblock=0"}}},
        {"libx264", "flags", "-loop+cgop", {{"x264-params", "no-deblock=1"}, {"flags", "+cgop"}}},
        {"libx264rgb", "flags", "+global_header", {{"flags", "+global_header"}}},
        // The MPEG video encoders: flags that became private options.
        {"mpeg2video", "flags", "+scan_offset", {{"scan_offset", "1"}}},
        {"mpeg1video", "flags", "+trell", {{"trellis", "1"}}},
        {"mpeg4",
         "flags",
         "+naq+qprd-cbp+part+alt+mv4",
         {{"mpv_flags", "+naq"},
          {"mpv_flags", "+qp_rd"},
          {"mpv_flags", "-cbp_rd"},
          {"data_partitioning", "1"},
          {"alternate_scan", "1"},
          {"flags", "+mv4"}}},
        {"mpeg4",
         "flags2",
         "+skiprd+strict_gop+local_header",
         {{"mpv_flags", "+skip_rd"}, {"mpv_flags", "+strict_gop"}, {"flags2", "+local_header"}}},
        {"h263p", "flags", "+umv+aiv+obmc", {{"umv", "1"}, {"aiv", "1"}, {"obmc", "1"}}},
        // Other encoders keep the libx264 flags as they are.
        {"mpeg4", "flags2", "+local_header", {{"flags2", "+local_header"}}},
        // Renamed libx264 options.
        {"libx264", "wpredp", "2", {{"weightp", "2"}}},
        {"libx264rgb", "wpredp", "0", {{"weightp", "0"}}},
        {"libx264", "directpred", "3", {{"direct-pred", "3"}}},
        {"libx264", "cqp", "0", {{"qp", "0"}}},
        {"libx264", "complexityblur", "20", {{"cplxblur", "20"}}},
        {"libx264", "nr", "100", {{"noise_reduction", "100"}}},
        {"libx264", "bframebias", "10", {{"b-bias", "10"}}},
        {"libx264", "rc_lookahead", "40", {{"rc-lookahead", "40"}}},
        {"libx264", "aq_mode", "1", {{"aq-mode", "1"}}},
        {"libx264", "aq_strength", "1.2", {{"aq-strength", "1.2"}}},
        // Motion estimation: by name or by the old enum's number.
        {"libx264", "me_method", "hex", {{"motion-est", "hex"}}},
        {"libx264", "me_method", "umh", {{"motion-est", "umh"}}},
        {"libx264", "me_method", "dia", {{"motion-est", "dia"}}},
        {"libx264", "me_method", "epzs", {{"motion-est", "dia"}}},
        {"libx264", "me_method", "full", {{"motion-est", "esa"}}},
        {"libx264", "me_method", "tesa", {{"motion-est", "tesa"}}},
        {"libx264", "me_method", "x1", {{"motion-est", "hex"}}},
        {"libx264", "me_method", "8", {{"motion-est", "umh"}}},
        {"libx264", "me_method", "10", {{"motion-est", "tesa"}}},
        {"mpeg4", "me_method", "x1", {{"motion_est", "xone"}}},
        {"mpeg2video", "me_method", "epzs", {{"motion_est", "epzs"}}},
        {"mpeg1video", "me_method", "1", {{"motion_est", "zero"}}},
        // The level: a number then, libx264's text now.
        {"libx264", "level", "13", {{"level", "1.3"}}},
        {"libx264", "level", "30", {{"level", "3.0"}}},
        {"libx264", "level", "41", {{"level", "4.1"}}},
        {"libx264", "level", "9", {{"level", "1b"}}},
        {"libx264", "level", "4.1", {{"level", "4.1"}}},
        {"mpeg2video", "level", "4", {{"level", "4"}}},
        // Partitions: counted from none, as libx264's comma list.
        {"libx264",
         "partitions",
         "+parti8x8+parti4x4+partp8x8+partb8x8",
         {{"partitions", "p8x8,b8x8,i8x8,i4x4"}}},
        {"libx264", "partitions", "-parti8x8-parti4x4-partp8x8-partb8x8", {{"partitions", "none"}}},
        {"libx264", "partitions", "+parti4x4+partp4x4-partp8x8", {{"partitions", "p4x4,i4x4"}}},
        // libx264 never used a rate-control equation; the MPEG video encoders still do.
        {"libx264", "rc_eq", "blurCplx^(1-qComp)", {}},
        {"mpeg4", "rc_eq", "tex^qComp", {{"rc_eq", "tex^qComp"}}},
        // Options libx264 still reads under their old names, generic or private.
        {"libx264", "coder", "0", {{"coder", "0"}}},
        {"libx264", "b_strategy", "2", {{"b_strategy", "2"}}},
        {"libx264", "sc_threshold", "40", {{"sc_threshold", "40"}}},
        {"libx264", "subq", "7", {{"subq", "7"}}},
        {"libx264", "cmp", "+chroma", {{"cmp", "+chroma"}}},
        {"libx264", "i_qfactor", "0.71", {{"i_qfactor", "0.71"}}},
        {"libx264", "qcomp", "0.6", {{"qcomp", "0.6"}}},
        {"libx264", "keyint_min", "25", {{"keyint_min", "25"}}},
        {"libx264", "bt", "256000", {{"bt", "256000"}}},
        {"libx264", "crf", "22", {{"crf", "22"}}},
        {"libx264", "me_range", "16", {{"me_range", "16"}}},
        {"libx264", "trellis", "2", {{"trellis", "2"}}},
        {"libx264", "g", "250", {{"g", "250"}}},
    };
    return cases;
}

TEST(LegacyNamesTest, OptionsTranslateToTheirSuccessors) {
    for (const OptionCase& item : OptionCases()) {
        EXPECT_EQ(TranslateLegacyOption(item.encoder, item.name, item.value), item.expected)
            << item.encoder << ": " << item.name << "=" << item.value;
    }
}

// What the translation gives, the FFmpeg 5.1 encoder accepts: each pair is set on a codec
// context of that encoder with its private options searched.
TEST(LegacyNamesTest, TheEncodersAcceptEveryTranslatedPair) {
    media::testing::LoadSystemLibraries();
    for (const OptionCase& item : OptionCases()) {
        const std::string encoder(item.encoder);
        const AVCodec* codec = lib::avcodec.avcodec_find_encoder_by_name(encoder.c_str());
        ASSERT_NE(codec, nullptr) << encoder;
        const media::CodecContextPtr context(lib::avcodec.avcodec_alloc_context3(codec));
        ASSERT_NE(context, nullptr);
        for (const auto& [name, value] :
             TranslateLegacyOption(item.encoder, item.name, item.value)) {
            EXPECT_GE(lib::avutil.av_opt_set(context.get(), name.c_str(), value.c_str(),
                                             AV_OPT_SEARCH_CHILDREN),
                      0)
                << encoder << ": " << item.name << "=" << item.value << " as " << name << "="
                << value;
        }
    }
}

// The renames are needed: FFmpeg 5.1's generic codec options lack the old names, and libx264
// has the new ones.
TEST(LegacyNamesTest, RenamedX264OptionsLeftTheGenericTable) {
    media::testing::LoadSystemLibraries();
    const AVClass* genericClass = lib::avcodec.avcodec_get_class();
    const AVCodec* x264 = lib::avcodec.avcodec_find_encoder_by_name("libx264");
    ASSERT_NE(x264, nullptr);
    const AVClass* privateClass = x264->priv_class;
    ASSERT_NE(privateClass, nullptr);
    const auto find = [](const AVClass* optionClass, const std::string& name) {
        return lib::avutil.av_opt_find(&optionClass, name.c_str(), nullptr, 0,
                                       AV_OPT_SEARCH_FAKE_OBJ);
    };
    const std::pair<std::string_view, std::string_view> renamed[] = {
        {"wpredp", "2"},
        {"directpred", "1"},
        {"cqp", "0"},
        {"me_method", "hex"},
        {"nr", "100"},
        {"complexityblur", "20"},
        {"bframebias", "0"},
        {"rc_lookahead", "40"},
        {"aq_mode", "1"},
        {"aq_strength", "1.0"},
        {"partitions", "+parti4x4"},
    };
    for (const auto& [legacy, value] : renamed) {
        EXPECT_EQ(find(genericClass, std::string(legacy)), nullptr) << legacy;
        for (const auto& [name, newValue] : TranslateLegacyOption("libx264", legacy, value)) {
            EXPECT_NE(find(privateClass, name), nullptr) << legacy << " as " << name;
        }
    }
    // Malformed flag values are left for the option parser to refuse.
    EXPECT_EQ(TranslateLegacyOption("libx264", "flags2", "+wpred+"),
              (Pairs{{"flags2", "+wpred+"}}));
    EXPECT_EQ(TranslateLegacyOption("libx264", "partitions", "+parti9x9"),
              (Pairs{{"partitions", "+parti9x9"}}));
}

}  // namespace
}  // namespace quillo::converter
