// Pieces of the level-path rule shared by the table set and the dictionary
// operations. Internal to the tables library.

#ifndef MIXTABLE_ACCESS_LEVEL_PATH_H_
#define MIXTABLE_ACCESS_LEVEL_PATH_H_

#include <string>

#include "xbase32/wdbase.h"

namespace mixtable {

// The PATH field of the current record, trimmed of blanks, tabs and line
// ends on both sides (ANSI code page); empty when there is none.
std::string ReadTrimmedPath(const Wdbase& db);

// Whether dir + name stays inside dir: name is non-empty, holds no "\",
// "/", ":" or "..", and is not a symbolic link to anything but a plain name
// beside it. A directory that does not exist yet counts as inside.
bool IsSafeSubdir(const std::string& dir, const std::string& name);

// Whether dir holds the data file "name.dbf" (any case).
bool FileInDir(const std::string& dir, const char* name);

}  // namespace mixtable

#endif  // MIXTABLE_ACCESS_LEVEL_PATH_H_
