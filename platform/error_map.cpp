#include "platform/error_map.h"

#include <cerrno>

#include "platform/kernel.h"

namespace platform {

namespace {

struct ErrnoMapping {
  int posix;
  DWORD windows;
};

constexpr ErrnoMapping kErrnoTable[] = {
    {0, ERROR_SUCCESS},
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EROFS, ERROR_WRITE_PROTECT},
    {EISDIR, ERROR_ACCESS_DENIED},
    {EEXIST, ERROR_ALREADY_EXISTS},
    {ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
    {EBADF, ERROR_INVALID_HANDLE},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {ENOSPC, ERROR_DISK_FULL},
    {EDQUOT, ERROR_DISK_FULL},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {EAGAIN, ERROR_SHARING_VIOLATION},
    {EWOULDBLOCK, ERROR_SHARING_VIOLATION},
    {EBUSY, ERROR_SHARING_VIOLATION},
    {ETXTBSY, ERROR_SHARING_VIOLATION},
    {EPIPE, ERROR_BROKEN_PIPE},
    {ENOEXEC, ERROR_BAD_EXE_FORMAT},
    {ELOOP, ERROR_CANT_RESOLVE_FILENAME_LOOP},
    {ENOSYS, ERROR_NOT_SUPPORTED},
    {EOPNOTSUPP, ERROR_NOT_SUPPORTED},
    {ETIMEDOUT, ERROR_TIMEOUT},
};

}  // namespace

DWORD win32_error_from_errno(int error) {
  for (const auto& m : kErrnoTable) {
    if (m.posix == error) return m.windows;
  }
  return ERROR_INVALID_PARAMETER;
}

DWORD set_last_error_from_errno(int error) {
  DWORD code = win32_error_from_errno(error);
  SetLastError(code);
  return code;
}

}  // namespace platform
