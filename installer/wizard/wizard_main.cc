#include "wizard_main.h"

#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include "install_sheet.h"
#include "wizard_options.h"

int WizardMain(int argc, char** argv) {
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
