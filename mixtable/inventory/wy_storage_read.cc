// CWy_StorageManager: reading stored formulas and batches, and the
// location check.

#include <string>

#include "inventory/inventory_text.h"
#include "inventory/record_io.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_storage_manager.h"
#include "mixtable/wy_util.h"

namespace mi = mixtable_inventory;

namespace {

// The text fields of a FRMINV record that must read (a failing read makes
// the record unreadable).
struct FrmTexts {
  std::string formula, frmBase, refl, key1, key2, key3, comment, cuscan;
};

bool ReadTexts(const Wdbase& db, FrmTexts* t) {
  return mi::ReadText(db, "FORMULA", &t->formula) &&
         mi::ReadText(db, "FRM_BASE", &t->frmBase) &&
         mi::ReadText(db, "FRM_REFL", &t->refl) &&
         mi::ReadText(db, "KEY1", &t->key1) &&
         mi::ReadText(db, "KEY2", &t->key2) &&
         mi::ReadText(db, "KEY3", &t->key3) &&
         mi::ReadText(db, "COMMENT", &t->comment) &&
         mi::ReadText(db, "CUSCAN_DES", &t->cuscan);
}

}  // namespace

bool CWy_StorageManager::ReadFormulaRecord(CWy_FormulaInv& out) {
  static const char* kWho = "CWy_StorageManager::GetCurrentFormula";
  if (!IsReady() || m_FrmInv.Eof()) return false;
  const Wdbase& db = m_FrmInv;
  FrmTexts t;
  if (!ReadTexts(db, &t)) {
    Wy_Trace("\n%s ERROR: record %ld cannot be read.", kWho,
             static_cast<long>(db.RecNo()));
    return false;
  }
  const uint32_t dataId = mi::ReadUnsigned(db, "DATAID");
  const double nomQ0 = mi::ReadNumber(db, "NOM_Q0");
  const double unit = mi::ReadNumber(db, "UNIT");
  const double fraction = mi::ReadNumber(db, "FRACTION");
  const double basFillQ = mi::ReadNumber(db, "BASFILLQ");
  const double basFillW = mi::ReadNumber(db, "BASFILLW");
  const double basSpecW = mi::ReadNumber(db, "BASSPEC_W");
  const double fillQC = mi::ReadNumber(db, "FILL_QC");
  const double fillWC = mi::ReadNumber(db, "FILL_WC");
  const int32_t baseId = mi::ReadId(db, "BASE_ID");
  const int32_t clrId = mi::ReadId(db, "CLRID");  // not in the layout: 0
  const int32_t id = mi::ReadId(db, "ID");
  const int32_t canId = mi::ReadId(db, "CAN_ID");
  const int32_t frmBaseId = mi::ReadId(db, "FRM_BASEID");
  const int32_t prdId = mi::ReadId(db, "PROD_ID");
  const int32_t spdId = mi::ReadId(db, "SUBP_ID");
  const int32_t subId = mi::ReadId(db, "SUBSTR_ID");
  const bool weightMode = mi::ReadFlag(db, "WEIGHTMODE");
  const bool basWeight = mi::ReadFlag(db, "BAS_WEIGHT");
  const bool canWeight = mi::ReadFlag(db, "CAN_WEIGHT");

  Wy_Formula f;
  f.SetDataId(dataId, nullptr);
  CMixtable* tables = TablesFor(dataId);

  // Base and can from the data set; what it does not know comes from the
  // record, so that a read-back gives what was written.
  Wy_BaseAndCan bc;
  bc.Set(baseId, canId, tables);
  if (canId <= 0 || bc.CanId != canId) {
    bc.CanId = canId > 0 ? canId : 0;
    bc.Nom_Q = nomQ0;
    bc.CanWeight = canWeight ? 1 : 0;
    if (canId <= 0) bc.CanDescr = t.cuscan;
  }
  if (canId <= 0) {
    bc.Fill_QC = fillQC;
    bc.Fill_WC = fillWC;
  }
  if (baseId > 0 && bc.BasId != baseId) bc.BasId = baseId;
  if (baseId <= 0) {
    Wy_Base frmBase;
    if (frmBaseId > 0 && frmBase.Set(frmBaseId, tables) &&
        !frmBase.BaseFrm.empty()) {
      bc.BasId = 0;
      bc.BaseFrm = frmBase.BaseFrm;
      bc.BaseWeightMode = frmBase.BaseWeightMode;
      bc.BaseIsDispensable = frmBase.BaseIsDispensable;
      bc.BaseFrmId = frmBaseId;
      bc.Spec_W = frmBase.Spec_W;
    } else {
      const int w = basWeight ? 1 : 0;
      bc.SetAsManualBase(t.frmBase.c_str(), &w);
      bc.BaseFrmId = frmBaseId > 0 ? frmBaseId : 0;
      bc.Spec_W = basSpecW;
    }
    bc.Fill_Q = basFillQ;
    bc.Fill_W = basFillW;
  }
  f.SetBaseAndCan(bc);
  f.m_FrmCanWeight = canWeight ? 1 : 0;
  f.SetPrd(nullptr, nullptr, prdId, spdId);
  f.SetSub(subId);
  f.SetUnit(weightMode ? 1 : 0, unit, fraction, 1.0);
  const std::string ident =
      t.key1 + "|" + t.key2 + "|" + t.key3 + "|" + t.comment;
  f.SetFrm(t.formula.c_str(), nomQ0, ident.c_str(), clrId);
  double rfl[HFormulaMembers::kRfl];
  mi::ParseRefl(t.refl, rfl);
  const double none[3] = {-1.0, -1.0, -1.0};
  f.SetX10(none, rfl);
  f.SetX02(none, rfl);

  out.SetFormula(f);
  out.SetFrmInvID(id);
  out.DeleteAllBatches();
  return true;
}

