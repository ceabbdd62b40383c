#include "platform/posix/files/file_errors.h"

#include <cerrno>

namespace ovlayer {

DWORD StatusFromHostErrno(int error) {
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EBUSY:
    case ETXTBSY:
        return ERROR_SHARING_VIOLATION;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ENOSPC:
        return kErrorDiskFull;
    case EXDEV:
        return kErrorNotSameDevice;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
    case ESRCH: // Windows names a process that is not there a bad parameter
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

DWORD StatusFromHostRmdirErrno(int error) {
    // POSIX lets rmdir report a folder that is not empty as EEXIST as well as ENOTEMPTY.
    return StatusFromHostErrno(error == EEXIST ? ENOTEMPTY : error);
}

// The Microsoft runtime's table: statuses it knows map to their errno, the write-protect range
// (19-36) to EACCES, every other status to EINVAL.
int CrtErrnoFromStatus(DWORD status) {
    switch (status) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NO_MORE_FILES:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case kErrorBadNetPath:
    case 67: // ERROR_BAD_NET_NAME
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case 16:  // ERROR_CURRENT_DIRECTORY
    case 65:  // ERROR_NETWORK_ACCESS_DENIED
    case 82:  // ERROR_CANNOT_MAKE
    case 83:  // ERROR_FAIL_I24
    case 108: // ERROR_DRIVE_LOCKED
        return EACCES;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case kErrorNotSameDevice:
        return EXDEV;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case kErrorDiskFull:
        return ENOSPC;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    default:
        if (status >= 19 && status <= 36) {
            return EACCES;
        }
        return EINVAL;
    }
}

} // namespace ovlayer
