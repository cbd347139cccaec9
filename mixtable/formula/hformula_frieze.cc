// HFormula::Frieze and HFormula::Defrieze: capturing a formula from the
// current records of a table set, and positioning a table set on the records
// a formula refers to.
//
// Frieze reads the formula record of FRM or ARCHIVE with its base, can and
// reflectance through temporary opens, so every table it touches is left as
// it found it. Defrieze closes every table first and leaves open exactly the
// tables whose record it found.

#include <cstdio>
#include <string>

#include "access/table_fields.h"
#include "formula/hformula_lookup.h"
#include "mixtable/hformula.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_base_can.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_frm.h"
#include "mixtable/wy_util.h"

namespace {

namespace fields = mixtable_fields;
using hformula_internal::ColorKeyText;
using hformula_internal::ReadReflFromTable;
using hformula_internal::ReadReflFromText;

// The unit name the trace texts give.
constexpr const char* kUnit = "WY_HfrFrieze";
// The source of formulas taken from another data set's FRM (kept through
// Frieze like the standard source).
constexpr int kSourceLinked = 8;
// Characters of product and sub-product names, and of a custom can's
// description.
constexpr size_t kNameWidth = 127;
constexpr size_t kCustomCanWidth = 24;

bool OnRecord(Wdbase* db) { return fields::OnRecord(db); }

// ID and DESCR of the current record of db.
void TakeIdAndName(Wdbase* db, int32_t* id, std::string* name) {
  *id = fields::Id(db, "ID");
  *name = fields::Text(db, "DESCR", kNameWidth);
}

// Everything step 4 reads from the formula or archive record.
struct Captured {
  Wy_Frm vec;
  Wy_Base base;
  Wy_Can can;
  int32_t prod_id = 0, subp_id = 0;  // of an archive record
  double rfl[HFormulaMembers::kRfl] = {};
  bool have_xyz = false;
  double x02[3] = {}, x10[3] = {};
};

// Reads the current record of table `which` (Y_FRM or Y_ARCHIVE) into c.
void ReadRecord(CMixtable* tables, int which, Captured* c) {
  Wdbase* rec = tables->Handle(which);
  const bool archive = which == Y_ARCHIVE;
  if (archive) {
    c->prod_id = fields::Id(rec, "PROD_ID");
    c->subp_id = fields::Id(rec, "SUBP_ID");
  }
  c->vec.read(tables, which);

  const int32_t base_id = fields::Id(rec, "BASE_ID");
  if (base_id > 0) c->base.Set(base_id, tables);
  if (archive) {
    if (base_id == 0) {
      const int32_t frm_base = fields::Id(rec, "FRM_BASEID");
      if (frm_base > 0) {
        c->base.Set(frm_base, tables);
        c->base.BasId = 0;
        c->base.BaseFrmId = frm_base;
      } else {
        c->base.BaseFrm = fields::Text(rec, "FRM_BASE");
        c->base.BaseWeightMode = fields::Flag(rec, "BAS_WEIGHT");
        c->base.Spec_W = fields::Number(rec, "BASSPEC_W");
      }
      c->base.Fill_Q = fields::Number(rec, "BASFILLQ");
      c->base.Fill_W = fields::Number(rec, "BASFILLW");
    }
    // After loading: loading a base clears its custom fills.
    c->base.Fill_QC = fields::Number(rec, "FILL_QC");
    c->base.Fill_WC = fields::Number(rec, "FILL_WC");
  }

  const int32_t can_id = fields::Id(rec, "CAN_ID");
  if (can_id <= 0 || !c->can.Set(can_id, tables)) {
    c->can.Clear();
    c->can.CanWeight = fields::Flag(rec, "CAN_WEIGHT");
    c->can.Nom_Q = fields::Number(rec, "NOM_Q0");
    if (archive)
      c->can.CanDescr = fields::Text(rec, "CUSCAN_DES", kCustomCanWidth);
  }

  const int32_t id = fields::Id(rec, "ID");
  if (archive || id == 0) {
    ReadReflFromText(rec, c->rfl);
  } else {
    Wdbase* refl = tables->Handle(Y_FRM_REFL);
    uint32_t state = 0;
    if (tables->TmpOpen(refl, &state)) ReadReflFromTable(refl, id, c->rfl);
    tables->TmpClose(refl, &state);
  }

  if (fields::Has(rec, "X_10")) {
    c->have_xyz = true;
    const char* x02[3] = {"X_02", "Y_02", "Z_02"};
    const char* x10[3] = {"X_10", "Y_10", "Z_10"};
    for (int i = 0; i < 3; ++i) {
      c->x02[i] = fields::Number(rec, x02[i]);
      c->x10[i] = fields::Number(rec, x10[i]);
    }
  }
}

}  // namespace

