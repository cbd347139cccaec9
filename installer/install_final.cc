// The steps after a successful setup run: the checks of the installed tree
// against the table registry, the rebuild of every index, the clean-ups and
// the catalogue dump.

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "install_internal.h"
#include "installer/install_engine.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_util.h"
#include "mixtable/ytable.h"
#include "platform/env.h"
#include "platform/hooks.h"
#include "xbase32/wdbase.h"

using installer_internal::LocalDir;
using installer_internal::PlainName;
using installer_internal::SameText;

namespace {

platform::Env* E() { return platform::Env::Current(); }

std::string Upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Join(const std::string& dir, const std::string& name) {
  std::string d = dir;
  char sep = (!d.empty() && d[0] == '/') ? '/' : '\\';
  if (!d.empty() && d.back() != '\\' && d.back() != '/') d += sep;
  return d + name;
}

// The working directory of the installation with a trailing separator.
std::string DataDir(const InstallContext& ctx) {
  std::string dir = WorkingDir(ctx.path);
  return Join(dir, "");
}

// A PATH value that names a directory inside its parent.
bool UsableName(const std::string& name) {
  return !name.empty() && name.find("..") == std::string::npos &&
         name.find_first_of("\\/:") == std::string::npos;
}

// Whether p is a real directory (a link is not).
bool IsDir(const std::string& p) {
  platform::FileInfo info;
  return E()->GetFileInfo(p, &info).ok() && info.is_dir && !info.is_link;
}

// The trimmed PATH values of the live records of table name in dir (empty
// when the table is missing or does not open).
std::vector<std::string> PathsOf(const std::string& dir, const char* name) {
  std::vector<std::string> out;
  Wdbase db;
  if (!db.SetFiles(dir.c_str(), name, 0, nullptr, nullptr) || !db.Access(0) ||
      !db.Open())
    return out;
  for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next()) {
    if (db.Deleted()) continue;
    out.push_back(installer_internal::Trim(db.Read("PATH", 1, 1)));
  }
  db.Close();
  return out;
}

// SUBPRODS of a product: in the product directory, else at the root.
std::vector<std::string> SubPaths(const std::string& root,
                                  const std::string& product_dir) {
  if (E()->FileExists(Join(product_dir, "SUBPRODS.DBF")))
    return PathsOf(product_dir, "SUBPRODS");
  return PathsOf(root, "SUBPRODS");
}

bool Listed(const std::vector<std::string>& names, const std::string& name) {
  for (const std::string& n : names)
    if (UsableName(n) && SameText(n, name.c_str())) return true;
  return false;
}

std::vector<platform::DirEntry> Dirs(const std::string& dir) {
  std::vector<platform::DirEntry> entries, out;
  E()->ListDir(dir, "*", &entries);
  for (platform::DirEntry& e : entries)
    if ((e.info.is_dir || e.info.is_link) && PlainName(e.name))
      out.push_back(e);
  return out;
}

// Base name (upper case, without extension) of a registry file name.
std::string BaseName(const char* name) {
  std::string s = name ? name : "";
  Wy_GetFilePathName(s);
  return Upper(s);
}

bool Belongs(const std::string& dir, const std::string& file, uint8_t level) {
  std::string name = Upper(file);
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return false;
  std::string base = name.substr(0, dot), ext = name.substr(dot);
  if (base == "TANKS" || base == "DISPS") return true;
  if (level == Y_LEVEL_BASE && name == "FVERS.DAT") return true;
  if (name.size() > 12 || base.size() > 8) return false;
  for (int t = 0; t < Y_N_MAX; ++t) {
    const YTABLE* row = WyGetFileInfo(t);
    if (!row || !(row->level_mask & level)) continue;
    std::string data = BaseName(row->def.name);
    if (ext == ".DBF" || ext == ".DBT") {
      if (base == data) return true;
    } else if (ext == ".NTX") {
      for (int i = 0; i < row->def.idx_count; ++i) {
        if (BaseName(row->def.idx_names[i]) == base &&
            E()->FileExists(Join(dir, data + ".DBF")))
          return true;
      }
    }
  }
  return false;
}

