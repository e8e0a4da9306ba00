#pragma once

#include <QDialog>

namespace quillo::gui {

// The trim editor of the selected job. Made hidden at start-up; its controls come
// with the editor itself.
class TrimWindow : public QDialog {
    Q_OBJECT
public:
    explicit TrimWindow(QWidget* parent = nullptr);
};

}  // namespace quillo::gui
