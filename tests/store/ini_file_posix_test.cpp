// What only a POSIX process can provoke or see: a write that the file-size limit cuts short,
// permissions as an unprivileged user (root ignores them), and the order in which the data
// and the folder reach the disk.
#include "store/ini_file.h"

#include "base/exception.h"
#include "store/temp_dir.h"
#include "support/file_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <mutex>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// Every fsync of the code under test: what the synced descriptor holds and what the watched
// file holds at that moment.
struct SyncRecord {
    std::string path;
    bool folder = false;
    std::string content;
    std::string watchedContent;
};
std::mutex syncMutex;
std::string watchedFile; // empty: not recording
std::vector<SyncRecord> syncRecords;

extern "C" int __real_fsync(int fd);
extern "C" int __wrap_fsync(int fd)
{
    {
        std::lock_guard lock(syncMutex);
        if (!watchedFile.empty()) {
            const std::string link = "/proc/self/fd/" + std::to_string(fd);
            SyncRecord record;
            record.path = std::filesystem::read_symlink(link).string();
            record.folder = std::filesystem::is_directory(link);
            record.content = record.folder ? "" : lantorvix::test::ReadBytes(link);
            record.watchedContent = lantorvix::test::ReadBytes(watchedFile);
            syncRecords.push_back(record);
        }
    }
    return __real_fsync(fd);
}

namespace lantorvix {
namespace {

// The user "nobody" when this process may act as it (root), else nullptr.
const passwd* Nobody()
{
    return ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
}

// Runs check as that user in a child process and returns its result.
int AsUser(const passwd& user, const std::function<int()>& check)
{
    const pid_t child = fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(user.pw_gid) != 0 || ::setuid(user.pw_uid) != 0) {
            _exit(99);
        }
        _exit(check());
    }
    int status = -1;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return 98;
    }
    return WEXITSTATUS(status);
}

// The user's own file, made read-only, in a folder the user may write: the rename that a
// save uses would replace it, so the save must not get that far.
TEST(IniFilePosixTest, ReadOnlyFileOfAnUnprivilegedUserIsNotReplaced)
{
    test::TempDir dir;
    const std::string path = dir.File("Lantorvix.ini");
    test::WriteBytes(path, "[PORT]\nPortNum=3\n");
    const passwd* nobody = Nobody();
    if (nobody == nullptr) {
        GTEST_SKIP() << "needs root to act as an unprivileged user";
    }
    ASSERT_EQ(::chown(dir.Path().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(::chown(path.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    const int result = AsUser(*nobody, [&] {
        try {
            IniFile(path).WriteString("PORT", "PortNum", "4");
            return 1;
        } catch (const Exception& e) {
            return std::string(e.what()) == "Unable to write to " + path ? 0 : 2;
        }
    });
    EXPECT_EQ(result, 0) << "1: the file was written, 2: wrong message";
    EXPECT_EQ(test::ReadBytes(path), "[PORT]\nPortNum=3\n");
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
}

// A file the user may write in a folder that takes no new file: written in place.
TEST(IniFilePosixTest, WritableFileInAFolderThatTakesNoNewFileIsWrittenInPlace)
{
    test::TempDir dir;
    const std::string path = dir.File("Lantorvix.ini");
    test::WriteBytes(path, "[PORT]\nPortNum=3\n");
    const passwd* nobody = Nobody();
    if (nobody == nullptr) {
        GTEST_SKIP() << "needs root to act as an unprivileged user";
    }
    ASSERT_EQ(::chown(path.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    const int result = AsUser(*nobody, [&] {
        try {
            IniFile(path).WriteString("PORT", "PortNum", "4");
            return 0;
        } catch (const Exception&) {
            return 1;
        }
    });
    EXPECT_EQ(result, 0) << "the save failed";
    EXPECT_EQ(test::ReadBytes(path), "[PORT]\nPortNum=4\n");
}

// A power cut must find the old file or the new one whole: the new data is on the disk
// before it replaces the file, and the folder after the replacement.
TEST(IniFilePosixTest, NewContentReachesTheDiskBeforeItReplacesTheFile)
{
    test::TempDir dir;
    const std::string path = dir.File("Lantorvix.ini");
    test::WriteBytes(path, "[PORT]\nPortNum=3\n");
    {
        std::lock_guard lock(syncMutex);
        watchedFile = path;
        syncRecords.clear();
    }
    IniFile(path).WriteString("PORT", "PortNum", "4");
    std::vector<SyncRecord> records;
    {
        std::lock_guard lock(syncMutex);
        watchedFile.clear();
        records = syncRecords;
    }
    const std::string before = "[PORT]\nPortNum=3\n";
    const std::string after = "[PORT]\nPortNum=4\n";
    const auto found = [&](const std::function<bool(const SyncRecord&)>& match) {
        return std::any_of(records.begin(), records.end(), match);
    };
    EXPECT_TRUE(found([&](const SyncRecord& r) {
        return !r.folder && r.content == after && r.watchedContent == before;
    })) << "the new data was not synced before the file was replaced";
    const std::string folder = std::filesystem::canonical(dir.Path()).string();
    EXPECT_TRUE(found([&](const SyncRecord& r) {
        return r.folder && r.path == folder && r.watchedContent == after;
    })) << "the folder was not synced after the replacement";
}

TEST(IniFilePosixTest, FailedWriteLeavesThePreviousFileIntact)
{
    test::TempDir dir;
    const std::string path = dir.File("Lantorvix.ini");
    const std::string before = "[PORT]\nPortNum=3\n";
    test::WriteBytes(path, before);

    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        // The new content is larger than the limit, so writing the temporary file fails.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64, 64};
        setrlimit(RLIMIT_FSIZE, &limit);
        int status = 1;
        try {
            IniFile(path).WriteString("PORT", "Big", std::string(4096, 'x'));
        } catch (const Exception& e) {
            status = std::string(e.what()) == "Unable to write to " + path ? 0 : 2;
        }
        _exit(status);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the write did not fail, 2: wrong message";
    EXPECT_EQ(test::ReadBytes(path), before);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u) << "no temporary file is left behind";
}

} // namespace
} // namespace lantorvix
