// The record writers of the archive and the history: one record of a
// formula appended to any open table with the layout.
//
// Everything that could make a record wrong is checked before AppendBlank
// (a text cut at its field's width doses wrongly, a missing unit makes the
// quantities meaningless, an id above 99999 would be cut to a duplicate);
// a write that fails after the append deletes the partial record.

#include <strings.h>

#include <cstdio>
#include <string>

#include "formula/hformula_history_impl.h"
#include "mixtable/hformula_history.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_formula.h"

using hformula_impl::WriteDataId;
using hformula_impl::WriteFlag;
using hformula_impl::WriteId;

namespace {

// What both writers compute before appending.
struct Prepared {
  Wy_BaseAndCan bc;
  bool manualBase = false;
  double unit = 0, fraction = 0;
  std::string refl;
};

// The checks that come before AppendBlank; false refuses the append.
bool Prepare(const Wy_Formula& f, const Wdbase& db, const char* textField,
             Prepared* p) {
  const int width = db.FieldLen(textField);
  if (f.m_Frm.empty() || static_cast<int>(f.m_Frm.size()) > width) return false;
  f.GetBaseAndCan(p->bc);
  p->manualBase = p->bc.BasId <= 0;
  if (p->manualBase && p->bc.BaseFrmId <= 0 &&
      static_cast<int>(p->bc.BaseFrm.size()) > db.FieldLen("FRM_BASE"))
    return false;
  double fraction2 = 0;
  const int got = f.GetWeightMode() == 1
                      ? f.GetWgUnits(&p->unit, &p->fraction, &fraction2)
                      : f.GetVlUnits(&p->unit, &p->fraction, &fraction2);
  if (got != 1 || !(p->unit > 0) || !(p->fraction > 0)) return false;
  p->refl = hformula_impl::FormatRefl(f.m_Rfl, db.FieldLen("FRM_REFL"));
  return true;
}

// The manual-base fields, written without checks.
void WriteManualBase(Wdbase* db, const Wy_BaseAndCan& bc) {
  if (bc.BaseFrmId > 0) {
    WriteId(db, "FRM_BASEID", bc.BaseFrmId);
  } else {
    db->WriteString("FRM_BASE", bc.BaseFrm.c_str());
  }
  WriteFlag(db, "BAS_WEIGHT", bc.BaseWeightMode);
  db->WriteDouble("BASSPEC_W", bc.Spec_W);
  db->WriteDouble("BASFILLQ", bc.Fill_Q);
  db->WriteDouble("BASFILLW", bc.Fill_W);
}

// Coordinates, or -1 for a triple the formula does not give.
bool WriteCoordinates(Wdbase* db, const double* xyz, const char* const* names) {
  const bool given = xyz[0] > 0 || xyz[1] > 0 || xyz[2] > 0;
  bool ok = true;
  for (int i = 0; i < 3; ++i)
    ok = db->WriteDouble(names[i], given ? xyz[i] : -1.0) && ok;
  return ok;
}

// The archive fields after AppendBlank; false at the first checked write
// that fails.
bool FillArchive(const Wy_Formula& f, const Prepared& p, int32_t id,
                 Wdbase* db) {
  if (!WriteId(db, "ID", id)) return false;
  if (!WriteDataId(db, "DATAID", Wy_GetAbsDataId(f.m_DataId))) return false;
  if (!WriteId(db, "PROD_ID", f.m_PrdId)) return false;
  if (!WriteId(db, "SUBP_ID", f.m_SpdId)) return false;
  const Wy_BaseAndCan& bc = p.bc;
  WriteId(db, "BASE_ID", bc.BasId);
  WriteId(db, "CAN_ID", bc.CanId > 0 ? bc.CanId : 0);
  db->WriteDouble("NOM_Q0", bc.Nom_Q);
  WriteFlag(db, "CAN_WEIGHT", bc.CanWeight);
  if (bc.CanId > 0) {
    db->WriteDouble("FILL_QC", 0.0);
    db->WriteDouble("FILL_WC", 0.0);
  } else {
    db->WriteDouble("FILL_QC", bc.Fill_QC);
    db->WriteDouble("FILL_WC", bc.Fill_WC);
    db->WriteString("CUSCAN_DES", bc.CanDescr.c_str());
  }
  const int32_t sub = f.GetSub();
  WriteId(db, "SUBSTR_ID", sub > 0 ? sub : 0);
  if (p.manualBase) WriteManualBase(db, bc);
  if (!db->WriteString("FORMULA", f.m_Frm.c_str())) return false;
  if (!WriteFlag(db, "WEIGHTMODE", f.GetWeightMode() == 1)) return false;
  if (!db->WriteDouble("UNIT", p.unit)) return false;
  if (!db->WriteDouble("FRACTION", p.fraction)) return false;
  std::string k1, k2, k3, comment;
  f.ClrTok(&k1, &k2, &k3, &comment);
  if (!db->WriteString("KEY1", k1.c_str()) ||
      !db->WriteString("KEY2", k2.c_str()) ||
      !db->WriteString("KEY3", k3.c_str()) ||
      !db->WriteString("COMMENT", comment.c_str()))
    return false;
  static const char* const k02[] = {"X_02", "Y_02", "Z_02"};
  static const char* const k10[] = {"X_10", "Y_10", "Z_10"};
  if (!WriteCoordinates(db, f.m_X02, k02)) return false;
  if (!WriteCoordinates(db, f.m_X10, k10)) return false;
  db->WriteString("FRM_REFL", p.refl.c_str());
  return db->WriteString("DATA1", hformula_impl::Today().c_str()) != 0;
}

// Highest ID of db (0 for an empty table): the last key of the first index
// when it is on ID, else a pass over every record. Changes the selected
// index and the position.
int32_t LastId(Wdbase* db) {
  const char* expr = db->GetIdxCount() >= 1 ? db->GetIdxExpr(1) : nullptr;
  if (expr != nullptr && strcasecmp(expr, "ID") == 0 && db->SelectIdx(1)) {
    if (!db->Bottom() || db->Eof()) return 0;
    return db->ReadLong("ID");
  }
  db->SelectIdx(0);
  int32_t last = 0;
  for (int more = db->Top(); more && !db->Eof(); more = db->Next()) {
    const int32_t id = db->ReadLong("ID");
    if (id > last) last = id;
  }
  return last;
}

}  // namespace

