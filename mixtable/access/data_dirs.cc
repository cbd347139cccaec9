// Fixed directories. Until the catalogue of data sets is read here, every
// data id resolves to the default data directory.

#include "access/data_dirs.h"

#include "mixtable/wy_util.h"
#include "platform/env.h"

namespace mixtable {

std::string DefaultDataDir() { return "c:\\gdata\\"; }

std::string LocalDir() {
  std::string dir;
  if (platform::Env::Current()->GetEnv("LOCALDIR", &dir)) {
    while (!dir.empty() && (dir.back() == ' ' || dir.back() == '\t'))
      dir.pop_back();
  }
  if (dir.empty()) dir = "c:\\local\\";
  Wy_AddTrailingBackslash(dir);
  if (!platform::Env::Current()->FileExists(dir)) Wy_MkDir(dir);
  return dir;
}

std::string DataDirForId(uint32_t /*id*/) { return DefaultDataDir(); }

}  // namespace mixtable