void CheckLevel(const std::string& dir, uint8_t level) {
  std::vector<platform::DirEntry> entries;
  if (!E()->ListDir(dir, "*", &entries).ok()) return;
  for (const platform::DirEntry& e : entries) {
    if (e.info.is_dir || e.info.is_link || !PlainName(e.name)) continue;
    if (Belongs(dir, e.name, level)) continue;
    std::string p = Join(dir, e.name);
    E()->SetAttributes(p, platform::kAttrNormal);
    E()->DeleteFile(p);
  }
}

// Progress of the rebuild: the overall notification at the start, one step
// per table (its path; the count is not known ahead), the reset at the end.

struct ReindexCtx {
  const InstallContext* ctx;
  std::vector<std::string> visited;  // host paths, upper case
};

std::string HostKey(const std::string& path) {
  std::string host;
  if (!E()->HostPath(path, &host).ok()) host = path;
  return Upper(host);
}

int ReindexLine(Wdbase* db, void* user, int rebuilt) {
  auto* r = static_cast<ReindexCtx*>(user);
  std::string table = std::string(db->GetPath()) + db->GetName(0);
  r->ctx->Line("Reindex: " + table);
  r->visited.push_back(HostKey(table));
  platform::Progress(platform::kProgressWindow, platform::kProgressStep, 100,
                     table.c_str());
  if (!rebuilt) r->ctx->Line("Reindex failed: " + table);
  return 1;
}

// The walk of the table set passes over table files that do not open; each
// registered table file of the checked directories that the walk did not
// visit is reported as a failed rebuild. Answers the number reported.
int ReportUnvisited(const std::string& root, ReindexCtx& r) {
  std::vector<std::pair<std::string, uint8_t>> dirs = {{root, Y_LEVEL_BASE}};
  for (const std::string& prd : PathsOf(root, "PRODUCTS")) {
    std::string pd = Join(root, prd);
    if (!UsableName(prd) || !IsDir(pd)) continue;
    dirs.push_back({pd, Y_LEVEL_PRODUCT});
    for (const std::string& sub : SubPaths(root, pd)) {
      std::string sd = Join(pd, sub);
      if (UsableName(sub) && IsDir(sd))
        dirs.push_back({sd, Y_LEVEL_SUBPRODUCT});
    }
  }
  int failed = 0;
  std::vector<std::string> reported;
  for (const auto& [dir, level] : dirs) {
    for (int t = 0; t < Y_N_MAX; ++t) {
      const YTABLE* row = WyGetFileInfo(t);
      if (!row || !(row->level_mask & level)) continue;
      std::string file = Join(dir, BaseName(row->def.name) + ".DBF");
      if (!E()->FileExists(file)) continue;
      std::string key = HostKey(file);
      bool seen = false;
      for (const std::string& v : r.visited) seen = seen || v == key;
      for (const std::string& v : reported) seen = seen || v == key;
      if (seen) continue;
      reported.push_back(key);
      r.ctx->Line("Reindex failed: " + file);
      ++failed;
    }
  }
  return failed;
}

}  // namespace

void TreeOldCheck(const std::string& dir) {
  std::vector<std::string> products = PathsOf(dir, "PRODUCTS");
  for (const platform::DirEntry& d : Dirs(dir)) {
    std::string pd = Join(dir, d.name);
    if (SameText(d.name, "CUSTOM")) continue;
    if (!Listed(products, d.name)) {
      E()->DeleteTree(pd);
      continue;
    }
    if (d.info.is_link) continue;
    std::vector<std::string> subs = SubPaths(dir, pd);
    for (const platform::DirEntry& s : Dirs(pd)) {
      std::string sd = Join(pd, s.name);
      if (SameText(s.name, "CUSTOM")) continue;
      if (!Listed(subs, s.name)) {
        E()->DeleteTree(sd);
        continue;
      }
      if (s.info.is_link) continue;
      for (const platform::DirEntry& x : Dirs(sd))
        E()->DeleteTree(Join(sd, x.name));
    }
  }
}

void AliensFileCheck(const std::string& dir) {
  std::vector<std::string> done;
  for (const std::string& prd : PathsOf(dir, "PRODUCTS")) {
    if (!UsableName(prd) || Listed(done, prd)) continue;
    done.push_back(prd);
    std::string pd = Join(dir, prd);
    if (!IsDir(pd)) continue;
    std::vector<std::string> subs_done;
    for (const std::string& sub : SubPaths(dir, pd)) {
      if (!UsableName(sub) || Listed(subs_done, sub)) continue;
      subs_done.push_back(sub);
      std::string sd = Join(pd, sub);
      if (IsDir(sd)) CheckLevel(sd, Y_LEVEL_SUBPRODUCT);
    }
    CheckLevel(pd, Y_LEVEL_PRODUCT);
  }
  CheckLevel(dir, Y_LEVEL_BASE);
}

