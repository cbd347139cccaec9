// mixtool tree and repair.

#include "repair_commands.h"

#include <CLI/CLI.hpp>
#include <string>
#include <utility>
#include <vector>

#include "maintenance_exit.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_maintenance.h"
#include "mixtable/wy_repairs.h"
#include "platform/env.h"
#include "platform/hooks.h"

namespace mixtool {
namespace {

// The report lines of the tree check go to this stream.
std::ostream* g_report = nullptr;

void PrintReport(const void* window, unsigned msg, int64_t param,
                 const char* text) {
  if (window != platform::kProgressWindow || g_report == nullptr) return;
  if (msg == platform::kProgressText && param == platform::kProgressShowText &&
      text != nullptr && *text != '\0')
    *g_report << text << "\n";
}

// Installs PrintReport for its life.
class ReportTo {
 public:
  explicit ReportTo(std::ostream& out)
      : old_(platform::SetProgressHook(&PrintReport)) {
    g_report = &out;
  }
  ~ReportTo() {
    platform::SetProgressHook(old_);
    g_report = nullptr;
  }
  ReportTo(const ReportTo&) = delete;
  ReportTo& operator=(const ReportTo&) = delete;

 private:
  platform::ProgressHook old_;
};

bool IsDir(const std::string& dir) {
  platform::FileInfo info;
  return !dir.empty() &&
         platform::Env::Current()->GetFileInfo(dir, &info).ok() && info.is_dir;
}

const char* TreeMeaning(int code) {
  switch (code) {
    case kWyTreeCheckOk:
      return "done";
    case kWyTreeCheckNotGData:
      return "not a data set";
    case kWyTreeCheckPruneFailed:
      return "a directory could not be pruned";
    case kWyTreeCheckDirsFailed:
      return "a directory could not be created";
    case kWyTreeCheckCleanFailed:
      return "a file could not be deleted";
    case kWyMaintenanceBusy:
      return "busy: another maintenance run or a table in use";
    case kWyMaintenanceUnrestorable:
      return "an interrupted run could not be restored";
    default:
      return "the maintenance lock could not be taken";
  }
}

int TreeExit(int code) {
  switch (code) {
    case kWyTreeCheckOk:
      return kExitOk;
    case kWyTreeCheckNotGData:
      return kExitRefused;
    case kWyMaintenanceBusy:
      return kExitBusy;
    case kWyMaintenanceUnrestorable:
      return kExitUnrestorable;
    default:
      return kExitFailed;
  }
}

struct RepairStep {
  const char* name;
  const char* group;  // the argument that selects it
  bool (*run)(CMixtable*);
};

const RepairStep kSteps[] = {
    {"masks", "masks",
     [](CMixtable* t) { return Wy_UpdateMasksAndRulers(t, nullptr, 0); }},
    {"rulers", "rulers",
     [](CMixtable* t) { return Wy_UpdateMasksAndRulers(t, nullptr, 1); }},
    {"barcodes", "barcodes",
     [](CMixtable* t) { return Wy_UpdateBarcodes(t, nullptr) == 0; }},
    {"colorants colorimetry", "colorimetry",
     [](CMixtable* t) { return Wy_UpdateCntsColorimetry(t, nullptr) == 0; }},
    {"bases colorimetry", "colorimetry",
     [](CMixtable* t) { return Wy_UpdateBasesColorimetry(t, nullptr) == 0; }},
    {"colorants hue", "hue",
     [](CMixtable* t) { return Wy_UpdateCntsHue(t, nullptr) == 0; }},
    {"bases hue", "hue",
     [](CMixtable* t) { return Wy_UpdateBasesHue(t, nullptr) == 0; }},
    {"force factors", "forcefactors",
     [](CMixtable* t) { return Wy_UpdateForceFactors(t, nullptr) == 0; }},
};

}  // namespace

int Tree(const std::string& dir, const TreeArgs& args, std::ostream& out,
         std::ostream& err) {
  if (!IsDir(dir)) {
    err << "mixtool: no directory " << dir << "\n";
    return kExitRefused;
  }
  int code;
  {
    ReportTo report(out);
    code = Wy_GDataTreeCheck(dir.c_str(), platform::kProgressWindow,
                             !args.dry_run, args.prune, args.clean);
  }
  out << "tree check: " << code << " " << TreeMeaning(code) << "\n";
  return TreeExit(code);
}

int Repair(const std::string& dir, const std::string& what, std::ostream& out,
           std::ostream& err) {
  if (!IsDir(dir)) {
    err << "mixtool: no directory " << dir << "\n";
    return kExitRefused;
  }
  std::vector<const RepairStep*> steps;
  for (const RepairStep& s : kSteps)
    if (what == "all" || what == s.group) steps.push_back(&s);
  if (steps.empty()) {
    err << "mixtool: unknown repair " << what
        << " (masks, rulers, barcodes, colorimetry, hue, forcefactors, all)\n";
    return kExitRefused;
  }
  const int state = Wy_MaintenanceState(dir);
  if (state == kWyMaintenanceLocked) {
    err << "mixtool: busy: another maintenance run holds " << dir << "\n";
    return kExitBusy;
  }
  CMixtableEx ts;
  ts.SetDataDir(dir.c_str());
  int failed = 0;
  for (const RepairStep* s : steps) {
    const bool ok = s->run(&ts.Mixtable());
    out << s->name << ": " << (ok ? "done" : "FAILED") << "\n";
    if (!ok) ++failed;
  }
  if (failed && Wy_MaintenanceState(dir) == kWyMaintenanceInterrupted) {
    err << "mixtool: an interrupted run could not be restored in " << dir
        << "\n";
    return kExitUnrestorable;
  }
  return failed ? kExitFailed : kExitOk;
}

void AddRepairCommands(CLI::App& app, RepairCommands* c) {
  c->tree = app.add_subcommand(
      "tree",
      "check the data set's directory tree: product directories created, "
      "orphan directories pruned, stray files cleaned");
  c->tree->add_option("dir", c->dir, "the data directory")->required();
  c->tree->add_flag("--prune", c->tree_args.prune,
                    "remove directories no product or sub-product names");
  c->tree->add_flag("--clean", c->tree_args.clean,
                    "delete files that belong to no registered table");
  c->tree->add_flag("--dry-run", c->tree_args.dry_run,
                    "report what would be done, change nothing");
  c->repair =
      app.add_subcommand("repair",
                         "delete records whose colorant, base, can, product or "
                         "formula is gone");
  c->repair->add_option("dir", c->dir, "the data directory")->required();
  c->repair
      ->add_option("what", c->what,
                   "masks, rulers, barcodes, colorimetry, hue, forcefactors "
                   "or all")
      ->required();
}

int RunRepairCommands(const RepairCommands& c, std::ostream& out,
                      std::ostream& err) {
  if (c.tree && c.tree->parsed()) return Tree(c.dir, c.tree_args, out, err);
  if (c.repair && c.repair->parsed()) return Repair(c.dir, c.what, out, err);
  return -1;
}

}  // namespace mixtool
