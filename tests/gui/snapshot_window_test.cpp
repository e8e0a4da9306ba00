// Snapshots through the windows' buttons: the preview's picture and the progress window's,
// the files the settings ask for with their formats and sizes, the JPEG quality, snapshots
// with nothing on screen, and folders and files that cannot be written.

#include <unistd.h>

#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "app/batch_controller.h"
#include "fixtures/fixture_path.h"
#include "gui/preview_panel.h"
#include "gui/progress_window.h"
#include "gui/video_widget.h"
#include "window_test_support.h"

namespace quillo::gui::testing {
namespace {

namespace fs = std::filesystem;
using quillo::testing::FixturePath;
using quillo::testing::ReadFile;
using quillo::testing::WriteFile;

constexpr int kWaitMs = 20'000;  // only reached when something is broken
const QSize kClipSize(320, 240);

const char* const kFullBmp = "Snapshot_full.bmp";
const char* const kSmallBmp = "Snapshot_small.bmp";
const char* const kFullJpg = "Snapshot_full.jpg";
const char* const kSmallJpg = "Snapshot_small.jpg";

struct Picture {
    QByteArray format;  // as read from the content
    QSize size;
};

Picture ReadPicture(const fs::path& path) {
    QImageReader reader(QString::fromStdString(path.string()));
    reader.setDecideFormatFromContent(true);
    return {reader.format(), reader.size()};
}

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

void Empty(const fs::path& folder) {
    for (const std::string& name : Names(folder)) {
        fs::remove_all(folder / name);
    }
}

class SnapshotWindowTest : public WindowTest {
protected:
    fs::path SnapshotFolder() const { return *this / "snaps"; }
    static fs::path DefaultFolder() {
        return fs::path(qEnvironmentVariable("HOME").toStdString()) / "korvana";
    }

    // A window whose snapshots go to SnapshotFolder() (made by the first snapshot). The
    // window's start-up check replaces a folder that does not exist yet, so it is stored after.
    std::unique_ptr<MainWindow> MakeSnapshotWindow() {
        auto window = MakeWindow();
        Settings().WriteString("settings", "SnapOutPutDir", SnapshotFolder().string());
        return window;
    }

    void StoreChoices(int full, int small, int bmp, int jpg) const {
        Settings().WriteInteger("settings", "snapFullSize", full);
        Settings().WriteInteger("settings", "snapSmallSize", small);
        Settings().WriteInteger("settings", "snapBmp", bmp);
        Settings().WriteInteger("settings", "snapJpg", jpg);
    }

    // Plays the clip in the preview until a picture is on screen, then holds it there.
    static void ShowPausedPicture(MainWindow& window) {
        window.AddFiles({Q(FixturePath("clip.mp4"))});
        Click(window, "btnPlay");
        ASSERT_TRUE(QTest::qWaitFor(
            [&window] { return !window.Preview().Video().LastFrame().isNull(); }, kWaitMs));
        Click(window, "btnPause");
        ASSERT_TRUE(window.Preview().IsPaused());
    }

    static QSize PreviewSize(MainWindow& window) { return window.Preview().Video().size(); }
};

TEST_F(SnapshotWindowTest, DefaultSettingsWriteAllFourPicturesAndShowTheFolder) {
    const auto window = MakeSnapshotWindow();
    window->AddFiles({Q(FixturePath("clip.mp4"))});
    Click(*window, "btnPlay");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !window->Preview().Video().LastFrame().isNull(); }, kWaitMs));
    ASSERT_FALSE(fs::exists(SnapshotFolder()));
    Click(*window, "btnSnapshot");

    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Names(SnapshotFolder()),
              (std::set<std::string>{kFullBmp, kSmallBmp, kFullJpg, kSmallJpg}));
    const QSize small = PreviewSize(*window);
    ASSERT_NE(small, kClipSize);
    const struct {
        const char* name;
        const char* format;
        QSize size;
    } expected[] = {{kFullBmp, "bmp", kClipSize},
                    {kSmallBmp, "bmp", small},
                    {kFullJpg, "jpeg", kClipSize},
                    {kSmallJpg, "jpeg", small}};
    for (const auto& file : expected) {
        SCOPED_TRACE(file.name);
        const Picture picture = ReadPicture(SnapshotFolder() / file.name);
        EXPECT_EQ(picture.format, QByteArray(file.format));
        EXPECT_EQ(picture.size, file.size);
    }
    EXPECT_EQ(system_.openedFolders, std::vector<fs::path>{SnapshotFolder()});
}

