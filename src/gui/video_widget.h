#pragma once

#include <QImage>
#include <QWidget>
#include <atomic>
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
    // Forgets the frame, so that only the background shows; once nothing plays any more.
    void Clear();

    // The colour shown where no picture is.
    static QColor BackgroundColour();

signals:
    void framePresented();  // queued to the main thread
    // The widget's new size, for the player's display area.
    void sizeChanged(int width, int height);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    mutable std::mutex mutex_;
    QImage frame_;   // its buffer is reused while the frame size stays
    int width_ = 0;  // the size, readable from the play thread
    int height_ = 0;
    // A repaint is already on its way: frames arriving meanwhile need no request of their own.
    std::atomic<bool> repaintPending_{false};
};

}  // namespace quillo::gui
