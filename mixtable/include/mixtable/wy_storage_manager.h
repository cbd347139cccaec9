// CWy_StorageManager: the inventory of stored batches. Two tables of its
// own in the inventory directory (outside any data set):
//   FRMINV  one record per stored formula, in the archive record layout
//           (hformula_GetArchiveDef), indexes "FRMINV" on ID and
//           "FRMKEYS" on KEY1+KEY2+KEY3+COMMENT;
//   INVENT  one record per batch (GetInventoryDef), linked to its formula by
//           FRM_ID; indexes "INVENT" on ID and "FRMIDINV" on FRM_ID.
// Ids are right-aligned "%5ld" texts (1..99999); INVENT DATAID is "%u" of
// the formula's data id (readers take the number whatever its alignment).
//
// Both tables stay open between calls; navigation (Begin, GoNext, ...)
// works on FRMINV in ID order. The first manager of a process that opens a
// directory checks both tables (creating what is missing, bringing an
// older structure up to date without losing records or fields); the
// directory is then remembered as checked for the rest of the process, and
// SetInventoryPath checks it again. Every initialisation (construction,
// copy, SetInventoryPath) recalls the records marked deleted and not yet
// erased (EraseDeletedFormulas, EraseDeletedBatches).
//
// Several processes may share a directory: ids are computed and written
// under the tables' whole-file locks, always FRMINV before INVENT.
//
// Results: false/0 on failure, with a line on the trace output
// ("\n%s ..." naming the member); InsertFormula answers -1 for a
// duplicate. Nothing throws. A copied manager opens its own handles of the
// same directory. Not thread-safe.

#ifndef MIXTABLE_WY_STORAGE_MANAGER_H_
#define MIXTABLE_WY_STORAGE_MANAGER_H_

#include <cstdint>
#include <memory>
#include <string>

#include "mixtable/export.h"
#include "mixtable/wy_batch.h"
#include "mixtable/wy_formula_inv.h"
#include "xbase32/wdbase.h"

class CMixtable;

class MIXTABLE_API CWy_StorageManager {
 public:
  // File and index names (data files get ".dbf", indexes ".ntx").
  static constexpr const char* kInventName = "INVENT";
  static constexpr const char* kInventIdxId = "INVENT";       // on "ID"
  static constexpr const char* kInventIdxFrmId = "FRMIDINV";  // on "FRM_ID"
  static constexpr const char* kFrmInvName = "FRMINV";
  static constexpr const char* kFrmInvIdxId = "FRMINV";  // on "ID"
  // On "KEY1+KEY2+KEY3+COMMENT": the duplicate check seeks instead of
  // walking the table.
  static constexpr const char* kFrmInvIdxKeys = "FRMKEYS";
  // The largest id a 5-character id field holds.
  static constexpr int32_t kMaxId = 99999;

  // The INVENT layout, in field order, ending with an empty name:
  //   ID C5, BATCH_INDX C5, DATAID C10, BATCH_NAME C64, FRM_ID C5,
  //   WEIGHTMODE L1, CUR_Q N11.2, LOCATION_X/Y/Z C64, QUALITY C64,
  //   COMMENT C128, FRM_REFL C128, BARCODE C128, DATA_IN D8 (production),
  //   DATA_OUT D8 (expiry), LAST_READ D8 (reflectance date).
  static const WDBASE_FIELD* GetInventoryDef();

  // The local directory (Wy_LocalPath).
  CWy_StorageManager();
  // dir: the inventory directory (null or empty: the local directory).
  explicit CWy_StorageManager(const char* dir);
  // Same directory, handles of its own (opened here).
  CWy_StorageManager(const CWy_StorageManager& other);
  CWy_StorageManager& operator=(const CWy_StorageManager& other);
  virtual ~CWy_StorageManager();

  // Closes both tables, forgets that the directory was checked and opens
  // it again (a missing directory is created). Records marked deleted but
  // not yet erased are recalled. True when both tables are open.
  bool SetInventoryPath(const char* dir);
  // The directory as given (empty for the local directory).
  std::string GetInventoryPath() const { return m_Path; }
  // The directory in use, with its trailing backslash (empty before a
  // successful initialisation).
  const std::string& GetInventoryDir() const { return m_Dir; }
  // Both tables open.
  bool IsReady() const;

  // ---- navigation over FRMINV (ID order) ----
  bool Begin();  // false on an empty table
  bool End();    // false on an empty table
  bool GoNext();
  bool GoBack();
  bool IsEof() const;
  int32_t GetSize() const;  // FRMINV record count (deleted ones included)
  // Positions FRMINV on the formula with that id; false when none.
  bool SeekFormula(int32_t frmInvId);
  // Positions INVENT on the batch with that absolute id; false when none.
  bool SeekBatch(int32_t batchAbsId);
  // Whether the current FRMINV record is marked deleted (not yet erased).
  bool IsCurrentFormulaDeleted() const;

