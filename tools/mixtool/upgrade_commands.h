// mixtool check and upgrade: the check and upgrade of a data set.
//
//   mixtool check DIR                       (automatic mode)
//   mixtool upgrade DIR [--prune] [--clean] [--exact-widths] [--quick]
//   mixtool upgrade --restore DIR           (undo an interrupted run)
//
// Progress goes to standard error: on a terminal a bar (overall percent,
// the table, the table's percent) redrawn in place; otherwise one line per
// table. Then a summary line on standard output with the maintenance log's
// path. Exit status: 0 clean, 1 some table failed (or a backup failed and
// the run was undone), 2 refused (code and meaning printed), 3 busy
// (another maintenance run, or a table of the set open elsewhere), 4 an
// interrupted run could not be restored.

#ifndef TOOLS_MIXTOOL_UPGRADE_COMMANDS_H_
#define TOOLS_MIXTOOL_UPGRADE_COMMANDS_H_

#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace mixtool {

struct UpgradeArgs {
  std::string dir;
  bool prune = false, clean = false, exact = false, quick = false;
  bool restore = false;
};

// mode 0 for check; the upgrade's mode word from the switches otherwise.
int CheckOrUpgrade(const std::string& dir, int mode, std::ostream& out,
                   std::ostream& err);
int RestoreInterrupted(const std::string& dir, std::ostream& out,
                       std::ostream& err);

struct UpgradeCommands {
  CLI::App* check = nullptr;
  CLI::App* upgrade = nullptr;
  UpgradeArgs args;
};
void AddUpgradeCommands(CLI::App& app, UpgradeCommands* c);
// The chosen command's exit status; -1 when neither was chosen.
int RunUpgradeCommands(const UpgradeCommands& c, std::ostream& out,
                       std::ostream& err);

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_UPGRADE_COMMANDS_H_
