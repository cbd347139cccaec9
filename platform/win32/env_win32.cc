// The Win32 Env: paths are Windows paths used as they are (drive letters,
// UNC paths), only normalised; files, directories and the clock go to the
// Win32 API with ANSI strings (the A functions); processes go to
// process_impl.h.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef DeleteFile
#undef CopyFile

#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/internal/process_impl.h"
#include "platform/win32/dir_win32.h"
#include "platform/win32/file_win32.h"
#include "platform/win32/win32_internal.h"

namespace platform {

namespace internal {

Status Win32Status(unsigned long err, const std::string& what) {
  int code;
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
      code = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_CURRENT_DIRECTORY:
      code = EACCES;
      break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      code = EBUSY;
      break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      code = EEXIST;
      break;
    case ERROR_DIR_NOT_EMPTY:
      code = ENOTEMPTY;
      break;
    case ERROR_DIRECTORY:
      code = ENOTDIR;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      code = ENOSPC;
      break;
    case ERROR_NOT_SAME_DEVICE:
      code = EXDEV;
      break;
    case ERROR_TOO_MANY_OPEN_FILES:
      code = EMFILE;
      break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      code = ENOMEM;
      break;
    case ERROR_INVALID_HANDLE:
      code = EBADF;
      break;
    case ERROR_INVALID_PARAMETER:
    case ERROR_NEGATIVE_SEEK:
      code = EINVAL;
      break;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
      code = ENOTSUP;
      break;
    case ERROR_FILENAME_EXCED_RANGE:
      code = ENAMETOOLONG;
      break;
    case ERROR_NOT_LOCKED:
      code = ENOLCK;
      break;
    default:
      code = EIO;
      break;
  }
  return Status::Error(code,
                       what + " [win32 error " + std::to_string(err) + "]");
}

namespace {

inline bool IsSep(char c) { return c == '\\' || c == '/'; }

inline bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void Split(const std::string& s, std::vector<std::string>* out) {
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsSep(s[i])) i++;
    size_t j = i;
    while (j < s.size() && !IsSep(s[j])) j++;
    if (j > i) out->push_back(s.substr(i, j - i));
    i = j;
  }
}

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
  if (p.size() >= 3 && IsLetter(p[0]) && p[1] == ':' && IsSep(p[2])) {
    *root = p.substr(0, 2) + "\\";
    *rest = p.substr(3);
    return true;
  }
  if (p.size() >= 2 && IsSep(p[0]) && IsSep(p[1])) {
    std::vector<std::string> parts;
    Split(p.substr(2), &parts);
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
  if (path.size() >= 4 && IsSep(path[0]) && IsSep(path[1]) &&
      (path[2] == '?' || path[2] == '.') && IsSep(path[3])) {
    *out = path;
    return Status::OK();
  }
  std::string root, rest;
  if (IsLetter(path[0]) && path.size() >= 2 && path[1] == ':' &&
      (path.size() == 2 || !IsSep(path[2]))) {
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
  } else if (IsSep(path[0]) && path.size() >= 2 && IsSep(path[1])) {
    if (!SplitRoot(path, &root, &rest)) {
      return Status::Error(ENOENT, "path without a share: " + path);
    }
  } else if (!SplitRoot(path, &root, &rest)) {
    // Relative, or from the root of the current drive.
    std::string cwd_rest;
    if (!SplitRoot(CurrentDirectory(), &root, &cwd_rest)) {
      return Status::Error(ENOENT, "no current directory for " + path);
    }
    rest = IsSep(path[0]) ? path : cwd_rest + "\\" + path;
  }
  std::vector<std::string> given, comps;
  Split(rest, &given);
  for (const std::string& c : given) {
    if (c == ".") continue;
    if (c == "..") {
      if (comps.empty()) {
        return Status::Error(EACCES, "path climbs above its root: " + path);
      }
      comps.pop_back();
      continue;
    }
    comps.push_back(c);
  }
  std::string result = root;
  for (size_t i = 0; i < comps.size(); i++) {
    if (i > 0) result += "\\";
    result += comps[i];
  }
  *out = result;
  return Status::OK();
}

}  // namespace internal