bool CWy_StorageManager::ReadBatchesOf(CWy_FormulaInv& out) {
  const int32_t id = out.GetFrmInvID();
  if (id <= 0) return true;
  const std::string key = mi::IdText(id);
  const int saved = m_Invent.SelectedIdx();
  m_Invent.SelectIdx(2);
  bool ok = true;
  if (m_Invent.Seek(key.c_str()) == 1) {
    for (; !m_Invent.Eof(); m_Invent.Next()) {
      if (mi::ReadId(m_Invent, "FRM_ID") != id) break;
      if (m_Invent.Deleted()) continue;
      CWy_Batch b;
      if (!GetCurrentBatch(b)) {
        ok = false;
        break;
      }
      out.InsertBatch(b);
    }
  }
  // The to-weight factor, computed only for a formula with batches: the
  // formula's total by weight over its total by volume (0 when either
  // cannot be computed). The batches end as read (unmodified).
  double factor = 0.0;
  if (out.GetNumberOfBatches() > 0) {
    const Wy_Formula& f = out.GetFormula();
    CMixtable* tables = TablesFor(f.m_DataId);
    const double vol = f.CalcolateTotalQuantity(tables, false, false);
    const double wgt = f.CalcolateTotalQuantity(tables, true, false);
    if (vol > 0 && wgt > 0) factor = wgt / vol;
  }
  for (int i = 0; i < out.GetNumberOfBatches(); ++i) {
    CWy_Batch b;
    out.GetBatch(b, i);
    b.SetToWeightConversionFactor(factor);
    b.SetIsModify(false);
    out.SetBatch(b, i);
  }
  m_Invent.SelectIdx(saved);
  return ok;
}

bool CWy_StorageManager::GetCurrentFormula(CWy_FormulaInv& out,
                                           bool withBatches) {
  if (!ReadFormulaRecord(out)) return false;
  if (!withBatches) return true;
  if (!ReadBatchesOf(out)) {
    Wy_Trace("\n%s ERROR: the batches of formula %ld cannot be read.",
             "CWy_StorageManager::GetCurrentFormula",
             static_cast<long>(out.GetFrmInvID()));
    return false;
  }
  return true;
}

