// Entry and directory operations on host paths (already mapped on Linux,
// normalised on Windows), one declaration for both hosts: dir_posix.cc and
// win32/dir_win32.cc, and for the single-entry operations the Env members
// call (renames, directories, attributes, syncs, the executable bit)
// env_posix.cc and win32/env_win32.cc. Links (symbolic links on Linux, reparse
// points such as symbolic links and junctions on Windows) are never followed.
// Internal to the platform layer; what only one host has is in dir_posix.h or
// win32/dir_win32.h.

#ifndef PLATFORM_HOST_DIR_H_
#define PLATFORM_HOST_DIR_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/env.h"

namespace platform::internal {

// Whether an entry named path exists (a link counts by itself, also when
// what it leads to is missing).
bool HostEntryExists(const std::string& path);

// Facts about path itself (a link is not followed). Linux: the lstat facts;
// Windows: with the file index where the entry can be opened.
Status GetHostFileInfo(const std::string& path, FileInfo* info);

// Deletes the file or link host (a link itself, never what it leads to);
// given is the caller's name of it for error texts. Refuses a directory
// (EISDIR) and a read-only file (EACCES). Windows also refuses a file open
// elsewhere (EBUSY) and, where the host would delete a link's target, a
// directory link (EPERM).
Status DeleteHostFile(const std::string& host, const std::string& given);

// The Env members of the same names on host paths (see env.h); path (from,
// to) is the caller's name of the entry, for error texts.
Status CreateHostDir(const std::string& host, const std::string& path);
Status RemoveHostDir(const std::string& host, const std::string& path);
Status GetHostAttributes(const std::string& host, const std::string& path,
                         uint32_t* attrs);
Status SetHostAttributes(const std::string& host, const std::string& path,
                         uint32_t attrs);
// Linux: a change of case only (both names lead to the same entry) takes
// the spelling of to's last component.
Status RenameHostFile(const std::string& from_host, const std::string& to_host,
                      const std::string& from, const std::string& to,
                      bool replace);
// Windows only checks that the directory exists (ENOENT, ENOTDIR).
Status SyncHostDir(const std::string& host, const std::string& path);
// Windows only checks the path (as Linux does: ELOOP for a link, EINVAL for
// anything but a file).
Status MarkHostExecutable(const std::string& host, const std::string& path);

// Entries of dir (not "." and "..") matching mask (see mask.h), sorted by
// name ignoring case (ties by bytes). Linux: with lstat facts. Windows:
// entries carry no file index (0). ENOENT when dir is missing, ENOTDIR when
// it is a file.
Status ListHostDir(const std::string& dir, const std::string& mask,
                   std::vector<DirEntry>* entries);

// Copies the regular file from to the path to: contents, the read-only
// state (permission bits on Linux, attributes on Windows) and the last
// write time. The copy is written beside the target under a temporary name
// and moved into place, so the target is either the old file or the whole
// copy. Refuses a link source (ELOOP), a directory (EISDIR), an existing
// target when fail_if_exists (EEXIST) and a read-only target (EACCES).
// Windows also refuses the source itself (EINVAL) and a target open
// elsewhere (EBUSY or EACCES, as the host answers).
Status CopyHostFile(const std::string& from, const std::string& to,
                    bool fail_if_exists);

// Copies the directory from into to (created when missing, merged when it
// exists; on Linux files whose names match ignoring case are replaced).
// Links (and on Linux special files) are skipped. Refuses a target inside
// the source (EINVAL). Stops at the first failure; what was copied stays.
Status CopyHostTree(const std::string& from, const std::string& to);

// Deletes a file, a link (not its target) or a directory tree. Links inside
// are removed, never followed; what stands in the way is opened up first
// (directories without owner write bits on Linux, read-only attributes on
// Windows). Goes on past failures and answers the first. A root ("/";
// "c:\", "\\server\share") is refused (EPERM).
Status DeleteHostTree(const std::string& path);

// Walks the tree below dir (see Env::WalkTree); links are never entered.
// Linux walks by directory descriptors.
Status WalkHostTree(const std::string& dir, const Env::TreeVisitor& visit);

}  // namespace platform::internal

#endif  // PLATFORM_HOST_DIR_H_
