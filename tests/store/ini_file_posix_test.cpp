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
#include <sys/stat.h>
#include <sys/sysmacros.h>
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
bool failNextFileSync = false; // the next fsync of a file (not a folder) fails as a full disk would

extern "C" int __real_fsync(int fd);
extern "C" int __wrap_fsync(int fd)
{
    if (failNextFileSync && !std::filesystem::is_directory("/proc/self/fd/" + std::to_string(fd))) {
        failNextFileSync = false;
        errno = ENOSPC;
        return -1;
    }
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

struct stat StatOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

// 0 when the save failed with the described message, 1 when it succeeded, 2 otherwise.
int SaveFails(const std::string& path)
{
    try {
        IniFile(path).WriteString("A", "k", "2");
        return 1;
    } catch (const Exception& e) {
        return std::string(e.what()) == "Unable to write to " + path ? 0 : 2;
    }
}

// A save by root must not hand the user's file to root; a save by a member of the file's group
// must not hand it to that member; a second name of the file sees the save.
TEST(IniFilePosixTest, SaveKeepsOwnerGroupModeAndHardLinks)
{
    const passwd* nobody = Nobody();
    if (nobody == nullptr) {
        GTEST_SKIP() << "needs root to act as an unprivileged user";
    }
    for (const bool byOwner : {false, true}) {
        test::TempDir dir;
        const std::string path = dir.File("Lantorvix.ini");
        const std::string other = dir.File("linked.ini");
        test::WriteBytes(path, "[A]\nk=1\n");
        ASSERT_EQ(::link(path.c_str(), other.c_str()), 0);
        // Saved by root: the file is nobody's. Saved by nobody: root's, shared with nobody's group.
        const uid_t owner = byOwner ? 0 : nobody->pw_uid;
        ASSERT_EQ(::chown(path.c_str(), owner, nobody->pw_gid), 0);
        ASSERT_EQ(::chmod(path.c_str(), byOwner ? 0664 : 0640), 0);
        ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
        const struct stat before = StatOf(path);
        const int result = byOwner ? AsUser(*nobody, [&] { return SaveFails(path) == 1 ? 0 : 1; })
                                   : (SaveFails(path) == 1 ? 0 : 1);
        EXPECT_EQ(result, 0) << "the save failed";
        const struct stat after = StatOf(path);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(test::ReadBytes(other), "[A]\nk=2\n") << "the other name lost the save";
    }
}

// A link into a folder of dotfiles, its target made by the first save; relative targets too.
TEST(IniFilePosixTest, SymbolicLinkToAMissingFileStaysALink)
{
    test::TempDir dir;
    const std::string path = dir.File("Lantorvix.ini");
    std::filesystem::create_directory(dir.Path() / "dotfiles");
    ASSERT_EQ(::symlink("dotfiles/lantorvix.ini", path.c_str()), 0);
    IniFile(path).WriteString("A", "k", "2");
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(test::ReadBytes(dir.Path() / "dotfiles" / "lantorvix.ini"), "[A]\nk=2\n");
}

// A FIFO, a device node and a link to either: reading gives the defaults at once, a save is
// refused and the node stays what it was. Run in a child with an alarm, so a hang fails.
TEST(IniFilePosixTest, AnythingButARegularFileIsRefusedWithoutBlocking)
{
    test::TempDir dir;
    const std::string fifo = dir.File("fifo");
    const std::string device = dir.File("null");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    const bool haveDevice = ::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    std::vector<std::pair<std::string, mode_t>> nodes = {{fifo, S_IFIFO}};
    if (haveDevice) {
        nodes.emplace_back(device, S_IFCHR);
    }
    for (const auto& [node, kind] : std::vector(nodes)) {
        const std::string link = node + ".ini";
        ASSERT_EQ(::symlink(node.c_str(), link.c_str()), 0);
        nodes.emplace_back(link, kind);
    }
    for (const auto& [node, kind] : nodes) {
        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            ::alarm(10);
            if (IniFile(node).ReadString("A", "k", "def") != "def") {
                _exit(3);
            }
            _exit(SaveFails(node));
        }
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status)) << node << ": hung (or crashed)";
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0)
            << node << ": 1 saved, 2 wrong message, 3 read something";
        struct stat st {};
        ASSERT_EQ(::stat(node.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & S_IFMT, kind) << node << " was replaced";
    }
}

// A file that exists but cannot be read is not saved over with what little was understood.
TEST(IniFilePosixTest, FileThatCannotBeReadIsNotSavedOver)
{
    const passwd* nobody = Nobody();
    if (nobody == nullptr) {
        GTEST_SKIP() << "needs root to act as an unprivileged user";
    }
    test::TempDir dir;
    const std::string path = dir.File("Lantorvix.ini");
    const std::string before = "[A]\nk=1\n[B]\nkeep=this\n";
    test::WriteBytes(path, before);
    ASSERT_EQ(::chown(dir.Path().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(::chown(path.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0200), 0);
    EXPECT_EQ(AsUser(*nobody, [&] { return SaveFails(path); }), 0) << "1: saved, 2: wrong message";
    EXPECT_EQ(test::ReadBytes(path), before);
}

// The in-place save (a folder that takes no new file) that fails half way, at a full disk or a
// failed sync, leaves the old bytes and says so.
TEST(IniFilePosixTest, FailedInPlaceSaveLeavesTheOldBytes)
{
    const passwd* nobody = Nobody();
    if (nobody == nullptr) {
        GTEST_SKIP() << "needs root to act as an unprivileged user";
    }
    for (const bool sizeLimit : {true, false}) {
        test::TempDir dir;
        const std::string path = dir.File("Lantorvix.ini");
        const std::string before = "[PORT]\nPortNum=3\nBaudRate=9600\nParity=0\nStopBits=0\n";
        test::WriteBytes(path, before);
        ASSERT_EQ(::chown(path.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
        const int result = AsUser(*nobody, [&] {
            std::signal(SIGXFSZ, SIG_IGN);
            if (sizeLimit) {
                rlimit limit{64, 64};
                setrlimit(RLIMIT_FSIZE, &limit);
            } else {
                failNextFileSync = true;
            }
            try {
                IniFile(path).WriteString("PORT", "Big", std::string(sizeLimit ? 4096 : 8, 'x'));
                return 1;
            } catch (const Exception&) {
                return 0;
            }
        });
        EXPECT_EQ(result, 0) << (sizeLimit ? "size limit" : "failed sync") << ": reported as saved";
        EXPECT_EQ(test::ReadBytes(path), before) << (sizeLimit ? "size limit" : "failed sync");
    }
}

} // namespace
} // namespace lantorvix
