// What the last check and upgrade of this process did
// (CMixtableEx::SelectGData), for callers that report more than its result:
// the tools' exit status and summaries. Process-wide, like the scan state;
// reset at the start of every SelectGData.

#ifndef MIXTABLE_WY_UPGRADE_H_
#define MIXTABLE_WY_UPGRADE_H_

#include <cstdint>
#include <string>

#include "mixtable/export.h"

// Result of SelectGData beyond 1, -1, -2, -3, -4 and -5: a table could not
// be backed up before its change (a full disk): the run stopped there and
// everything it had changed was restored.
constexpr int kWyUpgradeBackupFailed = -6;

// Bits of SelectGData's mode word.
enum : int {
  kWyCheckFull = 1,    // tree check, signature recorded afterwards
  kWyCheckPrune = 2,   // tree check option: remove orphan directories
  kWyCheckClean = 4,   // tree check option: delete foreign files
  kWyCheckExact = 8,   // exactWidths for every conversion
  kWyCheckQuick = 16,  // the whole word: quick mode
};

struct MIXTABLE_API Wy_UpgradeReport {
  int mode = 0;              // the effective mode word
  int32_t tables = 0;        // tables visited by the patch scan
  int32_t converted = 0;     // tables whose structure was rebuilt
  int32_t patched = 0;       // tables with values rewritten or records removed
  int32_t failed = 0;        // tables whose conversion or patching failed
  int32_t merged = 0;        // level tables merged into the root
  int32_t merge_failed = 0;  // merges that did not complete
  bool tree_checked = false;
  int tree_result = 0;  // the tree check's result (0 fine)
  bool signature_written = false;
  std::string recovery;  // what the recovery of an interrupted run did
  std::string log_path;  // the maintenance log written to
};

// The report of the last SelectGData of this process.
const Wy_UpgradeReport& Wy_LastUpgradeReport();

#endif  // MIXTABLE_WY_UPGRADE_H_
