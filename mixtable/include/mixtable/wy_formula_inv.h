// CWy_FormulaInv: a stored formula in memory: the formula, its inventory
// id (the ID of its FRMINV record, 0 while not stored) and its batches in
// list order. Positions count from 0 in list order; batch indexes
// (CWy_Batch::GetBatchIndex) count from 1 and identify a batch within its
// formula. The object owns its formula and batches; copies are deep.
// Nothing here throws.

#ifndef MIXTABLE_WY_FORMULA_INV_H_
#define MIXTABLE_WY_FORMULA_INV_H_

#include <cstdint>
#include <string>
#include <vector>

#include "mixtable/export.h"
#include "mixtable/wy_batch.h"
#include "mixtable/wy_formula.h"

class MIXTABLE_API CWy_FormulaInv {
 public:
  CWy_FormulaInv() = default;
  CWy_FormulaInv(const CWy_FormulaInv&) = default;
  CWy_FormulaInv& operator=(const CWy_FormulaInv&) = default;
  virtual ~CWy_FormulaInv();

  const Wy_Formula& GetFormula() const { return m_Formula; }
  Wy_Formula& GetFormula() { return m_Formula; }
  void GetFormula(Wy_Formula& out) const { out = m_Formula; }
  void SetFormula(const Wy_Formula& formula) { m_Formula = formula; }
  int32_t GetFrmInvID() const { return m_FrmInvID; }
  void SetFrmInvID(int32_t id) { m_FrmInvID = id; }

  int GetNumberOfBatches() const { return static_cast<int>(m_Batches.size()); }
  // The batch at position 0 <= pos < count; false (nothing changed) outside.
  bool GetBatch(CWy_Batch& out, int pos) const;
  bool SetBatch(const CWy_Batch& batch, int pos);
  // The batch whose index equals index; false for index <= 0 or no match.
  bool GetBatchByIndex(CWy_Batch& out, int index) const;
  bool SetBatchByIndex(const CWy_Batch& batch, int index);
  // Appends a copy of batch: an index <= 0 becomes the smallest index >= 1
  // the list does not use (the copy is then marked modified); the name is
  // made unique (ApplyCorrectBatchName); with UseFormulaRefl the copy's
  // reflectance becomes the formula's 16 values x 100, each "%.3lf;".
  // Answers the new batch's position (count - 1).
  int InsertBatch(const CWy_Batch& batch);
  // Removes the batch with that index. False only when the list is empty;
  // true also when no batch has the index.
  bool DeleteBatch(int index);
  bool DeleteAllBatches();  // always true
  // When a batch of the list has the batch's name (the batch itself is
  // not in the list yet), the name becomes name + " 1", " 2", ... the first
  // that no batch of the list has.
  void ApplyCorrectBatchName(CWy_Batch& batch) const;

 protected:
  // Gives batch the smallest free index when its index is <= 0.
  void ApplyCorrectBatchIndex(CWy_Batch& batch) const;
  // True when no batch of the list is named name.
  bool CheckUniqueBatchName(const std::string& name) const;

 private:
  Wy_Formula m_Formula;
  int32_t m_FrmInvID = 0;
  std::vector<CWy_Batch> m_Batches;
};

#endif  // MIXTABLE_WY_FORMULA_INV_H_
