// Structure conversion: which field of the table becomes which field of the
// dictionary, and which fields the dictionary does not name.

#include <strings.h>

#include <cstring>
#include <string>
#include <vector>

#include "maintenance/convert.h"

namespace mixtable {
namespace {

// The source field named name (ignoring case), or null.
const ConvSource* Find(const std::vector<ConvSource>& src, const char* name) {
  if (name == nullptr || *name == '\0') return nullptr;
  for (const ConvSource& s : src)
    if (strcasecmp(s.name.c_str(), name) == 0) return &s;
  return nullptr;
}

bool SameDefinition(const ConvSource& s, const WDBASE_FIELD& d) {
  return s.type == d.type && s.len == static_cast<uint16_t>(d.len) &&
         s.dec == d.dec;
}

WDBASE_FIELD DefinitionOf(const ConvSource& s) {
  WDBASE_FIELD f{};
  std::strncpy(f.name, s.name.c_str(), 10);
  f.type = s.type;
  f.len = static_cast<int16_t>(static_cast<uint16_t>(s.len));
  f.dec = static_cast<int16_t>(s.dec);
  return f;
}

}  // namespace

std::vector<ConvSource> DescribeSource(const Wdbase& db) {
  std::vector<ConvSource> out;
  int offset = 0;
  for (int k = 1; k <= db.FieldCount(); ++k) {
    ConvSource s;
    char name[16] = {};
    char type = 0;
    int len = 0, dec = 0;
    db.FieldInfo(k, name, &type, &len, &dec);
    s.name = name;
    s.type = type;
    s.len = len;
    s.dec = dec;
    s.number = k;
    s.offset = offset;
    offset += len;
    out.push_back(s);
  }
  return out;
}

void MatchFields(WDBASE_FIELD* dict, const YTABLE_RENAMEFIELD* renames,
                 bool exact_widths, bool remove_extra, ConvPlan* plan) {
  std::vector<bool> used(plan->source.size() + 1, false);
  plan->target.clear();
  plan->removed.clear();
  plan->widened = false;
  for (int k = 0; dict[k].name[0] != '\0'; ++k) {
    WDBASE_FIELD& d = dict[k];
    const ConvSource* match = nullptr;
    // A rename applies only while the new name is not in the table yet:
    // otherwise that field is the match and the old one stays an extra.
    if (renames != nullptr && Find(plan->source, d.name) == nullptr) {
      for (const YTABLE_RENAMEFIELD* r = renames; r->newName != nullptr; ++r) {
        if (std::strcmp(r->newName, d.name) != 0) continue;
        const ConvSource* old = Find(plan->source, r->oldName);
        if (old != nullptr && !used[old->number]) {
          match = old;
          break;
        }
      }
    }
    if (match == nullptr) {
      match = Find(plan->source, d.name);
      if (match != nullptr && used[match->number]) match = nullptr;
    }
    ConvTarget t;
    t.dict = k;
    if (match != nullptr) {
      used[match->number] = true;
      t.source = match->number;
      // Widths never shrink: a wider C or N field keeps its width.
      if (!exact_widths && match->type == d.type &&
          (d.type == 'C' || d.type == 'N') &&
          match->len > static_cast<uint16_t>(d.len)) {
        d.len = static_cast<int16_t>(static_cast<uint16_t>(match->len));
        plan->widened = true;
      }
      t.convert = !SameDefinition(*match, d);
    }
    t.def = d;
    plan->target.push_back(t);
  }
  for (const ConvSource& s : plan->source) {
    if (used[s.number]) continue;
    ConvTarget t;
    t.def = DefinitionOf(s);
    t.source = s.number;
    (remove_extra ? plan->removed : plan->target).push_back(t);
  }
}

bool PlanChanges(const ConvPlan& plan) {
  if (!plan.removed.empty()) return true;
  for (const ConvTarget& t : plan.target) {
    if (t.source == 0 || t.convert) return true;
    const ConvSource& s = plan.source[static_cast<size_t>(t.source - 1)];
    if (strcasecmp(s.name.c_str(), t.def.name) != 0) return true;  // renamed
  }
  return false;
}

}  // namespace mixtable
