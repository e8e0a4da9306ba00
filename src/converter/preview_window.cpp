#include "converter/preview_window.h"

#include <mutex>

namespace quillo::converter {

namespace {

struct FactorySlot {
    std::mutex mutex;
    PreviewWindowFactory factory;
};

FactorySlot& Slot() {
    static FactorySlot slot;
    return slot;
}

}  // namespace

void SetPreviewWindowFactory(PreviewWindowFactory factory) {
    FactorySlot& slot = Slot();
    std::scoped_lock lock(slot.mutex);
    slot.factory = std::move(factory);
}

std::unique_ptr<PreviewWindow> MakePreviewWindow() {
    FactorySlot& slot = Slot();
    PreviewWindowFactory factory;
    {
        std::scoped_lock lock(slot.mutex);
        factory = slot.factory;
    }
    return factory ? factory() : nullptr;
}

}  // namespace quillo::converter
