// The plan of a repair and its execution.

#include "maintenance/repair_plan.h"

#include "access/level_path.h"
#include "mixtable/wy_util.h"
#include "mixtable/ytable.h"

namespace mixtable::repairs {

namespace {

// Switches the engine's auto-flush off for its life.
class FlushOff {
 public:
  FlushOff() : previous_(Wdbase::FlushSet(0)) {}
  ~FlushOff() { Wdbase::FlushSet(previous_); }
  FlushOff(const FlushOff&) = delete;
  FlushOff& operator=(const FlushOff&) = delete;

 private:
  int previous_;
};

}  // namespace

bool LoadIds(const std::string& dir, int table, IdSet* ids) {
  int32_t n = 0;
  const TableRead r = ReadWholeTable(dir, table, [&](const Wdbase& db) {
    ids->insert(ReadId(db, "ID"));
    ++n;
  });
  return r == TableRead::kOk && n > 0;
}

RepairPlan::RepairPlan(const std::string& data_dir)
    : tree_(LoadLevelTree(data_dir)) {
  auto add = [this](const std::string& d, uint8_t level) {
    if (d.empty()) return;
    for (const auto& o : dirs_)
      if (SameNoCase(o.first, d)) return;
    dirs_.emplace_back(d, level);
  };
  add(tree_.data_dir, Y_LEVEL_BASE);
  for (const ProductLevel& p : tree_.prds) add(p.dir, Y_LEVEL_PRODUCT);
  for (const ProductLevel& p : tree_.prds)
    for (const SubLevel& s : p.subs) add(s.dir, Y_LEVEL_SUBPRODUCT);
}

bool RepairPlan::PlanTable(const std::string& dir, int table,
                           const std::function<bool(const Wdbase&)>& orphan) {
  Deletions del{dir, table, {}};
  const TableRead r = ReadWholeTable(dir, table, [&](const Wdbase& db) {
    if (!db.Deleted() && orphan(db)) del.recnos.push_back(db.RecNo());
  });
  if (r == TableRead::kFailed) {
    Wy_Trace("Repair: %s%s could not be read to its end\n", dir.c_str(),
             WyGetFileInfo(table)->def.name);
    failed_ = true;
    return false;
  }
  if (!del.recnos.empty()) deletions_.push_back(std::move(del));
  return true;
}

const ProductLevel* RepairPlan::ProductFor(int32_t prd) {
  if (tree_.products != TableRead::kOk || tree_.prds.empty()) {
    failed_ = true;  // product keys cannot be judged
    return nullptr;
  }
  return tree_.Product(prd);
}

bool RepairPlan::KeyOrphan(const Wdbase& db) {
  if (db.FieldNo("PROD_KEY") <= 0 || db.FieldNo("SUBP_KEY") <= 0) return false;
  const int32_t prd = ReadId(db, "PROD_KEY");
  const int32_t spd = ReadId(db, "SUBP_KEY");
  if (prd == 0) return false;
  const ProductLevel* p = ProductFor(prd);
  if (failed_) return false;
  if (p == nullptr) return true;
  if (spd == 0 || p->dir.empty()) return false;
  if (p->subprods == TableRead::kMissing) return true;
  if (p->subprods == TableRead::kFailed || p->subs.empty()) {
    failed_ = true;
    return false;
  }
  for (const SubLevel& s : p->subs)
    if (s.id == spd) return false;
  return true;
}

std::string RepairPlan::FrmDirFor(int32_t prd, int32_t spd) {
  std::vector<std::string> candidates;
  if (prd != 0) {
    const ProductLevel* p = ProductFor(prd);
    if (p == nullptr) return std::string();
    if (!p->dir.empty()) {
      if (spd != 0) {
        if (p->subprods == TableRead::kFailed) {
          failed_ = true;
          return std::string();
        }
        const SubLevel* found = nullptr;
        for (const SubLevel& s : p->subs)
          if (s.id == spd) found = &s;
        if (found == nullptr) return std::string();
        candidates.push_back(found->dir);
      }
      candidates.push_back(p->dir);
    }
  }
  candidates.push_back(tree_.data_dir);
  for (const std::string& d : candidates)
    if (!d.empty() && FileInDir(d, WyGetFileInfo(Y_FRM)->def.name)) return d;
  return std::string();
}

const IdSet* RepairPlan::FrmIds(const std::string& dir) {
  auto it = frm_ids_.find(dir);
  if (it != frm_ids_.end()) return &it->second;
  IdSet ids;
  if (!LoadIds(dir, Y_FRM, &ids)) {
    Wy_Trace("Repair: %sFRM.DBF missing, empty or unreadable\n", dir.c_str());
    failed_ = true;
    return nullptr;
  }
  return &frm_ids_.emplace(dir, std::move(ids)).first->second;
}

int32_t RepairPlan::planned() const {
  int32_t n = 0;
  for (const Deletions& d : deletions_)
    n += static_cast<int32_t>(d.recnos.size());
  return n;
}

bool RepairPlan::Execute(
    const std::function<void(const char*)>& progress,
    const std::function<bool(const std::string&, int)>& save) {
  if (failed_) return false;
  FlushOff flush_off;
  for (const Deletions& d : deletions_) {
    const YTABLE* row = WyGetFileInfo(d.table);
    if (progress) progress(row->def.name);
    if (save && !save(d.dir, d.table)) return false;
    Wdbase db;
    bool ok = db.SetFiles(&row->def) && db.SetPath(d.dir.c_str()) && db.Open();
    for (size_t i = 0; ok && i < d.recnos.size(); ++i)
      ok = db.Goto(d.recnos[i]) && (db.Deleted() || db.Delete());
    ok = ok && db.Flush() && db.Pack();
    if (db.IsOpen(0)) ok = db.Close() && ok;
    if (!ok) {
      Wy_Trace("Repair: %s%s FAILED: %d %s\n", d.dir.c_str(), row->def.name,
               Wdbase::LastErrorCode(), Wdbase::LastErrorText());
      return false;
    }
  }
  return true;
}

}  // namespace mixtable::repairs
