// Field helpers, reflectance text, date, time and data-set version of the
// archive and history code.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "formula/hformula_history_impl.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_fvers_descr.h"
#include "platform/env.h"
#include "platform/line_reader.h"

namespace hformula_impl {

constexpr int kRfl = 16;

int WriteId(Wdbase* db, const char* field, int32_t v) {
  char b[24];
  std::snprintf(b, sizeof b, "%5ld", static_cast<long>(v));
  return db->WriteString(field, b);
}

int WriteDataId(Wdbase* db, const char* field, uint32_t v) {
  char b[24];
  std::snprintf(b, sizeof b, "%10lu", static_cast<unsigned long>(v));
  return db->WriteString(field, b);
}

int WriteFlag(Wdbase* db, const char* field, int v) {
  return db->WriteString(field, v ? "T" : "F");
}

std::string FormatRefl(const double* rfl, int width) {
  bool any = false;
  for (int i = 0; i < kRfl; ++i) any = any || rfl[i] >= 0;
  if (!any) return std::string();
  std::string text;
  char b[64];
  for (int i = 0; i < kRfl; ++i) {
    std::snprintf(b, sizeof b, "%.3lf;", rfl[i] * 100.0);
    text += b;
  }
  if (static_cast<int>(text.size()) > width) return std::string();
  return text;
}

void ParseRefl(const char* text, double* rfl) {
  for (int i = 0; i < kRfl; ++i) rfl[i] = -1.0;
  if (text == nullptr) return;
  const char* p = text;
  while (*p == ' ') ++p;
  if (*p == '\0') return;
  for (int i = 0; i < kRfl && *p != '\0'; ++i) {
    const char* end = std::strchr(p, ';');
    const size_t n = end ? static_cast<size_t>(end - p) : std::strlen(p);
    std::string item(p, n);
    char* stop = nullptr;
    const double v = std::strtod(item.c_str(), &stop);
    bool ok = stop != item.c_str();
    while (ok && *stop == ' ') ++stop;
    if (ok && *stop == '\0' && std::isfinite(v)) rfl[i] = v * 0.01;
    if (end == nullptr) break;
    p = end + 1;
  }
}

std::string Today() {
  const platform::LocalTime t = platform::Env::Current()->Now();
  return Wdbase::MakeDate(t.year, t.month, t.day);
}

std::string NowTime() {
  const platform::LocalTime t = platform::Env::Current()->Now();
  char b[32];
  std::snprintf(b, sizeof b, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return b;
}

double DataVersion(uint32_t id) {
  std::string dir, descr;
  Wy_DataPath(id, dir, descr);
  if (dir.empty()) return 0.0;
  std::vector<std::string> lines;
  if (!platform::ReadLines(dir + kFVersFileName, &lines).ok() || lines.empty())
    return 0.0;
  std::string line = lines[0];
  if (line.size() > kFVersMaxLine) line.resize(kFVersMaxLine);
  // Init falls back to the default version when the line carries none; the
  // history records 0 then. Such a line is kept whole as the description,
  // while a line with a version always leaves a shorter one.
  Wy_FVersDescr fvers;
  fvers.Init(line.c_str());
  std::string rest;
  if (fvers.GetPureDescr(rest) == line) return 0.0;
  double version = 0.0;
  if (!Wy_ParseGDataVersion(fvers.GetVersion().c_str(), &version)) return 0.0;
  return version;
}

AutoFlushOff::AutoFlushOff(Wdbase* db) : db_(db), old_(Wdbase::FlushSet(0)) {}

AutoFlushOff::~AutoFlushOff() {
  Wdbase::FlushSet(old_);
  if (db_ != nullptr && db_->IsOpen(0)) db_->Flush();
}

}  // namespace hformula_impl
