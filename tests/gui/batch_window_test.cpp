// Whole batches from the main window's Start button, converting for real: the progress
// window's counter, the rows' "Progress" cells, the window closing at the end, the actions
// after the last job, the warning without checked rows, and Cancel during the first job.

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <filesystem>
#include <optional>
#include <set>

#include "app/batch_controller.h"
#include "fixtures/fixture_path.h"
#include "gui/job_list_view.h"
#include "gui/progress_window.h"
#include "window_test_support.h"

namespace quillo::gui::testing {
namespace {

namespace fs = std::filesystem;
using quillo::testing::FixturePath;

// Hears the batch after the progress window and writes down what that window shows then.
class ProgressLog : public app::BatchObserver {
public:
    explicit ProgressLog(MainWindow& window) : window_(window) {}

    void ProgressChanged(int task, int, const app::ProgressFields&,
                         std::optional<int> percent) override {
        ProgressWindow* progress = window_.Progress();
        ASSERT_NE(progress, nullptr);
        EXPECT_TRUE(progress->isVisible());
        // The job list cannot be reached meanwhile.
        EXPECT_EQ(QApplication::activeModalWidget(), progress);
        EXPECT_FALSE(window_.findChild<QPushButton*>("btnAdd")->isEnabled());
        const QString counter = Control<QLabel>(*progress, "lblProgress")->text();
        if (counters.isEmpty() || counters.back() != counter) {
            counters.push_back(counter);
        }
        if (whenProgress) {
            whenProgress(task, percent);
        }
    }
    void BatchEnded(const app::BatchSummary& result) override { summary = result; }

    QStringList counters;
    std::optional<app::BatchSummary> summary;
    std::function<void(int task, std::optional<int> percent)> whenProgress;

private:
    MainWindow& window_;
};

class BatchWindowTest : public WindowTest {
protected:
    std::set<std::string> Outputs() const {
        std::set<std::string> names;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(OutputFolder(), error)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    static QString ProgressCell(QTreeView& list, int row) {
        return list.model()->index(row, 4).data().toString();
    }
};

TEST_F(BatchWindowTest, TwoCheckedRowsConvertWithTheirCounterAndTheWindowClosesAtTheEnd) {
    const auto window = MakeWindow();
    window->AddFiles(
        {Q(FixturePath("clip.mp4")), Q(FixturePath("clip.avi")), Q(FixturePath("clip.mkv"))});
    auto* list = Control<QTreeView>(*window, "lvFIles");
    ASSERT_EQ(list->model()->rowCount(), 3);

    // Without a checked row the batch does not start.
    for (int row = 0; row < 3; ++row) {
        const QRect cell = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          JobRowDelegate::CheckBoxRect(cell).center());
    }
    ASSERT_EQ(window->Jobs().CheckedCount(), 0);
    Click(*window, "btnStart");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].Caption, QStringLiteral("Warning"));
    EXPECT_EQ(messages[0].Text, QStringLiteral("Please select a file by clicking the check box!"));
    EXPECT_EQ(window->Progress(), nullptr);
    EXPECT_TRUE(Outputs().empty());

    // Rows 0 and 2 checked again; the middle one stays out.
    for (int row : {0, 2}) {
        const QRect cell = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          JobRowDelegate::CheckBoxRect(cell).center());
    }
    ASSERT_EQ(window->Jobs().CheckedCount(), 2);
    ASSERT_FALSE(window->Jobs().Row(1).Checked);

    ProgressLog log(*window);
    window->SetBatchListener(&log);
    messages.clear();
    Click(*window, "btnStart");  // returns when the progress window has closed

    ASSERT_TRUE(log.summary.has_value());
    EXPECT_EQ(log.summary->Tasks, 2);
    EXPECT_EQ(log.summary->Finished, 2);
    EXPECT_FALSE(log.summary->Cancelled);
    EXPECT_EQ(log.counters, (QStringList{"[1/2]", "[2/2]"}));
    EXPECT_EQ(ProgressCell(*list, 0), QStringLiteral("100%"));
    EXPECT_EQ(ProgressCell(*list, 1), QString());
    EXPECT_EQ(ProgressCell(*list, 2), QStringLiteral("100%"));
    ASSERT_NE(window->Progress(), nullptr);
    EXPECT_FALSE(window->Progress()->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(Outputs(), (std::set<std::string>{"clip_(new).mp4", "clip_(new_1).mp4"}));
    EXPECT_EQ(system_.openedFolders, std::vector<fs::path>{OutputFolder()});
    EXPECT_EQ(system_.powerOffs, 0);
    EXPECT_TRUE(messages.empty());
    for (const char* name : {"btnAdd", "btnRemove", "btnClear", "btnStart"}) {
        EXPECT_TRUE(Control<QPushButton>(*window, name)->isEnabled()) << name;
    }
    window->SetBatchListener(nullptr);
}

