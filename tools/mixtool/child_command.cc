// mixtool child (see child_command.h).
#include "child_command.h"

#include <CLI/CLI.hpp>
#include <string>

#include "maintenance_exit.h"
#include "mixtable/wy_gdata_child.h"
#include "platform/hooks.h"
#include "progress_display.h"

namespace mixtool {
namespace {

const char* Meaning(int code) {
  switch (code) {
    case 0:
      return "the copy failed";
    case -1:
      return "the destination is refused (a root, the source, or a machine "
             "directory)";
    case -2:
      return "no data-set id (DATAID) in the source or the child";
    case -3:
      return "the destination is not a data set, or the id or description "
             "could not be written";
    case kChildFailed:
      return "a table's rules could not be applied, or the destination is in "
             "use or held by another run";
    default:
      return "unknown result";
  }
}

}  // namespace

void AddChildCommand(CLI::App& app, ChildArgs* a) {
  a->command = app.add_subcommand(
      "child", "build the child data set a rule file describes");
  a->command->add_option("RULES", a->rules, "the rule file")->required();
  a->command->add_flag("--no-copy", a->noCopy,
                       "rebuild the existing destination instead of copying "
                       "the source");
}

int Child(const ChildArgs& a, std::ostream& out, std::ostream& err) {
  Wy_GDataChild child;
  if (!child.Read(a.rules.c_str())) {
    err << "mixtool: the rule file " << a.rules << " was refused\n";
    return kExitRefused;
  }
  std::string src, dst, descr;
  bool newId = false;
  child.GetInfo(src, dst, descr, newId);
  int r;
  {
    ProgressTo progress(err);
    r = child.CreateChild(platform::kProgressWindow, !a.noCopy);
  }
  if (r == 1) {
    out << "child " << dst << " built; log " << Wy_GDataChildLogPath() << "\n";
    return kExitOk;
  }
  err << "mixtool: child " << dst << " not built (" << r << "): " << Meaning(r)
      << "; log " << Wy_GDataChildLogPath() << "\n";
  return r == 0 || r == kChildFailed ? kExitFailed : kExitRefused;
}

int RunChildCommand(const ChildArgs& a, std::ostream& out, std::ostream& err) {
  if (a.command == nullptr || !a.command->parsed()) return -1;
  return Child(a, out, err);
}

}  // namespace mixtool
