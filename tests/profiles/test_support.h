#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "profiles/prompter.h"
#include "support/temp_folder.h"

namespace quillo::testing {

// Answers questions from a script and records everything it was shown.
class ScriptedPrompter : public profiles::Prompter {
public:
    explicit ScriptedPrompter(std::vector<bool> answers = {}) : answers_(std::move(answers)) {}

    bool AskYesNo(const std::string& caption, const std::string& text) override {
        questions.push_back(caption + "|" + text);
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return false;
        }
        const bool answer = answers_.front();
        answers_.erase(answers_.begin());
        return answer;
    }

    void Warn(const std::string& caption, const std::string& text) override {
        warnings.push_back(caption + "|" + text);
    }

    std::vector<std::string> questions;
    std::vector<std::string> warnings;

private:
    std::vector<bool> answers_;
};

}  // namespace quillo::testing
