// Test data of the recycling tests and benchmark (no test framework
// inside): two catalogued data sets, 42 in "c:\gdata\" and 43 in
// "c:\gdata2\", each with
//   CNTS   colorants 1, 2, 3 and base components 11, 12 (FTYPE "B");
//   BASES  1 and 2 plain, 3 made of components ("11,0.6,12,0.4" by volume);
//   CANS   10, 1000 by volume.
// Build it below a temporary drives root.

#ifndef MIXTABLE_INVENTORY_RESEARCH_TEST_DATA_H_
#define MIXTABLE_INVENTORY_RESEARCH_TEST_DATA_H_

#include <cstdint>
#include <string>

#include "mixtable/mixtable.h"
#include "mixtable/wy_batch.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_formula.h"
#include "mixtable/wy_formula_inv.h"
#include "testing/data_set_builder.h"

namespace research_testing {

constexpr uint32_t kDataId = 42;
constexpr uint32_t kOtherDataId = 43;
constexpr int32_t kCan = 10;

inline bool BuildOne(const std::string& dir, uint32_t id, std::string* error) {
  using mixtable_testing::Id;
  mixtable_testing::DataSetBuilder b(dir);
  bool ok = true;
  for (int32_t c : {1, 2, 3, 11, 12})
    ok = ok && b.Append(Y_CNTS, {{"ID", Id(c)},
                                 {"CODE", "C" + std::to_string(c)},
                                 {"FTYPE", c > 10 ? "B" : ""},
                                 {"SPEC_W", "1200"}});
  for (int32_t base : {1, 2, 3})
    ok = ok && b.Append(Y_BASES, {{"ID", Id(base)},
                                  {"CODE", "B" + std::to_string(base)},
                                  {"DESCR", "Base " + std::to_string(base)},
                                  {"FILL_Q", "0.9"},
                                  {"FILL_W", "1.2"},
                                  {"SPEC_W", "1300"}});
  ok = ok && b.Append(Y_BASESFRM, {{"ID", Id(3)},
                                   {"FORMULA", "11,0.6,12,0.4"},
                                   {"WEIGHTMODE", "F"}});
  ok = ok && b.Append(Y_CANS, {{"ID", Id(kCan)},
                               {"DESCR", "1 L"},
                               {"NOM_Q", "1000"},
                               {"CAN_WEIGHT", "F"}});
  if (!ok) {
    *error = b.error();
    return false;
  }
  std::string path = dir;
  if (Wy_UpdateDatactl(id, 0, path.data(), "Research set") == 0) {
    *error = "catalogue";
    return false;
  }
  return true;
}

inline bool BuildResearchData(std::string* error) {
  return BuildOne("c:\\gdata\\", kDataId, error) &&
         BuildOne("c:\\gdata2\\", kOtherDataId, error);
}

// A formula of data set dataId on base and can kCan (text for a can of
// nomQ by volume), volume units 1/1, identification "K1|K2|K3|note".
inline Wy_Formula MakeFormula(uint32_t dataId, int32_t base, const char* text,
                              double nomQ = 1000) {
  CMixtable tables;
  tables.SetDataId(dataId);
  Wy_Formula f;
  f.SetDataId(&tables, nullptr);
  f.SetBas(&tables, base);
  f.SetCan(&tables, kCan);
  f.SetUnit(0, 1, 1, 1);
  f.SetFrm(text, nomQ, nullptr, 0);
  f.m_FrmCanWeight = 0;
  f.m_ClrName = "K1|K2|K3|note";
  return f;
}

// A batch of quantity litres (kilograms when weight).
inline CWy_Batch MakeBatch(const std::string& name, double quantity,
                           bool weight = false, double toWeight = 0) {
  CWy_Batch b;
  b.SetBatchName(name);
  b.SetQuantity(quantity);
  b.SetWeightMode(weight);
  b.SetToWeightConversionFactor(toWeight);
  b.SetLocationX(name);
  return b;
}

inline CWy_FormulaInv MakeStored(const Wy_Formula& f, const CWy_Batch& batch) {
  CWy_FormulaInv inv;
  inv.SetFormula(f);
  inv.InsertBatch(batch);
  return inv;
}

}  // namespace research_testing

#endif  // MIXTABLE_INVENTORY_RESEARCH_TEST_DATA_H_
