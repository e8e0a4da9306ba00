// The watermark editor opened from the Edit menu and driven through its controls: text and
// picture items, their order, place, opacity and seconds, what "Ok" and "Cancel" store, the
// refusals of bad pictures and texts, and a batch that draws an item only where and when it
// was placed.

#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <cmath>

#include "editor_test_support.h"
#include "fixtures/external_commands.h"
#include "fixtures/fixture_path.h"
#include "gui/watermark_window.h"
#include "gui/widgets/colour_box.h"
#include "gui/widgets/layered_image_view.h"
#include "gui/widgets/track_bar2.h"
#include "support/temp_folder.h"

namespace quillo::gui::testing {
namespace {

namespace fs = std::filesystem;
using app::WmRec;
using quillo::testing::FixturePath;

constexpr int kWaitMs = 20'000;  // only reached when something is broken

// Waits until the view has drawn its picture again after a change.
bool WaitForDrawing(const WatermarkWindow& editor, int drawnBefore) {
    return QTest::qWaitFor([&] { return editor.PicturesDrawn() > drawnBefore; }, kWaitMs);
}

// Adds a text item through the buttons and the list's line, opaque, in colour on colour.
void AddTextItem(WatermarkWindow& editor, const QString& text, const QColor& background) {
    QTest::mouseClick(Control<QPushButton>(editor, "btnAddText"), Qt::LeftButton);
    // A new item says so, in the middle of the picture; the first one of a fresh editor has
    // opacity 125, later ones the transparency bar's value.
    const WmRec& added = editor.Items().back();
    EXPECT_EQ(added.Text, "Add Text");
    EXPECT_EQ(added.TextOpacity,
              editor.Items().size() == 1 ? 125 : Control<QSlider>(editor, "trcTextTran")->value());
    const QSize frame = Control<LayeredImageView>(editor, "ImgView")->PictureSize();
    EXPECT_NEAR(added.TextLeft + added.TextWidth / 2.0, frame.width() / 2.0, 1);
    EXPECT_NEAR(added.TextTop + added.TextHeight / 2.0, frame.height() / 2.0, 1);
    auto* list = Control<QListWidget>(editor, "lsbox");
    list->closePersistentEditor(list->currentItem());
    list->currentItem()->setText(text);
    Control<ColourBox>(editor, "suiColorBoxbackground")->SetColour(background);
    Control<QSlider>(editor, "trcTextTran")->setValue(255);
}

void WriteBmp(const fs::path& file, const QColor& colour, const QSize& size) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    ASSERT_TRUE(picture.save(QString::fromStdString(file.string()), "BMP"));
}

// The grey levels of the picture shown at a time, by ffmpeg, with its size.
struct GreyPicture {
    int width = 0;
    int height = 0;
    std::string levels;

    int At(int x, int y) const {
        return static_cast<unsigned char>(levels[static_cast<std::size_t>(y * width + x)]);
    }
};

GreyPicture GreyAt(const fs::path& file, double seconds) {
    GreyPicture picture;
    const auto report = quillo::testing::RunFfprobe(file, "-show_streams");
    const int video = quillo::testing::StreamOf(report, "video");
    if (video < 0) {
        return picture;
    }
    picture.width = std::stoi(quillo::testing::StreamField(report, video, "width"));
    picture.height = std::stoi(quillo::testing::StreamField(report, video, "height"));
    const auto decoded = quillo::testing::RunCommand(
        std::string(QUILLO_FFMPEG) + " -v error -i " + quillo::testing::ShellQuoted(file) +
            " -ss " + std::to_string(seconds) + " -frames:v 1 -f rawvideo -pix_fmt gray -",
        false);
    picture.levels = decoded.output;
    if (picture.levels.size() != static_cast<std::size_t>(picture.width * picture.height)) {
        picture.levels.clear();
    }
    return picture;
}

// Pixels that differ clearly between two pictures of one size, and their bounding box.
struct Difference {
    int count = 0;
    QRect box;
};

Difference Compare(const GreyPicture& a, const GreyPicture& b, const QRect& within = {}) {
    Difference difference;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            if (!within.isEmpty() && !within.contains(x, y)) {
                continue;
            }
            if (std::abs(a.At(x, y) - b.At(x, y)) > 40) {
                ++difference.count;
                difference.box |= QRect(x, y, 1, 1);
            }
        }
    }
    return difference;
}

