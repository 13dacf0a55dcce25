#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace lantorvix::test {

// A pseudo-terminal pair standing in for a serial device: the test plays the line on the
// master while the code under test opens the slave by its path, like a tty. Closing the
// master simulates unplugging the device.
//
// Thread-safety: one owner; Write and Read may run on a helper thread while the owner waits.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    // The slave's absolute path (e.g. "/dev/pts/7"), a valid port name on Linux.
    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }
    bool MasterOpen() const { return master_ >= 0; }

    // Writes all bytes on the master, waiting while the slave's input is full. Throws
    // std::runtime_error when not everything went out within the bound.
    void Write(std::string_view bytes, std::chrono::milliseconds bound = std::chrono::seconds(20));
    void Write(const void* data, std::size_t size,
               std::chrono::milliseconds bound = std::chrono::seconds(20));
    // Reads what the slave side sent until nothing more came for quiet (or bound passed).
    std::string Read(std::chrono::milliseconds quiet = std::chrono::milliseconds(50),
                     std::chrono::milliseconds bound = std::chrono::seconds(5));

    // Waits until whoever holds the slave has taken everything written so far (the tty's input
    // queue is empty). Opens the slave for the query, which needs root when its holder set
    // TIOCEXCL; false when that fails or the queue did not drain within the bound.
    bool AwaitSlaveDrained(std::chrono::milliseconds bound = std::chrono::seconds(10)) const;

    // Hangs the line up: the slave sees the device go away.
    void CloseMaster();

    // Waits until process `pid` holds the slave open (its fd in /proc) and has set the line
    // to `baud`: a serial port sets its speed after its open emptied the input, so what is
    // written from then on is its first reception. False when not within the bound.
    bool AwaitOpenBy(int pid, unsigned baud = 9600,
                     std::chrono::milliseconds bound = std::chrono::seconds(20)) const;

private:
    int master_ = -1;
    std::string slavePath_;
};

// Another process that holds a device open the way a second program would: exclusively
// (flock) and with TIOCEXCL. Releases it when destroyed.
class DeviceHeldElsewhere {
public:
    explicit DeviceHeldElsewhere(const std::string& path);
    ~DeviceHeldElsewhere();
    DeviceHeldElsewhere(const DeviceHeldElsewhere&) = delete;
    DeviceHeldElsewhere& operator=(const DeviceHeldElsewhere&) = delete;

private:
    void Release();

    int child_ = -1;
    int release_ = -1; // closing it lets the child end
};

// Every byte value, 0x00 and 0xFF included, in each run of 256, in an order that no line
// discipline leaves alone by accident. Header-only so the Windows test programs share it.
inline std::string TestPattern(std::size_t size)
{
    std::string pattern(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        // 167 is odd, so each run of 256 holds every byte value once.
        pattern[i] = static_cast<char>((i * 167 + i / 256) & 0xFF);
    }
    return pattern;
}

} // namespace lantorvix::test
