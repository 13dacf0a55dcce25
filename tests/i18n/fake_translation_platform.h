#pragma once

#include "i18n/translation_platform.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace lantorvix::test {

// Files held in memory, with scriptable failures, and a scripted environment and locale.
class FakeTranslationPlatform : public i18n::TranslationPlatform {
public:
    std::map<std::string, std::string> environment;
    std::optional<std::string> userLocale;
    std::optional<std::uint32_t> threadLocale;

    void AddFile(const std::string& path, std::vector<unsigned char> bytes)
    {
        std::lock_guard lock(mutex_);
        files_[path] = std::move(bytes);
    }
    // The next `times` maps of `path` fail at `stage`.
    void FailMap(const std::string& path, i18n::MapFileError::Stage stage, int times = 1)
    {
        std::lock_guard lock(mutex_);
        failures_[path] = {stage, times};
    }
    int ExistsCalls() const { return existsCalls_; }
    int MapCalls() const { return mapCalls_; }
    int LiveMappings() const { return liveMappings_; }

    std::string ExecutablePath() override { return "/opt/lantorvix/lantorvix"; }
    std::optional<std::string> Environment(std::string_view name) override
    {
        const auto it = environment.find(std::string(name));
        return it == environment.end() ? std::nullopt : std::optional<std::string>(it->second);
    }
    std::optional<std::string> UserLocale() override { return userLocale; }
    std::optional<std::uint32_t> ThreadLocale() override { return threadLocale; }

    bool FileExists(const std::string& path) override
    {
        ++existsCalls_;
        std::lock_guard lock(mutex_);
        return files_.count(path) != 0;
    }

    std::unique_ptr<i18n::MappedFile> MapFile(const std::string& path) override
    {
        ++mapCalls_;
        std::lock_guard lock(mutex_);
        if (auto it = failures_.find(path); it != failures_.end() && it->second.times > 0) {
            --it->second.times;
            throw i18n::MapFileError(it->second.stage, "Access denied");
        }
        const auto it = files_.find(path);
        if (it == files_.end()) {
            throw i18n::MapFileError(i18n::MapFileError::Stage::open, "No such file");
        }
        return std::make_unique<Mapping>(it->second, liveMappings_);
    }

private:
    struct Mapping : i18n::MappedFile {
        Mapping(std::vector<unsigned char> bytes, std::atomic<int>& live)
            : bytes_(std::move(bytes)), live_(live)
        {
            ++live_;
        }
        ~Mapping() override { --live_; }
        std::span<const unsigned char> Bytes() const override { return bytes_; }
        std::vector<unsigned char> bytes_;
        std::atomic<int>& live_;
    };
    struct Failure {
        i18n::MapFileError::Stage stage;
        int times;
    };

    std::mutex mutex_;
    std::map<std::string, std::vector<unsigned char>> files_;
    std::map<std::string, Failure> failures_;
    std::atomic<int> existsCalls_{0};
    std::atomic<int> mapCalls_{0};
    std::atomic<int> liveMappings_{0};
};

} // namespace lantorvix::test
