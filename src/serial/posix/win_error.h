#pragma once

namespace lantorvix::posix {

// Windows system error codes that the termios device reports, so that the port's
// " (win error code: %d)" suffix reads the same on both products.
namespace win_error {
inline constexpr int kInvalidFunction = 1;
inline constexpr int kFileNotFound = 2;
inline constexpr int kPathNotFound = 3;
inline constexpr int kTooManyOpenFiles = 4;
inline constexpr int kAccessDenied = 5;
inline constexpr int kInvalidHandle = 6;
inline constexpr int kNotEnoughMemory = 8;
inline constexpr int kGenFailure = 31;
inline constexpr int kInvalidParameter = 87;
inline constexpr int kFilenameExcedRange = 206;
inline constexpr int kOperationAborted = 995;
inline constexpr int kIoDevice = 1117;
} // namespace win_error

// The Windows error code that means the same as an errno value.
int WinErrorFromErrno(int error_number);

} // namespace lantorvix::posix
