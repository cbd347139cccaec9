// mixtool convert, param and signature.

#include "maintenance_commands.h"

#include <CLI/CLI.hpp>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "mixtable/wy_util.h"
#include "platform/env.h"

namespace mixtool {
namespace {

std::string Upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The registry's file base name of a table ("CNT_BLND").
std::string BaseName(int table) {
  std::string n = Upper(WyGetFileInfo(table)->def.name);
  const size_t dot = n.find('.');
  return dot == std::string::npos ? n : n.substr(0, dot);
}

bool IsDir(const std::string& dir) {
  platform::FileInfo info;
  return !dir.empty() &&
         platform::Env::Current()->GetFileInfo(dir, &info).ok() && info.is_dir;
}

struct Run {
  CMixtableEx* ts;
  const ConvertArgs* args;
  std::ostream* out;
  int failed = 0;
  std::set<std::string> done;  // directory + table, each converted once
};

// Converts the tables of one level whose file lies in that level's
// directory, then reindexes the converted ones.
void ConvertLevel(Run& run, uint8_t level) {
  CMixtableEx& ts = *run.ts;
  std::string dir;
  if (!ts.Mixtable().LevelToPath(level, dir)) return;
  for (int t = 0; t < Y_N_MAX; ++t) {
    Wdbase* db = ts.Handle(t);
    const uint8_t mask = ts.GetLevelMask(db);
    // Tables of the machine's local directory are not the data set's.
    if (!(mask & level) || (mask & Y_LEVEL_LOCAL)) continue;
    const std::string name = BaseName(t);
    if (!run.args->table.empty() && Upper(run.args->table) != name) continue;
    if (!platform::Env::Current()->FileExists(dir + name + ".dbf")) continue;
    if (!run.done.insert(Upper(dir) + "|" + name).second) continue;
    std::vector<std::string> log;
    const int16_t r =
        ts.Convert(t, nullptr, log, run.args->exactWidths, run.args->options);
    const char* what = r < 0                      ? "FAILED"
                       : r == 0                   ? "unchanged"
                       : run.args->options.dryRun ? "would be converted"
                                                  : "converted";
    *run.out << name << " " << dir << ": " << what << "\n";
    for (const std::string& line : log) *run.out << "  " << line << "\n";
    if (r < 0) ++run.failed;
    if (r == 1 && !run.args->options.dryRun) {
      // Open builds the missing index files; a rebuild makes sure of all.
      uint32_t state = 0;
      if (!ts.TmpOpen(db, &state) || !db->RebuildIdx()) {
        *run.out << "  (reindexing failed)\n";
        ++run.failed;
      }
      ts.TmpClose(db, &state);
    }
  }
}

}  // namespace

int Convert(const std::string& dir, const ConvertArgs& args, std::ostream& out,
            std::ostream& err) {
  if (!IsDir(dir)) {
    err << "mixtool: no directory " << dir << "\n";
    return 1;
  }
  if (!args.table.empty()) {
    bool known = false;
    for (int t = 0; t < Y_N_MAX; ++t) known |= BaseName(t) == Upper(args.table);
    if (!known) {
      err << "mixtool: no table " << args.table << " in the registry\n";
      return 1;
    }
  }
  CMixtableEx ts;
  ts.SetDataDir(dir.c_str());
  Run run{&ts, &args, &out, 0, {}};
  ConvertLevel(run, Y_LEVEL_BASE);
  Wdbase* prd = ts.Handle(Y_PRODUCTS);
  Wdbase* spd = ts.Handle(Y_SUBPRODS);
  if (ts.Open(prd)) {
    prd->SelectIdx(0);
    for (int p = prd->Top(); p; p = prd->Next()) {
      if (prd->Deleted()) continue;
      const int32_t at = prd->RecNo();
      ConvertLevel(run, Y_LEVEL_PRODUCT);
      if (ts.Open(spd)) {
        spd->SelectIdx(0);
        for (int s = spd->Top(); s; s = spd->Next())
          if (!spd->Deleted()) ConvertLevel(run, Y_LEVEL_SUBPRODUCT);
      }
      ts.CloseAll(Y_LEVEL_PRODUCT | Y_LEVEL_SUBPRODUCT);
      prd->Goto(at);
    }
  }
  ts.CloseAll();
  if (run.failed > 0) {
    err << "mixtool: " << run.failed << " tables failed\n";
    return 1;
  }
  return 0;
}

int Param(const std::string& dir, const std::string& key,
          const std::string& set, const std::string& comment, std::ostream& out,
          std::ostream& err) {
  if (!IsDir(dir)) {
    err << "mixtool: no directory " << dir << "\n";
    return 1;
  }
  CMixtableEx ts;
  ts.SetDataDir(dir.c_str());
  if (!set.empty()) {
    const size_t eq = set.find('=');
    if (eq == std::string::npos || eq == 0) {
      err << "mixtool: --set wants KEY=VALUE\n";
      return 2;
    }
    const std::string k = set.substr(0, eq);
    if (!ts.SetParam(k.c_str(), set.substr(eq + 1).c_str(), comment.c_str())) {
      err << "mixtool: cannot write " << k
          << " (no PARAM table, or a key or value too long)\n";
      return 1;
    }
  }
  auto line = [&](const std::string& k, const std::string& v,
                  const std::string& c) {
    out << k << " = " << v;
    if (!c.empty()) out << "  # " << c;
    out << "\n";
  };
  if (!key.empty()) {
    std::string v, c;
    if (!ts.GetParam(key.c_str(), v, c)) {
      err << "mixtool: no key " << key << " in PARAM\n";
      return 1;
    }
    line(key, v, c);
    return 0;
  }
  Wdbase* db = ts.Handle(Y_PARAM);
  uint32_t state = 0;
  if (!ts.TmpOpen(db, &state)) {
    err << "mixtool: PARAM does not open in " << dir << "\n";
    return 1;
  }
  db->SelectIdx(1);
  for (int more = db->Top(); more; more = db->Next()) {
    if (db->Deleted()) continue;
    char k[256], v[1024], c[1024];
    db->ReadString("KEY", k, sizeof k, 1, 1);
    db->ReadString("VALUE", v, sizeof v, 1, 1);
    db->ReadString("COMMENT", c, sizeof c, 1, 1);
    line(k, v, c);
  }
  ts.TmpClose(db, &state);
  return 0;
}

int Signature(const std::string& dir, std::ostream& out, std::ostream& err) {
  out << "signature: " << CMixtableEx::GetSignature() << "\n";
  if (dir.empty()) return 0;
  if (!IsDir(dir)) {
    err << "mixtool: no directory " << dir << "\n";
    return 1;
  }
  CMixtableEx ts;
  ts.SetDataDir(dir.c_str());
  std::string value, comment, last, current;
  if (ts.GetParamLastCheck(value, comment)) {
    out << "last check: " << (comment.empty() ? "(empty)" : comment) << "\n";
  } else {
    out << "last check: none\n";
  }
  out << "advanced check due: "
      << (ts.NeedsAdvancedCheck(last, current) ? "yes" : "no") << "\n";
  return 0;
}

void AddMaintenanceCommands(CLI::App& app, MaintenanceCommands* c) {
  c->convert = app.add_subcommand(
      "convert", "bring the data set's tables to the dictionary's structure");
  c->convert->add_option("dir", c->dir, "the data directory")->required();
  c->convert->add_option("--table", c->convert_args.table,
                         "only this table (file base name)");
  c->convert->add_flag("--exact-widths", c->convert_args.exactWidths,
                       "narrow fields wider than the dictionary's");
  c->convert->add_flag("--dry-run", c->convert_args.options.dryRun,
                       "decide and log, write nothing");
  c->convert->add_flag("--remove-extra-fields",
                       c->convert_args.options.removeExtraFields,
                       "leave out the fields the dictionary does not name");
  c->convert->add_flag("--allow-loss", c->convert_args.options.allowLoss,
                       "convert even where a value does not survive");
  c->param = app.add_subcommand("param", "the data set's PARAM table");
  c->param->add_option("dir", c->dir, "the data directory")->required();
  c->param->add_option("key", c->key, "only this key");
  c->param->add_option("--set", c->set, "write KEY=VALUE first");
  c->param->add_option("--comment", c->comment, "COMMENT written with --set");
  c->signature = app.add_subcommand(
      "signature",
      "our signature; with a data directory its last check and whether an "
      "advanced check is due");
  c->signature->add_option("dir", c->dir, "the data directory");
}

int RunMaintenanceCommands(const MaintenanceCommands& c, std::ostream& out,
                           std::ostream& err) {
  if (c.convert && c.convert->parsed())
    return Convert(c.dir, c.convert_args, out, err);
  if (c.param && c.param->parsed())
    return Param(c.dir, c.key, c.set, c.comment, out, err);
  if (c.signature && c.signature->parsed()) return Signature(c.dir, out, err);
  return -1;
}

}  // namespace mixtool