  // ---- reading ----
  // The current FRMINV record as a stored formula: data id, product, base
  // and can (resolved in the formula's data set; a custom can takes
  // CUSCAN_DES, a manual base FRM_BASE), units, text, identification
  // "KEY1|KEY2|KEY3|COMMENT", reflectance (-1 each when FRM_REFL is
  // empty), coordinates -1. withBatches adds its INVENT batches not marked
  // deleted (each with the formula's to-weight factor). False at end of
  // file or when a field cannot be read.
  bool GetCurrentFormula(CWy_FormulaInv& out, bool withBatches);
  // The formula (without batches) of the current INVENT record.
  bool GetFormulaOfCurrentBatch(CWy_FormulaInv& out);
  // The current INVENT record; the batch ends unmodified. Blank or
  // unreadable dates read as day, month and year -1.
  bool GetCurrentBatch(CWy_Batch& out);

  // ---- writing ----
  // Stores the formula and its batches that are modified and pass
  // ValidateBatch (each appended with a new absolute id; skipped batches
  // keep id 0). Unless allowDuplicates, a formula whose KEY1, KEY2, KEY3
  // and COMMENT (as they would be stored) equal a stored one's gives -1.
  // Answers the new formula's id, which formula and its stored batches
  // then carry (FrmInvID, BatchAbsID, BarCode; the batches unmodified).
  // 0 on failure, with everything added removed again.
  int32_t InsertFormula(CWy_FormulaInv& formula, bool allowDuplicates);
  // append: stores the formula's batch of that index as a new INVENT
  // record (new id). erase: removes the stored batch of that index and the
  // formula's batch; when the formula has none left, its FRMINV record
  // (sought by its id) is erased too. Otherwise rewrites the stored batch
  // keeping its id; false when it no longer exists. Erasing a batch that is
  // already gone is true.
  bool UpdateFormulaBatch(CWy_FormulaInv& formula, int index, bool erase,
                          bool append);
  // Writes both tables to disk. Changes are flushed when they are made
  // while the engine's auto-flush is on (its default); a caller that
  // switched it off for a bulk pass calls this at the end.
  bool Flush();
  // Marks the current FRMINV record deleted.
  bool DeleteCurrentFormula();
  // Removes the formulas marked deleted with all their batches.
  bool EraseDeletedFormulas();
  // Removes the batches marked deleted, then the formulas left without
  // batches.
  bool EraseDeletedBatches();
  // False when another batch (another absolute id) stands at the batch's
  // location (same non-empty X, same Y and Z), or a read fails.
  bool CheckUniqueLocation(const CWy_Batch& batch);

 protected:
  bool DBInit();
  bool CreateInventory();
  bool CreateCheckUpdateInventory();
  // True when INVENT matches the layout: every field of the layout
  // present with its type and decimals and at least its width (fields the
  // layout lacks are kept).
  bool CheckInventoryStruct();
  // Brings INVENT to the layout through the engine's replacing copy; the
  // old file stays as it was on failure.
  bool UpdateInventoryStruct();
  bool CreateFrmInv();
  bool CreateCheckUpdateFrmInv();
  // The next batch id (largest stored + 1, deleted records included);
  // called with INVENT locked. Keeps INVENT's position and order.
  int32_t GetNewInventoryID();
  // Marks deleted every INVENT record of the current formula's id.
  bool EraseCurrentFormulaBatches();
  // Appends the formula's modified, valid batches; false on a failure.
  bool InsertFormulaBatches(CWy_FormulaInv& formula);
  // Writes the formula's batch of that index into the current INVENT
  // record (a new id, or the batch's own), with INVENT locked by the
  // caller; the batch then carries the id and label code written and is
  // unmodified.
  bool UpdateSingleBatch(CWy_FormulaInv& formula, int index, bool newId);

  Wdbase& InventDb() { return m_Invent; }
  Wdbase& FrmInvDb() { return m_FrmInv; }

 private:
  bool DefineTables();
  void CloseTables();
  bool ReadFormulaRecord(CWy_FormulaInv& out);
  bool ReadBatchesOf(CWy_FormulaInv& out);
  bool DeleteFormulaRecordById(int32_t id);
  bool IsDuplicate(const Wy_Formula& formula, bool* failed);
  CMixtable* TablesFor(uint32_t dataId);

  std::string m_Path;  // as given
  std::string m_Dir;   // in use, with trailing backslash
  Wdbase m_Invent;
  Wdbase m_FrmInv;
  // The table set the last read resolved base and can in (one per data id).
  std::unique_ptr<CMixtable> m_Tables;
  uint32_t m_TablesId = 0;
};

#endif  // MIXTABLE_WY_STORAGE_MANAGER_H_
