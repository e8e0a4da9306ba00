#pragma once

// What the main window tests share: a settings, output and home folder of their own per test,
// a window whose dialogs and message boxes are scripted, and finding controls by name.

#include <gtest/gtest.h>

#include <QApplication>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/app_test_support.h"
#include "app/global_object.h"
#include "app/system_services.h"
#include "gui/main_window.h"
#include "gui/message_boxes.h"
#include "profiles/ini_file.h"
#include "support/temp_folder.h"

namespace quillo::gui::testing {

// The child of parent named name; the test fails (and the result is null) when there is none.
template <typename T>
T* Control(const QObject& parent, const char* name) {
    T* control = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << "no control " << name;
    return control;
}

using app::testing::RecordingSystemServices;

struct FileDialogRequest {
    QString caption;
    QString folder;
    QString filter;
};

// A folder of its own for the settings, the outputs and $HOME, and main windows whose file
// dialogs answer from scripted queues (empty: cancelled) and whose messages are written down
// (questions answered by answer).
class WindowTest : public ::testing::Test {
protected:
    WindowTest()
        : environment_({"QUILLO_CONFIG_DIR", "HOME", "XDG_CONFIG_HOME"}),
          configFolder_(temp_ / "config"),
          outputFolder_(temp_ / "out") {
        std::filesystem::create_directories(temp_ / "home");
        std::filesystem::create_directories(outputFolder_);
        setenv("QUILLO_CONFIG_DIR", configFolder_.c_str(), 1);
        setenv("HOME", (temp_ / "home").c_str(), 1);
        app::GlobalObject(configFolder_).PrepareConfigFolder();
        Settings().WriteString("settings", "OutPutDir", outputFolder_.string());
    }

    std::unique_ptr<MainWindow> MakeWindow() {
        auto window = std::make_unique<MainWindow>(&system_);
        window->SetMessageFunction([this](const MessageRequest& request) {
            messages.push_back(request);
            return request.IsQuestion() ? answer : true;
        });
        FileDialogs dialogs;
        dialogs.OpenFiles = [this](QWidget*, const QString& caption, const QString& folder,
                                   const QString& filter) {
            openRequests.push_back({caption, folder, filter});
            return chosenFiles.isEmpty() ? QStringList() : chosenFiles.takeFirst();
        };
        dialogs.ChooseFolder = [this](QWidget*, const QString& caption, const QString& folder) {
            folderRequests.push_back({caption, folder, {}});
            return chosenFolders.isEmpty() ? QString() : chosenFolders.takeFirst();
        };
        dialogs.IsReadOnlyStorage = [this](const QString& folder) {
            return readOnlyFolders.contains(folder);
        };
        window->SetFileDialogs(std::move(dialogs));
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }

    profiles::IniFile Settings() const {
        return profiles::IniFile(app::GlobalObject(configFolder_).SettingsFile());
    }
    const std::filesystem::path& OutputFolder() const { return outputFolder_; }
    std::filesystem::path operator/(const std::string& name) const { return temp_ / name; }

    static QString Q(const std::filesystem::path& path) {
        return QString::fromStdString(path.string());
    }

    // Clicks a button of the window by its name.
    static void Click(const QWidget& window, const char* name) {
        if (auto* button = Control<QWidget>(window, name)) {
            ASSERT_TRUE(button->isEnabled()) << name << " is disabled";
            QTest::mouseClick(button, Qt::LeftButton);
        }
    }

    RecordingSystemServices system_;
    QList<QStringList> chosenFiles;
    QStringList chosenFolders;
    QStringList readOnlyFolders;
    bool answer = true;
    std::vector<MessageRequest> messages;
    std::vector<FileDialogRequest> openRequests;
    std::vector<FileDialogRequest> folderRequests;

private:
    quillo::testing::ScopedEnvironment environment_;
    quillo::testing::TempFolder temp_;
    std::filesystem::path configFolder_;
    std::filesystem::path outputFolder_;
};

}  // namespace quillo::gui::testing
