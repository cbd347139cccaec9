// CWy_StorageManager: storing formulas and batches, rewriting and erasing
// them.
//
// Every change runs under the whole-file locks of the tables it touches,
// FRMINV before INVENT when both are needed, with the engine's auto-flush
// switched off (and restored, with a flush, on every path): records and
// index entries appended under a lock are written in one piece on Unlock.
// The permanent indexes serve every search (the engine keeps them current
// on every write), so no index is built per call.

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "inventory/inventory_text.h"
#include "inventory/record_io.h"
#include "mixtable/hformula_history.h"
#include "mixtable/wy_storage_manager.h"
#include "mixtable/wy_util.h"

namespace mi = mixtable_inventory;

namespace {

// Switches the process-wide auto-flush off for a scope and puts the
// previous setting back on the way out. When it was on, the tables are
// flushed then (the caller counts on every change being on disk); when a
// caller had switched it off for a bulk pass, flushing is left to that
// caller, as it asked.
class FlushOff {
 public:
  FlushOff(Wdbase& a, Wdbase& b) : a_(a), b_(b), prev_(Wdbase::FlushSet(0)) {}
  ~FlushOff() {
    Wdbase::FlushSet(prev_);
    if (prev_ == 0) return;
    if (a_.IsOpen(0)) a_.Flush();
    if (b_.IsOpen(0)) b_.Flush();
  }
  FlushOff(const FlushOff&) = delete;
  FlushOff& operator=(const FlushOff&) = delete;

 private:
  Wdbase& a_;
  Wdbase& b_;
  int prev_;
};

// A table's whole-file lock for a scope.
class TableLock {
 public:
  explicit TableLock(Wdbase& db) : db_(db), held_(db.Lock() != 0) {}
  ~TableLock() {
    if (held_) db_.Unlock();
  }
  TableLock(const TableLock&) = delete;
  TableLock& operator=(const TableLock&) = delete;
  bool held() const { return held_; }

 private:
  Wdbase& db_;
  bool held_;
};

// Removes the records appended after count (the caller holds the lock, so
// they are the ones it appended).
void RemoveAppended(Wdbase& db, int32_t count) {
  const int32_t now = db.RecCount();
  if (now > count) db.Zap(count + 1, now);
}

// The position of the batch with that index, or -1.
int PositionOf(const CWy_FormulaInv& formula, int index) {
  for (int i = 0; i < formula.GetNumberOfBatches(); ++i) {
    CWy_Batch b;
    formula.GetBatch(b, i);
    if (b.GetBatchIndex() == index) return i;
  }
  return -1;
}

}  // namespace

int32_t CWy_StorageManager::GetNewInventoryID() {
  const int saved = m_Invent.SelectedIdx();
  const int32_t recno = m_Invent.Eof() ? 0 : m_Invent.RecNo();
  int32_t last = 0;
  m_Invent.SelectIdx(1);
  // Ids are right-aligned, so the last key holds the largest; blank or
  // unreadable ids are passed over.
  for (int ok = m_Invent.Bottom(); ok && !m_Invent.Bof() && !m_Invent.Eof();
       ok = m_Invent.Previous()) {
    last = mi::ReadId(m_Invent, "ID");
    if (last > 0) break;
    if (mi::ReadOptionalText(m_Invent, "ID").empty()) break;  // blanks first
  }
  m_Invent.SelectIdx(saved);
  if (recno > 0) m_Invent.Goto(recno);
  if (last < 0) last = 0;
  return last + 1;
}

