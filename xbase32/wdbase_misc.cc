// Wdbase: conversion mode, dates, debug level, error access and the free
// helper functions of the library.

#include <cstdio>
#include <cstdlib>

#include "engine.h"
#include "engine_error.h"
#include "platform/hooks.h"
#include "xbase32/wdbase.h"

Wdbase_OEMtoChar Wdbase::SetOEMConversionMode(Wdbase_OEMtoChar m) {
  const Wdbase_OEMtoChar old = mode_;
  mode_ = m;
  return old;
}

Wdbase_OEMtoChar Wdbase::GetOEMConversionMode() const { return mode_; }

const char* Wdbase::MakeDate(int y, int m, int d) {
  static char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%8.8ld",
                static_cast<long>(y) * 10000 + m * 100 + d);
  return buffer;
}

void Wdbase::SplitDate(const char* s, int* y, int* m, int* d) {
  const long v = s ? std::strtol(s, nullptr, 10) : 0;
  if (y) *y = static_cast<int>(v / 10000);
  if (m) *m = static_cast<int>((v % 10000) / 100);
  if (d) *d = static_cast<int>(v % 100);
}

int Wdbase::SetDebugLevel(int level) {
  const int old = xbase32::Config().debug_level;
  if (level >= 0 && level <= 2) xbase32::Config().debug_level = level;
  return old;
}

int Wdbase::GetDebugLevel() { return xbase32::Config().debug_level; }

int Wdbase::LastErrorCode() { return xbase32::LastError(); }

const char* Wdbase::LastErrorText() {
  return xbase32::ErrorText(xbase32::LastError());
}

const char* Wdbase::LastErrorDetail(int i) {
  return xbase32::LastErrorDetail(i);
}

int WdbaseVersion(int show, const char* title) {
  if (show) {
    char text[64];
    std::snprintf(text, sizeof text, "XBASE32 storage engine, version %4.2f",
                  xbase32::kVersion / 100.0);
    platform::ShowMessageBox(title ? title : "", text, platform::kMbOk);
  }
  return xbase32::kVersion;
}

int t4cmp_doub(const void* a, const void* b, unsigned len) {
  (void)len;
  const double d =
      *static_cast<const double*>(a) - *static_cast<const double*>(b);
  if (d > 1e-13) return 2;
  if (d < -1e-13) return -1;
  return 0;
}
