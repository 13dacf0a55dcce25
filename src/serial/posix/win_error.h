#pragma once

namespace lantorvix::posix {

// The Windows error code (oserr, serial/comm_device.h) that means the same as an errno value.
int WinErrorFromErrno(int error_number);

} // namespace lantorvix::posix
