#include "gui/crop_window.h"

namespace quillo::gui {

CropWindow::CropWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CropWindow"));
}

}  // namespace quillo::gui
