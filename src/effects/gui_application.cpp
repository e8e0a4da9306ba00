#include "effects/gui_application.h"

#include <QGuiApplication>

#include <cstdlib>
#include <mutex>

#include "effects/watermark_error.h"

namespace quillo::effects {
namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

void EnsureGuiApplication() {
    static std::mutex mutex;
    // Qt keeps references to the argument count and list for the application's lifetime.
    static int argc = 1;
    static char name[] = "quillo";
    static char* argv[] = {name, nullptr};

    std::scoped_lock lock(mutex);
    if (QCoreApplication* existing = QCoreApplication::instance()) {
        if (qobject_cast<QGuiApplication*>(existing) == nullptr) {
            throw WatermarkError(
                "Text watermarks need a QGuiApplication, but a QCoreApplication exists");
        }
        return;
    }
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY") && !IsSet("QT_QPA_PLATFORM")) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    // Made in the static's own initialisation, so that it is destroyed at exit before the Qt
    // objects its construction brought up; a pointer set later would outlive them and crash.
    static QGuiApplication application(argc, argv);
}

}  // namespace quillo::effects
