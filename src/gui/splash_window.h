#pragma once

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace quillo::gui {

// The start-up picture: borderless, centred on the screen and sized to the picture
// ("skin/xvidcover.jpg" from the data folders, else a built-in one). Its timer closes it at
// the first 2000 ms tick at which the main window is showing.
class SplashWindow : public QWidget {
    Q_OBJECT
public:
    explicit SplashWindow(QWidget* mainWindow);

    const QPixmap& Picture() const { return picture_; }
    // The picture from the data folders, or the built-in one.
    static QPixmap LoadPicture();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Tick();

    QPixmap picture_;
    QPointer<QWidget> mainWindow_;
    QTimer timer_;
};

}  // namespace quillo::gui
