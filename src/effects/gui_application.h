#pragma once

namespace quillo::effects {

// Text watermarks are drawn with QtGui, which needs a QGuiApplication. Call this on the main
// thread before a batch: it does nothing when a QGuiApplication (or QApplication) exists, and
// otherwise makes one that lasts until the process ends. Without a display (neither DISPLAY
// nor WAYLAND_DISPLAY) and without QT_QPA_PLATFORM it chooses the offscreen platform first.
// Raises a WatermarkError when a plain QCoreApplication is in the way.
void EnsureGuiApplication();

}  // namespace quillo::effects
