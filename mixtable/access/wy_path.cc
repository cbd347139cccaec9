// Path strings and directory trees.

#include <string>
#include <vector>

#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/host_path.h"

namespace {

inline bool IsSep(char c) { return c == '\\' || c == '/'; }

size_t LastSep(const std::string& s) { return s.find_last_of("\\/"); }

inline bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Number of "\"-separated items of path, "/" counting as "\".
int32_t PathDepth(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return Wy_StringParse_GetNum(path, '\\');
}

// A directory, or a symbolic link whose target is one (a data directory
// put on another disk, /var/run): listing it works only then.
bool IsDirectory(platform::Env* env, const std::string& path) {
  platform::FileInfo info;
  if (!env->GetFileInfo(path, &info).ok()) return false;
  if (!info.is_link) return info.is_dir;
  std::vector<platform::DirEntry> none;
  return env->ListDir(path, "\x01", &none).ok();
}

// Anchor whose address names this library's file.
const char kModuleAnchor = 0;

}  // namespace

void Wy_AddTrailingBackslash(std::string& path) {
  if (!path.empty() && !IsSep(path.back())) path += '\\';
}

void Wy_GetFilePath(std::string& path) {
  if (path.empty()) return;
  size_t sep = LastSep(path);
  if (sep == std::string::npos) {
    path = ".\\";
  } else {
    path.resize(sep + 1);
  }
}

void Wy_GetFilePathName(std::string& path) {
  size_t dot = path.rfind('.');
  if (dot == std::string::npos) return;
  size_t sep = LastSep(path);
  if (sep != std::string::npos && sep > dot) return;  // dot in a directory
  path.resize(dot);
}

const char* Wy_GetFileExt(const char* path) {
  if (path == nullptr) return nullptr;
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (IsSep(*p)) name = p + 1;
  }
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p == '.') return p;
  }
  return nullptr;
}

char* Wy_GetFileExt(char* path) {
  return const_cast<char*>(Wy_GetFileExt(static_cast<const char*>(path)));
}

std::string Wy_AddAppDirAndFile(std::string& file) {
  std::string module = platform::Env::Current()->ModulePath(&kModuleAnchor);
  size_t sep = LastSep(module);
  if (sep != std::string::npos) file = module.substr(0, sep + 1) + file;
  return file;
}

bool Wy_MkDir(const std::string& path) {
  bool drive =
      path.size() >= 3 && IsLetter(path[0]) && path[1] == ':' && IsSep(path[2]);
  bool host = !path.empty() && path[0] == '/';
  if (!drive && !host) return false;

  std::string full = path;
  // Drop trailing separators, but keep the root ("c:\" or "/").
  size_t root_len = drive ? 3 : 1;
  while (full.size() > root_len && IsSep(full.back())) full.pop_back();

  platform::Env* env = platform::Env::Current();
  // Create each level: every prefix that ends before a separator, then the
  // whole path. Empty components ("a\\b") are skipped.
  for (size_t i = root_len; i <= full.size(); ++i) {
    if (i < full.size() && !IsSep(full[i])) continue;
    if (IsSep(full[i - 1])) continue;
    std::string level = full.substr(0, i);
    env->CreateDir(level);  // an existing directory is no error
    if (!IsDirectory(env, level)) return false;
  }
  return IsDirectory(env, full);
}

void Wy_ScanDir(int32_t& dir_count, int32_t& file_count, const std::string& dir,
                const std::string& mask, bool recurse, int32_t depth_limit) {
  if (dir.empty()) return;
  std::string base = dir;
  Wy_AddTrailingBackslash(base);
  const int32_t base_depth = PathDepth(base);
  const std::string& m = mask.empty() ? std::string("*.*") : mask;
  // The walk goes by directory descriptors: a name holding "\" or ".." is
  // counted like any other and never mapped into another path.
  platform::Env::Current()->WalkTree(base, [&](int depth,
                                               const platform::DirEntry& e) {
    if (!e.info.is_dir || e.info.is_link) {
      if (platform::MatchFileMask(e.name, m)) ++file_count;
      return false;
    }
    ++dir_count;
    return recurse && !(depth_limit > 0 && depth_limit < base_depth + depth);
  });
}

namespace {

// Whether the host path is "/", the drives root, a drive's directory or a
// directory holding the drives root: trees no prune may delete.
bool IsProtectedRoot(platform::Env* env, const std::string& host) {
  if (platform::IsHostRoot(host)) return true;
  const std::string root = env->DrivesRoot();
  if (root.empty()) return false;  // Windows: no drives root
  if (root.compare(0, host.size(), host) == 0 &&
      (root.size() == host.size() || root[host.size()] == '/')) {
    return true;  // the drives root or above it
  }
  const size_t slash = host.rfind('/');
  return slash != std::string::npos && host.compare(0, slash, root) == 0 &&
         slash == root.size();  // a drive: the root's direct child
}

}  // namespace

void Wy_PruneDir(const std::string& dir) {
  if (dir.empty()) return;
  std::string self = dir;
  while (self.size() > 1 && IsSep(self.back())) self.pop_back();
  platform::Env* env = platform::Env::Current();
  std::string host;
  if (!env->HostPath(self, &host).ok()) return;
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  if (IsProtectedRoot(env, host)) {
    Wy_Trace("Wy_PruneDir: %s is a root, not deleted", self.c_str());
    return;
  }
  platform::FileInfo info;
  if (!env->GetFileInfo(self, &info).ok()) return;
  if (info.is_link) {
    env->DeleteFile(self);  // a link to a directory goes, its target stays
    return;
  }
  if (!info.is_dir) return;
  // A directory without write permission would keep its entries.
  if (info.read_only) env->SetAttributes(self, platform::kAttrDirectory);
  // The platform's tree delete walks by directory descriptors: names inside
  // the tree are never mapped again, links are removed and never followed.
  env->DeleteTree(self);
}
