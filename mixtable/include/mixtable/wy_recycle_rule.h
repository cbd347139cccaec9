// Rules that decide whether a stored batch can be poured into a formula about
// to be dispensed (the target), and how much of the target it covers.
//
// A rule receives, before each candidate, the target (already resized to
// the total quantity of the cans), the total quantity and its weight flag,
// the stored formula with its batches and the position of the batch to try,
// and the trace it writes to (none when tracing is off). ApplyWork answers
// whether the batch is accepted and the three percentages:
//   formula percentage: the mean share of the target's colorants the batch
//                       brings (1: all of them);
//   base percentage:    the same for the components of a base made of
//                       components (1 for a plain base);
//   batch percentage:   the share of the batch's whole quantity that is
//                       used.
//
// The comparison table holds one entry per colorant of the data set's CNTS
// table in its natural order (base components are the records with FTYPE
// "B"); a formula colorant that CNTS does not list gets an entry of its own
// after them. CNTS is read once per target (SetFormulaTarget forgets it).
//
// Ownership: a rule owns copies of the target and the candidate; the trace
// is borrowed for the pass. Nothing throws; no result is ever NaN or
// infinite. Not thread-safe.

#ifndef MIXTABLE_WY_RECYCLE_RULE_H_
#define MIXTABLE_WY_RECYCLE_RULE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mixtable/export.h"
#include "mixtable/wy_formula.h"
#include "mixtable/wy_formula_inv.h"

namespace platform {
class File;
}

// The plain-text trace of a research pass, written in Latin-1 bytes through
// a buffer. Opening truncates the file; a file that cannot be opened or
// written is ignored (the trace is then closed and costs nothing). Copies
// are closed traces.
class MIXTABLE_API Wy_ResearchTrace {
 public:
  Wy_ResearchTrace();
  Wy_ResearchTrace(const Wy_ResearchTrace&);
  Wy_ResearchTrace& operator=(const Wy_ResearchTrace&);
  ~Wy_ResearchTrace();  // closes (flushes) the file

  // Closes any open file, then creates or truncates path (a drive or host
  // path). False when it cannot be opened.
  bool Open(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  // Writes the buffer out and closes the file.
  void Close();
  // printf-style text appended to the buffer (longer texts are whole).
  void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Write(const std::string& text);
  // A message with a value: "%s %f \n".
  void Value(const char* message, double value);

 private:
  void Flush();

  std::unique_ptr<platform::File> file_;
  uint64_t offset_ = 0;
  std::string buffer_;
};

// One entry of the comparison table.
struct MIXTABLE_API Wy_ConfrontationItem {
  int32_t ID = 0;                // colorant or base-component id
  bool IsBaseComponent = false;  // CNTS FTYPE "B"
  double TargetQuantity = 0.0;
  double CandidateQuantity = 0.0;
  bool InTarget = false;
  bool InCandidate = false;
};

class MIXTABLE_API CWy_RecycleRule {
 public:
  CWy_RecycleRule() = default;
  CWy_RecycleRule(const CWy_RecycleRule&) = default;
  CWy_RecycleRule& operator=(const CWy_RecycleRule&) = default;
  virtual ~CWy_RecycleRule() = default;

  // Accepts (true) or rejects the candidate batch; the outputs start at 0.
  virtual bool ApplyWork(double& formulaPct, double& basePct, double& batchPct);

  // What the researcher hands over. SetFormulaTarget also forgets the CNTS
  // list and the data-set ids read for the previous target.
  void SetFormulaTarget(const Wy_Formula& target);
  const Wy_Formula& GetFormulaTarget() const { return m_Target; }
  void SetTargetQuantity(double quantity) { m_TargetQuantity = quantity; }
  double GetTargetQuantity() const { return m_TargetQuantity; }
  void SetWeightFlag(bool weight) { m_bWeight = weight; }
  bool GetWeightFlag() const { return m_bWeight; }
  void SetCandidate(const CWy_FormulaInv& candidate) {
    m_Candidate = candidate;
  }
  const CWy_FormulaInv& GetCandidate() const { return m_Candidate; }
  void SetBatchPosition(int position) { m_BatchPosition = position; }
  int GetBatchPosition() const { return m_BatchPosition; }
  // The trace of the pass (borrowed; null: no trace).
  void SetTrace(Wy_ResearchTrace* trace) { m_pTrace = trace; }

