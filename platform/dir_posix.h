// Directory operations on host paths (already mapped): listing, file copy,
// and recursive copy and delete that never follow symbolic links. Internal
// to the platform layer.

#ifndef PLATFORM_DIR_POSIX_H_
#define PLATFORM_DIR_POSIX_H_

#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/env.h"

namespace platform::internal {

void FillFileInfo(const struct stat& st, FileInfo* info);

// Entries of dir (not "." and "..") matching mask (see mask.h), with lstat
// facts, sorted by name ignoring case (ties by bytes).
Status ListHostDir(const std::string& dir, const std::string& mask,
                   std::vector<DirEntry>* entries);

// Copies the regular file from to the path to: contents, permission bits and
// modification time. The copy is written beside the target under a
// temporary name and renamed into place, so the target is either the old
// file or the whole copy. Refuses a symbolic link source (ELOOP), a
// directory (EISDIR), an existing target when fail_if_exists (EEXIST) and a
// read-only target (EACCES).
Status CopyHostFile(const std::string& from, const std::string& to,
                    bool fail_if_exists);

// Copies the directory from into to (created when missing, merged when it
// exists; files whose names match ignoring case are replaced). Symbolic
// links and special files are skipped. Refuses a target inside the source
// (EINVAL). Stops at the first failure; what was copied stays.
Status CopyHostTree(const std::string& from, const std::string& to);

// Deletes a file, a symbolic link (not its target) or a directory tree.
// Links inside the tree are removed, never followed; directories without
// owner write bits are opened up first. Goes on past failures and answers
// the first. The host root "/" is refused (EPERM).
Status DeleteHostTree(const std::string& path);

// Walks the tree below the host directory dir by directory descriptors
// (see Env::WalkTree).
Status WalkHostTree(const std::string& dir, const Env::TreeVisitor& visit);

}  // namespace platform::internal

#endif  // PLATFORM_DIR_POSIX_H_
