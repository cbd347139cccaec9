// CMixtableEx: creation of a new data set and of a new data-set id.

#include <strings.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_fvers_descr.h"
#include "mixtable/wy_maintenance.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"

namespace {

// The last id this process handed out (0: none yet).
std::atomic<uint32_t> g_last_new_id{0};

bool IsSep(char c) { return c == '\\' || c == '/'; }

std::string Trim(const char* text) {
  std::string t = text ? text : "";
  const size_t b = t.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  return t.substr(b, t.find_last_not_of(" \t\r\n") - b + 1);
}

// Whether a component of path is "..".
bool HasDotDot(const std::string& path) {
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || IsSep(path[i])) {
      if (path.compare(start, i - start, "..") == 0 && i - start == 2)
        return true;
      start = i + 1;
    }
  }
  return false;
}

// The host path of a Windows-style or host path without its trailing "/";
// empty when it cannot be mapped.
std::string HostOf(const std::string& path) {
  std::string host;
  if (!platform::Env::Current()->HostPath(path, &host).ok()) return "";
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  return host;
}

std::string EnvDir(const char* name, const char* fallback) {
  std::string v;
  if (!platform::Env::Current()->GetEnv(name, &v) || Trim(v.c_str()).empty())
    return fallback;
  return Trim(v.c_str());
}

// Whether dir (a host path) is one a data set must never be made in: the
// host root, the drives root or a directory above it, a drive's root, the
// local, cache and work-area directories.
bool IsReservedDir(const std::string& host) {
  if (host.empty() || host == "/") return true;
  const std::string drives = HostOf(platform::Env::Current()->DrivesRoot());
  if (!drives.empty()) {
    // The drives root, anything above it, and a drive ("<drives>/c").
    if (drives.compare(0, host.size(), host) == 0 &&
        (drives.size() == host.size() || drives[host.size()] == '/'))
      return true;
    if (host.size() > drives.size() &&
        host.compare(0, drives.size(), drives) == 0 &&
        host.find('/', drives.size() + 1) == std::string::npos)
      return true;
  }
  const std::string reserved[] = {
      EnvDir("LOCALDIR", "c:\\local\\"),
      EnvDir("CACHEDIR", "c:\\wuser\\DBFCache\\"),
      "C:\\GCSpaces\\",
  };
  for (const std::string& r : reserved) {
    const std::string h = HostOf(r);
    if (!h.empty() && strcasecmp(h.c_str(), host.c_str()) == 0) return true;
  }
  return false;
}

// The highest directory along dir that does not exist yet ("" when dir
// exists): what a failed creation has to remove again.
std::string TopMissingDir(const std::string& dir) {
  platform::Env* env = platform::Env::Current();
  std::string top, p = dir;
  while (!p.empty() && !env->FileExists(p)) {
    top = p;
    const size_t cut = p.find_last_of("\\/");
    if (cut == std::string::npos || cut == 0) break;
    p.resize(cut);
    if (p.size() == 2 && p[1] == ':') break;  // the drive itself
  }
  return top;
}

// Removes dir and its parents up to top (a prefix of dir), deepest first,
// each only when empty.
void RemoveEmptyDirs(std::string dir, const std::string& top) {
  platform::Env* env = platform::Env::Current();
  while (dir.size() >= top.size() && env->RemoveDir(dir).ok()) {
    const size_t cut = dir.find_last_of("\\/");
    if (cut == std::string::npos) return;
    dir.resize(cut);
  }
}

}  // namespace

bool CMixtableEx::CreateNewGdataId(std::string& id) {
  const int64_t now = platform::Env::Current()->NowSeconds();
  uint32_t v = now > 0 && now <= 0xFFFFFFFFll ? static_cast<uint32_t>(now) : 0;
  if (v != 0) {
    // Above every id made before in this process, and not catalogued.
    uint32_t last = g_last_new_id.load();
    if (v <= last && last != 0xFFFFFFFFu) v = last + 1;
    for (int guard = 0; guard < 100000 && v != 0xFFFFFFFFu &&
                        Wy_GetDataIdListFamily(v, nullptr) > 0;
         ++guard)
      ++v;
    while (v > last && !g_last_new_id.compare_exchange_weak(last, v)) {
    }
  }
  char buf[16];
  std::snprintf(buf, sizeof buf, "%010lu", static_cast<unsigned long>(v));
  id = buf;
  return true;
}

int CMixtableEx::CreateGDataCheck(const std::string& dir, const void* window,
                                  int mode) {
  return SelectGData(dir.c_str(), window, mode);
}

