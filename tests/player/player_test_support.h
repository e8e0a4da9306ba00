#pragma once

// What the player tests share: a display surface that keeps what it was shown, waiting on
// conditions while the main thread's calls run, and a player with recorded events.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fixtures/fixture_path.h"
#include "media/library_set.h"
#include "media/logger.h"
#include "media/main_thread.h"
#include "media/system_libraries.h"
#include "player/player.h"

namespace quillo::player::testing {

using quillo::testing::FixturePath;

// Pumps the main thread's calls until done() holds; false when it did not hold within the
// limit, which is only reached when something is broken.
inline bool WaitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        media::PumpMessagesFor(std::chrono::milliseconds(20), done);
    }
    return true;
}

// One picture as the surface got it, with a figure a test computes from it.
struct Presented {
    std::int64_t pts = -1;
    int width = 0;
    int height = 0;
    int measure = 0;
};

class TestSurface : public VideoSurface {
public:
    void SetClientSize(int width, int height) {
        std::lock_guard lock(mutex_);
        clientWidth_ = width;
        clientHeight_ = height;
    }
    // Computed on the play thread for each frame presented.
    void SetMeasure(std::function<int(const DisplayFrame&)> measure) {
        std::lock_guard lock(mutex_);
        measure_ = std::move(measure);
    }

    void ClientSize(int& width, int& height) const override {
        std::lock_guard lock(mutex_);
        width = clientWidth_;
        height = clientHeight_;
    }
    void Present(const DisplayFrame& frame) override {
        std::lock_guard lock(mutex_);
        last_ = frame;
        records_.push_back({frame.pts, frame.width, frame.height, measure_ ? measure_(frame) : 0});
    }

    int Count() const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(records_.size());
    }
    std::vector<Presented> Records() const {
        std::lock_guard lock(mutex_);
        return records_;
    }
    DisplayFrame Last() const {
        std::lock_guard lock(mutex_);
        return last_;
    }

private:
    mutable std::mutex mutex_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    std::function<int(const DisplayFrame&)> measure_;
    std::vector<Presented> records_;
    DisplayFrame last_;
};

// The pixel at (x, y) of a frame: blue, green, red, alpha.
inline const std::uint8_t* PixelAt(const DisplayFrame& frame, int x, int y) {
    return frame.Row(y) + static_cast<std::ptrdiff_t>(x) * 4;
}

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        media::testing::LoadSystemLibraries(media::PlayerLibrarySet);
        player_ = std::make_unique<Player>();
        player_->SetOnState([this](PlayerBase&, PlayState state) { states_.push_back(state); });
        player_->SetOnPosition(
            [this](PlayerBase&, std::int64_t position) { positions_.push_back(position); });
    }
    void TearDown() override {
        player_.reset();
        media::LoggerInstance().SetOnLog({});
    }

    bool Open(const std::string& name) {
        return player_->Open(FixturePath(name).string(), &surface_);
    }
    bool StateSeen(PlayState state) const {
        for (const PlayState seen : states_) {
            if (seen == state) {
                return true;
            }
        }
        return false;
    }
    bool WaitForState(PlayState state) {
        return WaitFor([&] { return StateSeen(state); });
    }
    bool WaitForPictures(int count) {
        return WaitFor([&] { return surface_.Count() >= count; });
    }

    TestSurface surface_;
    std::unique_ptr<Player> player_;
    std::vector<PlayState> states_;
    std::vector<std::int64_t> positions_;
};

}  // namespace quillo::player::testing
