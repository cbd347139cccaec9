// The Win32 Env: paths are Windows paths used as they are (drive letters,
// UNC paths), only normalised, and handed by the shared host_env.cc to the
// host pieces; this file has the entry operations of host_dir.h that act on
// single entries (renames, directories, attributes, syncs, the executable
// check), the clock and the environment variables, all through the Win32
// API with ANSI strings (the A functions).

#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/host_env.h"
#include "platform/internal/process_impl.h"
#include "platform/path_parts.h"
#include "platform/win32/dir_win32.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/windows_host.h"

namespace platform {

namespace {

bool IsDirectory(const std::string& host, DWORD* attrs_out = nullptr) {
  DWORD a = GetFileAttributesA(host.c_str());
  if (attrs_out != nullptr) *attrs_out = a;
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ValidEnvName(const std::string& name) {
  return !name.empty() && name.find('=') == std::string::npos;
}

// Changes the case of an entry's name through a temporary name, as not
// every file system changes it on a direct rename.
Status RenameCase(const std::string& from, const std::string& to,
                  const std::string& what) {
  const std::string tmp =
      to + ".~case." + std::to_string(GetCurrentProcessId());
  if (!MoveFileExA(from.c_str(), tmp.c_str(), 0)) {
    return internal::Win32Status(GetLastError(), what);
  }
  if (!MoveFileExA(tmp.c_str(), to.c_str(), 0)) {
    const DWORD err = GetLastError();
    MoveFileExA(tmp.c_str(), from.c_str(), 0);
    return internal::Win32Status(err, what);
  }
  return Status::OK();
}

}  // namespace

namespace internal {

// Windows commits directory entries with the file system's own journal;
// there is nothing to sync. The path is still checked, as callers rely on
// the answer for a missing directory.
Status SyncHostDir(const std::string& host, const std::string& dir) {
  DWORD a = GetFileAttributesA(host.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) {
    return Win32Status(GetLastError(), "sync directory " + dir);
  }
  if ((a & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Status::Error(ENOTDIR, "sync directory " + dir);
  }
  return Status::OK();
}

// Windows runs programs by their extension: nothing to mark. Checks the
// path as the other host does.
Status MarkHostExecutable(const std::string& host, const std::string& path) {
  const std::string what = "mark executable " + path;
  DWORD a = GetFileAttributesA(host.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) {
    return Win32Status(GetLastError(), what);
  }
  if (a & FILE_ATTRIBUTE_REPARSE_POINT) return Status::Error(ELOOP, what);
  if (a & FILE_ATTRIBUTE_DIRECTORY) return Status::Error(EINVAL, what);
  return Status::OK();
}

Status CreateHostDir(const std::string& host, const std::string& path) {
  if (!CreateDirectoryA(host.c_str(), nullptr)) {
    return Win32Status(GetLastError(), "create directory " + path);
  }
  return Status::OK();
}

Status RemoveHostDir(const std::string& host, const std::string& path) {
  const std::string what = "remove directory " + path;
  DWORD a = INVALID_FILE_ATTRIBUTES;
  if (!IsDirectory(host, &a)) {
    if (a == INVALID_FILE_ATTRIBUTES) {
      return Win32Status(GetLastError(), what);
    }
    return Status::Error(ENOTDIR, what);
  }
  if (!RemoveDirectoryA(host.c_str())) {
    return Win32Status(GetLastError(), what);
  }
  return Status::OK();
}

Status GetHostAttributes(const std::string& host, const std::string& path,
                         uint32_t* attrs) {
  *attrs = 0;
  DWORD a = GetFileAttributesA(host.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) {
    return Win32Status(GetLastError(), "attributes of " + path);
  }
  // The interface's bits are the Windows bits.
  *attrs = a & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory |
                kAttrArchive);
  if (*attrs == 0) *attrs = kAttrNormal;
  return Status::OK();
}

Status SetHostAttributes(const std::string& host, const std::string& path,
                         uint32_t attrs) {
  DWORD a = attrs & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive);
  if (!SetFileAttributesA(host.c_str(), a != 0 ? a : FILE_ATTRIBUTE_NORMAL)) {
    return Win32Status(GetLastError(), "set attributes of " + path);
  }
  return Status::OK();
}

Status RenameHostFile(const std::string& hf, const std::string& ht,
                      const std::string& from, const std::string& to,
                      bool replace) {
  const std::string what = "rename " + from + " to " + to;
  if (GetFileAttributesA(hf.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return Win32Status(GetLastError(), what);
  }
  if (hf == ht) return Status::OK();
  // Names differing in case only lead to the same entry: a change of case
  // only, never a replacement.
  FileInfo a, b;
  const bool same = EqualsIgnoreCase(hf, ht) && GetHostFileInfo(hf, &a).ok() &&
                    GetHostFileInfo(ht, &b).ok() && a.inode == b.inode;
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
  if (same) return RenameCase(hf, ht, what);
  DWORD flags = MOVEFILE_COPY_ALLOWED;
  if (replace) flags |= MOVEFILE_REPLACE_EXISTING;
  // A file open anywhere is refused (sharing violation: EBUSY), as is a
  // replaced target that is open.
  if (!MoveFileExA(hf.c_str(), ht.c_str(), flags)) {
    return Win32Status(GetLastError(), what);
  }
  return Status::OK();
}

}  // namespace internal

void KillCurrentProcess() {
  // 128 + 9: the status a waiter sees for a process killed on the other
  // host.
  TerminateProcess(GetCurrentProcess(), 137);
  for (;;) Sleep(INFINITE);
}

namespace {

class Win32Env final : public internal::HostEnv {
 public:
  // No drives root: drive letters are the host's own.
  std::string DrivesRoot() override { return ""; }

  Status HostPath(const std::string& path, std::string* host) override {
    return internal::NormalizeWin32Path(path, host);
  }

  std::string TempDir() override {
    char buf[MAX_PATH + 2];
    DWORD n = GetTempPathA(sizeof(buf), buf);
    std::string dir = (n > 0 && n < sizeof(buf)) ? std::string(buf, n) : "";
    if (dir.empty()) dir = CurrentDir();
    while (dir.size() > 3 && internal::IsPathSep(dir.back())) dir.pop_back();
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

  int CurrentProcessId() override {
    return static_cast<int>(GetCurrentProcessId());
  }
};

}  // namespace

Env* Env::Default() {
  // Never destroyed: code running at exit may still use it.
  static Env* const env = new Win32Env;
  return env;
}

}  // namespace platform