class WatermarkWindowGuiTest : public EditorWindowTest {
protected:
    std::unique_ptr<MainWindow> WindowWith(const fs::path& source) {
        auto window = MakeWindow();
        window->AddFiles({Q(source)});
        EXPECT_EQ(window->Jobs().RowCount(), 1);
        return window;
    }

    static void WaitForPicture(WatermarkWindow& editor) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !editor.ShownPicture().isNull(); }, kWaitMs));
    }
};

TEST_F(WatermarkWindowGuiTest, ATextFromOneToThreeSecondsIsConvertedOnlyThereAndThen) {
    const auto window = WindowWith(FixturePath("seven_seconds.mp4"));
    ConvertAll(*window);
    ASSERT_EQ(Outputs().size(), 1u);
    const fs::path plain = *Outputs().begin();

    QRect placed;
    WhenModalOpens([&placed](QDialog& dialog) {
        auto& editor = static_cast<WatermarkWindow&>(dialog);
        EXPECT_EQ(editor.windowTitle(), QStringLiteral("Water Mark"));
        // Without items only the adding buttons work.
        EXPECT_FALSE(Control<QWidget>(editor, "trcTextHoriz")->isEnabled());
        EXPECT_FALSE(Control<QWidget>(editor, "btnDelete")->isEnabled());
        AddTextItem(editor, QStringLiteral("WM"), Qt::white);
        ASSERT_EQ(editor.Items().size(), 1u);
        const WmRec& item = editor.Items()[0];
        EXPECT_EQ(item.Text, "WM");
        EXPECT_TRUE(item.HasBackground);
        EXPECT_EQ(item.BackColor, 0xFFFFFFU);
        EXPECT_EQ(item.Font.Color, 0x0000FFU);
        EXPECT_EQ(item.Font.Size, 26);
        EXPECT_EQ(item.StartSec, 0);
        EXPECT_EQ(item.EndSec, 7);
        EXPECT_EQ(Control<QLineEdit>(editor, "edtEnd")->text(), QStringLiteral("0:00:07"));

        // Seconds 1 to 3 with the arrows, then to the top-left corner with the bars.
        QTest::mouseClick(Control<QToolButton>(editor, "btnStartUp"), Qt::LeftButton);
        for (int i = 0; i < 4; ++i) {
            QTest::mouseClick(Control<QToolButton>(editor, "btnEndDown"), Qt::LeftButton);
        }
        EXPECT_EQ(Control<QLineEdit>(editor, "edtStart")->text(), QStringLiteral("0:00:01"));
        EXPECT_EQ(Control<QLineEdit>(editor, "edtEnd")->text(), QStringLiteral("0:00:03"));
        Control<QSlider>(editor, "trcTextHoriz")->setValue(8);
        Control<QSlider>(editor, "trcTextVert")->setValue(6);
        EXPECT_EQ(Control<QLineEdit>(editor, "edtTextHoriz")->text(), QStringLiteral("8"));
        placed = QRect(item.TextLeft, item.TextTop, item.TextWidth, item.TextHeight);
        EXPECT_EQ(placed.topLeft(), QPoint(8, 6));
        EXPECT_EQ(editor.Items()[0].StartSec, 1);
        EXPECT_EQ(editor.Items()[0].EndSec, 3);
        Click(editor, "btnOk");
    });
    TriggerEditEntry(*window, QStringLiteral("&Video Effect && Water Mark"));
    ASSERT_EQ(window->Jobs().Record(0).Watermarks.size(), 1u);
    EXPECT_EQ(window->Jobs().Record(0).Watermarks[0].Text, "WM");
    EXPECT_EQ(window->Jobs().Record(0).Watermarks[0].TextOpacity, 255);

    ConvertAll(*window);
    auto outputs = Outputs();
    ASSERT_EQ(outputs.size(), 2u);
    outputs.erase(plain);
    const fs::path marked = *outputs.begin();
    for (const double seconds : {0.5, 2.0, 3.5, 5.0}) {
        SCOPED_TRACE(seconds);
        const GreyPicture before = GreyAt(plain, seconds);
        const GreyPicture after = GreyAt(marked, seconds);
        ASSERT_FALSE(before.levels.empty());
        ASSERT_EQ(before.width, after.width);
        ASSERT_EQ(before.height, after.height);
        const Difference difference = Compare(before, after);
        const bool shown = seconds >= 1.0 && seconds < 4.0;
        if (!shown) {
            EXPECT_LT(difference.count, before.width * before.height / 200);
            continue;
        }
        // The source is scaled to the output's size: the item's box scales with it, give or
        // take the codec's blur.
        const double sx = static_cast<double>(before.width) / 160;
        const double sy = static_cast<double>(before.height) / 120;
        const QRect expected(static_cast<int>(placed.x() * sx) - 6,
                             static_cast<int>(placed.y() * sy) - 6,
                             static_cast<int>(placed.width() * sx) + 12,
                             static_cast<int>(placed.height() * sy) + 12);
        const Difference inside = Compare(before, after, expected);
        EXPECT_GT(inside.count, expected.width() * expected.height() / 4);
        EXPECT_LT(difference.count - inside.count, before.width * before.height / 200);
    }
}

