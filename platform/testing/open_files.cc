// Counting the process's open file descriptors (Linux) or handles (Windows).

#include "platform/testing/open_files.h"

#ifdef _WIN32
#include <cstdint>

#include "platform/win32/windows_host.h"
#else
#include <dirent.h>
#endif

namespace platform {

int OpenFileCount() {
#ifdef _WIN32
  // Every valid handle value of the process: files, and the runtime's own
  // events, threads and sections, which stay put while a test runs on one
  // thread. Handle values are multiples of 4; GetProcessHandleCount is not
  // used as wine answers 0 there, nor /proc/self/fd, which under wine lists
  // the host process's descriptors, wine's own caches included.
  constexpr uintptr_t kMaxHandle = uintptr_t{1} << 16;
  int n = 0;
  for (uintptr_t v = 4; v < kMaxHandle; v += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(v), &flags)) ++n;
  }
  return n;
#else
  DIR* d = opendir("/proc/self/fd");
  if (d == nullptr) return -1;
  int n = 0;
  while (dirent* e = readdir(d))
    if (e->d_name[0] != '.') ++n;
  closedir(d);
  return n - 1;  // the listing's own descriptor
#endif
}

}  // namespace platform
