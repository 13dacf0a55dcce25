// Receptions that arrive while the program was busy: the port hands over everything queued
// in one reception, which can hold many complete codes.

#include "faults/scanner_rig.h"
#include "support/test_temp_path.h"

#include <gtest/gtest.h>

namespace lantorvix::test {
namespace {

std::filesystem::path Folder()
{
    return TestTempPath("lantorvix-backlog-");
}

// 20 complete scans (300 bytes) that queued up while the main thread was busy (a slow X
// server, a box) come in one reception: every one is typed.
TEST(Backlog, CompleteCodesInOneLongReceptionAreAllTyped)
{
    ScannerRig rig(Folder(), "[SCANNER]\nStopString=ENTER\n[PROGRAM]\nAddedString=ENTER\nDiscardNull=0\n");
    std::string backlog, expected;
    for (int i = 0; i < 20; ++i) {
        const std::string code = "97802016336" + std::to_string(10 + i);
        backlog += code + "\r\n";
        expected += code + "\n";
    }
    ASSERT_EQ(backlog.size(), 300u);
    rig.Receive(backlog);
    EXPECT_EQ(rig.keyboard.TypedText(), expected);
}

} // namespace
} // namespace lantorvix::test
