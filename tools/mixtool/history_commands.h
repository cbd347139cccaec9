// mixtool history list|show|check and archive list|check: the dispensing
// history and the formula archive of this machine.
//
// Each command writes its output (UTF-8) to out and answers 0, or writes a
// line "mixtool: ..." to err and answers 1.

#ifndef TOOLS_MIXTOOL_HISTORY_COMMANDS_H_
#define TOOLS_MIXTOOL_HISTORY_COMMANDS_H_

#include <cstdint>
#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace mixtool {

struct HistoryArgs {
  std::string dir;      // history directory; empty: the local directory
  int32_t last = 0;     // list: only the last N records (0: all)
  int32_t recno = 0;    // show: the record
  bool widen = false;   // check: widen the archive's FORMULA to 128
  uint32_t dataId = 0;  // check: DATAID for records without one
  bool create = false;  // check: create the table when it is missing
};

// One line per record: record number ("*" after it when deleted), date,
// time, data id, product/sub-product, colour (id and description), NDISP
// and formula text.
int HistoryList(const HistoryArgs& a, std::ostream& out, std::ostream& err);
// The formula of record recno read back, as @-tag text.
int HistoryShow(const HistoryArgs& a, std::ostream& out, std::ostream& err);
// Brings the history up to date (and fills blank data ids); prints the
// table, its record count and its FRM width.
int HistoryCheck(const HistoryArgs& a, std::ostream& out, std::ostream& err);
// One line per archive record: record number, ID, date, data id,
// product/sub-product, keys and comment, formula text.
int ArchiveList(std::ostream& out, std::ostream& err);
// As HistoryCheck for the archive (FORMULA width included).
int ArchiveCheck(const HistoryArgs& a, std::ostream& out, std::ostream& err);

// The subcommands, added to app, and their run after parsing (-1 when none
// of them was chosen).
struct HistoryCommands {
  CLI::App* history = nullptr;
  CLI::App* list = nullptr;
  CLI::App* show = nullptr;
  CLI::App* check = nullptr;
  CLI::App* archive = nullptr;
  CLI::App* archive_list = nullptr;
  CLI::App* archive_check = nullptr;
  HistoryArgs args;
};
void AddHistoryCommands(CLI::App& app, HistoryCommands* c);
int RunHistoryCommands(const HistoryCommands& c, std::ostream& out,
                       std::ostream& err);

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_HISTORY_COMMANDS_H_
