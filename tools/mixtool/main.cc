// mixtool: a support tool for the tables library: what it sees of a data
// set (gdata), its formulas, masks, colour keys and cans (frm, mask,
// colorkeys, cans), the machine's catalogue of data sets (catalog), and
// data-set packages for the installer (package).

#include <CLI/CLI.hpp>
#include <iostream>

#include "catalog_command.h"
#include "child_command.h"
#include "child_rules_command.h"
#include "formula_commands.h"
#include "formula_text_commands.h"
#include "formula_xml_commands.h"
#include "gdata_command.h"
#include "history_commands.h"
#include "identity_commands.h"
#include "inventory_command.h"
#include "levels_command.h"
#include "maintenance_commands.h"
#include "package_command.h"
#include "repair_commands.h"
#include "research_command.h"
#include "units_command.h"
#include "upgrade_commands.h"
#include "userdata_command.h"
#include "xml_command.h"

int main(int argc, char** argv) {
  CLI::App app{
      "mixtool: look into formula data sets as the tables library sees them"};
  app.require_subcommand(1);
  std::string dir;
  CLI::App* gdata =
      app.add_subcommand("gdata",
                         "the tables found at each level, their record counts, "
                         "and the tables that do not open");
  gdata
      ->add_option("dir", dir,
                   "the data directory (c:\\gdata\\ or a host path)")
      ->required();
  std::string roots;
  bool scan = false;
  CLI::App* catalog =
      app.add_subcommand("catalog",
                         "the catalogue of data sets (id, path, description, "
                         "server, family, hidden)");
  CLI::Option* scan_opt = catalog->add_option(
      "--scan", roots,
      "create the catalogue by scanning these roots (separated by \";\")");
  int32_t prd = 0, spd = 0, id = 0;
  std::string type;
  CLI::App* frm = app.add_subcommand(
      "frm", "a stored formula beside what the library reads of it");
  frm->add_option("dir", dir, "data directory or data id")->required();
  frm->add_option("prd", prd, "product id")->required();
  frm->add_option("spd", spd, "sub-product id")->required();
  frm->add_option("id", id, "formula id")->required();
  CLI::App* mask =
      app.add_subcommand("mask", "the ids a sub-product allows (BA, CO, CA)");
  mask->add_option("dir", dir, "data directory or data id")->required();
  mask->add_option("prd", prd, "product id")->required();
  mask->add_option("spd", spd, "sub-product id")->required();
  mask->add_option("type", type, "BA, CO or CA")->required();
  CLI::App* colorkeys = app.add_subcommand(
      "colorkeys", "rebuild COLORKEY and CLRPRDS and count their records");
  colorkeys->add_option("dir", dir, "data directory or data id")->required();
  CLI::App* cans = app.add_subcommand(
      "cans", "every can with its sizes, and the data set's units");
  cans->add_option("dir", dir, "data directory or data id")->required();
  mixtool::UnitsArgs units_args;
  CLI::App* units = mixtool::AddUnitsCommand(app, &units_args);
  std::string levels_file;
  CLI::App* levels = mixtool::AddLevelsCommand(app, &levels_file);
  mixtool::FormulaTextCli formula_text(app);
  mixtool::FormulaXmlCli formula_xml(formula_text.app());
  mixtool::PackageOptions pkg;
  CLI::App* package = app.add_subcommand(
      "package",
      "build a data-set package: GDATA.TXT, the payload GDATA.TGZ, setup.exe "
      "and a KalvoINSTALL launcher");
  package->add_option("SRC_DIR", pkg.src_dir, "the data-set tree")->required();
  package->add_option("OUT_DIR", pkg.out_dir, "the package directory")
      ->required();
  package->add_option("--id", pkg.id, "data id (1 to 4294967295)")->required();
  package
      ->add_option("--path", pkg.path,
                   "target directory of the installation, e.g. C:\\GDATA001")
      ->required();
  package->add_option("--descr", pkg.descr, "description of the data set")
      ->required();
  package->add_option("--abs-id", pkg.abs_id,
                      "absolute data id (the data set it derives from)");
  mixtool::XmlArgs xml_args;
  CLI::App* xml = mixtool::AddXmlCommand(app, &xml_args);
  mixtool::MaintenanceCommands maintenance;
  mixtool::AddMaintenanceCommands(app, &maintenance);
  mixtool::UserDataArgs userdata;
  mixtool::AddUserDataCommand(app, &userdata);
  mixtool::HistoryCommands history;
  mixtool::AddHistoryCommands(app, &history);
  mixtool::InventoryCommand inventory;
  mixtool::AddInventoryCommand(app, &inventory);
  mixtool::ChildRulesArgs child_rules;
  CLI::App* child_rules_cmd = mixtool::AddChildRulesCommand(app, &child_rules);
  mixtool::RepairCommands repairs;
  mixtool::AddRepairCommands(app, &repairs);
  mixtool::UpgradeCommands upgrades;
  mixtool::AddUpgradeCommands(app, &upgrades);
  // create and id.
  mixtool::IdentityCommands identity;
  mixtool::AddIdentityCommands(app, &identity);
  mixtool::ResearchArgs research_args;
  CLI::App* research = mixtool::AddResearchCommand(app, &research_args);
  // child: build a child data set.
  mixtool::ChildArgs child_args;
  mixtool::AddChildCommand(app, &child_args);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "mixtool: " << e.what() << "\n";
    // The formula commands keep 2 for an incomplete formula.
    return formula_text.parsed() ? 1 : 2;
  }
  if (formula_xml.parsed()) return formula_xml.Run(std::cout, std::cerr);
  if (formula_text.parsed()) return formula_text.Run(std::cout, std::cerr);
  if (int r =
          mixtool::RunMaintenanceCommands(maintenance, std::cout, std::cerr);
      r >= 0)
    return r;
  if (int r = mixtool::RunUserDataCommand(userdata, std::cout, std::cerr);
      r >= 0)
    return r;
  if (int r = mixtool::RunHistoryCommands(history, std::cout, std::cerr);
      r >= 0)
    return r;
  if (int r = mixtool::RunInventoryCommand(inventory, std::cout, std::cerr);
      r >= 0)
    return r;
  if (child_rules_cmd->parsed())
    return mixtool::ChildRules(child_rules, std::cout, std::cerr);
  if (int r = mixtool::RunChildCommand(child_args, std::cout, std::cerr);
      r >= 0)
    return r;
  if (int r = mixtool::RunRepairCommands(repairs, std::cout, std::cerr); r >= 0)
    return r;
  if (int r = mixtool::RunUpgradeCommands(upgrades, std::cout, std::cerr);
      r >= 0)
    return r;
  if (int r = mixtool::RunIdentityCommands(identity, std::cout, std::cerr);
      r >= 0)
    return r;
  if (gdata->parsed()) return mixtool::Gdata(dir, std::cout, std::cerr);
  if (frm->parsed())
    return mixtool::Frm(dir, prd, spd, id, std::cout, std::cerr);
  if (mask->parsed())
    return mixtool::Mask(dir, prd, spd, type, std::cout, std::cerr);
  if (colorkeys->parsed()) return mixtool::ColorKeys(dir, std::cout, std::cerr);
  if (cans->parsed()) return mixtool::Cans(dir, std::cout, std::cerr);
  if (xml->parsed()) return mixtool::Xml(xml_args, std::cout, std::cerr);
  if (units->parsed()) return mixtool::Units(units_args, std::cout, std::cerr);
  if (levels->parsed())
    return mixtool::Levels(levels_file, std::cout, std::cerr);
  if (package->parsed()) return mixtool::Package(pkg, std::cout, std::cerr);
  if (research->parsed())
    return mixtool::Research(research_args, std::cout, std::cerr);
  scan = scan_opt->count() > 0;
  if (catalog->parsed()) {
    return scan ? mixtool::CatalogScan(roots, std::cout, std::cerr)
                : mixtool::Catalog(std::cout, std::cerr);
  }
  return 0;
}
