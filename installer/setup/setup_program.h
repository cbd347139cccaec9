// The setup program of a data-set package ("setup.exe"): unpacks the
// payload lying beside it (payload.h) into the directory named by the
// environment variable GDATA and, only when every file and directory is
// written and committed to disk, creates the completion marker
// "c:\inno.end" that the install engine waits for.
//
// Arguments: "/SILENT" (progress through the platform progress hook, the
// default) or "/VERYSILENT" (no progress); "/SUPPRESSMSGBOXES" and
// "/NORESTART" are accepted and change nothing. Letters in any case.
//
// Exit status: 0 success (marker created); 1 the payload is refused or
// cannot be unpacked; 2 bad arguments or no GDATA. On every failure a stale
// marker is gone and none is created; one line "setup: ..." goes to err.
//
// Test hook: $KALVO_SETUP_KILL_AFTER=N makes the program kill itself after
// writing N files (see ExtractOptions::kill_after_files).

#ifndef INSTALLER_SETUP_SETUP_PROGRAM_H_
#define INSTALLER_SETUP_SETUP_PROGRAM_H_

#include <ostream>
#include <string>
#include <vector>

namespace setup {

// The whole program: args without the program name; the payload is looked
// for in payload_dir (empty: the directory of the running program).
int SetupMain(const std::vector<std::string>& args,
              const std::string& payload_dir, std::ostream& out,
              std::ostream& err);

}  // namespace setup

#endif  // INSTALLER_SETUP_SETUP_PROGRAM_H_
