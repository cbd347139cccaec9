// mixtool levels: the dispenser levels of a formula text file, as HDspLevels
// reads them from its "@LEV" lines.
//
// The command writes its output to out and answers 0, or writes one line
// "mixtool: ..." to err and answers 1.

#ifndef TOOLS_MIXTOOL_LEVELS_COMMAND_H_
#define TOOLS_MIXTOOL_LEVELS_COMMAND_H_

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

namespace mixtool {

// Adds "levels" to app, filling file when parsed.
CLI::App* AddLevelsCommand(CLI::App& app, std::string* file);

// file: host or Windows-style path. Output: "entries N", then per entry
// "entry K slave S canisters C" and one "  circuit C level L" line per pair.
// A formula without level lines gives "entries 0". Failure: the file cannot
// be read or holds no formula line.
int Levels(const std::string& file, std::ostream& out, std::ostream& err);

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_LEVELS_COMMAND_H_
