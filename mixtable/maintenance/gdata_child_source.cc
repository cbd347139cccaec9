// Wy_GDataChild: deletions of records read from the source data set.
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_gdata_child.h"
#include "mixtable/wy_util.h"
#include "mixtable/yformula.h"
#include "mixtable/ytable.h"

namespace {

// The fields a deletion card is made of.
const char* const kCardFields[] = {"CODE",     "DESCR",    "FTYPE",
                                   "PROD_KEY", "SUBP_KEY", "KEY1",
                                   "KEY2",     "KEY3",     "COMMENT"};

// Positions set on product prd and sub-product spd (when above 0), whose
// tables hold the records of that level.
bool SelectLevel(CMixtableEx& set, int32_t prd, int32_t spd) {
  if (prd <= 0) return true;
  Wdbase* p = set.Handle(Y_PRODUCTS);
  if (!set.Open(p) || !set.Select(p, prd)) return false;
  if (spd <= 0) return true;
  Wdbase* s = set.Handle(Y_SUBPRODS);
  return set.Open(s) && set.Select(s, spd);
}

}  // namespace

bool Wy_GDataChild::ReadSourceRecord(int table, int32_t id, int32_t prd,
                                     int32_t spd,
                                     std::map<std::string, std::string>& fields,
                                     std::vector<int32_t>& substrates) {
  fields.clear();
  substrates.clear();
  if (m_notInit || m_src.empty() || id <= 0 || !WyGetFileInfo(table))
    return false;
  CMixtableEx set;
  set.SetDataDir(m_src.c_str());
  if (!SelectLevel(set, prd, spd)) return false;
  Wdbase* db = set.Handle(table);
  if (!db || !set.Open(db) || !set.Select(db, id)) {
    Wy_Trace("Wy_GDataChild: record %ld of %s not found", long(id),
             MakeDatabase(table).c_str());
    return false;
  }
  for (const char* f : kCardFields)
    if (db->FieldNo(f) > 0) {
      const char* v = db->Read(f, 1, 1);
      fields[f] = v ? v : "";
    }
  if (table == Y_BASES &&
      std::strtol(fields["PROD_KEY"].c_str(), nullptr, 10) <= 0 &&
      std::strtol(fields["SUBP_KEY"].c_str(), nullptr, 10) <= 0) {
    Wdbase* sub = set.Handle(Y_SUBSTRATE);
    if (sub && set.Open(sub)) {
      for (int ok = sub->Top(); ok && !sub->Eof(); ok = sub->Skip(1))
        if (!sub->Deleted() && sub->ReadInt("BASE_ID") == id)
          substrates.push_back(sub->ReadInt("ID"));
    }
  }
  set.CloseAll();
  return true;
}

bool Wy_GDataChild::DeleteRecord(int32_t id, int table, int32_t prd,
                                 int32_t spd) {
  std::map<std::string, std::string> fields;
  std::vector<int32_t> substrates;
  if (!ReadSourceRecord(table, id, prd, spd, fields, substrates)) return false;
  return DeleteRecordFrom(
      [&fields](const char* f) {
        auto it = fields.find(f);
        return it == fields.end() ? std::string() : it->second;
      },
      table, id, prd, spd, substrates);
}

bool Wy_GDataChild::IsRecordDeleted(int32_t id, int table, int32_t prd,
                                    int32_t spd) {
  std::map<std::string, std::string> fields;
  std::vector<int32_t> substrates;
  if (!ReadSourceRecord(table, id, prd, spd, fields, substrates)) return false;
  return IsRecordDeletedFrom(
      [&fields](const char* f) {
        auto it = fields.find(f);
        return it == fields.end() ? std::string() : it->second;
      },
      table, id, prd, spd);
}

bool Wy_GDataChild::IsBaseLinkedToBaseComponent(
    const std::vector<int32_t>& cnts, int32_t id, int32_t prd, int32_t spd) {
  if (m_notInit || m_src.empty() || id <= 0 || cnts.empty()) return false;
  CMixtableEx set;
  set.SetDataDir(m_src.c_str());
  if (!SelectLevel(set, prd, spd)) return false;
  Wdbase* db = set.Handle(Y_BASESFRM);
  yformula f;
  std::vector<YFormulaPair> pairs;
  const bool read = db && set.Open(db) && set.Select(db, id) &&
                    f.read(db, nullptr) && f.parse(&pairs);
  set.CloseAll();
  if (!read) return false;
  for (const YFormulaPair& pr : pairs)
    for (int32_t c : cnts)
      if (pr.id == c) return true;
  return false;
}
