// Wy_GDataChild: applying the rules of one table at one level of a child.
//
// The cards of the table are applied in card order. Each card's expression
// is registered with the engine and matched either through a special filter
// (a temporary index over the condition, ordered by record number, which
// the engine limits to tables of 99 999 records) or, on larger tables, by
// evaluating the same condition on every record. Both give the matching
// record numbers in ascending order; the card's action is then applied to
// those records, so the result never depends on the path taken.
#include <strings.h>

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "mixtable/wy_gdata_child.h"
#include "mixtable/wy_util.h"
#include "mixtable/ytable.h"
#include "platform/hooks.h"
#include "xbase32/wdbase.h"

namespace {

int32_t g_walkThreshold = kApplyWalkThreshold;

// A logical result of the engine's expressions is one byte: 1 true, 0 false
// (an empty text once copied out).
constexpr char kLogicalTrue = '\x01';

enum class Action { kNone, kSelect, kDelete };

Action ActionOf(const std::string& key) {
  if (!strcasecmp(key.c_str(), kCardKeySelect) ||
      !strcasecmp(key.c_str(), kCardKeySelectEx))
    return Action::kSelect;
  if (!strcasecmp(key.c_str(), kCardKeyDelete) ||
      !strcasecmp(key.c_str(), kCardKeyDeleteEx))
    return Action::kDelete;
  return Action::kNone;
}

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return s;
}

// A card's section applies to the level when every character equals the
// level's or is a wildcard ("?" one position, "*" of "********").
bool SectionApplies(const std::string& card, const std::string& level) {
  if (card.size() != level.size()) return false;
  for (size_t i = 0; i < card.size(); ++i)
    if (card[i] != '?' && card[i] != '*' && card[i] != level[i]) return false;
  return true;
}

// One applicable card: its position and the parts Card_Apply needs.
struct Rule {
  int pos;
  Action action;
  std::string value;
};

// Opens table at dir with the registry's indexes. -1 when it cannot be
// defined or opened, 0 when the table's file is not in dir, 1 when open.
int OpenTable(Wdbase& db, const std::string& dir, int table) {
  const YTABLE* info = WyGetFileInfo(table);
  if (!info) return -1;
  const DB_DEF& d = info->def;
  if (!db.SetFiles(dir.c_str(), d.name, d.idx_count, d.idx_names, d.idx_exprs))
    return -1;
  if (!db.Access(0)) return 0;
  return db.Open() ? 1 : -1;
}

// The matching records of cond through the special filter, in record-number
// order. False when the filter cannot be built or its walk fell short of the
// count the filter reports (a failure the engine keeps pending).
bool MatchByFilter(Wdbase& db, const std::string& cond,
                   std::vector<int32_t>& recs) {
  if (!db.SelectIdx(0) || !db.SpecialFilterInit(cond.c_str(), false, true))
    return false;
  for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next())
    recs.push_back(db.RecNo());
  const int32_t count = db.GetLastPosition();
  db.SpecialFilterQuit();
  return count == int32_t(recs.size());
}

// The same by evaluating cond on every record: for tables too large for the
// special filter. False when a record cannot be read or evaluated.
bool MatchByWalk(Wdbase& db, const std::string& cond,
                 std::vector<int32_t>& recs) {
  if (!db.SelectIdx(0)) return false;
  const int32_t n = db.RecCount();
  char out[8];
  for (int32_t r = 1; r <= n; ++r) {
    if (!db.Goto(r) || !db.GetExprResult(cond.c_str(), out, sizeof out))
      return false;
    if (out[0] == kLogicalTrue) recs.push_back(r);
  }
  return true;
}

// Deletes the FRM_REFL records of dir whose "FRM_ID" is no longer an "ID"
// of frm, and packs FRM_REFL when any was deleted. Answers the number
// deleted, or -1 on failure.
int32_t RemoveOrphanReflectances(Wdbase& frm, const std::string& dir) {
  Wdbase refl;
  const int open = OpenTable(refl, dir, Y_FRM_REFL);
  if (open <= 0) return open;
  if (!refl.Lock()) return -1;
  const int fid = refl.FieldNo("FRM_ID");
  if (fid <= 0 || frm.FieldNo("ID") <= 0) return -1;
  std::unordered_set<int32_t> ids;
  const int32_t nf = frm.RecCount();
  for (int32_t r = 1; r <= nf; ++r) {
    if (!frm.Goto(r)) return -1;
    if (!frm.Deleted()) ids.insert(frm.ReadLong("ID"));
  }
  int32_t deleted = 0;
  const int32_t nr = refl.RecCount();
  for (int32_t r = 1; r <= nr; ++r) {
    if (!refl.Goto(r)) return -1;
    if (refl.Deleted() || ids.count(refl.ReadLong(fid))) continue;
    if (!refl.Delete()) return -1;
    ++deleted;
  }
  if (deleted > 0 && (!refl.Flush() || !refl.Pack())) return -1;
  return deleted;
}

}  // namespace

void Wy_GDataChild::SetApplyWalkThreshold(int32_t records) {
  g_walkThreshold = records > 0 ? records : kApplyWalkThreshold;
}

