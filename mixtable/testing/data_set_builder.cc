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
  std::string dir;
  if (!Position(prd, spd)) return dir;
  uint8_t level = prd == 0   ? Y_LEVEL_BASE
                  : spd == 0 ? Y_LEVEL_PRODUCT
                             : Y_LEVEL_SUBPRODUCT;
  tables_.Mixtable().LevelToPath(level, dir);
  tables_.CloseAll();
  return dir;
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
  if (!db.AppendBlank())
    return Fail(std::string("cannot append to ") + row->def.name);
  for (const auto& [field, value] : values) {
    const char type = db.FieldType(field.c_str());
    const int written =
        type == 'N'
            ? db.WriteDouble(field.c_str(), std::strtod(value.c_str(), nullptr))
            : db.WriteString(field.c_str(), value.c_str());
    if (!written) {
      db.Close();
      return Fail(std::string("cannot write ") + row->def.name + "." + field);
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

namespace {

Values Formula(int32_t id, const std::string& key1) {
  return {{"ID", Id(id)},
          {"KEY1", key1},
          {"BASE_ID", Id(1)},
          {"CAN_ID", Id(1)},
          {"FORMULA", "1 10.0"}};
}

}  // namespace

bool BuildSampleDataSet(const std::string& data_dir, std::string* error) {
  DataSetBuilder b(data_dir);
  bool ok = b.AddProduct(1, "P1", "PRD1") && b.AddProduct(2, "P2", "PRD2") &&
            b.AddProduct(3, "p1", "PRD3") &&
            b.AddSubProduct(1, 1, "S1", "SUB11") &&
            b.AddSubProduct(1, 2, "S2", "SUB12") &&
            b.AddSubProduct(2, 1, "S1", "SUB21");
  for (int32_t id = 1; ok && id <= 3; ++id)
    ok = b.Append(Y_CNTS, {{"ID", Id(id)},
                           {"CODE", "C" + std::to_string(id)},
                           {"DESCR", "Colorant " + std::to_string(id)},
                           {"SPEC_W", "1000.00"}});
  for (int32_t id = 1; ok && id <= 2; ++id)
    ok = b.Append(Y_BASES,
                  {{"ID", Id(id)}, {"DESCR", "Base " + std::to_string(id)}}) &&
         b.Append(Y_CANS,
                  {{"ID", Id(id)}, {"DESCR", "Can " + std::to_string(id)}});
  ok = ok && b.Append(Y_PARAM, {{"KEY", "DATAID"}, {"VALUE", "0000000042"}});
  ok = ok && b.Append(Y_FRM, Formula(1, "ROOT1")) &&
       b.Append(Y_FRM, Formula(2, "ROOT2")) &&
       b.Append(Y_FRM_REFL, {{"FRM_ID", Id(1)}});
  ok = ok &&
       b.Append(Y_CNT_KS,
                {{"ID", Id(1)}, {"PROD_KEY", Id(0)}, {"SUBP_KEY", Id(0)}}) &&
       b.Append(Y_CNT_KS,
                {{"ID", Id(1)}, {"PROD_KEY", Id(1)}, {"SUBP_KEY", Id(0)}}) &&
       b.Append(Y_CNT_KS,
                {{"ID", Id(1)}, {"PROD_KEY", Id(1)}, {"SUBP_KEY", Id(1)}}) &&
       b.Append(Y_CNT_KS,
                {{"ID", Id(2)}, {"PROD_KEY", Id(0)}, {"SUBP_KEY", Id(0)}});
  ok = ok && b.Append(Y_FRM, Formula(10, "PRD1"), 1);
  ok = ok && b.Append(Y_FRM, Formula(20, "SUB11A"), 1, 1) &&
       b.Append(Y_FRM, Formula(21, "SUB11B"), 1, 1) &&
       b.Append(Y_FRM_REFL, {{"FRM_ID", Id(20)}}, 1, 1) &&
       b.Create(Y_RULER, 1, 1) &&
       b.Append(Y_MASK, {{"TYPE", "BA"}, {"PNT_ID", Id(1)}}, 1, 1) &&
       b.Append(Y_MASK, {{"TYPE", "CO"}, {"PNT_ID", Id(2)}}, 1, 1);
  ok = ok && b.Append(Y_MASK, {{"TYPE", "CA"}, {"PNT_ID", Id(2)}}, 2, 1);
  if (!ok && error) *error = b.error();
  return ok;
}

}  // namespace mixtable_testing
