// mixtool inventory: the inventory of stored batches (FRMINV and INVENT of
// an inventory directory) as the storage manager reads it.
//
//   list   one line per stored formula (id, data id, identification,
//          formula text), then one line per batch (absolute id, index,
//          name, quantity, location, production, expiry and reflectance
//          dates, label code);
//   show   the formula of that id as @-tag text, then its batches;
//   check  the tables' structure checked (and brought up to date), then
//          their records: batches naming no formula, formulas without
//          batches, ids given twice, records marked deleted.
//
// Output is UTF-8. Each command answers 0, or writes "mixtool: ..." lines
// to err and answers 1 (check: also when it found a fault).

#ifndef TOOLS_MIXTOOL_INVENTORY_COMMAND_H_
#define TOOLS_MIXTOOL_INVENTORY_COMMAND_H_

#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace mixtool {

struct InventoryCommand {
  CLI::App* inventory = nullptr;
  CLI::App* list = nullptr;
  CLI::App* show = nullptr;
  CLI::App* check = nullptr;
  std::string dir;  // empty: the local directory
  std::string id;   // show
};

void AddInventoryCommand(CLI::App& app, InventoryCommand* c);
// -1 when "inventory" was not chosen.
int RunInventoryCommand(const InventoryCommand& c, std::ostream& out,
                        std::ostream& err);

int InventoryList(const std::string& dir, std::ostream& out, std::ostream& err);
int InventoryShow(const std::string& dir, const std::string& id,
                  std::ostream& out, std::ostream& err);
int InventoryCheck(const std::string& dir, std::ostream& out,
                   std::ostream& err);

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_INVENTORY_COMMAND_H_
