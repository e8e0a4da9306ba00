#include "gui/widgets/rect_tracker.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <array>

namespace quillo::gui {

namespace {

// The handle squares, in the order their zones are tested.
std::array<std::pair<RectTracker::Grab, QRect>, 8> Handles(const QRect& band) {
    constexpr int s = RectTracker::HandleSize;
    const int right = band.width() - s;
    const int bottom = band.height() - s;
    const int middleX = (band.width() - s) / 2;
    const int middleY = (band.height() - s) / 2;
    using Grab = RectTracker::Grab;
    return {{{Grab::TopLeft, QRect(0, 0, s, s)},
             {Grab::BottomRight, QRect(right, bottom, s, s)},
             {Grab::BottomLeft, QRect(0, bottom, s, s)},
             {Grab::TopRight, QRect(right, 0, s, s)},
             {Grab::Left, QRect(0, middleY, s, s)},
             {Grab::Right, QRect(right, middleY, s, s)},
             {Grab::Top, QRect(middleX, 0, s, s)},
             {Grab::Bottom, QRect(middleX, bottom, s, s)}}};
}

bool MovesLeft(RectTracker::Grab grab) {
    using Grab = RectTracker::Grab;
    return grab == Grab::TopLeft || grab == Grab::BottomLeft || grab == Grab::Left;
}
bool MovesRight(RectTracker::Grab grab) {
    using Grab = RectTracker::Grab;
    return grab == Grab::TopRight || grab == Grab::BottomRight || grab == Grab::Right;
}
bool MovesTop(RectTracker::Grab grab) {
    using Grab = RectTracker::Grab;
    return grab == Grab::TopLeft || grab == Grab::TopRight || grab == Grab::Top;
}
bool MovesBottom(RectTracker::Grab grab) {
    using Grab = RectTracker::Grab;
    return grab == Grab::BottomLeft || grab == Grab::BottomRight || grab == Grab::Bottom;
}

}  // namespace

RectTracker::RectTracker(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("RectTracker"));
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
}

RectTracker::Grab RectTracker::GrabAt(const QPoint& point) const {
    for (const auto& [grab, square] : Handles(rect())) {
        if (square.contains(point)) {
            return grab;
        }
    }
    const QRect inside = rect().adjusted(Inset, Inset, -Inset, -Inset);
    return inside.contains(point) ? Grab::Move : Grab::None;
}

void RectTracker::ShowCursorFor(Grab grab) {
    switch (grab) {
        case Grab::Left:
        case Grab::Right:
            setCursor(Qt::SizeHorCursor);
            break;
        case Grab::Top:
        case Grab::Bottom:
            setCursor(Qt::SizeVerCursor);
            break;
        case Grab::TopRight:
        case Grab::BottomLeft:
            setCursor(Qt::SizeBDiagCursor);
            break;
        case Grab::TopLeft:
        case Grab::BottomRight:
            setCursor(Qt::SizeFDiagCursor);
            break;
        case Grab::Move:
            setCursor(Qt::SizeAllCursor);
            break;
        case Grab::None:
            unsetCursor();
            break;
    }
}

void RectTracker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // White under black dots, so that the band shows on dark and light pictures alike.
    const QRect band = rect().adjusted(Inset, Inset, -Inset - 1, -Inset - 1);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(band);
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawRect(band);
    for (const auto& handle : Handles(rect())) {
        painter.fillRect(handle.second, Qt::black);
    }
}

void RectTracker::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    grab_ = GrabAt(event->position().toPoint());
    if (grab_ == Grab::None) {
        return;
    }
    lastPointer_ = mapToParent(event->position().toPoint());
    pressBounds_ = geometry();
    emit pressed(grab_);
}

void RectTracker::mouseMoveEvent(QMouseEvent* event) {
    if (grab_ == Grab::None) {
        ShowCursorFor(GrabAt(event->position().toPoint()));
        return;
    }
    const QPoint pointer = mapToParent(event->position().toPoint());
    const QPoint delta = pointer - lastPointer_;
    lastPointer_ = pointer;
    QRect bounds = geometry();
    if (grab_ == Grab::Move) {
        bounds.translate(delta);
    } else {
        // An edge moving inward stops once its side is down to the minimum.
        const auto inward = [](int side, int change) {
            return change > 0 ? std::min(change, std::max(side - MinimumSide, 0)) : change;
        };
        if (MovesLeft(grab_)) {
            bounds.setLeft(bounds.left() + inward(bounds.width(), delta.x()));
        }
        if (MovesRight(grab_)) {
            bounds.setRight(bounds.right() - inward(bounds.width(), -delta.x()));
        }
        if (MovesTop(grab_)) {
            bounds.setTop(bounds.top() + inward(bounds.height(), delta.y()));
        }
        if (MovesBottom(grab_)) {
            bounds.setBottom(bounds.bottom() - inward(bounds.height(), -delta.y()));
        }
    }
    setGeometry(bounds);
    emit moved();
    update();
}

void RectTracker::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || grab_ == Grab::None) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    grab_ = Grab::None;
    emit released();
    if (geometry() != pressBounds_) {
        emit changed(geometry());
    }
}

}  // namespace quillo::gui
