// Pictures of every window of the program, as a user sees them on a display, for the user
// guide: each window is opened through the main window's commands with a real file, left to
// show its picture, and saved as a PNG into $QUILLO_PICTURE_DIR. Run on a virtual X display;
// without one it draws on the offscreen platform.

#include <stdlib.h>

#include <QAction>
#include <QApplication>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "app/batch_controller.h"
#include "editor_test_support.h"
#include "fixtures/fixture_path.h"
#include "gui/crop_window.h"
#include "gui/preview_panel.h"
#include "gui/progress_window.h"
#include "gui/quillo_application.h"
#include "gui/skin.h"
#include "gui/video_widget.h"
#include "gui/watermark_window.h"
#include "gui/widgets/colour_box.h"
#include "gui/widgets/rect_tracker.h"

namespace quillo::gui::testing {
namespace {

namespace fs = std::filesystem;
using quillo::testing::FixturePath;

constexpr int kWaitMs = 20'000;  // only reached when something is broken

// The application object on the display the tests were started on, or offscreen without one.
class PictureEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (getenv("DISPLAY") == nullptr && getenv("WAYLAND_DISPLAY") == nullptr) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        }
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        application_ = std::make_unique<QuilloApplication>(argc_, argv_);
        ApplySkin(*application_);
    }
    void TearDown() override { application_.reset(); }

private:
    int argc_ = 1;
    char name_[24] = "quillo-window-pictures";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QuilloApplication> application_;
};

[[maybe_unused]] ::testing::Environment* const registered =
    ::testing::AddGlobalTestEnvironment(new PictureEnvironment);

fs::path PictureFolder() {
    const char* folder = getenv("QUILLO_PICTURE_DIR");
    return folder != nullptr ? fs::path(folder) : fs::temp_directory_path() / "quillo-pictures";
}

// Saves the window's picture once its events have been handled, and checks that it holds more
// than an empty frame.
void SavePicture(QWidget& window, const char* name) {
    window.raise();
    window.activateWindow();
    QCoreApplication::processEvents();
    const fs::path file = PictureFolder() / (std::string(name) + ".png");
    fs::create_directories(file.parent_path());
    const QPixmap picture = window.grab();
    ASSERT_TRUE(picture.save(QString::fromStdString(file.string()), "PNG")) << file;
    EXPECT_GE(picture.width(), 240) << name;
    EXPECT_GE(picture.height(), 120) << name;
    // A window with its controls drawn compresses to far more than a blank one.
    EXPECT_GT(fs::file_size(file), 8'000U) << name;
}

// Saves the progress window once the batch's picture shows in it.
class ProgressPicture : public app::BatchObserver {
public:
    explicit ProgressPicture(MainWindow& window) : window_(window) {}

    void ProgressChanged(int, int, const app::ProgressFields&,
                         std::optional<int> percent) override {
        ProgressWindow* progress = window_.Progress();
        if (saved_ || progress == nullptr || !percent.has_value() || *percent < 30 ||
            window_.Batch().PreviewBitmap().Width() == 0) {
            return;
        }
        saved_ = true;
        SavePicture(*progress, "progress-window");
    }

    bool Saved() const { return saved_; }

private:
    MainWindow& window_;
    bool saved_ = false;
};

class WindowPicturesGuiTest : public EditorWindowTest {
protected:
    std::unique_ptr<MainWindow> WindowWith(const fs::path& source) {
        auto window = MakeWindow();
        window->resize(1000, 640);
        window->AddFiles({Q(source)});
        EXPECT_EQ(window->Jobs().RowCount(), 1);
        return window;
    }
};

TEST_F(WindowPicturesGuiTest, TheMainWindowPlayingAFileAndTheProgressWindow) {
    const auto window = WindowWith(FixturePath("seven_seconds.mp4"));
    Click(*window, "btnPlay");
    ASSERT_TRUE(QTest::qWaitFor(
        [&window] { return window->Preview().GetPlayer().PicturesShown() > 20; }, kWaitMs));
    SavePicture(*window, "main-window");
    Click(*window, "btnStop");

    ProgressPicture progress(*window);
    window->SetBatchListener(&progress);
    ConvertAll(*window);
    EXPECT_TRUE(progress.Saved());
}

TEST_F(WindowPicturesGuiTest, TheEditors) {
    const auto window = WindowWith(FixturePath("seven_seconds.mp4"));
    WhenModalOpens([](QDialog& trim) {
        QWidget* bar = Control<QWidget>(trim, "trcPosition");
        const int span = bar->width() - 11;
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(span * 2 / 7 + 8, bar->height() / 2));
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(span * 5 / 7 + 8, bar->height() / 2));
        // The picture of the end marker's second.
        auto* time = Control<QLabel>(trim, "lblTime");
        ASSERT_TRUE(
            QTest::qWaitFor([time] { return time->text() == QStringLiteral("0:00:05"); }, kWaitMs));
        SavePicture(trim, "trim-window");
    });
    TriggerEditEntry(*window, QStringLiteral("&Trim"));

    WhenModalOpens([](QDialog& dialog) {
        auto& crop = static_cast<CropWindow&>(dialog);
        Control<QSpinBox>(crop, "spedLeft")->setValue(40);
        Control<QSpinBox>(crop, "spedUp")->setValue(20);
        Control<QSpinBox>(crop, "spedBrightness")->setValue(330);
        ASSERT_TRUE(QTest::qWaitFor([&crop] { return !crop.OutputPicture().isNull(); }, kWaitMs));
        SavePicture(crop, "crop-window");
    });
    TriggerEditEntry(*window, QStringLiteral("&Crop"));

    WhenModalOpens([](QDialog& dialog) {
        auto& editor = static_cast<WatermarkWindow&>(dialog);
        QTest::mouseClick(Control<QPushButton>(editor, "btnAddText"), Qt::LeftButton);
        auto* list = Control<QListWidget>(editor, "lsbox");
        list->closePersistentEditor(list->currentItem());
        list->currentItem()->setText(QStringLiteral("Quillo"));
        Control<ColourBox>(editor, "suiColorBoxcmb")->SetColour(Qt::white);
        Control<ColourBox>(editor, "suiColorBoxbackground")->SetColour(QColor(0, 0, 128));
        Control<QSlider>(editor, "trcTextVert")->setValue(10);
        ASSERT_TRUE(QTest::qWaitFor([&editor] { return editor.PicturesDrawn() > 2; }, kWaitMs));
        SavePicture(editor, "watermark-window");
    });
    TriggerEditEntry(*window, QStringLiteral("&Video Effect && Water Mark"));
}

TEST_F(WindowPicturesGuiTest, TheSmallerWindows) {
    const auto window = WindowWith(FixturePath("clip.mp4"));
    WhenModalOpens([](QDialog& information) { SavePicture(information, "file-information"); });
    TriggerEditEntry(*window, QStringLiteral("Video &Information"));

    WhenModalOpens([](QDialog& preferences) { SavePicture(preferences, "preference-window"); });
    Click(*window, "btnPreference");

    WhenModalOpens([](QDialog& settings) { SavePicture(settings, "settings-window"); });
    Click(*window, "btnSettings");

    WhenModalOpens([](QDialog& about) { SavePicture(about, "about-window"); });
    window->ShowAbout();

    window->ShowHelp();
    auto* help = window->findChild<QDialog*>(QStringLiteral("HelpWindow"));
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
    SavePicture(*help, "help-window");
    help->close();
}

}  // namespace
}  // namespace quillo::gui::testing
