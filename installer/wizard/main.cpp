// KalvoINSTALL: installs a formula data set, with the wizard or, given
// --console, on standard output (see console/console_front.h).

#include <cstring>
#include <iostream>

#include "console/console_front.h"
#include "wizard_main.h"
#include "wizard_options.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--console") == 0)
      return ConsoleMain(argc, argv, std::cout, std::cerr, std::cin);
  // The usage needs no display.
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0 ||
        std::strcmp(argv[i], "-h") == 0) {
      std::cout << kWizardUsage;
      return 0;
    }
  return WizardMain(argc, argv);
}
