// Lexical path helpers shared by the path code of both hosts (path_map.cc
// maps Windows-style paths onto the Linux host, win32/path_win32.cc
// normalises them for the Win32 API): separators, components, "." and ".."
// and ASCII case folding. Pure string work, no host call. Internal to the
// platform layer.

#ifndef PLATFORM_PATH_PARTS_H_
#define PLATFORM_PATH_PARTS_H_

#include <string>
#include <vector>

#include "platform/env.h"

namespace platform::internal {

// Both separators count on both hosts.
inline bool IsPathSep(char c) { return c == '\\' || c == '/'; }

inline bool IsDriveLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// ASCII lower case; bytes >= 0x80 stay as they are.
inline char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
std::string LowerAscii(std::string s);

// ASCII case-insensitive comparison (bytes >= 0x80 compare as they are).
bool EqualsIgnoreCase(const std::string& a, const std::string& b);
int CompareIgnoreCase(const std::string& a, const std::string& b);

// Appends the non-empty components of s (split at "\" and "/") to out.
void SplitPath(const std::string& s, std::vector<std::string>* out);

// Appends the components of given to comps, dropping "." and letting ".."
// remove the component before it. Fails with EACCES (naming path, the
// caller's whole path) when ".." would climb above what comps held.
Status ResolveDots(const std::vector<std::string>& given,
                   const std::string& path, std::vector<std::string>* comps);

}  // namespace platform::internal

#endif  // PLATFORM_PATH_PARTS_H_
