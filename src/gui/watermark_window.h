#pragma once

#include <QDialog>

namespace quillo::gui {

// The watermark editor of the selected job. Made hidden at start-up; its controls come
// with the editor itself.
class WatermarkWindow : public QDialog {
    Q_OBJECT
public:
    explicit WatermarkWindow(QWidget* parent = nullptr);
};

}  // namespace quillo::gui