TEST_F(WatermarkWindowGuiTest, OrderDecidesWhatIsOnTopAndOpacityZeroChangesNothing) {
    const fs::path logo = *this / "logo.bmp";
    WriteBmp(logo, QColor(255, 0, 0), QSize(40, 30));
    const auto window = WindowWith(FixturePath("seven_seconds.mp4"));
    WhenModalOpens([&logo](QDialog& dialog) {
        auto& editor = static_cast<WatermarkWindow&>(dialog);
        editor.SetPictureChooser(
            [&logo](QWidget*) { return QString::fromStdString(logo.string()); });
        QTest::mouseClick(Control<QPushButton>(editor, "btnPause"), Qt::LeftButton);
        WaitForPicture(editor);

        // A picture at opacity 0 leaves the frame as it was.
        QTest::mouseClick(Control<QPushButton>(editor, "btnAddImage"), Qt::LeftButton);
        ASSERT_EQ(editor.Items().size(), 1u);
        EXPECT_EQ(editor.Items()[0].Kind, WmRec::ImageKind);
        EXPECT_EQ(editor.Items()[0].ImageWidth, 40);
        EXPECT_EQ(editor.Items()[0].ImageOpacity, 125);
        // Pictures have no font.
        EXPECT_FALSE(Control<QWidget>(editor, "suiFontCmb")->isEnabled());
        int drawn = editor.PicturesDrawn();
        Control<QSlider>(editor, "trcTextTran")->setValue(0);
        ASSERT_TRUE(WaitForDrawing(editor, drawn));
        EXPECT_EQ(editor.ShownPicture(), editor.SourcePicture());
        drawn = editor.PicturesDrawn();
        Control<QSlider>(editor, "trcTextTran")->setValue(255);
        ASSERT_TRUE(WaitForDrawing(editor, drawn));
        EXPECT_NE(editor.ShownPicture(), editor.SourcePicture());
        const QRect picture(editor.Items()[0].ImageLeft, editor.Items()[0].ImageTop, 40, 30);

        // A blue text box over the red picture's middle: the later item is on top.
        AddTextItem(editor, QStringLiteral("Blue"), Qt::blue);
        ASSERT_EQ(editor.Items().size(), 2u);
        const QPoint middle = picture.center();
        const auto colourAtMiddle = [&editor, middle](int before) {
            EXPECT_TRUE(WaitForDrawing(editor, before));
            return QColor(editor.ShownPicture().pixel(middle));
        };
        drawn = editor.PicturesDrawn();
        Control<QSlider>(editor, "trcTextHoriz")->setValue(middle.x() - 4);
        Control<QSlider>(editor, "trcTextVert")->setValue(middle.y() - 4);
        QColor top = colourAtMiddle(drawn);
        EXPECT_GT(top.blue(), 200);
        EXPECT_LT(top.red(), 60);

        // "Up" puts the text first: now the picture is drawn over it.
        drawn = editor.PicturesDrawn();
        QTest::mouseClick(Control<QPushButton>(editor, "btnUp"), Qt::LeftButton);
        EXPECT_EQ(editor.SelectedItem(), 0);
        EXPECT_EQ(Control<QListWidget>(editor, "lsbox")->item(0)->text(), QStringLiteral("Blue"));
        top = colourAtMiddle(drawn);
        EXPECT_GT(top.red(), 200);
        EXPECT_LT(top.blue(), 60);
        // "Up" on the first line and "Down" on the last do nothing.
        QTest::mouseClick(Control<QPushButton>(editor, "btnUp"), Qt::LeftButton);
        EXPECT_EQ(editor.Items()[0].Text, "Blue");
        Control<QListWidget>(editor, "lsbox")->setCurrentRow(1);
        QTest::mouseClick(Control<QPushButton>(editor, "btnDown"), Qt::LeftButton);
        EXPECT_EQ(editor.Items()[1].Kind, WmRec::ImageKind);
        Click(editor, "btnOk");
    });
    TriggerEditEntry(*window, QStringLiteral("&Video Effect && Water Mark"));
    const auto& stored = window->Jobs().Record(0).Watermarks;
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].Text, "Blue");
    EXPECT_EQ(stored[1].ImageFile, logo);
    EXPECT_EQ(stored[1].ImageOpacity, 255);

    // Opened again, the items come back in their order, the last one selected; Cancel and
    // Delete then change nothing stored.
    WhenModalOpens([](QDialog& dialog) {
        auto& editor = static_cast<WatermarkWindow&>(dialog);
        ASSERT_EQ(editor.Items().size(), 2u);
        auto* list = Control<QListWidget>(editor, "lsbox");
        EXPECT_EQ(list->item(0)->text(), QStringLiteral("Blue"));
        EXPECT_EQ(editor.SelectedItem(), 1);
        for (int i = 0; i < 2; ++i) {
            QTest::mouseClick(Control<QPushButton>(editor, "btnDelete"), Qt::LeftButton);
        }
        EXPECT_TRUE(editor.Items().empty());
        // Deleting the last item disables the item controls.
        EXPECT_FALSE(Control<QWidget>(editor, "trcRange")->isEnabled());
        EXPECT_FALSE(Control<QWidget>(editor, "btnDelete")->isEnabled());
        Click(editor, "btnCancel");
    });
    TriggerEditEntry(*window, QStringLiteral("&Video Effect && Water Mark"));
    EXPECT_EQ(window->Jobs().Record(0).Watermarks.size(), 2u);
}

