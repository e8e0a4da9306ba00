#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

extern "C" {
#include <libavcodec/packet.h>
}

namespace quillo::player {

// A queue of demuxed packets between the read thread and one decoding thread. Besides packets
// it carries flush marks: the read thread puts one after every seek, and a consumer that takes
// one flushes its decoder. Aborting wakes every waiter for good. Packet structures are kept
// for reuse, so a steady stream allocates none. Needs avcodec.
class PacketQueue {
public:
    // What Get found.
    enum class Result { Aborted, Empty, Packet, Flush };

    // Bytes a packet counts for besides its data: the bookkeeping of one queue entry.
    static constexpr std::int64_t kEntryOverhead = 72;

    PacketQueue() = default;
    PacketQueue(const PacketQueue&) = delete;
    PacketQueue& operator=(const PacketQueue&) = delete;
    ~PacketQueue();

    // Clears the abort flag and queues a flush mark as the first entry.
    void Start();
    // Takes over the packet's reference (the packet is left blank). A packet without data
    // (the end-of-file packet) is queued as it is. False when the packet cannot be kept.
    bool Put(AVPacket* packet);
    void PutFlush();
    // Moves the oldest packet into packet (which must be blank); waits for one when block is
    // set. A flush mark leaves packet blank.
    Result Get(AVPacket* packet, bool block);
    // Drops every entry.
    void Flush();
    void Abort();

    bool Aborted() const;
    int Count() const;
    // The data bytes queued plus the overhead of each entry.
    std::int64_t Size() const;
    bool Empty() const { return Count() == 0; }

private:
    struct Entry {
        AVPacket* packet = nullptr;  // null for a flush mark
    };

    AVPacket* SparePacket();
    void Recycle(AVPacket* packet);

    mutable std::mutex mutex_;
    std::condition_variable condition_;
    std::deque<Entry> entries_;
    std::vector<AVPacket*> spare_;
    std::int64_t size_ = 0;
    bool aborted_ = false;
};

}  // namespace quillo::player
