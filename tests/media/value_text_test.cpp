#include <gtest/gtest.h>

#include "media/media_error.h"
#include "media/value_text.h"

namespace quillo::media {
namespace {

TEST(ValueText, IntegersAreWholeSignedDecimals) {
    struct Case {
        const char* text;
        std::optional<int> value;
    };
    for (const Case& c : std::initializer_list<Case>{{"0", 0},
                                                     {"44100", 44100},
                                                     {"-5", -5},
                                                     {"+7", 7},
                                                     {"", std::nullopt},
                                                     {"as source", std::nullopt},
                                                     {"12a", std::nullopt},
                                                     {"1.5", std::nullopt},
                                                     {" 12", std::nullopt},
                                                     {"+-1", std::nullopt},
                                                     {"99999999999", std::nullopt}}) {
        EXPECT_EQ(ParseInteger(c.text), c.value) << c.text;
    }
}

TEST(ValueText, NumbersTakeFractionsButNoWords) {
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    for (const Case& c : std::initializer_list<Case>{{"29.97", 29.97},
                                                     {"128", 128.0},
                                                     {".5", 0.5},
                                                     {"-2.5", -2.5},
                                                     {"+3", 3.0},
                                                     {"1e3", 1000.0},
                                                     {"inf", std::nullopt},
                                                     {"nan", std::nullopt},
                                                     {"", std::nullopt},
                                                     {"29,97", std::nullopt},
                                                     {"12kb", std::nullopt}}) {
        EXPECT_EQ(ParseNumber(c.text), c.value) << c.text;
    }
}

TEST(ValueText, StrictConversionsRaiseTheRuntimeMessage) {
    EXPECT_EQ(StrictInteger("25"), 25);
    try {
        StrictInteger("abc");
        FAIL() << "no error";
    } catch (const media::MediaError& error) {
        EXPECT_STREQ(error.what(), "'abc' is not a valid integer value");
    }
    try {
        StrictNumber("");
        FAIL() << "no error";
    } catch (const media::MediaError& error) {
        EXPECT_STREQ(error.what(), "'' is not a valid floating point value");
    }
}

TEST(ValueText, ListsSplitAtEveryCommaWithoutTrimming) {
    EXPECT_EQ(SplitValueList("as source,22050,44100,48000"),
              (std::vector<std::string>{"as source", "22050", "44100", "48000"}));
    EXPECT_EQ(SplitValueList("as source,22050,44100,48000,"),
              (std::vector<std::string>{"as source", "22050", "44100", "48000", ""}));
    EXPECT_EQ(SplitValueList(" a , b"), (std::vector<std::string>{" a ", " b"}));
    EXPECT_EQ(SplitValueList(""), (std::vector<std::string>{""}));
}

TEST(ValueText, TrimAndCase) {
    EXPECT_EQ(Trim(" \t x y \r\n"), "x y");
    EXPECT_EQ(LowerAscii("As Source"), "as source");
    EXPECT_TRUE(EqualsIgnoreCase("FormatInfo1", "formatinfo1"));
    EXPECT_FALSE(EqualsIgnoreCase("formatInfo1", "formatInfo10"));
}

}  // namespace
}  // namespace quillo::media
