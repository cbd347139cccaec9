// Product, can and colorant helpers of the table set.

#include <cmath>
#include <cstdint>
#include <string>

#include "access/table_fields.h"
#include "mixtable/mixtable.h"

namespace mf = mixtable_fields;

namespace {

constexpr size_t kMaxUnitName = 63;
constexpr size_t kMaxHtmlDir = 63;
constexpr const char* kHtmlKey = "HTMLPATH";
constexpr const char* kDefaultHtmlDir = "C:\\HTMLDATA\\";

int32_t WholePart(double q) {
  if (!(q > -2147483648.0 && q < 2147483648.0)) return 0;
  return static_cast<int32_t>(std::trunc(q));
}

void ReadUnits(const Wdbase* prd, double* unit, double* fraction,
               double* fraction2, int* weight_mode, std::string* unit_name) {
  if (unit) *unit = mf::Number(prd, "UNIT");
  if (fraction) *fraction = mf::Number(prd, "FRACTION");
  if (fraction2) *fraction2 = mf::Number(prd, "FRACTION2");
  if (weight_mode) *weight_mode = mf::Flag(prd, "WEIGHTMODE");
  if (unit_name) *unit_name = mf::Text(prd, "UNIT_NAME", kMaxUnitName);
}

}  // namespace

double CMixtable::DblCanSize(int32_t can_id) {
  Wdbase* cans = Handle(Y_CANS);
  if (can_id == 0 && cans->IsOpen(0)) return mf::Number(cans, "NOM_Q");
  if (can_id <= 0) return 0.0;
  TmpLookup can(this, Y_CANS, can_id);
  return can.db() ? mf::Number(can.db(), "NOM_Q") : 0.0;
}

int32_t CMixtable::CanSize(int32_t can_id) {
  return WholePart(DblCanSize(can_id));
}

int32_t CMixtable::FrmCanSize() {
  Wdbase* frm = Handle(Y_FRM);
  if (!mf::OnRecord(frm)) return 0;
  const int32_t can_id = mf::Id(frm, "CAN_ID");
  return can_id > 0 ? CanSize(can_id) : 0;
}

double CMixtable::SpecificWeight(int32_t id) {
  Wdbase* cnts = Handle(Y_CNTS);
  if (id <= 0 || !cnts->IsOpen(0) || !Select(cnts, id)) return 0.0;
  return mf::Number(cnts, "SPEC_W");
}

int CMixtable::SingleProduct() {
  Wdbase* prd = Handle(Y_PRODUCTS);
  uint32_t state = 0;
  int single = 0;
  if (TmpOpen(prd, &state)) single = prd->RecCount() < 2 ? 1 : 0;
  TmpClose(prd, &state);
  return single;
}

int CMixtable::UnitAndFraction(double* unit, double* fraction,
                               double* fraction2, int* weight_mode,
                               std::string* unit_name) {
  Wdbase* prd = Handle(Y_PRODUCTS);
  if (!mf::OnRecord(prd))
    return DefaultUnitAndFraction(unit, fraction, fraction2, weight_mode,
                                  unit_name);
  ReadUnits(prd, unit, fraction, fraction2, weight_mode, unit_name);
  return 1;
}

int CMixtable::DefaultUnitAndFraction(double* unit, double* fraction,
                                      double* fraction2, int* weight_mode,
                                      std::string* unit_name) {
  if (unit) *unit = 1.0;
  if (fraction) *fraction = 1.0;
  if (fraction2) *fraction2 = 1.0;
  if (weight_mode) *weight_mode = 0;
  if (unit_name) unit_name->clear();
  Wdbase* prd = Handle(Y_PRODUCTS);
  uint32_t state = 0;
  const int opened = TmpOpen(prd, &state);
  // TmpOpen leaves the table at its first record in natural order.
  if (opened && mf::OnRecord(prd))
    ReadUnits(prd, unit, fraction, fraction2, weight_mode, unit_name);
  TmpClose(prd, &state);
  return opened ? 1 : 0;
}

int CMixtable::GetHtmlDir(std::string& dir) {
  dir = kDefaultHtmlDir;
  Wdbase* param = Handle(Y_PARAM);
  uint32_t state = 0;
  std::string value;
  if (TmpOpen(param, &state) && param->SelectIdx(1) &&
      param->Seek(kHtmlKey) == 1 && mf::Text(param, "KEY") == kHtmlKey)
    value = mf::Text(param, "VALUE", kMaxHtmlDir);
  TmpClose(param, &state);
  if (value.empty()) return 0;
  if (value.back() != '\\') value += '\\';
  dir = value;
  return 1;
}
