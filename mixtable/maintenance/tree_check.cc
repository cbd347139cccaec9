// Wy_GDataTreeCheck: orphan directories pruned, product and sub-product
// directories created, stray files cleaned.

#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "access/data_dirs.h"
#include "access/level_path.h"
#include "maintenance/level_tree.h"
#include "maintenance/repair_progress.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_fvers_descr.h"
#include "mixtable/wy_repairs.h"
#include "mixtable/wy_util.h"
#include "mixtable/ytable.h"
#include "platform/env.h"

namespace mixtable::repairs {
namespace {

constexpr const char* kCustomDir = "CUSTOM";

platform::Env* E() { return platform::Env::Current(); }

std::string Upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Lower(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trimmed(const std::string& s) {
  std::string buf = s;
  buf.push_back('\0');
  Wy_StringTrim(buf.data(), " \t\r\n");
  return buf.c_str();
}

// The data set's description: FVERS.DAT's line without its version, in
// the ANSI code page.
std::string DataSetDescr(const std::string& dir) {
  CMixtableEx ts;
  ts.SetDataDir(dir.c_str());
  Wy_FVersDescr line;
  line.Init(ts.GetGdataDescr().c_str());
  std::string descr;
  return line.GetPureDescr(descr);
}

// The host path of a Windows-style directory, without a trailing separator
// ("/" on Linux, "\\" on Windows, where host paths keep drive letters).
std::string Host(const std::string& dir) {
  std::string h;
  if (!E()->HostPath(dir, &h).ok()) return std::string();
  while (h.size() > 1 && (h.back() == '/' || h.back() == '\\')) h.pop_back();
  return h;
}

// Whether host directory f is h or lies below it. Case is ignored: Windows
// names are case-blind, and on Linux protecting a directory named like a
// fixed one in another case errs on the safe side.
bool AtOrBelow(const std::string& f, const std::string& h) {
  if (f.size() < h.size() || !SameNoCase(f.substr(0, h.size()), h))
    return false;
  return f.size() == h.size() || f[h.size()] == '/' || f[h.size()] == '\\';
}

// The machine's fixed directories, which a prune must never reach.
std::vector<std::string> FixedHostDirs() {
  std::vector<std::string> dirs;
  auto env_or = [](const char* name, const char* fallback) {
    std::string v;
    if (!E()->GetEnv(name, &v) || Trimmed(v).empty())
      return std::string(fallback);
    return Trimmed(v);
  };
  for (const std::string& d :
       {env_or("LOCALDIR", "c:\\local\\"),
        env_or("CACHEDIR", "c:\\wuser\\DBFCache\\"),
        std::string("C:\\GCSpaces\\"), DefaultDataDir()}) {
    const std::string h = Host(d);
    if (!h.empty()) dirs.push_back(h);
  }
  return dirs;
}

class TreeCheck {
 public:
  TreeCheck(const std::string& dir, const void* window, bool act)
      : dir_(dir), window_(window), act_(act), fixed_(FixedHostDirs()) {}

  int Run(bool prune, bool clean);

 private:
  void Report(const std::string& text, bool changed) {
    const std::string t = changed && act_ ? text + " *" : text;
    SendProgress(window_, kProgressText, kProgressShowText, t.c_str());
  }
  // Whether the sub-directory name of parent must never be pruned.
  bool Protected(const std::string& parent, const platform::DirEntry& e);
  // Prunes every sub-directory of parent whose name none of names holds.
  bool PruneUnnamed(const std::string& parent,
                    const std::vector<std::string>& names);
  bool Prune();
  bool MakeDirs();
  bool Clean();
  bool CleanDir(const std::string& dir, bool root);

  std::string dir_;
  const void* window_;
  bool act_;
  std::vector<std::string> fixed_;
  LevelTree tree_;
};

bool TreeCheck::Protected(const std::string& parent,
                          const platform::DirEntry& e) {
  if (e.info.is_link || !e.info.is_dir) return true;
  if (SameNoCase(e.name, kCustomDir) || Wy_IsMaintenanceName(e.name))
    return true;
  const std::string path = parent + e.name + "\\";
  if (FileInDir(path, "PARAM") || FileInDir(path, "CNTS")) return true;
  const std::string h = Host(path);
  if (h.empty()) return true;
  for (const std::string& f : fixed_)
    if (AtOrBelow(f, h)) return true;
  return false;
}

bool TreeCheck::PruneUnnamed(const std::string& parent,
                             const std::vector<std::string>& names) {
  std::vector<platform::DirEntry> entries;
  if (!E()->ListDir(parent, "*", &entries).ok()) return false;
  for (const platform::DirEntry& e : entries) {
    if (!e.info.is_dir && !e.info.is_link) continue;
    bool named = false;
    for (const std::string& n : names) named = named || SameNoCase(n, e.name);
    if (named || Protected(parent, e)) continue;
    const std::string path = parent + e.name;
    if (act_) {
      Wy_PruneDir(path);
      if (E()->FileExists(path)) {
        Wy_Trace("Tree check: %s could not be removed\n", path.c_str());
        return false;
      }
    }
    Report(path, true);
  }
  return true;
}

bool TreeCheck::Prune() {
  if (tree_.products != TableRead::kOk) {
    Wy_Trace("Tree check: PRODUCTS not read to its end, nothing pruned\n");
    return true;
  }
  std::vector<std::string> names;
  for (const ProductLevel& p : tree_.prds) names.push_back(p.path);
  if (!PruneUnnamed(dir_, names)) return false;
  std::vector<std::string> done;
  for (const ProductLevel& p : tree_.prds) {
    if (p.dir.empty() || p.subprods != TableRead::kOk) continue;
    bool dup = false;
    for (const std::string& d : done) dup = dup || SameNoCase(d, p.dir);
    if (dup) continue;
    done.push_back(p.dir);
    platform::FileInfo info;
    if (!E()->GetFileInfo(p.dir, &info).ok() || !info.is_dir) continue;
    std::vector<std::string> subs;
    for (const SubLevel& s : p.subs) subs.push_back(s.path);
    if (!PruneUnnamed(p.dir, subs)) return false;
  }
  return true;
}

// Whether dir names an existing directory.
bool IsDir(const std::string& dir) {
  platform::FileInfo info;
  return E()->GetFileInfo(dir, &info).ok() && info.is_dir;
}

bool TreeCheck::MakeDirs() {
  const std::string descr = DataSetDescr(dir_);
  const int64_t n = static_cast<int64_t>(tree_.prds.size());
  for (int64_t i = 0; i < n; ++i) {
    const ProductLevel& p = tree_.prds[static_cast<size_t>(i)];
    bool exists = !p.dir.empty() && IsDir(p.dir);
    if (!p.dir.empty() && !exists && act_) {
      if (!Wy_MkDir(p.dir)) {
        Wy_Trace("Tree check: %s could not be created\n", p.dir.c_str());
        return false;
      }
      exists = true;
      Report(p.descr, true);
    } else {
      Report(p.descr, false);
    }
    if (exists) {
      for (const SubLevel& s : p.subs) {
        const std::string text = p.descr + " : " + s.descr;
        if (!s.dir.empty() && !IsDir(s.dir) && act_) {
          if (!Wy_MkDir(s.dir)) {
            Wy_Trace("Tree check: %s could not be created\n", s.dir.c_str());
            return false;
          }
          Report(text, true);
        } else {
          Report(text, false);
        }
      }
    }
    SendProgress(window_, kProgressOverall, Percent(i + 1, n), descr.c_str());
  }
  return true;
}

// Whether a file of a data-set directory is kept by the cleaning.
bool Allowed(const std::string& dir, const std::string& name, bool root) {
  const std::string up = Upper(name);
  if (root && (up == kFVersFileName || Wy_IsMaintenanceName(name))) return true;
  const size_t dot = up.rfind('.');
  const std::string base = up.substr(0, dot);
  const std::string ext = dot == std::string::npos ? "" : up.substr(dot);
  if (base == "TANKS" || base == "DISPS") return true;
  if (ext != ".DBF" && ext != ".DBT") return false;
  for (int t = 0; t < Y_N_MAX; ++t) {
    if (base != Upper(WyGetFileInfo(t)->def.name)) continue;
    return ext == ".DBF" || FileInDir(dir, WyGetFileInfo(t)->def.name);
  }
  return false;
}

bool TreeCheck::CleanDir(const std::string& dir, bool root) {
  std::vector<platform::DirEntry> entries;
  if (!E()->ListDir(dir, "*", &entries).ok()) return false;
  for (const platform::DirEntry& e : entries) {
    if (e.info.is_dir || e.info.is_link) continue;
    const std::string path = dir + e.name;
    const bool stray = !Allowed(dir, e.name, root);
    if (stray && act_) {
      E()->SetAttributes(path, platform::kAttrNormal);
      if (!E()->DeleteFile(path).ok()) {
        Wy_Trace("Tree check: %s could not be deleted\n", path.c_str());
        return false;
      }
    }
    Report(Lower(path), stray);
  }
  return true;
}

bool TreeCheck::Clean() {
  std::vector<std::string> dirs{dir_};
  auto add = [&dirs](const std::string& d) {
    if (d.empty() || !IsDir(d)) return;
    for (const std::string& o : dirs)
      if (SameNoCase(o, d)) return;
    dirs.push_back(d);
  };
  for (const ProductLevel& p : tree_.prds) {
    add(p.dir);
    for (const SubLevel& s : p.subs) add(s.dir);
  }
  for (size_t i = 0; i < dirs.size(); ++i)
    if (!CleanDir(dirs[i], i == 0)) return false;
  return true;
}

int TreeCheck::Run(bool prune, bool clean) {
  if (Wy_GetGDataType(dir_.c_str(), true) < YTABLE_GDATATYPE_PARAM)
    return kWyTreeCheckNotGData;
  SendProgress(window_, kProgressTable, 25, nullptr);
  tree_ = LoadLevelTree(dir_);
  if (prune && !Prune()) return kWyTreeCheckPruneFailed;
  SendProgress(window_, kProgressText, kProgressShowText, "");
  SendProgress(window_, kProgressTable, 50, nullptr);
  if (!MakeDirs()) return kWyTreeCheckDirsFailed;
  SendProgress(window_, kProgressText, kProgressShowText, "");
  SendProgress(window_, kProgressTable, 75, nullptr);
  if (clean) {
    if (!Clean()) return kWyTreeCheckCleanFailed;
    SendProgress(window_, kProgressTable, 99, nullptr);
  }
  return kWyTreeCheckOk;
}

}  // namespace
}  // namespace mixtable::repairs

namespace {

std::string DataDir(const char* dir) {
  std::string d = mixtable::repairs::Trimmed(dir ? dir : "");
  if (d.empty()) d = mixtable::DefaultDataDir();
  Wy_AddTrailingBackslash(d);
  return d;
}

// Runs the check with its opening and closing notifications.
int CheckWithProgress(const std::string& d, const void* window, bool act,
                      bool prune_dirs, bool clean_files) {
  using namespace mixtable::repairs;
  SendProgress(window, kProgressOverall, 0, nullptr);
  SendProgress(window, kProgressTable, 100, nullptr);
  SendProgress(window, kProgressText, kProgressReset, nullptr);
  TreeCheck check(d, window, act);
  const int result = check.Run(prune_dirs, clean_files);
  SendProgress(window, kProgressOverall, 100, nullptr);
  SendProgress(window, kProgressTable, 100, nullptr);
  SendProgress(window, kProgressText, kProgressReset, nullptr);
  return result;
}

}  // namespace

int Wy_GDataTreeCheck(const char* dir, const void* window, bool act,
                      bool prune_dirs, bool clean_files) {
  const std::string d = DataDir(dir);
  if (!act) return CheckWithProgress(d, window, false, prune_dirs, clean_files);
  // A directory that is no data set is answered before any lock file is
  // made in it.
  if (Wy_GetGDataType(d.c_str(), true) < YTABLE_GDATATYPE_PARAM)
    return CheckWithProgress(d, window, true, prune_dirs, clean_files);
  // Cleaning deletes index files: not while a table is open anywhere.
  Wy_MaintenanceGuard guard(d);
  const int begun = guard.Begin(clean_files);
  if (begun != 1) {
    Wy_Trace("Tree check: %s (%d)\n", guard.error().c_str(), begun);
    return begun;
  }
  // Inside another run of this process (the upgrade) the guard joins it.
  const int result =
      CheckWithProgress(d, window, true, prune_dirs, clean_files);
  guard.Complete();
  return result;
}
