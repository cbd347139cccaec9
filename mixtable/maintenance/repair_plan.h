// The plan of a repair: the reference ids loaded first, the records found
// orphaned in every checked table, and the deletions carried out only when
// the whole plan could be made. Internal to the tables library.

#ifndef MIXTABLE_MAINTENANCE_REPAIR_PLAN_H_
#define MIXTABLE_MAINTENANCE_REPAIR_PLAN_H_

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include "maintenance/level_tree.h"
#include "xbase32/wdbase.h"

namespace mixtable::repairs {

using IdSet = std::unordered_set<int32_t>;

// Loads the "ID" of every record (deleted ones included) of registry table
// `table` in dir. False when the table is missing, cannot be opened, is
// empty or was not read to its end.
bool LoadIds(const std::string& dir, int table, IdSet* ids);

class RepairPlan {
 public:
  // Loads the products and sub-products of the data set in data_dir.
  explicit RepairPlan(const std::string& data_dir);

  const LevelTree& tree() const { return tree_; }
  // Every directory of the data set with its level bit (Y_LEVEL_*).
  const std::vector<std::pair<std::string, uint8_t>>& dirs() const {
    return dirs_;
  }

  // Walks registry table `table` in dir (nothing when it is missing there)
  // and records every live record for which orphan answers true. orphan
  // may call Fail(). False when the table could not be read to its end.
  bool PlanTable(const std::string& dir, int table,
                 const std::function<bool(const Wdbase&)>& orphan);

  // The key rule: true when the record's non-zero PROD_KEY names no
  // product, or its non-zero SUBP_KEY no sub-product of that product.
  // Tables without both fields answer false. Fails the plan when PRODUCTS
  // (or the SUBPRODS needed) cannot be trusted.
  bool KeyOrphan(const Wdbase& db);

  // The directory whose FRM.DBF opens for product prd and sub-product spd
  // (0: none), the most specific first; empty when there is none or the
  // product or sub-product does not exist. Fails the plan when PRODUCTS or
  // the SUBPRODS needed cannot be trusted.
  std::string FrmDirFor(int32_t prd, int32_t spd);
  // The formula ids of FRM in dir (loaded once); null after Fail().
  const IdSet* FrmIds(const std::string& dir);

  void Fail() { failed_ = true; }
  bool failed() const { return failed_; }
  int32_t planned() const;
  // The number of tables with deletions planned.
  int64_t tables() const { return static_cast<int64_t>(deletions_.size()); }

  // Deletes the planned records and packs each table changed, with the
  // engine's auto-flush off (the previous setting restored on every path).
  // Before each table, progress is called with its name and save with its
  // directory and table; a save that answers false stops the run before
  // that table changes. False when the plan failed, a save failed or a
  // deletion or pack failed.
  bool Execute(const std::function<void(const char*)>& progress,
               const std::function<bool(const std::string&, int)>& save);

 private:
  struct Deletions {
    std::string dir;
    int table;
    std::vector<int32_t> recnos;
  };
  // The product, or null (failing the plan when PRODUCTS is not usable).
  const ProductLevel* ProductFor(int32_t prd);

  LevelTree tree_;
  std::vector<std::pair<std::string, uint8_t>> dirs_;
  std::vector<Deletions> deletions_;
  std::map<std::string, IdSet> frm_ids_;
  bool failed_ = false;
};

}  // namespace mixtable::repairs

#endif  // MIXTABLE_MAINTENANCE_REPAIR_PLAN_H_
