// HDspLevels: level lines of a formula into numeric tables.

#include "mixtable/hdsp_levels.h"

#include <charconv>
#include <cmath>
#include <new>
#include <string_view>

#include "mixtable/hformula.h"
#include "mixtable/wy_util.h"

namespace {

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' ||
                        s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

// A leading '+' that from_chars refuses; a second sign stays and fails.
std::string_view SkipPlus(std::string_view s) {
  if (s.size() > 1 && s.front() == '+' && s[1] != '-' && s[1] != '+')
    s.remove_prefix(1);
  return s;
}

// The whole of s as an int (decimal, optional sign).
bool ParseCircuit(std::string_view s, int* out) {
  s = SkipPlus(TrimBlanks(s));
  if (s.empty()) return false;
  int v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v, 10);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
  *out = v;
  return true;
}

// The whole of s as a finite decimal number, whatever the locale.
bool ParseLevel(std::string_view s, double* out) {
  s = SkipPlus(TrimBlanks(s));
  if (s.empty()) return false;
  double v = 0.0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v,
                           std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v))
    return false;
  *out = v;
  return true;
}

}  // namespace

int HDspLevels::ParseLevelText(const char* text, std::vector<int>* circuits,
                               std::vector<double>* levels) {
  if (text == nullptr) return 0;
  const std::string_view all(text);
  int pairs = 0;
  size_t pos = 0;
  for (;;) {
    const size_t comma = all.find(',', pos);
    if (comma == std::string_view::npos) break;  // no level follows
    const size_t next = all.find(',', comma + 1);
    const size_t end = next == std::string_view::npos ? all.size() : next;
    int circuit = 0;
    double level = 0.0;
    if (ParseCircuit(all.substr(pos, comma - pos), &circuit) &&
        ParseLevel(all.substr(comma + 1, end - comma - 1), &level)) {
      if (circuits) circuits->push_back(circuit);
      if (levels) levels->push_back(level);
      ++pairs;
    }
    if (next == std::string_view::npos) break;
    pos = next + 1;
  }
  return pairs;
}

void HDspLevels::Clear() {
  // Releases the memory as well (clear() would keep the capacity).
  std::vector<DspLevelInfo>().swap(m_Info);
}

int HDspLevels::LoadLevels(HFormula* formula) {
  Clear();
  if (formula == nullptr) {
    Wy_Trace("Invalid Formula for HDspLevels Ctor");
    return 0;
  }
  const int count = formula->NDspLevelsStrings();
  if (count <= 0) return 0;
  try {
    m_Info.resize(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    Clear();
    Wy_Trace("\nHDspLevels: operator new failed.");
    return 0;
  }
  for (int k = 0; k < count; ++k) {
    const Wy_GdataBitmap& line = formula->m_Levels[k];
    if (line.m_Text.empty()) break;
    DspLevelInfo& info = m_Info[static_cast<size_t>(k)];
    try {
      std::vector<int> circuits;
      std::vector<double> levels;
      const int pairs = ParseLevelText(line.m_Text.c_str(), &circuits, &levels);
      if (pairs == 0) continue;
      info.m_Circuit = std::move(circuits);
      info.m_Level = std::move(levels);
      info.m_Slave = line.m_Id;
      info.m_NCanisters = pairs;
    } catch (const std::bad_alloc&) {
      info = DspLevelInfo();
      Wy_Trace("No memory !!");
      break;
    }
  }
  return 1;
}

HDspLevels::DspLevelInfo* HDspLevels::operator[](int i) {
  if (i < 0 || i >= GetCount()) return nullptr;
  return &m_Info[static_cast<size_t>(i)];
}

const HDspLevels::DspLevelInfo* HDspLevels::operator[](int i) const {
  if (i < 0 || i >= GetCount()) return nullptr;
  return &m_Info[static_cast<size_t>(i)];
}