namespace {

bool IsDirectory(const std::string& host, DWORD* attrs_out = nullptr) {
  DWORD a = GetFileAttributesA(host.c_str());
  if (attrs_out != nullptr) *attrs_out = a;
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ValidEnvName(const std::string& name) {
  return !name.empty() && name.find('=') == std::string::npos;
}

}  // namespace

Status Env::WalkTree(const std::string& dir, const TreeVisitor& visit) {
  std::string host;
  Status s = HostPath(dir, &host);
  if (!s.ok()) return s;
  return internal::WalkHostTree(host, visit);
}

// Windows commits directory entries with the file system's own journal;
// there is nothing to sync. The path is still checked, as callers rely on
// the answer for a missing directory.
Status Env::SyncDir(const std::string& dir) {
  std::string host;
  Status s = HostPath(dir, &host);
  if (!s.ok()) return s;
  DWORD a = GetFileAttributesA(host.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) {
    return internal::Win32Status(GetLastError(), "sync directory " + dir);
  }
  if ((a & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Status::Error(ENOTDIR, "sync directory " + dir);
  }
  return Status::OK();
}

// Windows runs programs by their extension: nothing to mark. Checks the
// path as the other host does.
Status Env::MarkExecutable(const std::string& path) {
  std::string host;
  Status s = HostPath(path, &host);
  if (!s.ok()) return s;
  const std::string what = "mark executable " + path;
  DWORD a = GetFileAttributesA(host.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) {
    return internal::Win32Status(GetLastError(), what);
  }
  if (a & FILE_ATTRIBUTE_REPARSE_POINT) return Status::Error(ELOOP, what);
  if (a & FILE_ATTRIBUTE_DIRECTORY) return Status::Error(EINVAL, what);
  return Status::OK();
}

void KillCurrentProcess() {
  // 128 + 9: the status a waiter sees for a process killed on the other
  // host.
  TerminateProcess(GetCurrentProcess(), 137);
  for (;;) Sleep(INFINITE);
}

namespace {

class Win32Env final : public Env {
 public:
  // No drives root: drive letters are the host's own.
  std::string DrivesRoot() override { return ""; }

  Status HostPath(const std::string& path, std::string* host) override {
    return internal::NormalizeWin32Path(path, host);
  }

  Status OpenFile(const std::string& path, OpenMode mode,
                  std::unique_ptr<File>* file) override {
    file->reset();
    std::string host;
    Status s = HostPath(path, &host);
    if (!s.ok()) return s;
    return internal::OpenWin32File(host, path, mode, file);
  }

  bool FileExists(const std::string& path) override {
    std::string host;
    return HostPath(path, &host).ok() &&
           GetFileAttributesA(host.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  Status GetFileInfo(const std::string& path, FileInfo* info) override {
    std::string host;
    Status s = HostPath(path, &host);
    if (!s.ok()) return s;
    s = internal::GetHostFileInfo(host, info);
    if (!s.ok()) return Status::Error(s.code(), "stat " + path);
    return s;
  }

  Status DeleteFile(const std::string& path) override {
    std::string host;
    Status s = HostPath(path, &host);
    if (!s.ok()) return s;
    const std::string what = "delete " + path;
    DWORD a = GetFileAttributesA(host.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) {
      return internal::Win32Status(GetLastError(), what);
    }
    const bool link = (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if ((a & FILE_ATTRIBUTE_DIRECTORY) && !link) {
      return Status::Error(EISDIR, what);
    }
    if (!link && (a & FILE_ATTRIBUTE_READONLY)) {
      return Status::Error(EACCES, what + " (read-only)");
    }
    // A link to a directory is removed as a directory entry, never entered.
    BOOL ok = (a & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryA(host.c_str())
                                             : DeleteFileA(host.c_str());
    // An open file is refused (sharing violation: EBUSY).
    if (!ok) return internal::Win32Status(GetLastError(), what);
    return Status::OK();
  }

  Status RenameFile(const std::string& from, const std::string& to,
                    bool replace) override {
    const std::string what = "rename " + from + " to " + to;
    std::string hf, ht;
    Status s = HostPath(from, &hf);
    if (s.ok()) s = HostPath(to, &ht);
    if (!s.ok()) return s;
    if (GetFileAttributesA(hf.c_str()) == INVALID_FILE_ATTRIBUTES) {
      return internal::Win32Status(GetLastError(), what);
    }
    if (hf == ht) return Status::OK();
    // Names differing in case only lead to the same entry: a change of case
    // only, never a replacement.
    FileInfo a, b;
    const bool same =
        CompareNoCase(hf, ht) && internal::GetHostFileInfo(hf, &a).ok() &&
        internal::GetHostFileInfo(ht, &b).ok() && a.inode == b.inode;
    if (!same) {
      DWORD t = GetFileAttributesA(ht.c_str());
      if (t != INVALID_FILE_ATTRIBUTES) {
        if (!replace) return Status::Error(EEXIST, what);
        if ((t & FILE_ATTRIBUTE_READONLY) &&
            (t & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
          return Status::Error(EACCES, what + " (target read-only)");
        }
      }
    }
    DWORD flags = MOVEFILE_COPY_ALLOWED;
    if (replace && !same) flags |= MOVEFILE_REPLACE_EXISTING;
    // A file open anywhere is refused (sharing violation: EBUSY), as is a
    // replaced target that is open.
    if (!MoveFileExA(hf.c_str(), ht.c_str(), flags)) {
      return internal::Win32Status(GetLastError(), what);
    }
    return Status::OK();
  }

  Status CopyFile(const std::string& from, const std::string& to,
                  bool fail_if_exists) override {
    std::string hf, ht;
    Status s = HostPath(from, &hf);
    if (s.ok()) s = HostPath(to, &ht);
    if (!s.ok()) return s;
    return internal::CopyHostFile(hf, ht, fail_if_exists);
  }

  Status CreateDir(const std::string& path) override {
    std::string host;
    Status s = HostPath(path, &host);
    if (!s.ok()) return s;
    if (!CreateDirectoryA(host.c_str(), nullptr)) {
      return internal::Win32Status(GetLastError(), "create directory " + path);
    }
    return Status::OK();
  }

  Status RemoveDir(const std::string& path) override {
    std::string host;
    Status s = HostPath(path, &host);
    if (!s.ok()) return s;
    const std::string what = "remove directory " + path;
    DWORD a = INVALID_FILE_ATTRIBUTES;
    if (!IsDirectory(host, &a)) {
      if (a == INVALID_FILE_ATTRIBUTES) {
        return internal::Win32Status(GetLastError(), what);
      }
      return Status::Error(ENOTDIR, what);
    }
    if (!RemoveDirectoryA(host.c_str())) {
      return internal::Win32Status(GetLastError(), what);
    }
    return Status::OK();
  }

  Status GetAttributes(const std::string& path, uint32_t* attrs) override {
    *attrs = 0;
    std::string host;
    Status s = HostPath(path, &host);
    if (!s.ok()) return s;
    DWORD a = GetFileAttributesA(host.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) {
      return internal::Win32Status(GetLastError(), "attributes of " + path);
    }
    // The interface's bits are the Windows bits.
    *attrs = a & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory |
                  kAttrArchive);
    if (*attrs == 0) *attrs = kAttrNormal;
    return Status::OK();
  }

  Status SetAttributes(const std::string& path, uint32_t attrs) override {
    std::string host;
    Status s = HostPath(path, &host);
    if (!s.ok()) return s;
    DWORD a =
        attrs & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive);
    if (!SetFileAttributesA(host.c_str(), a != 0 ? a : FILE_ATTRIBUTE_NORMAL)) {
      return internal::Win32Status(GetLastError(), "set attributes of " + path);
    }
    return Status::OK();
  }

  Status ListDir(const std::string& dir, const std::string& mask,
                 std::vector<DirEntry>* entries) override {
    entries->clear();
    std::string host;
    Status s = HostPath(dir, &host);
    if (!s.ok()) return s;
    return internal::ListHostDir(host, mask, entries);
  }

  Status CopyTree(const std::string& from, const std::string& to) override {
    std::string hf, ht;
    Status s = HostPath(from, &hf);
    if (s.ok()) s = HostPath(to, &ht);
    if (!s.ok()) return s;
    return internal::CopyHostTree(hf, ht);
  }

  Status DeleteTree(const std::string& path) override {
    std::string host;
    Status s = HostPath(path, &host);
    if (!s.ok()) return s;
    return internal::DeleteHostTree(host);
  }

  Status ReadLink(const std::string& path, std::string* target) override {
    target->clear();
    std::string host;
    Status s = HostPath(path, &host);
    if (!s.ok()) return s;
    return internal::ReadLinkImpl(host, target);
  }

  bool IsExecutable(const std::string& path) override {
    std::string host;
    return HostPath(path, &host).ok() && internal::IsExecutableImpl(host);
  }

  std::string TempDir() override {
    char buf[MAX_PATH + 2];
    DWORD n = GetTempPathA(sizeof(buf), buf);
    std::string dir = (n > 0 && n < sizeof(buf)) ? std::string(buf, n) : "";
    if (dir.empty()) dir = CurrentDir();
    while (dir.size() > 3 && IsSepChar(dir.back())) dir.pop_back();
    return dir;
  }

  std::string CurrentDir() override {
    std::vector<char> buf(MAX_PATH + 1);
    for (;;) {
      DWORD n =
          GetCurrentDirectoryA(static_cast<DWORD>(buf.size()), buf.data());
      if (n == 0) return "";
      if (n < buf.size()) return std::string(buf.data(), n);
      buf.resize(n + 1);
    }
  }

  int64_t NowSeconds() override {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    uint64_t t = (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
    return static_cast<int64_t>((t - 116444736000000000ULL) / 10000000ULL);
  }

  uint64_t NowMicros() override {
    static const uint64_t freq = [] {
      LARGE_INTEGER f;
      QueryPerformanceFrequency(&f);
      return static_cast<uint64_t>(f.QuadPart);
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    const uint64_t ticks = static_cast<uint64_t>(c.QuadPart);
    return ticks / freq * 1000000u + ticks % freq * 1000000u / freq;
  }

  LocalTime Now() override {
    SYSTEMTIME st;
    GetLocalTime(&st);
    LocalTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    t.millisecond = st.wMilliseconds;
    t.weekday = st.wDayOfWeek;  // 0 = Sunday, as on the other host
    return t;
  }

  void SleepMs(int64_t ms) override {
    while (ms > 0) {
      const DWORD step = static_cast<DWORD>(std::min<int64_t>(ms, 0x7fffffff));
      Sleep(step);
      ms -= step;
    }
  }

  bool GetEnv(const std::string& name, std::string* value) override {
    std::vector<char> buf(256);
    for (;;) {
      SetLastError(0);
      DWORD n = GetEnvironmentVariableA(name.c_str(), buf.data(),
                                        static_cast<DWORD>(buf.size()));
      if (n == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
        value->clear();
        return true;
      }
      if (n < buf.size()) {
        value->assign(buf.data(), n);
        return true;
      }
      buf.resize(n + 1);
    }
  }

  // The process environment (what children inherit) and the C runtime's
  // copy (getenv) are both kept up to date.
  Status SetEnv(const std::string& name, const std::string& value) override {
    const std::string what = "set environment variable " + name;
    if (!ValidEnvName(name)) return Status::Error(EINVAL, what);
    _putenv_s(name.c_str(), value.c_str());  // "" removes it there
    if (!SetEnvironmentVariableA(name.c_str(), value.c_str())) {
      return internal::Win32Status(GetLastError(), what);
    }
    return Status::OK();
  }

  Status UnsetEnv(const std::string& name) override {
    const std::string what = "unset environment variable " + name;
    if (!ValidEnvName(name)) return Status::Error(EINVAL, what);
    _putenv_s(name.c_str(), "");
    if (!SetEnvironmentVariableA(name.c_str(), nullptr) &&
        GetLastError() != ERROR_ENVVAR_NOT_FOUND) {
      return internal::Win32Status(GetLastError(), what);
    }
    return Status::OK();
  }

  std::vector<std::string> Environment() override {
    std::vector<std::string> out;
    char* block = GetEnvironmentStringsA();
    if (block == nullptr) return out;
    for (const char* p = block; *p != '\0'; p += std::strlen(p) + 1) {
      // "=C:=C:\dir" entries hold the current directory of each drive.
      if (*p != '=') out.emplace_back(p);
    }
    FreeEnvironmentStringsA(block);
    return out;
  }

  std::string ProgramPath() override { return internal::ProgramPathImpl(); }

  std::string ModulePath(const void* addr) override {
    return internal::ModulePathImpl(addr);
  }

  Status StartProcess(const ProcessSpec& launch,
                      std::unique_ptr<Process>* process) override {
    process->reset();
    ProcessSpec host = launch;
    // A bare program name is left to the process code (search of PATH)
    // unless the current directory holds it.
    bool bare = launch.program.find_first_of("\\/:") == std::string::npos;
    if (!launch.program.empty() && (!bare || FileExists(launch.program))) {
      Status s = HostPath(launch.program, &host.program);
      if (!s.ok()) return s;
    }
    if (!launch.cwd.empty()) {
      Status s = HostPath(launch.cwd, &host.cwd);
      if (!s.ok()) return s;
    }
    return internal::StartProcessImpl(host, process);
  }

  Status ListProcesses(std::vector<ProcessEntry>* list) override {
    list->clear();
    return internal::ListProcessesImpl(list);
  }

  int CurrentProcessId() override {
    return static_cast<int>(GetCurrentProcessId());
  }

 private:
  static bool IsSepChar(char c) { return c == '\\' || c == '/'; }

  // Whether a and b are equal ignoring the case of ASCII letters.
  static bool CompareNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++) {
      char x = a[i], y = b[i];
      if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
      if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
      if (x != y) return false;
    }
    return true;
  }
};

std::atomic<Env*> g_current{nullptr};

}  // namespace

Env* Env::Default() {
  // Never destroyed: code running at exit may still use it.
  static Env* const env = new Win32Env;
  return env;
}

Env* Env::Current() {
  Env* e = g_current.load();
  return e != nullptr ? e : Default();
}

Env* Env::SetCurrent(Env* env) {
  Env* prev = g_current.exchange(env);
  return prev != nullptr ? prev : Default();
}

}  // namespace platform
