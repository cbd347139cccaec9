// Win32 error codes as the errno values the rest of the project tests.

#include <cerrno>
#include <string>

#include "platform/win32/windows_host.h"

#include "platform/win32/win32_internal.h"

namespace platform::internal {

Status Win32Status(unsigned long err, const std::string& what) {
  int code;
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
      code = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_CURRENT_DIRECTORY:
      code = EACCES;
      break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      code = EBUSY;
      break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      code = EEXIST;
      break;
    case ERROR_DIR_NOT_EMPTY:
      code = ENOTEMPTY;
      break;
    case ERROR_DIRECTORY:
      code = ENOTDIR;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      code = ENOSPC;
      break;
    case ERROR_NOT_SAME_DEVICE:
      code = EXDEV;
      break;
    case ERROR_TOO_MANY_OPEN_FILES:
      code = EMFILE;
      break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      code = ENOMEM;
      break;
    case ERROR_INVALID_HANDLE:
      code = EBADF;
      break;
    case ERROR_INVALID_PARAMETER:
    case ERROR_NEGATIVE_SEEK:
      code = EINVAL;
      break;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
      code = ENOTSUP;
      break;
    case ERROR_FILENAME_EXCED_RANGE:
      code = ENAMETOOLONG;
      break;
    case ERROR_NOT_LOCKED:
      code = ENOLCK;
      break;
    default:
      code = EIO;
      break;
  }
  return Status::Error(code,
                       what + " [win32 error " + std::to_string(err) + "]");
}

}  // namespace platform::internal
