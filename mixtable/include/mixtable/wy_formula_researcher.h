// The formula researcher: looks through the inventory of stored batches for
// batches that can be poured into a formula about to be dispensed (the
// target), with the rules the caller inserts (mixtable/wy_recycle_rule.h).
//
// ApplyRules runs every rule in insertion order over every stored formula
// and batch (deleted ones are never offered); the results are those of the
// last rule. For each accepted batch the result holds the batch (its
// quantity brought into the measure of the target's can), the three
// percentages of the rule, the quantity to pour per can and the stored
// formula resized to that quantity.
//
// Trace file. Each rule pass writes its steps (in Italian, Latin-1 bytes)
// to a plain-text file, truncated at the start of the pass. Where it lies:
//   1. SetTraceFile(path) decides when it was called ("" switches the trace
//      off);
//   2. else $KALVO_RESEARCH_TRACE names the file (a drive path such as
//      "c:\logs\research.txt" or a host path; set but empty: no trace);
//   3. else "research.log" in $KALVO_LOGDIR (a drive or host directory);
//   4. else "research.log" in the local directory (Wy_LocalPath).
// GetTraceFile answers the file the next pass writes (empty when off). A
// file that cannot be written is ignored; with the trace off nothing is
// formatted.
//
// Ownership: the rules are the caller's and must outlive ApplyRules; the
// researcher owns its target, results and trace. Failures answer 0 or false
// with a line on the trace output; nothing throws. Not thread-safe.

#ifndef MIXTABLE_WY_FORMULA_RESEARCHER_H_
#define MIXTABLE_WY_FORMULA_RESEARCHER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "mixtable/export.h"
#include "mixtable/wy_batch.h"
#include "mixtable/wy_formula.h"
#include "mixtable/wy_formula_inv.h"
#include "mixtable/wy_recycle_rule.h"
#include "mixtable/wy_storage_manager.h"

// A batch found for recycling.
class MIXTABLE_API CWy_RecycleBatch : public CWy_Batch {
 public:
  CWy_RecycleBatch() = default;
  explicit CWy_RecycleBatch(const CWy_Batch& batch) : CWy_Batch(batch) {}

  double GetRecycleFormulaPercentage() const { return m_FormulaPct; }
  void SetRecycleFormulaPercentage(double v) { m_FormulaPct = v; }
  double GetRecycleBasePercentage() const { return m_BasePct; }
  void SetRecycleBasePercentage(double v) { m_BasePct = v; }
  double GetRecycleBatchPercentage() const { return m_BatchPct; }
  void SetRecycleBatchPercentage(double v) { m_BatchPct = v; }
  bool IsSelectedForRecycle() const { return m_bSelected; }
  void SetSelectedForRecycle(bool on) { m_bSelected = on; }
  // Millilitres or grams (the batch's weight mode) to pour into each can,
  // and into the last can.
  double GetQuantityPerCan() const { return m_QuantityPerCan; }
  void SetQuantityPerCan(double v) { m_QuantityPerCan = v; }
  double GetQuantityPerLastCan() const { return m_QuantityPerLastCan; }
  void SetQuantityPerLastCan(double v) { m_QuantityPerLastCan = v; }

  // Copies the stored formula (formula, inventory id, batches) and resizes
  // the copy to the quantity per can in the batch's weight mode. False when
  // the resize fails (the copy then keeps its own quantities).
  bool SetRelatedFormula(const CWy_FormulaInv& formula);
  void GetRelatedFormula(CWy_FormulaInv& formula) const { formula = m_Related; }

 private:
  CWy_FormulaInv m_Related;
  double m_FormulaPct = 0.0;
  double m_BasePct = 0.0;
  double m_BatchPct = 0.0;
  bool m_bSelected = false;
  double m_QuantityPerCan = 0.0;
  double m_QuantityPerLastCan = 0.0;
};

class MIXTABLE_API CWy_FormulaResearcher : public CWy_StorageManager {
 public:
  // The inventory of the local directory, or of dir.
  CWy_FormulaResearcher();
  explicit CWy_FormulaResearcher(const char* dir);
  CWy_FormulaResearcher(const CWy_FormulaResearcher&) = default;
  CWy_FormulaResearcher& operator=(const CWy_FormulaResearcher&) = default;
  ~CWy_FormulaResearcher() override;

  // The formula to be dispensed: a data id, a base and a can are needed.
  bool SetFormulaTarget(const Wy_Formula& target);
  bool GetFormulaTarget(Wy_Formula& target) const;
  void SetNumberOfCans(int cans) { m_NumberOfCans = cans; }
  int GetNumberOfCans() const { return m_NumberOfCans; }

  // Appends a rule (not owned). False for null.
  bool InsertRule(CWy_RecycleRule* rule);

  // Runs the rules (see above) over every stored batch, or only the batch
  // with that absolute id (> 0). Answers the number of results; 0, with an
  // empty or partial list, when there is no rule, the number of cans is
  // below 1, the target has no data id, base or can of positive nominal
  // quantity, a stored formula cannot be read, or an accepted batch by
  // weight has no usable to-weight factor for a can by volume.
  int32_t ApplyRules(int32_t batchAbsId);

  int32_t GetNumberOfRecyclableBatches() const {
    return static_cast<int32_t>(m_Results.size());
  }
  // The result at 0 <= index < count.
  bool GetRecycleBatch(CWy_RecycleBatch& batch, int32_t index) const;
  // The result with that absolute batch id; false for an id <= 0 or none.
  bool GetRecycleBatchByAbsID(CWy_RecycleBatch& batch, int32_t absId) const;
  bool SetRecycleBatchByAbsID(const CWy_RecycleBatch& batch, int32_t absId);
  bool DeleteRecycleBatch(int32_t index);
  void DeleteRecycleBatches() { m_Results.clear(); }

  // The trace file (see above).
  void SetTraceFile(const std::string& path);
  std::string GetTraceFile() const;

 private:
  // The target resolved in its data set and resized to the cans' total;
  // false (traced) for a target that cannot be researched.
  bool PrepareTarget(Wy_Formula& target, double& total, bool& weight);
  // One rule over the inventory; false when the research must end with 0.
  bool RunRule(CWy_RecycleRule* rule, int32_t batchAbsId, bool weight);
  // Tries the batches of m_WorkFormula; *matched tells that the one with
  // batchAbsId was among them.
  bool TryFormula(CWy_RecycleRule* rule, int32_t batchAbsId, bool weight,
                  bool* matched);

  std::vector<CWy_RecycleRule*> m_Rules;
  std::vector<CWy_RecycleBatch> m_Results;
  Wy_Formula m_Target;
  int m_NumberOfCans = 1;
  CWy_FormulaInv m_WorkFormula;
  CWy_RecycleBatch m_WorkBatch;
  bool m_bTraceFileSet = false;
  std::string m_TraceFile;
  Wy_ResearchTrace m_Trace;
};

#endif  // MIXTABLE_WY_FORMULA_RESEARCHER_H_
