#include "gui/widgets/layered_image_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace quillo::gui {

namespace {

constexpr int kSquare = 13;
constexpr int kHandle = 5;

}  // namespace

LayeredImageView::LayeredImageView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ImgView"));
    setMinimumSize(320, 240);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void LayeredImageView::SetPicture(const QImage& picture) {
    picture_ = picture;
    if (!picture.isNull()) {
        pictureSize_ = picture.size();
    }
    update();
}

void LayeredImageView::SetPictureSize(const QSize& size) {
    pictureSize_ = size;
    update();
}

void LayeredImageView::SetCropRect(const QRect& rect) {
    crop_ = rect;
    update();
}

void LayeredImageView::SetSelection(const QRect& rect) {
    selection_ = rect;
    update();
}

QRectF LayeredImageView::PictureArea() const {
    if (pictureSize_.isEmpty()) {
        return QRectF(rect());
    }
    const double scale = std::min(static_cast<double>(width()) / pictureSize_.width(),
                                  static_cast<double>(height()) / pictureSize_.height());
    const QSizeF shown(pictureSize_.width() * scale, pictureSize_.height() * scale);
    return {QPointF((width() - shown.width()) / 2.0, (height() - shown.height()) / 2.0), shown};
}

QPointF LayeredImageView::ToPicture(const QPointF& widgetPoint) const {
    const QRectF area = PictureArea();
    if (pictureSize_.isEmpty() || area.isEmpty()) {
        return widgetPoint;
    }
    return {(widgetPoint.x() - area.left()) * pictureSize_.width() / area.width(),
            (widgetPoint.y() - area.top()) * pictureSize_.height() / area.height()};
}

QPointF LayeredImageView::ToWidget(const QPointF& picturePoint) const {
    const QRectF area = PictureArea();
    if (pictureSize_.isEmpty()) {
        return picturePoint;
    }
    return {area.left() + picturePoint.x() * area.width() / pictureSize_.width(),
            area.top() + picturePoint.y() * area.height() / pictureSize_.height()};
}

void LayeredImageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor light(236, 238, 242);
    const QColor dark(204, 208, 216);
    for (int y = 0; y < height(); y += kSquare) {
        for (int x = 0; x < width(); x += kSquare) {
            painter.fillRect(x, y, kSquare, kSquare, ((x + y) / kSquare) % 2 == 0 ? light : dark);
        }
    }
    const QRectF area = PictureArea();
    if (!picture_.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(area, picture_);
    }
    const auto mapped = [this](const QRect& r) {
        return QRectF(ToWidget(r.topLeft()),
                      ToWidget(QPointF(r.x() + r.width(), r.y() + r.height())));
    };
    if (!crop_.isEmpty()) {
        painter.setPen(QPen(QColor(0, 160, 0), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(mapped(crop_));
    }
    if (!selection_.isEmpty()) {
        const QRectF band = mapped(selection_).adjusted(-1, -1, 1, 1);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(band);
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.drawRect(band);
        const double half = kHandle / 2.0;
        for (const QPointF& corner :
             {band.topLeft(), band.topRight(), band.bottomLeft(), band.bottomRight(),
              QPointF(band.center().x(), band.top()), QPointF(band.center().x(), band.bottom()),
              QPointF(band.left(), band.center().y()), QPointF(band.right(), band.center().y())}) {
            painter.fillRect(QRectF(corner.x() - half, corner.y() - half, kHandle, kHandle),
                             Qt::black);
        }
    }
}

void LayeredImageView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    holding_ = true;
    emit pressed(ToPicture(event->position()));
}

void LayeredImageView::mouseMoveEvent(QMouseEvent* event) {
    if (holding_ && (event->buttons() & Qt::LeftButton) != 0) {
        emit dragged(ToPicture(event->position()));
    }
}

void LayeredImageView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && holding_) {
        holding_ = false;
        emit released();
    }
}

}  // namespace quillo::gui
