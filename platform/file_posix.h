// The host File: a file descriptor with positioned I/O and
// open-file-description byte-range locks. Internal to the platform layer.

#ifndef PLATFORM_FILE_POSIX_H_
#define PLATFORM_FILE_POSIX_H_

#include <memory>
#include <string>

#include "platform/env.h"

namespace platform::internal {

// Opens the host path host (already mapped) as mode asks; given is the path
// the caller named (kept by File::path() and used in error texts).
// A file without owner write bits (read-only attribute) is refused with
// EACCES for every mode that writes, whoever the user is. Directories are
// refused with EISDIR.
Status OpenPosixFile(const std::string& host, const std::string& given,
                     OpenMode mode, std::unique_ptr<File>* file);

}  // namespace platform::internal

#endif  // PLATFORM_FILE_POSIX_H_
