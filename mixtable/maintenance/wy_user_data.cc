// User data groups and items: making and splitting groups, taking items
// out of a data set, their difference, and writing them back.

#include "mixtable/wy_user_data.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "maintenance/user_data_internal.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_repairs.h"
#include "xbase32/wdbase.h"

namespace ud = wy_user_data_internal;

namespace {

constexpr int kTables[] = {Y_BASES, Y_CNTS, Y_CANS};
// Most a "%5ld" column holds.
constexpr long kMaxId = 99999, kMinId = -9999;

// The switches as an array, in the order of kWyUserDataFields.
struct Switches {
  bool on[kWyUserDataFieldCount] = {};
};

const char* TableName(int table) {
  switch (table) {
    case Y_BASES:
      return "BASES";
    case Y_CNTS:
      return "CNTS";
    default:
      return "CANS";
  }
}

// Index of the switch naming (table, field) (right-trimmed, any case), or -1.
int SwitchOf(const std::string& table, const std::string& field) {
  for (int i = 0; i < kWyUserDataFieldCount; ++i)
    if (ud::EqualNoCase(table, kWyUserDataFields[i].table) &&
        ud::EqualNoCase(field, kWyUserDataFields[i].field))
      return i;
  return -1;
}

bool Split(const std::vector<std::string>& group, std::string* descr,
           std::string* dir, Switches* s) {
  if (group.empty()) return false;
  const std::string& head = group[0];
  bool ok = head.size() >= kWyUserDataDirAt &&
            head.compare(0, kWyUserDataDescrAt, kWyUserDataMark) == 0;
  if (descr != nullptr)
    *descr = head.size() > kWyUserDataDescrAt
                 ? head.substr(kWyUserDataDescrAt, kWyUserDataDescrWidth)
                 : std::string();
  if (dir != nullptr)
    *dir = head.size() > kWyUserDataDirAt ? head.substr(kWyUserDataDirAt)
                                          : std::string();
  for (size_t i = 1; i < group.size(); ++i) {
    const std::string& line = group[i];
    if (line.size() <= kWyUserDataGroupFieldAt) {
      ok = false;
      continue;
    }
    const int k =
        SwitchOf(ud::RightTrim(line.substr(0, kWyUserDataGroupFieldAt)),
                 ud::RightTrim(line.substr(
                     kWyUserDataGroupFieldAt,
                     kWyUserDataGroupLine - kWyUserDataGroupFieldAt)));
    if (k < 0) {
      ok = false;
      continue;
    }
    s->on[k] = true;
  }
  return ok;
}

// Whether the chosen switches name a field of table.
bool AnyChosen(const Switches& s, int table) {
  for (int i = 0; i < kWyUserDataFieldCount; ++i)
    if (s.on[i] &&
        ud::EqualNoCase(kWyUserDataFields[i].table, TableName(table)))
      return true;
  return false;
}

// A whole number of at most 5 columns: optional blanks, optional minus,
// digits, optional blanks.
bool ParseId(const std::string& text, long* v) {
  const std::string t = ud::Trim(text);
  if (t.empty() || t.size() > 5) return false;
  size_t i = t[0] == '-' ? 1 : 0;
  if (i == t.size()) return false;
  for (size_t k = i; k < t.size(); ++k)
    if (!std::isdigit(static_cast<unsigned char>(t[k]))) return false;
  *v = std::strtol(t.c_str(), nullptr, 10);
  return true;
}

// A small non-negative number (width, decimals).
bool ParseCount(const std::string& text, int* v) {
  long n;
  if (!ParseId(text, &n) || n < 0) return false;
  *v = static_cast<int>(n);
  return true;
}

// The record's text of field with its length (a NUL inside shortens it).
std::string RawField(Wdbase* db, const char* field, bool* whole) {
  const char* v = db->Read(field, 0, 0);
  std::string text = v != nullptr ? v : "";
  *whole = v != nullptr && static_cast<int>(text.size()) == db->FieldLen(field);
  return text;
}

std::string Fmt5(long v) {
  char buf[16];
  snprintf(buf, sizeof buf, "%5ld", v);
  return buf;
}

// Appends the item lines of db's current record; false when the record
// was left out (or some of its values).
bool AppendItems(Wdbase* db, int table, const Switches& s, bool keys,
                 std::vector<std::string>& items) {
  const long id = db->ReadLong("ID");
  const long prd = keys ? db->ReadLong("PROD_KEY") : 0;
  const long spd = keys ? db->ReadLong("SUBP_KEY") : 0;
  for (long v : {id, prd, spd})
    if (v > kMaxId || v < kMinId) return false;
  std::string descr;
  if (db->FieldNo("DESCR") > 0) {
    const char* d = db->Read("DESCR", 0, 0);
    descr = d != nullptr ? d : "";
  }
  descr.resize(24, ' ');
  for (char& c : descr)
    if (c == '\r' || c == '\n') c = ' ';
  const std::string head =
      ud::Pad(TableName(table), 8) + Fmt5(id) + Fmt5(prd) + Fmt5(spd) + descr;
  bool ok = true;
  for (int i = 0; i < kWyUserDataFieldCount; ++i) {
    if (!s.on[i] ||
        !ud::EqualNoCase(kWyUserDataFields[i].table, TableName(table)))
      continue;
    const char* field = kWyUserDataFields[i].field;
    char type = ' ';
    int width = 0, dec = 0;
    if (!db->FieldInfo(field, &type, &width, &dec)) continue;  // not here
    bool whole = false;
    const std::string value = RawField(db, field, &whole);
    if (!whole || value.find_first_of("\r\n") != std::string::npos) {
      ok = false;  // no line could carry it
      continue;
    }
    char cols[32];
    snprintf(cols, sizeof cols, "%c%3d%2d", type, width, dec);
    items.push_back(head + ud::Pad(field, 10) + cols + value);
  }
  return ok;
}

}  // namespace