int hformula_ArchiveAddAndFillRecord(const Wy_Formula* f, Wdbase* db,
                                     int32_t* newId, bool callerLocked) {
  if (newId != nullptr) *newId = 0;
  if (f == nullptr || db == nullptr || !db->IsOpen(0)) return 0;
  Prepared p;
  if (!Prepare(*f, *db, "FORMULA", &p)) return 0;
  // One flush for the whole record; the switch is restored on every path.
  hformula_impl::AutoFlushOff flush(db);
  if (!callerLocked && !db->Lock()) return 0;
  const int order = db->SelectedIdx();
  const int32_t id = LastId(db) + 1;
  bool ok = id <= kHfMaxArchiveId && db->AppendBlank();
  int32_t recno = 0;
  if (ok) {
    recno = db->RecNo();
    ok = FillArchive(*f, p, id, db);
    if (!ok) db->Delete();
  }
  db->SelectIdx(order);
  if (recno > 0) db->Goto(recno);
  if (!callerLocked) ok = db->Unlock() && ok;
  if (ok && newId != nullptr) *newId = id;
  return ok ? 1 : 0;
}

int hformula_HistoryAddAndFillRecord(const Wy_Formula* f, Wdbase* db) {
  if (f == nullptr || db == nullptr || !db->IsOpen(0)) return 0;
  Prepared p;
  if (!Prepare(*f, *db, "FRM", &p)) return 0;
  // Held whole until Unlock: no reader meets a half-filled record.
  hformula_impl::AutoFlushOff flush(db);
  if (!db->Lock()) return 0;
  if (!db->AppendBlank()) {
    db->Unlock();
    return 0;
  }
  bool ok =
      WriteDataId(db, "DATAID", Wy_GetAbsDataId(f->m_DataId)) &&
      db->WriteDouble("DATAVER", hformula_impl::DataVersion(f->m_DataId)) &&
      db->WriteString("DATA", hformula_impl::Today().c_str()) &&
      db->WriteString("TIME", hformula_impl::NowTime().c_str()) &&
      WriteId(db, "PRDID", f->m_PrdId) && WriteId(db, "SPDID", f->m_SpdId) &&
      WriteId(db, "CLRID",
              f->GetFormulaSource() == HF_SOURCE_CUSTOM ? 0 : f->m_ClrId) &&
      db->WriteString("CLRDESCR", f->m_ClrName.c_str()) &&
      db->WriteString("FRM", f->m_Frm.c_str()) &&
      db->WriteDouble("NOM_Q0", f->m_FrmNomQ) &&
      WriteFlag(db, "CAN_WEIGH0", f->m_FrmCanWeight) &&
      WriteFlag(db, "WEIGHTMODE", f->GetWeightMode() == 1) &&
      db->WriteDouble("UNIT", p.unit) &&
      db->WriteDouble("FRACTION", p.fraction) &&
      db->WriteLong("NDISP", f->m_Lqnt) &&
      WriteId(db, "DISP_ID", static_cast<int32_t>(Wy_SlaveId(f->m_DataId)));
  if (!ok) {
    db->Delete();
    db->Unlock();
    return 0;
  }
  const Wy_BaseAndCan& bc = p.bc;
  const bool custom = bc.CanId <= 0;
  WriteId(db, "BASID", bc.BasId);
  db->WriteDouble("NOM_Q", bc.Nom_Q);
  WriteFlag(db, "CAN_WEIGHT", bc.CanWeight);
  db->WriteDouble("BAS_FQ", custom && bc.Fill_QC > 0 ? bc.Fill_QC : bc.Fill_Q);
  db->WriteDouble("BAS_FW", custom && bc.Fill_WC > 0 ? bc.Fill_WC : bc.Fill_W);
  WriteId(db, "CANID", custom ? 0 : bc.CanId);
  if (custom) db->WriteString("CUSCAN_DES", bc.CanDescr.c_str());
  if (p.manualBase) WriteManualBase(db, bc);
  db->WriteString("FRM_REFL", p.refl.c_str());
  return db->Unlock();
}
