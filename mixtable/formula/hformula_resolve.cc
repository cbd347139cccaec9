// HFormula resolution: reading a text and completing it from the tables of
// its data set (FillUp and its handlers).
//
// Each handler works on what it can find and resets what it cannot resolve;
// none stops the others. Each closes the tables it opened on every path (a
// guard does it), so after Read or Resolve no table of the set is open.

#include <cstdio>
#include <string>

#include "access/table_fields.h"
#include "formula/hformula_lookup.h"
#include "formula/hformula_resolve_util.h"
#include "mixtable/hformula.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_catalog.h"
#include "platform/env.h"

namespace mf = mixtable_fields;
namespace hi = hformula_internal;

namespace {

// The shelf position a member holds until HndlShl resolves it.
constexpr int kShelfUnknown = -10;

bool IsStandard(HF_DATASOURCE_TYPE s) {
  return s == HF_SOURCE_STANDARD || static_cast<int>(s) == 8;
}

}  // namespace

int HFormula::Read(FILE* file) {
  const int ok = TxtRead(file);
  if (!ok) return ok;
  CMixtable tables;
  tables.SetDataId(m_DataId);
  FillUp(&tables);
  tables.CloseAll();
  return ok;
}

int HFormula::Py_Read(const char* path) {
  if (path == nullptr) return 0;
  std::string host;
  if (!platform::Env::Current()->HostPath(path, &host).ok()) return 0;
  FILE* f = std::fopen(host.c_str(), "rb");
  if (f == nullptr) return 0;
  const int ok = Read(f);
  std::fclose(f);
  return ok;
}

int HFormula::Resolve(CMixtable* tables) {
  if (tables == nullptr) return 0;
  FillUp(tables);
  tables->CloseAll();
  return 1;
}

int HFormula::FillUp(CMixtable* tables) {
  if (tables == nullptr) return 0;
  hi::CloseAllOnExit guard(tables);
  if (IsStandard(m_Source) && m_ClrId > 0) {
    m_ClrName.clear();
    m_FrmNomQ = 0.0;
    m_Frm.clear();
    m_BaseLinked = 0;
    ResetUnits();
    for (double& v : m_Rfl) v = 0.0;
    for (double& v : m_X02) v = 0.0;
    for (double& v : m_X10) v = 0.0;
  }
  HndlGdt(tables);
  HndlPrd(tables);
  HndlWgh(tables);
  HndlUnt(tables);
  HndlBas(tables);
  HndlClr(tables);
  HndlCan(tables);
  HndlCnt(tables);
  HndlShl(tables);
  HndlPnc(tables);
  return 1;
}

int HFormula::HndlGdt(CMixtable* /*tables*/) {
  std::string path, descr;
  if (Wy_DataPath(m_DataId, path, descr)) {
    m_DataIdText = descr;
    return 1;
  }
  m_DataIdText.clear();
  return 0;
}

int HFormula::HndlPrd(CMixtable* tables) {
  if (tables == nullptr) return 0;
  tables->CloseAll();
  hi::CloseAllOnExit guard(tables);
  Wdbase* prd = tables->Handle(Y_PRODUCTS);
  if (!tables->Open(prd)) {
    m_PrdId = m_SpdId = 0;
    return 0;
  }
  // A data set with one product: a lone id names the sub-product.
  if (prd->RecCount() == 1 && m_PrdName.empty() && m_SpdName.empty() &&
      m_SpdId <= 0) {
    prd->SelectIdx(0);
    prd->Top();
    m_SpdId = m_PrdId;
    m_PrdId = mf::Id(prd, "ID");
  }
  if (m_PrdId <= 0) m_PrdId = hi::LookupByName(prd, m_PrdName.c_str());
  if (m_PrdId <= 0 || !tables->Select(prd, m_PrdId)) {
    m_PrdId = m_SpdId = 0;
    return 0;
  }
  m_PrdName = hr::Descr(prd, hr::kLongName);
  Wdbase* spd = tables->Handle(Y_SUBPRODS);
  if (tables->Open(spd)) {
    if (m_SpdId <= 0) m_SpdId = hi::LookupByName(spd, m_SpdName.c_str());
    if (m_SpdId > 0 && tables->Select(spd, m_SpdId))
      m_SpdName = hr::Descr(spd, hr::kLongName);
    else
      m_SpdId = 0;
  } else {
    m_SpdId = 0;
  }
  return 1;
}

int HFormula::HndlWgh(CMixtable* tables) {
  if (m_ClrId == 0 && m_WeightMode != -1) return 1;
  if (tables == nullptr) return 0;
  tables->CloseAll();
  hi::CloseAllOnExit guard(tables);
  Wdbase* prd = tables->Handle(Y_PRODUCTS);
  m_WeightMode = 0;
  if (m_PrdId > 0 && tables->Open(prd) && tables->Select(prd, m_PrdId)) {
    m_WeightMode = mf::Flag(prd, "WEIGHTMODE");
    return 1;
  }
  return 0;
}

