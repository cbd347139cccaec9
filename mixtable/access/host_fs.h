// Two file facts the process manager needs: the target of a symbolic link
// and whether a file may be executed, read through platform::Env::Current().
// Internal to the tables library.

#ifndef MIXTABLE_ACCESS_HOST_FS_H_
#define MIXTABLE_ACCESS_HOST_FS_H_

#include <string>

#include "platform/env.h"

namespace mixtable {

// The target of the symbolic link path, as stored in the link (one level).
platform::Status ReadSymlink(const std::string& path, std::string* target);

// Whether path is a regular file (links followed) the user may execute.
bool IsExecutableFile(const std::string& path);

}  // namespace mixtable

#endif  // MIXTABLE_ACCESS_HOST_FS_H_
