// mixtool units: the unit conversion of a data set's colorant lists.
//
// The command writes its output to out and answers 0, or writes one line
// "mixtool: ..." to err and answers 1. Numbers on the command line are read
// here (not by the option parser) so that a bad one is such a line too.

#ifndef TOOLS_MIXTOOL_UNITS_COMMAND_H_
#define TOOLS_MIXTOOL_UNITS_COMMAND_H_

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace mixtool {

// The arguments of "mixtool units".
struct UnitsArgs {
  std::string dir;       // data directory, or a catalogued data id
  std::string from, to;  // kinds: 0..6 or their names
  std::string total, x, base, factor;  // empty: not given
  bool single = false;
  std::vector<std::string> items;  // ID=QTY
};

// Adds "units" to app, filling args when parsed.
CLI::App* AddUnitsCommand(CLI::App& app, UnitsArgs* args);

// Converts the listed quantities (with --base, the base as well) from one
// kind to the other, or with --single prints SingleConvert's total. Output:
// "base ID QTY" (with --base), one "ID QTY" line per colorant, then
// "total T" (from an absolute kind to a relative one); with --single
// "total T". Quantities with 9 decimals.
int Units(const UnitsArgs& args, std::ostream& out, std::ostream& err);

// The kind named by text (a number 0..6 or pigment, weight-parts,
// volume-parts, volume, volume-small, weight, weight-small); -1 if none.
int ParseUnitKind(const std::string& text);

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_UNITS_COMMAND_H_
