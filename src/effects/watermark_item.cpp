#include "effects/watermark_item.h"

namespace quillo::effects {

bool WmRec::ShowsAt(std::int64_t microseconds) const {
    const std::int64_t second = microseconds / 1000000;
    return StartSec <= second && second <= EndSec;
}

}  // namespace quillo::effects
