// Mapping of Windows-style paths onto host paths (see platform/env.h for the
// rules). Internal to the platform layer.

#ifndef PLATFORM_PATH_MAP_H_
#define PLATFORM_PATH_MAP_H_

#include <string>

#include "platform/env.h"
#include "platform/path_parts.h"

namespace platform::internal {

// The root directory of the drive letters, read from the environment at each
// call: $KALVO_DRIVES (made absolute against the current directory if it is
// not), else $XDG_DATA_HOME/kalvo/drives (when absolute), else
// $HOME/.local/share/kalvo/drives. No trailing "/".
std::string DrivesRootFromEnvironment();

// Maps path to a host path under drives_root. Existing components are found
// case-insensitively (an exact match wins); the directory of a named drive is
// created (with its parents) when missing, as a drive always exists on the
// original system. Fails with ENOENT for an empty path and EACCES when ".."
// climbs above a drive root (or above "/").
// Trace category of the path mapping's notes.
constexpr int kPathTraceCategory = 1000;

Status MapPath(const std::string& path, const std::string& drives_root,
               std::string* host);

// Looks for name in the host directory dir: an exact match first, then a
// case-insensitive one (ASCII letters); of several such names the smallest
// in byte order is taken and the ambiguity traced (kPathTraceCategory).
// Answers true and sets *found to the name as stored.
bool FindEntryIgnoreCase(const std::string& dir, const std::string& name,
                         std::string* found);

}  // namespace platform::internal

#endif  // PLATFORM_PATH_MAP_H_
