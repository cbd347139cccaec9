#include "formula/dump_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace mixtable_internal {

std::string FixedSix(double value) {
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  std::string out(400, '\0');  // 1e308 with 6 decimals fits
  auto r = std::to_chars(out.data(), out.data() + out.size(), value,
                         std::chars_format::fixed, 6);
  out.resize(r.ec == std::errc() ? r.ptr - out.data() : 0);
  return out;
}

void DumpLines(const std::string& text, Wy_DumpLineFn line, void* user) {
  if (line == nullptr) return;
  size_t begin = 0, end = text.size();
  if (begin < end && text[begin] == '\n') ++begin;
  if (end > begin && text[end - 1] == '\n') --end;
  while (begin <= end) {
    size_t nl = text.find('\n', begin);
    if (nl == std::string::npos || nl > end) nl = end;
    line(text.substr(begin, nl - begin).c_str(), user);
    begin = nl + 1;
    if (nl == end) break;
  }
}

void PrintText(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace mixtable_internal