TEST_F(SnapshotWindowTest, OnlyTheChosenSizesAndFormatsAreWritten) {
    const auto window = MakeSnapshotWindow();
    ShowPausedPicture(*window);
    const struct {
        int full, small, bmp, jpg;
        std::set<std::string> files;
    } cases[] = {
        {1, 0, 1, 0, {kFullBmp}},
        {0, 1, 0, 1, {kSmallJpg}},
        {1, 1, 0, 1, {kFullJpg, kSmallJpg}},
        {0, 1, 1, 1, {kSmallBmp, kSmallJpg}},
        {1, 0, 1, 1, {kFullBmp, kFullJpg}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.full << c.small << c.bmp << c.jpg);
        fs::create_directories(SnapshotFolder());
        Empty(SnapshotFolder());
        system_.openedFolders.clear();
        StoreChoices(c.full, c.small, c.bmp, c.jpg);
        Click(*window, "btnSnapshot");
        EXPECT_TRUE(messages.empty());
        EXPECT_EQ(Names(SnapshotFolder()), c.files);
        for (const std::string& name : c.files) {
            EXPECT_EQ(ReadPicture(SnapshotFolder() / name).size,
                      name.find("full") != std::string::npos ? kClipSize : PreviewSize(*window))
                << name;
        }
        EXPECT_EQ(system_.openedFolders, std::vector<fs::path>{SnapshotFolder()});
    }
}

TEST_F(SnapshotWindowTest, TheJpegQualityIsTheStoredOneKeptWithinOneToAHundred) {
    const auto window = MakeSnapshotWindow();
    ShowPausedPicture(*window);
    StoreChoices(1, 0, 0, 1);
    const auto bytesAt = [&](int quality) {
        Settings().WriteInteger("settings", "jpgCmp", quality);
        Click(*window, "btnSnapshot");
        return ReadFile(SnapshotFolder() / kFullJpg);
    };
    const std::string lowest = bytesAt(1);
    const std::string highest = bytesAt(100);
    ASSERT_FALSE(lowest.empty());
    EXPECT_LT(lowest.size(), highest.size());
    EXPECT_LT(bytesAt(30).size(), highest.size());
    // The same paused picture gives the same bytes at the same quality.
    EXPECT_EQ(bytesAt(0), lowest);
    EXPECT_EQ(bytesAt(-5), lowest);
    EXPECT_EQ(bytesAt(250), highest);
    EXPECT_TRUE(messages.empty());
}

TEST_F(SnapshotWindowTest, NothingOnScreenSavesNothingAndSaysNothing) {
    const auto window = MakeSnapshotWindow();
    // Stopped: the button is disabled, and the request by itself does nothing either.
    ASSERT_TRUE(window->Preview().IsStopped());
    EXPECT_FALSE(Control<QPushButton>(*window, "btnSnapshot")->isEnabled());
    emit window->Preview().snapshotRequested();

    // A file without pictures plays with the button enabled.
    window->AddFiles({Q(FixturePath("tagged.mp3"))});
    Click(*window, "btnPlay");
    ASSERT_FALSE(window->Preview().IsStopped());
    ASSERT_EQ(Control<QLabel>(*window, "lblTotal")->text(), QStringLiteral("0:00:03"));
    Click(*window, "btnSnapshot");

    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(fs::exists(SnapshotFolder()));
    EXPECT_FALSE(fs::exists(DefaultFolder()));
    EXPECT_TRUE(system_.openedFolders.empty());
}

