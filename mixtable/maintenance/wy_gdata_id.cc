// Wy_GDataID: absolute id, version and the DATAID form built from both.

#include "mixtable/wy_gdata_id.h"

#include <cstdio>
#include <cstring>

#include "mixtable/wy_fvers_descr.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Trimmed(const char* text) {
  std::string t = text;
  const size_t b = t.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  return t.substr(b, t.find_last_not_of(" \t") - b + 1);
}

// Two decimals, no leading blank: 1.05 -> "1.05", 12.5 -> "12.50".
std::string NormalisedVersion(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  return buf;
}

}  // namespace

bool Wy_GDataID::IsDataIdForm(const char* text) {
  if (text == nullptr) return false;
  const std::string t = Trimmed(text);
  return t.size() == kGDataIdLength && t[0] == kGDataIdLead &&
         IsDigit(t[kGDataIdMajorPos]) && IsDigit(t[kGDataIdMajorPos + 1]) &&
         IsDigit(t[kGDataIdMinorPos]) && IsDigit(t[kGDataIdMinorPos + 1]);
}

bool Wy_GDataID::SetData(uint32_t absId, const char* text) {
  if (absId == 0 || text == nullptr) return false;
  if (IsDataIdForm(text)) {
    const std::string t = Trimmed(text);
    const int major = (t[1] - '0') * 10 + (t[2] - '0');
    const int minor = (t[8] - '0') * 10 + (t[9] - '0');
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d.%02d", major, minor);
    m_nAbsId = absId;
    m_sDataID = t;
    m_sVersion = buf;
    return true;
  }
  double v = 0;
  if (!Wy_ParseGDataVersion(text, &v)) return false;
  m_nAbsId = absId;
  m_sVersion = NormalisedVersion(v);
  BuildIdText();
  return true;
}

bool Wy_GDataID::SetVersion(const char* version) {
  double v = 0;
  if (!Wy_ParseGDataVersion(version, &v)) return false;
  m_sVersion = NormalisedVersion(v);
  BuildIdText();
  return true;
}

void Wy_GDataID::BuildIdText() {
  // The version as "%5.2f": " 1.05" or "12.50"; a blank integer digit
  // becomes "0".
  double v = 0;
  Wy_ParseGDataVersion(m_sVersion.c_str(), &v);
  char ver[16];
  std::snprintf(ver, sizeof ver, "%5.2f", v);
  char abs[16];
  std::snprintf(abs, sizeof abs, "%10lu", static_cast<unsigned long>(m_nAbsId));
  std::string id(1, kGDataIdLead);
  id += ver[0] == ' ' ? '0' : ver[0];
  id += ver[1];
  id.append(abs + kGDataIdAbsPos, kGDataIdAbsLength);
  id.append(ver + 3, 2);
  m_sDataID = id;
}

const std::string& Wy_GDataID::GetDataIDString(std::string& out) const {
  out = m_sDataID;
  return out;
}
