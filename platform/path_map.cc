// Path mapping: lexical resolution of the given components, then a
// case-insensitive walk over the components that exist on the host.

#include "platform/path_map.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/hooks.h"

namespace platform::internal {

namespace {

std::string GetCwd() {
  std::vector<char> buf(4096);
  while (getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE) return "/";
    buf.resize(buf.size() * 2);
  }
  return buf.data();
}

std::string StripTrailingSlashes(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

// mkdir -p of an absolute host directory.
Status MakeDirs(const std::string& dir) {
  struct stat st;
  if (stat(dir.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return Status::OK();
    return Status::Error(ENOTDIR, "drive directory " + dir);
  }
  size_t slash = dir.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    Status s = MakeDirs(dir.substr(0, slash));
    if (!s.ok()) return s;
  }
  if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
    return Status::Error(errno, "create drive directory " + dir);
  }
  return Status::OK();
}

}  // namespace

std::string DrivesRootFromEnvironment() {
  const char* v = getenv("KALVO_DRIVES");
  if (v != nullptr && *v != '\0') {
    std::string root = v;
    if (root[0] != '/') root = GetCwd() + "/" + root;
    return StripTrailingSlashes(root);
  }
  v = getenv("XDG_DATA_HOME");
  if (v != nullptr && v[0] == '/') {
    return StripTrailingSlashes(v) + "/kalvo/drives";
  }
  std::string home;
  v = getenv("HOME");
  if (v != nullptr && v[0] == '/') {
    home = v;
  } else {
    struct passwd pw;
    struct passwd* res = nullptr;
    std::vector<char> buf(16384);
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &res) == 0 &&
        res != nullptr && res->pw_dir != nullptr && res->pw_dir[0] == '/') {
      home = res->pw_dir;
    } else {
      home = "/tmp";
    }
  }
  home = StripTrailingSlashes(home);
  if (home == "/") home.clear();
  return home + "/.local/share/kalvo/drives";
}

namespace {

// Case-insensitive directory listings, kept while the directory provably did
// not change: same device, inode, modification and change time. A listing
// is kept only when the directory's modification time lay at least
// kRacySeconds before it was read, so that a change within the same clock
// tick as the listing (which can leave the time stamp as it was) can never
// go unnoticed: any later change stamps a time after the listing.
constexpr int64_t kRacySeconds = 2;
constexpr size_t kMaxCachedDirs = 256;

struct Listing {
  dev_t dev = 0;
  ino_t ino = 0;
  struct timespec mtime = {}, ctime = {};
  // Lower-cased name -> the smallest stored spelling and how many match.
  std::unordered_map<std::string, std::pair<std::string, int>> names;
};

std::mutex g_listing_mu;
std::unordered_map<std::string, std::shared_ptr<const Listing>>* g_listings =
    new std::unordered_map<std::string, std::shared_ptr<const Listing>>;

bool SameStamp(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The listing of dir, from the cache when the directory did not change.
// Null when the directory cannot be read.
std::shared_ptr<const Listing> ListDirectory(const std::string& dir) {
  struct stat st;
  if (stat(dir.c_str(), &st) != 0) return nullptr;
  {
    std::lock_guard<std::mutex> lock(g_listing_mu);
    auto it = g_listings->find(dir);
    if (it != g_listings->end()) {
      const Listing& l = *it->second;
      if (l.dev == st.st_dev && l.ino == st.st_ino &&
          SameStamp(l.mtime, st.st_mtim) && SameStamp(l.ctime, st.st_ctim)) {
        return it->second;
      }
      g_listings->erase(it);
    }
  }
  // Closed on every path, also when memory runs out while listing.
  std::unique_ptr<DIR, int (*)(DIR*)> d(opendir(dir.c_str()), closedir);
  if (d == nullptr) return nullptr;
  auto l = std::make_shared<Listing>();
  l->dev = st.st_dev;
  l->ino = st.st_ino;
  l->mtime = st.st_mtim;
  l->ctime = st.st_ctim;
  while (struct dirent* e = readdir(d.get())) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    auto& slot = l->names[LowerAscii(n)];
    if (slot.second == 0 || n < slot.first) slot.first = n;
    ++slot.second;
  }
  d.reset();
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  if (now.tv_sec - st.st_mtim.tv_sec >= kRacySeconds &&
      now.tv_sec - st.st_ctim.tv_sec >= kRacySeconds) {
    std::lock_guard<std::mutex> lock(g_listing_mu);
    if (g_listings->size() >= kMaxCachedDirs) g_listings->clear();
    (*g_listings)[dir] = l;
  }
  return l;
}

}  // namespace