TEST_F(WatermarkWindowGuiTest, APngLogoKeepsItsTransparentPartsTransparent) {
    // The left half of the logo is transparent, the right half opaque white.
    const fs::path logo = *this / "logo.png";
    QImage picture(40, 20, QImage::Format_ARGB32);
    picture.fill(qRgba(0, 0, 0, 0));
    for (int y = 0; y < 20; ++y) {
        for (int x = 20; x < 40; ++x) {
            picture.setPixel(x, y, qRgba(255, 255, 255, 255));
        }
    }
    ASSERT_TRUE(picture.save(QString::fromStdString(logo.string()), "PNG"));
    const auto window = WindowWith(FixturePath("seven_seconds.mp4"));
    WhenModalOpens([&logo](QDialog& dialog) {
        auto& editor = static_cast<WatermarkWindow&>(dialog);
        editor.SetPictureChooser(
            [&logo](QWidget*) { return QString::fromStdString(logo.string()); });
        QTest::mouseClick(Control<QPushButton>(editor, "btnAddImage"), Qt::LeftButton);
        ASSERT_EQ(editor.Items().size(), 1u);
        const int drawn = editor.PicturesDrawn();
        Control<QSlider>(editor, "trcTextTran")->setValue(255);
        ASSERT_TRUE(WaitForDrawing(editor, drawn));
        const WmRec& item = editor.Items()[0];
        const QImage shown = editor.ShownPicture();
        const QImage source = editor.SourcePicture();
        const QPoint clear(item.ImageLeft + 5, item.ImageTop + 10);
        const QPoint white(item.ImageLeft + 30, item.ImageTop + 10);
        EXPECT_EQ(shown.pixel(clear), source.pixel(clear));
        EXPECT_GE(qGray(shown.pixel(white)), 250);
        Click(editor, "btnOk");
    });
    TriggerEditEntry(*window, QStringLiteral("&Video Effect && Water Mark"));
    ASSERT_EQ(window->Jobs().Record(0).Watermarks.size(), 1u);
    EXPECT_EQ(window->Jobs().Record(0).Watermarks[0].ImageFile, logo);
}

