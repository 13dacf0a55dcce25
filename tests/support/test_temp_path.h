#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace lantorvix::test {

// A path in the temporary directory named after this process and the running test, so that
// tests running at once never meet. A parameterised test's "/" is flattened: the path is
// one entry, and removing it leaves nothing behind.
inline std::filesystem::path TestTempPath(const std::string& prefix)
{
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    return std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()) + "-" + name);
}

} // namespace lantorvix::test
