// Fixed directories of the table set, from the catalogue's rules.

#include "access/data_dirs.h"

#include "mixtable/wy_catalog.h"

namespace mixtable {

std::string DefaultDataDir() {
  std::string dir;
  Wy_DataDir(dir);
  return dir;
}

std::string LocalDir() {
  std::string dir;
  Wy_LocalPath(dir);
  return dir;
}

std::string DataDirForId(uint32_t id) {
  std::string dir, descr;
  Wy_DataPath(id, dir, descr);
  return dir;
}

}  // namespace mixtable
