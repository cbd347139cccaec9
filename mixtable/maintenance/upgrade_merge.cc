// The merge callback of the upgrade: blend and K/S tables that older data
// sets keep per product or sub-product are appended to the root table with
// the product and sub-product keys, field by field by name, and then
// deleted; root blend tables get PTR_ID over ID. The root table and the
// level table are backed up (or journaled as created) first.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "maintenance/upgrade.h"
#include "mixtable/ytable.h"
#include "platform/env.h"
#include "platform/hooks.h"

namespace mixtable {
namespace {

bool IsBlend(int table) { return table == Y_CNT_BLND || table == Y_BAS_BLND; }

std::string Trimmed(const Wdbase* db, int k) {
  const char* p = db->Read(k, 1, 1);
  return p ? std::string(p) : std::string();
}

// How a level field reaches the root record.
struct FieldMap {
  int from = 0;      // level field number
  int to = 0;        // root field number (0: the root lacks it)
  bool raw = false;  // same definition: the bytes are copied
  char type = 'C';
  int len = 0, dec = 0;
  int to_len = 0, to_dec = 0;
  char to_type = 'C';
};

// Whether a level value survives the copy into the root field.
bool Fits(const FieldMap& m, const std::string& value) {
  if (value.empty()) return true;
  if (m.to == 0) return false;
  if (m.raw) return true;
  if (m.type != m.to_type) return false;
  switch (m.type) {
    case 'C':
      return static_cast<int>(value.size()) <= m.to_len;
    case 'N':
      return m.to_dec >= m.dec && m.to_len - m.to_dec >= m.len - m.dec;
    default:
      return m.to_len == m.len;
  }
}

// Root blends: PTR_ID over ID in every record, then a new first index.
bool MergeRootBlend(UpgradeContext& ctx, Wdbase* db, int table,
                    std::string* why) {
  const int fi = db->FieldNo("ID"), fp = db->FieldNo("PTR_ID");
  if (fi <= 0 || fp <= 0 || db->FieldLen(fi) != db->FieldLen(fp)) {
    *why = "no ID and PTR_ID of one width";
    return false;
  }
  std::vector<int32_t> records;
  db->SelectIdx(0);
  for (int ok = db->Top(); ok && !db->Eof(); ok = db->Next()) {
    const char* id = db->Read(fi, 0, 0);
    const std::string a = id ? id : "";
    const char* ptr = db->Read(fp, 0, 0);
    if (ptr && a != ptr) records.push_back(db->RecNo());
  }
  if (records.empty()) return true;
  if (!ctx.guard->SaveTable(db->GetPath(), table)) {
    *why = "BACKUP FAILED: " + ctx.guard->error();
    ctx.stopped = true;
    return false;
  }
  if (!db->Lock()) return false;
  const int prev = Wdbase::FlushSet(0);
  bool ok = true;
  for (int32_t r : records) {
    if (!ok) break;
    ok = db->Goto(r);
    if (!ok) break;
    const std::string ptr = db->Read(fp, 0, 0);
    ok = db->WriteString(fi, ptr.c_str());
  }
  db->Flush();
  Wdbase::FlushSet(prev);
  db->Unlock();
  return ok && db->CreateIdx(1);
}

// A level table appended to the root table, then deleted.
bool MergeLevelTable(UpgradeContext& ctx, Wdbase* level, int table, int32_t prd,
                     int32_t spd, std::string* why) {
  CMixtableEx& ts = *ctx.tables;
  // The root table, through a second table set on the data directory.
  CMixtableEx root;
  root.SetDataDir(ts.GetDataDir().c_str());
  const std::string root_dir = ts.GetDataDir();
  if (!ctx.guard->SaveTable(root_dir, table)) {
    *why = "BACKUP FAILED: " + ctx.guard->error();
    ctx.stopped = true;
    return false;
  }
  if (!root.Exist(table) && !root.Create(table)) {
    *why = "the root table cannot be created";
    return false;
  }
  Wdbase* dst = root.Handle(table);
  if (!root.Open(dst)) {
    *why = "the root table does not open";
    return false;
  }
  const int fprd = dst->FieldNo("PROD_KEY"), fspd = dst->FieldNo("SUBP_KEY");
  if (fprd <= 0 || fspd <= 0 || dst->FieldLen(fprd) != 5 ||
      dst->FieldLen(fspd) != 5) {
    *why = "the root table has no PROD_KEY and SUBP_KEY of width 5";
    return false;
  }
  int dst_id = 0, dst_ptr = 0;
  if (IsBlend(table)) {
    dst_id = dst->FieldNo("ID");
    dst_ptr = dst->FieldNo("PTR_ID");
    if (dst_id <= 0 || dst_ptr <= 0 ||
        dst->FieldLen(dst_id) != dst->FieldLen(dst_ptr)) {
      *why = "the root blend table has no ID and PTR_ID of one width";
      return false;
    }
  }
  // Field by field by name; a value the root cannot hold stops the merge
  // before anything is appended.
  std::vector<FieldMap> maps;
  const int n = level->FieldCount();
  for (int k = 1; k <= n; ++k) {
    char name[16] = {0}, type = 0;
    int len = 0, dec = 0;
    if (!level->FieldInfo(k, name, &type, &len, &dec)) return false;
    FieldMap m;
    m.from = k;
    m.type = type;
    m.len = len;
    m.dec = dec;
    if (!std::strcmp(name, "PROD_KEY") || !std::strcmp(name, "SUBP_KEY")) {
      continue;  // set from the level
    }
    m.to = dst->FieldNo(name);
    if (m.to > 0) {
      char t2 = 0;
      int l2 = 0, d2 = 0;
      char n2[16] = {0};
      dst->FieldInfo(m.to, n2, &t2, &l2, &d2);
      m.to_type = t2;
      m.to_len = l2;
      m.to_dec = d2;
      m.raw = t2 == type && l2 == len && d2 == dec;
    }
    maps.push_back(m);
  }
  const Wdbase_OEMtoChar lm = level->SetOEMConversionMode(Wdbase_OEMtoChar_Off);
  const Wdbase_OEMtoChar dm = dst->SetOEMConversionMode(Wdbase_OEMtoChar_Off);
  level->SelectIdx(0);
  for (int ok = level->Top(); ok && !level->Eof(); ok = level->Next()) {
    for (const FieldMap& m : maps) {
      const std::string v = Trimmed(level, m.from);
      if (!Fits(m, v)) {
        *why = "field " + std::to_string(m.from) + " holds \"" + v +
               "\" (record " + std::to_string(level->RecNo()) +
               ") that the root table cannot hold";
        level->SetOEMConversionMode(lm);
        dst->SetOEMConversionMode(dm);
        return false;
      }
    }
  }
  char pkey[16], skey[16];
  std::snprintf(pkey, sizeof pkey, "%5ld", static_cast<long>(prd));
  std::snprintf(skey, sizeof skey, "%5ld", static_cast<long>(spd));
  // Field offsets in the record buffers.
  std::vector<int> src_off(static_cast<size_t>(n) + 2, 0);
  for (int k = 1; k <= n; ++k) src_off[k + 1] = src_off[k] + level->FieldLen(k);
  const int dn = dst->FieldCount();
  std::vector<int> dst_off(static_cast<size_t>(dn) + 2, 0);
  for (int k = 1; k <= dn; ++k) dst_off[k + 1] = dst_off[k] + dst->FieldLen(k);
  const int lp = level->FieldNo("PTR_ID");
  bool ok = dst->Lock();
  const int prev = Wdbase::FlushSet(0);
  const int32_t total = level->RecCount();
  int32_t pos = 0;
  for (int r = level->Top(); ok && r && !level->Eof(); r = level->Next()) {
    if (++pos % 256 == 0) {
      platform::Progress(ctx.window, platform::kProgressStep,
                         Percent(pos, total), level->GetName(0));
    }
    const bool deleted = level->Deleted() != 0;
    const std::string src(level->RecordBufferPtr(), src_off[n + 1]);
    ok = dst->AppendBlank();
    char* out = ok ? dst->RecordBufferPtr() : nullptr;
    if (out == nullptr) ok = false;
    for (const FieldMap& m : maps) {
      if (!ok || m.to == 0) continue;
      char* to = out + dst_off[m.to];
      const char* from = src.data() + src_off[m.from];
      if (m.raw) {
        std::memcpy(to, from, static_cast<size_t>(m.len));
        continue;
      }
      std::string v(from, static_cast<size_t>(m.len));
      const size_t b = v.find_first_not_of(' ');
      v = b == std::string::npos ? ""
                                 : v.substr(b, v.find_last_not_of(' ') - b + 1);
      if (v.empty()) continue;
      if (m.type == 'N') {
        char num[64];
        std::snprintf(num, sizeof num, "%*.*f", m.to_len, m.to_dec,
                      std::strtod(v.c_str(), nullptr));
        std::memcpy(to, num, static_cast<size_t>(m.to_len));
      } else {
        std::memcpy(to, v.data(), std::min(v.size(), size_t(m.to_len)));
      }
    }
    if (ok && IsBlend(table) && lp > 0) {
      std::memcpy(out + dst_off[dst_id], src.data() + src_off[lp],
                  static_cast<size_t>(level->FieldLen(lp)));
    }
    if (ok) {
      std::memcpy(out + dst_off[fprd], pkey, 5);
      std::memcpy(out + dst_off[fspd], skey, 5);
      ok = dst->RecordBufferWrite() != 0;
    }
    if (ok && deleted) ok = dst->Delete() != 0;
  }
  ok = dst->Flush() && ok;
  Wdbase::FlushSet(prev);
  dst->Unlock();
  level->SetOEMConversionMode(lm);
  dst->SetOEMConversionMode(dm);
  root.CloseAll();
  if (!ok) {
    *why = "a record could not be appended";
    return false;
  }
  // The level table goes (backed up first).
  if (!ctx.guard->SaveTable(level->GetPath(), table)) {
    *why = "BACKUP FAILED: " + ctx.guard->error();
    ctx.stopped = true;
    return false;
  }
  level->Close();
  if (!ts.Delete(table)) {
    *why = "the level table cannot be deleted";
    return false;
  }
  return true;
}

}  // namespace

int MergeTable(Wdbase* db, void* vctx, int phase, int table, int32_t prd,
               int32_t spd) {
  UpgradeContext& ctx = *static_cast<UpgradeContext*>(vctx);
  if (phase == 4) return 1;
  if (table != Y_CNT_BLND && table != Y_CNT_KS && table != Y_BAS_BLND &&
      table != Y_BAS_KS) {
    return 1;
  }
  if (phase == 1 && !IsBlend(table)) return 1;
  const std::string stamp = Wy_MaintenanceLog::Stamp();
  const std::string dir = db->GetPath(), name = db->GetName(0);
  ctx.tables->CreateDictionaryItem(table);
  std::string why;
  bool ok;
  if (phase == 1) {
    ok = MergeRootBlend(ctx, db, table, &why);
  } else {
    ok = MergeLevelTable(ctx, db, table, prd, spd, &why);
  }
  if (ok) {
    ++ctx.report->merged;
  } else {
    ++ctx.report->merge_failed;
    if (!why.empty()) ctx.log->ConvertLine(stamp, phase, dir, name, why, true);
  }
  ctx.log->Merged(stamp, phase, dir, name, !ok);
  db->Close();
  return ctx.stopped ? 0 : 1;
}

}  // namespace mixtable
