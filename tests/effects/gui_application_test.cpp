#include "effects/gui_application.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdlib>
#include <string>

#include "effects/watermark_error.h"

namespace quillo::effects {
namespace {

// Each case runs in a fresh process of its own (a death-test child), since a process has at
// most one application; the child's exit code says whether its checks held.
class EnsureGuiApplicationTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }

    static int argc;
    static char name[];
    static char* argv[];
};

int EnsureGuiApplicationTest::argc = 1;
char EnsureGuiApplicationTest::name[] = "test";
char* EnsureGuiApplicationTest::argv[] = {name, nullptr};

TEST_F(EnsureGuiApplicationTest, WithoutADisplayMakesAnOffscreenApplication) {
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("QT_QPA_PLATFORM");
            EnsureGuiApplication();
            auto* made = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
            EnsureGuiApplication();
            const bool ok = made != nullptr && made == QCoreApplication::instance() &&
                            QGuiApplication::platformName() == "offscreen" &&
                            std::string(std::getenv("QT_QPA_PLATFORM")) == "offscreen";
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(EnsureGuiApplicationTest, KeepsAChosenPlatform) {
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            setenv("QT_QPA_PLATFORM", "minimal", 1);
            EnsureGuiApplication();
            std::_Exit(QGuiApplication::platformName() == "minimal" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(EnsureGuiApplicationTest, LeavesAnExistingApplicationAlone) {
    EXPECT_EXIT(
        {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            QGuiApplication own(argc, argv);
            EnsureGuiApplication();
            std::_Exit(QCoreApplication::instance() == &own ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(EnsureGuiApplicationTest, RefusesWhenAPlainCoreApplicationIsInTheWay) {
    EXPECT_EXIT(
        {
            QCoreApplication core(argc, argv);
            try {
                EnsureGuiApplication();
            } catch (const WatermarkError&) {
                std::_Exit(0);
            }
            std::_Exit(1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace quillo::effects
