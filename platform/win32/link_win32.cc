// The host-file facts of process_impl.h on Windows: the target of a
// symbolic link or junction (FSCTL_GET_REPARSE_POINT) and whether a file is
// a program Windows runs (by its extension).

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/internal/process_impl.h"
#include "platform/path_parts.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/windows_host.h"

// Needs the types of <windows.h>.
#include <winioctl.h>

namespace platform::internal {

namespace {

bool IsLinkAttr(DWORD attrs) {
  return (attrs & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

namespace {

// The layout of a reparse point's data (FSCTL_GET_REPARSE_POINT) for
// symbolic links and mount points (junctions).
struct ReparseData {
  ULONG tag;
  USHORT data_length;
  USHORT reserved;
  USHORT substitute_offset;  // bytes into the path buffer
  USHORT substitute_length;  // bytes
  USHORT print_offset;
  USHORT print_length;
  // Symbolic links: ULONG flags, then the path buffer; mount points: the
  // path buffer at once.
};

std::string Narrow(const wchar_t* w, size_t chars) {
  if (chars == 0) return "";
  int n = WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(chars), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(chars), out.data(), n,
                        nullptr, nullptr);
  }
  return out;
}

}  // namespace

Status ReadLinkImpl(const std::string& host, std::string* target) {
  target->clear();
  const std::string what = "read link " + host;
  const DWORD attrs = GetFileAttributesA(host.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) {
    return Win32Status(GetLastError(), what);
  }
  if (!IsLinkAttr(attrs)) return Status::Error(EINVAL, what);
  Handle h(CreateFileA(
      host.c_str(), FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
      nullptr));
  if (!h.valid()) return Win32Status(GetLastError(), what);
  std::vector<char> buf(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
  DWORD got = 0;
  if (!DeviceIoControl(h.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, buf.data(),
                       static_cast<DWORD>(buf.size()), &got, nullptr)) {
    return Win32Status(GetLastError(), what);
  }
  if (got < sizeof(ReparseData)) return Status::Error(EINVAL, what);
  const auto* rd = reinterpret_cast<const ReparseData*>(buf.data());
  size_t path_at = sizeof(ReparseData);
  if (rd->tag == IO_REPARSE_TAG_SYMLINK) {
    path_at += sizeof(ULONG);
  } else if (rd->tag != IO_REPARSE_TAG_MOUNT_POINT) {
    return Status::Error(EINVAL, what + " (not a link)");
  }
  auto name = [&](USHORT offset, USHORT length) -> std::string {
    size_t begin = path_at + offset;
    if (begin + length > got) return "";
    std::vector<wchar_t> w(length / sizeof(wchar_t));
    std::copy(buf.data() + begin, buf.data() + begin + w.size() * 2,
              reinterpret_cast<char*>(w.data()));
    return Narrow(w.data(), w.size());
  };
  std::string t = name(rd->print_offset, rd->print_length);
  if (t.empty()) {
    t = name(rd->substitute_offset, rd->substitute_length);
    if (t.compare(0, 4, "\\??\\") == 0) t.erase(0, 4);
  }
  if (t.empty()) return Status::Error(EINVAL, what + " (empty target)");
  *target = t;
  return Status::OK();
}

bool IsExecutableImpl(const std::string& host) {
  // Links are followed: the facts of what the path leads to.
  Handle h(CreateFileA(host.c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                       nullptr));
  BY_HANDLE_FILE_INFORMATION bhi;
  if (!h.valid() || !GetFileInformationByHandle(h.get(), &bhi) ||
      (bhi.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  // Windows runs programs by their extension.
  size_t dot = host.find_last_of(".\\/");
  if (dot == std::string::npos || host[dot] != '.') return false;
  const std::string ext = LowerAscii(host.substr(dot));
  return ext == ".exe" || ext == ".com" || ext == ".bat" || ext == ".cmd";
}

}  // namespace platform::internal
