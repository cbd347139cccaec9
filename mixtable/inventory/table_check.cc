// Creating and updating the inventory tables.

#include "inventory/table_check.h"

#include <string>
#include <vector>

#include "maintenance/convert.h"
#include "platform/env.h"

namespace mixtable_inventory {
namespace {

// A handle on the data file of def without its indexes: an old table whose
// index expressions name missing fields still opens.
bool DefinePlain(const Wdbase& def, Wdbase& plain) {
  return plain.SetFiles(def.GetPath(), def.GetName(0), 0, nullptr, nullptr) !=
         0;
}

std::string DataPath(const Wdbase& def) {
  return std::string(def.GetPath()) + def.GetName(0);
}

// What an interrupted replacement leaves of the old table.
bool AsideExists(const Wdbase& def) {
  return platform::Env::Current()->FileExists(DataPath(def) + ".old");
}

// Plans the conversion of the open table plain to layout.
mixtable::ConvPlan Plan(const Wdbase& plain, std::vector<WDBASE_FIELD>& dict) {
  mixtable::ConvPlan plan;
  plan.source = mixtable::DescribeSource(plain);
  mixtable::MatchFields(dict.data(), nullptr, false, false, &plan);
  return plan;
}

}  // namespace

std::vector<WDBASE_FIELD> CopyLayout(const WDBASE_FIELD* layout) {
  std::vector<WDBASE_FIELD> out;
  for (int k = 0; layout != nullptr && layout[k].name[0] != '\0'; ++k)
    out.push_back(layout[k]);
  out.push_back(WDBASE_FIELD{});
  return out;
}

TableState CheckTable(const Wdbase& def, const WDBASE_FIELD* layout) {
  if (def.Access(0) == 0 && !AsideExists(def)) return TableState::kMissing;
  Wdbase plain;
  if (!DefinePlain(def, plain) || !plain.Open()) return TableState::kBroken;
  std::vector<WDBASE_FIELD> dict = CopyLayout(layout);
  const bool differs = mixtable::PlanChanges(Plan(plain, dict));
  plain.Close();
  return differs ? TableState::kDiffers : TableState::kMatches;
}

bool CreateTable(Wdbase& def, const WDBASE_FIELD* layout) {
  if (def.Access(0) != 0 || AsideExists(def)) return false;
  Wdbase plain;
  return DefinePlain(def, plain) && plain.CreateDb(layout) != 0;
}

bool UpdateTable(Wdbase& def, const WDBASE_FIELD* layout) {
  Wdbase plain;
  if (!DefinePlain(def, plain) || !plain.Open()) return false;
  std::vector<WDBASE_FIELD> dict = CopyLayout(layout);
  const mixtable::ConvPlan plan = Plan(plain, dict);
  if (!mixtable::PlanChanges(plan)) {
    plain.Close();
    return true;
  }
  std::vector<WDBASE_FIELD> fields;
  for (const mixtable::ConvTarget& t : plan.target) fields.push_back(t.def);
  fields.push_back(WDBASE_FIELD{});
  // Replaces the table (both handles end closed on success and failure).
  if (WdbaseCopyUpdateDb(&plain, nullptr, fields.data(), nullptr) == 0) {
    if (plain.IsOpen(0)) plain.Close();
    return false;
  }
  if (plain.IsOpen(0)) plain.Close();
  // The old index files describe the old records: the next Open builds
  // them anew.
  for (int k = 1; k <= def.GetIdxCount(); ++k)
    if (def.Access(k)) def.Unlink(k);
  return true;
}

}  // namespace mixtable_inventory
