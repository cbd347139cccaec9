// Building small data sets for tests.

#include "data_set_builder.h"

#include <cstdio>
#include <cstdlib>

#include "mixtable/wy_util.h"

namespace mixtable_testing {

std::string Id(int32_t id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%5ld", static_cast<long>(id));
  return buf;
}

DataSetBuilder::DataSetBuilder(const std::string& data_dir)
    : data_dir_(data_dir) {
  Wy_AddTrailingBackslash(data_dir_);
  Wy_MkDir(data_dir_);
  tables_.SetDataDir(data_dir_.c_str());
}

bool DataSetBuilder::Fail(const std::string& why) {
  error_ = why;
  tables_.CloseAll();
  return false;
}

bool DataSetBuilder::Position(int32_t prd, int32_t spd) {
  tables_.CloseAll();
  if (prd == 0) return true;
  Wdbase* p = tables_.Handle(Y_PRODUCTS);
  if (!tables_.Open(p) || !tables_.Select(p, prd))
    return Fail("no product " + std::to_string(prd));
  if (spd == 0) return true;
  Wdbase* s = tables_.Handle(Y_SUBPRODS);
  if (!tables_.Open(s) || !tables_.Select(s, spd))
    return Fail("no sub-product " + std::to_string(prd) + "/" +
                std::to_string(spd));
  return true;
}

std::string DataSetBuilder::Dir(int32_t prd, int32_t spd) {
  const std::pair<int32_t, int32_t> key(prd, spd);
  if (remember_dirs_) {
    auto it = dirs_.find(key);
    if (it != dirs_.end()) return it->second;
  }
  std::string dir;
  if (!Position(prd, spd)) return dir;
  uint8_t level = prd == 0   ? Y_LEVEL_BASE
                  : spd == 0 ? Y_LEVEL_PRODUCT
                             : Y_LEVEL_SUBPRODUCT;
  tables_.Mixtable().LevelToPath(level, dir);
  tables_.CloseAll();
  // Only directories found are kept: a product appended later may still
  // make an unknown one known.
  if (remember_dirs_ && !dir.empty()) dirs_[key] = dir;
  return dir;
}

void DataSetBuilder::RememberDirs(bool on) {
  remember_dirs_ = on;
  dirs_.clear();
}

bool DataSetBuilder::Create(int table, int32_t prd, int32_t spd) {
  const YTABLE* row = WyGetFileInfo(table);
  if (row == nullptr) return Fail("no table " + std::to_string(table));
  if (!Position(prd, spd)) return false;
  if (!tables_.Create(table))
    return Fail(std::string("cannot create ") + row->def.name + " at " +
                std::to_string(prd) + "/" + std::to_string(spd));
  tables_.CloseAll();
  return true;
}

bool DataSetBuilder::Append(int table, const Values& values, int32_t prd,
                            int32_t spd) {
  return AppendAll(table, {values}, prd, spd);
}

bool DataSetBuilder::AppendAll(int table, const std::vector<Values>& records,
                               int32_t prd, int32_t spd) {
  const YTABLE* row = WyGetFileInfo(table);
  if (row == nullptr) return Fail("no table " + std::to_string(table));
  std::string dir = Dir(prd, spd);
  if (dir.empty())
    return Fail("no directory for " + std::string(row->def.name));
  // One commit when the table closes instead of one per field.
  struct NoAutoFlush {
    int old = Wdbase::FlushSet(0);
    ~NoAutoFlush() { Wdbase::FlushSet(old); }
  } no_auto_flush;
  Wdbase db;
  db.SetFiles(&row->def);
  db.SetPath(dir.c_str());
  if (!db.Access(0) && !Create(table, prd, spd)) return false;
  if (!db.Open()) return Fail(std::string("cannot open ") + row->def.name);
  for (const Values& values : records) {
    if (!db.AppendBlank()) {
      db.Close();
      return Fail(std::string("cannot append to ") + row->def.name);
    }
    for (const auto& [field, value] : values) {
      const char type = db.FieldType(field.c_str());
      const int written =
          type == 'N' ? db.WriteDouble(field.c_str(),
                                       std::strtod(value.c_str(), nullptr))
                      : db.WriteString(field.c_str(), value.c_str());
      if (!written) {
        db.Close();
        return Fail(std::string("cannot write ") + row->def.name + "." + field);
      }
    }
  }
  db.Close();
  return true;
}

bool DataSetBuilder::AddProduct(int32_t id, const std::string& path,
                                const std::string& descr) {
  if (!Append(Y_PRODUCTS, {{"ID", Id(id)},
                           {"CODE", "P" + std::to_string(id)},
                           {"DESCR", descr},
                           {"PATH", path}}))
    return false;
  std::string dir = Dir(id);
  if (!dir.empty()) Wy_MkDir(dir);
  return true;
}

bool DataSetBuilder::AddSubProduct(int32_t prd, int32_t id,
                                   const std::string& path,
                                   const std::string& descr) {
  if (!Append(Y_SUBPRODS,
              {{"ID", Id(id)},
               {"CODE", "S" + std::to_string(id)},
               {"DESCR", descr},
               {"PATH", path}},
              prd))
    return false;
  std::string dir = Dir(prd, id);
  if (!dir.empty()) Wy_MkDir(dir);
  return true;
}

}  // namespace mixtable_testing
