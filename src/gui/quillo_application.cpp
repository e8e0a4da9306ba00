#include "gui/quillo_application.h"

#include <cstdio>

#include "gui/main_thread_pump.h"
#include "media/media_error.h"

namespace quillo::gui {

QString ExceptionText(std::string_view message) {
    QString text = QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size()));
    if (!text.isEmpty() && text.back().isLetterOrNumber()) {
        text += QLatin1Char('.');
    }
    return text;
}

MessageRequest ExceptionMessage(std::exception_ptr exception) {
    MessageRequest request{MessageIcon::Critical, QString::fromUtf8(ApplicationTitle), {}};
    try {
        std::rethrow_exception(std::move(exception));
    } catch (const media::MediaError& error) {
        request.Icon = MessageIcon::Warning;
        request.Text = ExceptionText(error.what());
    } catch (const std::exception& error) {
        request.Text = ExceptionText(error.what());
    } catch (...) {
        request.Text = QStringLiteral("An unexpected error without a description occurred.");
    }
    if (request.Text.isEmpty()) {
        request.Text = QStringLiteral("An unexpected error without a description occurred.");
    }
    return request;
}

QuilloApplication::QuilloApplication(int& argc, char** argv)
    : QApplication(argc, argv), show_(MessageBoxesFor(nullptr)) {
    setApplicationName(QStringLiteral("quillo-video-converter"));
    setApplicationDisplayName(QString::fromUtf8(ApplicationTitle));
    setDesktopFileName(QStringLiteral("quillo-video-converter"));
    InstallMainThreadPump();
}

bool QuilloApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(std::current_exception());
        return false;
    }
}

void QuilloApplication::ShowException(std::exception_ptr exception) {
    const MessageRequest request = ExceptionMessage(std::move(exception));
    if (show_) {
        show_(request);
    }
}

QuilloApplication* QuilloApplication::Instance() {
    return qobject_cast<QuilloApplication*>(QCoreApplication::instance());
}

void ReportException(std::exception_ptr exception) {
    if (QuilloApplication* application = QuilloApplication::Instance()) {
        application->ShowException(std::move(exception));
        return;
    }
    const MessageRequest request = ExceptionMessage(std::move(exception));
    std::fprintf(stderr, "%s\n", request.Text.toLocal8Bit().constData());
}

}  // namespace quillo::gui
