#pragma once

#include <QImage>
#include <QWidget>
#include <mutex>

#include "player/video_surface.h"

namespace quillo::gui {

// The preview panel's picture: a widget the player draws into. The play thread hands each
// frame over (Present); the widget keeps the newest and paints it on the main thread, with
// the widget's own background where the frame is transparent (the bands beside a picture).
class VideoWidget : public QWidget, public player::VideoSurface {
    Q_OBJECT
public:
    explicit VideoWidget(QWidget* parent = nullptr);

    // VideoSurface, called on the play thread.
    void ClientSize(int& width, int& height) const override;
    void Present(const player::DisplayFrame& frame) override;

    // The newest frame, for tests; null before the first.
    QImage LastFrame() const;

signals:
    void framePresented();  // queued to the main thread

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    mutable std::mutex mutex_;
    QImage frame_;
    int width_ = 0;  // the size, readable from the play thread
    int height_ = 0;
};

}  // namespace quillo::gui