TEST_F(SnapshotWindowTest, AFolderThatCannotBeMadeGivesWayToTheDefaultFolder) {
    const fs::path file = *this / "plain.txt";
    WriteFile(file, "not a folder");
    const struct {
        const char* name;
        std::string folder;
    } cases[] = {
        {"under a regular file", (file / "snaps").string()},
        {"a relative path", "c:\\korvana"},
    };
    const auto window = MakeWindow();
    ShowPausedPicture(*window);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(DefaultFolder());
        messages.clear();
        system_.openedFolders.clear();
        Settings().WriteString("settings", "SnapOutPutDir", c.folder);
        Click(*window, "btnSnapshot");

        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].Icon, MessageIcon::Warning);
        EXPECT_EQ(messages[0].Caption, QStringLiteral("Warning"));
        EXPECT_EQ(messages[0].Text, QStringLiteral("Cannot create output directory:") +
                                        QString::fromStdString(c.folder) +
                                        QStringLiteral(".It will create default directory ") +
                                        Q(DefaultFolder()) + QStringLiteral("!"));
        EXPECT_EQ(Settings().ReadString("settings", "SnapOutPutDir", ""), DefaultFolder().string());
        // This snapshot is saved where the message said.
        EXPECT_EQ(Names(DefaultFolder()),
                  (std::set<std::string>{kFullBmp, kSmallBmp, kFullJpg, kSmallJpg}));
        EXPECT_EQ(system_.openedFolders, std::vector<fs::path>{DefaultFolder()});
    }
}

TEST_F(SnapshotWindowTest, AFileThatCannotBeWrittenEndsTheSnapshotAndKeepsWhatWasThere) {
    const auto window = MakeSnapshotWindow();
    ShowPausedPicture(*window);
    Click(*window, "btnSnapshot");
    ASSERT_EQ(Names(SnapshotFolder()).size(), 4u);
    const std::string fullJpg = ReadFile(SnapshotFolder() / kFullJpg);
    const std::string smallJpg = ReadFile(SnapshotFolder() / kSmallJpg);

    // The small BMP's name is taken by a folder; the full BMP before it is rewritten, and a
    // new quality would change the JPEGs after it, were they written.
    fs::remove(SnapshotFolder() / kSmallBmp);
    fs::create_directories(SnapshotFolder() / kSmallBmp / "inside");
    WriteFile(SnapshotFolder() / kFullBmp, "an older file");
    Settings().WriteInteger("settings", "jpgCmp", 100);
    system_.openedFolders.clear();
    Click(*window, "btnSnapshot");

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].Icon, MessageIcon::Critical);
    EXPECT_EQ(messages[0].Caption, QStringLiteral("Quillo Video Converter"));
    const QString prefix =
        QStringLiteral("Cannot create file \"%1\". ").arg(Q(SnapshotFolder() / kSmallBmp));
    EXPECT_TRUE(messages[0].Text.startsWith(prefix)) << messages[0].Text.toStdString();
    EXPECT_GT(messages[0].Text.size(), prefix.size()) << "no reason given";
    EXPECT_EQ(ReadPicture(SnapshotFolder() / kFullBmp).size, kClipSize);
    EXPECT_EQ(ReadFile(SnapshotFolder() / kFullJpg), fullJpg);
    EXPECT_EQ(ReadFile(SnapshotFolder() / kSmallJpg), smallJpg);
    // No temporary file is left behind, and a failed snapshot opens no folder.
    EXPECT_EQ(Names(SnapshotFolder()),
              (std::set<std::string>{kFullBmp, kSmallBmp, kFullJpg, kSmallJpg}));
    EXPECT_TRUE(system_.openedFolders.empty());
}

