// Directory listing and tree operations on Windows. Listings come from
// FindFirstFileA/FindNextFileA and are filtered by the project's own mask
// matcher, so that a mask lists the same names as on the other host (the
// Windows matcher would also match 8.3 short names). Reparse points
// (symbolic links, junctions) are never followed: copies skip them and
// deletes remove the reparse point itself.

#include "platform/win32/dir_win32.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <vector>

#include "platform/mask.h"
#include "platform/path_parts.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/windows_host.h"

namespace platform::internal {

namespace {

// FILETIME of 1970-01-01 00:00 UTC.
constexpr uint64_t kUnixEpochFileTime = 116444736000000000ULL;
// Windows attributes a copy takes over from its source.
constexpr DWORD kCopiedAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
    FILE_ATTRIBUTE_ARCHIVE;

std::string Join(const std::string& dir, const std::string& name) {
  if (!dir.empty() && IsPathSep(dir.back())) return dir + name;
  return dir + "\\" + name;
}

// The directory part of path and its last component.
std::string Parent(const std::string& path, std::string* name) {
  size_t i = path.find_last_of("\\/");
  if (i == std::string::npos) {
    *name = path;
    return ".";
  }
  *name = path.substr(i + 1);
  // Keep the separator of a root ("c:\", "\").
  if (i == 0 || (i == 2 && path[1] == ':')) return path.substr(0, i + 1);
  return path.substr(0, i);
}

uint64_t FileTimeValue(const FILETIME& ft) {
  return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
}

bool IsLinkAttr(DWORD attrs) {
  return (attrs & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Owns a search handle.
class Find {
 public:
  explicit Find(HANDLE h) : h_(h) {}
  ~Find() {
    if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
  }
  Find(const Find&) = delete;
  Find& operator=(const Find&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// Every entry of dir (not "." and "..") whose name matches mask ("": all),
// unsorted.
Status ReadEntries(const std::string& dir, const std::string& mask,
                   const std::string& what, std::vector<DirEntry>* entries) {
  entries->clear();
  const DWORD attrs = GetFileAttributesA(dir.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) {
    return Win32Status(GetLastError(), what);
  }
  if ((attrs & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Status::Error(ENOTDIR, what);
  }
  WIN32_FIND_DATAA fd;
  Find find(FindFirstFileA(Join(dir, "*").c_str(), &fd));
  if (find.get() == INVALID_HANDLE_VALUE) {
    DWORD err = GetLastError();
    if (err == ERROR_FILE_NOT_FOUND || err == ERROR_NO_MORE_FILES) {
      return Status::OK();
    }
    return Win32Status(err, what);
  }
  do {
    std::string name = fd.cFileName;
    if (name == "." || name == "..") continue;
    if (!mask.empty() && !MatchMask(name, mask)) continue;
    DirEntry e;
    e.name = name;
    FillFileInfoWin32(fd.dwFileAttributes,
                      (uint64_t{fd.nFileSizeHigh} << 32) | fd.nFileSizeLow,
                      FileTimeValue(fd.ftLastWriteTime), 0, &e.info);
    entries->push_back(std::move(e));
  } while (FindNextFileA(find.get(), &fd));
  DWORD err = GetLastError();
  if (err != ERROR_NO_MORE_FILES) return Win32Status(err, what);
  return Status::OK();
}

void SortEntries(std::vector<DirEntry>* entries) {
  std::sort(entries->begin(), entries->end(),
            [](const DirEntry& a, const DirEntry& b) {
              int c = CompareIgnoreCase(a.name, b.name);
              return c != 0 ? c < 0 : a.name < b.name;
            });
}

// The volume serial number and file index of path (reparse points not
// followed); false when it cannot be opened.
bool FileIdentity(const std::string& path, uint64_t* id) {
  Handle h(CreateFileA(
      path.c_str(), FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
      nullptr));
  if (!h.valid()) return false;
  BY_HANDLE_FILE_INFORMATION bhi;
  if (!GetFileInformationByHandle(h.get(), &bhi)) return false;
  id[0] = bhi.dwVolumeSerialNumber;
  id[1] = (uint64_t{bhi.nFileIndexHigh} << 32) | bhi.nFileIndexLow;
  return true;
}

// The name of path's last component as stored ("" when missing).
std::string StoredName(const std::string& path) {
  WIN32_FIND_DATAA fd;
  Find find(FindFirstFileA(path.c_str(), &fd));
  if (find.get() == INVALID_HANDLE_VALUE) return "";
  return fd.cFileName;
}

// Clears the read-only attribute of path when set.
void MakeWritable(const std::string& path, DWORD attrs) {
  if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesA(path.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY);
  }
}

// Removes a file, an empty directory or a reparse point, read-only or not.
// Status names the entry.
Status RemoveOne(const std::string& path, DWORD attrs) {
  if (IsLinkAttr(attrs) && (attrs & FILE_ATTRIBUTE_DIRECTORY) &&
      HostDeletesLinkTargets()) {
    return Status::Error(EPERM, "delete " + path +
                                    " (link left in place: the host would "
                                    "delete what it leads to)");
  }
  MakeWritable(path, attrs);
  BOOL ok = (attrs & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryA(path.c_str())
                                               : DeleteFileA(path.c_str());
  if (ok) return Status::OK();
  DWORD err = GetLastError();
  if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) {
    return Status::OK();
  }
  return Win32Status(err != 0 ? err : ERROR_ACCESS_DENIED, "delete " + path);
}

// Deletes everything inside dir.
Status DeleteContents(const std::string& dir) {
  std::vector<DirEntry> entries;
  std::vector<DWORD> attrs;
  Status first = ReadEntries(dir, "", "delete " + dir, &entries);
  for (const DirEntry& e : entries) {
    const std::string sub = Join(dir, e.name);
    const DWORD a = GetFileAttributesA(sub.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) continue;  // gone meanwhile
    Status s;
    if ((a & FILE_ATTRIBUTE_DIRECTORY) && !IsLinkAttr(a)) {
      s = DeleteContents(sub);
    }
    Status r = RemoveOne(sub, a);
    if (s.ok()) s = r;
    if (first.ok() && !s.ok()) first = s;
  }
  return first;
}

// Copies the open file src (facts in info) to the path to through a
// temporary file beside it.
Status CopyInto(HANDLE src, const BY_HANDLE_FILE_INFORMATION& info,
                const std::string& to, bool replace, const std::string& what) {
  static std::atomic<unsigned> counter{0};
  std::string name;
  const std::string dir = Parent(to, &name);
  std::string tmp;
  HANDLE out = INVALID_HANDLE_VALUE;
  DWORD err = 0;
  for (int attempt = 0; attempt < 100 && out == INVALID_HANDLE_VALUE;
       attempt++) {
    tmp = Join(dir, ".~" + name + "." + std::to_string(GetCurrentProcessId()) +
                        "." + std::to_string(counter.fetch_add(1)) + ".tmp");
    out = CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
      err = GetLastError();
      if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) break;
    }
  }
  if (out == INVALID_HANDLE_VALUE) return Win32Status(err, "copy " + what);
  // Closed by hand: it must be closed before the move.
  auto fail = [&](DWORD code) {
    CloseHandle(out);
    DeleteFileA(tmp.c_str());
    return Win32Status(code, "copy " + what);
  };
  std::vector<char> buf(1 << 16);
  uint64_t pos = 0;
  for (;;) {
    OVERLAPPED ov = {};
    ov.Offset = static_cast<DWORD>(pos & 0xffffffffu);
    ov.OffsetHigh = static_cast<DWORD>(pos >> 32);
    DWORD r = 0;
    if (!ReadFile(src, buf.data(), static_cast<DWORD>(buf.size()), &r, &ov)) {
      DWORD e = GetLastError();
      if (e == ERROR_HANDLE_EOF) break;
      return fail(e);
    }
    if (r == 0) break;
    DWORD done = 0;
    while (done < r) {
      DWORD w = 0;
      if (!WriteFile(out, buf.data() + done, r - done, &w, nullptr) || w == 0) {
        return fail(GetLastError());
      }
      done += w;
    }
    pos += r;
  }
  if (!SetFileTime(out, nullptr, &info.ftLastAccessTime,
                   &info.ftLastWriteTime)) {
    return fail(GetLastError());
  }
  CloseHandle(out);
  auto fail_closed = [&](DWORD code) {
    SetFileAttributesA(tmp.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(tmp.c_str());
    return Win32Status(code, "copy " + what);
  };
  DWORD copied = info.dwFileAttributes & kCopiedAttributes;
  if (!SetFileAttributesA(tmp.c_str(),
                          copied != 0 ? copied : FILE_ATTRIBUTE_NORMAL)) {
    return fail_closed(GetLastError());
  }
  if (!MoveFileExA(tmp.c_str(), to.c_str(),
                   replace ? MOVEFILE_REPLACE_EXISTING : 0)) {
    return fail_closed(GetLastError());
  }
  return Status::OK();
}

Status CopyDir(const std::string& from, const std::string& to) {
  std::vector<DirEntry> names, existing;
  Status s = ReadEntries(from, "", "copy " + from, &names);
  if (!s.ok()) return s;
  s = ReadEntries(to, "", "copy " + to, &existing);
  if (!s.ok()) return s;
  SortEntries(&names);
  for (const DirEntry& e : names) {
    if (e.info.is_link) continue;
    // A target entry with the same name ignoring case keeps its spelling.
    std::string target = e.name;
    for (const DirEntry& x : existing) {
      if (CompareIgnoreCase(x.name, e.name) == 0) {
        target = x.name;
        break;
      }
    }
    const std::string src = Join(from, e.name);
    const std::string dst = Join(to, target);
    if (e.info.is_dir) {
      if (!CreateDirectoryA(dst.c_str(), nullptr) &&
          GetLastError() != ERROR_ALREADY_EXISTS) {
        return Win32Status(GetLastError(), "copy " + src);
      }
      s = CopyDir(src, dst);
    } else {
      s = CopyHostFile(src, dst, /*fail_if_exists=*/false);
    }
    if (!s.ok()) return s;
  }
  return Status::OK();
}

void WalkDir(const std::string& dir, int depth, const Env::TreeVisitor& visit) {
  std::vector<DirEntry> entries;
  ReadEntries(dir, "", "walk " + dir, &entries);
  SortEntries(&entries);
  for (const DirEntry& e : entries) {
    if (!visit(depth, e) || !e.info.is_dir || e.info.is_link) continue;
    WalkDir(Join(dir, e.name), depth + 1, visit);
  }
}

}  // namespace

void FillFileInfoWin32(uint32_t attrs, uint64_t size, uint64_t write_time,
                       uint64_t file_index, FileInfo* info) {
  info->is_dir = (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info->is_link = IsLinkAttr(attrs);
  info->read_only = (attrs & FILE_ATTRIBUTE_READONLY) != 0;
  info->size = info->is_dir ? 0 : size;
  // Floor division, so that times before 1970 keep a positive nanosecond
  // part as on the other host.
  const int64_t ticks = static_cast<int64_t>(write_time - kUnixEpochFileTime);
  int64_t secs = ticks / 10000000;
  int64_t rest = ticks % 10000000;
  if (rest < 0) {
    rest += 10000000;
    secs--;
  }
  info->mtime = secs;
  info->mtime_ns = rest * 100;
  info->inode = file_index;
}

bool HostDeletesLinkTargets() {
  static const bool wine = [] {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr &&
           GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }();
  return wine;
}

bool IsRootPath(const std::string& path) {
  if (path.empty()) return true;  // nothing to name: treat as unsafe
  if (path.size() == 1 && IsPathSep(path[0])) return true;
  if (path.size() <= 3 && path.size() >= 2 && path[1] == ':') {
    return path.size() == 2 || IsPathSep(path[2]);
  }
  if (path.size() > 2 && IsPathSep(path[0]) && IsPathSep(path[1])) {
    // "\\server\share" with at most a trailing separator.
    size_t server_end = path.find_first_of("\\/", 2);
    if (server_end == std::string::npos) return true;
    size_t share_end = path.find_first_of("\\/", server_end + 1);
    return share_end == std::string::npos || share_end + 1 == path.size();
  }
  return false;
}

Status GetHostFileInfo(const std::string& path, FileInfo* info) {
  Handle h(CreateFileA(
      path.c_str(), FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
      nullptr));
  BY_HANDLE_FILE_INFORMATION bhi;
  if (h.valid() && GetFileInformationByHandle(h.get(), &bhi)) {
    FillFileInfoWin32(bhi.dwFileAttributes,
                      (uint64_t{bhi.nFileSizeHigh} << 32) | bhi.nFileSizeLow,
                      FileTimeValue(bhi.ftLastWriteTime),
                      (uint64_t{bhi.nFileIndexHigh} << 32) | bhi.nFileIndexLow,
                      info);
    return Status::OK();
  }
  // Some entries cannot be opened at all; their listing facts still exist.
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
    return Win32Status(GetLastError(), "stat " + path);
  }
  FillFileInfoWin32(data.dwFileAttributes,
                    (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                    FileTimeValue(data.ftLastWriteTime), 0, info);
  return Status::OK();
}

bool HostEntryExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

Status DeleteHostFile(const std::string& host, const std::string& given) {
  const std::string what = "delete " + given;
  DWORD a = GetFileAttributesA(host.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return Win32Status(GetLastError(), what);
  const bool link = IsLinkAttr(a);
  if ((a & FILE_ATTRIBUTE_DIRECTORY) && !link) {
    return Status::Error(EISDIR, what);
  }
  if (!link && (a & FILE_ATTRIBUTE_READONLY)) {
    return Status::Error(EACCES, what + " (read-only)");
  }
  if (link && (a & FILE_ATTRIBUTE_DIRECTORY) && HostDeletesLinkTargets()) {
    return Status::Error(EPERM, what + " (link left in place)");
  }
  // A link to a directory is removed as a directory entry, never entered.
  BOOL ok = (a & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryA(host.c_str())
                                           : DeleteFileA(host.c_str());
  // An open file is refused (sharing violation: EBUSY).
  if (!ok) return Win32Status(GetLastError(), what);
  return Status::OK();
}

Status ListHostDir(const std::string& dir, const std::string& mask,
                   std::vector<DirEntry>* entries) {
  Status s =
      ReadEntries(dir, mask.empty() ? "*" : mask, "list " + dir, entries);
  if (!s.ok()) {
    entries->clear();
    return s;
  }
  SortEntries(entries);
  return Status::OK();
}

Status WalkHostTree(const std::string& dir, const Env::TreeVisitor& visit) {
  const DWORD attrs = GetFileAttributesA(dir.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) {
    return Win32Status(GetLastError(), "walk " + dir);
  }
  if ((attrs & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Status::Error(ENOTDIR, "walk " + dir);
  }
  WalkDir(dir, 1, visit);
  return Status::OK();
}

Status CopyHostFile(const std::string& from, const std::string& to,
                    bool fail_if_exists) {
  const std::string what = from + " to " + to;
  const DWORD attrs = GetFileAttributesA(from.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) {
    return Win32Status(GetLastError(), "copy " + what);
  }
  if (IsLinkAttr(attrs)) {
    return Status::Error(ELOOP, "copy " + what + " (source is a link)");
  }
  if (attrs & FILE_ATTRIBUTE_DIRECTORY) {
    return Status::Error(EISDIR, "copy " + what);
  }
  std::string target = to;
  const DWORD tattrs = GetFileAttributesA(to.c_str());
  if (tattrs != INVALID_FILE_ATTRIBUTES) {
    if (fail_if_exists) return Status::Error(EEXIST, "copy " + what);
    if ((tattrs & FILE_ATTRIBUTE_DIRECTORY) && !IsLinkAttr(tattrs)) {
      return Status::Error(EISDIR, "copy " + what);
    }
    uint64_t a[2], b[2];
    if (FileIdentity(from, a) && FileIdentity(to, b) && a[0] == b[0] &&
        a[1] == b[1]) {
      return Status::Error(EINVAL, "copy " + what + " (same file)");
    }
    if (!IsLinkAttr(tattrs) && (tattrs & FILE_ATTRIBUTE_READONLY)) {
      return Status::Error(EACCES, "copy " + what + " (target read-only)");
    }
    // Replaced under the name it has, whatever case the caller wrote.
    std::string name, stored = StoredName(to);
    std::string dir = Parent(to, &name);
    if (!stored.empty()) target = Join(dir, stored);
  }
  Handle in(CreateFileA(from.c_str(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!in.valid()) return Win32Status(GetLastError(), "copy " + what);
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(in.get(), &info)) {
    return Win32Status(GetLastError(), "copy " + what);
  }
  return CopyInto(in.get(), info, target, !fail_if_exists, what);
}

Status CopyHostTree(const std::string& from, const std::string& to) {
  const std::string what = from + " to " + to;
  const DWORD attrs = GetFileAttributesA(from.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) {
    return Win32Status(GetLastError(), "copy " + what);
  }
  if (IsLinkAttr(attrs)) {
    return Status::Error(ELOOP, "copy " + what + " (source is a link)");
  }
  if ((attrs & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return CopyHostFile(from, to, false);
  }
  const std::string lf = LowerAscii(from), lt = LowerAscii(to);
  const std::string prefix = IsPathSep(lf.back()) ? lf : lf + "\\";
  if (lt == lf || lt.compare(0, prefix.size(), prefix) == 0) {
    return Status::Error(EINVAL, "copy " + what + " (target inside source)");
  }
  if (!CreateDirectoryA(to.c_str(), nullptr) &&
      GetLastError() != ERROR_ALREADY_EXISTS) {
    return Win32Status(GetLastError(), "copy " + what);
  }
  return CopyDir(from, to);
}

Status DeleteHostTree(const std::string& path) {
  // A slip must never empty a whole drive or share.
  if (IsRootPath(path)) {
    return Status::Error(EPERM, "delete " + path + " (root)");
  }
  const DWORD attrs = GetFileAttributesA(path.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) {
    return Win32Status(GetLastError(), "delete " + path);
  }
  Status s;
  if ((attrs & FILE_ATTRIBUTE_DIRECTORY) && !IsLinkAttr(attrs)) {
    s = DeleteContents(path);
  }
  Status r = RemoveOne(path, attrs);
  return s.ok() ? r : s;
}

}  // namespace platform::internal
