#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

// The threads of this process as the kernel sees them, for checks that must count one
// thread's CPU alone (a sanitizer's own threads stay out of it). Linux only.
namespace lantorvix::test {

inline std::set<pid_t> ThreadIds()
{
    std::set<pid_t> ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        ids.insert(static_cast<pid_t>(std::stol(entry.path().filename().string())));
    }
    return ids;
}

// The time the thread has run so far; zero once it is gone.
inline std::chrono::nanoseconds ThreadCpu(pid_t tid)
{
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/schedstat");
    long long ns = 0;
    in >> ns;
    return std::chrono::nanoseconds(ns);
}

// The thread's scheduler state: 'R' running, 'S' asleep in the kernel, ...; 0 once it is gone.
inline char ThreadState(pid_t tid)
{
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    const auto close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() ? '\0' : stat[close + 2];
}

// Ended: gone from /proc, or dead and not yet released.
inline bool ThreadEnded(pid_t tid)
{
    const char state = ThreadState(tid);
    return state == '\0' || state == 'Z' || state == 'X';
}

// The threads that are here now and were not in `before`.
inline std::set<pid_t> ThreadsSince(const std::set<pid_t>& before)
{
    std::set<pid_t> started;
    for (const pid_t tid : ThreadIds()) {
        if (before.count(tid) == 0) {
            started.insert(tid);
        }
    }
    return started;
}

inline pid_t CurrentThreadId()
{
    return ::gettid();
}

} // namespace lantorvix::test
