// The progress window over real batches on the converter: the counter and the rows' "100%",
// the window closing itself at the end, the choices after the last job, Pause and Resume,
// cancelling (by Cancel and by the frame) during the first job, and the live picture.

#include "gui/progress_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "app/app_test_support.h"
#include "app/job_list.h"
#include "app/preview_placement.h"
#include "converter/converter.h"
#include "fixtures/fixture_path.h"
#include "gui_test_support.h"
#include "profiles/test_support.h"

namespace quillo::gui {
namespace {

using quillo::testing::FixturePath;
using testing::Control;

// Only reached when something is broken.
constexpr int kBatchWaitMs = 300'000;
constexpr int kPictureWaitMs = 20'000;

// Waits until picture shows bitmap: stretched in with its shape kept, light blue around it.
void ExpectPictureShows(QWidget& picture, const media::Bitmap& bitmap) {
    ASSERT_GT(bitmap.Width(), 0);
    const app::PictureRect place =
        app::PreviewPlacement(bitmap.Width(), bitmap.Height(), picture.width(), picture.height());
    const QRgb lightBlue = ProgressWindow::PictureBackground().rgb();
    QImage shown;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            shown = picture.grab().toImage();
            return !testing::AllPixels(shown, lightBlue);
        },
        kPictureWaitMs));
    ASSERT_EQ(shown.size(), picture.size());
    EXPECT_FALSE(testing::AllPixels(shown.copy(place.Left, place.Top, place.Width, place.Height),
                                    lightBlue));
    const int below = place.Top + place.Height;
    const int right = place.Left + place.Width;
    EXPECT_TRUE(testing::AllPixels(shown.copy(0, 0, shown.width(), place.Top), lightBlue));
    EXPECT_TRUE(testing::AllPixels(shown.copy(0, 0, place.Left, shown.height()), lightBlue));
    EXPECT_TRUE(
        testing::AllPixels(shown.copy(0, below, shown.width(), shown.height() - below), lightBlue));
    EXPECT_TRUE(
        testing::AllPixels(shown.copy(right, 0, shown.width() - right, shown.height()), lightBlue));
}

// Hears what the window passes on, after the window has handled it.
class Follower : public app::BatchObserver {
public:
    void ProgressChanged(int task, int, const app::ProgressFields&,
                         std::optional<int> percent) override {
        if (whenProgress) {
            whenProgress(task, percent);
        }
    }
    void BatchEnded(const app::BatchSummary& result) override { summary = result; }

    std::function<void(int task, std::optional<int> percent)> whenProgress;
    std::optional<app::BatchSummary> summary;
};

class ProgressWindowGui : public ::testing::Test {
protected:
    void SetUp() override {
        batch_.SetObserver(&window_);
        window_.SetNextObserver(&follower_);
    }

    void Add(const std::vector<std::filesystem::path>& paths) {
        const app::AddFilesResult added = jobs_.AddFiles(paths);
        ASSERT_EQ(added.Added, static_cast<int>(paths.size())) << added.LibraryError;
    }

    std::string Value(const char* name) const {
        return Control<QLabel>(window_, name)->text().toStdString();
    }
    bool Enabled(const char* name) const {
        return Control<QPushButton>(window_, name)->isEnabled();
    }
    std::string ProgressCell(int row) const {
        return jobs_.Row(row).Text(app::JobColumn::Progress);
    }

    app::testing::SettingsFolder settings_;
    quillo::testing::ScriptedPrompter prompter_;  // any question fails the test
    app::testing::RecordingSystemServices system_;
    converter::Converter converter_;
    app::JobList jobs_{converter_, settings_.Files(), prompter_};
    app::BatchController batch_{converter_, jobs_, settings_.Files(), prompter_, system_};
    ProgressWindow window_{batch_};
    Follower follower_;
};

