#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace lantorvix::posix {

// The driver's receive queue: a ring of bytes with a capacity. Not thread-safe.
class ByteQueue {
public:
    explicit ByteQueue(std::size_t capacity = 4096) : ring_(capacity) {}

    std::size_t Size() const { return size_; }
    std::size_t Capacity() const { return ring_.size(); }
    std::size_t Room() const { return ring_.size() - size_; }

    // Changes the capacity, keeping the queued bytes (never below their number).
    void SetCapacity(std::size_t capacity)
    {
        std::vector<std::uint8_t> next(std::max({capacity, size_, std::size_t{1}}));
        Peek(next.data(), size_);
        ring_.swap(next);
        head_ = 0;
    }

    // Appends up to Room() bytes; returns how many were taken.
    std::size_t Push(const std::uint8_t* data, std::size_t count)
    {
        count = std::min(count, Room());
        std::size_t tail = (head_ + size_) % ring_.size();
        std::size_t done = 0;
        while (done < count) {
            const std::size_t chunk = std::min(count - done, ring_.size() - tail);
            std::memcpy(ring_.data() + tail, data + done, chunk);
            done += chunk;
            tail = (tail + chunk) % ring_.size();
        }
        size_ += count;
        return count;
    }

    // Removes up to count bytes into out; returns how many.
    std::size_t Pop(std::uint8_t* out, std::size_t count)
    {
        count = Peek(out, count);
        head_ = (head_ + count) % ring_.size();
        size_ -= count;
        return count;
    }

    void Clear()
    {
        head_ = 0;
        size_ = 0;
    }

private:
    std::size_t Peek(std::uint8_t* out, std::size_t count) const
    {
        count = std::min(count, size_);
        std::size_t at = head_;
        std::size_t done = 0;
        while (done < count) {
            const std::size_t chunk = std::min(count - done, ring_.size() - at);
            std::memcpy(out + done, ring_.data() + at, chunk);
            done += chunk;
            at = (at + chunk) % ring_.size();
        }
        return count;
    }

    std::vector<std::uint8_t> ring_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

} // namespace lantorvix::posix