void NewPathCheck(const std::string& dir) {
  for (const std::string& prd : PathsOf(dir, "PRODUCTS")) {
    if (!UsableName(prd)) continue;
    std::string pd = Join(dir, prd);
    platform::FileInfo info;
    if (!E()->GetFileInfo(pd, &info).ok()) {
      E()->CreateDir(pd);
      continue;
    }
    if (!info.is_dir || info.is_link) continue;
    for (const std::string& sub : SubPaths(dir, pd)) {
      if (!UsableName(sub)) continue;
      std::string sd = Join(pd, sub);
      if (!E()->FileExists(sd)) E()->CreateDir(sd);
    }
  }
}

void CheckDatabase(const InstallContext& ctx) {
  std::string dir = DataDir(ctx);
  {
    CMixtableEx tables;
    tables.SetDataDir(dir.c_str());
    Wdbase* products = tables.Handle(Y_PRODUCTS);
    if (!tables.Open(products)) return;
    tables.CloseAll();
  }
  ctx.Line("Database Check...(Tree old check)");
  TreeOldCheck(dir);
  ctx.Line("Database Check...(Aliens file check)");
  AliensFileCheck(dir);
  ctx.Line("Database Check...(New path check)");
  NewPathCheck(dir);
}

void DumpCatalogue(const InstallContext& ctx) {
  Wdbase db;
  if (!Wy_SetDatactlDbHandle(&db) || !db.Open()) {
    ctx.Line("Could not open catalog");
    return;
  }
  ctx.Line("[catalog dump]");
  db.SelectIdx(0);
  for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next()) {
    if (db.Deleted()) continue;
    std::string id = db.Read("DATAID", 0, 1), path = db.Read("PATH", 0, 1),
                descr = db.Read("DESCR", 0, 1), disp = db.Read("DISP_ID", 0, 1);
    std::vector<char> line(id.size() + path.size() + descr.size() +
                           disp.size() + 64);
    std::snprintf(line.data(), line.size(),
                  "Id:%10s;Path: %-14s Descr:%-1s; DispId %1s", id.c_str(),
                  path.c_str(), descr.c_str(), disp.c_str());
    ctx.Line(line.data());
  }
  db.Close();
}

int FinalSteps(InstallContext& ctx) {
  std::string dir = DataDir(ctx);
  ctx.Line("Database Check...");
  CheckDatabase(ctx);
  ctx.Line("Installation Done.");
  ctx.Line("Rebuilding Indexes...");
  int rebuilt;
  {
    CMixtableEx tables;
    tables.SetDataDir(dir.c_str());
    tables.CloseAll();
    ReindexCtx r{&ctx, {}};
    platform::Progress(platform::kProgressWindow, platform::kProgressOverall, 0,
                       "Rebuilding Indexes...");
    rebuilt = tables.Mixtable().RebuildIdx(&ReindexLine, &r);
    platform::Progress(platform::kProgressWindow, platform::kProgressText,
                       platform::kProgressReset, nullptr);
    if (ReportUnvisited(dir, r) > 0) rebuilt = 0;
  }
  ctx.Line("Rebuilding Indexes Done");
  if (ctx.backup_made) {
    ctx.Line("Removing Backup Database");
    DeleteTree(kBackupDir);
    ctx.backup_made = 0;
  }
  if (rebuilt) {
    ctx.Line("Installation success!");
  } else {
    ctx.error =
        "Installation is not complete: some indexes could not be rebuilt";
  }
  DeleteNamedFiles(kUserTreeDir, "formula.dat");
  DumpCatalogue(ctx);
  ctx.Line("");
  ctx.Line("");
  if (!rebuilt) ctx.Line(ctx.error);
  E()->DeleteFile(LocalDir() + kCatalogueBackupName);
  DropLocalTablesBackup(ctx);
  platform::Beep();
  return rebuilt ? 1 : 0;
}