TEST_F(ProgressWindowGui, TwoJobsCountUpAndTheWindowClosesAtTheEnd) {
    Add({FixturePath("clip.mp4"), FixturePath("clip.avi")});
    auto* openFolder = Control<QCheckBox>(window_, "chkOpenFolder");
    auto* shutdown = Control<QCheckBox>(window_, "chkShutdown");
    auto* picture = Control<QWidget>(window_, "imgPreview");
    EXPECT_EQ(window_.size(), QSize(420, 460));
    EXPECT_TRUE(openFolder->isChecked());
    EXPECT_FALSE(shutdown->isChecked());
    // Unchecked last time: checked again by the start. The shutdown choice is kept.
    openFolder->setChecked(false);
    shutdown->setChecked(true);

    std::vector<std::string> counters;
    std::vector<std::string> buttons;  // Pause and Resume enabled, as "P." or ".R"
    const auto noteButtons = [&] {
        buttons.push_back(std::string(Enabled("btnPause") ? "P" : ".") +
                          (Enabled("btnResume") ? "R" : "."));
    };
    bool pictureSeen = false;
    // Every report holds the converter until it has been handled: what is checked here
    // happens while the task waits.
    follower_.whenProgress = [&](int, std::optional<int>) {
        if (buttons.empty()) {
            noteButtons();
            QTest::mouseClick(Control<QPushButton>(window_, "btnPause"), Qt::LeftButton);
            noteButtons();
            EXPECT_EQ(batch_.Buttons(), (app::BatchButtons{.ListCommands = false, .Resume = true}));
            // Going on again: otherwise the batch could not end.
            QTest::mouseClick(Control<QPushButton>(window_, "btnResume"), Qt::LeftButton);
            noteButtons();
        }
        if (!pictureSeen && batch_.PreviewBitmap().Width() > 0) {
            pictureSeen = true;
            ExpectPictureShows(*picture, batch_.PreviewBitmap());
        }
        const std::string counter = Value("lblProgress");
        if (counters.empty() || counters.back() != counter) {
            counters.push_back(counter);
        }
        EXPECT_EQ(Value("lblLength"), "3 Second");
        EXPECT_TRUE(Value("lblCurrentTime").ends_with(" Second")) << Value("lblCurrentTime");
        EXPECT_TRUE(Value("lblFileSize").ends_with(" kb")) << Value("lblFileSize");
        EXPECT_EQ(Control<QProgressBar>(window_, "barProgress")->value(), batch_.Percent());
    };
    ASSERT_TRUE(batch_.Start().Started);
    EXPECT_TRUE(openFolder->isChecked());
    EXPECT_TRUE(window_.OpenFolderChecked());
    EXPECT_TRUE(window_.ShutdownChecked());
    EXPECT_TRUE(Enabled("btnPause"));
    EXPECT_FALSE(Enabled("btnResume"));
    EXPECT_TRUE(
        testing::AllPixels(picture->grab().toImage(), ProgressWindow::PictureBackground().rgb()));

    // A batch that never ended would close the window here, and fail below.
    QTimer::singleShot(kBatchWaitMs, &window_, [this] { window_.reject(); });
    window_.RunModal();

    EXPECT_FALSE(window_.isVisible());
    EXPECT_FALSE(batch_.Running());
    ASSERT_TRUE(follower_.summary.has_value());
    EXPECT_FALSE(follower_.summary->Cancelled);
    EXPECT_EQ(follower_.summary->Finished, 2);
    EXPECT_EQ(counters, (std::vector<std::string>{"[1/2]", "[2/2]"}));
    EXPECT_EQ(buttons, (std::vector<std::string>{"P.", ".R", "P."}));
    EXPECT_TRUE(pictureSeen);
    EXPECT_EQ(ProgressCell(0), "100%");
    EXPECT_EQ(ProgressCell(1), "100%");
    EXPECT_EQ(Control<QProgressBar>(window_, "barProgress")->value(), 100);
    EXPECT_EQ(Value("lblFile"), app::ShortenedFileName(jobs_.Row(1).Caption()));
    EXPECT_EQ(system_.openedFolders, std::vector<std::filesystem::path>{settings_.OutputFolder()});
    EXPECT_EQ(system_.powerOffs, 1);
    // The batch is over: RunModal does not wait for another.
    window_.RunModal();
}

// Paused as soon as it starts, the first job is held before its first packet, so it is still
// running when the window closes.
TEST_F(ProgressWindowGui, ClosingDuringTheFirstJobCancelsAndLeavesTheRestUnfinished) {
    Add({FixturePath("clip.mp4"), FixturePath("clip.avi")});
    Control<QCheckBox>(window_, "chkShutdown")->setChecked(true);
    const struct {
        const char* way;
        std::function<void()> close;
    } closings[] = {
        {"Cancel",
         [this] { QTest::mouseClick(Control<QPushButton>(window_, "btnCancel"), Qt::LeftButton); }},
        {"the frame", [this] { window_.close(); }},
    };
    for (const auto& closing : closings) {
        SCOPED_TRACE(closing.way);
        follower_.summary.reset();
        ASSERT_TRUE(batch_.Start().Started);
        window_.open();
        ASSERT_TRUE(window_.isVisible());
        QTest::mouseClick(Control<QPushButton>(window_, "btnPause"), Qt::LeftButton);
        EXPECT_FALSE(Enabled("btnPause"));
        EXPECT_TRUE(Enabled("btnResume"));
        EXPECT_EQ(batch_.Buttons(), (app::BatchButtons{.ListCommands = false, .Resume = true}));
        EXPECT_TRUE(batch_.PowerOffWhenDone());

        closing.close();
        // Closed, the window leaves no batch behind.
        EXPECT_FALSE(window_.isVisible());
        EXPECT_FALSE(batch_.Running());
        ASSERT_TRUE(follower_.summary.has_value());
        EXPECT_TRUE(follower_.summary->Cancelled);
        EXPECT_EQ(follower_.summary->Finished, 0);
        // A report may come before the pause holds the job, never its end.
        EXPECT_NE(ProgressCell(0), "100%");
        EXPECT_EQ(ProgressCell(1), "");
        EXPECT_TRUE(system_.openedFolders.empty());
        EXPECT_EQ(system_.powerOffs, 0);
    }
}

}  // namespace
}  // namespace quillo::gui