bool CWy_StorageManager::UpdateSingleBatch(CWy_FormulaInv& formula, int index,
                                           bool newId) {
  static const char* kWho = "CWy_StorageManager::UpdateSingleBatch";
  const int pos = PositionOf(formula, index);
  if (pos < 0 || !IsReady() || m_Invent.Eof()) return false;
  CWy_Batch b;
  formula.GetBatch(b, pos);
  const int32_t id = newId ? GetNewInventoryID() : b.GetBatchAbsID();
  if (id <= 0 || id > kMaxId) {
    Wy_Trace("\n%s ERROR: batch id %ld out of range.", kWho,
             static_cast<long>(id));
    return false;
  }
  // The batch's own label code; a new one (the time) only when it has none,
  // so that a rewrite never changes a printed label.
  std::string barcode = b.GetFrmBarCode();
  if (barcode.empty()) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u",
                  static_cast<unsigned>(std::time(nullptr)));
    barcode = buf;
  }
  char dataId[16];
  std::snprintf(dataId, sizeof dataId, "%u",
                static_cast<unsigned>(formula.GetFormula().m_DataId));
  Wdbase& db = m_Invent;
  const bool ok =
      db.WriteString("ID", mi::IdText(id).c_str()) &&
      db.WriteString("BATCH_INDX", mi::IdText(b.GetBatchIndex()).c_str()) &&
      db.WriteString("FRM_ID", mi::IdText(formula.GetFrmInvID()).c_str()) &&
      db.WriteString("DATAID", dataId) &&
      mi::WriteText(db, "BATCH_NAME", b.GetBatchName()) &&
      db.WriteDouble("CUR_Q", b.GetQuantity()) &&
      mi::WriteFlag(db, "WEIGHTMODE", b.GetWeightMode()) &&
      mi::WriteText(db, "QUALITY", b.GetQuality()) &&
      mi::WriteText(db, "COMMENT", b.GetComment()) &&
      mi::WriteText(db, "FRM_REFL", b.GetFrmRefl()) &&
      mi::WriteText(db, "BARCODE", barcode) &&
      mi::WriteText(db, "LOCATION_X", b.GetLocationX()) &&
      mi::WriteText(db, "LOCATION_Y", b.GetLocationY()) &&
      mi::WriteText(db, "LOCATION_Z", b.GetLocationZ()) &&
      mi::WriteDate(db, "DATA_IN", b.GetProdDate()) &&
      mi::WriteDate(db, "DATA_OUT", b.GetExpDate()) &&
      mi::WriteDate(db, "LAST_READ", b.GetReflSettingDate());
  if (!ok) {
    Wy_Trace("\n%s ERROR: batch %ld cannot be written.", kWho,
             static_cast<long>(id));
    return false;
  }
  b.SetBatchAbsID(id);
  b.SetFrmBarCode(barcode);
  b.SetIsModify(false);
  formula.SetBatch(b, pos);
  return true;
}

bool CWy_StorageManager::InsertFormulaBatches(CWy_FormulaInv& formula) {
  for (int i = 0; i < formula.GetNumberOfBatches(); ++i) {
    CWy_Batch b;
    formula.GetBatch(b, i);
    if (!b.IsModified() || !b.ValidateBatch()) {
      // Not stored: absolute id 0 tells the caller so.
      const bool modified = b.IsModified();
      b.SetBatchAbsID(0);
      b.SetIsModify(modified);
      formula.SetBatch(b, i);
      continue;
    }
    if (!m_Invent.AppendBlank() ||
        !UpdateSingleBatch(formula, b.GetBatchIndex(), true))
      return false;
  }
  return true;
}

bool CWy_StorageManager::IsDuplicate(const Wy_Formula& formula, bool* failed) {
  *failed = false;
  std::string keys[4];
  formula.ClrTok(&keys[0], &keys[1], &keys[2], &keys[3]);
  static const char* const kFields[4] = {"KEY1", "KEY2", "KEY3", "COMMENT"};
  // The keys as the fields store them (cut, trimmed), and the index key
  // of the "FRMKEYS" order (the fields blank-padded, one after the other).
  std::string seek;
  for (int k = 0; k < 4; ++k) {
    const int width = m_FrmInv.FieldLen(kFields[k]);
    keys[k] = mi::AsStored(keys[k], width);
    seek += keys[k];
    seek.append(static_cast<size_t>(width) - keys[k].size(), ' ');
  }
  const int saved = m_FrmInv.SelectedIdx();
  m_FrmInv.SelectIdx(2);
  bool dup = false;
  if (m_FrmInv.Seek(seek.c_str()) == 1) {
    for (; !m_FrmInv.Eof() && !dup; m_FrmInv.Next()) {
      bool same = true;
      for (int k = 0; k < 4 && same; ++k) {
        std::string v;
        if (!mi::ReadText(m_FrmInv, kFields[k], &v)) {
          *failed = true;
          break;
        }
        same = v == keys[k];
      }
      if (*failed || !same) break;
      dup = m_FrmInv.Deleted() == 0;
    }
  }
  m_FrmInv.SelectIdx(saved);
  return dup;
}

