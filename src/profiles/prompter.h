#pragma once

#include <string>

namespace quillo::profiles {

// The only way core code asks the user something: the GUI answers with message boxes, the
// command-line front end on the terminal, tests with scripted answers.
class Prompter {
public:
    virtual ~Prompter() = default;

    // A question with Yes and No buttons; true for Yes.
    virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;

    // A warning with an OK button.
    virtual void Warn(const std::string& caption, const std::string& text) = 0;
};

}  // namespace quillo::profiles
