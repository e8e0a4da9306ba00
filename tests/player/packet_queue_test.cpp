#include "player/packet_queue.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "media/library_bindings.h"
#include "media/library_pointers.h"
#include "media/system_libraries.h"

namespace quillo::player {
namespace {

namespace lib = media::lib;
using Result = PacketQueue::Result;
using namespace std::chrono_literals;

constexpr auto kDeadline = 10s;

class PlayerAudioPacketQueue : public ::testing::Test {
protected:
    void SetUp() override { media::testing::LoadSystemLibraries(); }

    // A reference-counted packet of size bytes, each byte (pts & 0xff).
    static media::PacketPtr MakePacket(int size, std::int64_t pts) {
        media::PacketPtr packet(lib::avcodec.av_packet_alloc());
        Refill(packet.get(), size, pts);
        return packet;
    }

    static void Refill(AVPacket* packet, int size, std::int64_t pts) {
        EXPECT_EQ(lib::avcodec.av_new_packet(packet, size), 0);
        std::memset(packet->data, static_cast<int>(pts & 0xff), static_cast<std::size_t>(size));
        packet->pts = pts;
    }

    // Every byte of the packet is (pts & 0xff).
    static bool HoldsItsPattern(const AVPacket* packet) {
        for (int i = 0; i < packet->size; ++i) {
            if (packet->data[i] != static_cast<std::uint8_t>(packet->pts & 0xff)) {
                return false;
            }
        }
        return true;
    }

    PacketQueue queue_;
};

// True once the thread sleeps (blocked in the kernel), false when it never does in time.
bool WaitUntilSleeping(pid_t thread) {
    const std::string path = "/proc/self/task/" + std::to_string(thread) + "/stat";
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream file(path);
        std::string line;
        std::getline(file, line);
        // "tid (name) S ...": the state follows the closing parenthesis.
        const std::size_t close = line.rfind(')');
        if (close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'S') {
            return true;
        }
        std::this_thread::sleep_for(2ms);
    }
    return false;
}

TEST_F(PlayerAudioPacketQueue, HandsOutAFlushMarkFirstThenPacketsInOrderAndCountsTheirBytes) {
    queue_.Start();
    const std::vector<int> sizes = {10, 200, 3000};
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        media::PacketPtr packet = MakePacket(sizes[i], static_cast<std::int64_t>(i + 1));
        ASSERT_TRUE(queue_.Put(packet.get()));
        EXPECT_EQ(packet->data, nullptr) << "the queue takes the packet's reference";
    }
    media::PacketPtr end(lib::avcodec.av_packet_alloc());  // the end-of-file packet
    ASSERT_TRUE(queue_.Put(end.get()));

    EXPECT_EQ(queue_.Count(), 5);
    std::int64_t expected = 10 + 200 + 3000 + 4 * PacketQueue::kEntryOverhead;
    EXPECT_EQ(queue_.Size(), expected);

    media::PacketPtr out(lib::avcodec.av_packet_alloc());
    ASSERT_EQ(queue_.Get(out.get(), false), Result::Flush);
    EXPECT_EQ(out->data, nullptr);
    EXPECT_EQ(queue_.Size(), expected);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        ASSERT_EQ(queue_.Get(out.get(), false), Result::Packet);
        EXPECT_EQ(out->pts, static_cast<std::int64_t>(i + 1));
        EXPECT_EQ(out->size, sizes[i]);
        EXPECT_TRUE(HoldsItsPattern(out.get()));
        expected -= sizes[i] + PacketQueue::kEntryOverhead;
        EXPECT_EQ(queue_.Size(), expected);
        lib::avcodec.av_packet_unref(out.get());
    }
    ASSERT_EQ(queue_.Get(out.get(), false), Result::Packet);
    EXPECT_EQ(out->data, nullptr);
    EXPECT_EQ(out->size, 0);
    EXPECT_EQ(queue_.Size(), 0);
    EXPECT_EQ(queue_.Count(), 0);
    EXPECT_EQ(queue_.Get(out.get(), false), Result::Empty);
}

TEST_F(PlayerAudioPacketQueue, CopiesDataTheCallerStillOwns) {
    queue_.Start();
    std::vector<std::uint8_t> demuxerBuffer(64, 0x11);
    media::PacketPtr packet(lib::avcodec.av_packet_alloc());
    packet->data = demuxerBuffer.data();
    packet->size = static_cast<int>(demuxerBuffer.size());
    packet->pts = 0x11;
    ASSERT_TRUE(queue_.Put(packet.get()));
    std::fill(demuxerBuffer.begin(), demuxerBuffer.end(), 0x22);  // the demuxer reuses it

    media::PacketPtr out(lib::avcodec.av_packet_alloc());
    ASSERT_EQ(queue_.Get(out.get(), false), Result::Flush);
    ASSERT_EQ(queue_.Get(out.get(), false), Result::Packet);
    EXPECT_NE(out->data, demuxerBuffer.data());
    EXPECT_EQ(out->size, 64);
    EXPECT_TRUE(HoldsItsPattern(out.get()));
}

