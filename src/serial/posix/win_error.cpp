#include "serial/posix/win_error.h"

#include "serial/comm_device.h"

#include <cerrno>
#include <cstdint>

namespace lantorvix::posix {

namespace {

std::uint32_t Code(int error_number)
{
    switch (error_number) {
    case 0:
        return 0;
    case ENOENT:
    case ENXIO: // device node without hardware behind it
    case ENODEV:
        return oserr::FILE_NOT_FOUND;
    case ENOTDIR:
        return oserr::PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE:
        return oserr::TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK: // flock held by another process
    case EROFS:
        return oserr::ACCESS_DENIED;
    case EBADF:
        return oserr::INVALID_HANDLE;
    case ENOMEM:
        return oserr::NOT_ENOUGH_MEMORY;
    case EINVAL:
    case ERANGE:
        return oserr::INVALID_PARAMETER;
    case ENOTTY:
    case ENOSYS:
    case EOPNOTSUPP:
        return oserr::INVALID_FUNCTION;
    case ENAMETOOLONG:
        return oserr::FILENAME_EXCED_RANGE;
    case ECANCELED:
        return oserr::OPERATION_ABORTED;
    case EIO:
    case EPIPE:
        return oserr::IO_DEVICE;
    default:
        return oserr::GEN_FAILURE;
    }
}

} // namespace

int WinErrorFromErrno(int error_number)
{
    return static_cast<int>(Code(error_number));
}

} // namespace lantorvix::posix