int HFormula::Frieze(CMixtable* tables) {
  if (tables == nullptr) return 0;
  const HF_DATASOURCE_TYPE source = m_Source;
  Clear();

  // 1. The data set.
  m_DataId = tables->GetDataId();
  {
    std::string path, descr;
    if (Wy_DataPath(m_DataId, path, descr)) m_DataIdText = descr;
  }

  // 2. Product and sub-product.
  Wdbase* prd = tables->Handle(Y_PRODUCTS);
  Wdbase* spd = tables->Handle(Y_SUBPRODS);
  if (OnRecord(prd)) TakeIdAndName(prd, &m_PrdId, &m_PrdName);
  if (OnRecord(spd)) TakeIdAndName(spd, &m_SpdId, &m_SpdName);
  Wy_Trace("%s %s %d Prd %ld Spd %ld \n", "HFormula::Frieze ", kUnit, __LINE__,
           static_cast<long>(m_PrdId), static_cast<long>(m_SpdId));

  // 3. The formula's identity.
  Wdbase* frm = tables->Handle(Y_FRM);
  Wdbase* archive = tables->Handle(Y_ARCHIVE);
  const bool frm_open = frm->IsOpen(0) != 0;
  const bool archive_open = archive->IsOpen(0) != 0;
  if (frm_open && !archive_open && OnRecord(frm)) {
    m_ClrId = fields::Id(frm, "ID");
    m_ClrName = ColorKeyText(frm);
    m_Source =
        static_cast<int>(source) == kSourceLinked ? source : HF_SOURCE_STANDARD;
  } else if (archive_open && !frm_open && OnRecord(archive)) {
    m_ClrId = fields::Id(archive, "ID");
    m_ClrName = ColorKeyText(archive);
    m_Source = HF_SOURCE_CUSTOM;
  }

  // 4. The formula record.
  Captured c;
  const bool from_archive = OnRecord(archive);
  if (from_archive) {
    ReadRecord(tables, Y_ARCHIVE, &c);
  } else if (OnRecord(frm)) {
    ReadRecord(tables, Y_FRM, &c);
  } else {
    Wy_Trace("HFormula: failed reading from FRM");
    m_BaseLinked = 0;
  }
  m_Frm = c.vec.m_Frm.get();
  for (int i = 0; i < kRfl; ++i) m_Rfl[i] = c.rfl[i];
  if (c.have_xyz)
    for (int i = 0; i < 3; ++i) {
      m_X02[i] = c.x02[i];
      m_X10[i] = c.x10[i];
    }

  // 5. Units of the formula's quantities.
  const Wy_Units& u = c.vec.GetUnits();
  m_WeightMode = u.m_bWeightMode ? 1 : 0;
  m_WgFraction2 = m_VlFraction2 = 1.0;
  if (m_WeightMode == 1) {
    m_WgUnit = u.m_dUnit;
    m_WgFraction = u.m_dFraction;
    m_WgFraction2 = u.m_dFraction2;
  } else {
    m_VlUnit = u.m_dUnit;
    m_VlFraction = u.m_dFraction;
    m_VlFraction2 = u.m_dFraction2;
  }

  // 6. The base.
  const Wy_Base& b = c.base;
  if (b.BasId == 0 && b.BaseFrm.empty()) {
    m_BasName.clear();
    m_Fill_Q = m_Fill_W = m_Fill_QC = m_Fill_WC = m_Spec_W = 0.0;
    m_BaseFrm.clear();
    m_BaseFrmWeight = 0;
    m_BaseFrmId = 0;
    m_BaseDispensable = 1;
  } else {
    m_BasId = b.BasId;
    m_BasName = b.BaseDescr;
    m_Fill_Q = b.Fill_Q;
    m_Fill_W = b.Fill_W;
    m_Fill_QC = b.Fill_QC;
    m_Fill_WC = b.Fill_WC;
    m_Spec_W = b.Spec_W;
    m_BaseFrm = b.BaseFrm;
    m_BaseFrmWeight = b.BaseWeightMode;
    m_BaseFrmId = b.BaseFrmId;
    m_BaseDispensable = b.BaseIsDispensable;
  }

  // 7. The can the quantities refer to, and the target can.
  m_FrmNomQ = c.vec.m_Nom_Q0;
  m_FrmCanWeight = c.vec.m_CanWeight0;
  // A formula of FRM with a custom can: the vector knows no can, the record
  // does (CAN_WEIGHT, NOM_Q0); without it the quantities could not be used.
  if (c.can.CanId == 0 && m_FrmNomQ <= 0.0) {
    m_FrmNomQ = c.can.Nom_Q;
    m_FrmCanWeight = c.can.CanWeight;
  }
  if (c.can.CanId == 0) {
    m_CanId = 0;
    m_CanName = c.can.CanDescr;
    m_CanWeight = m_FrmCanWeight;
    m_CanNomQ = m_FrmNomQ;
  } else {
    m_CanId = c.can.CanId;
    m_CanName = c.can.CanDescr;
    m_CanWeight = c.can.CanWeight;
    m_CanNomQ = c.can.Nom_Q;
  }

  // 8. An archive record stored under another product or sub-product than
  // the selected ones: take them from the record (custom recovery). Only a
  // record actually read from the archive has ids to recover.
  if (from_archive && (c.prod_id != m_PrdId || c.subp_id != m_SpdId)) {
    Wy_Trace("%s %s %d h__CustomRecover!!\n", "HFormula::Frieze ", kUnit,
             __LINE__);
    Wy_Trace("%ld != this->%ld; %ld != this->%ld\n",
             static_cast<long>(c.prod_id), static_cast<long>(m_PrdId),
             static_cast<long>(c.subp_id), static_cast<long>(m_SpdId));
    CMixtable own(*tables);
    Wdbase* p = own.Handle(Y_PRODUCTS);
    Wdbase* s = own.Handle(Y_SUBPRODS);
    m_PrdId = m_SpdId = 0;
    m_PrdName.clear();
    m_SpdName.clear();
    if (c.prod_id > 0 && own.Open(p) && own.Select(p, c.prod_id)) {
      TakeIdAndName(p, &m_PrdId, &m_PrdName);
      if (c.subp_id > 0 && own.Open(s) && own.Select(s, c.subp_id))
        TakeIdAndName(s, &m_SpdId, &m_SpdName);
    }
    own.CloseAll();
  }
  return 1;
}

