// Walking the data-set tree: Scan, NavigateSubPrds and RebuildIdx.

#include <cctype>
#include <string>
#include <vector>

#include "access/level_path.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"

namespace {

// The one scan of the process: the table under examination, and whether a
// scan or a rebuild is running.
int g_scan_pos = -1;
bool g_scan_running = false;
bool g_rebuild_running = false;

bool SamePath(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace

// Next table of the registry found at level, after pos: closes the table
// yielded last when it stands at level, opens each candidate and keeps it
// only when it opened at that very level. Answers the table, or -1.
int CMixtable::NextAtLevel(uint8_t level, int& pos) {
  if (pos >= 0 && pos < Y_N_MAX && m_wyarray[pos].db.IsOpen(0) &&
      m_wyarray[pos].cur_level == level) {
    CloseSlot(pos);
    if (pos == Y_FRM) CloseSlot(Y_RULER);
  }
  for (++pos; pos < Y_N_MAX; ++pos) {
    Slot& s = m_wyarray[pos];
    if (!(s.level_mask & level)) continue;
    if (s.db.IsOpen(0)) {
      if (s.cur_level == level) return pos;  // opened along with FRM
      continue;
    }
    if (!Open(&s.db)) continue;
    if (s.cur_level == level) return pos;
    CloseSlot(pos);
    if (pos == Y_FRM) CloseSlot(Y_RULER);
  }
  return -1;
}

// Whether an earlier record of db (walking back in the selected order) has
// the same trimmed PATH. The current record is kept.
bool CMixtable::IsDuplicatePath(Wdbase* db) {
  const std::string path = mixtable::ReadTrimmedPath(*db);
  const int32_t recno = db->RecNo();
  bool dup = false;
  while (!dup && db->Previous() && !db->Bof()) {
    dup = SamePath(path, mixtable::ReadTrimmedPath(*db));
  }
  db->Goto(recno);
  return dup;
}

int CMixtable::Scan(ScanFunc func, void* ctx, int all) {
  if (func == nullptr || g_scan_running) return 0;
  g_scan_running = true;
  bool go_on = true;
  Wdbase* prd = Handle(Y_PRODUCTS);
  Wdbase* spd = Handle(Y_SUBPRODS);

  // Phase 1: the data-set root.
  CloseAll();
  for (g_scan_pos = -1; go_on && NextAtLevel(Y_LEVEL_BASE, g_scan_pos) >= 0;)
    go_on = func(Handle(g_scan_pos), ctx, 1, g_scan_pos, 0, 0) != 0;

  // Phase 2: each product's directory.
  CloseAll();
  if (go_on && Open(prd)) {
    prd->SelectIdx(1);
    for (prd->Top(); go_on && !prd->Eof(); prd->Next()) {
      if (!all && IsDuplicatePath(prd)) continue;
      CloseAll(Y_LEVEL_PRODUCT | Y_LEVEL_SUBPRODUCT);
      const int32_t prd_id = prd->ReadLong("ID");
      for (g_scan_pos = -1;
           go_on && NextAtLevel(Y_LEVEL_PRODUCT, g_scan_pos) >= 0;)
        go_on = func(Handle(g_scan_pos), ctx, 2, g_scan_pos, prd_id, 0) != 0;
    }

    // Phase 3: each sub-product's directory.
    CloseAll();
    if (go_on && Open(prd)) {
      prd->SelectIdx(1);
      for (prd->Top(); go_on && !prd->Eof(); prd->Next()) {
        if (!all && IsDuplicatePath(prd)) continue;
        CloseAll(Y_LEVEL_PRODUCT | Y_LEVEL_SUBPRODUCT);
        if (!Open(spd)) continue;
        const int32_t prd_id = prd->ReadLong("ID");
        spd->SelectIdx(1);
        for (spd->Top(); go_on && !spd->Eof(); spd->Next()) {
          if (!all && IsDuplicatePath(spd)) continue;
          CloseAll(Y_LEVEL_SUBPRODUCT);
          const int32_t spd_id = spd->ReadLong("ID");
          for (g_scan_pos = -1;
               go_on && NextAtLevel(Y_LEVEL_SUBPRODUCT, g_scan_pos) >= 0;) {
            go_on = func(Handle(g_scan_pos), ctx, 3, g_scan_pos, prd_id,
                         spd_id) != 0;
            if (g_scan_pos == Y_FRM) CloseSlot(Y_RULER);
          }
        }
      }
    }

    // Phase 4: the local directory.
    CloseAll();
    if (go_on) {
      for (g_scan_pos = -1;
           go_on && NextAtLevel(Y_LEVEL_LOCAL, g_scan_pos) >= 0;)
        go_on = func(Handle(g_scan_pos), ctx, 4, g_scan_pos, 0, 0) != 0;
    }
  }
  CloseAll();
  g_scan_pos = -1;
  g_scan_running = false;
  return go_on ? 1 : 0;
}

int CMixtable::NavigateSubPrds(SubPrdFunc func, void* ctx) {
  if (func == nullptr) return 0;
  CloseAll();
  Wdbase* prd = Handle(Y_PRODUCTS);
  Wdbase* spd = Handle(Y_SUBPRODS);
  Wdbase* frm = Handle(Y_FRM);
  bool go_on = true;
  if (Open(prd)) {
    prd->SelectIdx(1);
    for (prd->Top(); go_on && !prd->Eof(); prd->Next()) {
      CloseSlot(Y_SUBPRODS);
      if (!Open(spd)) break;
      const int32_t prd_id = prd->ReadLong("ID");
      spd->SelectIdx(1);
      for (spd->Top(); go_on && !spd->Eof(); spd->Next()) {
        if (!Open(frm)) continue;
        go_on =
            func(frm, ctx, GetCurLevel(frm), prd_id, spd->ReadLong("ID")) != 0;
        CloseSlot(Y_FRM);
        CloseSlot(Y_RULER);
      }
    }
  }
  CloseAll();
  return go_on ? 1 : 0;
}

namespace {

struct RebuildState {
  CMixtable::RebuildFunc func;
  void* ctx;
  bool failed;
};

// Deletes the special-filter index files left in dir.
void DeleteStaleFilterIndexes(const std::string& dir) {
  platform::Env* env = platform::Env::Current();
  std::vector<platform::DirEntry> entries;
  if (!env->ListDir(dir, "SPF?????.NTX", &entries).ok()) return;
  for (const platform::DirEntry& e : entries) {
    if (e.info.is_dir) continue;
    env->DeleteFile(dir + e.name);
  }
}

int RebuildOne(Wdbase* db, void* ctx, int /*phase*/, int /*table*/,
               int32_t /*prd*/, int32_t /*spd*/) {
  RebuildState* st = static_cast<RebuildState*>(ctx);
  const std::string dir = db->GetPath();
  if (!dir.empty()) DeleteStaleFilterIndexes(dir);
  const int rebuilt = db->RebuildIdx() ? 1 : 0;
  if (!rebuilt) {
    st->failed = true;
    Wy_Trace("RebuildIdx() --> %s%s FAILED: %d %s\n", dir.c_str(),
             db->GetName(0), Wdbase::LastErrorCode(), Wdbase::LastErrorText());
  }
  if (st->func) return st->func(db, st->ctx, rebuilt);
  Wy_Trace("RebuildUserUfunc() --> %s%s\n", dir.c_str(), db->GetName(0));
  return 1;
}

}  // namespace

int CMixtable::RebuildIdx(RebuildFunc func, void* ctx) {
  if (g_rebuild_running) return 0;
  g_rebuild_running = true;
  RebuildState st{func, ctx, false};
  const int walked = Scan(RebuildOne, &st, 0);
  g_rebuild_running = false;
  return walked && !st.failed ? 1 : 0;
}
