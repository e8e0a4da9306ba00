#include "gui/widgets/track_bar2.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "gui/skin.h"

namespace quillo::gui {

namespace {

constexpr int kTrackHeight = 6;

}  // namespace

TrackBar2::TrackBar2(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumHeight(thumbSize_);
}

QSize TrackBar2::sizeHint() const {
    return {200, thumbSize_ + 4};
}

void TrackBar2::SetRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    const int lower = std::clamp(positionL_, minimum_, maximum_);
    const int upper = std::clamp(positionU_, minimum_, maximum_);
    const bool moved = lower != positionL_ || upper != positionU_;
    positionL_ = lower;
    positionU_ = upper;
    if (moved) {
        emit changed();
    }
    update();
}

void TrackBar2::SetPositionL(int value) {
    if (value == positionL_) {
        return;
    }
    int lower = std::clamp(value, minimum_, maximum_);
    if (secondThumb_ && lower >= positionU_) {
        lower = positionU_ - 1;
    }
    if (lower == positionL_) {
        return;
    }
    positionL_ = lower;
    emit changed();
    update();
}

void TrackBar2::SetPositionU(int value) {
    if (value == positionU_) {
        return;
    }
    int upper = std::min(value, maximum_);
    if (upper <= positionL_) {
        upper = positionL_ + 1;
    }
    if (upper == positionU_) {
        return;
    }
    positionU_ = upper;
    emit changed();
    update();
}

void TrackBar2::SetSecondThumb(bool on) {
    secondThumb_ = on;
    update();
}

void TrackBar2::SetThumbSize(int pixels) {
    thumbSize_ = std::max(pixels, 4);
    setMinimumHeight(thumbSize_);
    update();
}

int TrackBar2::Span() const {
    return std::max(width() - thumbSize_, 1);
}

int TrackBar2::ValueAt(int x) const {
    const long long range = maximum_ - minimum_;
    const long long value =
        minimum_ + (static_cast<long long>(x) - thumbSize_ / 4) * range / Span();
    return static_cast<int>(std::clamp<long long>(value, minimum_, maximum_));
}

int TrackBar2::ThumbLeft(int value) const {
    const long long range = maximum_ - minimum_;
    if (range <= 0) {
        return 0;
    }
    return static_cast<int>(
        static_cast<long long>(std::clamp(value, minimum_, maximum_) - minimum_) * Span() / range);
}

TrackBar2::Thumb TrackBar2::ThumbFor(int x) const {
    if (!secondThumb_) {
        return Thumb::Lower;
    }
    // The nearer thumb: right of the midpoint between them is the upper one.
    const int middle = (ThumbLeft(positionL_) + ThumbLeft(positionU_) + thumbSize_) / 2;
    return x > middle ? Thumb::Upper : Thumb::Lower;
}

void TrackBar2::MoveThumb(Thumb thumb, int value) {
    if (thumb == Thumb::Upper) {
        SetPositionU(value);
    } else if (thumb == Thumb::Lower) {
        SetPositionL(value);
    }
}

void TrackBar2::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int x = static_cast<int>(event->position().x());
    const Thumb thumb = ThumbFor(x);
    const int current = thumb == Thumb::Upper ? positionU_ : positionL_;
    const int left = ThumbLeft(current);
    if (x >= left && x < left + thumbSize_) {
        grabOffset_ = x - left;
    } else if ((event->modifiers() & Qt::ShiftModifier) != 0) {
        MoveThumb(thumb, current + (x < left ? -smallChange_ : smallChange_));
        return;
    } else {
        // The thumb jumps under the pointer and follows it from there.
        MoveThumb(thumb, ValueAt(x));
        grabOffset_ = thumbSize_ / 4;
    }
    dragging_ = thumb;
    update();
}

void TrackBar2::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ == Thumb::None) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const int x = static_cast<int>(event->position().x());
    MoveThumb(dragging_, ValueAt(x - grabOffset_ + thumbSize_ / 4));
}

void TrackBar2::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || dragging_ == Thumb::None) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    dragging_ = Thumb::None;
    update();
    emit released();
}

void TrackBar2::keyPressEvent(QKeyEvent* event) {
    const bool upper = secondThumb_ && (event->modifiers() & Qt::ShiftModifier) != 0;
    const Thumb thumb = upper ? Thumb::Upper : Thumb::Lower;
    const int current = upper ? positionU_ : positionL_;
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Down:
            MoveThumb(thumb, current - smallChange_);
            break;
        case Qt::Key_Right:
        case Qt::Key_Up:
            MoveThumb(thumb, current + smallChange_);
            break;
        case Qt::Key_PageUp:
            MoveThumb(thumb, current + largeChange_);
            break;
        case Qt::Key_PageDown:
            MoveThumb(thumb, current - largeChange_);
            break;
        default:
            QWidget::keyPressEvent(event);
    }
}

void TrackBar2::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int middle = height() / 2;
    const QRectF track(thumbSize_ / 2.0, middle - kTrackHeight / 2.0, Span(), kTrackHeight);
    painter.setPen(QColor(170, 180, 200));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(track, 3, 3);

    // The chosen part: between the thumbs, or up to the only one.
    const int from = secondThumb_ ? ThumbLeft(positionL_) : 0;
    const int to = ThumbLeft(secondThumb_ ? positionU_ : positionL_);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isEnabled() ? skin::Accent : QColor(180, 186, 200));
    painter.drawRoundedRect(QRectF(from + thumbSize_ / 2.0, track.top(), to - from, kTrackHeight),
                            3, 3);

    const auto drawThumb = [&](int value, bool active) {
        const QRectF thumb(ThumbLeft(value) + 1.5, middle - thumbSize_ / 2.0 + 1.5,
                           thumbSize_ - 3.0, thumbSize_ - 3.0);
        painter.setPen(QPen(active ? skin::AccentDark : QColor(120, 132, 156), 1.5));
        painter.setBrush(isEnabled() ? QColor(250, 251, 255) : QColor(228, 230, 236));
        painter.drawRoundedRect(thumb, 4, 4);
    };
    drawThumb(positionL_, TrackingL() || (hasFocus() && !secondThumb_));
    if (secondThumb_) {
        drawThumb(positionU_, TrackingU());
    }
}

}  // namespace quillo::gui
