#pragma once

// What the editing window tests share: acting on the modal window a command opens, while it
// is open, and the outputs a batch wrote.

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "window_test_support.h"

namespace quillo::gui::testing {

// Runs act on the modal dialog that the next command opens, once its event loop runs, and
// closes the dialog afterwards when act left it open, so that a failing check cannot leave
// the test waiting for a click.
inline void WhenModalOpens(std::function<void(QDialog&)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        EXPECT_NE(dialog, nullptr) << "no modal window opened";
        if (dialog == nullptr) {
            return;
        }
        act(*dialog);
        if (dialog->isVisible()) {
            dialog->reject();
        }
    });
}

// Chooses an entry of the main window's Edit menu, as a click on it does.
inline void TriggerEditEntry(MainWindow& window, const QString& text) {
    for (QAction* action : window.EditMenu().actions()) {
        if (action->text() == text) {
            window.EditMenu().aboutToShow();
            ASSERT_TRUE(action->isEnabled()) << text.toStdString();
            action->trigger();
            return;
        }
    }
    ADD_FAILURE() << "no entry " << text.toStdString();
}

class EditorWindowTest : public WindowTest {
protected:
    std::set<std::filesystem::path> Outputs() const {
        std::set<std::filesystem::path> files;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(OutputFolder(), error)) {
            files.insert(entry.path());
        }
        return files;
    }

    // Runs the checked rows as one batch from the Start button; returns once it has ended.
    void ConvertAll(MainWindow& window) { Click(window, "btnStart"); }
};

}  // namespace quillo::gui::testing
