// The half of a host File that reads the same on every host (and the
// checks before opening one, and File's default of no change counter): the
// bounds of offsets and lock ranges, refusal of writes through a read-only
// handle, whole transfers built from the host's partial reads and writes, and
// the list of lock ranges the handle holds (LockSet). The host classes
// (file_posix.cc, win32/file_win32.cc) supply one host call per step.
// Internal to the platform layer.

#ifndef PLATFORM_FILE_BASE_H_
#define PLATFORM_FILE_BASE_H_

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "platform/env.h"
#include "platform/lock_set.h"

namespace platform::internal {

// The refusals both hosts make before opening a file as mode asks (given:
// the caller's name, for the error text): a directory (EISDIR) and, for
// every mode that writes, a read-only file (EACCES; EEXIST for kCreateNew),
// whoever the user is. exists, is_dir, read_only: what the host says of the
// path now.
Status CheckOpenable(bool exists, bool is_dir, bool read_only, OpenMode mode,
                     const std::string& given);

class FileBase : public File {
 public:
  // The largest offset (and end of a range) either host takes: a signed
  // 64-bit file position.
  static constexpr uint64_t kMaxOffset =
      static_cast<uint64_t>(std::numeric_limits<int64_t>::max());

  // Reads until n bytes, the end of the file or an error; *got counts what
  // arrived (also on error). EINVAL for an offset beyond kMaxOffset.
  Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) final;
  // Writes all n bytes or fails: EBADF on a read-only handle, EFBIG past
  // kMaxOffset, EIO when the host moves nothing.
  Status WriteAt(uint64_t offset, const void* buf, size_t n) final;
  // EBADF on a read-only handle, EFBIG past kMaxOffset.
  Status Truncate(uint64_t size) final;

  // The range is checked (EINVAL for an empty one or one past kMaxOffset)
  // and recorded once the host granted it; see File for the rules.
  LockResult TryLock(uint64_t offset, uint64_t length, Status* err) final;
  LockResult TryLockShared(uint64_t offset, uint64_t length, Status* err) final;
  // ENOLCK for a range not held as given; else the host gives back what no
  // other held range needs.
  Status Unlock(uint64_t offset, uint64_t length) final;
  Status UnlockAll() final;
  bool HoldsLock(uint64_t offset, uint64_t length) const final;

  const std::string& path() const final { return path_; }

 protected:
  // path: the caller's name of the file (error texts); writable: whether
  // writes are allowed through this handle.
  FileBase(std::string path, bool writable);

  // One host read or write of at most n bytes at offset (offset + n within
  // kMaxOffset); *moved is what it moved, 0 at the end of the file.
  virtual Status ReadSome(uint64_t offset, char* p, size_t n,
                          size_t* moved) = 0;
  virtual Status WriteSome(uint64_t offset, const char* p, size_t n,
                           size_t* moved) = 0;
  // Sets the file's size (checked already).
  virtual Status TruncateHost(uint64_t size) = 0;
  // Takes the host lock of a valid range; the base records it when granted.
  virtual LockResult LockHost(uint64_t offset, uint64_t length, bool shared,
                              Status* err) = 0;
  // Called once [offset, offset+length) left locks(): releases the host
  // locks of whatever bytes no held range covers any more.
  virtual Status UnlockHost(uint64_t offset, uint64_t length) = 0;
  // Called once locks() is empty: releases every host lock of the handle.
  virtual Status UnlockAllHost() = 0;

  // "<op> <path>" with an errno value.
  Status Error(int code, const char* op) const;
  bool writable() const { return writable_; }
  LockSet& locks() { return locks_; }
  const LockSet& locks() const { return locks_; }

 private:
  static bool ValidRange(uint64_t offset, uint64_t length);

  const std::string path_;
  const bool writable_;
  LockSet locks_;  // the ranges as asked for
};

}  // namespace platform::internal

#endif  // PLATFORM_FILE_BASE_H_
