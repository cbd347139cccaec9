// mixtool package: builds a data-set package, a directory that installs one
// data set with the installer:
//
//   GDATA.TXT     the description the install engine reads: data id, target
//                 directory, description and, when given, the absolute data
//                 id, one per line (CR LF line ends)
//   GDATA.TGZ     the payload: the tree SRC_DIR (installer/setup/payload.h)
//   setup.exe     the setup program that unpacks the payload into the target
//   KalvoINSTALL  a launcher (sh script) that runs the installed KalvoINSTALL
//                 on this directory: KalvoINSTALL --package DIR "$@"
//
// Programs are looked for (PackageOptions leaves them empty) beside the
// running program (DIR), then in the installed layout (DIR/<KALVO_SETUP_REL>
// for setup.exe, i.e. ../libexec/kalvo), then in the build tree
// (DIR/../../installer/setup/setup.exe, DIR/../../installer/KalvoINSTALL).
// The launcher runs the first KalvoINSTALL on PATH that is not itself, else
// the one found here when the package was built.
//
// The command writes one summary line to out and answers 0, or writes one
// line "mixtool: ..." to err and answers 1. Files of OUT_DIR are replaced
// whole (written aside, then renamed); other files there are left alone.

#ifndef TOOLS_MIXTOOL_PACKAGE_COMMAND_H_
#define TOOLS_MIXTOOL_PACKAGE_COMMAND_H_

#include <ostream>
#include <string>

namespace mixtool {

struct PackageOptions {
  std::string src_dir;  // the data-set tree (Windows-style or host path)
  std::string out_dir;  // created with its parents when missing
  std::string id;       // data id, decimal 1..4294967295
  std::string path;     // target directory with a drive, e.g. C:\GDATA001
  std::string descr;    // description, one line, at most 127 characters
  std::string abs_id;   // empty, or the absolute data id like id
  // Programs copied or referred to; empty: looked for as described above.
  std::string setup_program;
  std::string installer;
};

int Package(const PackageOptions& options, std::ostream& out,
            std::ostream& err);

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_PACKAGE_COMMAND_H_
