// CMixtableEx: the library's signature, its parsing, and whether a data set
// was last checked by this library's name and version.

#include <strings.h>

#include <cstdio>
#include <string>

#include "mixtable/mixtable_ex.h"
#include "platform/env.h"

#ifndef KALVO_VERSION
#define KALVO_VERSION "0.0"
#endif

namespace {

// Name and version written into the signature; neither holds "#[]()".
constexpr const char* kSignatureName = "Kalvo MIXTABLE";
constexpr const char* kSignatureVersion = KALVO_VERSION;
// Used when the name or version is not known.
constexpr const char* kUnknownName = "Unknown";
constexpr const char* kUnknownVersion = "0.0";

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

}  // namespace

std::string CMixtableEx::GetSignature() {
  const char* name = *kSignatureName ? kSignatureName : kUnknownName;
  const char* version =
      *kSignatureVersion ? kSignatureVersion : kUnknownVersion;
  const platform::LocalTime t = platform::Env::Current()->Now();
  char buf[256];
  std::snprintf(buf, sizeof buf, kSignatureFormat, name, version, t.year,
                t.month, t.day, t.hour, t.minute, t.second);
  return buf;
}

bool CMixtableEx::GetSignatureData(std::string& signature, std::string& name,
                                   std::string& version, std::string& date,
                                   std::string& time) {
  name.clear();
  version.clear();
  date.clear();
  time.clear();
  if (signature.empty()) signature = GetSignature();
  const std::string& s = signature;
  const size_t hash = s.rfind('#');
  const size_t open_b = s.rfind('[');
  const size_t close_b = s.rfind(']');
  const size_t open_p = s.rfind('(');
  const size_t close_p = s.rfind(')');
  const size_t npos = std::string::npos;
  if (hash == npos || open_b == npos || close_b == npos || open_p == npos ||
      close_p == npos)
    return false;
  if (close_b < open_b || close_p < open_p || open_p < open_b ||
      open_b < hash || hash == 0)
    return false;
  // The version ends two characters before "[" (the blank before it is not
  // part of it); a "[" right after "#" leaves no version.
  if (open_b < hash + 2) return false;
  const std::string n = Trim(s.substr(0, hash));
  const std::string v = Trim(s.substr(hash + 1, open_b - 1 - (hash + 1)));
  const std::string d = Trim(s.substr(open_b + 1, close_b - open_b - 1));
  const std::string t = Trim(s.substr(open_p + 1, close_p - open_p - 1));
  if (n.empty() || v.empty() || d.size() != 10 || t.size() != 8) return false;
  name = n;
  version = v;
  date = d;
  time = t;
  return true;
}

bool CMixtableEx::NeedsAdvancedCheck(std::string& last, std::string& current) {
  std::string sig, name, version, date, time;
  const bool parsed = GetSignatureData(sig, name, version, date, time);
  std::string value, comment;
  const bool found = GetParamLastCheck(value, comment);
  if (parsed && found && !comment.empty()) {
    std::string c = comment, cn, cv, cd, ct;
    if (GetSignatureData(c, cn, cv, cd, ct) &&
        strcasecmp(cn.c_str(), name.c_str()) == 0 &&
        strcasecmp(cv.c_str(), version.c_str()) == 0)
      return false;
  }
  last = comment;
  current = sig;
  return true;
}
