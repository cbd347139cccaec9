// Wy_GDataChild: the destination checks and the copy into the staging
// directory of a build.
#include <strings.h>

#include <cctype>
#include <string>
#include <vector>

#include "maintenance/gdata_child_build.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_gdata_child.h"
#include "mixtable/wy_maintenance.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/host_path.h"

namespace mixtable::child {

namespace {
platform::Env* E() { return platform::Env::Current(); }
}  // namespace

std::string HostOf(const std::string& path) {
  std::string h;
  if (path.empty() || !E()->HostPath(path, &h).ok()) return std::string();
  while (h.size() > 1 && h.back() == '/') h.pop_back();
  return h;
}

bool HostInside(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  if (b == "/") return true;
  // Components that do not exist yet keep the case they were given in.
  if (a.size() < b.size() || strncasecmp(a.c_str(), b.c_str(), b.size()) != 0)
    return false;
  // A drive root ("c:\\") ends in its separator already.
  return a.size() == b.size() || platform::IsHostSeparator(a[b.size()]) ||
         platform::IsHostSeparator(b.back());
}

bool ClearExceptLock(const std::string& dir) {
  std::vector<platform::DirEntry> entries;
  if (!E()->ListDir(dir, "*", &entries).ok()) return false;
  bool ok = true;
  for (const platform::DirEntry& e : entries) {
    if (Wy_IsMaintenanceName(e.name) && !e.info.is_dir) continue;
    if (!E()->DeleteTree(dir + "\\" + e.name).ok()) ok = false;
  }
  return ok;
}

}  // namespace mixtable::child

namespace {

using mixtable::child::HostInside;
using mixtable::child::HostOf;

platform::Env* E() { return platform::Env::Current(); }

std::string Trimmed(const std::string& s) {
  std::string buf = s;
  buf.push_back('\0');
  Wy_StringTrim(buf.data(), " \t\r\n");
  return buf.c_str();
}

std::string EnvDir(const char* name, const char* fallback) {
  std::string v;
  if (!E()->GetEnv(name, &v) || Trimmed(v).empty()) return fallback;
  return Trimmed(v);
}

bool HasDotDot(const std::string& path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    if (path.compare(start, end - start, "..") == 0) return true;
    start = end + 1;
  }
  return false;
}

// Why a destination is refused ("" when it is not), all on host paths:
// roots, the source and the machine's fixed directories, either way round.
std::string RefusedDestination(const std::string& dst, const std::string& src) {
  if (HasDotDot(dst)) return "the path holds \"..\"";
  if (Wy_IsChildWorkDir(dst)) return "the name is a build's work name";
  const std::string host = HostOf(dst);
  if (platform::IsHostRoot(host)) return "a root";
  const std::string drives = HostOf(E()->DrivesRoot());
  if (!drives.empty()) {
    // The drives root, anything above it, and a drive ("<drives>/c").
    if (HostInside(drives, host)) return "a root";
    if (host.size() > drives.size() &&
        host.compare(0, drives.size() + 1, drives + "/") == 0 &&
        host.find('/', drives.size() + 1) == std::string::npos)
      return "a drive's root";
  }
  const std::string source = HostOf(src);
  if (source.empty()) return "the source cannot be mapped";
  if (HostInside(host, source) || HostInside(source, host))
    return "equal to, inside or containing the source";
  const std::string fixed[] = {
      EnvDir("LOCALDIR", "c:\\local\\"),
      EnvDir("CACHEDIR", "c:\\wuser\\DBFCache\\"),
      "C:\\GCSpaces\\",  // the work area
      "C:\\GDATATMP\\",  // the installer's backup
  };
  for (const std::string& f : fixed) {
    const std::string h = HostOf(f);
    if (!h.empty() && (HostInside(host, h) || HostInside(h, host)))
      return "equal to, inside or containing " + f;
  }
  return std::string();
}

bool IsDirectory(const std::string& path) {
  platform::FileInfo info;
  return E()->GetFileInfo(path, &info).ok() && info.is_dir;
}

