#pragma once

#include <QString>
#include <functional>

#include "profiles/prompter.h"

class QWidget;

namespace quillo::gui {

enum class MessageIcon { Information, Warning, Critical, Question };

// One message box: a question has Yes and No buttons, anything else an OK button.
struct MessageRequest {
    MessageIcon Icon = MessageIcon::Information;
    QString Caption;
    QString Text;

    bool IsQuestion() const { return Icon == MessageIcon::Question; }
};

// Shows a message and returns the answer: true for Yes (and for OK). The windows take one of
// these so that tests can read what would be shown instead of a box waiting for a click.
using MessageFunction = std::function<bool(const MessageRequest&)>;

// Real message boxes, modal to parent.
bool ShowMessageBox(QWidget* parent, const MessageRequest& request);
MessageFunction MessageBoxesFor(QWidget* parent);

// The core's questions and warnings as message boxes ("Warning" captions included), through
// a message function that the owner may replace.
class GuiPrompter final : public profiles::Prompter {
public:
    explicit GuiPrompter(MessageFunction show) : show_(std::move(show)) {}

    void SetMessageFunction(MessageFunction show) { show_ = std::move(show); }
    bool Show(const MessageRequest& request) const { return show_ ? show_(request) : false; }

    bool AskYesNo(const std::string& caption, const std::string& text) override;
    void Warn(const std::string& caption, const std::string& text) override;

private:
    MessageFunction show_;
};

}  // namespace quillo::gui
