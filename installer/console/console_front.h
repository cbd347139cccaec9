// The console front of KalvoINSTALL:
//
//   KalvoINSTALL --console [--package DIR] [--answer yes|no|cancel]
//
// runs the whole installation unattended with every message line on out.
// Message boxes are written to out as their lines; the Yes/No/Cancel
// question is answered by --answer, else by a line read from in ("y", "yes",
// "n", "no"; anything else and the end of input mean Cancel). Answers the
// exit status: 0 only after "Installation success!", 1 when the
// installation failed or was cancelled, 2 for bad arguments. --help (or
// -h) writes the usage line to out and answers 0. Installs its
// message-box hook for the duration of the call.

#ifndef INSTALLER_CONSOLE_CONSOLE_FRONT_H_
#define INSTALLER_CONSOLE_CONSOLE_FRONT_H_

#include <iosfwd>

int ConsoleMain(int argc, const char* const* argv, std::ostream& out,
                std::ostream& err, std::istream& in);

#endif  // INSTALLER_CONSOLE_CONSOLE_FRONT_H_
