// setup.exe: the setup program of a data-set package (see setup_program.h).

#include <iostream>
#include <string>
#include <vector>

#include "setup_program.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return setup::SetupMain(args, "", std::cout, std::cerr);
}
