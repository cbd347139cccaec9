// Normalisation of Windows paths: the only change the Win32 Env makes to a
// path before it reaches the A functions of the Win32 API.

#include <cerrno>
#include <string>
#include <vector>

#include "platform/path_parts.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/windows_host.h"

namespace platform::internal {

namespace {

std::string CurrentDirectory() {
  std::vector<char> buf(MAX_PATH + 1);
  for (;;) {
    DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(buf.size()), buf.data());
    if (n == 0) return "";
    if (n < buf.size()) return std::string(buf.data(), n);
    buf.resize(n + 1);
  }
}

// Splits an absolute path into its root ("X:\" or "\\server\share\") and
// the rest; false when path has neither.
bool SplitRoot(const std::string& p, std::string* root, std::string* rest) {
  if (p.size() >= 3 && IsDriveLetter(p[0]) && p[1] == ':' && IsPathSep(p[2])) {
    *root = p.substr(0, 2) + "\\";
    *rest = p.substr(3);
    return true;
  }
  if (p.size() >= 2 && IsPathSep(p[0]) && IsPathSep(p[1])) {
    std::vector<std::string> parts;
    SplitPath(p.substr(2), &parts);
    if (parts.size() < 2) return false;
    *root = "\\\\" + parts[0] + "\\" + parts[1] + "\\";
    // The rest: what follows the share's name.
    size_t at = p.find(parts[1], 2 + parts[0].size()) + parts[1].size();
    *rest = p.substr(at);
    return true;
  }
  return false;
}

}  // namespace

Status NormalizeWin32Path(const std::string& path, std::string* out) {
  if (path.empty()) return Status::Error(ENOENT, "empty path");
  if (path.size() >= 4 && IsPathSep(path[0]) && IsPathSep(path[1]) &&
      (path[2] == '?' || path[2] == '.') && IsPathSep(path[3])) {
    *out = path;
    return Status::OK();
  }
  std::string root, rest;
  if (IsDriveLetter(path[0]) && path.size() >= 2 && path[1] == ':' &&
      (path.size() == 2 || !IsPathSep(path[2]))) {
    // "c:name": relative to the current directory of that drive.
    std::vector<char> buf(MAX_PATH + 1);
    const std::string drive = path.substr(0, 2);
    DWORD n = GetFullPathNameA(drive.c_str(), static_cast<DWORD>(buf.size()),
                               buf.data(), nullptr);
    if (n == 0 || n >= buf.size() ||
        !SplitRoot(std::string(buf.data(), n), &root, &rest)) {
      return Status::Error(ENOENT, "path " + path);
    }
    rest += "\\" + path.substr(2);
  } else if (IsPathSep(path[0]) && path.size() >= 2 && IsPathSep(path[1])) {
    if (!SplitRoot(path, &root, &rest)) {
      return Status::Error(ENOENT, "path without a share: " + path);
    }
  } else if (!SplitRoot(path, &root, &rest)) {
    // Relative, or from the root of the current drive.
    std::string cwd_rest;
    if (!SplitRoot(CurrentDirectory(), &root, &cwd_rest)) {
      return Status::Error(ENOENT, "no current directory for " + path);
    }
    rest = IsPathSep(path[0]) ? path : cwd_rest + "\\" + path;
  }
  std::vector<std::string> given, comps;
  SplitPath(rest, &given);
  Status resolved = ResolveDots(given, path, &comps);
  if (!resolved.ok()) return resolved;
  std::string result = root;
  for (size_t i = 0; i < comps.size(); i++) {
    if (i > 0) result += "\\";
    result += comps[i];
  }
  *out = result;
  return Status::OK();
}

}  // namespace platform::internal
