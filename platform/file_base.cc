#include "platform/file_base.h"

#include <cerrno>
#include <memory>
#include <utility>

namespace platform {

// Files of no host (test doubles) share no counter.
Status File::OpenChangeCounter(std::unique_ptr<ChangeCounter>* counter) {
  counter->reset();
  return Status::Error(ENOTSUP, "change counter of " + path());
}

}  // namespace platform

namespace platform::internal {

Status CheckOpenable(bool exists, bool is_dir, bool read_only, OpenMode mode,
                     const std::string& given) {
  const std::string what = "open " + given;
  if (exists && is_dir) return Status::Error(EISDIR, what);
  if (exists && read_only && mode != OpenMode::kReadOnly) {
    // The read-only attribute holds for every user, root included.
    return Status::Error(mode == OpenMode::kCreateNew ? EEXIST : EACCES, what);
  }
  return Status::OK();
}

FileBase::FileBase(std::string path, bool writable)
    : path_(std::move(path)), writable_(writable) {}

Status FileBase::ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) {
  *got = 0;
  if (offset > kMaxOffset) return Error(EINVAL, "read");
  char* p = static_cast<char*>(buf);
  while (*got < n) {
    size_t r = 0;
    Status s = ReadSome(offset + *got, p + *got, n - *got, &r);
    if (!s.ok()) return s;
    if (r == 0) break;  // end of file
    *got += r;
  }
  return Status::OK();
}

Status FileBase::WriteAt(uint64_t offset, const void* buf, size_t n) {
  if (!writable_) return Error(EBADF, "write (opened read-only)");
  if (offset > kMaxOffset || n > kMaxOffset - offset) {
    return Error(EFBIG, "write");
  }
  const char* p = static_cast<const char*>(buf);
  size_t done = 0;
  while (done < n) {
    size_t w = 0;
    Status s = WriteSome(offset + done, p + done, n - done, &w);
    if (!s.ok()) return s;
    if (w == 0) return Error(EIO, "write");
    done += w;
  }
  return Status::OK();
}

Status FileBase::Truncate(uint64_t size) {
  if (!writable_) return Error(EBADF, "truncate (opened read-only)");
  if (size > kMaxOffset) return Error(EFBIG, "truncate");
  return TruncateHost(size);
}

LockResult FileBase::TryLock(uint64_t offset, uint64_t length, Status* err) {
  if (!ValidRange(offset, length)) {
    if (err != nullptr) *err = Error(EINVAL, "lock (bad range)");
    return LockResult::kError;
  }
  LockResult r = LockHost(offset, length, /*shared=*/false, err);
  if (r == LockResult::kLocked) locks_.Add(offset, length);
  return r;
}

LockResult FileBase::TryLockShared(uint64_t offset, uint64_t length,
                                   Status* err) {
  if (!ValidRange(offset, length)) {
    if (err != nullptr) *err = Error(EINVAL, "lock (bad range)");
    return LockResult::kError;
  }
  LockResult r = LockHost(offset, length, /*shared=*/true, err);
  if (r != LockResult::kLocked) return r;
  // A range taken exclusively on top of this shared one (see TryLock)
  // leaves two entries: one goes, so that one Unlock releases the range.
  if (locks_.Remove(offset, length)) {
    if (!locks_.Covers(offset, length)) locks_.Add(offset, length);
  } else {
    locks_.Add(offset, length);
  }
  return r;
}

Status FileBase::Unlock(uint64_t offset, uint64_t length) {
  if (!locks_.Remove(offset, length)) {
    return Error(ENOLCK, "unlock (range not held)");
  }
  return UnlockHost(offset, length);
}

Status FileBase::UnlockAll() {
  locks_.Clear();
  return UnlockAllHost();
}

bool FileBase::HoldsLock(uint64_t offset, uint64_t length) const {
  return ValidRange(offset, length) && locks_.Covers(offset, length);
}

Status FileBase::Error(int code, const char* op) const {
  return Status::Error(code, std::string(op) + " " + path_);
}

bool FileBase::ValidRange(uint64_t offset, uint64_t length) {
  return length > 0 && offset <= kMaxOffset && length <= kMaxOffset - offset;
}

}  // namespace platform::internal
