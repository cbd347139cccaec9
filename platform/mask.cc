#include "platform/mask.h"

#include "platform/env.h"

namespace platform::internal {

namespace {

inline char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Glob match with backtracking to the last "*" (linear in practice).
bool Glob(const std::string& name, const std::string& mask) {
  size_t n = 0, m = 0;
  size_t star = std::string::npos, mark = 0;
  while (n < name.size()) {
    if (m < mask.size() &&
        (mask[m] == '?' ||
         (mask[m] != '*' && Lower(mask[m]) == Lower(name[n])))) {
      n++;
      m++;
    } else if (m < mask.size() && mask[m] == '*') {
      star = m++;
      mark = n;
    } else if (star != std::string::npos) {
      m = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') m++;
  return m == mask.size();
}

bool EndsWith(const std::string& s, const char* tail, size_t len) {
  return s.size() >= len && s.compare(s.size() - len, len, tail) == 0;
}

}  // namespace

bool MatchMask(const std::string& name, const std::string& mask) {
  if (mask.empty() || mask == "*" || mask == "*.*") return true;
  if (Glob(name, mask)) return true;
  if (EndsWith(mask, ".*", 2)) {
    return Glob(name, mask.substr(0, mask.size() - 2));
  }
  if (EndsWith(mask, ".", 1) && name.find('.') == std::string::npos) {
    return Glob(name, mask.substr(0, mask.size() - 1));
  }
  return false;
}

}  // namespace platform::internal

namespace platform {

bool MatchFileMask(const std::string& name, const std::string& mask) {
  return internal::MatchMask(name, mask);
}

}  // namespace platform