bool Wy_CreateGDataUserDataGroup(std::vector<std::string>& group,
                                 const char* dataDir, const char* machine,
                                 bool basesCost, bool cntsCost, bool cntsSpecW,
                                 bool cansHMin, bool cansHMax,
                                 bool cansZeroFlag, bool cansFlags) {
  group.clear();
  try {
    std::string dir;
    if (!ud::ResolveDir(dataDir, machine, &dir)) return false;
    const bool on[kWyUserDataFieldCount] = {basesCost, cntsCost, cntsSpecW,
                                            cansHMin,  cansHMax, cansZeroFlag,
                                            cansFlags};
    CMixtableEx ts;
    ts.SetDataDir(dir.c_str());
    group.push_back(ud::HeadLine(ts.GetGdataDescr(), dir));
    for (int table : kTables) {
      Wdbase* db = ts.Mixtable().Handle(table);
      if (db == nullptr || !ts.Mixtable().Open(db)) continue;
      for (int i = 0; i < kWyUserDataFieldCount; ++i)
        if (on[i] &&
            ud::EqualNoCase(kWyUserDataFields[i].table, TableName(table)))
          group.push_back(ud::Pad(kWyUserDataFields[i].table, 8) +
                          ud::Pad(kWyUserDataFields[i].field, 10));
    }
    ts.Mixtable().CloseAll();
  } catch (const std::bad_alloc&) {
    group.clear();
    return false;
  }
  return true;
}

bool Wy_SplitGDataUserDataGroup(const std::vector<std::string>& group,
                                std::string* descr, std::string* dir,
                                bool* basesCost, bool* cntsCost,
                                bool* cntsSpecW, bool* cansHMin, bool* cansHMax,
                                bool* cansZeroFlag, bool* cansFlags) {
  Switches s;
  bool ok;
  try {
    ok = Split(group, descr, dir, &s);
  } catch (const std::bad_alloc&) {
    ok = false;
    s = Switches();
  }
  bool* out[kWyUserDataFieldCount] = {basesCost, cntsCost, cntsSpecW,
                                      cansHMin,  cansHMax, cansZeroFlag,
                                      cansFlags};
  for (int i = 0; i < kWyUserDataFieldCount; ++i)
    if (out[i] != nullptr) *out[i] = s.on[i];
  return ok;
}

bool Wy_GetGDataUserDataItem(const std::vector<std::string>& group,
                             std::vector<std::string>& items,
                             const char* dataDir, const char* machine) {
  items.clear();
  try {
    std::string dir;
    if (!ud::ResolveDir(dataDir, machine, &dir) ||
        Wy_GetGDataType(dir.c_str(), true) == YTABLE_GDATATYPE_NONE)
      return false;
    Switches s;
    if (!Split(group, nullptr, nullptr, &s)) return false;
    CMixtableEx ts;
    ts.SetDataDir(dir.c_str());
    items.push_back(ud::HeadLine(ts.GetGdataDescr(), dir));
    bool ok = true;
    for (int table : kTables) {
      if (!AnyChosen(s, table)) continue;
      Wdbase* db = ts.Mixtable().Handle(table);
      if (db == nullptr || !ts.Mixtable().Open(db) || !db->SelectIdx(0)) {
        ok = false;
        continue;
      }
      const bool keys = table != Y_CANS;
      for (int r = db->Top(); r && !db->Eof(); r = db->Next()) {
        if (db->Deleted()) continue;
        if (!AppendItems(db, table, s, keys, items)) ok = false;
      }
    }
    ts.Mixtable().CloseAll();
    return ok;
  } catch (const std::bad_alloc&) {
    items.clear();
    return false;
  }
}

