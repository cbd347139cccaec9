// The level-path rule: which PATH values name a directory inside the data
// set.

#include "access/level_path.h"

#include "mixtable/wy_util.h"
#include "platform/env.h"

namespace mixtable {

namespace {

// A plain directory name: no separator, drive or parent step.
bool IsPlainName(const std::string& name) {
  if (name.empty() || name == ".") return false;
  if (name.find_first_of("\\/:") != std::string::npos) return false;
  return name.find("..") == std::string::npos;
}

}  // namespace

std::string ReadTrimmedPath(const Wdbase& db) {
  if (db.FieldNo("PATH") <= 0) return std::string();
  char buf[1024];
  if (!db.ReadString("PATH", buf, sizeof buf, 1, 1)) return std::string();
  Wy_StringTrim(buf, " \t\r\n");
  return buf;
}

bool IsSafeSubdir(const std::string& dir, const std::string& name) {
  if (!IsPlainName(name)) return false;
  platform::Env* env = platform::Env::Current();
  platform::FileInfo info;
  if (!env->GetFileInfo(dir + name, &info).ok()) return true;  // not there yet
  if (!info.is_link) return true;
  std::string target;
  if (!env->ReadLink(dir + name, &target).ok()) return false;
  return IsPlainName(target);
}

bool FileInDir(const std::string& dir, const char* name) {
  return platform::Env::Current()->FileExists(dir + name + ".dbf");
}

}  // namespace mixtable
