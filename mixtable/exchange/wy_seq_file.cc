// The sequential file object over platform::File.

#include "mixtable/wy_seq_file.h"

#include "platform/env.h"

namespace {

// The lock guarding a document between GetFileHandle and CloseFileHandle:
// one byte far beyond any content, so readers of the bytes are never
// blocked by it.
constexpr uint64_t kGuardOffset = 0x7FFFFFFF00000000ULL;
constexpr uint64_t kGuardLength = 1;

}  // namespace

Wy_SeqFile::Wy_SeqFile() = default;

Wy_SeqFile::~Wy_SeqFile() { Close(); }

bool Wy_SeqFile::Open(const std::string& path, bool create) {
  Close();
  platform::Env* env = platform::Env::Current();
  if (path.empty()) return false;
  platform::FileInfo info;
  bool exists = env->GetFileInfo(path, &info).ok();
  if (exists && (info.is_dir || info.read_only)) return false;
  if (!exists && !create) return false;
  std::unique_ptr<platform::File> f;
  platform::Status st = env->OpenFile(path, platform::OpenMode::kReadWrite, &f);
  if (!st.ok() && !exists && create) {
    st = env->OpenFile(path, platform::OpenMode::kCreateNew, &f);
    // Another process created it in between: open what it made.
    if (!st.ok()) st = env->OpenFile(path, platform::OpenMode::kReadWrite, &f);
  }
  if (!st.ok()) return false;
  file_ = std::move(f);
  pos_ = 0;
  held_.clear();
  hold_ = false;
  bytes_read_ = 0;
  return true;
}

bool Wy_SeqFile::Close() {
  if (!file_) return true;
  bool ok = Flush();
  Unlock();
  file_.reset();
  held_.clear();
  pos_ = 0;
  return ok;
}

bool Wy_SeqFile::Flush() {
  if (!file_) return false;
  if (held_.empty()) return true;
  bool ok = file_->WriteAt(pos_, held_.data(), held_.size()).ok();
  if (ok) pos_ += held_.size();
  held_.clear();
  return ok;
}

bool Wy_SeqFile::Seek(uint64_t position) {
  if (!file_ || !Flush()) return false;
  pos_ = position;
  return true;
}

bool Wy_SeqFile::GetLength(uint64_t* length) {
  if (!file_) return false;
  uint64_t size = 0;
  if (!file_->Size(&size).ok()) return false;
  uint64_t end = GetPosition();
  *length = held_.empty() || size > end ? size : end;
  return true;
}

bool Wy_SeqFile::SetLength(uint64_t length) {
  if (!file_ || !Flush()) return false;
  return file_->Truncate(length).ok();
}

size_t Wy_SeqFile::Read(void* buf, size_t n) {
  if (!file_ || !Flush()) return 0;
  size_t got = 0;
  if (!file_->ReadAt(pos_, buf, n, &got).ok()) return 0;
  pos_ += got;
  bytes_read_ += got;
  return got;
}

bool Wy_SeqFile::Write(const void* buf, size_t n) {
  if (!file_) return false;
  if (n == 0) return true;
  if (hold_) {
    held_.append(static_cast<const char*>(buf), n);
    return true;
  }
  if (!Flush()) return false;
  if (!file_->WriteAt(pos_, buf, n).ok()) return false;
  pos_ += n;
  return true;
}

bool Wy_SeqFile::LockExclusive(int64_t timeout_ms) {
  if (!file_) return false;
  if (locked_) return true;
  platform::Env* env = platform::Env::Current();
  uint64_t start = env->NowMicros();
  int64_t wait = 1;
  for (;;) {
    platform::LockResult r = file_->TryLock(kGuardOffset, kGuardLength);
    if (r == platform::LockResult::kLocked) {
      locked_ = true;
      return true;
    }
    if (r == platform::LockResult::kError) return false;
    if (static_cast<int64_t>((env->NowMicros() - start) / 1000) >= timeout_ms)
      return false;
    env->SleepMs(wait);
    if (wait < 20) wait *= 2;
  }
}

void Wy_SeqFile::Unlock() {
  if (file_ && locked_) file_->Unlock(kGuardOffset, kGuardLength);
  locked_ = false;
}
