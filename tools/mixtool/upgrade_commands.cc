// mixtool check and upgrade.

#include "upgrade_commands.h"

#include <CLI/CLI.hpp>
#include <string>

#include "maintenance_exit.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_maintenance.h"
#include "mixtable/wy_upgrade.h"
#include "platform/hooks.h"
#include "progress_display.h"

namespace mixtool {
namespace {

const char* Meaning(int code) {
  switch (code) {
    case -1:
      return "the directory does not exist";
    case -2:
      return "the data set has no id (DATAID)";
    case -3:
      return "there is no PARAM table";
    case kWyMaintenanceBusy:
      return "busy: another maintenance run, or a table of the set is open";
    case kWyMaintenanceUnrestorable:
      return "an interrupted run could not be restored";
    case kWyUpgradeBackupFailed:
      return "a table could not be backed up: the run was undone";
    default:
      return "unknown";
  }
}

}  // namespace

int CheckOrUpgrade(const std::string& dir, int mode, std::ostream& out,
                   std::ostream& err) {
  int r;
  {
    ProgressTo progress(err);
    CMixtableEx ts;
    r = ts.SelectGData(dir.c_str(), platform::kProgressWindow, mode);
  }
  const Wy_UpgradeReport& rep = Wy_LastUpgradeReport();
  if (!rep.recovery.empty()) out << "recovered: " << rep.recovery << "\n";
  if (r != 1) {
    err << "mixtool: " << dir << ": " << r << " " << Meaning(r) << "\n";
    if (r == kWyMaintenanceBusy) return kExitBusy;
    if (r == kWyMaintenanceUnrestorable) return kExitUnrestorable;
    if (r == kWyUpgradeBackupFailed) return kExitFailed;
    return kExitRefused;
  }
  out << "mode " << rep.mode << ": " << rep.tables << " tables, "
      << rep.converted << " converted, " << rep.patched << " patched, "
      << rep.failed << " failed, " << rep.merged << " merged, "
      << rep.merge_failed << " merges failed";
  if (rep.tree_checked) out << ", tree check " << rep.tree_result;
  out << (rep.signature_written ? ", signature recorded" : "") << "\n";
  out << "log: " << rep.log_path << "\n";
  const bool clean =
      rep.failed == 0 && rep.merge_failed == 0 && rep.tree_result == 0;
  return clean ? kExitOk : kExitFailed;
}

int RestoreInterrupted(const std::string& dir, std::ostream& out,
                       std::ostream& err) {
  Wy_MaintenanceGuard guard(dir);
  const int r = guard.Begin(false);
  if (r != 1) {
    err << "mixtool: " << dir << ": " << r << " " << guard.error() << "\n";
    if (r == kWyMaintenanceBusy) return kExitBusy;
    if (r == kWyMaintenanceUnrestorable) return kExitUnrestorable;
    return kExitRefused;
  }
  out << (guard.recovery_note().empty() ? "nothing to restore"
                                        : guard.recovery_note())
      << "\n";
  guard.Complete();
  return kExitOk;
}

void AddUpgradeCommands(CLI::App& app, UpgradeCommands* c) {
  c->check = app.add_subcommand(
      "check",
      "check and upgrade a data set in automatic mode (a full check "
      "unless this library checked it last)");
  c->check->add_option("dir", c->args.dir, "the data directory")->required();
  c->upgrade = app.add_subcommand(
      "upgrade",
      "full check and upgrade of a data set, or --restore of an "
      "interrupted run");
  c->upgrade->add_option("dir", c->args.dir, "the data directory")->required();
  c->upgrade->add_flag("--prune", c->args.prune,
                       "remove product directories no record names");
  c->upgrade->add_flag("--clean", c->args.clean,
                       "delete files that belong to no table");
  c->upgrade->add_flag("--exact-widths", c->args.exact,
                       "convert every field to the dictionary's exact width");
  c->upgrade->add_flag("--quick", c->args.quick,
                       "root and product levels only, base tables only");
  c->upgrade->add_flag("--restore", c->args.restore,
                       "only undo an interrupted run (nothing else)");
}

int RunUpgradeCommands(const UpgradeCommands& c, std::ostream& out,
                       std::ostream& err) {
  if (c.check && c.check->parsed()) {
    return CheckOrUpgrade(c.args.dir, 0, out, err);
  }
  if (c.upgrade && c.upgrade->parsed()) {
    const UpgradeArgs& a = c.args;
    if (a.restore) return RestoreInterrupted(a.dir, out, err);
    int mode = kWyCheckFull | (a.prune ? kWyCheckPrune : 0) |
               (a.clean ? kWyCheckClean : 0) | (a.exact ? kWyCheckExact : 0);
    if (a.quick) {
      if (a.prune || a.clean || a.exact) {
        err << "mixtool: --quick takes no other switch\n";
        return kExitRefused;
      }
      mode = kWyCheckQuick;
    }
    return CheckOrUpgrade(a.dir, mode, out, err);
  }
  return -1;
}

}  // namespace mixtool
