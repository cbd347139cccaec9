// HFormula: the setters of product, base, can, formula and data id, from the
// tables and plain.

#include <string>

#include "access/table_fields.h"
#include "formula/hformula_lookup.h"
#include "formula/hformula_resolve_util.h"
#include "mixtable/hformula.h"
#include "mixtable/mixtable.h"

namespace mf = mixtable_fields;
namespace hi = hformula_internal;

int HFormula::SetPrd(CMixtable* tables, int32_t prdId, int32_t spdId) {
  m_PrdId = m_SpdId = 0;
  m_PrdName.clear();
  m_SpdName.clear();
  if (tables == nullptr || (prdId <= 0) != (spdId <= 0)) return 0;
  ResetUnits();
  if (prdId <= 0) return 0;
  CMixtable own(*tables);
  hi::CloseAllOnExit guard(&own);
  Wdbase* prd = own.Handle(Y_PRODUCTS);
  if (!own.Open(prd) || !own.Select(prd, prdId)) return 0;
  m_WeightMode = mf::Flag(prd, "WEIGHTMODE");
  m_UnitName = hr::Trim(mf::Text(prd, "UNIT_NAME", hr::kLongName));
  double fraction2 = mf::Number(prd, "FRACTION2");
  if (!(fraction2 >= 1.0)) fraction2 = 1.0;  // a blank field counts as 1
  SetUnit(m_WeightMode, mf::Number(prd, "UNIT"), mf::Number(prd, "FRACTION"),
          fraction2);
  m_PrdId = mf::Id(prd, "ID");
  m_PrdName = hr::Descr(prd, hr::kLongName);
  Wdbase* spd = own.Handle(Y_SUBPRODS);
  if (!own.Open(spd) || !own.Select(spd, spdId)) return 0;
  m_SpdId = mf::Id(spd, "ID");
  m_SpdName = hr::Descr(spd, hr::kLongName);
  return 1;
}

int HFormula::SetBas(CMixtable* tables, int32_t basId) {
  m_BasId = 0;
  m_BasName.clear();
  m_Fill_Q = m_Fill_W = 0.0;
  if (tables == nullptr || basId <= 0) return 0;
  CMixtable own(*tables);
  hi::CloseAllOnExit guard(&own);
  if (m_PrdId > 0 || m_SpdId > 0) {
    Wdbase* prd = own.Handle(Y_PRODUCTS);
    Wdbase* spd = own.Handle(Y_SUBPRODS);
    if (!own.Open(prd) || !own.Select(prd, m_PrdId) || !own.Open(spd) ||
        !own.Select(spd, m_SpdId))
      return 0;
  }
  Wdbase* bas = own.Handle(Y_BASES);
  uint32_t state = 0;
  int found = 0;
  if (own.TmpOpen(bas, &state) && own.Select(bas, basId)) {
    found = 1;
    m_BasName = hr::Descr(bas, hr::kLongName);
    m_BasId = mf::Id(bas, "ID");
    m_Fill_Q = mf::Number(bas, "FILL_Q");
    m_Fill_W = mf::Number(bas, "FILL_W");
  }
  own.TmpClose(bas, &state);
  if (found) {
    m_BaseFrmId = m_BasId;
    LoadBaseFrm(&own);
  }
  return found;
}

int HFormula::SetCan(CMixtable* tables, int32_t canId) {
  m_CanId = 0;
  m_CanName.clear();
  m_CanWeight = 0;
  m_CanNomQ = 0.0;
  if (tables == nullptr || canId <= 0) return 0;
  Wdbase* cans = tables->Handle(Y_CANS);
  uint32_t state = 0;
  int found = 0;
  if (tables->TmpOpen(cans, &state) && tables->Select(cans, canId)) {
    found = 1;
    m_CanId = mf::Id(cans, "ID");
    m_CanName = hr::Descr(cans, hr::kLongName);
    m_CanNomQ = mf::Number(cans, "NOM_Q");
    m_CanWeight = mf::Flag(cans, "CAN_WEIGHT");
  }
  tables->TmpClose(cans, &state);
  return found;
}

int HFormula::SetClr(CMixtable* tables, int32_t clrId) {
  m_ClrId = clrId;
  m_ClrName.clear();
  m_Frm.clear();
  m_FrmNomQ = 0.0;
  ResetUnits();
  for (double& v : m_Rfl) v = 0.0;
  for (double& v : m_X02) v = 0.0;
  for (double& v : m_X10) v = 0.0;
  if (tables == nullptr) return 1;
  CMixtable own(*tables);
  const int result = HndlClr(&own);
  own.CloseAll();
  return result;
}

int HFormula::SetDataId(CMixtable* tables, const char* text) {
  if (tables == nullptr) return 0;
  m_DataId = tables->GetDataId();
  m_DataIdText = text ? text : "";
  return 1;
}

int HFormula::SetPrd(const char* name, const char* spdName, int32_t prdId,
                     int32_t spdId) {
  if (name != nullptr) m_PrdName = name;
  if (spdName != nullptr) m_SpdName = spdName;
  if (prdId > 0) m_PrdId = prdId;
  if (spdId > 0) m_SpdId = spdId;
  return 1;
}

int HFormula::SetBas(const char* name, double fillQ, double fillW) {
  m_BasName = name ? name : "";
  if (fillQ > 0) m_Fill_Q = fillQ;
  if (fillW > 0) m_Fill_W = fillW;
  m_BasId = 0;
  m_BaseFrm.clear();
  m_BaseFrmWeight = 0;
  m_BaseFrmId = 0;
  m_BaseDispensable = 1;
  return 1;
}

int HFormula::SetCan(const char* name, double nomQ, int weight) {
  m_CanId = 0;
  m_CanName = name ? name : "";
  if (nomQ > 0) m_CanNomQ = nomQ;
  if (weight >= 0) m_CanWeight = weight;
  return 1;
}
