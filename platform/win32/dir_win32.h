// Directory operations on Windows paths (already normalised): facts about a
// file, listings, file copy, and recursive copy and delete that never follow
// reparse points (symbolic links, junctions). Internal to the platform
// layer.

#ifndef PLATFORM_WIN32_DIR_WIN32_H_
#define PLATFORM_WIN32_DIR_WIN32_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/env.h"

namespace platform::internal {

// Fills info from Win32 facts: attrs (FILE_ATTRIBUTE_*), size, the last
// write time as a FILETIME value (100 ns steps since 1601) and the file
// index (0 when unknown). A reparse point is reported as a link.
void FillFileInfoWin32(uint32_t attrs, uint64_t size, uint64_t write_time,
                       uint64_t file_index, FileInfo* info);

// Facts about path itself (a reparse point is not followed), with its file
// index.
Status GetHostFileInfo(const std::string& path, FileInfo* info);

// Entries of dir (not "." and "..") matching mask (see mask.h), sorted by
// name ignoring case (ties by bytes). Entries carry no file index (0).
// ENOENT when dir is missing, ENOTDIR when it is a file.
Status ListHostDir(const std::string& dir, const std::string& mask,
                   std::vector<DirEntry>* entries);

// Copies the regular file from to the path to: contents, attributes and
// last write time. The copy is written beside the target under a temporary
// name and moved into place, so the target is either the old file or the
// whole copy. Refuses a reparse-point source (ELOOP), a directory (EISDIR),
// an existing target when fail_if_exists (EEXIST), a read-only target
// (EACCES), the source itself (EINVAL) and a target open elsewhere (EBUSY
// or EACCES, as the host answers).
Status CopyHostFile(const std::string& from, const std::string& to,
                    bool fail_if_exists);

// Copies the directory from into to (created when missing, merged when it
// exists). Reparse points are skipped. Refuses a target inside the source
// (EINVAL). Stops at the first failure; what was copied stays.
Status CopyHostTree(const std::string& from, const std::string& to);

// Deletes a file, a reparse point (not its target) or a directory tree.
// Reparse points inside are removed, never followed; read-only attributes
// are cleared first. Goes on past failures and answers the first. A root
// ("c:\", "\\server\share") is refused (EPERM).
Status DeleteHostTree(const std::string& path);

// Walks the tree below dir (see Env::WalkTree); reparse points are never
// entered.
Status WalkHostTree(const std::string& dir, const Env::TreeVisitor& visit);

// Whether deleting a reparse point may delete what it leads to: so under
// wine, where a directory link of the host file system shows as a reparse
// point but its removal reaches the linked directory. There, deletes leave
// directory links in place (EPERM) rather than risk their targets. (File
// links of the host show as plain files under wine and cannot be told
// apart.)
bool HostDeletesLinkTargets();

// Whether path names a root: "X:\", "\\server\share\" or "\".
bool IsRootPath(const std::string& path);

}  // namespace platform::internal

#endif  // PLATFORM_WIN32_DIR_WIN32_H_
