#include "wizard_main.h"

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "install_sheet.h"
#include "wizard_options.h"

namespace {

// Whether Qt has a platform to show windows on: a display, or a platform
// named in the environment or with -platform.
bool HaveDisplay(int argc, char** argv) {
  for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    if (const char* s = std::getenv(v); s && *s) return true;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-platform") == 0) return true;
  return false;
}

}  // namespace

int WizardMain(int argc, char** argv) {
  if (!HaveDisplay(argc, argv)) {
    // Qt would abort; say what to do instead.
    std::cerr << "KalvoINSTALL: no display; run it with --console, or with "
                 "QT_QPA_PLATFORM=offscreen or under xvfb-run\n";
    return 1;
  }
  QApplication app(argc, argv);  // takes Qt's own options out of argv
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  InstallerOptions options;
  std::string error;
  if (!ParseWizardArgs(args, &options, &error)) {
    std::cerr << "KalvoINSTALL: " << error << '\n' << kWizardUsage;
    return 2;
  }
  CInstallSheet sheet(options);
  if (!sheet.Start()) return 1;
  sheet.exec();
  return sheet.Status();
}
