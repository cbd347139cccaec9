// Declarations shared by the Windows sources of the platform layer
// (platform/win32/*.cc). Internal to the platform layer: no public header
// includes it, and it includes no Windows header itself, so that its users
// choose how much of <windows.h> they pull in.
//
// Which Windows source defines what:
//   * env_win32.cc: Env::Default, the Win32 Env (its path-only members are
//     the shared host_env.cc), the single-entry operations of host_dir.h
//     (renames, directories, attributes, SyncHostDir, MarkHostExecutable)
//     and KillCurrentProcess.
//   * status_win32.cc: Win32Status; path_win32.cc: NormalizeWin32Path.
//   * file_win32.cc: the Win32 File (File::Lock and the lock retry rule
//     are the shared lock_retry.cc, whole transfers, bounds and held lock
//     ranges the shared file_base.cc).
//   * dir_win32.cc: facts, listings, copies, deletes.
//   * link_win32.cc: the host-file facts of process_impl.h, ReadLinkImpl
//     and IsExecutableImpl.
//   * process_win32.cc: the other functions of process_impl.h.
//   * change_counter_win32.cc: OpenSharedChangeCounterWin32 (the
//     base-class default File::OpenChangeCounter is the shared
//     file_base.cc).

#ifndef PLATFORM_WIN32_WIN32_INTERNAL_H_
#define PLATFORM_WIN32_WIN32_INTERNAL_H_

#include <memory>
#include <string>

#include "platform/env.h"

namespace platform::internal {

// Turns a Win32 error code (GetLastError()) into a Status carrying the errno
// value the POSIX side reports for the same failure, so that callers test
// one set of codes on both hosts:
//   ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_INVALID_DRIVE,
//   ERROR_BAD_NETPATH, ERROR_BAD_NET_NAME, ERROR_INVALID_NAME  -> ENOENT
//   ERROR_ACCESS_DENIED, ERROR_LOCK_VIOLATION,
//   ERROR_WRITE_PROTECT, ERROR_CURRENT_DIRECTORY               -> EACCES
//   ERROR_SHARING_VIOLATION (file open elsewhere)              -> EBUSY
//   ERROR_FILE_EXISTS, ERROR_ALREADY_EXISTS                    -> EEXIST
//   ERROR_DIR_NOT_EMPTY                                        -> ENOTEMPTY
//   ERROR_DIRECTORY (a file where a directory is needed)       -> ENOTDIR
//   ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL                    -> ENOSPC
//   ERROR_NOT_SAME_DEVICE                                      -> EXDEV
//   ERROR_TOO_MANY_OPEN_FILES                                  -> EMFILE
//   ERROR_NOT_ENOUGH_MEMORY, ERROR_OUTOFMEMORY                 -> ENOMEM
//   ERROR_INVALID_HANDLE                                       -> EBADF
//   ERROR_INVALID_PARAMETER, ERROR_NEGATIVE_SEEK               -> EINVAL
//   ERROR_NOT_SUPPORTED, ERROR_INVALID_FUNCTION                -> ENOTSUP
//   ERROR_FILENAME_EXCED_RANGE                                 -> ENAMETOOLONG
//   ERROR_NOT_LOCKED                                           -> ENOLCK
//   anything else (0 included)                                 -> EIO
// what names the operation and the path; the Win32 code is appended to it
// (" [win32 error N]") so that no detail is lost.
Status Win32Status(unsigned long err, const std::string& what);

// Normalises a Windows path as the Win32 Env uses it: "/" becomes "\",
// a relative path (or one beginning with a single "\") is completed from
// the current directory, "." and ".." are resolved lexically, repeated and
// trailing separators go. Drive letters and UNC paths ("\\server\share")
// are used as they are; no case is changed. Paths beginning with "\\?\" or
// "\\.\" are answered unchanged. Fails with ENOENT for an empty path or a
// UNC path without a share, and with EACCES when ".." would climb above
// the root (the drive's root directory or the share).
Status NormalizeWin32Path(const std::string& path, std::string* out);

// Opens the shared change counter of the file open as handle (a Win32
// HANDLE; path for error texts). Defined by change_counter_win32.cc; fails
// with ENOTSUP where no counter can be shared (network files) or when the
// fast path is off on Windows.
Status OpenSharedChangeCounterWin32(void* handle, const std::string& path,
                                    std::unique_ptr<ChangeCounter>* counter);

}  // namespace platform::internal

#endif  // PLATFORM_WIN32_WIN32_INTERNAL_H_