namespace {

// The case-insensitive half of FindEntryIgnoreCase, for a name known not to
// exist exactly as given.
bool FindInListing(const std::string& dir, const std::string& name,
                   std::string* found) {
  std::shared_ptr<const Listing> l = ListDirectory(dir.empty() ? "/" : dir);
  if (l == nullptr) return false;
  // Several names may differ only in case (DATA.DBF, data.dbf): the choice
  // must not depend on the directory's order, so the smallest name in byte
  // order wins, and the ambiguity is traced.
  auto it = l->names.find(LowerAscii(name));
  if (it == l->names.end()) return false;
  *found = it->second.first;
  const int matches = it->second.second;
  if (matches > 1) {
    const std::string text = "path: " + std::to_string(matches) + " names in " +
                             dir + " match \"" + name +
                             "\" ignoring case; using \"" + *found + "\"";
    Trace(kPathTraceCategory, text.c_str());
  }
  return true;
}

}  // namespace

bool FindEntryIgnoreCase(const std::string& dir, const std::string& name,
                         std::string* found) {
  std::string probe = (dir == "/" ? "" : dir) + "/" + name;
  struct stat st;
  if (lstat(probe.c_str(), &st) == 0) {
    *found = name;
    return true;
  }
  return FindInListing(dir, name, found);
}

Status MapPath(const std::string& path, const std::string& drives_root,
               std::string* host) {
  if (path.empty()) return Status::Error(ENOENT, "empty path");

  // base: host prefix the path can never climb above ("" stands for "/").
  std::string base;
  std::vector<std::string> given;
  bool drive = false;
  if (path[0] == '/') {
    SplitPath(path, &given);
  } else if (path.size() >= 2 && path[1] == ':' && IsDriveLetter(path[0])) {
    base = drives_root + "/" + LowerAscii(path[0]);
    drive = true;
    SplitPath(path.substr(2), &given);
  } else if (IsPathSep(path[0])) {
    base = drives_root + "/c";
    drive = true;
    SplitPath(path, &given);
  } else {
    // Relative: against the current directory. When that lies on a drive,
    // the drive's root stays the limit for "..".
    std::string cwd = GetCwd();
    std::string rest = cwd;
    std::string prefix = drives_root + "/";
    size_t n = prefix.size();
    if (cwd.size() > n && cwd.compare(0, n, prefix) == 0 && cwd[n] >= 'a' &&
        cwd[n] <= 'z' && (cwd.size() == n + 1 || cwd[n + 1] == '/')) {
      base = cwd.substr(0, n + 1);
      rest = cwd.substr(n + 1);
    }
    SplitPath(rest, &given);
    SplitPath(path, &given);
  }

  // Lexical resolution of "." and "..".
  std::vector<std::string> comps;
  Status resolved = ResolveDots(given, path, &comps);
  if (!resolved.ok()) return resolved;

  if (drive) {
    Status s = MakeDirs(base);
    if (!s.ok()) return s;
  }

  // The longest prefix that exists exactly as given needs no search: each
  // of its components is its own exact match. Probed from the full path
  // down, as most paths name something that exists, or its directory.
  size_t exact = comps.size();
  {
    std::vector<std::string> prefixes(comps.size() + 1);
    prefixes[0] = base;
    for (size_t i = 0; i < comps.size(); ++i) {
      prefixes[i + 1] = prefixes[i] + "/" + comps[i];
    }
    struct stat st;
    while (exact > 0 && lstat(prefixes[exact].c_str(), &st) != 0) --exact;
    if (exact == comps.size()) {
      *host = prefixes[exact].empty() ? "/" : prefixes[exact];
      return Status::OK();
    }
  }

  // Case-insensitive walk while the components exist.
  std::string cur = base;
  bool exists = true;
  size_t index = 0;
  for (const std::string& c : comps) {
    if (index++ < exact) {
      cur += "/";
      cur += c;
      continue;
    }
    std::string name = c;
    if (exists) {
      std::string found;
      // The first component after the exact prefix is known not to exist
      // as given: straight to the listing.
      const std::string& dir = cur.empty() ? "/" : cur;
      const bool hit = index == exact + 1 ? FindInListing(dir, c, &found)
                                          : FindEntryIgnoreCase(dir, c, &found);
      if (hit) {
        name = found;
      } else {
        exists = false;
      }
    }
    cur += "/";
    cur += name;
  }
  *host = cur.empty() ? "/" : cur;
  return Status::OK();
}

}  // namespace platform::internal
