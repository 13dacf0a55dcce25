#pragma once

#include "i18n/translation_platform.h"
#include "support/scoped_env.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace lantorvix::test {

using Bytes = std::vector<unsigned char>;

// Catalogues compiled from tests/i18n/po by msgfmt at build time into "catalogues" beside
// the test executable (found through the executable, so that the Windows build finds them
// under Wine too).
inline std::filesystem::path TestCatalogue(const std::string& name)
{
    const std::string utf8 = i18n::MakeTranslationPlatform()->ExecutablePath();
    const std::filesystem::path exe(std::u8string(utf8.begin(), utf8.end()));
    return exe.parent_path() / "catalogues" / name;
}

inline Bytes ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::filesystem::path& path, const Bytes& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::uint32_t LittleWord(const Bytes& b, std::size_t at)
{
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
}

inline void PutLittleWord(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int k = 0; k < 4; ++k) {
        b[at + static_cast<std::size_t>(k)] = static_cast<unsigned char>(v >> (8 * k));
    }
}

// The big-endian form of a little-endian catalogue: every 32-bit word of the header, the two
// string tables and the hash table swapped; the strings stay as they are.
inline Bytes ToBigEndian(const Bytes& little)
{
    Bytes big = little;
    const auto swap = [&](std::size_t at) {
        std::swap(big[at], big[at + 3]);
        std::swap(big[at + 1], big[at + 2]);
    };
    const std::uint32_t count = LittleWord(little, 8);
    const std::uint32_t originals = LittleWord(little, 12);
    const std::uint32_t translations = LittleWord(little, 16);
    const std::uint32_t hashSize = LittleWord(little, 20);
    const std::uint32_t hashOffset = LittleWord(little, 24);
    for (std::size_t at = 0; at < 28; at += 4) {
        swap(at);
    }
    for (std::size_t i = 0; i < 2 * std::size_t{count}; ++i) {
        swap(originals + 4 * i);
        swap(translations + 4 * i);
    }
    for (std::size_t i = 0; i < hashSize; ++i) {
        swap(hashOffset + 4 * i);
    }
    return big;
}

// A little-endian catalogue of the given entries (sorted by msgid by the caller), for
// contents msgfmt refuses to write (empty or non-UTF-8 translations).
inline Bytes BuildCatalogue(const std::vector<std::pair<std::string, std::string>>& entries)
{
    const auto n = static_cast<std::uint32_t>(entries.size());
    const std::uint32_t originals = 28;
    const std::uint32_t translations = originals + 8 * n;
    std::uint32_t offset = translations + 8 * n;
    Bytes out(offset, 0);
    PutLittleWord(out, 0, 0x950412de);
    PutLittleWord(out, 8, n);
    PutLittleWord(out, 12, originals);
    PutLittleWord(out, 16, translations);
    PutLittleWord(out, 24, offset);
    const auto append = [&](std::uint32_t table, std::size_t i, const std::string& s) {
        PutLittleWord(out, table + 8 * i, static_cast<std::uint32_t>(s.size()));
        PutLittleWord(out, table + 8 * i + 4, static_cast<std::uint32_t>(out.size()));
        out.insert(out.end(), s.begin(), s.end());
        out.push_back(0);
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        append(originals, i, entries[i].first);
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        append(translations, i, entries[i].second);
    }
    return out;
}

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir()
    {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = std::filesystem::temp_directory_path() / ("lantorvix-i18n-" + std::to_string(random()));
            if (std::filesystem::create_directory(path_)) {
                return;
            }
        }
        throw std::runtime_error("no temporary directory");
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // <dir>/locale/<language>/LC_MESSAGES/<domain>.mo
    std::filesystem::path Catalogue(const std::string& language, const std::string& domain) const
    {
        return path_ / "locale" / language / "LC_MESSAGES" / (domain + ".mo");
    }
    // A made-up executable path in this directory; the program's catalogues sit beside it.
    std::string Executable() const { return (path_ / "lantorvix").string(); }

private:
    std::filesystem::path path_;
};

} // namespace lantorvix::test