TEST_F(BatchWindowTest, CancelDuringTheFirstJobClosesTheWindowWithoutTheEndActions) {
    // Full-size DV pictures take a while: the first job reports while it converts.
    Settings().WriteString("settings", "FormatCode", "409");
    const auto window = MakeWindow();
    window->AddFiles(
        {Q(FixturePath("clip.mp4")), Q(FixturePath("clip.avi")), Q(FixturePath("clip.mkv"))});
    auto* list = Control<QTreeView>(*window, "lvFIles");
    ASSERT_EQ(list->model()->rowCount(), 3);
    window->Converter().SetProgressInterval(100);

    ProgressLog log(*window);
    bool paused = false;
    log.whenProgress = [&](int task, std::optional<int> percent) {
        if (!paused && task == 0 && percent.value_or(100) < 100) {
            paused = true;
            // Held at its next packet, so that it cannot end before the cancel.
            QTest::mouseClick(Control<QPushButton>(*window->Progress(), "btnPause"),
                              Qt::LeftButton);
            // Cancel is clicked from the event loop, as a user would.
            QTimer::singleShot(0, window.get(), [&window] {
                QTest::mouseClick(Control<QPushButton>(*window->Progress(), "btnCancel"),
                                  Qt::LeftButton);
            });
        }
    };
    window->SetBatchListener(&log);
    Click(*window, "btnStart");

    ASSERT_TRUE(paused) << "the first job ended before it could be paused";
    ASSERT_TRUE(log.summary.has_value());
    EXPECT_TRUE(log.summary->Cancelled);
    EXPECT_EQ(log.summary->Finished, 0);
    EXPECT_EQ(log.counters, QStringList{"[1/3]"});
    EXPECT_TRUE(ProgressCell(*list, 0).endsWith(QLatin1Char('%')));
    EXPECT_NE(ProgressCell(*list, 0), QStringLiteral("100%"));
    EXPECT_EQ(ProgressCell(*list, 1), QString());
    EXPECT_EQ(ProgressCell(*list, 2), QString());
    EXPECT_FALSE(window->Progress()->isVisible());
    EXPECT_TRUE(system_.openedFolders.empty());
    EXPECT_EQ(system_.powerOffs, 0);
    EXPECT_FALSE(window->Batch().Running());
    EXPECT_TRUE(Control<QPushButton>(*window, "btnStart")->isEnabled());
    window->SetBatchListener(nullptr);
}

TEST_F(BatchWindowTest, ClosingTheWindowDuringABatchAsksThenStopsTheBatch) {
    Settings().WriteString("settings", "FormatCode", "409");
    auto window = MakeWindow();
    window->AddFiles({Q(FixturePath("clip.mp4")), Q(FixturePath("clip.avi"))});
    window->Converter().SetProgressInterval(100);
    ProgressLog log(*window);
    bool closeAsked = false;
    log.whenProgress = [&](int task, std::optional<int> percent) {
        if (!closeAsked && task == 0 && percent.value_or(100) < 100) {
            closeAsked = true;
            QTest::mouseClick(Control<QPushButton>(*window->Progress(), "btnPause"),
                              Qt::LeftButton);
            // As the window system would ask, from the event loop.
            QTimer::singleShot(0, window.get(), [&window] { window->close(); });
        }
    };
    window->SetBatchListener(&log);
    answer = true;
    Click(*window, "btnStart");

    ASSERT_TRUE(closeAsked);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].Icon, MessageIcon::Question);
    EXPECT_EQ(messages[0].Caption, QStringLiteral("Warning"));
    EXPECT_EQ(messages[0].Text, QStringLiteral("Do you really want to exit?"));
    ASSERT_TRUE(log.summary.has_value());
    EXPECT_TRUE(log.summary->Cancelled);
    EXPECT_FALSE(window->Batch().Running());
    EXPECT_FALSE(window->Progress()->isVisible());
    // Once the batch has stopped the window closes without asking again.
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(system_.openedFolders.empty());
    window->SetBatchListener(nullptr);
}

TEST_F(BatchWindowTest, AnsweringNoKeepsTheWindowOpen) {
    const auto window = MakeWindow();
    answer = false;
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].Text, QStringLiteral("Do you really want to exit?"));
    answer = true;
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace quillo::gui::testing