int32_t CWy_StorageManager::InsertFormula(CWy_FormulaInv& formula,
                                          bool allowDuplicates) {
  static const char* kWho = "CWy_StorageManager::InsertFormula";
  if (!IsReady()) {
    Wy_Trace("\n%s ERROR: the inventory is not open.", kWho);
    return 0;
  }
  FlushOff flush(m_FrmInv, m_Invent);
  TableLock frmLock(m_FrmInv);
  if (!frmLock.held()) {
    Wy_Trace("\n%s ERROR: FRMINV cannot be locked.", kWho);
    return 0;
  }
  if (!allowDuplicates) {
    bool failed = false;
    if (IsDuplicate(formula.GetFormula(), &failed)) return -1;
    if (failed) {
      Wy_Trace("\n%s ERROR: FRMINV cannot be read.", kWho);
      return 0;
    }
  }
  TableLock invLock(m_Invent);
  if (!invLock.held()) {
    Wy_Trace("\n%s ERROR: INVENT cannot be locked.", kWho);
    return 0;
  }
  const CWy_FormulaInv before = formula;
  const int32_t frmCount = m_FrmInv.RecCount();
  const int32_t invCount = m_Invent.RecCount();
  int32_t newId = 0;
  bool ok = hformula_ArchiveAddAndFillRecord(&formula.GetFormula(), &m_FrmInv,
                                             &newId, true) != 0 &&
            newId > 0;
  if (!ok) Wy_Trace("\n%s ERROR in hformula_ArchiveAddAndFillRecord.", kWho);
  if (ok) {
    formula.SetFrmInvID(newId);
    ok = InsertFormulaBatches(formula);
  }
  if (!ok) {
    // Nothing of a failed insert stays behind (a retry must not meet its
    // own half as a duplicate).
    RemoveAppended(m_Invent, invCount);
    RemoveAppended(m_FrmInv, frmCount);
    formula = before;
    return 0;
  }
  return newId;
}

bool CWy_StorageManager::DeleteFormulaRecordById(int32_t id) {
  TableLock frmLock(m_FrmInv);
  if (!frmLock.held()) return false;
  const int saved = m_FrmInv.SelectedIdx();
  m_FrmInv.SelectIdx(1);
  bool ok = true;
  if (m_FrmInv.Seek(mi::IdText(id).c_str()) == 1) {
    for (; !m_FrmInv.Eof(); m_FrmInv.Next()) {
      if (mi::ReadId(m_FrmInv, "ID") != id) break;
      if (!m_FrmInv.Deleted()) ok = m_FrmInv.Delete() && ok;
    }
  }
  m_FrmInv.SelectIdx(saved);
  return ok;
}

bool CWy_StorageManager::UpdateFormulaBatch(CWy_FormulaInv& formula, int index,
                                            bool erase, bool append) {
  static const char* kWho = "CWy_StorageManager::UpdateFormulaBatch";
  if (!IsReady()) return false;
  FlushOff flush(m_FrmInv, m_Invent);
  if (append) {
    if (PositionOf(formula, index) < 0) return false;
    TableLock invLock(m_Invent);
    if (!invLock.held()) return false;
    const int32_t count = m_Invent.RecCount();
    if (m_Invent.AppendBlank() && UpdateSingleBatch(formula, index, true))
      return true;
    RemoveAppended(m_Invent, count);
    Wy_Trace("\n%s ERROR: batch %d cannot be appended.", kWho, index);
    return false;
  }
  const int32_t frmId = formula.GetFrmInvID();
  bool emptied = false;
  {
    TableLock invLock(m_Invent);
    if (!invLock.held()) return false;
    const int saved = m_Invent.SelectedIdx();
    m_Invent.SelectIdx(2);
    bool found = false;
    if (frmId > 0 && m_Invent.Seek(mi::IdText(frmId).c_str()) == 1) {
      for (; !m_Invent.Eof(); m_Invent.Next()) {
        if (mi::ReadId(m_Invent, "FRM_ID") != frmId) break;
        if (m_Invent.Deleted()) continue;
        if (mi::ReadId(m_Invent, "BATCH_INDX") == index) {
          found = true;
          break;
        }
      }
    }
    if (!found) {
      m_Invent.SelectIdx(saved);
      if (!erase) {
        Wy_Trace("\n%s ERROR: formula %ld has no stored batch %d.", kWho,
                 static_cast<long>(frmId), index);
        return false;
      }
      formula.DeleteBatch(index);
      return true;  // already gone
    }
    if (!erase) {
      // The record keeps its own id, whatever the object holds.
      const int pos = PositionOf(formula, index);
      if (pos >= 0) {
        CWy_Batch b;
        formula.GetBatch(b, pos);
        const bool modified = b.IsModified();
        b.SetBatchAbsID(mi::ReadId(m_Invent, "ID"));
        b.SetIsModify(modified);
        formula.SetBatch(b, pos);
      }
      const bool ok = UpdateSingleBatch(formula, index, false);
      m_Invent.SelectIdx(saved);
      return ok;
    }
    if (!m_Invent.Delete() || !m_Invent.Pack()) {
      m_Invent.SelectIdx(saved);
      Wy_Trace("\n%s ERROR: batch %d cannot be erased.", kWho, index);
      return false;
    }
    formula.DeleteBatch(index);
    // The stored batches decide whether the formula is left without any.
    emptied = true;
    if (m_Invent.Seek(mi::IdText(frmId).c_str()) == 1) {
      for (; !m_Invent.Eof(); m_Invent.Next()) {
        if (mi::ReadId(m_Invent, "FRM_ID") != frmId) break;
        if (!m_Invent.Deleted()) {
          emptied = false;
          break;
        }
      }
    }
    m_Invent.SelectIdx(saved);
  }
  if (!emptied) return true;
  return DeleteFormulaRecordById(frmId) && EraseDeletedFormulas();
}

