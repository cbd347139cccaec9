#include "platform/path_parts.h"

#include <cerrno>

namespace platform::internal {

std::string LowerAscii(std::string s) {
  for (char& c : s) c = LowerAscii(c);
  return s;
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

int CompareIgnoreCase(const std::string& a, const std::string& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; i++) {
    unsigned char x = static_cast<unsigned char>(LowerAscii(a[i]));
    unsigned char y = static_cast<unsigned char>(LowerAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

void SplitPath(const std::string& s, std::vector<std::string>* out) {
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsPathSep(s[i])) i++;
    size_t j = i;
    while (j < s.size() && !IsPathSep(s[j])) j++;
    if (j > i) out->push_back(s.substr(i, j - i));
    i = j;
  }
}

Status ResolveDots(const std::vector<std::string>& given,
                   const std::string& path, std::vector<std::string>* comps) {
  for (const std::string& c : given) {
    if (c == ".") continue;
    if (c == "..") {
      if (comps->empty()) {
        return Status::Error(EACCES, "path climbs above its root: " + path);
      }
      comps->pop_back();
      continue;
    }
    comps->push_back(c);
  }
  return Status::OK();
}

}  // namespace platform::internal
