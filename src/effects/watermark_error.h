#pragma once

#include "media/media_error.h"

namespace quillo::effects {

// A watermark that cannot be drawn: its picture is missing, not a BMP, PNG or JPEG, or damaged, or
// text was asked for without a GUI application. The message names the file or the cause.
class WatermarkError : public media::MediaError {
public:
    using MediaError::MediaError;
};

}  // namespace quillo::effects
