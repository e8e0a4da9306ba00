#include "converter/builtin_presets.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace quillo::converter {
namespace {

TEST(BuiltinPresetsTest, TheTableHoldsTheFortyRowsInOrder) {
    const std::vector<std::string_view> expected = {"libx264-baseline",
                                                    "libx264-default",
                                                    "libx264-fast",
                                                    "libx264-fast_firstpass",
                                                    "libx264-faster",
                                                    "libx264-faster_firstpass",
                                                    "libx264-fastfirstpass",
                                                    "libx264-hq",
                                                    "libx264-ipod320",
                                                    "libx264-ipod640",
                                                    "libx264-lossless_fast",
                                                    "libx264-lossless_max",
                                                    "libx264-lossless_medium",
                                                    "libx264-lossless_slow",
                                                    "libx264-lossless_slower",
                                                    "libx264-lossless_ultrafast",
                                                    "libx264-main",
                                                    "libx264-max",
                                                    "libx264-medium",
                                                    "libx264-medium_firstpass",
                                                    "libx264-normal",
                                                    "libx264-placebo",
                                                    "libx264-placebo_firstpass",
                                                    "libx264-slow",
                                                    "libx264-slow_firstpass",
                                                    "libx264-slower",
                                                    "libx264-slower_firstpass",
                                                    "libx264-slowfirstpass",
                                                    "libx264-superfast",
                                                    "libx264-superfast_firstpass",
                                                    "libx264-ultrafast",
                                                    "libx264-ultrafast_firstpass",
                                                    "libx264-veryfast",
                                                    "libx264-veryfast_firstpass",
                                                    "libx264-veryslow",
                                                    "libx264-veryslow_firstpass",
                                                    "libx264-psp",
                                                    "libx264-ps3",
                                                    "libx264-ipod",
                                                    "libx264-mp4"};
    std::vector<std::string_view> names;
    for (const OptionsPreset& preset : BuiltinPresets()) {
        names.push_back(preset.Name);
    }
    EXPECT_EQ(names, expected);
}

TEST(BuiltinPresetsTest, TheShortRowsHoldExactlyTheirLines) {
    struct Row {
        std::string_view name;
        std::string_view text;
    };
    const Row rows[] = {
        {"libx264-baseline", "coder=0\nbf=0\nflags2=-wpred-dct8x8\nwpredp=0"},
        {"libx264-main", "flags2=-dct8x8"},
        {"libx264-ipod320",
         "coder=0\nbf=0\nflags2=-wpred-dct8x8\nlevel=13\nmaxrate=768000\nbufsize=3000000\n"
         "wpredp=0"},
        {"libx264-ipod640",
         "coder=0\nbf=0\nrefs=1\nflags2=-wpred-dct8x8\nlevel=30\nmaxrate=10000000\n"
         "bufsize=10000000\nwpredp=0"},
        {"libx264-default",
         "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\n"
         "me_method=hex\nsubq=7\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\n"
         "i_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\nqdiff=4\nbf=3\nrefs=3\n"
         "directpred=1\ntrellis=1\nflags2=+mixed_refs+wpred+dct8x8+fastpskip\nwpredp=2"},
        {"libx264-psp",
         "coder=1\nflags=+loop\nlevel=30\ncmp=+chroma\n"
         "partitions=+parti4x4+parti8x8+partp8x8+partb8x8\nme_method=umh\nsubq=7\nme_range=16\n"
         "g=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\n"
         "qmin=10\nqmax=51\nqdiff=4\nbf=3\nrefs=1\ndirectpred=1\ntrellis=2\nb=1250000\n"
         "maxrate=1500000\nbufsize=4000000\nbt=256000\nsc_threshold=40"},
    };
    for (const Row& row : rows) {
        const OptionsPreset* preset = FindBuiltinPreset(row.name);
        ASSERT_NE(preset, nullptr) << row.name;
        EXPECT_EQ(preset->Text, row.text) << row.name;
    }
}

// Every line of every row is name=value with both sides filled, without stray spaces.
TEST(BuiltinPresetsTest, EveryLineIsANameValuePair) {
    for (const OptionsPreset& preset : BuiltinPresets()) {
        std::string_view text = preset.Text;
        ASSERT_FALSE(text.empty()) << preset.Name;
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            const std::string_view line = text.substr(0, end);
            const std::size_t equals = line.find('=');
            EXPECT_NE(equals, std::string_view::npos) << preset.Name << ": " << line;
            EXPECT_GT(equals, 0U) << preset.Name << ": " << line;
            EXPECT_LT(equals + 1, line.size()) << preset.Name << ": " << line;
            EXPECT_EQ(line.find(' '), std::string_view::npos) << preset.Name << ": " << line;
            text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        }
    }
}

// The rows other than those spelt out set the keys of libx264-default (the lossless ones also
// "cqp=0"); the device rows set the keys of libx264-psp.
TEST(BuiltinPresetsTest, TheLongRowsSetTheKeysOfTheirModel) {
    const auto keys = [](std::string_view text) {
        std::vector<std::string> names;
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            const std::string_view line = text.substr(0, end);
            names.emplace_back(line.substr(0, line.find('=')));
            text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        }
        return names;
    };
    const std::vector<std::string> speedKeys = keys(FindBuiltinPreset("libx264-default")->Text);
    const std::vector<std::string> deviceKeys = keys(FindBuiltinPreset("libx264-psp")->Text);
    for (const OptionsPreset& preset : BuiltinPresets()) {
        const std::string_view name = preset.Name;
        if (name == "libx264-baseline" || name == "libx264-main" || name == "libx264-ipod320" ||
            name == "libx264-ipod640") {
            continue;
        }
        std::vector<std::string> rowKeys = keys(preset.Text);
        if (name == "libx264-ps3" || name == "libx264-mp4") {
            EXPECT_EQ(rowKeys, deviceKeys) << name;
        } else if (name == "libx264-ipod") {
            // Baseline for the players: psp's keys plus the switches that keep it baseline.
            std::vector<std::string> expected = deviceKeys;
            expected.insert(expected.end(), {"flags2", "wpredp"});
            EXPECT_EQ(rowKeys, expected) << name;
        } else if (name.starts_with("libx264-lossless_")) {
            std::vector<std::string> expected = speedKeys;
            expected.emplace_back("cqp");
            EXPECT_EQ(rowKeys, expected) << name;
            EXPECT_NE(preset.Text.find("\ncqp=0"), std::string_view::npos) << name;
        } else if (name != "libx264-psp") {
            EXPECT_EQ(rowKeys, speedKeys) << name;
        }
    }
}

TEST(BuiltinPresetsTest, LookupIgnoresCaseAndMissesUnknownNames) {
    const OptionsPreset* slow = FindBuiltinPreset("libx264-slow");
    ASSERT_NE(slow, nullptr);
    EXPECT_EQ(slow->Name, "libx264-slow");
    EXPECT_EQ(FindBuiltinPreset("LIBX264-Slow"), slow);
    EXPECT_EQ(FindBuiltinPreset("libx264-slow "), nullptr);
    EXPECT_EQ(FindBuiltinPreset("slow"), nullptr);
    EXPECT_EQ(FindBuiltinPreset(""), nullptr);
    EXPECT_EQ(FindBuiltinPreset("libx264-mp4")->Name, "libx264-mp4");
}

}  // namespace
}  // namespace quillo::converter
