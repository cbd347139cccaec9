// Opening a host file as a File, one declaration for both hosts:
// file_posix.cc (a descriptor with positioned I/O and
// open-file-description byte-range locks) and win32/file_win32.cc (a
// CreateFileA handle with positioned ReadFile/WriteFile and LockFileEx
// locks). Internal to the platform layer.

#ifndef PLATFORM_HOST_FILE_H_
#define PLATFORM_HOST_FILE_H_

#include <memory>
#include <string>

#include "platform/env.h"

namespace platform::internal {

// Opens the host path host (already mapped on Linux, normalised on
// Windows) as mode asks; given is the path the caller named (kept by
// File::path() and used in error texts). The handle is not inherited by
// child processes. A read-only file (no owner write bits on Linux, the
// read-only attribute on Windows) is refused with EACCES for every mode
// that writes, whoever the user is (EEXIST for kCreateNew); a directory
// with EISDIR.
// Windows: the handle shares reading and writing with every other handle
// but never deleting, so while it is open the file can be neither deleted
// nor renamed (EBUSY); OpenMode::kGuard shares deleting too.
Status OpenHostFile(const std::string& host, const std::string& given,
                    OpenMode mode, std::unique_ptr<File>* file);

}  // namespace platform::internal

#endif  // PLATFORM_HOST_FILE_H_
