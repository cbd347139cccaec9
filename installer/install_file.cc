// The package description GDATA.TXT, the refusal of dangerous target paths
// and the directory a target path leads to.

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "install_internal.h"
#include "installer/install_engine.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/line_reader.h"

namespace {

platform::Env* E() { return platform::Env::Current(); }

std::string Upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// A decimal number in 1..4294967295 (blanks around it allowed).
bool ParseId(const std::string& text, uint32_t* id) {
  std::string t = installer_internal::Trim(text);
  if (t.empty() || t.size() > 10) return false;
  uint64_t v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v == 0 || v > 0xFFFFFFFFull) return false;
  *id = static_cast<uint32_t>(v);
  return true;
}

// Host path of a Windows-style path without a trailing "/", in upper case
// because components that do not exist yet keep the case they were given
// ("" when it cannot be mapped).
std::string HostOf(const std::string& path) {
  std::string host;
  if (!E()->HostPath(path, &host).ok()) return std::string();
  // Host paths separate with "/" on Linux and "\\" on Windows.
  while (host.size() > 1 && (host.back() == '/' || host.back() == '\\'))
    host.pop_back();
  return Upper(host);
}

// Whether host path a is b or a directory holding b.
bool Covers(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  if (a == "/") return true;
  return b == a || (b.size() > a.size() && b.compare(0, a.size(), a) == 0 &&
                    (b[a.size()] == '/' || b[a.size()] == '\\'));
}

}  // namespace

namespace installer_internal {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

std::string LocalDir() {
  std::string path;
  if (E()->GetEnv("LOCALDIR", &path)) path = Trim(path);
  if (path.empty()) path = "c:\\local\\";
  Wy_AddTrailingBackslash(path);
  return path;
}

std::string PackageFile(const InstallContext& ctx, const char* name) {
  std::string dir = ctx.package_dir;
  if (dir.empty()) {
    dir = E()->ProgramPath();
    Wy_GetFilePath(dir);
  }
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '/';
  return dir + name;
}

bool SameText(const std::string& a, const char* b) {
  return Upper(Trim(a)) == Upper(b);
}

bool PlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("\\/") == std::string::npos;
}

}  // namespace installer_internal

bool CheckTargetPath(const std::string& path, std::string* why) {
  auto refuse = [&](const char* reason) {
    if (why) *why = reason;
    return false;
  };
  std::string p = installer_internal::Trim(path);
  for (char& c : p)
    if (c == '/') c = '\\';
  while (p.size() > 1 && p.back() == '\\') p.pop_back();
  if (p.empty()) return refuse("the path is empty");
  if (p.find("..") != std::string::npos)
    return refuse("the path contains \"..\"");
  if (p.size() < 4 || !std::isalpha(static_cast<unsigned char>(p[0])) ||
      p[1] != ':' || p[2] != '\\')
    return refuse("the path is not a directory below a drive root");
  std::string host = HostOf(p);
  std::string drive = HostOf(p.substr(0, 3));
  if (host.empty() || host == drive || host == "/")
    return refuse("the path is a drive root");
  const std::string protect[] = {installer_internal::LocalDir(), kBackupDir,
                                 kUserTreeDir};
  const char* names[] = {"the path holds the local directory",
                         "the path holds the backup directory",
                         "the path holds \"c:\\wuser\\\""};
  for (int i = 0; i < 3; ++i) {
    if (Covers(host, HostOf(protect[i]))) return refuse(names[i]);
  }
  return true;
}

int ReadInstallFile(InstallContext& ctx) {
  std::string file = installer_internal::PackageFile(ctx, kInstallFileName);
  platform::LineReader reader;
  if (!reader.Open(file).ok()) return 0;
  std::vector<std::string> lines;
  std::string line;
  while (lines.size() < 4 && reader.ReadLine(&line)) lines.push_back(line);
  auto bad = [&](int n, const std::string& what) {
    ctx.error =
        "Error in file GDATA.TXT, line " + std::to_string(n) + ": " + what;
    ctx.Line(ctx.error);
    return -1;
  };
  if (!reader.status().ok())
    return bad(static_cast<int>(lines.size()) + 1, "cannot be read");
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].size() > static_cast<size_t>(kInstallLineMax))
      return bad(static_cast<int>(i) + 1, "longer than 127 characters");
  }
  static const char* kMissing[] = {"the data id is missing",
                                   "the target directory is missing",
                                   "the description is missing"};
  for (size_t i = lines.size(); i < 3; ++i)
    return bad(static_cast<int>(i) + 1, kMissing[i]);
  uint32_t id = 0, abs_id = 0;
  if (!ParseId(lines[0], &id))
    return bad(1, "the data id is not a number from 1 to 4294967295");
  std::string path = installer_internal::Trim(lines[1]);
  if (path.empty()) return bad(2, kMissing[1]);
  std::string why;
  if (!installer_internal::SameText(path, kWorkAreaPath) &&
      !CheckTargetPath(path, &why))
    return bad(2, "the target directory " + path + " is refused (" + why + ")");
  if (lines.size() > 3 && !installer_internal::Trim(lines[3]).empty() &&
      !ParseId(lines[3], &abs_id))
    return bad(4, "the absolute data id is not a number from 1 to 4294967295");
  ctx.data_id = id;
  ctx.abs_data_id = abs_id;
  ctx.path = path;
  ctx.description = installer_internal::Trim(lines[2]);
  if (installer_internal::SameText(path, kWorkAreaPath)) {
    ctx.work_area_mode = 1;
    ctx.register_in_catalogue = 0;
  }
  return 1;
}

std::string WorkingDir(const std::string& path) {
  std::string p = installer_internal::Trim(path);
  while (p.size() > 1 && (p.back() == '\\' || p.back() == '/')) p.pop_back();
  platform::FileInfo info;
  if (!E()->GetFileInfo(p, &info).ok() || !info.is_link) return p;
  std::string host, target;
  if (!E()->HostPath(p, &host).ok() || !E()->ReadLink(p, &target).ok())
    return p;
  if (target.empty() || target[0] != '/') {
    host = host.substr(0, host.rfind('/') + 1) + target;
  } else {
    host = target;
  }
  platform::FileInfo t;
  if (!E()->GetFileInfo(host, &t).ok() || !t.is_dir) return p;
  return host;
}
