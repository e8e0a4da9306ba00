#pragma once

#include <QRect>
#include <QWidget>

namespace quillo::gui {

// A rubber band: a dotted rectangle, inset by 2 pixels from the widget's edges, with eight
// 5 x 5 handles at the corners and edge midpoints. The widget's geometry is the band. Dragging
// a handle moves its edges (an edge stops moving inward once that side is MinimumSide or
// less); dragging inside moves the whole band. The cursor shows what a press would do.
// After each move the band has applied, moved() lets the owner correct the geometry (keeping
// it on a picture); changed() follows the release when the bounds differ from the press.
class RectTracker : public QWidget {
    Q_OBJECT
public:
    enum class Grab {
        None,
        TopLeft,
        BottomRight,
        BottomLeft,
        TopRight,
        Left,
        Right,
        Top,
        Bottom,
        Move
    };

    static constexpr int MinimumSide = 10;
    static constexpr int HandleSize = 5;
    static constexpr int Inset = 2;

    explicit RectTracker(QWidget* parent = nullptr);

    // What a press at point (in the band's own pixels) grabs.
    Grab GrabAt(const QPoint& point) const;
    // The grab of the drag under way (None between drags).
    Grab Current() const { return grab_; }

signals:
    void pressed(RectTracker::Grab grab);
    void moved();
    void released();
    void changed(const QRect& bounds);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ShowCursorFor(Grab grab);

    Grab grab_ = Grab::None;
    QPoint lastPointer_;  // in the parent's pixels
    QRect pressBounds_;
};

}  // namespace quillo::gui
