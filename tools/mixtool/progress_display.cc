#include "progress_display.h"

#include <cstdio>
#include <iostream>
#include <string>

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
  const int filled = static_cast<int>(d.overall * width / 100);
  std::string bar(static_cast<size_t>(filled), '#');
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
  switch (msg) {
    case platform::kProgressOverall:
      d.overall = param;
      break;
    case platform::kProgressStep:
      d.step = param;
      break;
    case platform::kProgressText:
      if (param == platform::kProgressShowText && text != nullptr) {
        d.table = text;
        d.step = 0;
        if (!d.terminal) {
          *d.err << d.overall << "% " << d.table << "\n";
          return;
        }
      }
      break;
    default:
      return;
  }
  if (d.terminal) Draw();
}

}  // namespace

ProgressTo::ProgressTo(std::ostream& err)
    : old_(platform::SetProgressHook(&ShowProgress)) {
  g_display = Display{};
  g_display.err = &err;
  g_display.terminal = &err == &std::cerr && platform::StderrIsTerminal();
}

ProgressTo::~ProgressTo() {
  if (g_display.drawn) *g_display.err << "\n";
  platform::SetProgressHook(old_);
  g_display = Display{};
}

}  // namespace mixtool
