// HFormula::HndlClr: the formula record itself, from the formula table or,
// for a custom formula, from the archive.

#include <string>

#include "access/table_fields.h"
#include "formula/hformula_lookup.h"
#include "formula/hformula_resolve_util.h"
#include "mixtable/hformula.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_frm.h"

namespace mf = mixtable_fields;
namespace hi = hformula_internal;

namespace {

bool IsStandard(HF_DATASOURCE_TYPE s) {
  return s == HF_SOURCE_STANDARD || static_cast<int>(s) == 8;
}

// Opens table `table` of the set and selects id; false (table closed) when
// either fails.
bool OpenAndSelect(CMixtable* tables, int table, int32_t id) {
  Wdbase* db = tables->Handle(table);
  if (id > 0 && hr::EnsureOpen(tables, db) && tables->Select(db, id))
    return true;
  hr::Close(tables, table);
  return false;
}

}  // namespace

int HFormula::HndlClr(CMixtable* tables) {
  if (tables == nullptr) return 0;
  tables->CloseAll();
  hi::CloseAllOnExit guard(tables);
  if (m_ClrId <= 0) {
    if (IsStandard(m_Source) || m_Source == HF_SOURCE_CUSTOM)
      m_Source = HF_SOURCE_MANUAL;
    return 1;
  }

  // 1. Product and sub-product: they place the formula tables.
  // When the sub-product is not found both are closed: the formula is
  // then read at the data set's root.
  OpenAndSelect(tables, Y_PRODUCTS, m_PrdId);
  const bool positioned = OpenAndSelect(tables, Y_SUBPRODS, m_SpdId);
  if (!positioned) hr::Close(tables, Y_PRODUCTS);

  // 2. The formula record.
  const bool custom = m_Source == HF_SOURCE_CUSTOM;
  const int which = custom ? Y_ARCHIVE : Y_FRM;
  hr::Close(tables, custom ? Y_FRM : Y_ARCHIVE);
  Wdbase* rec = tables->Handle(which);
  const bool found = OpenAndSelect(tables, which, m_ClrId);
  double rfl[hi::kReflValues] = {};
  bool rfl_found = false;
  int32_t can_id = 0, base_id = 0;
  if (found) {
    can_id = mf::Id(rec, "CAN_ID");
    base_id = mf::Id(rec, "BASE_ID");
    if (custom) {
      if (!positioned) {
        ResetUnits();
        m_WeightMode = mf::Flag(rec, "WEIGHTMODE");
        SetUnit(m_WeightMode, mf::Number(rec, "UNIT"),
                mf::Number(rec, "FRACTION"), 1.0);
      }
      m_Sub = Wy_Substrate();
      const int32_t sub = mf::Id(rec, "SUBSTR_ID");
      if (sub > 0) m_Sub.SetID(sub);
      rfl_found = hi::ReadReflFromText(rec, rfl) != 0;
    } else {
      Wdbase* refl = tables->Handle(Y_FRM_REFL);
      rfl_found = hr::EnsureOpen(tables, refl) &&
                  hi::ReadReflFromTable(refl, m_ClrId, rfl);
    }
  }

  // 3. Its base and can.
  Wdbase* bases = tables->Handle(Y_BASES);
  Wdbase* cans = tables->Handle(Y_CANS);
  const bool base_found = OpenAndSelect(tables, Y_BASES, base_id);
  const bool can_found = OpenAndSelect(tables, Y_CANS, can_id);

  if (!found) {
    // 5. A formula id that does not exist: the formula is manual.
    m_Source = HF_SOURCE_MANUAL;
    m_ClrId = 0;
    m_Frm.clear();
    m_FrmNomQ = 0.0;
    m_BaseLinked = 0;
    return 0;
  }

  // 4. The formula.
  m_ClrName = hi::ColorKeyText(rec);
  Wy_Frm vector;
  if (vector.read(tables, which))
    m_Frm = vector.m_Frm.get();
  else
    m_Frm.clear();
  if (base_found && m_BasId == 0) {
    m_BasId = base_id;
    m_BasName = hr::Descr(bases, hr::kShortName);
    m_Fill_Q = mf::Number(bases, "FILL_Q");
    m_Fill_W = mf::Number(bases, "FILL_W");
    m_Spec_W = mf::Number(bases, "SPEC_W");
    m_BaseFrmId = m_BasId;
    m_BaseDispensable = 1;
    LoadBaseFrm(tables);
  }
  if (custom && m_BasId == 0) {
    // The manual base the archive record carries.
    m_BaseFrmId = mf::Id(rec, "FRM_BASEID");
    Wy_Base base;
    if (m_BaseFrmId > 0) {
      if (base.Set(m_BaseFrmId, tables)) {
        m_BaseFrm = base.BaseFrm;
        m_Spec_W = base.Spec_W;
        m_BaseDispensable = base.BaseIsDispensable;
        m_BaseFrmWeight = base.BaseWeightMode;
      }
    } else {
      m_BaseFrm = mf::Text(rec, "FRM_BASE", hr::kBaseFrmText);
      m_BaseFrmWeight = mf::Flag(rec, "BAS_WEIGHT");
      m_Spec_W = mf::Number(rec, "BASSPEC_W");
    }
    m_Fill_Q = mf::Number(rec, "BASFILLQ");
    m_Fill_W = mf::Number(rec, "BASFILLW");
  }
  if (can_found) {
    m_FrmNomQ = mf::Number(cans, "NOM_Q");
    m_FrmCanWeight = mf::Flag(cans, "CAN_WEIGHT");
  } else if (can_id <= 0) {
    // A custom can: the quantities refer to the can the record describes
    // (NOM_Q0, CAN_WEIGHT where the table has them).
    m_FrmNomQ = mf::Number(rec, "NOM_Q0");
    m_FrmCanWeight = mf::Flag(rec, "CAN_WEIGHT");
  }
  if (rfl_found)
    for (int i = 0; i < hi::kReflValues; ++i) m_Rfl[i] = rfl[i];
  const char* x02[3] = {"X_02", "Y_02", "Z_02"};
  const char* x10[3] = {"X_10", "Y_10", "Z_10"};
  for (int i = 0; i < 3; ++i) {
    m_X02[i] = mf::Number(rec, x02[i]);
    m_X10[i] = mf::Number(rec, x10[i]);
  }
  return 1;
}
