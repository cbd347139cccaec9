// mixtool tree and repair: the data-set tree check and the data repairs.
//
//   mixtool tree DIR [--prune] [--clean] [--dry-run]
//   mixtool repair DIR masks|rulers|barcodes|colorimetry|hue|forcefactors|all
//
// tree prints every report of the check as a line (" *" marks a change;
// nothing changes with --dry-run) and then "tree check: CODE MEANING".
// repair prints "NAME: done" or "NAME: FAILED" per repair run. Exit
// status: 0 done, 1 a step failed, 2 refused (not a data set, unknown
// repair), 3 busy (another maintenance run holds the data set), 4 an
// interrupted run could not be restored. Errors go to err as
// "mixtool: ..." lines.

#ifndef TOOLS_MIXTOOL_REPAIR_COMMANDS_H_
#define TOOLS_MIXTOOL_REPAIR_COMMANDS_H_

#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace mixtool {

struct TreeArgs {
  bool prune = false;
  bool clean = false;
  bool dry_run = false;
};

int Tree(const std::string& dir, const TreeArgs& args, std::ostream& out,
         std::ostream& err);
int Repair(const std::string& dir, const std::string& what, std::ostream& out,
           std::ostream& err);

// The two subcommands, added to app, and their run after parsing (-1 when
// neither was chosen).
struct RepairCommands {
  CLI::App* tree = nullptr;
  CLI::App* repair = nullptr;
  std::string dir, what;
  TreeArgs tree_args;
};
void AddRepairCommands(CLI::App& app, RepairCommands* c);
int RunRepairCommands(const RepairCommands& c, std::ostream& out,
                      std::ostream& err);

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_REPAIR_COMMANDS_H_