bool Wy_SplitGDataUserDataItem(const std::vector<std::string>& items, int line,
                               std::string* table, std::string* id,
                               std::string* prdKey, std::string* spdKey,
                               std::string* descr, std::string* field,
                               std::string* type, std::string* width,
                               std::string* decimals, std::string* value) {
  std::string* out[10] = {table, id,   prdKey, spdKey,   descr,
                          field, type, width,  decimals, value};
  for (std::string* o : out)
    if (o != nullptr) o->clear();
  if (line < 1 || static_cast<size_t>(line) >= items.size()) return false;
  const std::string& l = items[static_cast<size_t>(line)];
  if (l.size() < kWyUserDataValueAt) return false;
  try {
    for (int c = 0; c < 10; ++c) {
      if (out[c] == nullptr) continue;
      const WyUserDataColumn& col = kWyUserDataColumns[c];
      *out[c] = col.width > 0 ? l.substr(col.at, col.width) : l.substr(col.at);
    }
  } catch (const std::bad_alloc&) {
    for (std::string* o : out)
      if (o != nullptr) o->clear();
    return false;
  }
  return true;
}

bool Wy_DeltaGDataUserDataItem(const std::vector<std::string>& newItems,
                               const std::vector<std::string>& oldItems,
                               std::vector<std::string>& diff) {
  diff.clear();
  if (newItems.size() < 2) return false;
  try {
    // Every line of the new list that the old one lacks; an old list
    // without items lacks them all.
    std::unordered_set<std::string> old;
    for (size_t i = 1; i < oldItems.size(); ++i) old.insert(oldItems[i]);
    diff.push_back(newItems[0]);
    for (size_t i = 1; i < newItems.size(); ++i)
      if (old.count(newItems[i]) == 0) diff.push_back(newItems[i]);
  } catch (const std::bad_alloc&) {
    diff.clear();
    return false;
  }
  return true;
}

