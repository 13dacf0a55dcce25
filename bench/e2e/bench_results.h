#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace lantorvix::bench {

// The figures of one benchmark program: printed as they come and written, as one flat JSON
// object, to <LANTORVIX_BENCH_RESULTS>/<name>.json (scripts/bench.sh merges them).
class BenchResults {
public:
    explicit BenchResults(std::string name) : name_(std::move(name)) {}
    ~BenchResults() { Save(); }
    BenchResults(const BenchResults&) = delete;
    BenchResults& operator=(const BenchResults&) = delete;

    void Add(const std::string& key, double value, const char* unit = "")
    {
        values_[key] = value;
        std::printf("%-44s %14.3f %s\n", key.c_str(), value, unit);
        std::fflush(stdout);
    }

    void Save() const
    {
        const char* dir = std::getenv("LANTORVIX_BENCH_RESULTS");
        const std::filesystem::path folder = dir != nullptr ? dir : LANTORVIX_BENCH_RESULTS;
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        std::ofstream out(folder / (name_ + ".json"));
        out << "{";
        const char* sep = "";
        for (const auto& [key, value] : values_) {
            char number[64];
            std::snprintf(number, sizeof number, "%.6g", value);
            out << sep << "\n  \"" << key << "\": " << number;
            sep = ",";
        }
        out << "\n}\n";
    }

private:
    std::string name_;
    std::map<std::string, double> values_;
};

} // namespace lantorvix::bench
