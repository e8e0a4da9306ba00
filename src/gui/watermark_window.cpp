#include "gui/watermark_window.h"

namespace quillo::gui {

WatermarkWindow::WatermarkWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("WatermarkWindow"));
}

}  // namespace quillo::gui
