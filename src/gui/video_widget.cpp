#include "gui/video_widget.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <algorithm>
#include <cstring>

namespace quillo::gui {

VideoWidget::VideoWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pnlVideo"));
    // Every pixel is painted by paintEvent.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(160, 90);
    connect(
        this, &VideoWidget::framePresented, this,
        [this] {
            repaintPending_.store(false);
            update();
        },
        Qt::QueuedConnection);
}

QColor VideoWidget::BackgroundColour() {
    return {0x17, 0x19, 0x1d};
}

void VideoWidget::ClientSize(int& width, int& height) const {
    std::scoped_lock lock(mutex_);
    width = width_;
    height = height_;
}

void VideoWidget::Present(const player::DisplayFrame& frame) {
    {
        std::scoped_lock lock(mutex_);
        if (frame.width <= 0 || frame.height <= 0) {
            frame_ = QImage();
        } else {
            if (frame_.width() != frame.width || frame_.height() != frame.height) {
                // The only allocation: a new size needs a new buffer.
                frame_ = QImage(frame.width, frame.height, QImage::Format_ARGB32);
            }
            // The byte order blue, green, red, alpha is ARGB32 on a little-endian machine.
            const auto rowBytes = static_cast<std::size_t>(frame.width) * 4;
            for (int y = 0; y < frame.height; ++y) {
                std::memcpy(frame_.scanLine(y), frame.Row(y), rowBytes);
            }
        }
    }
    if (!repaintPending_.exchange(true)) {
        emit framePresented();
    }
}

QImage VideoWidget::LastFrame() const {
    std::scoped_lock lock(mutex_);
    // A deep copy: a shared one would make the next Present detach, which allocates.
    return frame_.copy();
}

void VideoWidget::Clear() {
    {
        std::scoped_lock lock(mutex_);
        frame_ = QImage();
    }
    update();
}

void VideoWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), BackgroundColour());
    std::scoped_lock lock(mutex_);
    if (frame_.isNull()) {
        // Nothing plays: a faint play sign, so the area reads as the preview.
        const int side = std::min(width(), height()) / 5;
        if (side >= 12) {
            painter.setRenderHint(QPainter::Antialiasing);
            const QPointF centre(width() / 2.0, height() / 2.0);
            painter.setPen(QPen(QColor(0x2e, 0x32, 0x3a), 2.0));
            painter.setBrush(QColor(0x20, 0x23, 0x29));
            painter.drawEllipse(centre, side * 0.75, side * 0.75);
            QPainterPath triangle;
            triangle.moveTo(centre + QPointF(-side * 0.22, -side * 0.32));
            triangle.lineTo(centre + QPointF(side * 0.36, 0));
            triangle.lineTo(centre + QPointF(-side * 0.22, side * 0.32));
            triangle.closeSubpath();
            painter.fillPath(triangle, QColor(0x3a, 0x3f, 0x48));
        }
        return;
    }
    // The player composes at the widget's size; while a resize is on its way the old frame
    // stays centred.
    const QPoint origin((width() - frame_.width()) / 2, (height() - frame_.height()) / 2);
    painter.drawImage(origin, frame_);
}

void VideoWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    {
        std::scoped_lock lock(mutex_);
        width_ = event->size().width();
        height_ = event->size().height();
    }
    emit sizeChanged(event->size().width(), event->size().height());
}

}  // namespace quillo::gui
