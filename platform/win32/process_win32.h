// Command-line building of the Windows process start and the command names
// of the process listing (internal to the platform layer; exposed for the
// tests).

#ifndef PLATFORM_WIN32_PROCESS_WIN32_H_
#define PLATFORM_WIN32_PROCESS_WIN32_H_

#include <string>
#include <vector>

namespace platform::internal {

// One argument as the Microsoft C runtime's command-line splitting reads
// it back unchanged: as it is when it holds no blank, tab, newline or
// quote and is not empty; otherwise in quotes, with each quote escaped by
// a backslash and the backslashes before a quote (or before the closing
// quote) doubled.
std::string QuoteArgument(const std::string& arg);

// The command line of a child: the program name (quoted when it holds a
// blank; it may hold no quote) and the quoted arguments, one blank apart.
std::string BuildCommandLine(const std::string& program,
                             const std::vector<std::string>& args);

// The command name of a process listing entry, as Linux names processes:
// the executable's file name (as the snapshot gives it) without a final
// ".exe" in any case ("SLEEP.EXE" is "SLEEP"); other names stay as they are.
std::string CommandName(const std::string& exe_file);

}  // namespace platform::internal

#endif  // PLATFORM_WIN32_PROCESS_WIN32_H_