TEST_F(SnapshotWindowTest, AReadOnlyFolderKeepsTheEarlierSnapshotWhole) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not hold for root";
    }
    const auto window = MakeSnapshotWindow();
    ShowPausedPicture(*window);
    Click(*window, "btnSnapshot");
    ASSERT_EQ(Names(SnapshotFolder()).size(), 4u);
    const std::string earlier = ReadFile(SnapshotFolder() / kFullBmp);
    fs::permissions(SnapshotFolder(), fs::perms::owner_read | fs::perms::owner_exec);
    Click(*window, "btnSnapshot");
    fs::permissions(SnapshotFolder(), fs::perms::owner_all);

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].Icon, MessageIcon::Critical);
    EXPECT_TRUE(messages[0].Text.startsWith(
        QStringLiteral("Cannot create file \"%1\". ").arg(Q(SnapshotFolder() / kFullBmp))))
        << messages[0].Text.toStdString();
    EXPECT_EQ(ReadFile(SnapshotFolder() / kFullBmp), earlier);
    EXPECT_EQ(Names(SnapshotFolder()).size(), 4u);
}

// Hears the batch after the progress window.
class BatchSteps : public app::BatchObserver {
public:
    void BatchStarted(int) override {
        if (whenStarted) {
            whenStarted();
        }
    }
    void JobEnded(int task, int, bool, const std::string&) override {
        if (whenJobEnded) {
            whenJobEnded(task);
        }
    }
    void BatchEnded(const app::BatchSummary& result) override { summary = result; }

    std::function<void()> whenStarted;
    std::function<void(int task)> whenJobEnded;
    std::optional<app::BatchSummary> summary;
};

TEST_F(SnapshotWindowTest, TheProgressWindowSavesTheBatchPictureAndNothingBeforeOne) {
    const auto window = MakeSnapshotWindow();
    window->AddFiles({Q(FixturePath("clip.mp4"))});
    BatchSteps steps;
    window->SetBatchListener(&steps);

    // The job's last picture has come by the time it ends, and the window still shows.
    QSize batchPicture;
    QSize shownPicture;
    steps.whenJobEnded = [&](int task) {
        ProgressWindow* progress = window->Progress();
        ASSERT_NE(progress, nullptr);
        ASSERT_TRUE(progress->isVisible());
        if (task == 0 && batchPicture.isEmpty()) {
            const media::Bitmap& bitmap = window->Batch().PreviewBitmap();
            batchPicture = QSize(bitmap.Width(), bitmap.Height());
            shownPicture = Control<QWidget>(*progress, "imgPreview")->size();
            Click(*progress, "btnSnapshot");
        }
    };
    Click(*window, "btnStart");
    ASSERT_TRUE(steps.summary.has_value());
    ASSERT_EQ(steps.summary->Finished, 1);
    ASSERT_FALSE(batchPicture.isEmpty());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Names(SnapshotFolder()),
              (std::set<std::string>{kFullBmp, kSmallBmp, kFullJpg, kSmallJpg}));
    EXPECT_EQ(ReadPicture(SnapshotFolder() / kFullBmp).size, batchPicture);
    EXPECT_EQ(ReadPicture(SnapshotFolder() / kFullJpg).size, batchPicture);
    EXPECT_EQ(ReadPicture(SnapshotFolder() / kSmallBmp).size, shownPicture);
    EXPECT_EQ(ReadPicture(SnapshotFolder() / kSmallJpg).size, shownPicture);
    // Only the batch's end opens a folder: the output folder.
    EXPECT_EQ(system_.openedFolders, std::vector<fs::path>{OutputFolder()});

    // The next batch has no picture of its own before its first: the last one's is not saved.
    Empty(SnapshotFolder());
    steps.whenJobEnded = nullptr;
    bool clicked = false;
    steps.whenStarted = [&] {
        ASSERT_NE(window->Progress(), nullptr);
        Control<QPushButton>(*window->Progress(), "btnSnapshot")->click();
        clicked = true;
    };
    steps.summary.reset();
    Click(*window, "btnStart");
    ASSERT_TRUE(steps.summary.has_value());
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(Names(SnapshotFolder()).empty());
    window->SetBatchListener(nullptr);
}

}  // namespace
}  // namespace quillo::gui::testing
