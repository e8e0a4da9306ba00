#pragma once

#include <QWidget>

namespace quillo::gui {

// A horizontal track bar with an optional second thumb, as the editors use it to pick a range
// (trim markers, a watermark's time span) or a single position. Values are integers from
// Minimum() to Maximum(). With the second thumb the lower thumb always stays below the upper
// one: setting either onto the other pushes it one step aside.
// A press on a thumb drags it; a press elsewhere moves the nearer thumb there (with Shift, one
// SmallChange towards the press). Left/Down and Right/Up step by SmallChange, Page Up/Down by
// LargeChange; with Shift and the second thumb the keys move the upper thumb.
class TrackBar2 : public QWidget {
    Q_OBJECT
public:
    explicit TrackBar2(QWidget* parent = nullptr);

    int Minimum() const { return minimum_; }
    int Maximum() const { return maximum_; }
    // Keeps both thumbs inside the new range.
    void SetRange(int minimum, int maximum);
    int PositionL() const { return positionL_; }
    int PositionU() const { return positionU_; }
    // A value equal to the current one changes nothing and emits nothing.
    void SetPositionL(int value);
    void SetPositionU(int value);
    bool SecondThumb() const { return secondThumb_; }
    void SetSecondThumb(bool on);
    int SmallChange() const { return smallChange_; }
    void SetSmallChange(int step) { smallChange_ = step; }
    int LargeChange() const { return largeChange_; }
    void SetLargeChange(int step) { largeChange_ = step; }
    int ThumbSize() const { return thumbSize_; }
    void SetThumbSize(int pixels);
    bool TrackingL() const { return dragging_ == Thumb::Lower; }
    bool TrackingU() const { return dragging_ == Thumb::Upper; }

    // The value under x, in widget pixels, by the bar's own scale.
    int ValueAt(int x) const;
    // The left edge of a thumb showing value.
    int ThumbLeft(int value) const;

    QSize sizeHint() const override;

signals:
    // A thumb moved, by the user or by a setter.
    void changed();
    // The user let go of a thumb he was dragging.
    void released();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Thumb { None, Lower, Upper };

    Thumb ThumbFor(int x) const;
    void MoveThumb(Thumb thumb, int value);
    int Span() const;

    int minimum_ = 0;
    int maximum_ = 20;
    int positionL_ = 0;
    int positionU_ = 10;
    bool secondThumb_ = false;
    int smallChange_ = 1;
    int largeChange_ = 2;
    int thumbSize_ = 20;
    Thumb dragging_ = Thumb::None;
    int grabOffset_ = 0;  // where in the thumb the drag took hold
};

}  // namespace quillo::gui
