// C strings trimmed in place and separated lists.

#include <cstring>
#include <string>

#include "mixtable/wy_util.h"

namespace {

bool InSet(const char* set, char c) {
  return c != '\0' && std::strchr(set, c) != nullptr;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' ||
         c == '\f';
}

}  // namespace

void Wy_StringDelete(char* str, char* pos, int32_t count) {
  if (str == nullptr || *str == '\0' || pos == nullptr || count <= 0) return;
  size_t len = std::strlen(str);
  // Compare addresses as integers: pos may point anywhere.
  auto begin = reinterpret_cast<uintptr_t>(str);
  auto at = reinterpret_cast<uintptr_t>(pos);
  if (at < begin || at >= begin + len) return;
  size_t offset = at - begin;
  size_t n = static_cast<size_t>(count);
  if (n > len - offset) n = len - offset;
  // Move the tail and its terminator.
  std::memmove(str + offset, str + offset + n, len - offset - n + 1);
}

void Wy_StringLtrim(char* str, const char* set) {
  if (str == nullptr || set == nullptr || *set == '\0') return;
  size_t skip = 0;
  while (InSet(set, str[skip])) ++skip;
  if (skip > 0) std::memmove(str, str + skip, std::strlen(str + skip) + 1);
}

void Wy_StringRtrim(char* str, const char* set) {
  if (str == nullptr || set == nullptr || *set == '\0') return;
  size_t len = std::strlen(str);
  while (len > 0 && InSet(set, str[len - 1])) --len;
  str[len] = '\0';
}

void Wy_StringTrim(char* str, const char* set) {
  Wy_StringLtrim(str, set);
  Wy_StringRtrim(str, set);
}

int Wy_StringEmpty(const char* str) {
  if (str == nullptr) return 1;
  for (; *str != '\0'; ++str) {
    if (!IsBlank(*str)) return 0;
  }
  return 1;
}

int32_t Wy_StringParse_GetNum(const std::string& str, char separator) {
  if (str.empty()) return 0;
  int32_t separators = 0;
  for (char c : str) {
    if (c == separator) ++separators;
  }
  return str.back() == separator ? separators : separators + 1;
}

bool Wy_StringParse_GetItem(std::string& item, const std::string& str,
                            int32_t index, char separator) {
  item.clear();
  if (index < 0 || index >= Wy_StringParse_GetNum(str, separator)) {
    return false;
  }
  size_t begin = 0;
  for (int32_t i = 0; i < index; ++i) {
    begin = str.find(separator, begin) + 1;  // exists: index < item count
  }
  size_t end = str.find(separator, begin);
  item = str.substr(begin, end == std::string::npos ? end : end - begin);
  return true;
}
