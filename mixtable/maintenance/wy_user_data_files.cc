// The group and item files of served data sets in the local cache.

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "maintenance/user_data_internal.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_user_data.h"
#include "platform/env.h"
#include "platform/line_reader.h"

namespace ud = wy_user_data_internal;

namespace {

// Beside the file while it is written; renamed over it when complete.
constexpr const char* kWorkSuffix = ".NEW";
constexpr const char* kGroupExt = "GRP";
constexpr const char* kItemExt = "ITM";

bool ReadList(std::vector<std::string>& list, const char* dataDir,
              const char* machine, const char* ext) {
  list.clear();
  try {
    const std::string file = Wy_GDataUserDataFile(dataDir, machine, ext);
    if (file.empty()) return false;
    if (!platform::ReadLines(file, &list).ok()) {
      list.clear();
      return false;
    }
  } catch (const std::bad_alloc&) {
    list.clear();
    return false;
  }
  return true;
}

bool WriteList(const std::vector<std::string>& list, const char* dataDir,
               const char* machine, const char* ext) {
  try {
    const std::string file = Wy_GDataUserDataFile(dataDir, machine, ext);
    if (file.empty()) return false;
    std::string text;
    for (const std::string& line : list) {
      if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return false;  // it would not come back as one line
      text += line;
      text += "\r\n";
    }
    platform::Env* env = platform::Env::Current();
    const std::string work = file + kWorkSuffix;
    std::unique_ptr<platform::File> f;
    if (!env->OpenFile(work, platform::OpenMode::kCreateAlways, &f).ok())
      return false;
    bool ok = f->WriteAt(0, text.data(), text.size()).ok() && f->Sync().ok();
    f.reset();
    ok = ok && env->RenameFile(work, file, true).ok();
    if (!ok) env->DeleteFile(work);
    return ok;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

std::string Wy_GDataUserDataFile(const char* dataDir, const char* machine,
                                 const char* extension) {
  if (ud::IsLocal(machine) || extension == nullptr) return std::string();
  const std::string data = ud::Trim(dataDir != nullptr ? dataDir : "");
  if (data.empty()) return std::string();
  std::string dir, root;
  if (!Wy_CachePath(dir, machine, data.c_str()) ||
      !Wy_CachePath(root, nullptr, nullptr) || dir.size() <= root.size() ||
      dir.compare(0, root.size(), root) != 0)
    return std::string();
  std::string flat = dir.substr(root.size());
  flat.pop_back();  // the final "\"
  for (char& c : flat)
    if (c == '\\' || c == '.') c = '_';
  return root + flat + "." + extension;
}

bool Wy_ReadGDataUserDataGroup(std::vector<std::string>& group,
                               const char* dataDir, const char* machine) {
  return ReadList(group, dataDir, machine, kGroupExt);
}

bool Wy_WriteGDataUserDataGroup(const std::vector<std::string>& group,
                                const char* dataDir, const char* machine) {
  return WriteList(group, dataDir, machine, kGroupExt);
}

bool Wy_ReadGDataUserDataItem(std::vector<std::string>& items,
                              const char* dataDir, const char* machine) {
  return ReadList(items, dataDir, machine, kItemExt);
}

bool Wy_WriteGDataUserDataItem(const std::vector<std::string>& items,
                               const char* dataDir, const char* machine) {
  return WriteList(items, dataDir, machine, kItemExt);
}
