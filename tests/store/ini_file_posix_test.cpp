// Failures that only a POSIX process can provoke as root: a write that the file-size limit
// cuts short.
#include "store/ini_file.h"

#include "base/exception.h"
#include "store/temp_dir.h"
#include "support/file_bytes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lantorvix {
namespace {

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