  // The comparison table as last built (tests, diagnostics).
  const std::vector<Wy_ConfrontationItem>& GetTable() const { return m_Items; }
  const std::vector<double>& GetRatios() const { return m_Ratios; }

 protected:
  // Empties the table and fills it with the CNTS entries of the target's
  // data set (read once per target). False when CNTS cannot be read.
  bool BuildTable();
  // Adds a formula text to the target (asTarget) or candidate side: a base
  // component's quantity is added, a colorant's replaces what is there.
  // False for a malformed text.
  bool AddToTable(const yformula& text, bool asTarget);
  // Ratios: candidate / target quantity when the entry is in the target and
  // its target quantity is above 0, else 0. Answers the largest (0 for an
  // empty table).
  double ComputeRatios();
  // The table between separators, with the two headings.
  void TraceTable();
  // The trace of the pass, or null when tracing is off.
  Wy_ResearchTrace* Trace() const { return m_pTrace; }
  // The absolute data id of id (catalogue), kept for the target's life.
  uint32_t AbsDataId(uint32_t id);
  // Grows with every SetFormulaTarget (for what a rule keeps per target).
  uint64_t TargetGeneration() const { return m_TargetGeneration; }

  Wy_Formula m_Target;
  double m_TargetQuantity = 0.0;
  bool m_bWeight = false;
  CWy_FormulaInv m_Candidate;
  int m_BatchPosition = 0;
  Wy_ResearchTrace* m_pTrace = nullptr;
  std::vector<Wy_ConfrontationItem> m_Items;
  std::vector<double> m_Ratios;  // parallel to m_Items

 private:
  // CNTS of m_CntsDataId: id and base-component flag, natural order.
  std::vector<std::pair<int32_t, bool>> m_Cnts;
  uint32_t m_CntsDataId = 0;
  bool m_bCntsRead = false;
  std::vector<std::pair<uint32_t, uint32_t>> m_AbsIds;
  uint64_t m_TargetGeneration = 0;
};

// A rule without a working comparison: it never accepts.
class MIXTABLE_API CWy_ColorantConfrontation : public CWy_RecycleRule {
 public:
  bool ApplyWork(double& formulaPct, double& basePct,
                 double& batchPct) override;
  int ApplyColorQuantityConfrontation() { return 0; }
};

// The working rule. A candidate is accepted when it belongs to the target's
// data set (absolute ids), has the target's weight mode, brings no colorant
// the target lacks, and (plain base) needs no more than the target of any
// colorant and has the same base and standard fill; with a base made of
// components the batch quantity used is reduced until no colorant or
// component exceeds the target. Each step is written to the trace.
class MIXTABLE_API CWy_QuantitySumConfrontation : public CWy_RecycleRule {
 public:
  CWy_QuantitySumConfrontation() = default;
  CWy_QuantitySumConfrontation(const CWy_QuantitySumConfrontation&) = default;
  CWy_QuantitySumConfrontation& operator=(const CWy_QuantitySumConfrontation&) =
      default;

  bool ApplyWork(double& formulaPct, double& basePct,
                 double& batchPct) override;

 protected:
  // The comparison of the candidate formula, whose batch holds quantity
  // (litres or kilograms) measured by weight or volume with the given
  // to-weight factor, against the target.
  bool Confront(const Wy_Formula& candidate, double quantity, bool weight,
                double toWeightFactor, double& formulaPct, double& basePct,
                double& batchPct);

 private:
  // Builds the table from the target (with its base formula when
  // withBases) and the candidate, traces it and checks that every candidate
  // colorant is in the target.
  bool ColorantCheck(const Wy_Formula& candidate, bool withBases);
  // The target's base formula expanded for its can, kept while the target
  // and its can stay the same.
  bool TargetBase(const Wy_Frm** base);

  Wy_Frm m_TargetBase;
  uint64_t m_TargetBaseGeneration = 0;  // 0: none kept
  double m_TargetBaseNomQ = 0;
  int m_TargetBaseWeight = 0;
};

// Brings q (millilitres or grams) of a batch measured by weight (batchWeight)
// into the target's measure with the batch's to-weight factor. False when
// the measures differ and the factor is below 0.00001 (or not finite).
MIXTABLE_API bool Wy_RecycleConvertQuantity(double& q, bool batchWeight,
                                            bool targetWeight,
                                            double toWeightFactor);

#endif  // MIXTABLE_WY_RECYCLE_RULE_H_
