// Host paths as the Env's HostPath answers them, read the same way on
// every host: their separators and their roots.

#ifndef PLATFORM_HOST_PATH_H_
#define PLATFORM_HOST_PATH_H_

#include <string>

namespace platform {

// Whether c separates the components of a host path (as HostPath answers
// them): "/", and "\" too on Windows.
constexpr bool IsHostSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

// Whether host (a host path without trailing separators but the root's
// own) names a root: "/" or "" on Linux; on Windows also a drive ("c:",
// "c:\") or a share ("\\server\share").
inline bool IsHostRoot(const std::string& host) {
  if (host.empty() || host == "/") return true;
#ifdef _WIN32
  if (host.size() <= 3 && host.size() >= 2 && host[1] == ':' &&
      (host.size() == 2 || IsHostSeparator(host[2]))) {
    return true;
  }
  if (host.size() > 2 && IsHostSeparator(host[0]) && IsHostSeparator(host[1])) {
    const size_t server_end = host.find_first_of("\\/", 2);
    return server_end == std::string::npos ||
           host.find_first_of("\\/", server_end + 1) == std::string::npos;
  }
#endif
  return false;
}

}  // namespace platform

#endif  // PLATFORM_HOST_PATH_H_
