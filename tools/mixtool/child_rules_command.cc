// mixtool child-rules (see child_rules_command.h).
#include "child_rules_command.h"

#include <cstdlib>

#include "mixtable/wy_gdata_child.h"

namespace mixtool {
namespace {

int Fail(std::ostream& err, const std::string& what) {
  err << "mixtool: " << what << "\n";
  return 1;
}

}  // namespace

CLI::App* AddChildRulesCommand(CLI::App& app, ChildRulesArgs* a) {
  CLI::App* c = app.add_subcommand(
      "child-rules", "show or edit the rule file of a child data set");
  a->command = c;
  c->add_option("RULES", a->rules, "the rule file")->required();
  c->require_subcommand(1);
  a->show = c->add_subcommand("show", "the cards, one a line");
  a->del = c->add_subcommand("delete", "delete a record and its dependents");
  a->del
      ->add_option("TABLE", a->table,
                   "CNTS, BASES, CANS, PRODUCTS, SUBPRODS or FRM")
      ->required();
  a->del->add_option("ID", a->id, "record id")->required();
  a->delEx = c->add_subcommand("delete-ex", "explicit deletions by expression");
  a->delEx->add_option("TABLE", a->table, "table base name")->required();
  a->delEx->add_option("EXPR", a->exprs, "expressions")->required();
  a->clean =
      c->add_subcommand("clean", "remove the rules of a table and section");
  a->clean
      ->add_option("TABLE", a->table, "table base name, or * for every table")
      ->required();
  a->clean->add_flag("--all", a->all, "also the explicit deletions");
  for (CLI::App* s : {a->del, a->delEx, a->clean}) {
    s->add_option("--prd", a->prd, "product id (0: the data-set root)");
    s->add_option("--spd", a->spd, "sub-product id (0: the product)");
  }
  return c;
}

int ChildRules(const ChildRulesArgs& a, std::ostream& out, std::ostream& err) {
  Wy_GDataChild child;
  if (!child.Read(a.rules.c_str()))
    return Fail(err, "cannot read the rule file " + a.rules +
                         " (missing, a bad line, or no source data set)");
  if (a.show->parsed()) {
    for (const std::string& c : child.Cards()) out << c << "\n";
    return 0;
  }
  int table = a.table == "*" ? -1 : Wy_GDataChild::DatabaseToTable(a.table);
  if (table < 0 && !(a.clean->parsed() && a.table == "*"))
    return Fail(err, "unknown table '" + a.table + "'");
  bool ok = false;
  if (a.del->parsed()) {
    char* end = nullptr;
    long id = std::strtol(a.id.c_str(), &end, 10);
    if (a.id.empty() || *end || id <= 0 || id > 2147483647L)
      return Fail(err, "bad record id '" + a.id + "'");
    ok = child.DeleteRecord(int32_t(id), table, a.prd, a.spd);
    if (!ok)
      return Fail(err, "cannot delete record " + a.id + " of " + a.table);
  } else if (a.delEx->parsed()) {
    ok = child.SetDeleteRecordEx(a.exprs, table, a.prd, a.spd);
    if (!ok)
      return Fail(err, "expressions refused (empty, CX call or bad section)");
  } else if (a.clean->parsed()) {
    ok = child.CleanRules(table, a.prd, a.spd, a.all);
    if (!ok) return Fail(err, "cannot clean the rules of that section");
  }
  if (!child.Write(a.rules.c_str()))
    return Fail(err, "cannot write " + a.rules);
  out << child.Cards().size() << " cards\n";
  return 0;
}

}  // namespace mixtool
