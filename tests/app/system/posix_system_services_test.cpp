#include "app/system/posix/posix_system_services.h"

#include "base/exception.h"
#include "store/temp_dir.h"
#include "support/file_bytes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lantorvix {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMutex = "QV_LantorvixMutex";

class PosixServicesTest : public testing::Test {
protected:
    PosixServicesTest()
    {
        paths = PosixSystemPaths::FromEnvironment();
        paths.runtimeDir = dir.Path() / "run";
        paths.autostartDir = dir.Path() / "xdg" / "autostart";
        paths.workingDir = dir.Path() / "cwd";
        paths.configHome = dir.Path() / "config";
        fs::create_directories(paths.runtimeDir);
        fs::permissions(paths.runtimeDir, fs::perms::owner_all,
                        fs::perm_options::replace); // as $XDG_RUNTIME_DIR
        fs::create_directories(paths.workingDir);
    }

    test::TempDir dir;
    PosixSystemPaths paths;
};

// A child process that takes the lock, reports through a pipe, and then waits to be killed.
pid_t StartLockHolder(const PosixSystemPaths& paths, int& reportFd)
{
    int fds[2];
    if (pipe(fds) != 0) {
        return -1;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        PosixSystemServices services(paths);
        auto guard = services.LockSingleInstance(kMutex);
        const char result = guard ? 'Y' : 'N';
        (void)!write(fds[1], &result, 1);
        for (;;) {
            pause();
        }
    }
    close(fds[1]);
    reportFd = fds[0];
    return child;
}

char ReadReport(int fd)
{
    pollfd p{fd, POLLIN, 0};
    char c = '?';
    if (poll(&p, 1, 10000) == 1 && read(fd, &c, 1) == 1) {
        return c;
    }
    return '?';
}

TEST_F(PosixServicesTest, SecondProcessIsRefusedUntilTheFirstDies)
{
    int report = -1;
    const pid_t holder = StartLockHolder(paths, report);
    ASSERT_GT(holder, 0);
    ASSERT_EQ(ReadReport(report), 'Y');
    close(report);

    PosixSystemServices services(paths);
    EXPECT_EQ(services.LockSingleInstance(kMutex), nullptr);
    EXPECT_TRUE(fs::exists(paths.runtimeDir / kMutex));

    kill(holder, SIGKILL); // no chance to clean up: the abandoned-mutex case
    int status = 0;
    ASSERT_EQ(waitpid(holder, &status, 0), holder);
    auto guard = services.LockSingleInstance(kMutex);
    ASSERT_NE(guard, nullptr);

    // While this process holds it, another process is refused; after release it is free.
    const pid_t second = StartLockHolder(paths, report);
    ASSERT_GT(second, 0);
    EXPECT_EQ(ReadReport(report), 'N');
    close(report);
    kill(second, SIGKILL);
    waitpid(second, &status, 0);
    guard.reset();
    EXPECT_NE(services.LockSingleInstance(kMutex), nullptr);
}

