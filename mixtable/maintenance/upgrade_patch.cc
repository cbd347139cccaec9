// The patch callback of the upgrade: one table at one level is converted to
// the dictionary's structure, patched (BLEND values, CM_TYPE, key fields,
// formula reflectances without a formula), reindexed and logged. Every
// change is preceded by a backup of the table through the maintenance
// guard; a table that needs no change is not backed up. An automatic run
// on a set this library checked last rebuilds only the indexes that no
// longer match their table's data.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "maintenance/upgrade.h"
#include "mixtable/ytable.h"
#include "platform/env.h"
#include "platform/hooks.h"
#include "xbase32/wdbase_verify.h"

namespace mixtable {
namespace {

const YTABLE_RENAMEFIELD kCntBlendRenames[] = {
    {"CNT_ID", "PTR_ID"}, {"CNT_CONC", "PTR_CONCP"}, {nullptr, nullptr}};
const YTABLE_RENAMEFIELD kBasBlendRenames[] = {
    {"BAS_ID", "PTR_ID"}, {"BAS_CONC", "PTR_CONCP"}, {nullptr, nullptr}};

bool QuickTable(int table) {
  switch (table) {
    case Y_PRODUCTS:
    case Y_SUBPRODS:
    case Y_CNTS:
    case Y_BASES:
    case Y_CNT_KS:
    case Y_BAS_KS:
    case Y_CANS:
      return true;
    default:
      return false;
  }
}

bool IsLevelMergeTable(int table) {
  return table == Y_CNT_BLND || table == Y_CNT_KS || table == Y_BAS_BLND ||
         table == Y_BAS_KS;
}

std::string RawField(const Wdbase* db, int k) {
  const char* p = db->Read(k, 0, 0);
  return p ? std::string(p) : std::string();
}

// One table's run: what was done and said.
struct TableRun {
  UpgradeContext* ctx;
  Wdbase* db;
  int table;
  std::string dir, name;
  std::vector<std::string> lines;
  bool converted = false;
  bool patched = false;
  bool error = false;
  bool saved = false;

