// Wy_FVersDescr and the FVERS.DAT line format.

#include "mixtable/wy_fvers_descr.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool Wy_ParseGDataVersion(const char* text, double* value) {
  if (text == nullptr) return false;
  const char* b = text;
  while (IsBlank(*b)) ++b;
  const char* e = b + std::strlen(b);
  while (e > b && IsBlank(e[-1])) --e;
  // Digits with at most one point, at least one digit; nothing else (no
  // sign, exponent, "inf" or "nan", which strtod would take).
  int digits = 0, points = 0;
  for (const char* p = b; p < e; ++p) {
    if (*p >= '0' && *p <= '9') {
      ++digits;
    } else if (*p == '.') {
      ++points;
    } else {
      return false;
    }
  }
  if (digits == 0 || points > 1 || e - b > 32) return false;
  const double v = std::strtod(std::string(b, e).c_str(), nullptr);
  if (!(v >= 0.0) || v >= kFVersVersionLimit) return false;
  if (value) *value = v;
  return true;
}

std::string Wy_FormatFVersLine(double version, const std::string& descr) {
  if (!(version >= 0.0) || version >= kFVersVersionLimit) return std::string();
  std::string d = descr;
  for (char& c : d)
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  // A reader drops the description's leading blanks: so does the writer.
  d.erase(0, d.find_first_not_of(' '));
  char buf[kFVersVersionWidth + kFVersDescrWidth + 8];
  std::snprintf(buf, sizeof buf, kFVersVersionFormat, version);
  std::string line = buf;
  std::snprintf(buf, sizeof buf, kFVersDescrFormat, d.c_str());
  line += buf;
  const size_t end = line.find_last_not_of(' ');
  line.resize(end == std::string::npos ? 0 : end + 1);
  return line;
}

bool Wy_FVersDescr::Init(const char* line) {
  const std::string l = line ? line : "";
  const size_t p = l.find(' ');
  if (p == std::string::npos || p > 5 ||
      !Wy_ParseGDataVersion(l.substr(0, p).c_str(), nullptr)) {
    // A lone version is how a set with an empty description is written.
    if (p == std::string::npos && Wy_ParseGDataVersion(l.c_str(), nullptr)) {
      m_sVersion = l;
      m_sDescr.clear();
      return true;
    }
    m_sVersion = kFVersDefaultVersion;
    m_sDescr = l;
    return true;
  }
  m_sVersion = l.substr(0, p);
  const size_t d = l.find_first_not_of(' ', p);
  m_sDescr = d == std::string::npos ? std::string() : l.substr(d);
  return true;
}

bool Wy_FVersDescr::SetVersion(const char* version) {
  if (!Wy_ParseGDataVersion(version, nullptr)) return false;
  std::string v = version;
  const size_t b = v.find_first_not_of(" \t");
  const size_t e = v.find_last_not_of(" \t");
  m_sVersion = v.substr(b, e - b + 1);
  return true;
}

const std::string& Wy_FVersDescr::GetPureDescr(std::string& out) const {
  out = m_sDescr;
  return out;
}

bool Wy_FVersDescr::SetPureDescr(const char* descr) {
  m_sDescr = descr ? descr : "";
  return true;
}

const std::string& Wy_FVersDescr::GetCompleteDescr(std::string& out) const {
  double v = 1.0;
  if (!Wy_ParseGDataVersion(m_sVersion.c_str(), &v)) v = 1.0;
  out = Wy_FormatFVersLine(v, m_sDescr);
  return out;
}
