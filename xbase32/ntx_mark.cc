#include "ntx_mark.h"

#include <cstdint>

#include "engine_error.h"
#include "ntx_format.h"

namespace xbase32 {

bool WriteNtxMark(platform::File* f, bool on) {
  const uint8_t b = on ? 1 : 0;
  platform::Status s = f->WriteAt(ntx::kOffCrashMark, &b, 1);
  if (!s.ok()) {
    ReportError(kErrWrite, f->path().c_str(), s.ToString().c_str());
    return false;
  }
  return true;
}

int ReadNtxMark(platform::File* f) {
  uint8_t b = 0;
  size_t got = 0;
  if (!f->ReadAt(ntx::kOffCrashMark, &b, 1, &got).ok()) return -1;
  return got == 1 && b != 0 ? 1 : 0;
}

bool MarkIndexStale(const std::string& path) {
  platform::Env* env = platform::Env::Current();
  std::unique_ptr<platform::File> f;
  if (!env->OpenFile(path, platform::OpenMode::kReadWrite, &f).ok()) {
    return !env->FileExists(path);
  }
  uint64_t size = 0;
  // A file too short for a header is rebuilt anyway.
  if (!f->Size(&size).ok() || size < ntx::kPageSize) return true;
  return WriteNtxMark(f.get(), true);
}

}  // namespace xbase32
