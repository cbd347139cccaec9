// The shared change counter of an open file on Windows (see
// platform::ChangeCounter): eight bytes in a named file mapping backed by
// the paging file, named after the file's volume serial number and file
// index, so every process of the login session that opens the same file
// maps the same counter. The mapping lives while any process holds it open
// and starts at zero again after the last one closed it, when nobody keeps
// anything cached of the file.
//
// Windows has no report of other processes' writes that proves a file
// unchanged (the change notifications of a directory come late and in
// batches), so the counter is never Watched() and the engine keeps no
// record cache across unlocked reads with it or without it. The counter is
// on by default all the same: the special filter's index and the
// absolute-id cache learn of other processes' writes only through it
// (without it another process's rewrite goes unseen). It costs one
// GetFileInformationByHandle per open (about 12 ms under wine, microseconds
// on Windows). $KALVO_CHANGE_COUNTER=off turns the mapping off.

#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/win32/win32_internal.h"

namespace platform {

namespace internal {
namespace {

// The view is one page; the counter is its first eight bytes.
constexpr DWORD kMapSize = 64;

class MappedCounter final : public ChangeCounter {
 public:
  MappedCounter(HANDLE mapping, void* view) : mapping_(mapping), view_(view) {}
  ~MappedCounter() override {
    UnmapViewOfFile(view_);
    CloseHandle(mapping_);
  }

  uint64_t Load() const override {
    return std::atomic_ref<uint64_t>(*static_cast<uint64_t*>(view_))
        .load(std::memory_order_acquire);
  }
  uint64_t Bump() override {
    return std::atomic_ref<uint64_t>(*static_cast<uint64_t*>(view_))
        .fetch_add(1, std::memory_order_acq_rel);
  }
  // Stamp() is Load() and Watched() false: see the file comment.

 private:
  HANDLE mapping_;
  void* view_;
};

bool CounterWanted() {
  const char* v = getenv("KALVO_CHANGE_COUNTER");
  return v == nullptr || (strcmp(v, "off") != 0 && strcmp(v, "0") != 0);
}

// Files other machines may change: a counter in this machine's memory
// would not see their writes. UNC paths and mapped network drives.
bool IsNetworkPath(const std::string& path) {
  if (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') &&
      (path[1] == '\\' || path[1] == '/')) {
    // "\\?\C:\..." and "\\.\..." are local device paths; "\\?\UNC\" is not.
    if (path.size() >= 4 && (path[2] == '?' || path[2] == '.') &&
        (path[3] == '\\' || path[3] == '/')) {
      return path.compare(4, 4, "UNC\\") == 0;
    }
    return true;
  }
  if (path.size() >= 2 && path[1] == ':') {
    const char root[] = {path[0], ':', '\\', '\0'};
    return GetDriveTypeA(root) == DRIVE_REMOTE;
  }
  return GetDriveTypeA(nullptr) == DRIVE_REMOTE;  // the current drive
}

}  // namespace

Status OpenSharedChangeCounterWin32(void* handle, const std::string& path,
                                    std::unique_ptr<ChangeCounter>* counter) {
  counter->reset();
  if (!CounterWanted()) {
    return Status::Error(ENOTSUP, "change counter of " + path + " (off)");
  }
  if (IsNetworkPath(path)) {
    return Status::Error(ENOTSUP,
                         "change counter of " + path + " (network file)");
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(static_cast<HANDLE>(handle), &info)) {
    return Win32Status(GetLastError(), "change counter of " + path);
  }
  char name[96];
  std::snprintf(name, sizeof name, "Local\\kalvo-change-%08lx-%08lx%08lx",
                static_cast<unsigned long>(info.dwVolumeSerialNumber),
                static_cast<unsigned long>(info.nFileIndexHigh),
                static_cast<unsigned long>(info.nFileIndexLow));
  // Creates the mapping, or opens the one another process made (zero
  // filled when new).
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr,
                                      PAGE_READWRITE, 0, kMapSize, name);
  if (mapping == nullptr) {
    return Win32Status(GetLastError(), std::string("file mapping ") + name);
  }
  void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, kMapSize);
  if (view == nullptr) {
    const DWORD err = GetLastError();
    CloseHandle(mapping);
    return Win32Status(err, std::string("map view ") + name);
  }
  *counter = std::make_unique<MappedCounter>(mapping, view);
  return Status::OK();
}

}  // namespace internal
}  // namespace platform
