#include "gui/splash_window.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "gui/data_files.h"
#include "gui/skin.h"

namespace quillo::gui {

SplashWindow::SplashWindow(QWidget* mainWindow)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(LoadPicture()),
      mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("SplashWindow"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(picture_.deviceIndependentSize().toSize());
    timer_.setInterval(2000);
    connect(&timer_, &QTimer::timeout, this, &SplashWindow::Tick);
}

QPixmap SplashWindow::LoadPicture() {
    if (const auto file = FindDataFile("skin/xvidcover.jpg"); !file.empty()) {
        QPixmap picture;
        if (picture.load(QString::fromStdString(file.string())) && !picture.isNull()) {
            return picture;
        }
    }
    return BuiltInSplashPicture();
}

void SplashWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = rect();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    timer_.start();
}

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), picture_);
}

void SplashWindow::Tick() {
    if (mainWindow_ == nullptr || mainWindow_->isVisible()) {
        timer_.stop();
        close();
    }
}

}  // namespace quillo::gui
