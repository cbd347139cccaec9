// The products and sub-products of a data set as the maintenance passes need
// them: ids, descriptions, trimmed PATHs and the directories they resolve
// to, with whether each table was read to its end. Also the reading of a
// whole registry table in one directory. Internal to the tables library.

#ifndef MIXTABLE_MAINTENANCE_LEVEL_TREE_H_
#define MIXTABLE_MAINTENANCE_LEVEL_TREE_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "xbase32/wdbase.h"

namespace mixtable::repairs {

// How a whole-table read ended.
enum class TableRead {
  kOk,       // every record visited
  kMissing,  // no data file in the directory
  kFailed,   // the table would not open or not every record was read
};

// Opens registry table `table` in dir (without its indexes, text as
// stored), calls fn on every record in natural order (deleted records
// included) and closes it. kOk only when as many records were visited as
// the table counts.
TableRead ReadWholeTable(const std::string& dir, int table,
                         const std::function<void(const Wdbase&)>& fn);

// An id field ("%5ld" text) read as a number; blanks and text that is no
// number read 0.
int32_t ReadId(const Wdbase& db, const char* field);

struct SubLevel {
  int32_t id = 0;
  std::string descr;  // trimmed
  std::string path;   // trimmed PATH
  std::string dir;    // product dir + PATH + "\", empty when PATH is unsafe
};

struct ProductLevel {
  int32_t id = 0;
  std::string descr;
  std::string path;
  std::string dir;  // data dir + PATH + "\", empty when PATH is unsafe
  // SUBPRODS of the product directory (only when dir is not empty).
  TableRead subprods = TableRead::kMissing;
  std::vector<SubLevel> subs;
};

struct LevelTree {
  std::string data_dir;  // with trailing "\"
  TableRead products = TableRead::kMissing;
  std::vector<ProductLevel> prds;

  // The product of this id (the first record), or null.
  const ProductLevel* Product(int32_t id) const;
  // Every distinct directory of the tree: the root, then each resolved
  // product directory and each resolved sub-product directory, in record
  // order, each once (compared in any case).
  std::vector<std::string> Dirs() const;
};

// Reads PRODUCTS at the root and SUBPRODS of every resolvable product
// directory. A PATH is resolvable when it is a plain name (no "..", drive
// or separator) that does not lead out of its directory and is not the
// backup area or lock file of maintenance runs.
LevelTree LoadLevelTree(const std::string& data_dir);

// Whether a and b are equal ignoring case.
bool SameNoCase(const std::string& a, const std::string& b);

}  // namespace mixtable::repairs

#endif  // MIXTABLE_MAINTENANCE_LEVEL_TREE_H_
