#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "app/job_record.h"
#include "converter/conversion_events.h"
#include "effects/watermark_image_cache.h"

namespace quillo::converter {
class ConverterBase;
}

namespace quillo::app {

// The batch's handler of the converter's OnCustomHook: applies each task's job adjustments
// and watermark items to every decoded frame. Make it on the main thread (text drawing needs
// the GUI application it ensures); Apply then runs on the converter's worker threads.
class ConversionFrameHook {
public:
    // The job of a task index; nullptr leaves that task's frames alone. The jobs must not
    // change while a batch runs.
    using JobLookup = std::function<const JobRecord*(int taskIndex)>;
    using Handler = std::function<void(converter::ConverterBase&, converter::HookInfo*)>;

    explicit ConversionFrameHook(JobLookup jobOf);

    // Draws into *info.Bitmap and leaves Update and StopHook as they came. Errors (a
    // watermark picture that cannot be read) are raised for the converter to log.
    void Apply(converter::HookInfo& info);

    // Forgets the pictures read for earlier tasks; call it when a batch starts.
    void Reset();

    // A handler for the converter's OnCustomHook that calls Apply; the hook must outlive it.
    Handler AsHandler();

private:
    std::shared_ptr<effects::WatermarkImageCache> ImagesOf(int taskIndex);

    JobLookup jobOf_;
    std::mutex mutex_;
    std::map<int, std::shared_ptr<effects::WatermarkImageCache>> images_;
};

}  // namespace quillo::app
