// xbtool: look into, dump, create and fill DBF tables from the command line.

#include <CLI/CLI.hpp>
#include <iostream>

#include "commands.h"

int main(int argc, char** argv) {
  CLI::App app{"xbtool: look into and edit the DBF tables of a data set"};
  app.require_subcommand(1);
  std::string table;
  bool csv = false;
  std::vector<std::string> args;

  CLI::App* info =
      app.add_subcommand("info", "header facts and field descriptors");
  info->add_option("table", table, "the .dbf file")->required();
  CLI::App* dump = app.add_subcommand("dump", "every record with its flag");
  dump->add_option("table", table, "the .dbf file")->required();
  dump->add_flag("--csv", csv, "comma-separated values with a header line");
  CLI::App* create = app.add_subcommand("create", "create a table");
  create->add_option("table", table, "the .dbf file")->required();
  create->add_option("fields", args, "NAME:TYPE[:LEN[:DEC]] ...")->required();
  CLI::App* append = app.add_subcommand("append", "append one record");
  append->add_option("table", table, "the .dbf file")->required();
  append->add_option("values", args, "NAME=value ...");

  std::string expr;
  int32_t recno = 0;
  CLI::App* expr_cmd =
      app.add_subcommand("expr", "evaluate an expression on the records");
  expr_cmd->add_option("table", table, "the .dbf file")->required();
  expr_cmd->add_option("expression", expr, "e.g. UPPER(NAME)+STR(QTY,8,2)")
      ->required();
  expr_cmd->add_option("--record", recno, "only this record number");

  std::string order, index, key, where;
  dump->add_option("--order", order, "an index file: dump in its order");
  dump->add_option("--where", where,
                   "only the records satisfying this condition, with their "
                   "positions");
  CLI::App* filter = app.add_subcommand(
      "filter", "the records a condition keeps (through a special filter)");
  filter->add_option("table", table, "the .dbf file")->required();
  filter->add_option("condition", expr, "e.g. QTY > 0 .AND. NAME = 'A'")
      ->required();
  filter->add_option("--order", order, "an index file: in its order");
  CLI::App* index_cmd =
      app.add_subcommand("index", "create an NTX index of a table");
  index_cmd->add_option("table", table, "the .dbf file")->required();
  index_cmd->add_option("index", index, "the .ntx file (beside the table)")
      ->required();
  index_cmd->add_option("expression", expr, "the key, e.g. UPPER(NAME)")
      ->required();
  CLI::App* seek = app.add_subcommand("seek", "seek a key in an index");
  seek->add_option("table", table, "the .dbf file")->required();
  seek->add_option("index", index, "the .ntx file")->required();
  seek->add_option("key", key, "the key (its beginning for text keys)")
      ->required();
  CLI::App* check =
      app.add_subcommand("check", "verify an index against its table");
  check->add_option("table", table, "the .dbf file")->required();
  check->add_option("index", index, "the .ntx file")->required();

  // Maintenance.
  int32_t from = 0, to = 0;
  int pos = 0;
  std::string field, text, field_text, dst;
  CLI::App* pack =
      app.add_subcommand("pack", "remove the records marked deleted");
  pack->add_option("table", table, "the .dbf file")->required();
  pack->add_option("--index", index, "an index file of the table to rebuild");
  CLI::App* zap =
      app.add_subcommand("zap", "remove records FROM..TO (every one without)");
  zap->add_option("table", table, "the .dbf file")->required();
  CLI::Option* from_opt = zap->add_option("from", from, "first record");
  CLI::Option* to_opt = zap->add_option("to", to, "last record");
  zap->add_option("--index", index, "an index file of the table to rebuild");
  CLI::App* memo =
      app.add_subcommand("memo", "print (or set) the memo text of a record");
  memo->add_option("table", table, "the .dbf file")->required();
  memo->add_option("recno", recno, "the record number")->required();
  memo->add_option("field", field, "the memo field")->required();
  CLI::Option* set_opt = memo->add_option("--set", text, "store this text");
  CLI::App* addfield = app.add_subcommand("addfield", "insert a field");
  addfield->add_option("table", table, "the .dbf file")->required();
  addfield->add_option("pos", pos, "position (0: at the end)")->required();
  addfield->add_option("field", field_text, "NAME:TYPE:LEN[:DEC]")->required();
  CLI::App* rmfield = app.add_subcommand("rmfield", "remove a field");
  rmfield->add_option("table", table, "the .dbf file")->required();
  rmfield->add_option("pos", pos, "the field's position")->required();
  CLI::App* copy =
      app.add_subcommand("copy", "copy the records into another table");
  copy->add_option("table", table, "the source .dbf file")->required();
  copy->add_option("dst", dst, "the target .dbf file")->required();
  copy->add_option("fields", args,
                   "NAME:TYPE[:LEN[:DEC]] ... for a new target");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  if (*info) return xbtool::Info(table, std::cout, std::cerr);
  if (*dump) {
    return xbtool::Dump(table, csv, std::cout, std::cerr, order, where);
  }
  if (*filter) {
    return xbtool::Filter(table, expr, order, std::cout, std::cerr);
  }
  if (*index_cmd) {
    return xbtool::Index(table, index, expr, std::cout, std::cerr);
  }
  if (*seek) return xbtool::Seek(table, index, key, std::cout, std::cerr);
  if (*check) return xbtool::Check(table, index, std::cout, std::cerr);
  if (*create) return xbtool::Create(table, args, std::cout, std::cerr);
  if (*append) return xbtool::Append(table, args, std::cout, std::cerr);
  if (*pack) return xbtool::Pack(table, index, std::cout, std::cerr);
  if (*zap) {
    if (from_opt->count() != to_opt->count()) {
      std::cerr << "xbtool: zap needs both FROM and TO, or neither\n";
      return 1;
    }
    return xbtool::Zap(table, from_opt->count() > 0, from, to, index, std::cout,
                       std::cerr);
  }
  if (*memo) {
    return xbtool::Memo(table, recno, field, set_opt->count() ? &text : nullptr,
                        std::cout, std::cerr);
  }
  if (*addfield) {
    return xbtool::AddField(table, pos, field_text, std::cout, std::cerr);
  }
  if (*rmfield) return xbtool::RemoveField(table, pos, std::cout, std::cerr);
  if (*copy) return xbtool::Copy(table, dst, args, std::cout, std::cerr);
  if (*expr_cmd) {
    return xbtool::Expr(table, expr, recno, std::cout, std::cerr);
  }
  return 1;
}