TEST_F(PlayerAudioPacketQueue, BlockedGetWakesForAPacketAndForAbort) {
    queue_.Start();
    media::PacketPtr out(lib::avcodec.av_packet_alloc());
    ASSERT_EQ(queue_.Get(out.get(), false), Result::Flush);

    const auto blockedGet = [&](std::promise<pid_t>& started) {
        started.set_value(gettid());
        const Result result = queue_.Get(out.get(), true);
        return std::pair(result, result == Result::Packet ? out->pts : -1);
    };
    for (const bool abort : {false, true}) {
        SCOPED_TRACE(abort ? "abort" : "packet");
        std::promise<pid_t> started;
        auto future = std::async(std::launch::async, blockedGet, std::ref(started));
        ASSERT_TRUE(WaitUntilSleeping(started.get_future().get()));
        if (abort) {
            queue_.Abort();
        } else {
            media::PacketPtr packet = MakePacket(8, 42);
            ASSERT_TRUE(queue_.Put(packet.get()));
        }
        if (future.wait_for(kDeadline) != std::future_status::ready) {
            queue_.Abort();  // lets the thread end before the test fails
            FAIL() << "the blocked Get did not wake";
        }
        const auto [result, pts] = future.get();
        if (abort) {
            EXPECT_EQ(result, Result::Aborted);
        } else {
            EXPECT_EQ(result, Result::Packet);
            EXPECT_EQ(pts, 42);
            lib::avcodec.av_packet_unref(out.get());
        }
    }

    // Aborted for good, even with a packet waiting, until the next Start.
    media::PacketPtr packet = MakePacket(8, 7);
    ASSERT_TRUE(queue_.Put(packet.get()));
    EXPECT_TRUE(queue_.Aborted());
    EXPECT_EQ(queue_.Get(out.get(), true), Result::Aborted);
    queue_.Start();
    EXPECT_FALSE(queue_.Aborted());
    EXPECT_EQ(queue_.Get(out.get(), false), Result::Packet);
    EXPECT_EQ(out->pts, 7);
    lib::avcodec.av_packet_unref(out.get());
    EXPECT_EQ(queue_.Get(out.get(), false), Result::Flush);
}

TEST_F(PlayerAudioPacketQueue, FlushDropsPacketsAndMarks) {
    queue_.Start();
    for (int i = 0; i < 5; ++i) {
        media::PacketPtr packet = MakePacket(100, i);
        ASSERT_TRUE(queue_.Put(packet.get()));
    }
    queue_.PutFlush();
    media::PacketPtr last = MakePacket(100, 9);
    ASSERT_TRUE(queue_.Put(last.get()));
    ASSERT_EQ(queue_.Count(), 8);

    queue_.Flush();
    EXPECT_EQ(queue_.Count(), 0);
    EXPECT_EQ(queue_.Size(), 0);
    media::PacketPtr out(lib::avcodec.av_packet_alloc());
    EXPECT_EQ(queue_.Get(out.get(), false), Result::Empty);

    media::PacketPtr after = MakePacket(30, 3);
    ASSERT_TRUE(queue_.Put(after.get()));
    ASSERT_EQ(queue_.Get(out.get(), false), Result::Packet);
    EXPECT_EQ(out->pts, 3);
    EXPECT_TRUE(HoldsItsPattern(out.get()));
}

// Counts av_packet_alloc calls while it lives by routing the binding through a counter.
// The binding is a plain function pointer, so the counter has to be static.
class PacketAllocationCounter {
public:
    PacketAllocationCounter() : original_(lib::avcodec.av_packet_alloc) {
        Original() = original_;
        Count() = 0;
        lib::avcodec.av_packet_alloc = &Counted;
    }
    PacketAllocationCounter(const PacketAllocationCounter&) = delete;
    PacketAllocationCounter& operator=(const PacketAllocationCounter&) = delete;
    ~PacketAllocationCounter() { lib::avcodec.av_packet_alloc = original_; }

    int Allocations() const { return Count().load(); }

private:
    static std::atomic<int>& Count() {
        static std::atomic<int> count{0};
        return count;
    }
    static decltype(lib::avcodec.av_packet_alloc)& Original() {
        static decltype(lib::avcodec.av_packet_alloc) original = nullptr;
        return original;
    }
    static AVPacket* Counted() {
        ++Count();
        return Original()();
    }

    decltype(lib::avcodec.av_packet_alloc) original_;
};

TEST_F(PlayerAudioPacketQueue, ReusesItsPacketStructures) {
    media::PacketPtr in(lib::avcodec.av_packet_alloc());
    media::PacketPtr out(lib::avcodec.av_packet_alloc());
    queue_.Start();
    ASSERT_EQ(queue_.Get(out.get(), false), Result::Flush);

    PacketAllocationCounter counter;
    int maximumQueued = 0;
    for (int round = 0; round < 1000; ++round) {
        // Up to three packets in the queue at once; every tenth round ends with a Flush.
        const int count = round % 3 + 1;
        for (int i = 0; i < count; ++i) {
            Refill(in.get(), 50 + i, round);
            ASSERT_TRUE(queue_.Put(in.get()));
        }
        maximumQueued = std::max(maximumQueued, queue_.Count());
        if (round % 10 == 9) {
            queue_.Flush();
            continue;
        }
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(queue_.Get(out.get(), false), Result::Packet);
            ASSERT_EQ(out->pts, round);
            ASSERT_EQ(out->size, 50 + i);
            lib::avcodec.av_packet_unref(out.get());
        }
        ASSERT_EQ(queue_.Count(), 0);
        ASSERT_EQ(queue_.Size(), 0);
    }
    EXPECT_EQ(maximumQueued, 3);
    EXPECT_LE(counter.Allocations(), maximumQueued);
    EXPECT_GT(counter.Allocations(), 0);
}

}  // namespace
}  // namespace quillo::player
