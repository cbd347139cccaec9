// What only the Windows directory code has: facts about a file from Win32
// facts, and how the host deletes links (the operations of both hosts are
// in host_dir.h). Internal to the platform layer.

#ifndef PLATFORM_WIN32_DIR_WIN32_H_
#define PLATFORM_WIN32_DIR_WIN32_H_

#include <cstdint>
#include <string>

#include "platform/env.h"
#include "platform/host_dir.h"

namespace platform::internal {

// Fills info from Win32 facts: attrs (FILE_ATTRIBUTE_*), size, the last
// write time as a FILETIME value (100 ns steps since 1601) and the file
// index (0 when unknown). A reparse point is reported as a link.
void FillFileInfoWin32(uint32_t attrs, uint64_t size, uint64_t write_time,
                       uint64_t file_index, FileInfo* info);

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
