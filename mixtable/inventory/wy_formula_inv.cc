// CWy_FormulaInv: a stored formula with its list of batches.

#include "mixtable/wy_formula_inv.h"

#include <set>
#include <string>

#include "inventory/inventory_text.h"

CWy_FormulaInv::~CWy_FormulaInv() = default;

bool CWy_FormulaInv::GetBatch(CWy_Batch& out, int pos) const {
  if (pos < 0 || pos >= GetNumberOfBatches()) return false;
  out = m_Batches[static_cast<size_t>(pos)];
  return true;
}

bool CWy_FormulaInv::SetBatch(const CWy_Batch& batch, int pos) {
  if (pos < 0 || pos >= GetNumberOfBatches()) return false;
  m_Batches[static_cast<size_t>(pos)] = batch;
  return true;
}

bool CWy_FormulaInv::GetBatchByIndex(CWy_Batch& out, int index) const {
  if (index <= 0) return false;
  for (const CWy_Batch& b : m_Batches) {
    if (b.GetBatchIndex() == index) {
      out = b;
      return true;
    }
  }
  return false;
}

bool CWy_FormulaInv::SetBatchByIndex(const CWy_Batch& batch, int index) {
  if (index <= 0) return false;
  for (CWy_Batch& b : m_Batches) {
    if (b.GetBatchIndex() == index) {
      b = batch;
      return true;
    }
  }
  return false;
}

int CWy_FormulaInv::InsertBatch(const CWy_Batch& batch) {
  CWy_Batch copy = batch;
  ApplyCorrectBatchIndex(copy);
  ApplyCorrectBatchName(copy);
  if (copy.UseFormulaRefl())
    copy.SetFrmRefl(mixtable_inventory::FormatRefl(m_Formula.m_Rfl));
  m_Batches.push_back(copy);
  return GetNumberOfBatches() - 1;
}

bool CWy_FormulaInv::DeleteBatch(int index) {
  if (m_Batches.empty()) return false;
  for (auto it = m_Batches.begin(); it != m_Batches.end(); ++it) {
    if (it->GetBatchIndex() == index) {
      m_Batches.erase(it);
      break;
    }
  }
  return true;
}

bool CWy_FormulaInv::DeleteAllBatches() {
  m_Batches.clear();
  return true;
}

void CWy_FormulaInv::ApplyCorrectBatchName(CWy_Batch& batch) const {
  const std::string name = batch.GetBatchName();
  if (CheckUniqueBatchName(name)) return;
  for (int n = 1;; ++n) {
    std::string candidate = name + " " + std::to_string(n);
    if (CheckUniqueBatchName(candidate)) {
      batch.SetBatchName(candidate);
      return;
    }
  }
}

void CWy_FormulaInv::ApplyCorrectBatchIndex(CWy_Batch& batch) const {
  if (batch.GetBatchIndex() > 0) return;
  std::set<int> used;
  for (const CWy_Batch& b : m_Batches) used.insert(b.GetBatchIndex());
  int index = 1;
  while (used.count(index) != 0) ++index;
  batch.SetBatchIndex(index);  // marks the batch modified
}

bool CWy_FormulaInv::CheckUniqueBatchName(const std::string& name) const {
  for (const CWy_Batch& b : m_Batches)
    if (b.GetBatchName() == name) return false;
  return true;
}
