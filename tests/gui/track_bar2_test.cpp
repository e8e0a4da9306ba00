// The two-thumb track bar the editors pick ranges with: its clamping, mouse and keys.

#include "gui/widgets/track_bar2.h"

#include <QSignalSpy>
#include <QTest>

#include "gui_test_support.h"

namespace quillo::gui {
namespace {

// 220 pixels wide with 20-pixel thumbs: 200 pixels of travel for 0..100, two pixels a step.
class TrackBar2Gui : public ::testing::Test {
protected:
    void SetUp() override {
        bar_.resize(220, 24);
        bar_.SetRange(0, 100);
        bar_.SetPositionU(80);
        bar_.SetPositionL(20);
    }

    TrackBar2 bar_;
};

TEST_F(TrackBar2Gui, TheLowerThumbStaysBelowTheUpperAndBothInTheRange) {
    bar_.SetSecondThumb(true);
    const struct {
        bool upper;
        int value;
        int lower;
        int upperAfter;
    } cases[] = {
        {false, 80, 79, 80},   // onto the upper thumb: one below it
        {true, 20, 20, 21},    // onto the lower thumb: one above it
        {true, 500, 20, 100},  // above the range
        {false, -40, 0, 80},   // below the range
        {false, 35, 35, 80},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        bar_.SetPositionU(80);
        bar_.SetPositionL(20);
        if (c.upper) {
            bar_.SetPositionU(c.value);
        } else {
            bar_.SetPositionL(c.value);
        }
        EXPECT_EQ(bar_.PositionL(), c.lower);
        EXPECT_EQ(bar_.PositionU(), c.upperAfter);
    }
    // One thumb only: the range is the only limit.
    bar_.SetSecondThumb(false);
    bar_.SetPositionL(100);
    EXPECT_EQ(bar_.PositionL(), 100);
}

TEST_F(TrackBar2Gui, SettingTheSameValueChangesNothing) {
    QSignalSpy changes(&bar_, &TrackBar2::changed);
    bar_.SetPositionL(20);
    bar_.SetPositionU(80);
    EXPECT_EQ(changes.count(), 0);
    bar_.SetPositionL(21);
    EXPECT_EQ(changes.count(), 1);
}

// A press away from the thumbs moves the nearer one there; it then follows the pointer, and
// letting go says so.
TEST_F(TrackBar2Gui, ThePressedSideMovesAndFollowsThePointer) {
    bar_.SetSecondThumb(true);
    QSignalSpy released(&bar_, &TrackBar2::released);
    const int y = bar_.height() / 2;
    // Right of the middle between the thumbs: the upper thumb.
    QTest::mousePress(&bar_, Qt::LeftButton, Qt::NoModifier, QPoint(185, y));
    EXPECT_TRUE(bar_.TrackingU());
    EXPECT_EQ(bar_.PositionU(), bar_.ValueAt(185));
    EXPECT_EQ(bar_.PositionL(), 20);
    QTest::mouseMove(&bar_, QPoint(145, y));
    EXPECT_EQ(bar_.PositionU(), bar_.ValueAt(145));
    QTest::mouseRelease(&bar_, Qt::LeftButton, Qt::NoModifier, QPoint(145, y));
    EXPECT_FALSE(bar_.TrackingU());
    EXPECT_EQ(released.count(), 1);
    // Left of it: the lower thumb, which cannot pass the upper one.
    QTest::mousePress(&bar_, Qt::LeftButton, Qt::NoModifier, QPoint(10, y));
    EXPECT_TRUE(bar_.TrackingL());
    QTest::mouseMove(&bar_, QPoint(215, y));
    EXPECT_EQ(bar_.PositionL(), bar_.PositionU() - 1);
    QTest::mouseRelease(&bar_, Qt::LeftButton, Qt::NoModifier, QPoint(215, y));
    // Shift moves one step towards the press.
    const int before = bar_.PositionL();
    QTest::mouseClick(&bar_, Qt::LeftButton, Qt::ShiftModifier, QPoint(2, y));
    EXPECT_EQ(bar_.PositionL(), before - 1);
}

TEST_F(TrackBar2Gui, KeysStepTheLowerThumbAndWithShiftTheUpperOne) {
    bar_.SetSecondThumb(true);
    bar_.SetLargeChange(10);
    QTest::keyClick(&bar_, Qt::Key_Right);
    QTest::keyClick(&bar_, Qt::Key_PageUp);
    EXPECT_EQ(bar_.PositionL(), 31);
    QTest::keyClick(&bar_, Qt::Key_Down);
    EXPECT_EQ(bar_.PositionL(), 30);
    QTest::keyClick(&bar_, Qt::Key_PageDown, Qt::ShiftModifier);
    EXPECT_EQ(bar_.PositionU(), 70);
    EXPECT_EQ(bar_.PositionL(), 30);
}

}  // namespace
}  // namespace quillo::gui
