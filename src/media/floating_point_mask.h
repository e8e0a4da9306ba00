#pragma once

#include <cfenv>

namespace quillo::media {

// Masks every floating-point exception of the calling thread (threads started later inherit
// it) and restores the previous environment when destroyed. Library code that divides by
// zero or overflows then yields inf/NaN instead of trapping.
class FloatingPointMask {
public:
    FloatingPointMask() { std::feholdexcept(&saved_); }
    ~FloatingPointMask() { std::fesetenv(&saved_); }
    FloatingPointMask(const FloatingPointMask&) = delete;
    FloatingPointMask& operator=(const FloatingPointMask&) = delete;

private:
    std::fenv_t saved_{};
};

}  // namespace quillo::media
