// mixtool research: the stored batches that can be recycled into a formula.
//
// The target is read from an @-tag formula text and resolved in its own
// data set ("@GDT"); the working rule (CWy_QuantitySumConfrontation) is
// applied to the inventory (--inventory, else the local directory). Output:
// one line per recyclable batch
//   ID "NAME" X/Y/Z formula=F base=B batch=P per_can=Q
// (percentages with 6 decimals, the quantity per can with 3), then
// "found N". Answers 0 when the research ran (also with nothing found);
// otherwise one line "mixtool: ..." on err and 1.

#ifndef TOOLS_MIXTOOL_RESEARCH_COMMAND_H_
#define TOOLS_MIXTOOL_RESEARCH_COMMAND_H_

#include <CLI/CLI.hpp>
#include <cstdint>
#include <ostream>
#include <string>

namespace mixtool {

struct ResearchArgs {
  std::string file;       // the target's formula text
  int cans = 1;           // --cans
  int32_t batch = 0;      // --batch: one absolute batch id (0: all)
  std::string inventory;  // --inventory: directory (empty: local)
  std::string trace;      // --trace FILE
  bool no_trace = false;  // --no-trace
};

// Adds "research" to app, filling args when parsed.
CLI::App* AddResearchCommand(CLI::App& app, ResearchArgs* args);

int Research(const ResearchArgs& args, std::ostream& out, std::ostream& err);

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_RESEARCH_COMMAND_H_
