#pragma once

#include "profiles/prompter.h"

namespace quillo::cli {

// Questions and warnings of the core on the terminal: warnings go to standard error; a
// question is asked on the terminal when there is one, else answered Yes (and said so), as
// a batch run from a script has nobody to answer.
class TerminalPrompter final : public profiles::Prompter {
public:
    bool AskYesNo(const std::string& caption, const std::string& text) override;
    void Warn(const std::string& caption, const std::string& text) override;
};

}  // namespace quillo::cli