bool CWy_StorageManager::GetCurrentBatch(CWy_Batch& out) {
  if (!IsReady() || m_Invent.Eof()) return false;
  const Wdbase& db = m_Invent;
  std::string name, locX, locY, locZ, quality, comment, refl, barcode;
  if (!mi::ReadText(db, "BATCH_NAME", &name) ||
      !mi::ReadText(db, "LOCATION_X", &locX) ||
      !mi::ReadText(db, "LOCATION_Y", &locY) ||
      !mi::ReadText(db, "LOCATION_Z", &locZ) ||
      !mi::ReadText(db, "QUALITY", &quality) ||
      !mi::ReadText(db, "COMMENT", &comment) ||
      !mi::ReadText(db, "FRM_REFL", &refl) ||
      !mi::ReadText(db, "BARCODE", &barcode)) {
    Wy_Trace("\n%s ERROR: record %ld cannot be read.",
             "CWy_StorageManager::GetCurrentBatch",
             static_cast<long>(db.RecNo()));
    return false;
  }
  CWy_Batch b;
  b.SetBatchAbsID(mi::ReadId(db, "ID"));
  b.SetBatchIndex(mi::ReadId(db, "BATCH_INDX"));
  b.SetBatchName(name);
  b.SetQuantity(mi::ReadNumber(db, "CUR_Q"));
  b.SetWeightMode(mi::ReadFlag(db, "WEIGHTMODE"));
  b.SetLocationX(locX);
  b.SetLocationY(locY);
  b.SetLocationZ(locZ);
  b.SetQuality(quality);
  b.SetComment(comment);
  b.SetFrmRefl(refl);
  b.SetFrmBarCode(barcode);
  b.SetProdDate(mi::ReadDate(db, "DATA_IN"));
  b.SetExpDate(mi::ReadDate(db, "DATA_OUT"));
  b.SetReflSettingDate(mi::ReadDate(db, "LAST_READ"));
  b.SetIsModify(false);
  out = b;
  return true;
}

bool CWy_StorageManager::GetFormulaOfCurrentBatch(CWy_FormulaInv& out) {
  if (!IsReady() || m_Invent.Eof()) return false;
  const int32_t frmId = mi::ReadId(m_Invent, "FRM_ID");
  if (!SeekFormula(frmId)) {
    Wy_Trace("\n%s ERROR: no formula %ld for batch %ld.",
             "CWy_StorageManager::GetFormulaOfCurrentBatch",
             static_cast<long>(frmId),
             static_cast<long>(mi::ReadId(m_Invent, "ID")));
    return false;
  }
  return GetCurrentFormula(out, false);
}

bool CWy_StorageManager::CheckUniqueLocation(const CWy_Batch& batch) {
  if (!IsReady()) return false;
  const std::string& x = batch.GetLocationX();
  if (x.empty()) return true;
  // Compared as the fields store them.
  const std::string sx = mi::AsStored(x, m_Invent.FieldLen("LOCATION_X"));
  const std::string sy =
      mi::AsStored(batch.GetLocationY(), m_Invent.FieldLen("LOCATION_Y"));
  const std::string sz =
      mi::AsStored(batch.GetLocationZ(), m_Invent.FieldLen("LOCATION_Z"));
  Wdbase walk;
  if (!walk.SetFiles(m_Invent.GetPath(), m_Invent.GetName(0), 0, nullptr,
                     nullptr) ||
      !walk.Open())
    return false;
  bool unique = true;
  for (int ok = walk.Top(); ok && !walk.Eof(); ok = walk.Next()) {
    if (walk.Deleted()) continue;
    std::string lx, ly, lz;
    if (!mi::ReadText(walk, "LOCATION_X", &lx) ||
        !mi::ReadText(walk, "LOCATION_Y", &ly) ||
        !mi::ReadText(walk, "LOCATION_Z", &lz)) {
      unique = false;
      break;
    }
    if (lx == sx && ly == sy && lz == sz &&
        mi::ReadId(walk, "ID") != batch.GetBatchAbsID()) {
      unique = false;
      break;
    }
  }
  walk.Close();
  return unique;
}
