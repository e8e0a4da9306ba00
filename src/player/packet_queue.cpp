#include "player/packet_queue.h"

#include "media/library_bindings.h"

namespace quillo::player {

namespace lib = media::lib;

PacketQueue::~PacketQueue() {
    Flush();
    for (AVPacket* packet : spare_) {
        lib::avcodec.av_packet_free(&packet);
    }
}

void PacketQueue::Start() {
    std::lock_guard lock(mutex_);
    aborted_ = false;
    entries_.push_back(Entry{});
    condition_.notify_one();
}

AVPacket* PacketQueue::SparePacket() {
    if (spare_.empty()) {
        return lib::avcodec.av_packet_alloc();
    }
    AVPacket* packet = spare_.back();
    spare_.pop_back();
    return packet;
}

void PacketQueue::Recycle(AVPacket* packet) {
    lib::avcodec.av_packet_unref(packet);
    spare_.push_back(packet);
}

bool PacketQueue::Put(AVPacket* packet) {
    std::lock_guard lock(mutex_);
    if (packet->data != nullptr && packet->buf == nullptr) {
        // Data the demuxer still owns: the queue needs its own copy.
        AVPacket* copy = SparePacket();
        if (copy == nullptr || lib::avcodec.av_packet_ref(copy, packet) < 0) {
            if (copy != nullptr) {
                Recycle(copy);
            }
            return false;
        }
        lib::avcodec.av_packet_unref(packet);
        entries_.push_back(Entry{copy});
    } else {
        AVPacket* kept = SparePacket();
        if (kept == nullptr) {
            return false;
        }
        lib::avcodec.av_packet_move_ref(kept, packet);
        entries_.push_back(Entry{kept});
    }
    size_ += entries_.back().packet->size + kEntryOverhead;
    condition_.notify_one();
    return true;
}

void PacketQueue::PutFlush() {
    std::lock_guard lock(mutex_);
    entries_.push_back(Entry{});
    condition_.notify_one();
}

PacketQueue::Result PacketQueue::Get(AVPacket* packet, bool block) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (aborted_) {
            return Result::Aborted;
        }
        if (!entries_.empty()) {
            const Entry entry = entries_.front();
            entries_.pop_front();
            if (entry.packet == nullptr) {
                return Result::Flush;
            }
            size_ -= entry.packet->size + kEntryOverhead;
            lib::avcodec.av_packet_move_ref(packet, entry.packet);
            spare_.push_back(entry.packet);
            return Result::Packet;
        }
        if (!block) {
            return Result::Empty;
        }
        condition_.wait(lock);
    }
}

void PacketQueue::Flush() {
    std::lock_guard lock(mutex_);
    for (const Entry& entry : entries_) {
        if (entry.packet != nullptr) {
            Recycle(entry.packet);
        }
    }
    entries_.clear();
    size_ = 0;
}

void PacketQueue::Abort() {
    std::lock_guard lock(mutex_);
    aborted_ = true;
    condition_.notify_all();
}

bool PacketQueue::Aborted() const {
    std::lock_guard lock(mutex_);
    return aborted_;
}

int PacketQueue::Count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(entries_.size());
}

std::int64_t PacketQueue::Size() const {
    std::lock_guard lock(mutex_);
    return size_;
}

}  // namespace quillo::player