namespace {

// What became of one item written back.
enum class Put { kWritten, kNoRecord, kSkipped, kFailed };

// Positions db on the live record with id (and, with keys, prd and spd).
bool FindRecord(Wdbase* db, long id, bool keys, long prd, long spd) {
  if (db->Seek(Fmt5(id).c_str()) != 1) return false;
  for (; !db->Eof(); db->Next()) {
    if (db->ReadLong("ID") != id) return false;
    if (db->Deleted()) continue;
    if (!keys ||
        (db->ReadLong("PROD_KEY") == prd && db->ReadLong("SUBP_KEY") == spd))
      return true;
  }
  return false;
}

// Blanks field of the current record: a number that was never set stays
// unset (written as 0 it would read as a value).
bool WriteBlank(Wdbase* db, const char* field) {
  const int k = db->FieldNo(field);
  char* p = db->RecordBufferPtr();
  if (k <= 0 || p == nullptr) return false;
  size_t at = 0;
  for (int i = 1; i < k; ++i) at += static_cast<size_t>(db->FieldLen(i));
  std::memset(p + at, ' ', static_cast<size_t>(db->FieldLen(k)));
  return db->RecordBufferWrite() != 0;
}

// Writes value into field of the current record, by type. kSkipped when the
// value does not fit; kFailed when the table refuses.
Put WriteValue(Wdbase* db, const char* field, char type, int width, int dec,
               const std::string& value) {
  const std::string tail =
      value.size() > static_cast<size_t>(width) ? value.substr(width) : "";
  if (tail.find_first_not_of(' ') != std::string::npos) return Put::kSkipped;
  const std::string v = value.substr(0, static_cast<size_t>(width));
  int r;
  switch (type) {
    case 'C':
    case 'D':
    case 'M':
      r = width == 1 ? db->WriteChar(field, v.empty() ? ' ' : v[0])
                     : db->WriteString(field, v.c_str());
      break;
    case 'L': {
      // True as the engine reads it: "T" or "Y" in any case.
      const char c = static_cast<char>(
          std::toupper(static_cast<unsigned char>(v.empty() ? ' ' : v[0])));
      r = db->WriteChar(field, c == 'T' || c == 'Y' ? 'T' : 'F');
      break;
    }
    case 'N': {
      if (ud::Trim(v).empty()) {
        r = WriteBlank(db, field);
        break;
      }
      double d;
      if (!ud::ParseNumber(v, dec == 0, &d) || !ud::NumberFits(d, width, dec))
        return Put::kSkipped;
      if (dec == 0) {
        r = db->WriteLong(field, static_cast<int32_t>(d));
      } else if (width < 8) {
        r = db->WriteFloat(field, static_cast<float>(d));
      } else {
        r = db->WriteDouble(field, d);
      }
      break;
    }
    default:
      return Put::kSkipped;
  }
  return r ? Put::kWritten : Put::kFailed;
}

// The record each table was last positioned on by FindRecord: the next
// item of the same record (items come record by record) needs no seek.
struct Positioned {
  bool valid = false;
  long id = 0, prd = 0, spd = 0;
};

Put PutItem(CMixtable& t, const Switches& s, const std::string& line,
            Positioned* last) {
  if (line.size() < kWyUserDataValueAt ||
      line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
    return Put::kSkipped;
  auto col = [&](int c) {
    return line.substr(kWyUserDataColumns[c].at, kWyUserDataColumns[c].width);
  };
  const std::string table = ud::RightTrim(col(0));
  const std::string field = ud::RightTrim(col(5));
  const int k = SwitchOf(table, field);
  if (k < 0 || !s.on[k]) return Put::kWritten;  // not chosen: nothing to do
  long id = 0, prd = 0, spd = 0;
  int width = 0, dec = 0;
  if (!ParseId(col(1), &id) || !ParseId(col(2), &prd) ||
      !ParseId(col(3), &spd) || !ParseCount(col(7), &width) ||
      !ParseCount(col(8), &dec))
    return Put::kSkipped;
  const int which = ud::EqualNoCase(table, "BASES")  ? Y_BASES
                    : ud::EqualNoCase(table, "CNTS") ? Y_CNTS
                                                     : Y_CANS;
  Wdbase* db = t.Handle(which);
  const char* name = kWyUserDataFields[k].field;
  char ftype = ' ';
  int fwidth = 0, fdec = 0;
  if (!db->FieldInfo(name, &ftype, &fwidth, &fdec) || ftype != line[57] ||
      fwidth != width || fdec != dec)
    return Put::kSkipped;
  Positioned& at = last[which == Y_BASES ? 0 : which == Y_CNTS ? 1 : 2];
  if (!at.valid || at.id != id || at.prd != prd || at.spd != spd) {
    at.valid = FindRecord(db, id, which != Y_CANS, prd, spd);
    at.id = id, at.prd = prd, at.spd = spd;
  }
  if (!at.valid) return Put::kNoRecord;
  return WriteValue(db, name, ftype, width, dec,
                    line.substr(kWyUserDataValueAt));
}

}  // namespace

bool Wy_SetGDataUserDataItem(const std::vector<std::string>& group,
                             const std::vector<std::string>& items,
                             const char* dataDir, const char* machine) {
  if (items.size() < 2) return true;
  try {
    std::string dir;
    if (!ud::ResolveDir(dataDir, machine, &dir)) return false;
    Switches s;
    if (!Split(group, nullptr, nullptr, &s)) return false;
    CMixtableEx ts;
    ts.SetDataDir(dir.c_str());
    CMixtable& t = ts.Mixtable();
    ud::RawWrites raw;  // values go back as stored; one flush per table
    for (int table : kTables) {
      Wdbase* db = t.Handle(table);
      if (db == nullptr || !t.Open(db) || !db->SelectIdx(1)) {
        t.CloseAll();
        return false;
      }
      raw.Add(db);
    }
    // Each record is read, changed in some fields and written whole: the
    // tables stay locked for the pass, so that another process writing other
    // fields of the same records (another group's items) waits rather than
    // having its values overwritten by the ones read before its write. Locks
    // are taken in the same table order by every writer.
    for (int table : kTables) {
      if (!t.Handle(table)->Lock()) {
        t.CloseAll();
        return false;
      }
    }
    bool ok = true;
    Positioned last[3];
    for (size_t i = 1; i < items.size(); ++i) {
      const Put p = PutItem(t, s, items[i], last);
      if (p == Put::kSkipped) ok = false;
      if (p == Put::kFailed) {
        ok = false;
        break;
      }
    }
    if (!raw.Finish()) ok = false;
    for (int table : kTables) t.Handle(table)->Unlock();
    t.CloseAll();
    return ok;
  } catch (const std::bad_alloc&) {
    return false;
  }
}
