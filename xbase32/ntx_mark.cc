#include "ntx_mark.h"

#include <cstdint>

#include "engine_error.h"
#include "ntx_format.h"

namespace xbase32 {

bool WriteNtxMark(platform::File* f, uint8_t value) {
  const uint8_t b = value;
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
  return got == 1 ? b : 0;
}

bool HoldNtxMark(platform::File* f) {
  for (int i = 0;; ++i) {
    platform::Status err;
    const platform::LockResult r =
        f->TryLockShared(ntx::kMarkHolderOffset, ntx::kMarkHolderLength, &err);
    if (r == platform::LockResult::kLocked) break;
    if (r == platform::LockResult::kError || i >= 10000) {
      ReportError(kErrLock, f->path().c_str(), err.ToString().c_str());
      return false;
    }
    platform::Env::Current()->SleepMs(1);  // a holder is closing
  }
  // A stale mark stays stale.
  if (ReadNtxMark(f) == kMarkStale || WriteNtxMark(f, kMarkWriting)) {
    return true;
  }
  f->Unlock(ntx::kMarkHolderOffset, ntx::kMarkHolderLength);
  return false;
}

void ReleaseNtxMark(platform::File* f, bool clear) {
  if (clear &&
      f->TryLock(ntx::kMarkHolderOffset, ntx::kMarkHolderLength) ==
          platform::LockResult::kLocked &&
      ReadNtxMark(f) == kMarkWriting) {
    WriteNtxMark(f, kMarkClear);
  }
  f->Unlock(ntx::kMarkHolderOffset, ntx::kMarkHolderLength);
}

bool StaleNtxMark(platform::File* f) {
  const int mark = ReadNtxMark(f);
  if (mark == kMarkStale) return true;
  if (mark != kMarkWriting) return false;
  if (f->TryLock(ntx::kMarkHolderOffset, ntx::kMarkHolderLength) !=
      platform::LockResult::kLocked) {
    return false;  // a live writer holds it
  }
  // Read again under the hold: a holder may have cleared it meanwhile.
  const bool stale = ReadNtxMark(f) == kMarkWriting;
  f->Unlock(ntx::kMarkHolderOffset, ntx::kMarkHolderLength);
  return stale;
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
  return WriteNtxMark(f.get(), kMarkStale);
}

}  // namespace xbase32
