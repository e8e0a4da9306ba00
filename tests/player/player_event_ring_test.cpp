#include <gtest/gtest.h>

#include <vector>

#include "player/player_event_ring.h"

namespace quillo::player {
namespace {

using Kind = PlayerNotification::Kind;

std::vector<PlayerNotification> TakeAll(PlayerEventRing& ring) {
    std::vector<PlayerNotification> taken;
    PlayerNotification notification;
    while (ring.Take(notification)) {
        taken.push_back(notification);
    }
    return taken;
}

// A slow form sees the newest position and the newest of consecutive states only.
TEST(PlayerEventRingTest, ConsecutiveNotificationsOfOneKindCoalesce) {
    PlayerEventRing ring;
    ring.Post({.kind = Kind::Position, .position = 1});
    ring.Post({.kind = Kind::Position, .position = 2});
    ring.Post({.kind = Kind::State, .state = PlayState::psPause});
    ring.Post({.kind = Kind::State, .state = PlayState::psResume});
    ring.Post({.kind = Kind::Position, .position = 3});
    const std::vector<PlayerNotification> taken = TakeAll(ring);
    ASSERT_EQ(taken.size(), 3U);
    EXPECT_EQ(taken[0].position, 2);
    EXPECT_EQ(taken[1].state, PlayState::psResume);
    EXPECT_EQ(taken[2].position, 3);
    // Once taken, the next of the same kind is new.
    ring.Post({.kind = Kind::Position, .position = 4});
    EXPECT_EQ(TakeAll(ring).size(), 1U);
}

// A full ring drops the oldest notification, never the newest.
TEST(PlayerEventRingTest, AFullRingDropsTheOldest) {
    PlayerEventRing ring;
    for (int i = 0; i < 2 * PlayerEventRing::kSlots; ++i) {
        ring.Post({.kind = i % 2 == 0 ? Kind::Position : Kind::State, .position = i});
    }
    const std::vector<PlayerNotification> taken = TakeAll(ring);
    ASSERT_EQ(taken.size(), static_cast<std::size_t>(PlayerEventRing::kSlots - 1));
    EXPECT_EQ(taken.back().position, 2 * PlayerEventRing::kSlots - 1);
    EXPECT_EQ(taken.front().position, PlayerEventRing::kSlots + 1);
    EXPECT_FALSE(ring.WaitNotEmpty(std::chrono::milliseconds(0)));
}

}  // namespace
}  // namespace quillo::player
