#include "kernel32/errors.h"

#include <cerrno>

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD code) { t_lastError = code; }

namespace qvplatform {

DWORD ErrnoToWin32(int err) {
  switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC: return ERROR_DISK_FULL;
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EBUSY: return ERROR_BUSY;
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
    case ENOEXEC: return ERROR_BAD_EXE_FORMAT;
    case E2BIG: return ERROR_BAD_ENVIRONMENT;
    case EPIPE: return ERROR_BROKEN_PIPE;
    case EIO: return ERROR_GEN_FAILURE;
    case ESPIPE: return ERROR_SEEK;
    case EFBIG: return ERROR_FILE_TOO_LARGE;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case ETIMEDOUT: return ERROR_TIMEOUT;
    case ECONNREFUSED: return ERROR_CONNECTION_REFUSED;
    case ENOSYS:
    case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
    default: return ERROR_GEN_FAILURE;
  }
}

DWORD SetLastErrorFromErrno(int err) {
  DWORD code = ErrnoToWin32(err);
  SetLastError(code);
  return code;
}

}  // namespace qvplatform
