// The repairs: orphans of colorants, bases, cans, products and formulas.

#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "maintenance/repair_plan.h"
#include "maintenance/repair_progress.h"
#include "mixtable/wy_maintenance.h"
#include "mixtable/wy_repairs.h"
#include "mixtable/wy_util.h"
#include "mixtable/ytable.h"

using mixtable::repairs::IdSet;
using mixtable::repairs::LoadIds;
using mixtable::repairs::ReadId;
using mixtable::repairs::RepairPlan;

namespace {

// A checked table, its reference field and the ids it must name.
struct Check {
  int table;
  const char* field;
  const IdSet* refs;
};

// The data directory of the table set with every table closed, and the
// maintenance run begun; empty when there is none or the run cannot begin
// (another run holds the data set, a table is in use, an interrupted run
// cannot be restored).
std::string Prepare(CMixtable* tables,
                    std::unique_ptr<Wy_MaintenanceGuard>* guard) {
  if (tables == nullptr) return std::string();
  tables->CloseAll();
  const std::string dir = tables->GetDataDir();
  if (dir.empty()) return dir;
  *guard = std::make_unique<Wy_MaintenanceGuard>(dir);
  const int begun = (*guard)->Begin();
  if (begun != 1) {
    Wy_Trace("Repair: %s (%d)\n", (*guard)->error().c_str(), begun);
    return std::string();
  }
  return dir;
}

// Sends the table percentage of the deletions done and the table's name.
class TableProgress {
 public:
  explicit TableProgress(const void* window) : window_(window) {}
  void operator()(const char* name) {
    mixtable::repairs::SendProgress(window_, mixtable::repairs::kProgressTable,
                                    mixtable::repairs::Percent(done_++, total_),
                                    name);
  }
  void set_total(int64_t total) { total_ = total; }

 private:
  const void* window_;
  int64_t done_ = 0;
  int64_t total_ = 0;
};

// Carries out the plan as one maintenance run: every table is saved in the
// backup area before it changes; a failure rolls every table back.
bool Run(RepairPlan& plan, Wy_MaintenanceGuard& guard, const void* window) {
  if (plan.failed()) return false;
  TableProgress progress(window);
  progress.set_total(plan.tables());
  bool ok = plan.Execute([&progress](const char* name) { progress(name); },
                         [&guard](const std::string& dir, int table) {
                           if (guard.SaveTable(dir, table)) return true;
                           Wy_Trace("Repair: %s\n", guard.error().c_str());
                           return false;
                         });
  ok = ok ? guard.Complete() : (guard.Rollback(), false);
  mixtable::repairs::SendProgress(window, mixtable::repairs::kProgressTable,
                                  100, nullptr);
  return ok;
}

// Plans every check at every level its table may live at, then deletes.
int CheckByIds(CMixtable* tables, const void* window,
               const std::vector<int>& ref_tables,
               const std::vector<std::pair<int, const char*>>& checks) {
  std::unique_ptr<Wy_MaintenanceGuard> guard;
  const std::string root = Prepare(tables, &guard);
  if (root.empty()) return -1;
  std::vector<IdSet> refs(ref_tables.size());
  for (size_t i = 0; i < ref_tables.size(); ++i) {
    if (!LoadIds(root, ref_tables[i], &refs[i])) {
      Wy_Trace("Repair: %s%s missing, empty or unreadable\n", root.c_str(),
               WyGetFileInfo(ref_tables[i])->def.name);
      return -1;
    }
  }
  RepairPlan plan(root);
  for (size_t c = 0; c < checks.size() && !plan.failed(); ++c) {
    const int table = checks[c].first;
    const char* field = checks[c].second;
    const IdSet& ids = refs[c < refs.size() ? c : refs.size() - 1];
    for (const auto& [dir, level] : plan.dirs()) {
      if (!(WyGetFileInfo(table)->level_mask & level)) continue;
      plan.PlanTable(dir, table, [&](const Wdbase& db) {
        return ids.count(ReadId(db, field)) == 0 || plan.KeyOrphan(db);
      });
      if (plan.failed()) break;
    }
  }
  return Run(plan, *guard, window) ? 0 : -1;
}

// The reference table named by a MASK "TYPE" or RULER "RTYPE": 0 bases,
// 1 colorants, 2 cans, -1 none.
int TypeRef(const Wdbase& db, const char* field) {
  const char* raw = db.Read(field, 1, 1);
  std::string t = raw ? raw : "";
  for (char& c : t)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (t == "BA") return 0;
  if (t == "CO") return 1;
  if (t == "CA") return 2;
  return -1;
}

}  // namespace

