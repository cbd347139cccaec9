// The maintenance log: its location, its entry forms and the appends.

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>

#include "mixtable/wy_catalog.h"
#include "mixtable/wy_maintenance_log.h"
#include "platform/env.h"

#ifndef KALVO_BUILD_LIBDIR
#define KALVO_BUILD_LIBDIR ""
#endif

namespace {

platform::Env* env() { return platform::Env::Current(); }

const char kModuleAnchor = 0;

std::string Format(const char* format, ...)
    __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), format, again);
    out.resize(static_cast<size_t>(n));
  }
  va_end(again);
  return out;
}

std::string WithSeparator(std::string dir) {
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') {
    dir += dir[0] == '/' ? '/' : '\\';
  }
  return dir;
}

}  // namespace

std::string Wy_LogDirectory() {
  std::string dir;
  if (env()->GetEnv("KALVO_LOGDIR", &dir)) {
    while (!dir.empty() && dir.back() == ' ') dir.pop_back();
    if (!dir.empty()) return WithSeparator(dir);
  }
  const std::string module = env()->ModulePath(&kModuleAnchor);
  const size_t sep = module.find_last_of('/');
  const std::string build = KALVO_BUILD_LIBDIR;
  if (!build.empty() && sep != std::string::npos &&
      module.substr(0, sep) == build) {
    return module.substr(0, sep + 1);
  }
  Wy_LocalPath(dir);
  return WithSeparator(dir);
}

Wy_MaintenanceLog::Wy_MaintenanceLog()
    : path_(Wy_LogDirectory() + kWyMaintenanceLogName) {}

Wy_MaintenanceLog::Wy_MaintenanceLog(const std::string& path) : path_(path) {}

std::string Wy_MaintenanceLog::Stamp() {
  const platform::LocalTime t = env()->Now();
  return Format(kWyLogStampFormat, t.year, t.month, t.day, t.hour, t.minute,
                t.second);
}

bool Wy_MaintenanceLog::Converted(const std::string& stamp, int phase,
                                  const std::string& dir,
                                  const std::string& name, bool error) {
  return Append(
      Format(kWyLogConverted, stamp.c_str(), phase, dir.c_str(), name.c_str()) +
      (error ? kWyLogPatchError : ""));
}

bool Wy_MaintenanceLog::ConvertLine(const std::string& stamp, int phase,
                                    const std::string& dir,
                                    const std::string& name,
                                    const std::string& line, bool error) {
  return Append(Format(kWyLogConvertLine, stamp.c_str(), phase, dir.c_str(),
                       name.c_str(), line.c_str()) +
                (error ? kWyLogPatchError : ""));
}

bool Wy_MaintenanceLog::Merged(const std::string& stamp, int phase,
                               const std::string& dir, const std::string& name,
                               bool error) {
  return Append(
      Format(kWyLogMerged, stamp.c_str(), phase, dir.c_str(), name.c_str()) +
      (error ? kWyLogMergeError : ""));
}

bool Wy_MaintenanceLog::Note(const std::string& text) {
  return Append(Stamp() + ": " + text);
}

bool Wy_MaintenanceLog::Append(const std::string& line) {
  if (path_.empty()) return false;
  std::unique_ptr<platform::File> f;
  platform::Status st =
      env()->OpenFile(path_, platform::OpenMode::kReadWrite, &f);
  if (!st.ok()) {
    st = env()->OpenFile(path_, platform::OpenMode::kCreateNew, &f);
    if (!st.ok() && st.code() == EEXIST) {
      st = env()->OpenFile(path_, platform::OpenMode::kReadWrite, &f);
    }
  }
  if (!st.ok()) return false;
  if (!f->Lock(0, 1).ok()) return false;
  uint64_t size = 0;
  st = f->Size(&size);
  if (st.ok() && size > static_cast<uint64_t>(kWyMaintenanceLogLimit)) {
    st = f->Truncate(0);
    size = 0;
  }
  const std::string text = line + "\n";
  if (st.ok()) st = f->WriteAt(size, text.data(), text.size());
  f->Unlock(0, 1);
  return st.ok();
}
