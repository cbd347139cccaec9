// Helpers of the user data sources.

#include "maintenance/user_data_internal.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "mixtable/wy_catalog.h"
#include "mixtable/wy_user_data.h"
#include "mixtable/wy_util.h"

namespace wy_user_data_internal {

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::string RightTrim(const std::string& s) {
  const size_t e = s.find_last_not_of(' ');
  return e == std::string::npos ? std::string() : s.substr(0, e + 1);
}

std::string Pad(const std::string& text, size_t width) {
  std::string out = text.substr(0, width);
  out.resize(width, ' ');
  return out;
}

bool IsLocal(const char* machine) {
  return machine == nullptr || *machine == '\0' ||
         EqualNoCase(machine, kWyLocalMachineName);
}

bool ResolveDir(const char* dataDir, const char* machine, std::string* dir) {
  std::string d = Trim(dataDir != nullptr ? dataDir : "");
  if (d.empty()) return false;
  if (IsLocal(machine)) {
    Wy_AddTrailingBackslash(d);
    *dir = d;
    return true;
  }
  std::string cache;
  if (!Wy_CachePath(cache, machine, d.c_str()) || cache.empty()) return false;
  *dir = cache;
  return true;
}

std::string HeadLine(const std::string& descr, const std::string& dir) {
  std::string d = descr;
  for (char& c : d)
    if (c == '\0') c = ' ';
  return std::string(kWyUserDataMark) + Pad(d, kWyUserDataDescrWidth) + dir;
}

bool ParseNumber(const std::string& text, bool integer, double* v) {
  const std::string t = Trim(text);
  if (t.empty()) {
    *v = 0;
    return true;
  }
  char* end = nullptr;
  errno = 0;
  if (integer) {
    const long long n = std::strtoll(t.c_str(), &end, 10);
    if (end != t.c_str() + t.size() || errno != 0 || n > INT32_MAX ||
        n < INT32_MIN)
      return false;
    *v = static_cast<double>(n);
    return true;
  }
  const double d = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || !std::isfinite(d)) return false;
  *v = d;
  return true;
}

bool NumberFits(double v, int width, int dec) {
  if (width <= 0 || dec < 0 || (dec > 0 && dec > width - 2)) return false;
  char buf[400];
  const int n = snprintf(buf, sizeof buf, "%.*f", dec, v);
  return n > 0 && n <= width;
}

RawWrites::RawWrites() : old_flush_(Wdbase::FlushSet(0)) {}

RawWrites::~RawWrites() { Finish(); }

void RawWrites::Add(Wdbase* db) {
  tables_.emplace_back(db, db->SetOEMConversionMode(Wdbase_OEMtoChar_Off));
}

bool RawWrites::Finish() {
  if (done_) return true;
  done_ = true;
  bool ok = true;
  for (auto& [db, mode] : tables_) {
    if (db->IsOpen(0) && !db->Flush()) ok = false;
    db->SetOEMConversionMode(mode);
  }
  Wdbase::FlushSet(old_flush_);
  return ok;
}

}  // namespace wy_user_data_internal
