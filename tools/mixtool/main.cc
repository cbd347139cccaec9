// mixtool: a support tool for the tables library: what it sees of a data
// set (gdata) and the machine's catalogue of data sets (catalog).

#include <CLI/CLI.hpp>
#include <iostream>

#include "catalog_command.h"
#include "gdata_command.h"

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
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "mixtool: " << e.what() << "\n";
    return 2;
  }
  if (gdata->parsed()) return mixtool::Gdata(dir, std::cout, std::cerr);
  scan = scan_opt->count() > 0;
  if (catalog->parsed()) {
    return scan ? mixtool::CatalogScan(roots, std::cout, std::cerr)
                : mixtool::Catalog(std::cout, std::cerr);
  }
  return 0;
}
