#include "effects/watermark_item.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace quillo::effects {
namespace {

TEST(WmRec, ShowsForWholeSecondsBothEndsIncluded) {
    struct Case {
        std::int32_t start;
        std::int32_t end;
        std::int64_t microseconds;
        bool shows;
    };
    const std::vector<Case> cases = {
        {5, 5, 4999999, false},
        {5, 5, 5000000, true},
        {5, 5, 5999999, true},
        {5, 5, 6000000, false},
        {10, 20, 9999999, false},
        {10, 20, 20999999, true},
        {10, 20, 21000000, false},
        {0, 0, 0, true},
        // Cut toward zero: the first second before the start still counts as second 0.
        {0, 0, -999999, true},
        {0, 0, -1000000, false},
        {6, 5, 5500000, false},
        {0, 2147483647, 9000000000000, true},
    };
    for (const Case& test : cases) {
        WmRec item;
        item.StartSec = test.start;
        item.EndSec = test.end;
        EXPECT_EQ(item.ShowsAt(test.microseconds), test.shows)
            << test.start << ".." << test.end << " at " << test.microseconds << " us";
    }
}

}  // namespace
}  // namespace quillo::effects
