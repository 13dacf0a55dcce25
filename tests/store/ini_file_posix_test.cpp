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

// Runs check in a child process, as user unless that is nullptr; its exit code, 98 when the
// child did not exit.
int InChild(const passwd* user, const std::function<int()>& check)
{
    const pid_t child = fork();
    if (child == 0) {
        if (user != nullptr &&
            (::setgroups(0, nullptr) != 0 || ::setgid(user->pw_gid) != 0 || ::setuid(user->pw_uid) != 0)) {
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

// 0 when the save was refused with the user's message, 1 when it was made, 2 otherwise.
int Save(const std::string& path, const std::string& portNum)
{
    try {
        IniFile(path).WriteString("PORT", "PortNum", portNum);
        return 1;
    } catch (const Exception& e) {
        return std::string(e.what()) == "Unable to write to " + path ? 0 : 2;
    }
}

std::size_t Entries(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

struct stat StatOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

enum class Fault { none, sizeLimit, failedSync };

struct FailedSave {
    const char* name;
    bool asNobody;    // the file is nobody's and nobody saves; else this process saves
    bool usersFolder; // the folder is nobody's too (a save could replace the file); else root's 0755
    mode_t fileMode;
    Fault fault;
};

class FailedSaveTest : public testing::TestWithParam<FailedSave> {};

// A save that cannot be made whole (a read-only or unreadable file of the user, a write cut
// short by the file-size limit or a failed sync, replacing the file or in place) is refused
// with the message and leaves the old bytes and no temporary file.
TEST_P(FailedSaveTest, LeavesTheOldBytesAndSaysSo)
{
    const FailedSave& c = GetParam();
    const passwd* nobody = Nobody();
    if (c.asNobody && nobody == nullptr) {
        GTEST_SKIP() << "needs root to act as an unprivileged user";
    }
    test::TempDir dir;
    const std::string path = dir.File("Lantorvix.ini");
    const std::string before = "[PORT]\nPortNum=3\nBaudRate=9600\nParity=0\nStopBits=0\n";
    test::WriteBytes(path, before);
    if (c.asNobody) {
        ASSERT_EQ(::chown(path.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        ASSERT_EQ(::chmod(path.c_str(), c.fileMode), 0);
        ASSERT_EQ(c.usersFolder ? ::chown(dir.Path().c_str(), nobody->pw_uid, nobody->pw_gid)
                                : ::chmod(dir.Path().c_str(), 0755),
                  0);
    }
    const int result = InChild(c.asNobody ? nobody : nullptr, [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        if (c.fault == Fault::sizeLimit) {
            rlimit limit{64, 64};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        failNextFileSync = c.fault == Fault::failedSync;
        return Save(path, c.fault == Fault::sizeLimit ? std::string(4096, 'x') : "4");
    });
    EXPECT_EQ(result, 0) << "1: saved, 2: wrong message";
    EXPECT_EQ(test::ReadBytes(path), before);
    EXPECT_EQ(Entries(dir.Path()), 1u) << "a temporary file was left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedSaveTest,
    testing::Values(FailedSave{"ReadOnlyFile", true, true, 0444, Fault::none},
                    FailedSave{"UnreadableFile", true, true, 0200, Fault::none},
                    FailedSave{"SizeLimitReplacing", false, true, 0644, Fault::sizeLimit},
                    FailedSave{"SizeLimitInPlace", true, false, 0644, Fault::sizeLimit},
                    FailedSave{"FailedSyncInPlace", true, false, 0644, Fault::failedSync}),
    [](const auto& p) { return std::string(p.param.name); });

struct KeptSave {
    const char* name;
    bool byNobody;      // else root saves
    bool ownerIsNobody; // else root owns the file, shared with nobody's group
    mode_t fileMode;
    mode_t folderMode; // 0755: the folder takes no new file from nobody, the save goes in place
};

class KeptSaveTest : public testing::TestWithParam<KeptSave> {};

// A save by root must not hand the user's file to root, nor one by a member of the file's
// group hand it to that member; a second name of the file sees the save.
TEST_P(KeptSaveTest, KeepsOwnerGroupModeAndHardLinks)
{
    const KeptSave& c = GetParam();
    const passwd* nobody = Nobody();
    if (nobody == nullptr) {
        GTEST_SKIP() << "needs root to act as an unprivileged user";
    }
    test::TempDir dir;
    const std::string path = dir.File("Lantorvix.ini");
    const std::string other = dir.File("linked.ini");
    test::WriteBytes(path, "[PORT]\nPortNum=3\n");
    ASSERT_EQ(::link(path.c_str(), other.c_str()), 0);
    ASSERT_EQ(::chown(path.c_str(), c.ownerIsNobody ? nobody->pw_uid : 0, nobody->pw_gid), 0);
    ASSERT_EQ(::chmod(path.c_str(), c.fileMode), 0);
    ASSERT_EQ(::chmod(dir.Path().c_str(), c.folderMode), 0);
    const struct stat before = StatOf(path);
    EXPECT_EQ(InChild(c.byNobody ? nobody : nullptr, [&] { return Save(path, "4") == 1 ? 0 : 1; }), 0)
        << "the save failed";
    const struct stat after = StatOf(path);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(test::ReadBytes(path), "[PORT]\nPortNum=4\n");
    EXPECT_EQ(test::ReadBytes(other), "[PORT]\nPortNum=4\n") << "the other name lost the save";
}

INSTANTIATE_TEST_SUITE_P(Cases, KeptSaveTest,
                         testing::Values(KeptSave{"ByRootKeepsTheUsersFile", false, true, 0640, 0777},
                                         KeptSave{"ByAGroupMemberKeepsRootsFile", true, false, 0664, 0777},
                                         KeptSave{"InPlaceInAFolderThatTakesNoNewFile", true, true, 0644,
                                                  0755}),
                         [](const auto& p) { return std::string(p.param.name); });

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
    std::vector<std::pair<std::string, mode_t>> nodes = {{fifo, S_IFIFO}};
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        nodes.emplace_back(device, S_IFCHR);
    }
    for (const auto& [node, kind] : std::vector(nodes)) {
        ASSERT_EQ(::symlink(node.c_str(), (node + ".ini").c_str()), 0);
        nodes.emplace_back(node + ".ini", kind);
    }
    for (const auto& [node, kind] : nodes) {
        const int result = InChild(nullptr, [&] {
            ::alarm(10);
            return IniFile(node).ReadString("A", "k", "def") != "def" ? 3 : Save(node, "2");
        });
        EXPECT_EQ(result, 0) << node << ": 1 saved, 2 wrong message, 3 read something, 98 hung or crashed";
        struct stat st {};
        ASSERT_EQ(::stat(node.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & S_IFMT, kind) << node << " was replaced";
    }
}

} // namespace
} // namespace lantorvix