// In a folder all users share (the temp folder, without $XDG_RUNTIME_DIR), a file of the lock's
// name that someone else holds neither refuses our start nor lets a second copy of ours run.
TEST_F(PosixServicesTest, ALockInASharedFolderIsOutOfOtherUsersReach)
{
    fs::permissions(paths.runtimeDir, fs::perms::all | fs::perms::sticky_bit, fs::perm_options::replace);
    const int foreign = ::open((paths.runtimeDir / kMutex).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(foreign, 0);
    ASSERT_EQ(::flock(foreign, LOCK_EX | LOCK_NB), 0);
    PosixSystemServices services(paths);
    const auto guard = services.LockSingleInstance(kMutex);
    EXPECT_NE(guard, nullptr) << "refused by another user's file";
    int report = -1;
    const pid_t second = StartLockHolder(paths, report);
    ASSERT_GT(second, 0);
    EXPECT_EQ(ReadReport(report), 'N') << "a second copy ran";
    close(report);
    kill(second, SIGKILL);
    waitpid(second, nullptr, 0);
    ::close(foreign);
}

TEST_F(PosixServicesTest, ALockThatCannotBeMadeDoesNotRefuseStartUp)
{
    paths.runtimeDir = dir.Path() / "absent";
    PosixSystemServices services(paths);
    auto first = services.LockSingleInstance(kMutex);
    EXPECT_NE(first, nullptr);
}

TEST_F(PosixServicesTest, AutostartEntryIsWrittenReadAndRemoved)
{
    PosixSystemServices services(paths);
    auto reader = services.OpenAutostart(AutostartAccess::ReadOnly);
    ASSERT_NE(reader, nullptr) << "a folder that does not exist yet reads as empty";
    EXPECT_EQ(reader->Read("Lantorvix"), "");

    auto writer = services.OpenAutostart(AutostartAccess::ReadWrite);
    ASSERT_NE(writer, nullptr);
    writer->Write("Lantorvix", "/opt/Lantorvix App/lantorvix");
    const fs::path file = paths.autostartDir / "Lantorvix.desktop";
    const std::string text = test::ReadBytes(file.string());
    EXPECT_NE(text.find("Exec=\"/opt/Lantorvix App/lantorvix\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Type=Application\n"), std::string::npos) << text;
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    EXPECT_EQ(services.OpenAutostart(AutostartAccess::ReadOnly)->Read("Lantorvix"),
              "/opt/Lantorvix App/lantorvix");

    writer->Remove("Lantorvix");
    EXPECT_FALSE(fs::exists(file));
    EXPECT_NO_THROW(writer->Remove("Lantorvix"));
    EXPECT_EQ(reader->Read("Lantorvix"), "");
}

TEST_F(PosixServicesTest, AutostartFailures)
{
    PosixSystemServices services(paths);
    // A read-only store refuses changes with the registry's message.
    try {
        services.OpenAutostart(AutostartAccess::ReadOnly)->Write("Lantorvix", "/x");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to set data for 'Lantorvix'");
    }
    // A command that would break the entry's lines is refused, nothing written.
    auto writer = services.OpenAutostart(AutostartAccess::ReadWrite);
    ASSERT_NE(writer, nullptr);
    EXPECT_THROW(writer->Write("Lantorvix", "/x\nExec=/bin/sh"), Exception);
    EXPECT_FALSE(fs::exists(paths.autostartDir / "Lantorvix.desktop"));
    // Neither folder can be made: the store cannot be opened for writing (nor read).
    paths.autostartDir = dir.Path() / "file-not-folder";
    paths.configHome = dir.Path() / "file-not-folder";
    test::WriteBytes(paths.autostartDir.string(), "x");
    PosixSystemServices blocked(paths);
    EXPECT_EQ(blocked.OpenAutostart(AutostartAccess::ReadWrite), nullptr);
    EXPECT_EQ(blocked.OpenAutostart(AutostartAccess::ReadOnly), nullptr);
}

// Where checking the box writes, what the box then reads, and that unchecking leaves no
// entry that would still start the program. A machine-wide folder that cannot be written is
// a file in its place here (root writes anywhere); the program test covers a real user.
struct AutostartPlace {
    const char* name;
    bool machineWideWritable;
    const char* userBefore; // the user's entry before checking, or empty
    const char* machineBefore;
    bool writtenMachineWide;
};

class AutostartPlaceTest : public PosixServicesTest, public testing::WithParamInterface<AutostartPlace> {};

TEST_P(AutostartPlaceTest, CheckWritesOneEntryThatReadsBackAndUncheckRemovesIt)
{
    const auto& p = GetParam();
    const fs::path user = paths.configHome / "autostart" / "Lantorvix.desktop";
    const fs::path machine = paths.autostartDir / "Lantorvix.desktop";
    const auto entry = [](const char* exec) {
        return "[Desktop Entry]\nType=Application\nExec=" + std::string(exec) + "\n";
    };
    if (!p.machineWideWritable) {
        fs::create_directories(paths.autostartDir.parent_path());
        test::WriteBytes(paths.autostartDir.string(), "x");
    }
    if (*p.userBefore != '\0') {
        fs::create_directories(user.parent_path());
        test::WriteBytes(user.string(), entry(p.userBefore));
    }
    if (*p.machineBefore != '\0') {
        fs::create_directories(machine.parent_path());
        test::WriteBytes(machine.string(), entry(p.machineBefore));
    }
    PosixSystemServices services(paths);
    const auto read = [&] {
        const auto reader = services.OpenAutostart(AutostartAccess::ReadOnly);
        return reader ? reader->Read("Lantorvix") : "(no store)";
    };
    EXPECT_EQ(read(), *p.userBefore != '\0' ? p.userBefore : p.machineBefore) << "the user's entry decides";

    auto writer = services.OpenAutostart(AutostartAccess::ReadWrite);
    ASSERT_NE(writer, nullptr) << "the user's folder is always there to write";
    writer->Write("Lantorvix", "/usr/lib/lantorvix/lantorvix");
    EXPECT_EQ(fs::exists(user), !p.writtenMachineWide);
    EXPECT_EQ(fs::is_regular_file(machine), p.writtenMachineWide);
    EXPECT_EQ(services.OpenAutostart(AutostartAccess::ReadOnly)->Read("Lantorvix"),
              "/usr/lib/lantorvix/lantorvix");

    writer->Remove("Lantorvix");
    EXPECT_FALSE(fs::exists(user));
    EXPECT_FALSE(fs::is_regular_file(machine));
    EXPECT_EQ(read(), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, AutostartPlaceTest,
                         testing::Values(AutostartPlace{"MachineWideWhenWritable", true, "", "", true},
                                         AutostartPlace{"UsersOwnWhenNot", false, "", "", false},
                                         AutostartPlace{"UsersOldEntryGivesWayToTheMachineWideOne", true,
                                                        "/old/lantorvix", "", true},
                                         AutostartPlace{"UsersEntryHidesTheMachineWideOne", true, "/mine",
                                                        "/theirs", true},
                                         AutostartPlace{"UsersEntryReplacedWhenMachineWideIsReadOnly", false,
                                                        "/old/lantorvix", "", false}),
                         [](const auto& param) { return std::string(param.param.name); });

// A user who may not write the machine-wide folder unchecks an entry found there: the
// failure is reported, never taken for done (the program would still start at log-on).
TEST_F(PosixServicesTest, AMachineWideEntryAUserCannotRemoveIsAFailure)
{
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || nobody == nullptr) {
        GTEST_SKIP() << "needs root to act as another user";
    }
    const fs::path machine = paths.autostartDir / "lantorvix.desktop";
    fs::create_directories(paths.autostartDir);
    test::WriteBytes(machine.string(), "[Desktop Entry]\nExec=/usr/lib/lantorvix/lantorvix\n");
    fs::create_directories(paths.configHome);
    ASSERT_EQ(::chown(paths.configHome.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) {
            _exit(10);
        }
        PosixSystemServices services(paths);
        const auto reader = services.OpenAutostart(AutostartAccess::ReadOnly);
        if (!reader || reader->Read("lantorvix") != "/usr/lib/lantorvix/lantorvix") {
            _exit(11);
        }
        const auto writer = services.OpenAutostart(AutostartAccess::ReadWrite);
        if (!writer) {
            _exit(12);
        }
        try {
            writer->Remove("lantorvix");
        } catch (const Exception&) {
            _exit(0);
        }
        _exit(13);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "10: no user switch, 11: not read, 12: no store, 13: reported as done";
    EXPECT_TRUE(fs::exists(machine));
}

TEST_F(PosixServicesTest, SettingsFileInTheWorkingDirectoryElseInTheConfigFolder)
{
    PosixSystemServices services(paths);
    const fs::path fallback = paths.configHome / "Lantorvix" / "Lantorvix.ini";
    EXPECT_EQ(services.SettingsFilePath("Lantorvix.ini"), fallback.string());
    EXPECT_FALSE(fs::exists(fallback.parent_path())) << "finding the file makes no folder";
    test::WriteBytes((paths.workingDir / "Lantorvix.ini").string(), "[PORT]\n");
    EXPECT_EQ(services.SettingsFilePath("Lantorvix.ini"), (paths.workingDir / "Lantorvix.ini").string());
}

TEST_F(PosixServicesTest, ExecutablePathIsThisTestProgram)
{
    const std::string exe = PosixSystemServices(PosixSystemPaths::FromEnvironment()).ExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.front(), '/');
    EXPECT_EQ(fs::path(exe).filename(), "system_tests");
    EXPECT_TRUE(fs::is_regular_file(exe));
}

// After a package upgrade replaced the running binary, the kernel names it "<path> (deleted)";
// the autostart entry must name the path, where the new binary is.
TEST_F(PosixServicesTest, ExecutablePathOfAReplacedBinaryIsItsStablePath)
{
    const fs::path program = dir.Path() / "lantorvix";
    test::WriteBytes(program, "new binary");
    paths.selfExe = dir.Path() / "exe";
    fs::create_symlink(program.string() + " (deleted)", paths.selfExe);
    EXPECT_EQ(PosixSystemServices(paths).ExecutablePath(), program.string());
}

struct EnvCase {
    const char* configDirs; // nullptr: unset
    const char* runtimeDir; // nullptr: unset
    const char* autostart;
    bool runtimeIsTemp;
};

class PosixPathsTest : public testing::TestWithParam<EnvCase> {};

TEST_P(PosixPathsTest, PlacesFollowTheEnvironment)
{
    const auto set = [](const char* name, const char* value) {
        value != nullptr ? setenv(name, value, 1) : unsetenv(name);
    };
    const char* oldDirs = std::getenv("XDG_CONFIG_DIRS");
    const char* oldRun = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedDirs = oldDirs ? oldDirs : "", savedRun = oldRun ? oldRun : "";
    set("XDG_CONFIG_DIRS", GetParam().configDirs);
    set("XDG_RUNTIME_DIR", GetParam().runtimeDir);
    const auto paths = PosixSystemPaths::FromEnvironment();
    set("XDG_CONFIG_DIRS", oldDirs ? savedDirs.c_str() : nullptr);
    set("XDG_RUNTIME_DIR", oldRun ? savedRun.c_str() : nullptr);
    EXPECT_EQ(paths.autostartDir, fs::path(GetParam().autostart));
    EXPECT_EQ(paths.runtimeDir,
              GetParam().runtimeIsTemp ? fs::temp_directory_path() : fs::path(GetParam().runtimeDir));
}

INSTANTIATE_TEST_SUITE_P(Cases, PosixPathsTest,
                         testing::Values(EnvCase{nullptr, nullptr, "/etc/xdg/autostart", true},
                                         EnvCase{"", "/", "/etc/xdg/autostart", false},
                                         EnvCase{"/opt/xdg:/etc/xdg", "/", "/opt/xdg/autostart", false},
                                         EnvCase{"relative:/etc/xdg", "/absent-runtime-dir",
                                                 "/etc/xdg/autostart", true}));

} // namespace
} // namespace lantorvix
