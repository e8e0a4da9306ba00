// quillo-video-converter: the desktop program.

#include <QPixmap>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <memory>

#include "gui/command_line.h"
#include "gui/main_window.h"
#include "gui/quillo_application.h"
#include "gui/skin.h"
#include "gui/splash_window.h"
#include "quillo/version.h"

namespace {

using namespace quillo::gui;

// Grabs the main window once it is on the screen, saves the picture and ends the program.
void TakeScreenshot(MainWindow& window, const QString& file) {
    auto* poll = new QTimer(&window);
    poll->setInterval(50);
    int polls = 0;
    QObject::connect(poll, &QTimer::timeout, &window, [&window, file, poll, polls]() mutable {
        const QWindow* handle = window.windowHandle();
        // Half a minute at the most, then whatever is there.
        if (handle != nullptr && !handle->isExposed() && ++polls < 600) {
            return;
        }
        poll->stop();
        const bool saved = window.grab().save(file, "PNG");
        if (!saved) {
            std::fprintf(stderr, "quillo-video-converter: cannot write %s\n",
                         file.toLocal8Bit().constData());
        }
        window.SetConfirmExit(false);
        window.close();
        QCoreApplication::exit(saved ? 0 : 1);
    });
    poll->start();
}

}  // namespace

int main(int argc, char** argv) {
    QuilloApplication application(argc, argv);
    application.setApplicationVersion(QString::fromUtf8(quillo::VersionString));
    ApplySkin(application);

    const CommandLine commandLine = ParseCommandLine(QCoreApplication::arguments());

    std::unique_ptr<MainWindow> window;
    try {
        window = std::make_unique<MainWindow>();
    } catch (...) {
        // Without its settings folder the program cannot start; say why.
        ShowMessageBox(nullptr, ExceptionMessage(std::current_exception()));
        return 1;
    }

    window->show();
    // Shown after the main window, so that it lies on top of it even without a window manager
    // that keeps it there.
    SplashWindow splash(window.get());
    splash.show();
    splash.raise();
    splash.repaint();

    if (!commandLine.Files.isEmpty()) {
        // Once the window has shown; the files come in as if chosen in Add.
        QTimer::singleShot(0, window.get(),
                           [&window, files = commandLine.Files] { window->AddFiles(files); });
    }
    if (!commandLine.Screenshot.isEmpty()) {
        TakeScreenshot(*window, commandLine.Screenshot);
    }
    return application.exec();
}
