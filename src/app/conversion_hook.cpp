#include "app/conversion_hook.h"

#include <utility>

#include "effects/frame_effects.h"
#include "effects/gui_application.h"

namespace quillo::app {
namespace {

effects::PictureAdjustments AdjustmentsOf(const JobRecord& job) {
    return {job.Brightness, job.Contrast, job.Saturation, job.Exposure};
}

}  // namespace

ConversionFrameHook::ConversionFrameHook(JobLookup jobOf) : jobOf_(std::move(jobOf)) {
    effects::EnsureGuiApplication();
}

void ConversionFrameHook::Apply(converter::HookInfo& info) {
    if (info.Bitmap == nullptr || !jobOf_) {
        return;
    }
    const JobRecord* job = jobOf_(info.TaskIndex);
    if (job == nullptr) {
        return;
    }
    const auto images = ImagesOf(info.TaskIndex);
    effects::ApplyFrameEffects(*info.Bitmap, info.PTS, AdjustmentsOf(*job), job->Watermarks,
                               *images);
}

void ConversionFrameHook::Reset() {
    std::scoped_lock lock(mutex_);
    images_.clear();
}

ConversionFrameHook::Handler ConversionFrameHook::AsHandler() {
    return [this](converter::ConverterBase&, converter::HookInfo* info) {
        if (info != nullptr) {
            Apply(*info);
        }
    };
}

// Shared, so that a Reset while a task is still drawing cannot take its cache away.
std::shared_ptr<effects::WatermarkImageCache> ConversionFrameHook::ImagesOf(int taskIndex) {
    std::scoped_lock lock(mutex_);
    auto& images = images_[taskIndex];
    if (!images) {
        images = std::make_shared<effects::WatermarkImageCache>();
    }
    return images;
}

}  // namespace quillo::app
