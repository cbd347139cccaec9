// Test fixture of the HFormula resolution tests: a catalogued data set
// (id 42, "Demo set") in "c:\\gdata\\" with products, sub-products,
// colorants, bases, a base formula, cans, formulas, reflectances and an
// archive, and a table set on it.

#ifndef MIXTABLE_FORMULA_HFORMULA_RESOLVE_FIXTURE_H_
#define MIXTABLE_FORMULA_HFORMULA_RESOLVE_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "access/scoped_env_var.h"
#include "mixtable/hformula.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace resolve_testing {

using mixtable_testing::Id;
using mixtable_testing::Values;

constexpr uint32_t kDataId = 42;

// Appends a record to table in dir (created first with fields, or from the
// dictionary when fields is null).
inline bool AppendIn(int table, const std::string& dir, const Values& values,
                     const WDBASE_FIELD* fields = nullptr) {
  const YTABLE* row = WyGetFileInfo(table);
  Wdbase db;
  db.SetFiles(&row->def);
  db.SetPath(dir.c_str());
  if (!db.Access(0)) {
    Wy_MkDir(dir);
    if (fields != nullptr) {
      if (!db.CreateDb(fields)) return false;
    } else {
      CMixtableEx ex;
      ex.SetDataDir(dir.c_str());
      if (!ex.Create(table)) return false;
    }
  }
  if (!db.Open() || !db.AppendBlank()) return false;
  bool ok = true;
  for (const auto& [field, value] : values) {
    ok = ok && (db.FieldType(field.c_str()) == 'N'
                    ? db.WriteDouble(field.c_str(),
                                     std::strtod(value.c_str(), nullptr))
                    : db.WriteString(field.c_str(), value.c_str()));
  }
  db.Close();
  return ok;
}

inline bool AllClosed(CMixtable& ts) {
  for (int t = 0; t < Y_N_MAX; ++t)
    if (ts.Handle(t)->IsOpen(0)) return false;
  return true;
}