// The staging directory, empty, with its maintenance lock held. Removes
// the leftover of a build that was killed.
int PrepareStaging(Wy_GDataChild::BuildState& b) {
  if (E()->FileExists(b.staging) && !IsDirectory(b.staging) &&
      !E()->DeleteTree(b.staging).ok())
    return 0;
  if (!E()->FileExists(b.staging) && !E()->CreateDir(b.staging).ok()) {
    Wy_GDataChildLogNote("cannot create " + b.staging);
    return 0;
  }
  b.stagingLock = std::make_unique<Wy_MaintenanceGuard>(b.staging);
  const int r = b.stagingLock->Begin(false);
  if (r != 1) {
    Wy_GDataChildLogNote("another build holds " + b.staging + ": " +
                         b.stagingLock->error());
    b.stagingLock.reset();
    return kChildFailed;
  }
  if (!mixtable::child::ClearExceptLock(b.staging)) {
    Wy_GDataChildLogNote("cannot empty " + b.staging);
    return 0;
  }
  b.stagingHost = HostOf(b.staging);
  return 1;
}

// A swap killed between its two renames left the old destination under the
// aside name: it is put back. A swap killed later left it beside the new
// one: it is deleted. Runs under the staging lock.
bool RecoverAside(const Wy_GDataChild::BuildState& b) {
  if (!E()->FileExists(b.aside)) return true;
  if (E()->FileExists(b.dst)) {
    Wy_GDataChildLogNote("removing the old tree " + b.aside);
    return E()->DeleteTree(b.aside).ok();
  }
  Wy_GDataChildLogNote("putting back " + b.dst + " from " + b.aside);
  return E()->RenameFile(b.aside, b.dst, false).ok();
}

// Copies the entries of from into the staging directory: directories with
// CopyTree, files one by one; links and the maintenance area and lock file
// are left out.
bool CopyEntries(const std::string& from, const std::string& to) {
  std::vector<platform::DirEntry> entries;
  platform::Status st = E()->ListDir(from, "*", &entries);
  for (size_t i = 0; st.ok() && i < entries.size(); ++i) {
    const platform::DirEntry& e = entries[i];
    if (e.info.is_link || Wy_IsMaintenanceName(e.name)) continue;
    const std::string a = from + e.name, z = to + "\\" + e.name;
    st = e.info.is_dir ? E()->CopyTree(a, z) : E()->CopyFile(a, z, false);
  }
  if (!st.ok()) Wy_GDataChildLogNote("copy failed: " + st.ToString());
  return st.ok();
}

}  // namespace

int Wy_GDataChild::CopyGData(BuildState& b, bool copy) {
  CMixtableEx src;
  src.SetDataDir(m_src.c_str());
  if (copy && src.GetParamGdataId(false) == 0) return -2;
  std::string d = Trimmed(m_dst);
  while (d.size() > 1 && (d.back() == '\\' || d.back() == '/')) d.pop_back();
  b.dst = d;
  b.staging = d + kChildStagingSuffix;
  b.aside = d + kChildAsideSuffix;
  const std::string why = RefusedDestination(d, m_src);
  if (!why.empty()) {
    Wy_GDataChildLogNote("destination " + d + " refused: " + why);
    return -1;
  }
  const size_t cut = d.find_last_of("\\/");
  if (cut != std::string::npos && cut > 0 && !Wy_MkDir(d.substr(0, cut + 1))) {
    Wy_GDataChildLogNote("cannot create the parent of " + d);
    return -1;
  }

  int r = PrepareStaging(b);
  if (r != 1) return r;
  if (!RecoverAside(b)) return kChildFailed;
  b.dstExists = E()->FileExists(d);
  if (b.dstExists &&
      (!IsDirectory(d) || !E()->FileExists(d + "\\PRODUCTS.DBF"))) {
    Wy_GDataChildLogNote("destination " + d + " is not a data set");
    return -3;
  }
  if (!copy && !b.dstExists) return -2;
  if (b.dstExists) {
    b.dstLock = std::make_unique<Wy_MaintenanceGuard>(d);
    if (b.dstLock->Begin(true) != 1) {
      Wy_GDataChildLogNote("destination " + d + " busy: " + b.dstLock->error());
      b.dstLock.reset();
      return kChildFailed;
    }
  }
  const std::string from = copy ? m_src : d + "\\";
  if (copy && Wy_MaintenanceState(from) != kWyMaintenanceFree) {
    // Another run is changing it, or one was interrupted there: a copy
    // now would not be a data set as any run left it.
    Wy_GDataChildLogNote(from + " is under maintenance");
    return kChildFailed;
  }
  return CopyEntries(from, b.staging) ? 1 : 0;
}