bool CWy_StorageManager::Flush() {
  if (!IsReady()) return false;
  const bool ok = m_FrmInv.Flush() != 0;
  return m_Invent.Flush() != 0 && ok;
}

bool CWy_StorageManager::DeleteCurrentFormula() {
  if (!IsReady() || m_FrmInv.Eof()) return false;
  // The mark is written at once, not when the record is left: another
  // handle (a researcher, another process) must stop offering the formula.
  return m_FrmInv.Delete() != 0 && m_FrmInv.RecordBufferWrite() != 0;
}

bool CWy_StorageManager::EraseCurrentFormulaBatches() {
  if (!IsReady() || m_FrmInv.Eof()) return false;
  const int32_t id = mi::ReadId(m_FrmInv, "ID");
  if (id <= 0) return true;
  const int saved = m_Invent.SelectedIdx();
  m_Invent.SelectIdx(2);
  bool ok = true;
  if (m_Invent.Seek(mi::IdText(id).c_str()) == 1) {
    for (; !m_Invent.Eof(); m_Invent.Next()) {
      if (mi::ReadId(m_Invent, "FRM_ID") != id) break;
      if (!m_Invent.Deleted()) ok = m_Invent.Delete() && ok;
    }
  }
  m_Invent.SelectIdx(saved);
  return ok;
}

bool CWy_StorageManager::EraseDeletedFormulas() {
  static const char* kWho = "CWy_StorageManager::EraseDeletedFormulas";
  if (!IsReady()) return false;
  FlushOff flush(m_FrmInv, m_Invent);
  TableLock frmLock(m_FrmInv);
  TableLock invLock(m_Invent);
  if (!frmLock.held() || !invLock.held()) return false;
  const int saved = m_FrmInv.SelectedIdx();
  m_FrmInv.SelectIdx(0);
  bool ok = true, any = false;
  for (int more = m_FrmInv.Top(); more && !m_FrmInv.Eof();
       more = m_FrmInv.Next()) {
    if (!m_FrmInv.Deleted()) continue;
    any = true;
    ok = EraseCurrentFormulaBatches() && ok;
  }
  if (any) {
    ok = m_Invent.Pack() && ok;
    ok = m_FrmInv.Pack() && ok;
  }
  m_FrmInv.SelectIdx(saved);
  m_FrmInv.Top();
  m_Invent.Top();
  if (!ok) Wy_Trace("\n%s ERROR in Pack.", kWho);
  return ok;
}

bool CWy_StorageManager::EraseDeletedBatches() {
  static const char* kWho = "CWy_StorageManager::EraseDeletedBatches";
  if (!IsReady()) return false;
  FlushOff flush(m_FrmInv, m_Invent);
  TableLock frmLock(m_FrmInv);
  TableLock invLock(m_Invent);
  if (!frmLock.held() || !invLock.held()) return false;
  bool ok = m_Invent.Pack() != 0;
  const int savedFrm = m_FrmInv.SelectedIdx();
  const int savedInv = m_Invent.SelectedIdx();
  m_FrmInv.SelectIdx(0);
  m_Invent.SelectIdx(2);
  bool any = false;
  for (int more = m_FrmInv.Top(); ok && more && !m_FrmInv.Eof();
       more = m_FrmInv.Next()) {
    if (m_FrmInv.Deleted()) continue;
    const int32_t id = mi::ReadId(m_FrmInv, "ID");
    const bool has = id > 0 && m_Invent.Seek(mi::IdText(id).c_str()) == 1;
    if (!has) {
      any = true;
      ok = m_FrmInv.Delete() && ok;
    }
  }
  if (ok && any) ok = m_FrmInv.Pack() != 0;
  m_FrmInv.SelectIdx(savedFrm);
  m_Invent.SelectIdx(savedInv);
  m_FrmInv.Top();
  m_Invent.Top();
  if (!ok) Wy_Trace("\n%s ERROR in Pack.", kWho);
  return ok;
}
