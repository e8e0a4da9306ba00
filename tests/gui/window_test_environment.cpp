#include <stdlib.h>

#include <gtest/gtest.h>

#include <memory>

#include "gui/quillo_application.h"
#include "gui/skin.h"

namespace quillo::gui::testing {
namespace {

// The process's application object, the program's own, made offscreen with silent sound
// before the first test.
class WindowEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        application_ = std::make_unique<QuilloApplication>(argc_, argv_);
        ApplySkin(*application_);
    }
    void TearDown() override { application_.reset(); }

private:
    // Qt keeps references to the argument count and list for the application's lifetime.
    int argc_ = 1;
    char name_[24] = "quillo-window-test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QuilloApplication> application_;
};

// gtest owns the environment and sets it up before the first test.
[[maybe_unused]] ::testing::Environment* const registered =
    ::testing::AddGlobalTestEnvironment(new WindowEnvironment);

}  // namespace
}  // namespace quillo::gui::testing
