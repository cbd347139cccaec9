// CMixtableEx::Convert: reading the table through a private handle, the
// survival pass, the log lines, the copy into a uniquely named work table
// and the crash-safe replacement of the table by it.
//
// While a table is rebuilt this process holds its whole-file lock range
// (the byte-range lock every writer of the sharing protocol takes before
// it changes the file) through a handle of its own, from before the
// records are read until the new table is in place: no other process
// writes meanwhile. The engine's replacement refuses a table another
// handle has open, so one that is only being read elsewhere makes the
// conversion fail with the old table whole.

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "access/level_path.h"
#include "maintenance/convert.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/hooks.h"

namespace {

using mixtable::CellIn;
using mixtable::ConvPlan;
using mixtable::ConvSource;
using mixtable::ConvTarget;

// The whole-file lock range of the table-sharing protocol: writers take
// ranges inside it (the append lock at its start, one byte per record
// after it), so holding all of it keeps every writer out.
constexpr uint64_t kFileLockOffset = 1000000000ULL;
constexpr uint64_t kFileLockLength = 1000000000ULL;

// Bit of a data file's version byte (byte 0) that says it has a memo file.
constexpr unsigned char kDbfMemoFlag = 0x80;

// Bytes of records appended to the work table between two commits: bounds
// the memory the engine keeps for records appended under a lock, while
// keeping the commits (each one syncs) few.
constexpr int64_t kCommitBytes = 8 << 20;

constexpr const char* kErrorLine = "CONVERSION ERROR";
constexpr const char* kErrorBox = "ERROR: Check LOG file for details";
constexpr const char* kErrorCaption = "DBF Convert";

platform::Env* env() { return platform::Env::Current(); }

constexpr uint8_t kLevelsSpecificFirst[] = {Y_LEVEL_LOCAL, Y_LEVEL_SUBPRODUCT,
                                            Y_LEVEL_PRODUCT, Y_LEVEL_BASE};

// Reads the current record's value of source field s.
CellIn CellOf(Wdbase* db, const ConvSource& s, std::string* memo) {
  CellIn in;
  in.type = s.type;
  in.len = s.len;
  in.dec = s.dec;
  in.bytes = db->RecordBufferPtr() + s.offset;
  if (s.type == 'M' || s.type == 'G') {
    memo->clear();
    const uint32_t n = db->MemoLen(s.number);
    if (n > 0) {
      memo->resize(n);
      db->MemoRead(s.number, memo->data(), n);
      while (!memo->empty() && memo->back() == '\0') memo->pop_back();
    }
    in.memo = memo;
  }
  return in;
}

// Survival pass: for every converted field the first record whose value
// would not read back; for every removed extra the records holding a
// value. False when the table cannot be read.
bool SurvivalPass(Wdbase* src, ConvPlan* plan, bool check_loss) {
  std::vector<char> cell;
  std::string memo, out;
  for (int more = src->Top(); more; more = src->Next()) {
    if (src->RecordBufferPtr() == nullptr) return false;
    for (ConvTarget& t : plan->target) {
      if (!check_loss || !t.convert || t.lossRecord != 0) continue;
      const ConvSource& s = plan->source[static_cast<size_t>(t.source - 1)];
      cell.resize(static_cast<size_t>(static_cast<uint16_t>(t.def.len)) + 1);
      if (!mixtable::ConvertCell(CellOf(src, s, &memo), t.def, cell.data(),
                                 &out))
        t.lossRecord = src->RecNo();
    }
    for (ConvTarget& t : plan->removed) {
      const ConvSource& s = plan->source[static_cast<size_t>(t.source - 1)];
      if (mixtable::CellHasValue(CellOf(src, s, &memo))) ++t.valued;
    }
  }
  return src->Eof() != 0;
}

// Reserves "$$$nnnnn.dbf" in dir, created exclusively (the pattern the
// engine knows for work tables, so that leftovers of a crash are removed).
bool ReserveWorkName(const std::string& dir, std::string* name) {
  uint64_t seed = env()->NowMicros();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "$$$%05u.dbf",
                  static_cast<unsigned>((seed + attempt * 7919u) % 100000u));
    std::unique_ptr<platform::File> f;
    if (env()->OpenFile(dir + buf, platform::OpenMode::kCreateNew, &f).ok()) {
      *name = buf;
      return true;
    }
  }
  return false;
}

