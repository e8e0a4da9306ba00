#include "gui/message_boxes.h"

#include <QMessageBox>

namespace quillo::gui {

bool ShowMessageBox(QWidget* parent, const MessageRequest& request) {
    QMessageBox box(parent);
    box.setWindowTitle(request.Caption);
    box.setText(request.Text);
    switch (request.Icon) {
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case MessageIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
    }
    if (request.IsQuestion()) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    return box.exec() != QMessageBox::No;
}

MessageFunction MessageBoxesFor(QWidget* parent) {
    return [parent](const MessageRequest& request) { return ShowMessageBox(parent, request); };
}

bool GuiPrompter::AskYesNo(const std::string& caption, const std::string& text) {
    return Show(
        {MessageIcon::Question, QString::fromStdString(caption), QString::fromStdString(text)});
}

void GuiPrompter::Warn(const std::string& caption, const std::string& text) {
    Show({MessageIcon::Warning, QString::fromStdString(caption), QString::fromStdString(text)});
}

}  // namespace quillo::gui
