// KalvoINSTALL: installs a formula data set, with the wizard or, given
// --console, on standard output (see console/console_front.h).

#include <cstring>
#include <iostream>

#include "console/console_front.h"
#include "wizard_main.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--console") == 0)
      return ConsoleMain(argc, argv, std::cout, std::cerr, std::cin);
  return WizardMain(argc, argv);
}
