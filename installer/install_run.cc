// Trees of the installation (backup, prune, delete), the setup run with its
// rollback, and the whole unattended installation.

#include <cctype>
#include <string>
#include <vector>

#include "install_internal.h"
#include "installer/install_engine.h"
#include "mixtable/process_mgr.h"
#include "mixtable/wy_maintenance.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/hooks.h"
#include "xbase32/wdbase.h"

using installer_internal::PlainName;
using installer_internal::SameText;
using installer_internal::Trim;

namespace {

platform::Env* E() { return platform::Env::Current(); }

// dir + name with the separator dir uses (host paths "/", else "\").
std::string Join(const std::string& dir, const std::string& name) {
  std::string d = dir;
  char sep = (!d.empty() && d[0] == '/') ? '/' : '\\';
  if (!d.empty() && d.back() != '\\' && d.back() != '/') d += sep;
  return d + name;
}

std::string NoTrailing(std::string dir) {
  while (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/'))
    dir.pop_back();
  return dir;
}

// Clears dir below; answers true when something was kept in it.
bool PruneDir(const std::string& dir, bool top) {
  std::vector<platform::DirEntry> entries;
  if (!E()->ListDir(dir, "*", &entries).ok()) return true;
  bool kept = false;
  for (const platform::DirEntry& e : entries) {
    if (!PlainName(e.name)) {
      kept = true;
      continue;
    }
    std::string p = Join(dir, e.name);
    if (e.info.is_link) {
      E()->DeleteFile(p);  // the link goes, never what it leads to
    } else if (e.info.is_dir) {
      if (SameText(e.name, "CUSTOM") || PruneDir(p, false)) kept = true;
    } else if (SameText(e.name, "TANKS.DBF") || SameText(e.name, "DISPS.DBF")) {
      kept = true;
    } else {
      E()->SetAttributes(p, platform::kAttrNormal);
      E()->DeleteFile(p);
    }
  }
  // The target directory itself stays: it may be where a link leads.
  if (!kept && !top) E()->RemoveDir(dir);
  return kept;
}

void Rollback(InstallContext& ctx) {
  std::string dir = WorkingDir(ctx.path);
  ctx.Line("Database installation failed !!!");
  ctx.Line("");
  ctx.Line("Delete partial database installed !!!");
  ctx.Line("");
  DeleteTree(dir);
  if (ctx.backup_made) {
    platform::ShowMessageBox(
        "KalvoINSTALL",
        "Database installation is not complete !!!\n\nIl vecchio database "
        "verr\xE0 ripristinato",
        platform::kMbOk | platform::kMbIconWarning);
    if (CopyTree(kBackupDir, dir)) {
      ctx.Line("Restore old database done !!!");
      ctx.Line("");
      DeleteTree(kBackupDir);
      ctx.backup_made = 0;
    } else {
      ctx.Line(std::string("The old database could not be restored completely: "
                           "it remains in ") +
               kBackupDir);
    }
  } else {
    platform::ShowMessageBox("KalvoINSTALL",
                             "Database installation is not complete !!!",
                             platform::kMbOk | platform::kMbIconWarning);
  }
  RestoreCatalogue(ctx);
  RestoreLocalTables(ctx);
}

}  // namespace

int CopyTree(const std::string& source, const std::string& target) {
  return E()->CopyTree(NoTrailing(source), NoTrailing(target)).ok() ? 1 : 0;
}

void PruneTree(const std::string& dir) {
  if (E()->FileExists(dir)) PruneDir(NoTrailing(dir), true);
}

void DeleteTree(const std::string& dir) { E()->DeleteTree(NoTrailing(dir)); }

void DeleteNamedFiles(const std::string& dir, const std::string& name) {
  std::vector<platform::DirEntry> entries;
  if (!E()->ListDir(dir, "*", &entries).ok()) return;
  for (const platform::DirEntry& e : entries) {
    if (e.info.is_link || !PlainName(e.name)) continue;
    std::string p = Join(dir, e.name);
    if (e.info.is_dir) {
      DeleteNamedFiles(p, name);
    } else if (SameText(e.name, name.c_str())) {
      E()->SetAttributes(p, platform::kAttrNormal);
      E()->DeleteFile(p);
    }
  }
}

// Asks whether any table of the tree under dir is open in another handle
// (the engine's "open" lock range tells): such a data set is neither backed up
// nor pruned. The walk goes by directory descriptor and never enters links;
// table holds the first table found in use.
bool TreeInUse(const std::string& dir, std::string* table) {
  if (table) table->clear();
  bool in_use = false;
  std::vector<std::string> stack{NoTrailing(dir)};
  while (!stack.empty() && !in_use) {
    std::string d = stack.back();
    stack.pop_back();
    std::vector<platform::DirEntry> entries;
    if (!E()->ListDir(d, "*", &entries).ok()) continue;
    for (const platform::DirEntry& e : entries) {
      if (e.info.is_link || !PlainName(e.name)) continue;
      std::string p = Join(d, e.name);
      if (e.info.is_dir) {
        stack.push_back(p);
        continue;
      }
      size_t dot = e.name.rfind('.');
      if (dot == std::string::npos || !SameText(e.name.substr(dot), ".DBF"))
        continue;
      if (WdbaseIsInUse(p.c_str())) {
        if (table) *table = p;
        in_use = true;
        break;
      }
    }
  }
  return in_use;
}

int PrepareTarget(InstallContext& ctx) {
  std::string dir = WorkingDir(ctx.path);
  auto stop = [&](const std::string& why) {
    ctx.error = why;
    ctx.Line(why);
    return -1;
  };
  if (ctx.backup_requested && E()->FileExists(NoTrailing(kBackupDir)))
    return stop(std::string("The backup directory ") + kBackupDir +
                " of an earlier, interrupted installation may hold the only "
                "copy of a database: move it away or delete it, then start "
                "again");
  if (!ctx.old_data_present) return 1;
  // A maintenance run (check, upgrade, repair) holds the data set, or one
  // was interrupted and its backup area holds what it changed: the next
  // run of it restores the set; the installation must not clear it first.
  switch (Wy_MaintenanceState(dir)) {
    case kWyMaintenanceLocked:
      return stop(
          "A maintenance run (check, upgrade or repair) is working "
          "on " +
          ctx.path + ": wait for its end, then start again");
    case kWyMaintenanceInterrupted:
      return stop("An interrupted maintenance run left " + ctx.path +
                  " to be restored: run \"mixtool upgrade --restore\" on "
                  "it (or check it), then start again");
    default:
      break;
  }
  std::string table;
  if (TreeInUse(dir, &table))
    return stop("The table " + table +
                " is in use by another program: close it, then start again");
  if (ctx.backup_requested) {
    if (!CopyTree(dir, kBackupDir)) {
      DeleteTree(kBackupDir);
      return stop("Cannot back up " + ctx.path + " to " + kBackupDir +
                  ": nothing was changed");
    }
    ctx.backup_made = 1;
  }
  PruneTree(dir);
  return 1;
}

int RunSetup(InstallContext& ctx) {
  std::string path = Trim(ctx.path);
  E()->SetEnv("GDATA", path);
  bool ok = true;
  if (E()->FileExists(kCompletionMarker) &&
      !E()->DeleteFile(kCompletionMarker).ok()) {
    ctx.Line(std::string("Cannot delete ") + kCompletionMarker);
    ok = false;
  }
  if (ok) {
    CProcessMgr pm;
    pm.SetChildEnv("GDATA", path);
    std::string setup = installer_internal::PackageFile(ctx, kSetupProgramName);
    std::string dir = setup;
    Wy_GetFilePath(dir);
    uint32_t status = pm.Execute(
        setup, ctx.unattended ? "/VERYSILENT" : "/SILENT", dir, true);
    ok = pm.LastError() == 0 && status == 0 &&
         E()->FileExists(kCompletionMarker);
  }
  if (!ok) {
    Rollback(ctx);
    return 0;
  }
  E()->DeleteFile(kCompletionMarker);
  return 1;
}

int RunInstallation(InstallContext& ctx) {
  int r = ReadInstallFile(ctx);
  if (r == 0) {
    ctx.error = kMissingInstallFileText;
    platform::ShowMessageBox("KalvoINSTALL", kMissingInstallFileText,
                             platform::kMbOk | platform::kMbIconError);
    return 1;
  }
  if (r < 0) return 1;
  ctx.backup_requested = 1;
  if (ctx.register_in_catalogue) {
    r = RegisterDataSet(ctx);
    if (r == 0) {
      ctx.error = "Installation cancelled";
      ctx.Line(ctx.error);
      return 1;
    }
    if (r < 0) return 1;
  }
  ctx.old_data_present = E()->FileExists(WorkingDir(ctx.path)) ? 1 : 0;
  if (PrepareTarget(ctx) < 0) {
    RestoreCatalogue(ctx);
    RestoreLocalTables(ctx);
    return 1;
  }
  if (!RunSetup(ctx)) return 1;
  return FinalSteps(ctx) ? 0 : 1;
}
