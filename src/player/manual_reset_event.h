#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quillo::player {

// An event that stays set until it is reset, as the player's threads use them to say "the
// seek is done" or "a picture was queued". Setting it also wakes a main thread that pumps
// its calls while it waits (WaitPumping).
class ManualResetEvent {
public:
    explicit ManualResetEvent(bool initiallySet) : set_(initiallySet) {}
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // True when the event was set within the limit.
    bool Wait(std::chrono::milliseconds limit) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable condition_;
    bool set_;
};

// Waits up to limit for the event; on the main thread it runs the calls queued for the main
// thread meanwhile, because the thread that sets the event may be waiting for one of them.
bool WaitPumping(const ManualResetEvent& event, std::chrono::milliseconds limit);

}  // namespace quillo::player
