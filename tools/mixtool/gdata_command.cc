// mixtool gdata.

#include "gdata_command.h"

#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "platform/codepage.h"
#include "platform/env.h"

namespace mixtool {

namespace {

// One directory the scan reaches, and the tables it yielded there.
struct Place {
  int phase = 0;
  int32_t prd = 0, spd = 0;
  uint8_t level = 0;
  std::string dir;
  std::vector<std::pair<int, int32_t>> tables;  // table, record count
};

struct Listing {
  CMixtable* ts;
  std::vector<Place> places;
};

int Collect(Wdbase* db, void* ctx, int phase, int table, int32_t prd,
            int32_t spd) {
  Listing* l = static_cast<Listing*>(ctx);
  const std::string dir = db->GetPath();
  if (l->places.empty() || l->places.back().phase != phase ||
      l->places.back().prd != prd || l->places.back().spd != spd ||
      l->places.back().dir != dir) {
    Place p;
    p.phase = phase;
    p.prd = prd;
    p.spd = spd;
    p.level = l->ts->GetCurLevel(db);
    p.dir = dir;
    l->places.push_back(p);
  }
  l->places.back().tables.emplace_back(table, db->RecCount());
  return 1;
}

std::string Lower(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Every directory of a level the scan visits, with its level (whether or
// not a table opened there).
std::vector<std::pair<uint8_t, std::string>> LevelDirs(const std::string& dir) {
  std::vector<std::pair<uint8_t, std::string>> dirs;
  std::set<std::string> seen;
  auto add = [&](uint8_t level, const std::string& d) {
    if (!d.empty() && seen.insert(Lower(d)).second) dirs.emplace_back(level, d);
  };
  CMixtableEx ts;
  ts.SetDataDir(dir.c_str());
  CMixtable& m = ts.Mixtable();
  std::string d;
  if (m.LevelToPath(Y_LEVEL_BASE, d)) add(Y_LEVEL_BASE, d);
  Wdbase* prd = ts.Handle(Y_PRODUCTS);
  Wdbase* spd = ts.Handle(Y_SUBPRODS);
  if (ts.Open(prd)) {
    for (prd->Top(); !prd->Eof(); prd->Next()) {
      if (m.LevelToPath(Y_LEVEL_PRODUCT, d)) add(Y_LEVEL_PRODUCT, d);
      if (spd->IsOpen(0)) spd->Close();
      if (!ts.Open(spd)) continue;
      for (spd->Top(); !spd->Eof(); spd->Next())
        if (m.LevelToPath(Y_LEVEL_SUBPRODUCT, d)) add(Y_LEVEL_SUBPRODUCT, d);
    }
  }
  ts.CloseAll();
  if (m.LevelToPath(Y_LEVEL_LOCAL, d)) add(Y_LEVEL_LOCAL, d);
  return dirs;
}

std::string EngineError() {
  std::string s =
      std::to_string(Wdbase::LastErrorCode()) + " " + Wdbase::LastErrorText();
  for (int i = 0; i < 3; ++i) {
    const char* detail = Wdbase::LastErrorDetail(i);
    if (*detail) s += std::string(" ") + detail;
  }
  return s;
}

const char* LevelName(uint8_t level) {
  switch (level) {
    case Y_LEVEL_BASE:
      return "root";
    case Y_LEVEL_PRODUCT:
      return "product";
    case Y_LEVEL_SUBPRODUCT:
      return "sub-product";
    default:
      return "local";
  }
}

}  // namespace

int Gdata(const std::string& dir, std::ostream& out, std::ostream& err) {
  platform::Env* env = platform::Env::Current();
  platform::FileInfo info;
  if (dir.empty() || !env->GetFileInfo(dir, &info).ok() || !info.is_dir) {
    err << "mixtool: no directory " << dir << "\n";
    return 1;
  }
  CMixtableEx ts;
  ts.SetDataDir(dir.c_str());
  Listing listing{&ts.Mixtable(), {}};
  ts.Scan(Collect, &listing, 0);

  out << "data set " << ts.GetDataDir() << "\n";
  std::set<std::pair<std::string, int>> opened;  // directory, table
  for (const Place& p : listing.places) {
    out << "phase " << p.phase;
    if (p.phase == 2 || p.phase == 3) out << ", product " << p.prd;
    if (p.phase == 3) out << ", sub-product " << p.spd;
    if (p.phase == 1 || p.phase == 4) out << ", " << LevelName(p.level);
    out << ": " << p.dir << "\n";
    for (const auto& [table, count] : p.tables) {
      char line[64];
      std::snprintf(line, sizeof line, "  %-10s %8ld record%s\n",
                    WyGetFileInfo(table)->def.name, static_cast<long>(count),
                    count == 1 ? "" : "s");
      out << line;
      opened.emplace(Lower(p.dir), table);
    }
  }

  // Table files the scan passed over: they exist but do not open.
  int failures = 0;
  for (const auto& [level, d] : LevelDirs(ts.GetDataDir())) {
    for (int t = 0; t < Y_N_MAX; ++t) {
      const YTABLE* row = WyGetFileInfo(t);
      if (!(row->level_mask & level)) continue;
      Wdbase probe;
      probe.SetFiles(&row->def);
      probe.SetPath(d.c_str());
      if (!probe.Access(0) || opened.count({Lower(probe.GetPath()), t}))
        continue;
      std::string why;
      if (probe.Open()) {
        why = t == Y_FRM_REFL ? "not beside the FRM.DBF in use"
                              : std::string("opens alone but not at the ") +
                                    LevelName(level) + " level";
        probe.Close();
      } else {
        why = EngineError();
      }
      if (failures++ == 0) out << "tables that do not open:\n";
      out << "  " << probe.GetPath() << probe.GetName(0) << ": " << why << "\n";
    }
  }
  if (failures > 0) {
    err << "mixtool: " << failures
        << (failures == 1 ? " table does" : " tables do") << " not open\n";
    return 1;
  }
  return 0;
}

}  // namespace mixtool