void RemoveTableFiles(const std::string& data) {
  env()->DeleteFile(data);
  std::string memo = data;
  memo.replace(memo.size() - 3, 3, "dbt");
  if (env()->FileExists(memo)) env()->DeleteFile(memo);
}

// Copies every record of src in physical order into the open, locked work
// table: converted, inserted blank, extras unchanged, memo texts as texts,
// deleted marks kept.
bool CopyRecords(Wdbase* src, Wdbase* work, const ConvPlan& plan) {
  std::string memo, text;
  const int64_t per_commit =
      std::max<int64_t>(1, kCommitBytes / std::max(1, work->RecordBufferLen()));
  int64_t since_commit = 0;
  for (int more = src->Top(); more; more = src->Next()) {
    if (!work->AppendBlank()) return false;
    char* out = work->RecordBufferPtr();
    if (out == nullptr || src->RecordBufferPtr() == nullptr) return false;
    int offset = 0;
    for (size_t k = 0; k < plan.target.size(); ++k) {
      const ConvTarget& t = plan.target[k];
      const int len = static_cast<uint16_t>(t.def.len);
      char* tp = out + offset;
      offset += len;
      if (t.source == 0) continue;  // inserted: blank
      const ConvSource& s = plan.source[static_cast<size_t>(t.source - 1)];
      const CellIn in = CellOf(src, s, &memo);
      const bool memo_target = t.def.type == 'M' || t.def.type == 'G';
      if (!t.convert && !memo_target) {
        std::memcpy(tp, in.bytes, static_cast<size_t>(len));
        continue;
      }
      mixtable::ConvertCell(in, t.def, tp, &text);
      if (memo_target && !text.empty() &&
          !work->MemoWrite(static_cast<int>(k) + 1, text.data(),
                           static_cast<unsigned>(text.size())))
        return false;
    }
    if (!work->RecordBufferWrite()) return false;
    if (src->Deleted() && !work->Delete()) return false;
    if (++since_commit >= per_commit) {
      since_commit = 0;
      if (!work->Flush() || !work->Lock()) return false;
    }
  }
  return src->Eof() != 0;
}

}  // namespace

bool CMixtableEx::SourceDir(int table, std::string& dir) {
  Wdbase* db = m_table.Handle(table);
  if (db == nullptr) return false;
  if (db->IsOpen(0)) {
    dir = db->GetPath();
    return !dir.empty();
  }
  const uint8_t mask = m_table.GetLevelMask(db);
  for (uint8_t bit : kLevelsSpecificFirst) {
    if ((mask & bit) && m_table.AtLevel(table, bit, dir)) return true;
  }
  return false;
}

int16_t CMixtableEx::Convert(int table, const YTABLE_RENAMEFIELD* renames,
                             std::vector<std::string>& log, bool exactWidths) {
  return Convert(table, renames, log, exactWidths, YTABLE_CONVERT_OPTIONS{});
}

