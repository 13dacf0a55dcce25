#pragma once

#include <unistd.h>
#include <utility>

namespace lantorvix::posix {

// Owns one file descriptor.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            Reset(std::exchange(other.fd_, -1));
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Reset(int fd = -1)
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

// A non-blocking eventfd used to wake a thread that sleeps in poll.
class WakeFd {
public:
    WakeFd();
    int Get() const { return fd_.Get(); }
    // Makes the descriptor readable; stays so until Drain.
    void Signal() const;
    void Drain() const;

private:
    UniqueFd fd_;
};

} // namespace lantorvix::posix
