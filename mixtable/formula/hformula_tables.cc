// Creating, bringing up to date and renumbering the archive and history
// tables.

#include "formula/hformula_tables.h"

#include <strings.h>

#include <cstring>
#include <string>
#include <vector>

#include "formula/hformula_history_impl.h"
#include "maintenance/convert.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"

namespace hformula_impl {

bool TableExists(const Wdbase& db) {
  const char* dir = db.GetPath();
  const char* name = db.GetName(0);
  if (dir == nullptr || name == nullptr || *name == '\0') return false;
  const std::string data = std::string(dir) + name;
  platform::Env* env = platform::Env::Current();
  // The engine sets an old table aside as "<data file>.old" while it
  // replaces it.
  return env->FileExists(data) || env->FileExists(data + ".old");
}

int CreateTable(Wdbase* db, const WDBASE_FIELD* fields, const char* who) {
  if (db->CreateDb(fields)) {
    Wy_Trace("\n%s Done.", who);
    return 1;
  }
  Wy_Trace("\n%s ERROR in db->CreateDb.", who);
  return 0;
}

int BringUpToDate(Wdbase* db, const WDBASE_FIELD* def, const char* who) {
  if (!db->Open()) {
    Wy_Trace("\n%s ERROR: the table %s%s exists but cannot be opened.", who,
             db->GetPath(), db->GetName(0));
    return 0;
  }
  std::vector<WDBASE_FIELD> dict;
  for (const WDBASE_FIELD* f = def; f->name[0] != '\0'; ++f) dict.push_back(*f);
  dict.push_back(WDBASE_FIELD{});
  mixtable::ConvPlan plan;
  plan.source = mixtable::DescribeSource(*db);
  mixtable::MatchFields(dict.data(), nullptr, false, false, &plan);
  if (!mixtable::PlanChanges(plan)) {
    db->Close();
    return 1;
  }
  std::vector<WDBASE_FIELD> fields;
  for (const mixtable::ConvTarget& t : plan.target) fields.push_back(t.def);
  fields.push_back(WDBASE_FIELD{});
  // Replaces the table by a converted copy; db ends closed either way.
  if (!WdbaseCopyUpdateDb(db, nullptr, fields.data(), nullptr)) {
    Wy_Trace("\n%s ERROR converting %s%s (%d %s).", who, db->GetPath(),
             db->GetName(0), Wdbase::LastErrorCode(),
             Wdbase::LastErrorDetail(0));
    if (db->IsOpen(0)) db->Close();
    return 0;
  }
  if (db->IsOpen(0)) db->Close();
  return 1;
}

namespace {

// Blank, or zeros only.
bool BlankOrZero(const char* v) {
  if (v == nullptr) return false;
  for (; *v != '\0'; ++v)
    if (*v != ' ' && *v != '0') return false;
  return true;
}

}  // namespace

int RewriteBlankDataIds(Wdbase* db, uint32_t id) {
  if (!db->Open()) return 0;
  bool ok = true;
  {
    AutoFlushOff flush(db);
    if (!db->Lock()) {
      ok = false;
    } else {
      db->SelectIdx(0);
      for (int more = db->Top(); more && !db->Eof(); more = db->Next()) {
        const char* v = db->Read("DATAID");
        if (v == nullptr) {
          ok = false;
          break;
        }
        if (BlankOrZero(v) && !WriteDataId(db, "DATAID", id)) {
          ok = false;
          break;
        }
      }
      ok = db->Unlock() && ok;
    }
  }
  ok = db->Close() && ok;
  return ok ? 1 : 0;
}

}  // namespace hformula_impl
