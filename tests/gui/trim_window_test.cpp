// The trim editor through its controls, opened from the Edit menu: the markers, the boxes,
// "&Default", "Ok" and "Cancel", and a trimmed batch that converts only the chosen seconds.

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>

#include "editor_test_support.h"
#include "fixtures/external_commands.h"
#include "fixtures/fixture_path.h"
#include "gui/trim_window.h"
#include "gui/widgets/track_bar2.h"

namespace quillo::gui::testing {
namespace {

namespace fs = std::filesystem;
using quillo::testing::FixturePath;

constexpr int kHalfMarker = (TrimWindow::kMarkerWidth + 1) / 2;

// Where to press on the marker bar so that a marker's left edge lands on second.
int PressFor(const QWidget& bar, int second, int totalSeconds) {
    const int span = bar.width() - TrimWindow::kMarkerWidth;
    const int left = (second * span + totalSeconds - 1) / totalSeconds;  // rounded up
    return left + kHalfMarker;
}

void PressMarkerBar(QWidget& bar, int x) {
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(x, bar.height() / 2));
}

QString Text(const QWidget& window, const char* name) {
    auto* box = Control<QLineEdit>(window, name);
    return box != nullptr ? box->text() : QString();
}

class TrimWindowGuiTest : public EditorWindowTest {
protected:
    std::unique_ptr<MainWindow> WindowWith(const char* fixture) {
        auto window = MakeWindow();
        window->AddFiles({Q(FixturePath(fixture))});
        EXPECT_EQ(window->Jobs().RowCount(), 1);
        return window;
    }

