#pragma once

#include <QApplication>
#include <exception>
#include <string>
#include <string_view>

#include "gui/message_boxes.h"

namespace quillo::gui {

// The application title, also the caption of the exception messages.
inline constexpr const char* ApplicationTitle = "Quillo Video Converter";

// The text an exception message is shown with: "." is added when the message ends in a letter
// or a digit, so "Cannot open file" reads "Cannot open file." while "Done!", "Why?" and
// "(none)" stay as they are.
QString ExceptionText(std::string_view message);

// How an exception is shown: a media error as a warning, anything else as an error, with the
// application title as caption.
MessageRequest ExceptionMessage(std::exception_ptr exception);

// The desktop program's application object. An exception that escapes an event handler is
// caught here and shown; the program keeps running. Calls that media threads queue for the
// main thread run from its event loop.
class QuilloApplication : public QApplication {
    Q_OBJECT
public:
    QuilloApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the exception as the handler does; for code that catches one itself.
    void ShowException(std::exception_ptr exception);
    // Replaces the message boxes (tests read the messages instead).
    void SetMessageFunction(MessageFunction show) { show_ = std::move(show); }

    static QuilloApplication* Instance();

private:
    MessageFunction show_;
};

// Shows the exception through the running QuilloApplication, or on standard error when the
// application object is of another kind.
void ReportException(std::exception_ptr exception);

// Runs a command and shows what it throws the way the application's handler does, so that a
// refusal deep in the core reaches the user as a message, never as a lost click.
template <typename Command>
void Guarded(const Command& command) {
    try {
        command();
    } catch (...) {
        ReportException(std::current_exception());
    }
}

}  // namespace quillo::gui
