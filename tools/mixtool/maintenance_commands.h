// mixtool convert, param and signature: the structure conversion of a data
// set's tables, its PARAM table and the library's signature.
//
// Each command writes its normal output to out and answers 0, or writes
// lines "mixtool: ..." to err and answers non-zero.

#ifndef TOOLS_MIXTOOL_MAINTENANCE_COMMANDS_H_
#define TOOLS_MIXTOOL_MAINTENANCE_COMMANDS_H_

#include <ostream>
#include <string>

#include "mixtable/mixtable_ex.h"

namespace CLI {
class App;
}

namespace mixtool {

struct ConvertArgs {
  std::string table;  // file base name ("CNT_BLND"); empty: every table
  bool exactWidths = false;
  YTABLE_CONVERT_OPTIONS options;
};

// Converts the tables of the data set in dir (root, every product and
// sub-product directory) to the dictionary's structure: one line per table
// found ("CNT_BLND c:\gdata\: converted", "unchanged" or "FAILED") followed
// by its log lines indented; converted tables are reindexed. Answers 1
// when a table failed (or the named table is unknown), else 0.
int Convert(const std::string& dir, const ConvertArgs& args, std::ostream& out,
            std::ostream& err);

// Without key: every PARAM record ("KEY = VALUE  # COMMENT"). With key:
// its line, or 1 when missing. With set ("KEY=VALUE"): writes it first.
int Param(const std::string& dir, const std::string& key,
          const std::string& set, const std::string& comment, std::ostream& out,
          std::ostream& err);

// Our signature; with dir also the data set's "CHECK_INFO" comment and
// whether an advanced check is due.
int Signature(const std::string& dir, std::ostream& out, std::ostream& err);

// The three subcommands, added to app, and their run after parsing
// (-1 when none of them was chosen).
struct MaintenanceCommands {
  CLI::App* convert = nullptr;
  CLI::App* param = nullptr;
  CLI::App* signature = nullptr;
  std::string dir, key, set, comment;
  ConvertArgs convert_args;
};
void AddMaintenanceCommands(CLI::App& app, MaintenanceCommands* c);
int RunMaintenanceCommands(const MaintenanceCommands& c, std::ostream& out,
                           std::ostream& err);

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_MAINTENANCE_COMMANDS_H_
