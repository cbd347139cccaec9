// HDspLevels: the dispenser fill levels carried by a formula's "@LEV" lines,
// as numeric tables: one entry per level line, each with the slave id and
// the circuit/level pairs of that slave's canisters.
//
// A level text is a comma-separated list "circuit,level,circuit,level,..."
// ("1,0.5,2,0.75"): circuits are integers, levels decimal numbers with a
// point, blanks around either are allowed. A trailing circuit without a
// level is ignored, and so is a pair whose circuit is not an integer in the
// int range or whose level is empty, not a number or not finite (",,2",
// "1,", "-5,1e999" hold no pair); the pairs after it are still read. The
// whole text is read whatever its length.
//
// Ownership: the object owns its entries and their arrays; copies are deep
// (a copy stays valid after its source is gone). Nothing throws: allocation
// failures are reported through the trace output and the result.

#ifndef MIXTABLE_HDSP_LEVELS_H_
#define MIXTABLE_HDSP_LEVELS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "mixtable/export.h"

class HFormula;

class MIXTABLE_API HDspLevels {
 public:
  struct DspLevelInfo {
    int m_NCanisters = 0;         // circuit/level pairs of the slave
    int32_t m_Slave = 0;          // slave id (the level line's number)
    std::vector<int> m_Circuit;   // circuit numbers, m_NCanisters of them
    std::vector<double> m_Level;  // levels, parallel to m_Circuit
  };

  HDspLevels() = default;
  HDspLevels(const HDspLevels&) = default;
  HDspLevels& operator=(const HDspLevels&) = default;
  ~HDspLevels() = default;

  // Frees every entry; the count becomes 0.
  void Clear();

  // Rebuilds the table from the formula's level lines: one entry per line
  // (NDspLevelsStrings() of them, all zero at first); the lines are read in
  // order up to the first empty text, each line with at least one pair
  // filling its entry (slave, count, circuits, levels). Answers 1 when
  // entries were built; 0 for a null formula (traced "Invalid Formula for
  // HDspLevels Ctor"), a formula without level lines, or when the entries
  // cannot be allocated (traced "\nHDspLevels: operator new failed."). When
  // a line's arrays cannot be allocated, "No memory !!" is traced and the
  // remaining lines stay zero (answer 1).
  int LoadLevels(HFormula* formula);

  // Entry i, or null when i is negative or not below the count.
  DspLevelInfo* operator[](int i);
  const DspLevelInfo* operator[](int i) const;

  // Number of entries.
  int GetCount() const { return static_cast<int>(m_Info.size()); }

  // Parses one level text into its pairs (appended to circuits and levels,
  // either may be null to count only); answers the number of pairs. A null
  // text holds none.
  static int ParseLevelText(const char* text, std::vector<int>* circuits,
                            std::vector<double>* levels);

 private:
  std::vector<DspLevelInfo> m_Info;
};

#endif  // MIXTABLE_HDSP_LEVELS_H_
