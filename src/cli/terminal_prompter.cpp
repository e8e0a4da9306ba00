#include "cli/terminal_prompter.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace quillo::cli {

bool TerminalPrompter::AskYesNo(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    if (isatty(STDIN_FILENO) == 0) {
        std::fputs("(no terminal to answer: taken as Yes)\n", stderr);
        return true;
    }
    for (;;) {
        std::fputs("[y/n] ", stderr);
        std::string answer;
        if (!std::getline(std::cin, answer)) {
            return true;
        }
        if (answer == "y" || answer == "Y" || answer == "yes") {
            return true;
        }
        if (answer == "n" || answer == "N" || answer == "no") {
            return false;
        }
    }
}

void TerminalPrompter::Warn(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

}  // namespace quillo::cli
