// CMixtableEx::SelectGData: makes a data directory current and brings the
// data set up to date under the maintenance guard (lock, in-use refusal,
// backup of every changed table, recovery of an interrupted run).

#include <string>

#include "maintenance/upgrade.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_maintenance.h"
#include "mixtable/wy_maintenance_log.h"
#include "mixtable/wy_repairs.h"
#include "mixtable/wy_upgrade.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/hooks.h"

namespace {

Wy_UpgradeReport g_report;

bool IsSep(char c) { return c == '\\' || c == '/'; }

std::string Trim(const char* text) {
  std::string s = text ? text : "";
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

bool SameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// Number of "\"-separated components of a directory (the drive counts).
int32_t Depth(const std::string& dir) {
  int32_t n = 0;
  bool in = false;
  for (char c : dir) {
    if (IsSep(c)) {
      in = false;
    } else if (!in) {
      in = true;
      ++n;
    }
  }
  return n;
}

void Reset(const void* window) {
  platform::Progress(window, platform::kProgressOverall, 0, nullptr);
  platform::Progress(window, platform::kProgressStep, 100, nullptr);
  platform::Progress(window, platform::kProgressText, platform::kProgressReset,
                     nullptr);
}

}  // namespace

const Wy_UpgradeReport& Wy_LastUpgradeReport() { return g_report; }

int CMixtableEx::SelectGData(const char* dir_in, const void* window, int mode) {
  g_report = Wy_UpgradeReport{};
  // 1. Progress reset, every table closed, the directory.
  Reset(window);
  m_table.CloseAll();
  std::string dir = Trim(dir_in);
  if (dir.empty()) Wy_DataDir(dir);
  if (!dir.empty() && IsSep(dir.back())) dir.pop_back();
  platform::FileInfo info;
  if (dir.empty() ||
      !platform::Env::Current()->GetFileInfo(dir + "\\.", &info).ok() ||
      !info.is_dir) {
    m_table.m_dataDir.clear();
    return -1;
  }
  // 2. The data directory, its PARAM and its id.
  m_table.m_dataDir = dir + "\\";
  m_table.m_dataId = 0;
  if (!Exist(Y_PARAM)) {
    m_table.m_dataDir.clear();
    return -3;
  }
  const uint32_t id = GetParamGdataId(false);
  if (id == 0) {
    m_table.m_dataDir.clear();
    return -2;
  }
  m_table.m_dataId = id;

  // The run: lock, in-use refusal, recovery of an interrupted run.
  Wy_MaintenanceLog log;
  g_report.log_path = log.path();
  Wy_MaintenanceGuard guard(m_table.m_dataDir);
  const int begun = guard.Begin();
  if (begun != 1) {
    log.Note("\"" + m_table.m_dataDir + "\" not checked: " + guard.error());
    m_table.m_dataDir.clear();
    m_table.m_dataId = 0;
    return begun == kWyMaintenanceBusy || begun == kWyMaintenanceUnrestorable
               ? begun
               : -1;
  }
  guard.AllowNested();  // the tree check joins this run
  if (!guard.recovery_note().empty()) {
    g_report.recovery = guard.recovery_note();
    log.Note("\"" + m_table.m_dataDir + "\" " + guard.recovery_note());
  }

  // 3. Automatic mode: a full check unless this library checked last.
  if (mode == 0) {
    std::string value, comment;
    mode = kWyCheckFull;
    if (GetParamLastCheck(value, comment) && !comment.empty()) {
      std::string current = GetSignature(), n1, v1, d1, t1, n2, v2, d2, t2;
      if (GetSignatureData(comment, n1, v1, d1, t1) &&
          GetSignatureData(current, n2, v2, d2, t2) && SameNoCase(n1, n2) &&
          SameNoCase(v1, v2)) {
        mode = 0;
      }
    }
  }
  g_report.mode = mode;
  const bool quick = mode == kWyCheckQuick;

  // 4. The tree check.
  if ((mode & kWyCheckFull) && !quick) {
    g_report.tree_checked = true;
    g_report.tree_result =
        Wy_GDataTreeCheck(m_table.m_dataDir.c_str(), window, true,
                          (mode & kWyCheckPrune) != 0,
                          (mode & kWyCheckClean) != 0);
    if (g_report.tree_result != kWyTreeCheckOk) {
      log.Note("\"" + m_table.m_dataDir + "\" tree check failed (" +
               std::to_string(g_report.tree_result) + ")");
    }
  }

  // 5. The progress total: table files of the set (quick mode: the root and
  //    product directories only).
  int32_t dirs = 0, files = 0;
  Wy_ScanDir(dirs, files, m_table.m_dataDir, "*.DBF", true,
             quick ? Depth(m_table.m_dataDir) + 1 : 0);

  // 6. The patch scan, then the merge scan when level tables were found.
  mixtable::UpgradeContext ctx;
  ctx.tables = this;
  ctx.mode = mode;
  ctx.window = window;
  ctx.total = files;
  ctx.descr = GetGdataDescr();
  ctx.guard = &guard;
  ctx.log = &log;
  ctx.report = &g_report;
  mixtable::ConvertUnopenedTables(ctx);
  if (!ctx.stopped) m_table.Scan(mixtable::PatchTable, &ctx, 0);
  if (ctx.merge && !ctx.stopped) m_table.Scan(mixtable::MergeTable, &ctx, 0);

  // 7. The colour keys when the set has none.
  if (!ctx.stopped && !Exist(Y_COLORKEY)) {
    if (guard.SaveTable(m_table.m_dataDir, Y_COLORKEY) &&
        guard.SaveTable(m_table.m_dataDir, Y_CLRPRDS)) {
      if (!m_table.CreateColorKeyDb()) {
        log.Note("\"" + m_table.m_dataDir + "\" COLORKEY not created");
      }
    } else {
      ctx.stopped = true;
    }
  }

  // 8. The signature, only after a full run without a failed table (a
  //    quick or failed run would otherwise pass for checked).
  if (!ctx.stopped && (mode & kWyCheckFull) && !quick && g_report.failed == 0 &&
      g_report.merge_failed == 0 && g_report.tree_result == 0) {
    std::string value, comment;
    GetParamLastCheck(value, comment);
    if (guard.SaveTable(m_table.m_dataDir, Y_PARAM)) {
      g_report.signature_written =
          SetParamLastCheck(value.c_str(), GetSignature().c_str());
    } else {
      ctx.stopped = true;
    }
  }

  // 9. Done: the run completed (or undone when a backup failed).
  m_table.CloseAll();
  if (ctx.stopped) {
    log.Note("\"" + m_table.m_dataDir + "\" a backup failed (" + guard.error() +
             "): the run was undone");
    guard.Rollback();
    Reset(window);
    return kWyUpgradeBackupFailed;
  }
  guard.Complete();
  platform::Progress(window, platform::kProgressOverall, 100, nullptr);
  platform::Progress(window, platform::kProgressStep, 100, nullptr);
  platform::Progress(window, platform::kProgressText, platform::kProgressReset,
                     nullptr);
  return 1;
}
