// KalvoINSTALL: installs a formula data set (see console/console_front.h).

#include <iostream>

#include "console/console_front.h"

int main(int argc, char** argv) {
  return ConsoleMain(argc, argv, std::cout, std::cerr, std::cin);
}
