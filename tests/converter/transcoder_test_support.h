#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "converter/transcoder.h"
#include "media/logger.h"
#include "media/media_error.h"
#include "media/system_libraries.h"
#include "support/temp_folder.h"

namespace quillo::converter::testing {

// A transcoder on the system's libraries, with the logger's lines recorded and a scratch
// folder for output files.
class TranscoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        media::testing::LoadSystemLibraries();
        engine_.ResetOptions();
        media::LoggerInstance().SetTriggerEventInMainThread(false);
        media::LoggerInstance().SetOnLog([this](const media::MediaComponent*, std::uint32_t,
                                                media::LogLevel level, const std::string& text) {
            logged_.push_back({level, text});
        });
    }

    void TearDown() override {
        engine_.ResetOptions();  // closes the files before their folder goes
        media::LoggerInstance().SetOnLog({});
    }

    // The message SetOption refuses with, or "" when it accepts.
    std::string Refusal(const std::string& name, const std::string& value) {
        try {
            engine_.SetOption(name, value);
        } catch (const media::MediaError& error) {
            return error.what();
        }
        return "";
    }

    bool Logged(media::LogLevel level, const std::string& text) const {
        for (const auto& [loggedLevel, loggedText] : logged_) {
            if (loggedLevel == level && loggedText == text) {
                return true;
            }
        }
        return false;
    }

    std::string Out(const std::string& name) const { return (folder_ / name).string(); }

    quillo::testing::TempFolder temp_;
    const std::filesystem::path& folder_ = temp_.Path();
    Transcoder engine_;  // after the folder: its files close before the folder goes
    std::vector<std::pair<media::LogLevel, std::string>> logged_;
};

}  // namespace quillo::converter::testing