int CMixtableEx::CreateGData(const char* dir_in, const char* descr,
                             const void* window, int mode) {
  // 1. Close everything; the directory without one trailing separator.
  m_table.CloseAll();
  std::string dir = Trim(dir_in);
  if (dir.empty()) Wy_DataDir(dir);
  if (!dir.empty() && IsSep(dir.back())) dir.pop_back();

  // 2. A drive path longer than "C:\" or a host path; never a reserved
  //    directory.
  const bool drive_path = dir.size() > 3 && dir[1] == ':' && IsSep(dir[2]);
  const bool host_path = dir.size() > 1 && dir[0] == '/';
  if ((!drive_path && !host_path) || HasDotDot(dir) ||
      IsReservedDir(HostOf(dir))) {
    Wy_Trace("CreateGData: %s refused", dir.c_str());
    m_table.m_dataDir.clear();
    return kCreateBadDir;
  }
  // The highest missing directory is made first, by this call alone (a
  // creation running beside it finds it existing): only then is it ours to
  // remove again.
  std::string created_top = TopMissingDir(dir);
  if (!created_top.empty()) {
    std::string parent = created_top;
    Wy_GetFilePath(parent);
    if (!Wy_MkDir(parent) ||
        !platform::Env::Current()->CreateDir(created_top).ok())
      created_top.clear();
  }
  if (!Wy_MkDir(dir)) {
    if (!created_top.empty()) Wy_PruneDir(created_top);
    m_table.m_dataDir.clear();
    return kCreateBadDir;
  }
  // The whole creation is one guarded run: refused (-4) while
  // another run holds the lock or a table of the set is open elsewhere, and
  // undone (what it saved restored, what it made removed) when it fails.
  auto guard = std::make_unique<Wy_MaintenanceGuard>(dir);
  const auto fail = [&](int code) {
    m_table.CloseAll();
    guard.reset();  // rolls back what was not completed, releases the lock
    m_table.m_dataDir.clear();
    if (!created_top.empty()) {
      // Removed only while no other run holds the new set and none of its
      // tables is open: another creation may have begun in it meanwhile.
      Wy_MaintenanceGuard again(dir);
      if (again.Begin() == 1) {
        if (!platform::OpenFilesBlockRename()) {
          Wy_PruneDir(created_top);
        } else {
          // The lock file cannot go while this run has it open: the run
          // ends first, then the lock file goes (the host refuses while
          // another creation has opened it meanwhile), then the new
          // directories, each only when empty.
          again.Complete();
          if (platform::Env::Current()
                  ->DeleteFile(dir + "\\" + kWyMaintenanceLockFile)
                  .ok()) {
            RemoveEmptyDirs(dir, created_top);
          }
        }
      }
    }
    return code;
  };
  const int begun = guard->Begin();
  if (begun != 1) {
    Wy_Trace("CreateGData: %s: %s", dir.c_str(), guard->error().c_str());
    return fail(begun == kWyMaintenanceBusy ||
                        begun == kWyMaintenanceUnrestorable
                    ? begun
                    : kCreateBadDir);
  }

  // 3. The data directory, no data id yet.
  m_table.m_dataDir = dir + "\\";
  m_table.m_dataId = 0;

  // 4. CNTS and PARAM (saved, or journaled as created, first).
  for (int t : {Y_CNTS, Y_PARAM}) {
    if (!guard->SaveTable(m_table.m_dataDir, t)) return fail(kCreateNoTables);
    if (!Exist(t)) Create(t);
    if (!Exist(t)) return fail(kCreateNoTables);
  }
  Wdbase* param = m_table.Handle(Y_PARAM);
  if (!m_table.Open(param)) return fail(kCreateNoTables);

  // 5. and 6. Identity and code page, unless the set has them.
  const std::string sig = GetSignature();
  bool ok = true;
  if (GetParamGdataId(false) == 0) {
    // A DATAID that is missing, 0 or no number gets a new value; an
    // ABS_DATAID that reads as a number is the family the set belongs to
    // and is kept.
    std::string id, old_value, comment;
    CreateNewGdataId(id);
    if (GetParam("DATAID", old_value, comment) && !old_value.empty())
      Wy_Trace("CreateGData: DATAID \"%s\" of %s replaced by %s",
               old_value.c_str(), m_table.m_dataDir.c_str(), id.c_str());
    ok = (GetParamGdataId(true) != 0 ||
          SetParamGdataId(id.c_str(), sig.c_str(), true)) &&
         SetParamGdataId(id.c_str(), sig.c_str(), false);
  }
  if (ok && GetParamCodePage() == 0)
    ok = SetParamCodePage(GetSystemCodePage(), sig.c_str());
  m_table.CloseSlot(Y_PARAM);
  if (!ok) return fail(kCreateNoTables);

  // 7. The check, inside this run (its own guard joins this one), and the
  //    description only after it succeeded; a failure undoes the whole run.
  guard->AllowNested();
  const int r = CreateGDataCheck(m_table.m_dataDir, window, mode);
  if (r != 1) return fail(r);
  if (descr != nullptr && *descr != '\0') {
    const std::string fvers = m_table.m_dataDir + kFVersFileName;
    if (!guard->SaveFile(fvers) || !SetGdataDescr(descr))
      Wy_Trace("CreateGData: the description of %s was not written",
               m_table.m_dataDir.c_str());
  }
  if (!guard->Complete()) {
    Wy_Trace("CreateGData: %s: %s", dir.c_str(), guard->error().c_str());
    return fail(kCreateNoTables);
  }
  return 1;
}
