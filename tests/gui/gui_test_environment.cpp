#include <stdlib.h>

#include "gui_test_support.h"

namespace quillo::gui::testing {

void GuiEnvironment::SetUp() {
    // Before anything starts Qt or SDL: no display is needed and no sound is heard.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    application_ = std::make_unique<QApplication>(argc_, argv_);
}

void GuiEnvironment::TearDown() {
    application_.reset();
}

namespace {

// gtest owns the environment and sets it up before the first test.
[[maybe_unused]] ::testing::Environment* const registered =
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace

}  // namespace quillo::gui::testing
