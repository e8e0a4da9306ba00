#include "app/job_record.h"

#include "profiles/profile_catalogue.h"

namespace quillo::app {

bool JobRecord::NeedsFrameHook() const {
    const bool adjusted = Brightness != 255 || Contrast != 0 || Saturation != 255 || Exposure != 0;
    return adjusted || (!Watermarks.empty() && (!Watermarks.front().Text.empty() ||
                                                !Watermarks.front().ImageFile.empty()));
}

profiles::JobFraming JobRecord::Framing() const {
    return {ZoomMode, CropTop, CropBottom, CropLeft, CropRight};
}

JobRecord NewJobRecord(const profiles::ProfileFiles& files, const std::filesystem::path& source,
                       const std::filesystem::path& output, std::int64_t probeDurationUs) {
    return NewJobRecord(profiles::CurrentZoom(files), source, output, probeDurationUs);
}

JobRecord NewJobRecord(const std::string& zoomMode, const std::filesystem::path& source,
                       const std::filesystem::path& output, std::int64_t probeDurationUs) {
    JobRecord record;
    record.SourceFile = source;
    record.OutputFile = output;
    record.Duration = static_cast<std::int32_t>(probeDurationUs / 1000000);
    record.ZoomMode = zoomMode;
    return record;
}

}  // namespace quillo::app
