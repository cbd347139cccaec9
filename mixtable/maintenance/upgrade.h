// The check and upgrade of a data set (CMixtableEx::SelectGData): the scan
// context, the patch and merge callbacks and the value rules they apply.
// Internal to the tables library; the value rules are fuzzed.

#ifndef MIXTABLE_MAINTENANCE_UPGRADE_H_
#define MIXTABLE_MAINTENANCE_UPGRADE_H_

#include <cstdint>
#include <string>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_maintenance.h"
#include "mixtable/wy_maintenance_log.h"
#include "mixtable/wy_upgrade.h"

namespace mixtable {

struct UpgradeContext {
  CMixtableEx* tables = nullptr;
  int mode = 0;
  const void* window = nullptr;
  int32_t total = 0;     // table files found (progress total)
  int32_t visited = 0;   // tables visited so far
  bool merge = false;    // level tables to merge were found
  bool stopped = false;  // a backup failed: the scan was stopped
  std::string descr;     // the data-set description (progress text)
  Wy_MaintenanceGuard* guard = nullptr;
  Wy_MaintenanceLog* log = nullptr;
  Wy_UpgradeReport* report = nullptr;

  bool quick() const { return mode == kWyCheckQuick; }
};

// Converts the tables of every level whose file does not open with the
// registry's indexes (old structures lacking an indexed field), which the
// scan would pass over; logged as the patch scan logs. Ends with every
// table closed.
void ConvertUnopenedTables(UpgradeContext& ctx);

// CMixtable::ScanFunc callbacks; ctx is an UpgradeContext.
int PatchTable(Wdbase* db, void* ctx, int phase, int table, int32_t prd,
               int32_t spd);
int MergeTable(Wdbase* db, void* ctx, int phase, int table, int32_t prd,
               int32_t spd);

// "BLEND_L"/"BLEND_S" VALUE: with exactly four comma-separated items,
// *out receives "%-3.3s,%3d,%1c,%4d" of item 1 trimmed, item 2, the first
// character of item 3 trimmed (a blank when empty) and item 4, and the
// answer is 1. 0: not four items (left alone, nothing to say). -1: four
// items that the rule would damage (item 1 longer than 3 characters, item
// 2 or 4 not an integer, or one the width cannot hold); *why says which.
int NormaliseBlendValue(const std::string& value, std::string* out,
                        std::string* why);

// A key field's raw value (untrimmed): when it is a plain decimal number
// (blanks around an optional sign and digits) that differs from "%5ld" of
// its value, 1 with *out that form, or five blanks for the value 0. 0 when
// it is five blanks, equals its form ("    0" included) or the form would
// not fit; -1 when it is no plain decimal number (left alone).
int NormaliseKeyValue(const std::string& raw, std::string* out);

// Whether a field of this name, type and width is a key field.
bool IsKeyField(const char* name, char type, int len);

// Percent of done out of total, clamped to 0..100.
int64_t Percent(int64_t done, int64_t total);

}  // namespace mixtable

#endif  // MIXTABLE_MAINTENANCE_UPGRADE_H_
