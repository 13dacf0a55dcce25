// Reading and writing a large settings file (label bench; prints the times, never fails on them).
#include "store/ini_file.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

namespace {

// Wall time, and the processor time in brackets (on a busy machine the wall time is mostly
// waiting for a processor).
std::string Milliseconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    work();
    const double cpu = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    char text[64];
    std::snprintf(text, sizeof text, "%.1f ms (cpu %.1f ms)", wall, cpu);
    return text;
}

} // namespace

int main()
{
    namespace fs = std::filesystem;
    std::random_device random;
    const fs::path dir = fs::temp_directory_path() / ("lantorvix-ini-bench-" + std::to_string(random()));
    fs::create_directories(dir);
    const std::string path = (dir / "Lantorvix.ini").string();
    // One section of about 1 MB: many keys, the one looked up and the one changed at its end.
    std::string text = "[PORT]\nPortNum=3\n[BIG]\n";
    for (int i = 0; text.size() < (1u << 20); ++i) {
        text += "Key" + std::to_string(i) + "=value of key number " + std::to_string(i) + "\n";
    }
    text += "Last=1\n";
    std::ofstream(path, std::ios::binary) << text;
    lantorvix::IniFile ini(path);
    std::string value;
    const std::string read = Milliseconds([&] { value = ini.ReadString("BIG", "Last", ""); });
    const std::string keys = Milliseconds([&] { (void)ini.ReadSection("BIG"); });
    const std::string write = Milliseconds([&] { ini.WriteString("BIG", "Last", "2"); });
    std::printf("settings file %zu bytes: read a value %s, list the section's keys %s, write a value %s%s\n",
                text.size(), read.c_str(), keys.c_str(), write.c_str(),
                value == "1" ? "" : " (read back wrong)");
    const bool written = ini.ReadString("BIG", "Last", "") == "2"; // before the file goes
    std::error_code ec;
    fs::remove_all(dir, ec);
    return value == "1" && written ? 0 : 1;
}
