// mixtool child-rules: look at and edit the rule file of a child data set.
//
//   child-rules RULES show                          the cards, one a line
//   child-rules RULES delete TABLE ID [--prd P] [--spd S]
//                                                   a record and its
//                                                   dependents (read from
//                                                   the source data set)
//   child-rules RULES delete-ex TABLE EXPR... [--prd P] [--spd S]
//                                                   explicit deletions
//   child-rules RULES clean TABLE [--prd P] [--spd S] [--all]
//                                                   rules of a table ("*":
//                                                   every table) and section;
//                                                   --all also the explicit
//
// TABLE is a table's base name (CNTS, FRM, ...), any case. An edited rule
// file is written back (through a work file). Output goes to out and the
// answer is 0; a failure is one line "mixtool: ..." on err and the answer 1.

#ifndef TOOLS_MIXTOOL_CHILD_RULES_COMMAND_H_
#define TOOLS_MIXTOOL_CHILD_RULES_COMMAND_H_

#include <CLI/CLI.hpp>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace mixtool {

struct ChildRulesArgs {
  CLI::App* command = nullptr;
  CLI::App *show = nullptr, *del = nullptr, *delEx = nullptr, *clean = nullptr;
  std::string rules, table, id;
  std::vector<std::string> exprs;
  int32_t prd = 0, spd = 0;
  bool all = false;
};

// Adds "child-rules" to app, filling args when parsed.
CLI::App* AddChildRulesCommand(CLI::App& app, ChildRulesArgs* args);
int ChildRules(const ChildRulesArgs& args, std::ostream& out,
               std::ostream& err);

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_CHILD_RULES_COMMAND_H_
