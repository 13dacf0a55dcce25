#pragma once

#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace lantorvix::test {

// The device number of the character device at path (a pseudo-terminal's), 0 when there is
// none. Taken while the device exists: after a hang-up its node may be gone.
inline dev_t DeviceNumber(const std::filesystem::path& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode) ? st.st_rdev : 0;
}

// Whether a process ("self" or a pid) holds a descriptor on the character device with that
// number: how tests and benchmarks see a port opened or let go without asking the program.
// Each descriptor is stat'ed through /proc/<pid>/fd/N, which reaches the open file itself;
// its link text cannot be trusted (after a hang-up it reads "/dev/pts/N (deleted)").
inline bool ProcessHoldsDevice(const std::string& process, dev_t device)
{
    if (device == 0) {
        return false;
    }
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + process + "/fd", error)) {
        struct stat st {};
        if (::stat(entry.path().c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device) {
            return true;
        }
    }
    return false;
}

inline bool ProcessHoldsDevice(int pid, dev_t device)
{
    return ProcessHoldsDevice(std::to_string(pid), device);
}

// The same for the device at path, which must exist now.
inline bool ProcessHoldsOpen(const std::string& process, const std::filesystem::path& path)
{
    return ProcessHoldsDevice(process, DeviceNumber(path));
}

inline bool ProcessHoldsOpen(int pid, const std::filesystem::path& path)
{
    return ProcessHoldsOpen(std::to_string(pid), path);
}

} // namespace lantorvix::test
