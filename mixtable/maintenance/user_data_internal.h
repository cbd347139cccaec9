// Helpers shared by the user data sources: text columns, the data directory
// after the cache rule, the head line of the lists, numbers as
// field text, and raw writes with one flush per table.

#ifndef MIXTABLE_MAINTENANCE_USER_DATA_INTERNAL_H_
#define MIXTABLE_MAINTENANCE_USER_DATA_INTERNAL_H_

#include <string>
#include <utility>
#include <vector>

#include "xbase32/wdbase.h"

namespace wy_user_data_internal {

bool EqualNoCase(const std::string& a, const std::string& b);
std::string Trim(const std::string& s);
std::string RightTrim(const std::string& s);
// text padded with blanks or cut to width.
std::string Pad(const std::string& text, size_t width);

// Whether machine stands for this machine (null, empty or the catalogue's
// local name in any case).
bool IsLocal(const char* machine);
// The data directory to use (trailing "\"): dataDir itself for this
// machine, its cache directory for another. False for an empty directory
// or a name the cache refuses.
bool ResolveDir(const char* dataDir, const char* machine, std::string* dir);
// Line 0 of groups and items: descr is the data set's description line
// (CMixtableEx::GetGdataDescr).
std::string HeadLine(const std::string& descr, const std::string& dir);

// text (blanks around allowed; all blank reads as 0) as a number: a whole
// number in the int32_t range when integer, else any finite decimal.
bool ParseNumber(const std::string& text, bool integer, double* v);
// Whether v shows in a numeric field of width and dec without "*".
bool NumberFits(double v, int width, int dec);

// Raw writes to tables for one pass: each added table's code-page
// conversion is switched off and the engine's auto-flush too; Finish (or
// the destructor) flushes every table and restores both.
class RawWrites {
 public:
  RawWrites();
  ~RawWrites();
  RawWrites(const RawWrites&) = delete;
  RawWrites& operator=(const RawWrites&) = delete;
  void Add(Wdbase* db);
  // False when a flush failed.
  bool Finish();

 private:
  std::vector<std::pair<Wdbase*, Wdbase_OEMtoChar>> tables_;
  int old_flush_;
  bool done_ = false;
};

}  // namespace wy_user_data_internal

#endif  // MIXTABLE_MAINTENANCE_USER_DATA_INTERNAL_H_
