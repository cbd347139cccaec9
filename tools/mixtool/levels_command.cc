// mixtool levels.

#include "levels_command.h"

#include <cstdio>

#include "mixtable/hdsp_levels.h"
#include "mixtable/hformula.h"
#include "platform/env.h"

namespace mixtool {

CLI::App* AddLevelsCommand(CLI::App& app, std::string* file) {
  CLI::App* c = app.add_subcommand(
      "levels", "the dispenser levels of a formula text file");
  c->add_option("file", *file, "formula text file")->required();
  return c;
}

int Levels(const std::string& file, std::ostream& out, std::ostream& err) {
  std::string host;
  if (file.empty() || !platform::Env::Current()->HostPath(file, &host).ok()) {
    err << "mixtool: no file " << file << "\n";
    return 1;
  }
  FILE* f = std::fopen(host.c_str(), "rb");
  if (f == nullptr) {
    err << "mixtool: cannot read " << file << "\n";
    return 1;
  }
  HFormula formula;
  const int read = formula.TxtRead(f);
  std::fclose(f);
  if (!read) {
    err << "mixtool: " << file << " holds no formula\n";
    return 1;
  }
  HDspLevels levels;
  levels.LoadLevels(&formula);
  out << "entries " << levels.GetCount() << "\n";
  for (int k = 0; k < levels.GetCount(); ++k) {
    const HDspLevels::DspLevelInfo* e = levels[k];
    out << "entry " << k << " slave " << e->m_Slave << " canisters "
        << e->m_NCanisters << "\n";
    for (int i = 0; i < e->m_NCanisters; ++i) {
      char line[96];
      std::snprintf(line, sizeof line, "  circuit %d level %.15g\n",
                    e->m_Circuit[i], e->m_Level[i]);
      out << line;
    }
  }
  return 0;
}

}  // namespace mixtool
