#include "gui/trim_window.h"

namespace quillo::gui {

TrimWindow::TrimWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TrimWindow"));
}

}  // namespace quillo::gui
