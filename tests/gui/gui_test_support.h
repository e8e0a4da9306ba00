#pragma once

// What the GUI tests share: the process's QApplication, made offscreen with silent sound
// before the first test, and finding a window's controls by name.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>

namespace quillo::gui::testing {

// Registered once per test executable (gui_test_environment.cpp).
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

private:
    // Qt keeps references to the argument count and list for the application's lifetime.
    int argc_ = 1;
    char name_[16] = "quillo-gui-test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

// The child of window named name; the test fails (and the result is null) when there is none.
template <typename T>
T* Control(const QWidget& window, const char* name) {
    T* control = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << "no control " << name;
    return control;
}

// True when every pixel of image has colour.
inline bool AllPixels(const QImage& image, QRgb colour) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) != (colour & 0xFFFFFF)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace quillo::gui::testing
