// Wy_GetGDataType: what a directory holds.

#include <string>

#include "access/data_dirs.h"
#include "mixtable/wy_repairs.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"

namespace {

struct TypeTest {
  const char* file;  // data file name, without ".DBF"
  YTABLE_GDATATYPE type;
  const char* fields[5];  // null-terminated
};

constexpr TypeTest kTests[] = {
    {"CNTS", YTABLE_GDATATYPE_CNTS, {"ID", "CODE", "DESCR", "SPEC_W", nullptr}},
    {"PARAM", YTABLE_GDATATYPE_PARAM, {"KEY", "VALUE", nullptr}},
    {"PRODUCTS",
     YTABLE_GDATATYPE_PRODUCTS,
     {"ID", "CODE", "DESCR", "PATH", nullptr}},
};

// Whether the table opens and has every field.
bool HasFields(const std::string& dir, const TypeTest& t) {
  Wdbase db;
  if (!db.SetFiles(dir.c_str(), t.file, 0, nullptr, nullptr) || !db.Open())
    return false;
  bool ok = true;
  for (const char* const* f = t.fields; ok && *f != nullptr; ++f)
    ok = db.FieldNo(*f) > 0;
  db.Close();
  return ok;
}

}  // namespace

YTABLE_GDATATYPE Wy_GetGDataType(const char* dir, bool check_fields) {
  std::string d = dir ? dir : "";
  {
    std::string buf = d;
    buf.push_back('\0');
    Wy_StringTrim(buf.data(), " \t\r\n");
    d = buf.c_str();
  }
  if (d.empty()) d = mixtable::DefaultDataDir();
  Wy_AddTrailingBackslash(d);
  platform::Env* env = platform::Env::Current();
  YTABLE_GDATATYPE type = YTABLE_GDATATYPE_NONE;
  for (const TypeTest& t : kTests) {
    const std::string path = d + t.file + ".DBF";
    platform::FileInfo info;
    if (!env->GetFileInfo(path, &info).ok() || info.is_dir) continue;
    if (check_fields && !HasFields(d, t)) break;
    type = t.type;
  }
  return type;
}