    static QString TrimmedCell(MainWindow& window) {
        auto* list = Control<QTreeView>(window, "lvFIles");
        return list->model()->index(0, 2).data().toString();
    }
};

TEST_F(TrimWindowGuiTest, MarkersAtTwoAndFiveStoreTheRangeAndTheBatchConvertsOnlyIt) {
    const auto window = WindowWith("seven_seconds.mp4");
    EXPECT_EQ(TrimmedCell(*window), QStringLiteral("7"));

    WhenModalOpens([](QDialog& trim) {
        EXPECT_EQ(trim.windowTitle(), QStringLiteral("Trim"));
        EXPECT_EQ(Control<QLabel>(trim, "lblPTS")->text(), QStringLiteral("0:00:07"));
        EXPECT_EQ(Text(trim, "edtStart"), QStringLiteral("0:00:00"));
        EXPECT_EQ(Text(trim, "edtTrimLength"), QStringLiteral("0:00:07"));
        EXPECT_TRUE(Control<QLineEdit>(trim, "edtStart")->isReadOnly());
        EXPECT_FALSE(Control<QPushButton>(trim, "btnPlay")->isEnabled());
        EXPECT_TRUE(Control<QPushButton>(trim, "btnPause")->isEnabled());

        QWidget* bar = Control<QWidget>(trim, "trcPosition");
        PressMarkerBar(*bar, PressFor(*bar, 2, 7));
        EXPECT_EQ(Text(trim, "edtStart"), QStringLiteral("0:00:02"));
        // The seek bar shows the marker's second, ready for the picture of it.
        EXPECT_EQ(Control<TrackBar2>(trim, "trcPreview")->PositionL(), 2);
        PressMarkerBar(*bar, PressFor(*bar, 5, 7));
        EXPECT_EQ(Text(trim, "edtTrimLength"), QStringLiteral("0:00:05"));
        EXPECT_EQ(Text(trim, "edtStart"), QStringLiteral("0:00:02"));
        Click(trim, "btnOk");
    });
    TriggerEditEntry(*window, QStringLiteral("&Trim"));

    const app::JobRecord& job = window->Jobs().Record(0);
    EXPECT_EQ(job.StartTime, 2'000'000);
    EXPECT_EQ(job.TrimDuration, 3'000'000);
    EXPECT_EQ(TrimmedCell(*window), QStringLiteral("3"));
    ASSERT_NE(window->Trim(), nullptr);
    EXPECT_FALSE(window->Trim()->isVisible());

    ConvertAll(*window);
    const auto outputs = Outputs();
    ASSERT_EQ(outputs.size(), 1u);
    const auto report = quillo::testing::RunFfprobe(*outputs.begin(), "-show_format");
    ASSERT_EQ(report.exitStatus, 0);
    EXPECT_NEAR(std::stod(quillo::testing::Field(report, "format.duration")), 3.0, 0.15);
}

TEST_F(TrimWindowGuiTest, CancelStoresNothingAndTheReusedWindowShowsTheStoredRange) {
    const auto window = WindowWith("seven_seconds.mp4");
    app::JobRecord trimmed = window->Jobs().Record(0);
    trimmed.StartTime = 1'000'000;
    trimmed.TrimDuration = 4'000'000;
    window->Jobs().SetRecord(0, trimmed);

    TrimWindow* first = nullptr;
    WhenModalOpens([&first](QDialog& trim) {
        first = qobject_cast<TrimWindow*>(&trim);
        // The window starts from the job's own range: 1 s to 5 s.
        EXPECT_EQ(Text(trim, "edtStart"), QStringLiteral("0:00:01"));
        EXPECT_EQ(Text(trim, "edtTrimLength"), QStringLiteral("0:00:05"));
        QWidget* bar = Control<QWidget>(trim, "trcPosition");
        // Left of the midpoint between the markers, the press moves the start marker.
        PressMarkerBar(*bar, PressFor(*bar, 2, 7));
        EXPECT_EQ(Text(trim, "edtStart"), QStringLiteral("0:00:02"));
        EXPECT_EQ(Text(trim, "edtTrimLength"), QStringLiteral("0:00:05"));
        Click(trim, "btnCancel");
    });
    TriggerEditEntry(*window, QStringLiteral("&Trim"));
    EXPECT_EQ(window->Jobs().Record(0).StartTime, 1'000'000);
    EXPECT_EQ(window->Jobs().Record(0).TrimDuration, 4'000'000);
    EXPECT_EQ(TrimmedCell(*window), QStringLiteral("7"));

    // "&Default" chooses the whole file again; Ok then stores no trim at all.
    WhenModalOpens([&first](QDialog& trim) {
        EXPECT_EQ(&trim, first) << "the trim window is made once";
        EXPECT_EQ(Text(trim, "edtStart"), QStringLiteral("0:00:01"));
        Click(trim, "btnDefault");
        EXPECT_EQ(Text(trim, "edtStart"), QStringLiteral("00:00:00"));
        EXPECT_EQ(Text(trim, "edtTrimLength").left(9), QStringLiteral("00:00:07."));
        Click(trim, "btnOk");
    });
    TriggerEditEntry(*window, QStringLiteral("&Trim"));
    EXPECT_EQ(window->Jobs().Record(0).StartTime, 0);
    EXPECT_EQ(window->Jobs().Record(0).TrimDuration, 0);
    EXPECT_EQ(TrimmedCell(*window), QStringLiteral("7"));
}

TEST_F(TrimWindowGuiTest, PressesLeftOfHalfAMarkerStartAtZeroAndCloseMarkersDoNotDrag) {
    const auto window = WindowWith("seven_seconds.mp4");
    WhenModalOpens([](QDialog& trim) {
        QWidget* bar = Control<QWidget>(trim, "trcPosition");
        // Each press moves the marker on its side of the midpoint between them.
        for (const int second : {5, 2, 3, 4}) {
            PressMarkerBar(*bar, PressFor(*bar, second, 7));
        }
        ASSERT_EQ(Text(trim, "edtStart"), QStringLiteral("0:00:03"));
        ASSERT_EQ(Text(trim, "edtTrimLength"), QStringLiteral("0:00:04"));

        // One second apart: dragging leaves both where they are...
        const int y = bar->height() / 2;
        const auto moveTo = [bar, y](int x) {
            QMouseEvent move(QEvent::MouseMove, QPointF(x, y), bar->mapToGlobal(QPointF(x, y)),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(bar, &move);
        };
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(PressFor(*bar, 3, 7), y));
        moveTo(PressFor(*bar, 1, 7));
        EXPECT_EQ(Text(trim, "edtStart"), QStringLiteral("0:00:03"));
        // ... the release is a press of its own, and a fresh press still moves them.
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(PressFor(*bar, 3, 7), y));
        EXPECT_EQ(Text(trim, "edtStart"), QStringLiteral("0:00:03"));
        PressMarkerBar(*bar, kHalfMarker - 1);
        EXPECT_EQ(Text(trim, "edtStart"), QStringLiteral("0:00:00"));

        // Far enough apart, the start marker follows the pointer.
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(PressFor(*bar, 1, 7), y));
        moveTo(PressFor(*bar, 2, 7));
        EXPECT_EQ(Text(trim, "edtStart"), QStringLiteral("0:00:02"));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(PressFor(*bar, 2, 7), y));
        Click(trim, "btnOk");
    });
    TriggerEditEntry(*window, QStringLiteral("&Trim"));
    EXPECT_EQ(window->Jobs().Record(0).StartTime, 2'000'000);
    EXPECT_EQ(window->Jobs().Record(0).TrimDuration, 2'000'000);
    EXPECT_EQ(TrimmedCell(*window), QStringLiteral("2"));
}

TEST_F(TrimWindowGuiTest, ASourceThatNoLongerOpensKeepsItsTrimOnOk) {
    const fs::path copy = *this / "gone.mp4";
    fs::copy_file(FixturePath("seven_seconds.mp4"), copy);
    auto window = MakeWindow();
    window->AddFiles({Q(copy)});
    ASSERT_EQ(window->Jobs().RowCount(), 1);
    app::JobRecord trimmed = window->Jobs().Record(0);
    trimmed.StartTime = 2'000'000;
    trimmed.TrimDuration = 1'000'000;
    window->Jobs().SetRecord(0, trimmed);
    fs::remove(copy);

    WhenModalOpens([](QDialog& trim) {
        EXPECT_FALSE(Control<QWidget>(trim, "trcPreview")->isEnabled());
        EXPECT_FALSE(Control<QWidget>(trim, "trcPosition")->isEnabled());
        Click(trim, "btnOk");
    });
    TriggerEditEntry(*window, QStringLiteral("&Trim"));
    EXPECT_EQ(window->Jobs().Record(0).StartTime, 2'000'000);
    EXPECT_EQ(window->Jobs().Record(0).TrimDuration, 1'000'000);
}

}  // namespace
}  // namespace quillo::gui::testing