int HFormula::HndlUnt(CMixtable* tables) {
  if (m_ClrId == 0 && m_WeightMode != -1) {
    if (m_WeightMode != 0 && m_WeightMode != 1) m_WeightMode = 0;
    const double unit = m_WeightMode == 1 ? m_WgUnit : m_VlUnit;
    const double fraction = m_WeightMode == 1 ? m_WgFraction : m_VlFraction;
    if (unit > 0.00001 && fraction > 0.00001) return 1;
  }
  ResetUnits();
  if (tables == nullptr) return 0;
  tables->CloseAll();
  hi::CloseAllOnExit guard(tables);
  Wdbase* prd = tables->Handle(Y_PRODUCTS);
  if (!tables->Open(prd)) return 0;
  if (m_PrdId > 0 && tables->Select(prd, m_PrdId)) {
    m_WeightMode = mf::Flag(prd, "WEIGHTMODE");
    double* unit = m_WeightMode == 1 ? &m_WgUnit : &m_VlUnit;
    double* fraction = m_WeightMode == 1 ? &m_WgFraction : &m_VlFraction;
    *unit = mf::Number(prd, "UNIT");
    *fraction = mf::Number(prd, "FRACTION");
  }
  return 1;
}

void HFormula::LoadBaseFrm(CMixtable* tables) {
  Wdbase* db = tables->Handle(Y_BASESFRM);
  uint32_t state = 0;
  if (m_BaseFrmId > 0 && tables->TmpOpen(db, &state) &&
      tables->Select(db, m_BaseFrmId)) {
    m_BaseFrm = mf::Text(db, "FORMULA", hr::kBaseFrmText);
    m_BaseFrmWeight = mf::Flag(db, "WEIGHTMODE");
    if (m_BasId != 0) m_BaseDispensable = 1;
  } else {
    m_BaseFrmId = 0;
  }
  tables->TmpClose(db, &state);
}

int HFormula::HndlBas(CMixtable* tables) {
  if (tables == nullptr) return 0;
  hi::CloseAllOnExit guard(tables);
  Wdbase* bas = tables->Handle(Y_BASES);
  if (!hr::EnsureOpen(tables, bas)) {
    m_BasId = 0;
    return 0;
  }
  if (m_BasId <= 0) m_BasId = hi::LookupByName(bas, m_BasName.c_str());
  tables->CloseAll();
  // The product and sub-product put the bases at the sub-product's level.
  if (m_PrdId > 0 && m_SpdId > 0) {
    Wdbase* prd = tables->Handle(Y_PRODUCTS);
    Wdbase* spd = tables->Handle(Y_SUBPRODS);
    if (tables->Open(prd) && tables->Select(prd, m_PrdId))
      if (tables->Open(spd)) tables->Select(spd, m_SpdId);
  }
  if (m_BasId > 0 && tables->Open(bas) && tables->Select(bas, m_BasId)) {
    m_BasName = hr::Descr(bas, hr::kLongName);
    m_Fill_Q = mf::Number(bas, "FILL_Q");
    m_Fill_W = mf::Number(bas, "FILL_W");
    m_Spec_W = mf::Number(bas, "SPEC_W");
  } else {
    m_BasId = 0;
  }
  if (m_BasId != 0) m_BaseFrmId = m_BasId;
  if (m_BaseFrmId != 0) LoadBaseFrm(tables);
  return m_BasId != 0 ? 1 : 0;
}

int HFormula::HndlCan(CMixtable* tables) {
  if (tables == nullptr) return 0;
  Wdbase* cans = tables->Handle(Y_CANS);
  hi::CloseOnExit close(tables, Y_CANS);
  if (m_CanId > 0 && hr::EnsureOpen(tables, cans) &&
      tables->Select(cans, m_CanId)) {
    m_CanName = hr::Descr(cans, hr::kShortName);
    m_CanNomQ = mf::Number(cans, "NOM_Q");
    m_CanWeight = mf::Flag(cans, "CAN_WEIGHT");
    return 1;
  }
  if (m_CanId > 0) m_CanNomQ = 0.0;
  m_CanId = 0;
  return 1;
}

int HFormula::HndlCnt(CMixtable* tables) {
  if (m_Cnt.empty()) return 0;
  int result = 1;
  // The whole list: a cut could fall inside "#12" or "10.5".
  if (m_ClrId == 0 && m_Frm.empty())
    result = ParseCntString(tables, m_Cnt.c_str());
  m_Cnt.clear();
  return result;
}

int HFormula::HndlShl(CMixtable* tables) {
  if (tables == nullptr) return 0;
  Wdbase* cans = tables->Handle(Y_CANS);
  hi::CloseOnExit close(tables, Y_CANS);
  if (!hr::EnsureOpen(tables, cans)) return 0;
  if (m_ShlPos[0] != kShelfUnknown && m_ShlPos[1] != kShelfUnknown &&
      m_ShlPos[2] != kShelfUnknown)
    return 1;
  m_ShlPos[0] = -1, m_ShlPos[1] = 0, m_ShlPos[2] = -1;
  if (m_CanId == 0) return 1;
  char key[16];
  std::snprintf(key, sizeof key, "%5ld", static_cast<long>(m_CanId));
  if (!cans->SelectIdx(1) || cans->Seek(key) != 1 || !mf::OnRecord(cans))
    return 0;
  const int h_min = hr::ToInt(mf::Number(cans, "H_MIN"));
  const int h_max = hr::ToInt(mf::Number(cans, "H_MAX"));
  const int zero = mf::Flag(cans, "ZERO_FLAG");
  const std::string flags = mf::Text(cans, "FLAGS");
  if (!flags.empty() && flags[0] != '0') {
    m_ShlPos[0] = m_ShlPos[1] = m_ShlPos[2] = -2;
  } else {
    m_ShlPos[0] = h_max, m_ShlPos[1] = h_min, m_ShlPos[2] = -3;
  }
  if (zero == 1) m_ShlPos[0] = m_ShlPos[2] = -1;
  return 1;
}

int HFormula::HndlPnc(CMixtable* /*tables*/) {
  if (m_Pnc == -1) m_Pnc = 1;
  return 1;
}
