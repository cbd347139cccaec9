// mixtool child (see child_command.h).
#include "child_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "maintenance_exit.h"
#include "mixtable/wy_gdata_child.h"
#include "platform/hooks.h"

namespace mixtool {
namespace {

// What the progress display shows.
struct Display {
  std::ostream* err = nullptr;
  bool terminal = false;
  int64_t overall = 0, step = 0;
  std::string table;
  bool drawn = false;
};
Display g_display;

void Draw() {
  Display& d = g_display;
  const int width = 30;
  std::string bar(static_cast<size_t>(d.overall * width / 100), '#');
  bar.resize(width, ' ');
  std::string table = d.table;
  if (table.size() > 40) table = "..." + table.substr(table.size() - 37);
  char line[160];
  std::snprintf(line, sizeof line, "\r[%s] %3d%% %-40s %3d%%", bar.c_str(),
                static_cast<int>(d.overall), table.c_str(),
                static_cast<int>(d.step));
  *d.err << line << std::flush;
  d.drawn = true;
}

void ShowProgress(const void* window, unsigned msg, int64_t param,
                  const char* text) {
  Display& d = g_display;
  if (window != platform::kProgressWindow || d.err == nullptr) return;
  if (msg == platform::kProgressOverall) {
    d.overall = param;
  } else if (msg == platform::kProgressStep) {
    d.step = param;
  } else if (msg == platform::kProgressText &&
             param == platform::kProgressShowText && text != nullptr) {
    d.table = text;
    d.step = 0;
    if (!d.terminal) {
      *d.err << d.overall << "% " << d.table << "\n";
      return;
    }
  } else {
    return;
  }
  if (d.terminal) Draw();
}

// Installs ShowProgress for its life.
class ProgressTo {
 public:
  explicit ProgressTo(std::ostream& err)
      : old_(platform::SetProgressHook(&ShowProgress)) {
    g_display = Display{};
    g_display.err = &err;
    g_display.terminal = &err == &std::cerr && platform::StderrIsTerminal();
  }
  ~ProgressTo() {
    if (g_display.drawn) *g_display.err << "\n";
    platform::SetProgressHook(old_);
    g_display = Display{};
  }
  ProgressTo(const ProgressTo&) = delete;
  ProgressTo& operator=(const ProgressTo&) = delete;

 private:
  platform::ProgressHook old_;
};

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
