// The crop and picture adjustment editor: the picture's place in its box and the margins in
// source pixels, then the window opened from the Edit menu and driven through the rubber band,
// the margin boxes and the adjustment bars, with batches that convert what it stored.

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <numeric>

#include "editor_test_support.h"
#include "fixtures/external_commands.h"
#include "fixtures/fixture_path.h"
#include "gui/crop_window.h"
#include "gui/widgets/rect_tracker.h"
#include "gui/widgets/track_bar2.h"

namespace quillo::gui::testing {
namespace {

namespace fs = std::filesystem;
using quillo::testing::FixturePath;

const QSize kBox(420, 303);

struct FitCase {
    QSize picture;
    QRect image;  // the rectangle the band keeps to
};

TEST(CropWindowGeometryGui, PicturesSpanTheFullWidthOrHeightAndTheBandKeepsAPixelIn) {
    const FitCase cases[] = {
        {{720, 576}, {22, 1, 376, 301}},   // full height, 21 free at each side
        {{1280, 720}, {1, 34, 418, 235}},  // full width, 33 free above and below
        {{175, 97}, {1, 36, 418, 231}},
        {{420, 303}, {1, 1, 418, 301}},
    };
    for (const FitCase& test : cases) {
        SCOPED_TRACE(test.picture.width());
        EXPECT_EQ(ImageRectangle(kBox, test.picture), test.image);
        EXPECT_EQ(FittedPictureRect(kBox, test.picture), test.image.adjusted(-1, -1, 1, 1));
    }
    EXPECT_TRUE(ImageRectangle(kBox, {}).isEmpty());
}

TEST(CropWindowGeometryGui, MarginsBecomeEvenSourcePixelsRoundedFirst) {
    const QSize source(720, 576);
    const QSize image(376, 301);
    // 19.14 and 19.15 round to 19 and become 18; 28.7 gives 28; 63.19 gives 62.
    EXPECT_EQ(SourceCropMargins({10, 10, 15, 33}, source, image), (CropMargins{18, 18, 28, 62}));
    EXPECT_EQ(SourceCropMargins({0, 0, 0, 0}, source, image), CropMargins{});
    // The same size: no scaling, odd margins still made even.
    EXPECT_EQ(SourceCropMargins({3, 5, 7, 9}, image, image), (CropMargins{2, 4, 6, 8}));
}

// Drags the band from a point of its own to a point of the picture box, in two moves, with
// the left button held.
void DragBand(RectTracker& band, const QPoint& from, const QPoint& toInBox) {
    QTest::mousePress(&band, Qt::LeftButton, {}, from);
    const QPoint start = band.mapToParent(from);
    for (const QPoint& target : {start + (toInBox - start) / 2, toInBox}) {
        const QPointF local = band.mapFromParent(target);
        QMouseEvent move(QEvent::MouseMove, local, band.mapToGlobal(local), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&band, &move);
    }
    QTest::mouseRelease(&band, Qt::LeftButton, {}, band.mapFromParent(toInBox));
}

CropMargins Boxes(const QDialog& crop) {
    return {Control<QSpinBox>(crop, "spedUp")->value(),
            Control<QSpinBox>(crop, "spedLeft")->value(),
            Control<QSpinBox>(crop, "spedDown")->value(),
            Control<QSpinBox>(crop, "spedRight")->value()};
}

// The margins the band shows on the image rectangle.
CropMargins BandMargins(const RectTracker& band, const QRect& image) {
    const QRect r = band.geometry();
    return {r.top() - image.top(), r.left() - image.left(),
            image.top() + image.height() - r.top() - r.height(),
            image.left() + image.width() - r.left() - r.width()};
}

// The grey levels of the first picture of a file, by ffmpeg; empty when it cannot be read.
std::string GreyOfFirstPicture(const fs::path& file) {
    const auto decoded = quillo::testing::RunCommand(std::string(QUILLO_FFMPEG) + " -v error -i " +
                                                         quillo::testing::ShellQuoted(file) +
                                                         " -frames:v 1 -f rawvideo -pix_fmt gray -",
                                                     false);
    return decoded.exitStatus == 0 ? decoded.output : std::string();
}

// Their mean; -1 when the picture cannot be read.
double MeanGreyOfFirstPicture(const fs::path& file) {
    const std::string grey = GreyOfFirstPicture(file);
    if (grey.empty()) {
        return -1;
    }
    const double sum = std::accumulate(grey.begin(), grey.end(), 0.0, [](double total, char level) {
        return total + static_cast<unsigned char>(level);
    });
    return sum / static_cast<double>(grey.size());
}

class CropWindowGuiTest : public EditorWindowTest {
protected:
    std::unique_ptr<MainWindow> WindowWith(const fs::path& source) {
        auto window = MakeWindow();
        window->AddFiles({Q(source)});
        EXPECT_EQ(window->Jobs().RowCount(), 1);
        return window;
    }
};

TEST_F(CropWindowGuiTest, TheBandAndTheBoxesAgreeStayOnThePictureAndStoreEvenSourcePixels) {
    const auto window = WindowWith(FixturePath("odd_size.mp4"));
    ConvertAll(*window);
    ASSERT_EQ(Outputs().size(), 1u);
    const fs::path plain = *Outputs().begin();
    WhenModalOpens([](QDialog& dialog) {
        auto& crop = static_cast<CropWindow&>(dialog);
        EXPECT_EQ(crop.windowTitle(), QStringLiteral("Crop"));
        auto* band = Control<RectTracker>(crop, "RectTracker");
        ASSERT_NE(band, nullptr);
        const QRect image = crop.ImageRect();
        ASSERT_EQ(image, QRect(1, 36, 418, 231));
        EXPECT_EQ(band->geometry(), image);
        EXPECT_EQ(Boxes(crop), CropMargins{});

        // The left handle 51 pixels in: 51 display pixels are 21.35 source pixels, stored as 20.
        const QPoint leftHandle(2, band->height() / 2);
        DragBand(*band, leftHandle, band->mapToParent(leftHandle) + QPoint(51, 0));
        EXPECT_EQ(Boxes(crop), (CropMargins{0, 51, 0, 0}));
        EXPECT_EQ(crop.SourceMargins(), (CropMargins{0, 20, 0, 0}));

        // A box moves the band.
        Control<QSpinBox>(crop, "spedUp")->setValue(31);
        EXPECT_EQ(BandMargins(*band, image), (CropMargins{31, 51, 0, 0}));
        EXPECT_EQ(crop.SourceMargins().Top, 12);  // 31 * 97 / 231 = 13.02 → 13 → 12

        // Moved far past the left and the bottom, the band stops at the picture's edges with
        // its size kept.
        const QSize size = band->size();
        const QPoint inside(band->width() / 2, band->height() / 2);
        DragBand(*band, inside, band->mapToParent(inside) + QPoint(-300, 300));
        EXPECT_EQ(band->size(), size);
        EXPECT_EQ(band->x(), image.x());
        EXPECT_EQ(band->y() + band->height(), image.y() + image.height());
        EXPECT_EQ(Boxes(crop), BandMargins(*band, image));
        EXPECT_EQ(Boxes(crop).Left, 0);
        EXPECT_EQ(Boxes(crop).Bottom, 0);

        // The bottom-right handle pulled far out ends on the picture's corner.
        const QPoint corner(band->width() - 2, band->height() - 2);
        DragBand(*band, corner, QPoint(kBox.width() + 80, kBox.height() + 80));
        EXPECT_EQ(band->x() + band->width(), image.x() + image.width());
        EXPECT_EQ(band->y() + band->height(), image.y() + image.height());
        EXPECT_EQ(Boxes(crop), (CropMargins{Boxes(crop).Top, 0, 0, 0}));

        // A margin that would leave no picture is refused: the box goes back.
        auto* right = Control<QSpinBox>(crop, "spedRight");
        right->setValue(60);
        right->setValue(image.width() - 5);
        EXPECT_EQ(right->value(), 60);
        EXPECT_GE(band->width(), RectTracker::MinimumSide);
        Click(crop, "btnOk");
    });
    TriggerEditEntry(*window, QStringLiteral("&Crop"));

    const app::JobRecord& job = window->Jobs().Record(0);
    EXPECT_EQ(job.CropEditLeft, 0);
    EXPECT_EQ(job.CropEditRight, 60);
    EXPECT_EQ(job.CropRight, 24);  // 60 * 175 / 418 = 25.12 → 25 → 24
    for (const int margin : {job.CropTop, job.CropLeft, job.CropBottom, job.CropRight}) {
        EXPECT_EQ(margin % 2, 0);
    }
    EXPECT_LT(job.CropLeft + job.CropRight, 175);
    EXPECT_LT(job.CropTop + job.CropBottom, 97);

    // The cropped job converts into a picture the decoder reads from start to end, and one
    // that differs from the whole picture's conversion.
    ConvertAll(*window);
    auto outputs = Outputs();
    ASSERT_EQ(outputs.size(), 2u);
    outputs.erase(plain);
    const fs::path cropped = *outputs.begin();
    const auto report = quillo::testing::RunFfprobe(cropped, "-show_streams");
    ASSERT_EQ(report.exitStatus, 0);
    const int video = quillo::testing::StreamOf(report, "video");
    ASSERT_GE(video, 0);
    EXPECT_GT(std::stoi(quillo::testing::StreamField(report, video, "width")), 0);
    EXPECT_EQ(quillo::testing::DecodeWithFfmpeg(cropped).exitStatus, 0);
    const std::string whole = GreyOfFirstPicture(plain);
    const std::string part = GreyOfFirstPicture(cropped);
    ASSERT_FALSE(whole.empty());
    ASSERT_EQ(part.size(), whole.size());  // the profile's picture size either way
    std::size_t differing = 0;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        differing += std::abs(whole[i] - part[i]) > 16 ? 1 : 0;
    }
    EXPECT_GT(differing, whole.size() / 10);
}

TEST_F(CropWindowGuiTest, BrightnessZeroShowsAndConvertsANearBlackPicture) {
    const auto window = WindowWith(FixturePath("clip.mp4"));
    ConvertAll(*window);
    ASSERT_EQ(Outputs().size(), 1u);
    const fs::path plain = *Outputs().begin();
    EXPECT_GT(MeanGreyOfFirstPicture(plain), 40.0);

    WhenModalOpens([](QDialog& dialog) {
        auto& crop = static_cast<CropWindow&>(dialog);
        // The Effect tab comes first.
        EXPECT_EQ(Control<QTabWidget>(crop, "tabsEdit")->currentIndex(), 1);
        Control<QSpinBox>(crop, "spedBrightness")->setValue(0);
        EXPECT_EQ(Control<QSlider>(crop, "trcBrightness")->value(), 0);
        ASSERT_TRUE(QTest::qWaitFor(
            [&crop] { return crop.FramesCaptured() > 0 && !crop.OutputPicture().isNull(); },
            20000));
        ASSERT_TRUE(QTest::qWaitFor(
            [&crop] {
                const QImage picture = crop.OutputPicture();
                return !picture.isNull() &&
                       qGray(picture.pixel(picture.width() / 2, picture.height() / 2)) < 8;
            },
            5000));
        Click(crop, "btnOk");
    });
    TriggerEditEntry(*window, QStringLiteral("&Crop"));
    EXPECT_EQ(window->Jobs().Record(0).Brightness, 0);

    ConvertAll(*window);
    const auto outputs = Outputs();
    ASSERT_EQ(outputs.size(), 2u);
    for (const fs::path& output : outputs) {
        if (output != plain) {
            const double grey = MeanGreyOfFirstPicture(output);
            EXPECT_GE(grey, 0.0);
            EXPECT_LT(grey, 20.0);
        }
    }
}

TEST_F(CropWindowGuiTest, CancelStoresNothingResetsAreNeutralAndTheVolumeReachesTheMainWindow) {
    const auto window = WindowWith(FixturePath("clip.mp4"));
    WhenModalOpens([](QDialog& crop) {
        Control<QSpinBox>(crop, "spedContrast")->setValue(40);
        Control<QSpinBox>(crop, "spedExposure")->setValue(-30);
        Control<QSpinBox>(crop, "spedUp")->setValue(12);
        Click(crop, "btnCancel");
    });
    TriggerEditEntry(*window, QStringLiteral("&Crop"));
    const app::JobRecord& job = window->Jobs().Record(0);
    EXPECT_EQ(job.Contrast, 0);
    EXPECT_EQ(job.Exposure, 0);
    EXPECT_EQ(job.CropEditTop, 0);
    EXPECT_EQ(job.CropTop, 0);

    WhenModalOpens([](QDialog& dialog) {
        auto& crop = static_cast<CropWindow&>(dialog);
        Control<QSpinBox>(crop, "spedSaturation")->setValue(100);
        Control<QSpinBox>(crop, "spedBrightness")->setValue(300);
        Control<QSpinBox>(crop, "spedLeft")->setValue(20);
        Click(crop, "btnEffectReset");
        EXPECT_EQ(crop.Adjustments(), effects::PictureAdjustments{});
        EXPECT_EQ(Control<QSpinBox>(crop, "spedSaturation")->value(), 255);
        Click(crop, "btnDefault");
        EXPECT_EQ(Boxes(crop), CropMargins{});
        EXPECT_EQ(Control<RectTracker>(crop, "RectTracker")->geometry(), crop.ImageRect());

        Control<TrackBar2>(crop, "trcVolume")->SetPositionL(40);
        Click(crop, "imgbtnMute");
        Click(crop, "btnOk");
    });
    TriggerEditEntry(*window, QStringLiteral("&Crop"));
    EXPECT_FALSE(window->Jobs().Record(0).NeedsFrameHook());
    EXPECT_EQ(Settings().ReadInteger("settings", "volume", -1), 40);
    EXPECT_EQ(Settings().ReadInteger("settings", "mute", -1), 1);
    EXPECT_EQ(Control<QSlider>(*window, "trcVolume")->value(), 40);
    EXPECT_TRUE(Control<QPushButton>(*window, "btnMute")->isChecked());
}

TEST_F(CropWindowGuiTest, ASourceWithoutPictureDisablesTheEditsAndSaysWhy) {
    const auto window = WindowWith(FixturePath("tagged.mp3"));
    WhenModalOpens([](QDialog& crop) {
        auto* why = Control<QLabel>(crop, "lblNoPicture");
        EXPECT_TRUE(why->isVisible());
        EXPECT_EQ(why->text(),
                  QStringLiteral("This file has no picture: there is nothing to crop or adjust."));
        for (const char* name : {"spedUp", "spedLeft", "spedBrightness", "trcContrast"}) {
            EXPECT_FALSE(Control<QWidget>(crop, name)->isEnabled()) << name;
        }
        EXPECT_FALSE(Control<QWidget>(crop, "RectTracker")->isVisible());
        Click(crop, "btnOk");
    });
    TriggerEditEntry(*window, QStringLiteral("&Crop"));
    const app::JobRecord& job = window->Jobs().Record(0);
    EXPECT_EQ(job.CropTop + job.CropLeft + job.CropBottom + job.CropRight, 0);
    EXPECT_FALSE(job.NeedsFrameHook());
}

}  // namespace
}  // namespace quillo::gui::testing
