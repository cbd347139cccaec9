// mixtool userdata group, items, delta and apply.

#include "userdata_command.h"

#include <CLI/CLI.hpp>
#include <cctype>

#include "mixtable/wy_user_data.h"
#include "platform/line_reader.h"

namespace mixtool {
namespace {

std::string Lower(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

bool ReadList(const std::string& file, std::vector<std::string>* lines,
              std::ostream& err) {
  if (!platform::ReadLines(file, lines).ok()) {
    err << "mixtool: cannot read " << file << "\n";
    return false;
  }
  return true;
}

void Print(const std::vector<std::string>& lines, std::ostream& out) {
  for (const std::string& l : lines) out << l << "\n";
}

const char* Server(const UserDataArgs& a) {
  return a.server.empty() ? nullptr : a.server.c_str();
}

int Group(const UserDataArgs& a, std::ostream& out, std::ostream& err) {
  bool on[7];
  std::string bad;
  if (!ParseUserDataFields(a.fields, on, &bad)) {
    err << "mixtool: unknown field \"" << bad
        << "\" (bases.cost, cnts.cost, cnts.spec_w, cans.h_min, cans.h_max, "
           "cans.zero_flag, cans.flags)\n";
    return 1;
  }
  std::vector<std::string> group;
  if (!Wy_CreateGDataUserDataGroup(group, a.dir.c_str(), Server(a), on[0],
                                   on[1], on[2], on[3], on[4], on[5], on[6])) {
    err << "mixtool: no group for " << a.dir << "\n";
    return 1;
  }
  Print(group, out);
  return 0;
}

int Items(const UserDataArgs& a, std::ostream& out, std::ostream& err) {
  std::vector<std::string> group, items;
  if (!ReadList(a.group_file, &group, err)) return 1;
  const bool ok =
      Wy_GetGDataUserDataItem(group, items, a.dir.c_str(), Server(a));
  Print(items, out);
  if (!ok) {
    err << "mixtool: " << (items.empty() ? "no items taken" : "items left out")
        << " (a group that does not split, no data set in " << a.dir
        << ", a table that does not open, or a value no line can carry)\n";
    return 1;
  }
  return 0;
}

int Delta(const UserDataArgs& a, std::ostream& out, std::ostream& err) {
  std::vector<std::string> now, old, diff;
  if (!ReadList(a.new_file, &now, err) || !ReadList(a.old_file, &old, err))
    return 1;
  if (!Wy_DeltaGDataUserDataItem(now, old, diff)) {
    err << "mixtool: " << a.new_file << " holds no items\n";
    return 1;
  }
  Print(diff, out);
  return 0;
}

int Apply(const UserDataArgs& a, std::ostream& out, std::ostream& err) {
  std::vector<std::string> group, items;
  if (!ReadList(a.group_file, &group, err) ||
      !ReadList(a.items_file, &items, err))
    return 1;
  if (!Wy_SetGDataUserDataItem(group, items, a.dir.c_str(), Server(a))) {
    err << "mixtool: not every item was written (a group that does not "
           "split, a table that does not open, or items that do not fit the "
           "fields of "
        << a.dir << ")\n";
    return 1;
  }
  out << "written " << (items.size() > 1 ? items.size() - 1 : 0) << " items\n";
  return 0;
}

}  // namespace

bool ParseUserDataFields(const std::string& text, bool on[7],
                         std::string* bad) {
  for (int i = 0; i < 7; ++i) on[i] = false;
  bool any = false;
  size_t at = 0;
  while (at <= text.size()) {
    size_t comma = text.find(',', at);
    if (comma == std::string::npos) comma = text.size();
    const std::string name = Lower(Trim(text.substr(at, comma - at)));
    at = comma + 1;
    if (name.empty()) continue;
    bool found = false;
    for (int i = 0; i < kWyUserDataFieldCount; ++i)
      if (name == Lower(std::string(kWyUserDataFields[i].table) + "." +
                        kWyUserDataFields[i].field))
        on[i] = found = true;
    if (!found) {
      if (bad != nullptr) *bad = name;
      return false;
    }
    any = true;
  }
  if (!any && bad != nullptr) *bad = "";
  return any;
}

CLI::App* AddUserDataCommand(CLI::App& app, UserDataArgs* a) {
  CLI::App* ud = app.add_subcommand(
      "userdata",
      "user data of a data set (costs, specific weights, can heights and "
      "flags) as group and item lists");
  ud->require_subcommand(1);
  a->group = ud->add_subcommand("group", "the group lines of chosen fields");
  a->group->add_option("DIR", a->dir, "data directory")->required();
  a->group->add_option("--server", a->server,
                       "the machine serving the data set (its cache is read)");
  a->group
      ->add_option("--fields", a->fields,
                   "bases.cost,cnts.cost,cnts.spec_w,cans.h_min,cans.h_max,"
                   "cans.zero_flag,cans.flags")
      ->required();
  a->items = ud->add_subcommand("items", "the item lines of a data set");
  a->items->add_option("GROUPFILE", a->group_file, "group lines")->required();
  a->items->add_option("DIR", a->dir, "data directory")->required();
  a->items->add_option("--server", a->server, "the machine serving it");
  a->delta =
      ud->add_subcommand("delta", "the item lines of NEW that OLD lacks");
  a->delta->add_option("NEW", a->new_file, "new item lines")->required();
  a->delta->add_option("OLD", a->old_file, "old item lines")->required();
  a->apply = ud->add_subcommand("apply", "write item lines into a data set");
  a->apply->add_option("GROUPFILE", a->group_file, "group lines")->required();
  a->apply->add_option("ITEMSFILE", a->items_file, "item lines")->required();
  a->apply->add_option("DIR", a->dir, "data directory")->required();
  a->apply->add_option("--server", a->server, "the machine serving it");
  return ud;
}

int RunUserDataCommand(const UserDataArgs& a, std::ostream& out,
                       std::ostream& err) {
  if (a.group && a.group->parsed()) return Group(a, out, err);
  if (a.items && a.items->parsed()) return Items(a, out, err);
  if (a.delta && a.delta->parsed()) return Delta(a, out, err);
  if (a.apply && a.apply->parsed()) return Apply(a, out, err);
  return -1;
}

}  // namespace mixtool
