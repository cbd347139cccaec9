// The Windows File: a handle from CreateFileA with positioned ReadFile and
// WriteFile, and byte-range locks through LockFileEx. Internal to the
// platform layer.

#ifndef PLATFORM_WIN32_FILE_WIN32_H_
#define PLATFORM_WIN32_FILE_WIN32_H_

#include <memory>
#include <string>

#include "platform/env.h"

namespace platform::internal {

// Opens host (a normalised Windows path) as mode asks; given is the path
// the caller named (kept by File::path() and used in error texts). The
// handle shares reading and writing with every other handle but never
// deleting: while it is open, the file can be neither deleted nor renamed
// (EBUSY). It is not inherited by child processes. A read-only file is
// refused with EACCES for every mode that writes (EEXIST for kCreateNew);
// a directory is refused with EISDIR.
Status OpenWin32File(const std::string& host, const std::string& given,
                     OpenMode mode, std::unique_ptr<File>* file);

}  // namespace platform::internal

#endif  // PLATFORM_WIN32_FILE_WIN32_H_
