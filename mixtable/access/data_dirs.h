// The machine's fixed directories as the table set needs them: the default
// data directory, the local directory and the data directory of a data id.
// Internal to the tables library.

#ifndef MIXTABLE_ACCESS_DATA_DIRS_H_
#define MIXTABLE_ACCESS_DATA_DIRS_H_

#include <cstdint>
#include <string>

namespace mixtable {

// "c:\gdata\".
std::string DefaultDataDir();

// $LOCALDIR right-trimmed with a trailing "\", else "c:\local\". The
// directory is created when missing (failures are ignored).
std::string LocalDir();

// The data directory of a data set (Wy_DataPath): its catalogued directory;
// the default data directory for id 0 or without a catalogue; empty for an
// id the catalogue does not list.
std::string DataDirForId(uint32_t id);

}  // namespace mixtable

#endif  // MIXTABLE_ACCESS_DATA_DIRS_H_