TEST_F(WatermarkWindowGuiTest, DraggingAnItemOnThePictureMovesIt) {
    const auto window = WindowWith(FixturePath("seven_seconds.mp4"));
    WhenModalOpens([](QDialog& dialog) {
        auto& editor = static_cast<WatermarkWindow&>(dialog);
        AddTextItem(editor, QStringLiteral("Drag"), Qt::yellow);
        const WmRec before = editor.Items()[0];
        auto* view = Control<LayeredImageView>(editor, "ImgView");
        const QPointF grab(before.TextLeft + 2, before.TextTop + 2);
        const QPoint from = view->ToWidget(grab).toPoint();
        const QPoint to = view->ToWidget(grab + QPointF(-20, 15)).toPoint();
        QTest::mousePress(view, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), view->mapToGlobal(QPointF(to)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
        QTest::mouseRelease(view, Qt::LeftButton, {}, to);
        const WmRec& after = editor.Items()[0];
        // The view's scale rounds the pointer to a pixel of the picture or so.
        EXPECT_NEAR(after.TextLeft, before.TextLeft - 20, 1);
        EXPECT_NEAR(after.TextTop, before.TextTop + 15, 1);
        EXPECT_EQ(Control<QLineEdit>(editor, "edtTextHoriz")->text(),
                  QString::number(after.TextLeft));
        EXPECT_EQ(view->Selection(),
                  QRect(after.TextLeft, after.TextTop, after.TextWidth, after.TextHeight));
        Click(editor, "btnOk");
    });
    TriggerEditEntry(*window, QStringLiteral("&Video Effect && Water Mark"));
    ASSERT_EQ(window->Jobs().Record(0).Watermarks.size(), 1u);
}

TEST_F(WatermarkWindowGuiTest, BadPicturesTextsAndSizesAreRefusedAndNothingIsAdded) {
    const fs::path damaged = *this / "damaged.bmp";
    WriteBmp(damaged, Qt::green, QSize(20, 20));
    const std::string whole = quillo::testing::ReadFile(damaged);
    quillo::testing::WriteFile(damaged, whole.substr(0, 30));
    const std::vector<fs::path> bad{*this / "missing.bmp", damaged, FixturePath("not_media.txt")};
    const auto window = WindowWith(FixturePath("seven_seconds.mp4"));
    WhenModalOpens([this, &bad](QDialog& dialog) {
        auto& editor = static_cast<WatermarkWindow&>(dialog);
        editor.SetMessageFunction([this](const MessageRequest& request) {
            messages.push_back(request);
            return true;
        });
        for (const fs::path& file : bad) {
            SCOPED_TRACE(file.string());
            messages.clear();
            editor.SetPictureChooser(
                [&file](QWidget*) { return QString::fromStdString(file.string()); });
            QTest::mouseClick(Control<QPushButton>(editor, "btnAddImage"), Qt::LeftButton);
            EXPECT_TRUE(editor.Items().empty());
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_TRUE(messages[0].Text.startsWith(
                QStringLiteral("The picture cannot be used as a watermark: ")))
                << messages[0].Text.toStdString();
        }
        // A cancelled dialog adds nothing and says nothing.
        messages.clear();
        editor.SetPictureChooser([](QWidget*) { return QString(); });
        QTest::mouseClick(Control<QPushButton>(editor, "btnAddImage"), Qt::LeftButton);
        EXPECT_TRUE(editor.Items().empty());
        EXPECT_TRUE(messages.empty());

        // An empty text is refused and the old one kept.
        AddTextItem(editor, QStringLiteral("Kept"), Qt::white);
        messages.clear();
        auto* list = Control<QListWidget>(editor, "lsbox");
        list->currentItem()->setText(QStringLiteral("   "));
        EXPECT_EQ(list->currentItem()->text(), QStringLiteral("Kept"));
        EXPECT_EQ(editor.Items()[0].Text, "Kept");
        ASSERT_EQ(messages.size(), 1u);

        // A typed size that is no number, or out of range, is refused and the old one kept.
        auto* size = Control<QComboBox>(editor, "suiFontSizeCmb");
        for (const char* typed : {"big", "0", "9999"}) {
            messages.clear();
            size->setEditText(QString::fromLatin1(typed));
            emit size->lineEdit()->editingFinished();
            EXPECT_EQ(editor.Items()[0].Font.Size, 26) << typed;
            EXPECT_EQ(size->currentText(), QStringLiteral("26")) << typed;
            EXPECT_EQ(messages.size(), 1u) << typed;
        }
        // A good one measures the box again, keeping its corner.
        const WmRec before = editor.Items()[0];
        size->setEditText(QStringLiteral("40"));
        emit size->lineEdit()->editingFinished();
        EXPECT_EQ(editor.Items()[0].Font.Size, 40);
        EXPECT_GT(editor.Items()[0].TextHeight, before.TextHeight);
        EXPECT_EQ(editor.Items()[0].TextLeft, before.TextLeft);
        EXPECT_EQ(editor.Items()[0].TextTop, before.TextTop);
        Click(editor, "btnCancel");
    });
    TriggerEditEntry(*window, QStringLiteral("&Video Effect && Water Mark"));
    EXPECT_TRUE(window->Jobs().Record(0).Watermarks.empty());
}

TEST_F(WatermarkWindowGuiTest, StoredItemsKeepRangesPastTheEndAndMissingFontsAreNamed) {
    const auto window = WindowWith(FixturePath("seven_seconds.mp4"));
    app::JobRecord job = window->Jobs().Record(0);
    WmRec item;
    item.Text = "Late";
    item.Font.Name = "No Such Font Quillo";
    item.Font.Size = 12;
    item.TextWidth = 30;
    item.TextHeight = 14;
    item.StartSec = 5;
    item.EndSec = 100;
    job.ReplaceWatermarks({item});
    window->Jobs().SetRecord(0, job);
    messages.clear();
    WhenModalOpens([](QDialog& dialog) {
        auto& editor = static_cast<WatermarkWindow&>(dialog);
        EXPECT_EQ(Control<QLineEdit>(editor, "edtStart")->text(), QStringLiteral("0:00:05"));
        EXPECT_EQ(Control<QLineEdit>(editor, "edtEnd")->text(), QStringLiteral("0:01:40"));
        // The bar shows the end of the file.
        EXPECT_EQ(Control<TrackBar2>(editor, "trcRange")->PositionU(), 7);
        Click(editor, "btnOk");
    });
    TriggerEditEntry(*window, QStringLiteral("&Video Effect && Water Mark"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].Text.contains(QStringLiteral("No Such Font Quillo")));
    ASSERT_EQ(window->Jobs().Record(0).Watermarks.size(), 1u);
    EXPECT_EQ(window->Jobs().Record(0).Watermarks[0].EndSec, 100);
    EXPECT_EQ(window->Jobs().Record(0).Watermarks[0].Font.Name, "No Such Font Quillo");
}

TEST_F(WatermarkWindowGuiTest, AFileWithoutPictureKeepsTheItemsAndSaysWhy) {
    const auto window = WindowWith(FixturePath("tagged.mp3"));
    app::JobRecord job = window->Jobs().Record(0);
    WmRec item;
    item.Text = "Kept";
    job.ReplaceWatermarks({item});
    window->Jobs().SetRecord(0, job);
    WhenModalOpens([](QDialog& editor) {
        EXPECT_TRUE(Control<QLabel>(editor, "lblNoPicture")->isVisible());
        EXPECT_FALSE(Control<QWidget>(editor, "btnAddText")->isEnabled());
        Click(editor, "btnOk");
    });
    TriggerEditEntry(*window, QStringLiteral("&Video Effect && Water Mark"));
    ASSERT_EQ(window->Jobs().Record(0).Watermarks.size(), 1u);
}

}  // namespace
}  // namespace quillo::gui::testing
