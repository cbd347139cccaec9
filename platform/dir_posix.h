// What only the POSIX directory code has (the operations of both hosts are
// in host_dir.h). Internal to the platform layer.

#ifndef PLATFORM_DIR_POSIX_H_
#define PLATFORM_DIR_POSIX_H_

#include <sys/stat.h>

#include "platform/env.h"
#include "platform/host_dir.h"

namespace platform::internal {

// Fills info from the facts of stat or lstat.
void FillFileInfo(const struct stat& st, FileInfo* info);

}  // namespace platform::internal

#endif  // PLATFORM_DIR_POSIX_H_
