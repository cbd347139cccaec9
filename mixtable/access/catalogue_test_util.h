// Test support for the catalogue tests: a temporary drives root with the
// catalogue's variables unset, data-set directories and direct access to
// the catalogue table.

#ifndef MIXTABLE_ACCESS_CATALOGUE_TEST_UTIL_H_
#define MIXTABLE_ACCESS_CATALOGUE_TEST_UTIL_H_

#include <cstdint>
#include <memory>
#include <string>

#include "access/scoped_env_var.h"
#include "gtest/gtest.h"
#include "mixtable/wy_catalog.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "xbase32/wdbase.h"

namespace mixtable {

// A fresh drives root without LOCALDIR, CACHEDIR and DSP. On Windows the
// drives are the host's, kept from the test before: the default local
// directory (the catalogue's) starts empty.
class CatalogueEnv {
 public:
#ifdef _WIN32
  CatalogueEnv() { platform::Env::Current()->DeleteTree("c:\\local"); }
#endif
  platform::ScopedTempDrives drives;
  ScopedEnvVar no_local{"LOCALDIR"};
  ScopedEnvVar no_cache{"CACHEDIR"};
  ScopedEnvVar no_dsp{"DSP"};
};

inline platform::Env* env() { return platform::Env::Current(); }

// The host path of rel ("/"-separated, as written) below c:\ : in the drives
// root on Linux, on the real drive on Windows.
inline std::string HostC(const CatalogueEnv& cenv, const std::string& rel) {
#ifdef _WIN32
  (void)cenv;
  return "c:/" + rel;
#else
  return cenv.drives.drives() + "/c/" + rel;
#endif
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::unique_ptr<platform::File> f;
  ASSERT_TRUE(env()->OpenFile(path, platform::OpenMode::kCreateAlways, &f).ok())
      << path;
  ASSERT_TRUE(f->WriteAt(0, text.data(), text.size()).ok());
}

// Makes dir a data set: CNTS.DBF, and when given a FVERS.DAT line and PARAM
// keys (own id, absolute id, FRM_HIDDEN).
inline void MakeDataSet(const std::string& dir, const char* fvers = nullptr,
                        uint32_t own_id = 0, uint32_t abs_id = 0,
                        int hidden = -1) {
  ASSERT_TRUE(env()->CreateDir(dir).ok() || env()->FileExists(dir)) << dir;
  WriteFile(dir + "\\CNTS.DBF", "");
  if (fvers != nullptr) WriteFile(dir + "\\FVERS.DAT", fvers);
  if (own_id == 0 && abs_id == 0 && hidden < 0) return;
  static const WDBASE_FIELD kParam[] = {{"KEY", 'C', 20, 0, 0},
                                        {"VALUE", 'C', 40, 0, 0},
                                        {"COMMENT", 'C', 40, 0, 0},
                                        {"", 0, 0, 0, 0}};
  const char* names[] = {"PARAM"};
  const char* exprs[] = {"KEY"};
  Wdbase p;
  ASSERT_TRUE(p.SetFiles((dir + "\\").c_str(), "PARAM", 1, names, exprs));
  ASSERT_TRUE(p.CreateDb(kParam));
  ASSERT_TRUE(p.Open());
  auto put = [&](const char* key, const std::string& value) {
    ASSERT_TRUE(p.AppendBlank());
    p.WriteString("KEY", key);
    p.WriteString("VALUE", value.c_str());
  };
  put("CODEPAGE", "850");
  if (own_id != 0) put("DATAID", std::to_string(own_id));
  if (abs_id != 0) put("ABS_DATAID", std::to_string(abs_id));
  if (hidden >= 0) put("FRM_HIDDEN", std::to_string(hidden));
  p.Close();
}

// Opens the catalogue directly.
inline bool OpenDatactl(Wdbase* db) {
  return Wy_SetDatactlDbHandle(db) && db->Open();
}

// Writes field of the record of id (the first in natural order).
inline void SetField(uint32_t id, const char* field, const char* value) {
  Wdbase db;
  ASSERT_TRUE(OpenDatactl(&db));
  for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next()) {
    if (std::stoul(db.Read("DATAID")) == id) {
      ASSERT_TRUE(db.WriteString(field, value));
      return;
    }
  }
  FAIL() << "no record " << id;
}

inline void DeleteRecord(uint32_t id) {
  Wdbase db;
  ASSERT_TRUE(OpenDatactl(&db));
  for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next()) {
    if (std::stoul(db.Read("DATAID")) == id) {
      ASSERT_TRUE(db.Delete());
      return;
    }
  }
  FAIL() << "no record " << id;
}

// Registers id at path with description descr and absolute id abs_id.
inline int Register(uint32_t id, const std::string& path,
                    const char* descr = "", uint32_t abs_id = 0) {
  std::string buf = path;
  return Wy_UpdateDatactl(id, abs_id, buf.data(), descr);
}

}  // namespace mixtable

#endif  // MIXTABLE_ACCESS_CATALOGUE_TEST_UTIL_H_
