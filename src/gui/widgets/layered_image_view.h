#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QWidget>

namespace quillo::gui {

// A picture scaled to fit the widget and centred over a checkerboard of 13-pixel squares, with
// two marks drawn over it in the picture's own pixels: a crop rectangle (solid green) and the
// selected item's rectangle (a dotted band with handles). Presses and drags with the left
// button are reported in picture pixels, so that what is placed on the view is placed on the
// picture.
class LayeredImageView : public QWidget {
    Q_OBJECT
public:
    explicit LayeredImageView(QWidget* parent = nullptr);

    // The picture to show; its pixels are read when the view paints, so they must stay valid
    // until the next call. A null image shows the checkerboard alone.
    void SetPicture(const QImage& picture);
    // The size the picture has (the picture's own while one is shown).
    void SetPictureSize(const QSize& size);
    QSize PictureSize() const { return pictureSize_; }

    // Empty rectangles draw nothing.
    void SetCropRect(const QRect& rect);
    void SetSelection(const QRect& rect);
    QRect Selection() const { return selection_; }

    // Where the picture lies in the widget, and the mappings between the two.
    QRectF PictureArea() const;
    QPointF ToPicture(const QPointF& widgetPoint) const;
    QPointF ToWidget(const QPointF& picturePoint) const;

signals:
    // The left button went down at a picture point.
    void pressed(const QPointF& point);
    // It moved with the button held: the picture point now under the pointer.
    void dragged(const QPointF& point);
    void released();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage picture_;
    QSize pictureSize_;
    QRect crop_;
    QRect selection_;
    bool holding_ = false;
};

}  // namespace quillo::gui