  // Backs the table up once, before its first change. False stops the run.
  bool Save() {
    if (saved) return true;
    if (!ctx->guard->SaveTable(dir, table)) {
      lines.push_back("BACKUP FAILED: " + ctx->guard->error());
      error = true;
      ctx->stopped = true;
      return false;
    }
    saved = true;
    return true;
  }
};

void Progress(const UpgradeContext& ctx, unsigned msg, int64_t param,
              const char* text) {
  platform::Progress(ctx.window, msg, param, text);
}

// Structure conversion (a dry run first: nothing is backed up when the
// table already matches).
void ConvertTable(TableRun& run) {
  UpgradeContext& ctx = *run.ctx;
  const YTABLE_RENAMEFIELD* renames = nullptr;
  if (run.table == Y_CNT_BLND) renames = kCntBlendRenames;
  if (run.table == Y_BAS_BLND) renames = kBasBlendRenames;
  const bool exact = (ctx.mode & kWyCheckExact) != 0 && !ctx.quick();
  YTABLE_CONVERT_OPTIONS dry;
  dry.dryRun = true;
  std::vector<std::string> lines;
  int16_t r = ctx.tables->Convert(run.table, renames, lines, exact, dry);
  if (r == 1) {
    if (!run.Save()) return;
    r = ctx.tables->Convert(run.table, renames, lines, exact);
  }
  run.lines.insert(run.lines.end(), lines.begin(), lines.end());
  if (r == 1) run.converted = true;
  if (r < 0) run.error = true;
}

// Positions db on each record in natural order; f(db) answers false to
// stop with an error.
template <typename F>
bool EachRecord(Wdbase* db, F f) {
  db->SelectIdx(0);
  for (int ok = db->Top(); ok && !db->Eof(); ok = db->Next()) {
    if (!f()) return false;
  }
  return true;
}

// PARAM: BLEND_L and BLEND_S values normalised.
void PatchBlendValues(TableRun& run) {
  Wdbase* db = run.db;
  const int fk = db->FieldNo("KEY"), fv = db->FieldNo("VALUE");
  if (fk <= 0 || fv <= 0) return;
  const int prev = Wdbase::FlushSet(0);
  EachRecord(db, [&]() {
    std::string key = RawField(db, fk);
    while (!key.empty() && key.back() == ' ') key.pop_back();
    if (key != "BLEND_L" && key != "BLEND_S") return true;
    std::string value = RawField(db, fv), out, why;
    while (!value.empty() && value.back() == ' ') value.pop_back();
    const int r = NormaliseBlendValue(value, &out, &why);
    if (r < 0) {
      run.lines.push_back("KEPT " + key + " \"" + value + "\": " + why);
    } else if (r == 1 && out != value) {
      if (!run.Save()) return false;
      if (!db->WriteString(fv, out.c_str())) {
        run.error = true;
        return false;
      }
      run.patched = true;
    }
    return true;
  });
  Wdbase::FlushSet(prev);
  db->Flush();
}

// SINGLEKS, SUBSTR and SINGLEBL: a blank or NUL CM_TYPE becomes "C".
void PatchCmType(TableRun& run) {
  Wdbase* db = run.db;
  const int f = db->FieldNo("CM_TYPE");
  if (f <= 0) return;
  const int prev = Wdbase::FlushSet(0);
  EachRecord(db, [&]() {
    const std::string v = RawField(db, f);
    if (!v.empty() && v[0] != ' ' && v[0] != '\0') return true;
    if (!run.Save()) return false;
    if (!db->WriteString(f, "C")) {
      run.error = true;
      return false;
    }
    run.patched = true;
    return true;
  });
  Wdbase::FlushSet(prev);
  db->Flush();
}

// Key fields in their "%5ld" form.
void NormaliseKeys(TableRun& run) {
  Wdbase* db = run.db;
  const int count = db->FieldCount();
  const int prev = Wdbase::FlushSet(0);
  for (int k = 1; k <= count && !run.error && !run.ctx->stopped; ++k) {
    char name[16] = {0}, type = 0;
    int len = 0, dec = 0;
    if (!db->FieldInfo(k, name, &type, &len, &dec)) {
      run.error = true;
      break;
    }
    Progress(*run.ctx, platform::kProgressStep, Percent(k, count),
             run.name.c_str());
    if (!IsKeyField(name, type, len)) continue;
    int32_t odd = 0, first_odd = 0;
    std::string example;
    const bool ok = EachRecord(db, [&]() {
      const std::string raw = RawField(db, k);
      std::string out;
      const int r = NormaliseKeyValue(raw, &out);
      if (r < 0) {
        if (odd++ == 0) {
          first_odd = db->RecNo();
          example = raw;
        }
        return true;
      }
      if (r == 0) return true;
      if (!run.Save()) return false;
      if (!db->WriteString(k, out.c_str())) return false;
      run.patched = true;
      return true;
    });
    if (!ok) run.error = true;
    if (odd > 0) {
      run.lines.push_back("KEPT " + std::string(name) + ": " +
                          std::to_string(odd) +
                          " value(s) not a number, first \"" + example +
                          "\" (record " + std::to_string(first_odd) + ")");
    }
  }
  Wdbase::FlushSet(prev);
  db->Flush();
}

// FRM_REFL records whose formula is not in FRM are removed.
void RemoveOrphanReflectances(TableRun& run) {
  UpgradeContext& ctx = *run.ctx;
  CMixtableEx& ts = *ctx.tables;
  Wdbase* frm = ts.Handle(Y_FRM);
  Wdbase* refl = ts.Handle(Y_FRM_REFL);
  if (!ts.Open(frm) && !frm->IsOpen(0)) {
    run.error = true;
    return;
  }
  if (!refl->IsOpen(0) && !ts.Open(refl)) return;  // no FRM_REFL: nothing
  if (!frm->SelectIdx(1) || !refl->SelectIdx(1)) {
    run.error = true;
    return;
  }
  std::vector<int32_t> orphans;
  const int32_t total = refl->RecCount();
  int32_t pos = 0;
  const int fi = refl->FieldNo("FRM_ID");
  if (fi <= 0) {
    run.error = true;
    return;
  }
  refl->SelectIdx(0);
  for (int ok = refl->Top(); ok && !refl->Eof(); ok = refl->Next()) {
    if (++pos % 256 == 0) {
      Progress(ctx, platform::kProgressStep, Percent(pos, total), "FRM_REFL");
    }
    if (refl->Deleted()) continue;
    char key[16];
    std::snprintf(key, sizeof key, "%5ld",
                  static_cast<long>(refl->ReadLong(fi)));
    if (frm->Seek(key) != 1) orphans.push_back(refl->RecNo());
  }
  if (orphans.empty()) return;
  // FRM_REFL lies in FRM's directory.
  if (!ctx.guard->SaveTable(refl->GetPath(), Y_FRM_REFL)) {
    run.lines.push_back("BACKUP FAILED: " + ctx.guard->error());
    run.error = true;
    ctx.stopped = true;
    return;
  }
  const int prev = Wdbase::FlushSet(0);
  bool ok = true;
  for (int32_t r : orphans) ok = ok && refl->Goto(r) && refl->Delete();
  Wdbase::FlushSet(prev);
  ok = ok && refl->Flush() && refl->Pack();
  if (!ok) run.error = true;
  run.lines.push_back("FRM_REFL: " + std::to_string(orphans.size()) +
                      " record(s) without a formula removed");
  run.patched = true;
}

// Merge detection: level tables, and root blends whose ID is not PTR_ID.
void DetectMerge(TableRun& run, int phase) {
  UpgradeContext& ctx = *run.ctx;
  if (ctx.merge || !IsLevelMergeTable(run.table)) return;
  if (phase == 2 || phase == 3) {
    ctx.merge = true;
    return;
  }
  if (phase != 1 || (run.table != Y_CNT_BLND && run.table != Y_BAS_BLND)) {
    return;
  }
  Wdbase* db = run.db;
  const int fi = db->FieldNo("ID"), fp = db->FieldNo("PTR_ID");
  if (fi <= 0 || fp <= 0) return;
  EachRecord(db, [&]() {
    if (RawField(db, fi) != RawField(db, fp)) ctx.merge = true;
    return !ctx.merge;
  });
}

void LogTable(TableRun& run, int phase, const std::string& stamp) {
  UpgradeContext& ctx = *run.ctx;
  if (!run.converted && run.lines.empty() && !run.error) return;
  if (run.lines.empty()) {
    ctx.log->Converted(stamp, phase, run.dir, run.name, run.error);
    return;
  }
  for (const std::string& line : run.lines) {
    ctx.log->ConvertLine(stamp, phase, run.dir, run.name, line, run.error);
  }
}

// Whether the table's file at dir opens with its registry indexes.
bool OpensWithIndexes(int table, const std::string& dir) {
  Wdbase probe;
  if (!probe.SetFiles(&WyGetFileInfo(table)->def) ||
      !probe.SetPath(dir.c_str()))
    return false;
  if (!probe.Open()) return false;
  probe.Close();
  return true;
}

// Tables of the current level whose file does not open with the registry's
// indexes (an old structure lacking a key field) are never handed to the
// scan: they are converted here first. Missing index files are journaled.
void ConvertUnopened(UpgradeContext& ctx, uint8_t level, int phase) {
  CMixtableEx& ts = *ctx.tables;
  std::string dir;
  if (!ts.Mixtable().LevelToPath(level, dir)) return;
  platform::Env* env = platform::Env::Current();
  for (int t = 0; t < Y_N_MAX && !ctx.stopped; ++t) {
    Wdbase* db = ts.Handle(t);
    const uint8_t mask = ts.GetLevelMask(db);
    if (!(mask & level) || (mask & Y_LEVEL_LOCAL) || db->IsOpen(0)) continue;
    if (ctx.quick() && !QuickTable(t)) continue;
    const YTABLE* y = WyGetFileInfo(t);
    const std::string name = std::string(y->def.name) + ".DBF";
    if (!env->FileExists(dir + name)) continue;
    // Opening builds missing index files: journaled as created first, so
    // that an undone run leaves the set as it was.
    for (int k = 0; k < y->def.idx_count; ++k) {
      std::string idx = dir + y->def.idx_names[k];
      if (idx.find('.', dir.size()) == std::string::npos) idx += ".NTX";
      if (!env->FileExists(idx) && !ctx.guard->NoteCreated(idx)) {
        ctx.stopped = true;
        return;
      }
    }
    if (OpensWithIndexes(t, dir)) continue;
    TableRun run{&ctx, db, t, dir, name, {}};
    const std::string stamp = Wy_MaintenanceLog::Stamp();
    ConvertTable(run);
    if (run.converted) ++ctx.report->converted;
    if (run.error) ++ctx.report->failed;
    LogTable(run, phase, stamp);
  }
}

// Whether every registry index of the open table db holds exactly the
// keys of its records in a sound tree.
bool IndexesMatchData(Wdbase* db, int table) {
  const int count = WyGetFileInfo(table)->def.idx_count;
  for (int k = 1; k <= count; ++k) {
    if (!WdbaseIndexMatchesData(db, k)) return false;
  }
  return true;
}

}  // namespace

void ConvertUnopenedTables(UpgradeContext& ctx) {
  CMixtableEx& ts = *ctx.tables;
  ts.CloseAll();
  ConvertUnopened(ctx, Y_LEVEL_BASE, 1);
  Wdbase* prd = ts.Handle(Y_PRODUCTS);
  Wdbase* spd = ts.Handle(Y_SUBPRODS);
  if (ctx.stopped || !ts.Open(prd)) {
    ts.CloseAll();
    return;
  }
  prd->SelectIdx(1);
  for (prd->Top(); !ctx.stopped && !prd->Eof(); prd->Next()) {
    ts.CloseAll(Y_LEVEL_PRODUCT | Y_LEVEL_SUBPRODUCT);
    ConvertUnopened(ctx, Y_LEVEL_PRODUCT, 2);
    if (ctx.quick() || ctx.stopped || !ts.Open(spd)) continue;
    spd->SelectIdx(1);
    for (spd->Top(); !ctx.stopped && !spd->Eof(); spd->Next()) {
      ts.CloseAll(Y_LEVEL_SUBPRODUCT);
      ConvertUnopened(ctx, Y_LEVEL_SUBPRODUCT, 3);
    }
  }
  ts.CloseAll();
}

int PatchTable(Wdbase* db, void* vctx, int phase, int table, int32_t /*prd*/,
               int32_t /*spd*/) {
  UpgradeContext& ctx = *static_cast<UpgradeContext*>(vctx);
  if (phase == 4) return 1;  // the local directory is not the data set's
  // Progress.
  ctx.visited = ctx.quick() && phase > 2 ? ctx.total : ctx.visited + 1;
  TableRun run{&ctx, db, table, db->GetPath(), db->GetName(0), {}};
  Progress(ctx, platform::kProgressOverall, Percent(ctx.visited, ctx.total),
           ctx.descr.empty() ? nullptr : ctx.descr.c_str());
  const std::string shown = run.dir + run.name;
  Progress(ctx, platform::kProgressText, platform::kProgressShowText,
           shown.c_str());
  if (ctx.quick() && phase == 3) return 0;
  ++ctx.report->tables;
  const std::string stamp = Wy_MaintenanceLog::Stamp();
  CMixtableEx& ts = *ctx.tables;

  // Conversion and the table's own patches.
  if (!ctx.quick() || QuickTable(table)) {
    ConvertTable(run);
    if (!ctx.stopped && !run.error &&
        (table == Y_PARAM || table == Y_SINGLE_KS || table == Y_SUBSTRATE ||
         table == Y_SINGLE_BLND) &&
        !ctx.quick()) {
      if (!db->IsOpen(0) && !ts.Open(db)) {
        run.error = true;
      } else {
        const Wdbase_OEMtoChar m =
            db->SetOEMConversionMode(Wdbase_OEMtoChar_Off);
        if (table == Y_PARAM) {
          PatchBlendValues(run);
        } else {
          PatchCmType(run);
        }
        db->SetOEMConversionMode(m);
      }
    }
  }
  // Key fields, indexes, merge detection and reflectances.
  if (!ctx.quick() && !ctx.stopped) {
    if (!db->IsOpen(0) && !ts.Open(db)) {
      run.error = true;
    } else {
      const Wdbase_OEMtoChar m = db->SetOEMConversionMode(Wdbase_OEMtoChar_Off);
      DetectMerge(run, phase);
      if (db->RecCount() > 0) NormaliseKeys(run);
      db->SetOEMConversionMode(m);
      // An automatic run on a set this library checked last keeps the
      // indexes of a table it did not change when every one of them matches
      // the data: a rebuild would only rewrite them, after backing them up.
      const bool keep = ctx.mode == 0 && !run.saved && !run.error &&
                        !ctx.stopped && IndexesMatchData(db, table);
      // Rebuilt index files are backed up too, so that a restored data set
      // is the one before the run byte for byte.
      if (!keep && !ctx.stopped && !run.saved &&
          !ctx.guard->SaveTableIndexes(run.dir, table)) {
        run.lines.push_back("BACKUP FAILED: " + ctx.guard->error());
        run.error = true;
        ctx.stopped = true;
      }
      if (!keep && !ctx.stopped && !db->RebuildIdx()) run.error = true;
      db->Close();
    }
    if (table == Y_FRM && !run.error && !ctx.stopped) {
      RemoveOrphanReflectances(run);
    }
  }
  // The log, then the table closed (FRM with RULER and FRM_REFL).
  if (run.converted) ++ctx.report->converted;
  if (run.patched) ++ctx.report->patched;
  if (run.error) ++ctx.report->failed;
  LogTable(run, phase, stamp);
  db->Close();
  if (table == Y_FRM) {
    ts.Handle(Y_RULER)->Close();
    ts.Handle(Y_FRM_REFL)->Close();
  }
  return ctx.stopped ? 0 : 1;
}

}  // namespace mixtable
