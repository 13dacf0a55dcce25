#pragma once

#include <filesystem>
#include <string>

namespace lantorvix::test {

// Whether a process ("self" or a pid) holds a descriptor on the file at path, as /proc shows
// it: how tests and benchmarks see a port opened or let go without asking the program.
inline bool ProcessHoldsOpen(const std::string& process, const std::filesystem::path& path)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + process + "/fd", error)) {
        if (std::filesystem::read_symlink(entry.path(), error) == path) {
            return true;
        }
    }
    return false;
}

inline bool ProcessHoldsOpen(int pid, const std::filesystem::path& path)
{
    return ProcessHoldsOpen(std::to_string(pid), path);
}

} // namespace lantorvix::test