int Wy_UpdateCntsColorimetry(CMixtable* tables, const void* window) {
  return CheckByIds(tables, window, {Y_CNTS},
                    {{Y_CNT_BLND, "PTR_ID"}, {Y_CNT_KS, "ID"}});
}

int Wy_UpdateBasesColorimetry(CMixtable* tables, const void* window) {
  return CheckByIds(tables, window, {Y_BASES},
                    {{Y_BAS_BLND, "PTR_ID"}, {Y_BAS_KS, "ID"}});
}

int Wy_UpdateCntsHue(CMixtable* tables, const void* window) {
  return CheckByIds(tables, window, {Y_CNTS}, {{Y_CNT_HUE, "ID"}});
}

int Wy_UpdateBasesHue(CMixtable* tables, const void* window) {
  return CheckByIds(tables, window, {Y_BASES}, {{Y_BAS_HUE, "ID"}});
}

int Wy_UpdateForceFactors(CMixtable* tables, const void* window) {
  return CheckByIds(tables, window, {Y_CNTS, Y_BASES},
                    {{Y_CNT_FF, "ID"}, {Y_BAS_FF, "ID"}});
}

int Wy_UpdateBarcodes(CMixtable* tables, const void* window) {
  std::unique_ptr<Wy_MaintenanceGuard> guard;
  const std::string root = Prepare(tables, &guard);
  if (root.empty()) return -1;
  IdSet bases, cans;
  if (!LoadIds(root, Y_BASES, &bases) || !LoadIds(root, Y_CANS, &cans)) {
    Wy_Trace("Repair: %sBASES or CANS missing, empty or unreadable\n",
             root.c_str());
    return -1;
  }
  RepairPlan plan(root);
  plan.PlanTable(root, Y_TBLCODE, [&](const Wdbase& db) {
    const int32_t base = ReadId(db, "BASE_ID");
    const int32_t can = ReadId(db, "CAN_ID");
    const int32_t frm = ReadId(db, "FRM_ID");
    if (base != 0 && bases.count(base) == 0) return true;
    if (can != 0 && cans.count(can) == 0) return true;
    if (frm == 0) return false;
    const std::string dir =
        plan.FrmDirFor(ReadId(db, "PROD_ID"), ReadId(db, "SUBP_ID"));
    if (plan.failed()) return false;
    if (dir.empty()) return true;
    const IdSet* ids = plan.FrmIds(dir);
    return ids != nullptr && ids->count(frm) == 0;
  });
  return Run(plan, *guard, window) ? 0 : -1;
}

bool Wy_UpdateMasksAndRulers(CMixtable* tables, const void* window, int mode) {
  if (mode < 0 || mode > 2) return false;
  std::unique_ptr<Wy_MaintenanceGuard> guard;
  const std::string root = Prepare(tables, &guard);
  if (root.empty()) return false;
  IdSet refs[3];
  const int ref_tables[3] = {Y_BASES, Y_CNTS, Y_CANS};
  for (int i = 0; i < 3; ++i) {
    if (!LoadIds(root, ref_tables[i], &refs[i])) {
      Wy_Trace("Repair: %s%s missing, empty or unreadable\n", root.c_str(),
               WyGetFileInfo(ref_tables[i])->def.name);
      return false;
    }
  }
  RepairPlan plan(root);
  if (plan.tree().products != mixtable::repairs::TableRead::kOk) return false;
  std::vector<std::pair<int, const char*>> checks;
  if (mode != 1) checks.emplace_back(Y_MASK, "TYPE");
  if (mode != 0) checks.emplace_back(Y_RULER, "RTYPE");
  const char* id_field[2] = {"PNT_ID", "PTR_ID"};
  std::vector<std::string> seen;
  for (const auto& p : plan.tree().prds) {
    if (p.subprods == mixtable::repairs::TableRead::kFailed) return false;
    for (const auto& s : p.subs) {
      if (s.dir.empty()) continue;
      bool dup = false;
      for (const std::string& d : seen)
        dup = dup || mixtable::repairs::SameNoCase(d, s.dir);
      if (dup) continue;
      seen.push_back(s.dir);
      for (const auto& [table, type_field] : checks) {
        const char* ptr = id_field[table == Y_RULER ? 1 : 0];
        const auto field = type_field;  // a lambda cannot capture a binding
        plan.PlanTable(s.dir, table, [&](const Wdbase& db) {
          const int ref = TypeRef(db, field);
          return ref >= 0 && refs[ref].count(ReadId(db, ptr)) == 0;
        });
        if (plan.failed()) return false;
      }
    }
  }
  return Run(plan, *guard, window);
}
