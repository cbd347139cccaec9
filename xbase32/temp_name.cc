#include "temp_name.h"

#include <cerrno>
#include <cstdio>

#include "engine_error.h"

namespace xbase32 {
namespace {

constexpr const char* kTempDetail = "Temporary Working File";
// Work table numbers tried before giving up.
constexpr int kWorkAttempts = 1000;

}  // namespace

std::string TempFileName(int64_t seconds) {
  char name[16];
  const int digits = static_cast<int>(((seconds % 10000) + 10000) % 10000);
  std::snprintf(name, sizeof name, "TEMP%04d.TMP", digits);
  return name;
}

bool CreateTempFile(std::string* path, std::unique_ptr<platform::File>* file) {
  platform::Env* env = platform::Env::Current();
  std::string dir = env->TempDir();
  if (!dir.empty() && dir.back() != '/') dir += '/';
  platform::Status s;
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    if (attempt > 0) env->SleepMs(kTempRetryMs);
    const std::string candidate = dir + TempFileName(env->NowSeconds());
    s = env->OpenFile(candidate, platform::OpenMode::kCreateNew, file);
    if (s.ok()) {
      *path = candidate;
      return true;
    }
    if (s.code() != EEXIST) break;
  }
  ReportError(kErrCreate, kTempDetail, s.ToString().c_str());
  return false;
}

bool ReserveWorkTable(const std::string& dir, std::string* name) {
  platform::Env* env = platform::Env::Current();
  // Start from a number that differs between processes and calls, then walk
  // on while names are taken.
  static unsigned calls = 0;
  const unsigned start =
      static_cast<unsigned>(env->CurrentProcessId()) * 7919u +
      static_cast<unsigned>(env->NowMicros() % 100000) + 31u * ++calls;
  platform::Status s;
  for (int i = 0; i < kWorkAttempts; ++i) {
    char candidate[16];
    std::snprintf(candidate, sizeof candidate, "$$$%05u.dbf",
                  (start + static_cast<unsigned>(i)) % 100000u);
    std::unique_ptr<platform::File> file;
    s = env->OpenFile(dir + candidate, platform::OpenMode::kCreateNew, &file);
    if (s.ok()) {
      *name = candidate;
      return true;
    }
    if (s.code() != EEXIST) break;
  }
  ReportError(kErrCreate, "Work Table", (dir + "$$$*.dbf").c_str(),
              s.ToString().c_str());
  return false;
}

}  // namespace xbase32