int Wy_GDataChild::Card_Apply(const char* dir, int table, int32_t prd,
                              int32_t spd, const void* window) {
  if (m_notInit) return 0;
  const std::string database = MakeDatabase(table);
  const std::string section = MakeSezione(prd, spd);
  if (!dir || !*dir || database.empty() || section.empty() ||
      section.find_first_of("?*") != std::string::npos) {
    Wy_Trace("Wy_GDataChild: cannot apply rules to table %d (%ld/%ld) in %s",
             table, long(prd), long(spd), dir ? dir : "(null)");
    return -1;
  }
  std::string where = dir;
  if (where.back() != '\\') where += '\\';
  // The rules change the child only: the source is never written.
  if (!m_src.empty() && Upper(where).rfind(Upper(m_src), 0) == 0) {
    Wy_Trace("Wy_GDataChild: %s lies in the source, rules not applied",
             where.c_str());
    return -1;
  }

  // The cards of this table at this level, in card order.
  std::vector<Rule> rules;
  const Card search{"", database, "", "", ""};
  for (int pos = 0; pos < int(m_cards.size()); ++pos) {
    pos = Card_Find(search, kFindDatabase, pos);
    if (pos < 0) break;
    const Action action = ActionOf(m_found.key);
    const std::string value = Trim(m_found.value);
    if (action == Action::kNone || value.empty() ||
        !SectionApplies(m_found.section, section))
      continue;
    rules.push_back({pos, action, value});
  }
  if (rules.empty()) return 0;

  Wdbase db;
  const int open = OpenTable(db, where, table);
  if (open <= 0) {
    if (open < 0)
      Wy_Trace("Wy_GDataChild: %s%s cannot be opened", where.c_str(),
               database.c_str());
    return open;
  }
  const auto fail = [&](const char* what, int pos) {
    if (pos >= 0)
      Wy_Trace("Wy_GDataChild: %s%s: %s (card %d: %s)", where.c_str(),
               database.c_str(), what, pos + 1, m_cards[size_t(pos)].c_str());
    else
      Wy_Trace("Wy_GDataChild: %s%s: %s", where.c_str(), database.c_str(),
               what);
    db.SpecialFilterQuit();
    db.Close();
    return -1;
  };
  // Held for the whole application: no other writer interleaves with the
  // cards, and records are not locked one by one. Records deleted in the
  // source stay deleted (they are not part of the data set and must not
  // come back in the child); the child keeps no selections.
  if (!db.Lock()) return fail("table cannot be locked", -1);
  const int32_t count = db.RecCount();
  if (count > 0 && !db.UnselectAll()) return fail("selections not cleared", -1);
  const bool walk = count > g_walkThreshold;
  // The records SELECT cards keep, by record number. Kept in memory rather
  // than in the records' selection bits: the table is locked throughout, and
  // a record is then written only when it is deleted.
  std::vector<char> kept(size_t(count) + 1, 0);

  const int flushPrev = Wdbase::FlushSet(0);
  bool selectCard = false, selected = false;
  int32_t deleted = 0;
  int result = 1;
  for (const Rule& rule : rules) {
    platform::Progress(window, platform::kProgressStep,
                       platform::ProgressPercent(rule.pos, m_cards.size()),
                       database.c_str());
    if (rule.action == Action::kSelect) selectCard = true;
    if (count == 0) continue;
    std::string expr = rule.value;
    if (!IsCardValueSafe(expr)) {
      result = fail("expression refused", rule.pos);
      break;
    }
    if (!ExpandCntMacros(db, expr)) {
      result = fail("colorant macro cannot be expanded", rule.pos);
      break;
    }
    // The expression must parse against this table and be logical: a card
    // that cannot be evaluated would otherwise match nothing, silently.
    char probe[8];
    if (!db.Goto(1) || !db.GetExprResult(("(.NOT.(" + expr + "))").c_str(),
                                         probe, sizeof probe)) {
      result = fail("expression not a valid condition", rule.pos);
      break;
    }
    char token[32] = "";
    if (!db.StringToPtr(expr.data(), token, true)) {
      result = fail("expression not registered", rule.pos);
      break;
    }
    const std::string cond = "\"" + std::string(token) + "\"!\" \"";
    std::vector<int32_t> recs;
    if (!(walk ? MatchByWalk(db, cond, recs) : MatchByFilter(db, cond, recs))) {
      result =
          fail(walk ? "records cannot be evaluated" : "special filter failed",
               rule.pos);
      break;
    }
    bool ok = true;
    for (int32_t r : recs) {
      // The table is locked: the records matched are those counted.
      ok = r >= 1 && r <= count && db.Goto(r);
      if (!ok) break;
      if (rule.action == Action::kSelect) {
        if (db.Deleted()) continue;
        kept[size_t(r)] = 1;
        selected = true;
      } else {
        kept[size_t(r)] = 0;
        if (!db.Deleted()) {
          ok = db.Delete() != 0;
          ++deleted;
        }
      }
      if (!ok) break;
    }
    if (!ok || !db.Flush()) {
      result = fail("records cannot be written", rule.pos);
      break;
    }
  }
  // With a SELECT card, what no SELECT card kept goes.
  if (result == 1 && selectCard && count > 0) {
    bool ok = true;
    for (int32_t r = 1; ok && r <= count; ++r) {
      if (kept[size_t(r)]) continue;
      if (!(ok = db.Goto(r) != 0)) break;
      if (!db.Deleted()) {
        ok = db.Delete() != 0;
        ++deleted;
      }
    }
    if (!ok || !db.Flush()) result = fail("records cannot be written", -1);
  }
  Wdbase::FlushSet(flushPrev);
  if (result < 0) return result;
  if (deleted > 0 && !db.Pack()) return fail("table cannot be packed", -1);
  if (table == Y_FRM) {
    const int32_t orphans = RemoveOrphanReflectances(db, where);
    if (orphans < 0) return fail("FRM_REFL orphans not removed", -1);
    deleted += orphans;
  }
  if (!db.Close()) return fail("table cannot be closed", -1);
  return selected || deleted > 0 ? 1 : 0;
}