int16_t CMixtableEx::Convert(int table, const YTABLE_RENAMEFIELD* renames,
                             std::vector<std::string>& log, bool exactWidths,
                             const YTABLE_CONVERT_OPTIONS& options) {
  log.clear();
  Wdbase* db = m_table.Handle(table);
  if (db == nullptr || !CreateDictionaryItem(table)) return -1;
  std::string dir;
  if (!SourceDir(table, dir)) return -1;
  m_table.CloseSlot(table);
  const YTABLE* row = WyGetFileInfo(table);
  YTABLE_DICTIONARY& item = m_dict[table];

  ConvPlan plan;
  bool widened = false;
  // Every exit after matching reloads a dictionary widened in memory.
  auto finish = [&](int16_t result) -> int16_t {
    if (widened) {
      EmptyDictionaryItem(table);
      CreateDictionaryItem(table);
    }
    return result;
  };
  auto fail = [&]() -> int16_t {
    log.push_back(kErrorLine);
    platform::ShowMessageBox(kErrorCaption, kErrorBox, platform::kMbOk);
    return finish(-1);
  };

  std::string file = row->def.name;
  if (file.find('.') == std::string::npos) file += ".dbf";
  const std::string path = dir + file;
  // A table with memo fields (flag 0x80 of its version byte) whose memo
  // file is missing is not touched: opening it would make a new memo file
  // and lose the texts' references.
  {
    std::unique_ptr<platform::File> f;
    unsigned char version = 0;
    size_t got = 0;
    if (!env()->OpenFile(path, platform::OpenMode::kReadOnly, &f).ok() ||
        !f->ReadAt(0, &version, 1, &got).ok() || got != 1)
      return -1;
    if ((version & kDbfMemoFlag) &&
        !env()->FileExists(path.substr(0, path.size() - 3) + "dbt")) {
      Wy_Trace("Convert: the memo file of \"%s\" is missing\n", path.c_str());
      return -1;
    }
  }
  Wdbase src;
  if (!src.SetFiles(dir.c_str(), row->def.name, 0, nullptr, nullptr) ||
      !src.Open())
    return -1;
  // The whole-file lock, held through a handle of our own until the new
  // table is in place (not for a dry run, which writes nothing). Taken once
  // the table is open: opening may itself lock the table briefly. A guard
  // handle, so that it does not itself stop the swap on hosts where open
  // files cannot be renamed.
  std::unique_ptr<platform::File> guard;
  if (!options.dryRun) {
    if (!env()->OpenFile(path, platform::OpenMode::kGuard, &guard).ok())
      return -1;
    if (guard->TryLock(kFileLockOffset, kFileLockLength) !=
        platform::LockResult::kLocked) {
      Wy_Trace("Convert: \"%s\" is locked by another program\n", path.c_str());
      return fail();
    }
  }
  src.SetOEMConversionMode(Wdbase_OEMtoChar_Off);

  plan.source = mixtable::DescribeSource(src);
  mixtable::MatchFields(item.fields, renames, exactWidths,
                        options.removeExtraFields, &plan);
  widened = plan.widened;
  bool any_convert = false;
  for (const ConvTarget& t : plan.target) any_convert |= t.convert;
  if ((any_convert && !options.allowLoss) || !plan.removed.empty()) {
    if (!SurvivalPass(&src, &plan, !options.allowLoss)) return fail();
  }
  // A field that would lose a value keeps its definition (and its values).
  std::vector<std::string> keeps(plan.target.size());
  for (size_t k = 0; k < plan.target.size(); ++k) {
    ConvTarget& t = plan.target[k];
    if (!t.convert || t.lossRecord == 0) continue;
    const ConvSource& s = plan.source[static_cast<size_t>(t.source - 1)];
    keeps[k] = mixtable::ChangeLine("KEEP", s, t.def) + " (record " +
               std::to_string(t.lossRecord) + ")";
    t.def.type = s.type;
    t.def.len = static_cast<int16_t>(static_cast<uint16_t>(s.len));
    t.def.dec = static_cast<int16_t>(s.dec);
    t.convert = false;
  }

  // matchedFields and offsets, against the converted table's record.
  int32_t target_offset = 0;
  for (const ConvTarget& t : plan.target) {
    if (t.dict < 0) break;
    WDBASE_FIELD& m = item.matchedFields[t.dict];
    m = WDBASE_FIELD{};
    int32_t source_offset = 0;
    if (t.source != 0) {
      const ConvSource& s = plan.source[static_cast<size_t>(t.source - 1)];
      std::strncpy(m.name, s.name.c_str(), 10);
      m.type = s.type;
      m.len = static_cast<int16_t>(static_cast<uint16_t>(s.len));
      m.dec = static_cast<int16_t>(s.dec);
      m.reserved = static_cast<int16_t>(s.number);
      source_offset = s.offset;
    }
    item.offsets[2 * t.dict] = source_offset;
    item.offsets[2 * t.dict + 1] = target_offset;
    target_offset += static_cast<uint16_t>(t.def.len);
  }

  const bool changed = mixtable::PlanChanges(plan);
  std::vector<std::string> lines;
  if (!plan.removed.empty()) lines.push_back("REMOVE EXTRA FIELDS");
  const bool field_lines = changed && src.RecCount() > 0;
  for (size_t k = 0; k < plan.target.size(); ++k) {
    const ConvTarget& t = plan.target[k];
    if (t.dict < 0) break;
    if (!keeps[k].empty()) {
      lines.push_back(keeps[k]);
      continue;
    }
    if (field_lines) {
      if (t.source == 0) {
        lines.push_back(mixtable::FieldLine("INSERT", t.def.name, t.def.type,
                                            t.def.len, t.def.dec));
        continue;
      }
      const ConvSource& s = plan.source[static_cast<size_t>(t.source - 1)];
      if (strcasecmp(s.name.c_str(), t.def.name) != 0 || s.type != t.def.type ||
          s.len != static_cast<uint16_t>(t.def.len) || s.dec != t.def.dec)
        lines.push_back(mixtable::ChangeLine("CHANGE", s, t.def));
    }
  }
  for (const ConvTarget& t : plan.target) {
    if (t.dict >= 0) continue;
    lines.push_back(mixtable::FieldLine("EXTRA", t.def.name, t.def.type,
                                        t.def.len, t.def.dec));
  }
  for (const ConvTarget& t : plan.removed) {
    lines.push_back(mixtable::FieldLine("REMOVE", t.def.name, t.def.type,
                                        t.def.len, t.def.dec) +
                    " (" + std::to_string(t.valued) + " records)");
  }
  log.insert(log.end(), lines.begin(), lines.end());
  if (!changed) return finish(0);
  if (options.dryRun) return finish(1);

  // The work table, beside the table.
  std::string work_name;
  if (!ReserveWorkName(dir, &work_name)) return fail();
  const std::string work_path = dir + work_name;
  std::vector<WDBASE_FIELD> fields;
  for (const ConvTarget& t : plan.target) fields.push_back(t.def);
  fields.push_back(WDBASE_FIELD{});
  bool ok;
  {
    Wdbase work;
    ok = work.SetFiles(dir.c_str(), work_name.c_str(), 0, nullptr, nullptr) &&
         work.CreateDb(fields.data()) && work.Open() && work.Lock();
    if (ok) {
      work.SetOEMConversionMode(Wdbase_OEMtoChar_Off);
      Wdbase::FlushSet(0);
      ok = CopyRecords(&src, &work, plan);
      Wdbase::FlushSet(1);
      ok = work.Flush() && ok;
      ok = work.Unlock() && ok;
    }
    ok = work.Close() && ok;
  }
  src.Close();
  if (ok) {
    // The registry's index files: marked stale by the replacement (a crash
    // after it leaves them to be rebuilt), then removed.
    Wdbase reg;
    std::vector<std::string> idx;
    if (reg.SetFiles(&row->def) && reg.SetPath(dir.c_str())) {
      for (int k = 1; k <= reg.GetIdxCount(); ++k) {
        const std::string p = std::string(reg.GetPath()) + reg.GetName(k);
        if (env()->FileExists(p)) idx.push_back(p);
      }
    }
    std::vector<const char*> idx_c;
    for (const std::string& p : idx) idx_c.push_back(p.c_str());
    ok = WdbaseReplaceTable(path.c_str(), work_path.c_str(),
                            static_cast<int>(idx_c.size()), idx_c.data()) != 0;
    if (ok) {
      for (const std::string& p : idx) env()->DeleteFile(p);
    }
  }
  if (!ok) {
    Wy_Trace("Convert: \"%s\": %s\n", path.c_str(), Wdbase::LastErrorText());
    RemoveTableFiles(work_path);
    guard.reset();
    return fail();
  }
  guard.reset();
  return finish(1);
}
