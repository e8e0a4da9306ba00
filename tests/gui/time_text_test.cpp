// Time texts of the preview: hours unpadded, minutes and seconds in two digits, microseconds
// rounded to whole seconds with ties going to the even second.

#include "gui/time_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace quillo::gui {
namespace {

TEST(TimeTextGui, WholeSecondsShowHoursMinutesAndSeconds) {
    const struct {
        std::int64_t seconds;
        const char* text;
    } cases[] = {
        {0, "0:00:00"},       {9, "0:00:09"},         {59, "0:00:59"},   {60, "0:01:00"},
        {65, "0:01:05"},      {3599, "0:59:59"},      {3600, "1:00:00"}, {3725, "1:02:05"},
        {36'000, "10:00:00"}, {360'061, "100:01:01"}, {-65, "-0:01:05"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TimeText(c.seconds), c.text) << c.seconds;
    }
}

TEST(TimeTextGui, MicrosecondsRoundToTheNearestSecondWithTiesToEven) {
    const struct {
        std::int64_t microseconds;
        const char* text;
    } cases[] = {
        {3'725'500'000, "1:02:06"},  // the tie goes up to the even 3726
        {3'724'500'000, "1:02:04"},  // and down to the even 3724
        {3'724'500'001, "1:02:05"},
        {3'725'499'999, "1:02:05"},
        {65'000'000, "0:01:05"},
        {499'999, "0:00:00"},
        {500'000, "0:00:00"},
        {500'001, "0:00:01"},
        {1'500'000, "0:00:02"},
        {2'500'000, "0:00:02"},
        {2'999'999, "0:00:03"},
        {-1, "0:00:00"},  // an unknown duration
        {-1'500'000, "-0:00:02"},
        {std::numeric_limits<std::int64_t>::max(), "2562047788:00:55"},
        {std::numeric_limits<std::int64_t>::min(), "-2562047788:00:55"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TimeTextOfMicroseconds(c.microseconds), c.text) << c.microseconds;
    }
}

TEST(TimeTextGui, EditorSecondsAndDurations) {
    const struct {
        std::int64_t seconds;
        const char* text;
    } seconds[] = {{0, "0:00:00"}, {3725, "1:02:05"}, {40'000, "11:06:40"}, {-5, "0:00:00"}};
    for (const auto& c : seconds) {
        EXPECT_EQ(FormatSeconds(c.seconds), c.text) << c.seconds;
    }
    const struct {
        std::int64_t microseconds;
        const char* text;
    } durations[] = {{3'725'250'000, "01:02:05.250"},
                     {0, "00:00:00.000"},
                     {999, "00:00:00.000"},
                     {360'000'001'000, "100:00:00.001"}};
    for (const auto& c : durations) {
        EXPECT_EQ(FormatDuration(c.microseconds), c.text) << c.microseconds;
    }
}

}  // namespace
}  // namespace quillo::gui
