#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lantorvix {

// A virtual keyboard made through uinput, or a plain stream that receives the same input
// events (a pipe in tests, to see what the kernel would be given). Owns its descriptor.
// Thread safety: one thread at a time.
class UinputDevice {
public:
    // Opens the uinput node and creates the keyboard device. Throws Exception saying which
    // group or udev rule gives access when the node cannot be opened.
    static UinputDevice Create(const std::string& path);
    // Writes the events to an already open descriptor (taken over) without creating a device.
    static UinputDevice FromStream(int fd);

    UinputDevice(UinputDevice&& other) noexcept;
    UinputDevice& operator=(UinputDevice&& other) noexcept;
    UinputDevice(const UinputDevice&) = delete;
    UinputDevice& operator=(const UinputDevice&) = delete;
    ~UinputDevice();

    // Queues one key press or release followed by a report boundary (EV_SYN/SYN_REPORT).
    void Key(std::uint16_t code, bool press);
    // Hands the queued events to the kernel in writes of at most kMaxEventsPerWrite events,
    // whole frames each: a compositor's evdev reader holds only a few dozen events before it
    // drops a burst. A write the kernel refuses is dropped, as an undeliverable key event is.
    void Send();

    static constexpr std::size_t kMaxEventsPerWrite = 16;

private:
    UinputDevice(int fd, bool created) : fd_(fd), created_(created) {}
    void Close();
    void Queue(std::uint16_t type, std::uint16_t code, std::int32_t value);

    int fd_ = -1;
    bool created_ = false;
    std::vector<char> queued_;
};

} // namespace lantorvix