int HFormula::Defrieze(CMixtable* tables) {
  if (tables == nullptr) return 0;
  tables->CloseAll();
  // A set made for a directory keeps it when it is already at this id.
  if (tables->GetDataId() != m_DataId) tables->SetDataId(m_DataId);
  int result = 1;

  // Opens table and selects id on it; a failure closes the table again.
  auto open_select = [tables](int table, int32_t id) {
    Wdbase* db = tables->Handle(table);
    if (tables->Open(db) && tables->Select(db, id)) return true;
    if (db->IsOpen(0)) db->Close();
    return false;
  };

  // 1. Product and sub-product.
  bool failed = false;
  if (m_PrdId != 0 && !open_select(Y_PRODUCTS, m_PrdId)) failed = true;
  if (m_SpdId != 0 && !open_select(Y_SUBPRODS, m_SpdId)) failed = true;
  if (failed) {
    result = 0;
    Wy_Trace("%s %s %d could not resolve Prd/Spd. %ld %ld \n",
             "HFormula::Defrieze", kUnit, __LINE__, static_cast<long>(m_PrdId),
             static_cast<long>(m_SpdId));
  }

  // 2. The formula record, and for a formula of FRM its reflectance.
  if (m_ClrId != 0) {
    const bool custom = m_Source == HF_SOURCE_CUSTOM;
    if (!open_select(custom ? Y_ARCHIVE : Y_FRM, m_ClrId)) {
      result = 0;
      Wy_Trace("%s %s %d could not resolve Frm Id %ld.\n", "HFormula::Defrieze",
               kUnit, __LINE__, static_cast<long>(m_ClrId));
    } else if (m_Source == HF_SOURCE_STANDARD ||
               static_cast<int>(m_Source) == kSourceLinked) {
      Wdbase* refl = tables->Handle(Y_FRM_REFL);
      if (tables->Open(refl)) {
        char key[32];
        std::snprintf(key, sizeof key, "%5ld", static_cast<long>(m_ClrId));
        refl->SelectIdx(1);
        // Not found: past the last record, so that it stands on none.
        if (refl->Seek(key) != 1) refl->Goto(refl->RecCount() + 1);
      }
    }
  }

  // 3. Base and can.
  if (m_BasId != 0 && !open_select(Y_BASES, m_BasId)) result = 0;
  if (m_CanId != 0 && !open_select(Y_CANS, m_CanId)) result = 0;
  return result;
}
