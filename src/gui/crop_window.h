#pragma once

#include <QDialog>

namespace quillo::gui {

// The crop and picture adjustment editor of the selected job. Made hidden at start-up; its controls
// come with the editor itself.
class CropWindow : public QDialog {
    Q_OBJECT
public:
    explicit CropWindow(QWidget* parent = nullptr);
};

}  // namespace quillo::gui