// The data set is built once for all the tests of a suite (they do not
// change it; what a test adds goes to directories of its own).
class ResolveTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    drives_ = new platform::ScopedTempDrives;
    no_local_ = new mixtable::ScopedEnvVar("LOCALDIR");
    built_ = false;
    Build();
  }
  static void TearDownTestSuite() {
    delete no_local_;
    delete drives_;
    no_local_ = nullptr;
    drives_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(built_) << "the test data set could not be built";
    ts_.SetDataDir("c:\\gdata\\");
  }

  static void Build() {
    // On Windows "c:\\gdata\\" is the real drive, kept from the run before
    // (on Linux the drives root is new): start empty.
    platform::Env::Current()->DeleteTree("c:\\gdata");
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    const Values products[] = {
        {{"ID", Id(1)},
         {"CODE", "SHR"},
         {"DESCR", "Interior"},
         {"PATH", "P1"},
         {"UNIT", "1.5"},
         {"FRACTION", "2"},
         {"FRACTION2", "1"},
         {"WEIGHTMODE", "F"},
         {"UNIT_NAME", "ml"}},
        {{"ID", Id(2)},
         {"CODE", "SHR"},
         {"DESCR", "Exterior"},
         {"PATH", "P2"},
         {"UNIT", "0.5"},
         {"FRACTION", "4"},
         {"WEIGHTMODE", "T"},
         {"UNIT_NAME", "g"}},
        {{"ID", Id(3)}, {"CODE", "UNQ"}, {"DESCR", "Wood"}, {"PATH", "P3"}},
    };
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(b.Append(Y_PRODUCTS, products[i])) << b.error();
      Wy_MkDir(b.Dir(i + 1));
    }
    ASSERT_TRUE(b.AddSubProduct(1, 1, "S1", "Matt")) << b.error();
    ASSERT_TRUE(b.AddSubProduct(1, 2, "S2", "Gloss")) << b.error();
    for (int32_t id = 1; id <= 3; ++id)
      ASSERT_TRUE(b.Append(Y_CNTS, {{"ID", Id(id)},
                                    {"CODE", "C" + std::to_string(id)},
                                    {"DESCR", "Colorant " + std::to_string(id)},
                                    {"SPEC_W", "1.0"}}));
    ASSERT_TRUE(b.Append(Y_BASES, {{"ID", Id(1)},
                                   {"CODE", "W"},
                                   {"DESCR", "White base"},
                                   {"FILL_Q", "0.9"},
                                   {"FILL_W", "1.1"},
                                   {"SPEC_W", "1.3"}}));
    ASSERT_TRUE(b.Append(Y_BASES, {{"ID", Id(2)},
                                   {"CODE", "CL"},
                                   {"DESCR", "Clear base"},
                                   {"FILL_Q", "0.95"},
                                   {"FILL_W", "1.0"},
                                   {"SPEC_W", "1.05"}}));
    ASSERT_TRUE(
        b.Append(Y_BASESFRM,
                 {{"ID", Id(2)}, {"FORMULA", "1,5,2,3"}, {"WEIGHTMODE", "T"}}));
    ASSERT_TRUE(b.Append(Y_CANS, {{"ID", Id(1)},
                                  {"DESCR", "1 L"},
                                  {"NOM_Q", "1000"},
                                  {"CAN_WEIGHT", "F"},
                                  {"H_MIN", "5"},
                                  {"H_MAX", "9"},
                                  {"ZERO_FLAG", "0"},
                                  {"FLAGS", "1"}}));
    ASSERT_TRUE(b.Append(Y_CANS, {{"ID", Id(2)},
                                  {"DESCR", "4 L"},
                                  {"NOM_Q", "4000"},
                                  {"H_MIN", "3"},
                                  {"H_MAX", "8"},
                                  {"ZERO_FLAG", "1"}}));
    ASSERT_TRUE(b.Append(Y_CANS, {{"ID", Id(3)},
                                  {"DESCR", "5 kg"},
                                  {"NOM_Q", "5000"},
                                  {"CAN_WEIGHT", "T"},
                                  {"H_MIN", "2"},
                                  {"H_MAX", "7"},
                                  {"FLAGS", "0"}}));
    ASSERT_TRUE(b.Append(Y_FRM, {{"ID", Id(5)},
                                 {"KEY1", "RAL"},
                                 {"KEY2", "9010"},
                                 {"COMMENT", "Pure white"},
                                 {"BASE_ID", Id(1)},
                                 {"CAN_ID", Id(1)},
                                 {"FORMULA", "1,10.5,2,3"},
                                 {"X_02", "1.5"},
                                 {"Y_02", "2.5"},
                                 {"Z_02", "3.5"},
                                 {"X_10", "4.5"},
                                 {"Y_10", "5.5"},
                                 {"Z_10", "6.5"}}));
    // A formula in a custom can of 2.5 L, by weight.
    ASSERT_TRUE(b.Append(Y_FRM, {{"ID", Id(6)},
                                 {"KEY1", "OWN"},
                                 {"BASE_ID", Id(2)},
                                 {"CAN_ID", Id(0)},
                                 {"CAN_WEIGHT", "T"},
                                 {"NOM_Q0", "2500"},
                                 {"FORMULA", "3,1"}}));
    ASSERT_TRUE(b.Append(Y_FRM_REFL, {{"FRM_ID", Id(5)},
                                      {"R_400", "40"},
                                      {"R_420", "42"},
                                      {"R_700", "70"}}));
    // Formula 20 lives with sub-product 1/1; its reflectance at the root
    // belongs to another formula table and is not taken.
    ASSERT_TRUE(b.Append(Y_FRM,
                         {{"ID", Id(20)},
                          {"KEY1", "SUB"},
                          {"CAN_ID", Id(2)},
                          {"FORMULA", "2,4"}},
                         1, 1));
    ASSERT_TRUE(b.Append(Y_FRM_REFL, {{"FRM_ID", Id(20)}, {"R_400", "50"}}));

    std::string local;
    ASSERT_TRUE(Wy_LocalPath(local));
    ASSERT_TRUE(AppendIn(Y_ARCHIVE, local,
                         {{"ID", Id(100)},          {"KEY1", "CUSTOM"},
                          {"COMMENT", "mine"},      {"CAN_ID", Id(0)},
                          {"CAN_WEIGHT", "T"},      {"NOM_Q0", "2500"},
                          {"FORMULA", "3,7"},       {"UNIT", "2"},
                          {"FRACTION", "1"},        {"WEIGHTMODE", "T"},
                          {"FRM_REFL", "10;20;30"}, {"BASE_ID", Id(0)},
                          {"FRM_BASEID", Id(0)},    {"FRM_BASE", "1,2"},
                          {"BAS_WEIGHT", "T"},      {"BASFILLQ", "0.8"},
                          {"BASFILLW", "0.95"},     {"BASSPEC_W", "1.2"},
                          {"SUBSTR_ID", Id(4)},     {"X_10", "9"}}));
    // An archive formula on the base formula of base 2 and a catalogued can.
    ASSERT_TRUE(AppendIn(Y_ARCHIVE, local,
                         {{"ID", Id(101)},
                          {"KEY1", "CUSTOM2"},
                          {"CAN_ID", Id(3)},
                          {"FORMULA", "1,1"},
                          {"FRM_BASEID", Id(2)},
                          {"BASFILLQ", "0.7"},
                          {"BASFILLW", "0.75"}}));

    std::string path = "c:\\gdata\\";
    ASSERT_EQ(Wy_UpdateDatactl(kDataId, 0, path.data(), "Demo set"), 2);
    built_ = true;
  }

  // Reads text into a fresh formula and resolves it on the test's set.
  HFormula Resolved(const std::string& text) {
    HFormula f;
    EXPECT_EQ(f.TxtReadText(text.data(), text.size()), 1) << text;
    EXPECT_EQ(f.Resolve(&ts()), 1);
    EXPECT_TRUE(AllClosed(ts())) << text;
    return f;
  }

  CMixtable& ts() { return ts_.Mixtable(); }

  static inline platform::ScopedTempDrives* drives_ = nullptr;
  static inline mixtable::ScopedEnvVar* no_local_ = nullptr;
  static inline bool built_ = false;
  CMixtableEx ts_;
};

}  // namespace resolve_testing

#endif  // MIXTABLE_FORMULA_HFORMULA_RESOLVE_FIXTURE_H_
