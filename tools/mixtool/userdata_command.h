// mixtool userdata group|items|delta|apply: the user data of a data set
// (costs, specific weights, can heights and flags) as group and item lists.
//
//   userdata group DIR [--server NAME] --fields bases.cost,cnts.spec_w,...
//       the group lines of the chosen fields
//   userdata items GROUPFILE DIR [--server NAME]
//       the item lines of DIR for the group in GROUPFILE
//   userdata delta NEW OLD
//       line 0 of NEW and the item lines of NEW that OLD lacks
//   userdata apply GROUPFILE ITEMSFILE DIR [--server NAME]
//       writes the items into DIR; "written N items" on success
//
// Lists go to out one per line; files are read with LF or CRLF endings.
// Each command answers 0, or writes "mixtool: ..." to err and answers 1
// (items and apply still print or write what they could).

#ifndef TOOLS_MIXTOOL_USERDATA_COMMAND_H_
#define TOOLS_MIXTOOL_USERDATA_COMMAND_H_

#include <ostream>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace mixtool {

struct UserDataArgs {
  CLI::App* group = nullptr;
  CLI::App* items = nullptr;
  CLI::App* delta = nullptr;
  CLI::App* apply = nullptr;
  std::string dir, server, fields, group_file, items_file, new_file, old_file;
};

// Adds "userdata" and its four subcommands.
CLI::App* AddUserDataCommand(CLI::App& app, UserDataArgs* args);
// Runs the subcommand that was parsed; -1 when none was.
int RunUserDataCommand(const UserDataArgs& args, std::ostream& out,
                       std::ostream& err);

// The seven switches from "bases.cost,cnts.cost,cnts.spec_w,cans.h_min,
// cans.h_max,cans.zero_flag,cans.flags" (any subset, any case, any order).
// False, with the unknown name in *bad, for any other name or none.
bool ParseUserDataFields(const std::string& text, bool on[7], std::string* bad);

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_USERDATA_COMMAND_H_
