#include "app/job_record.h"

#include "profiles/profile_catalogue.h"

namespace quillo::app {

bool JobRecord::NeedsFrameHook() const {
    return Brightness != 255 || Contrast != 0 || Saturation != 255 || Exposure != 0 ||
           !Watermarks.empty();
}

profiles::JobFraming JobRecord::Framing() const {
    return {ZoomMode, CropTop, CropBottom, CropLeft, CropRight};
}

JobRecord NewJobRecord(const profiles::ProfileFiles& files, const std::filesystem::path& source,
                       const std::filesystem::path& output, std::int64_t probeDurationUs) {
    JobRecord record;
    record.SourceFile = source;
    record.OutputFile = output;
    record.Duration = static_cast<std::int32_t>(probeDurationUs / 1000000);
    record.ZoomMode = profiles::CurrentZoom(files);
    return record;
}

}  // namespace quillo::app
