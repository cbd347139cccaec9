// mixtool child: builds the child data set a rule file describes.
//
//   mixtool child RULES [--no-copy]
//
// The source is copied (or, with --no-copy, the existing destination is
// rebuilt from itself), the rules applied and the result swapped in over the
// destination; a failed build leaves the destination as it was. Progress goes
// to standard error: a bar on a terminal, one line per table otherwise. A
// summary line on standard output names the child log. Exit status: 0 built;
// 1 not built (the copy failed, a table's rules could not be applied, or the
// destination is in use or held by another run: see the child log); 2
// refused before any change (the rule file, the destination or the data-set
// id; the code and its meaning are printed).

#ifndef TOOLS_MIXTOOL_CHILD_COMMAND_H_
#define TOOLS_MIXTOOL_CHILD_COMMAND_H_

#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace mixtool {

struct ChildArgs {
  CLI::App* command = nullptr;
  std::string rules;
  bool noCopy = false;
};

void AddChildCommand(CLI::App& app, ChildArgs* args);
int Child(const ChildArgs& args, std::ostream& out, std::ostream& err);
// The chosen command's exit status; -1 when it was not chosen.
int RunChildCommand(const ChildArgs& args, std::ostream& out,
                    std::ostream& err);

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_CHILD_COMMAND_H_
