#include "serial/posix/win_error.h"

#include <cerrno>

namespace lantorvix::posix {

int WinErrorFromErrno(int error_number)
{
    switch (error_number) {
    case 0:
        return 0;
    case ENOENT:
    case ENXIO: // device node without hardware behind it
    case ENODEV:
        return win_error::kFileNotFound;
    case ENOTDIR:
        return win_error::kPathNotFound;
    case EMFILE:
    case ENFILE:
        return win_error::kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK: // flock held by another process
    case EROFS:
        return win_error::kAccessDenied;
    case EBADF:
        return win_error::kInvalidHandle;
    case ENOMEM:
        return win_error::kNotEnoughMemory;
    case EINVAL:
    case ERANGE:
        return win_error::kInvalidParameter;
    case ENOTTY:
    case ENOSYS:
    case EOPNOTSUPP:
        return win_error::kInvalidFunction;
    case ENAMETOOLONG:
        return win_error::kFilenameExcedRange;
    case ECANCELED:
        return win_error::kOperationAborted;
    case EIO:
    case EPIPE:
        return win_error::kIoDevice;
    default:
        return win_error::kGenFailure;
    }
}

} // namespace lantorvix::posix
