#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/progress_text.h"

namespace quillo::app {
namespace {

TEST(ProgressText, PercentOfTheLengthInWholeNumbers) {
    const struct {
        std::int64_t current;
        std::int64_t total;
        std::optional<int> percent;
    } cases[] = {
        {30'500'000, 61'000'000, 50},
        {60'999'999, 61'000'000, 99},
        {0, 61'000'000, 0},
        {61'000'000, 61'000'000, 100},
        {62'000'000, 61'000'000, 100},  // the output ran a little past the expected length
        {-40'000, 61'000'000, 0},
        // A length of -1 (not available) or 0 gives no percentage.
        {30'500'000, -1, std::nullopt},
        {30'500'000, 0, std::nullopt},
        // Times 100 must not overflow.
        {4'000'000'000'000'000'000, 8'000'000'000'000'000'000, 50},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProgressPercent(c.current, c.total), c.percent) << c.current << "/" << c.total;
    }
}

TEST(ProgressText, ValueTexts) {
    EXPECT_EQ(PercentText(50), "50%");
    EXPECT_EQ(PercentText(100), "100%");
    EXPECT_EQ(SecondsText(30'500'000), "30 Second");
    EXPECT_EQ(SecondsText(61'000'000), "61 Second");
    EXPECT_EQ(SecondsText(999'999), "0 Second");
    EXPECT_EQ(KilobytesText(2'345'678), "2345 kb");
    EXPECT_EQ(KilobytesText(999), "0 kb");
    EXPECT_EQ(TaskCounterText(0, 2), "[1/2]");
    EXPECT_EQ(TaskCounterText(1, 2), "[2/2]");
}

std::string Repeat(const std::string& text, int count) {
    std::string repeated;
    for (int i = 0; i < count; ++i) {
        repeated += text;
    }
    return repeated;
}

TEST(ProgressText, LongCaptionsKeepTheirStartAndExtension) {
    const std::string path60 = "/home/someone/videos/holiday/2010/summer/beach_day_one_x.avi";
    ASSERT_EQ(path60.size(), 60u);
    const std::string fifty(50, 'a');
    const std::string e = "\xC3\xA9";  // one character, two bytes
    const struct {
        std::string caption;
        std::string shown;
    } cases[] = {
        {path60, "/home/someone/videos/holiday/2010/summer/bea...avi"},
        {fifty, fifty},                               // 50 characters: as it is
        {fifty + "b", std::string(44, 'a') + ".."},   // 51, no extension
        {fifty + ".", std::string(44, 'a') + "..."},  // 51, an empty extension after its dot
        {"/v.d/" + std::string(60, 'c'), "/v.d/" + std::string(39, 'c') + ".."},
        {"/" + Repeat(e, 49), "/" + Repeat(e, 49)},  // 50 characters in 99 bytes
        {"/" + Repeat(e, 60) + ".mkv", "/" + Repeat(e, 43) + "...mkv"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShortenedFileName(c.caption), c.shown) << c.caption;
    }
}

TEST(ProgressText, FieldsOfOneReport) {
    converter::ProgressInfo info;
    info.TaskIndex = 1;
    info.CurrentDuration = 30'500'000;
    info.TotalDuration = 61'000'000;
    info.TotalSize = 2'345'678;
    const ProgressFields fields = MakeProgressFields(info, 2, "/v/clip.avi");
    EXPECT_EQ(fields,
              (ProgressFields{"30 Second", "61 Second", "2345 kb", "[2/2]", "/v/clip.avi"}));
    info.TotalDuration = -1;
    EXPECT_EQ(MakeProgressFields(info, 2, "/v/clip.avi").Length, "");
    info.TotalDuration = 0;
    EXPECT_EQ(MakeProgressFields(info, 2, "/v/clip.avi").Length, "");
}

}  // namespace
}  // namespace quillo::app
