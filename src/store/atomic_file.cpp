#include "store/atomic_file.h"

#include <fstream>
#include <random>
#include <system_error>

namespace lantorvix::store {

namespace fs = std::filesystem;

std::optional<std::string> ReadWholeFile(const fs::path& path)
{
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string content;
    char buffer[16384];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        content.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return content;
}

namespace {
fs::path TemporaryBeside(const fs::path& target)
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const auto suffix = std::to_string(random() & 0xFFFFFFFFFFull);
    std::string name = ".";
    name.append(target.filename().string()).append(".").append(suffix).append(".tmp");
    return target.parent_path() / name;
}
} // namespace

bool WriteWholeFile(const fs::path& path, std::string_view content)
{
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        target = fs::weakly_canonical(target, ec);
        if (ec) {
            return false;
        }
    }
    if (fs::is_directory(target, ec)) {
        return false;
    }
    const fs::path temporary = TemporaryBeside(target);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            return false;
        }
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.flush();
        out.close();
        if (out.fail()) {
            fs::remove(temporary, ec);
            return false;
        }
    }
    const auto old = fs::status(target, ec);
    if (!ec && fs::exists(old)) {
        fs::permissions(temporary, old.permissions(), fs::perm_options::replace, ec);
    }
    fs::rename(temporary, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    return true;
}

} // namespace lantorvix::store
