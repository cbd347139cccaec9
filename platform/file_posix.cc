// Host files: pread/pwrite loops, fstat, ftruncate, fdatasync, and exclusive
// byte-range locks through open-file-description (OFD) locks.
//
// OFD locks belong to the open file description, so two handles of one
// process exclude each other as two processes do, and a handle never
// conflicts with itself: a record lock inside a held whole-file lock is
// granted. The kernel merges a handle's overlapping ranges into one, so the
// handle keeps its own list (LockSet) and on release gives back only the
// bytes that no other of its ranges covers.

#include "platform/host_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <utility>

#include "platform/change_counter.h"
#include "platform/dir_posix.h"
#include "platform/lock_set.h"

namespace platform {

namespace {

constexpr uint64_t kMaxOffset =
    static_cast<uint64_t>(std::numeric_limits<off_t>::max());

class PosixFile final : public File {
 public:
  // writable: writes allowed; fd_writable: the descriptor was opened for
  // writing (needed for exclusive locks), even when writes are refused.
  PosixFile(int fd, std::string path, bool writable, bool fd_writable)
      : fd_(fd),
        path_(std::move(path)),
        writable_(writable),
        fd_writable_(fd_writable) {}
  ~PosixFile() override { close(fd_); }  // releases the handle's locks

  Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) override {
    *got = 0;
    if (offset > kMaxOffset) return Error(EINVAL, "read");
    char* p = static_cast<char*>(buf);
    while (*got < n) {
      ssize_t r =
          pread(fd_, p + *got, n - *got, static_cast<off_t>(offset + *got));
      if (r < 0) {
        if (errno == EINTR) continue;
        return Error(errno, "read");
      }
      if (r == 0) break;  // end of file
      *got += static_cast<size_t>(r);
    }
    return Status::OK();
  }

  Status WriteAt(uint64_t offset, const void* buf, size_t n) override {
    if (!writable_) return Error(EBADF, "write (opened read-only)");
    if (offset > kMaxOffset || n > kMaxOffset - offset) {
      return Error(EFBIG, "write");
    }
    const char* p = static_cast<const char*>(buf);
    size_t done = 0;
    while (done < n) {
      ssize_t r =
          pwrite(fd_, p + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        return Error(errno, "write");
      }
      if (r == 0) return Error(EIO, "write");
      done += static_cast<size_t>(r);
    }
    return Status::OK();
  }

  Status Size(uint64_t* size) override {
    struct stat st;
    if (fstat(fd_, &st) != 0) return Error(errno, "stat");
    *size = static_cast<uint64_t>(st.st_size);
    return Status::OK();
  }

  Status Truncate(uint64_t size) override {
    if (!writable_) return Error(EBADF, "truncate (opened read-only)");
    if (size > kMaxOffset) return Error(EFBIG, "truncate");
    while (ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      if (errno != EINTR) return Error(errno, "truncate");
    }
    return Status::OK();
  }

  Status Sync() override {
    while (fdatasync(fd_) != 0) {
      if (errno != EINTR) return Error(errno, "sync");
    }
    return Status::OK();
  }

  Status Stat(FileInfo* info) override {
    struct stat st;
    if (fstat(fd_, &st) != 0) return Error(errno, "stat");
    internal::FillFileInfo(st, info);
    return Status::OK();
  }

  LockResult TryLock(uint64_t offset, uint64_t length, Status* err) override {
    if (!ValidRange(offset, length)) {
      if (err != nullptr) *err = Error(EINVAL, "lock (bad range)");
      return LockResult::kError;
    }
    // A handle opened read-only cannot hold a write lock; its lock is a
    // read lock, which still excludes every writer's lock.
    struct flock fl = Flock(fd_writable_ ? F_WRLCK : F_RDLCK, offset, length);
    while (fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EACCES) return LockResult::kBusy;
      if (err != nullptr) *err = Error(errno, "lock");
      return LockResult::kError;
    }
    locks_.Add(offset, length);
    return LockResult::kLocked;
  }

  LockResult TryLockShared(uint64_t offset, uint64_t length,
                           Status* err) override {
    if (!ValidRange(offset, length)) {
      if (err != nullptr) *err = Error(EINVAL, "lock (bad range)");
      return LockResult::kError;
    }
    struct flock fl = Flock(F_RDLCK, offset, length);
    while (fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EACCES) return LockResult::kBusy;
      if (err != nullptr) *err = Error(errno, "lock");
      return LockResult::kError;
    }
    // A range taken exclusively on top of this shared one (see TryLock)
    // leaves two entries: one goes, so that one Unlock releases the range.
    if (locks_.Remove(offset, length)) {
      if (!locks_.Covers(offset, length)) locks_.Add(offset, length);
    } else {
      locks_.Add(offset, length);
    }
    return LockResult::kLocked;
  }

  Status Unlock(uint64_t offset, uint64_t length) override {
    if (!locks_.Remove(offset, length)) {
      return Error(ENOLCK, "unlock (range not held)");
    }
    Status result;
    for (const auto& gap : locks_.Uncovered(offset, length)) {
      struct flock fl = Flock(F_UNLCK, gap.first, gap.second);
      while (fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
        if (errno == EINTR) continue;
        if (result.ok()) result = Error(errno, "unlock");
        break;
      }
    }
    return result;
  }

  Status UnlockAll() override {
    locks_.Clear();
    struct flock fl = Flock(F_UNLCK, 0, 0);  // length 0: to the end
    while (fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
      if (errno != EINTR) return Error(errno, "unlock");
    }
    return Status::OK();
  }

  bool HoldsLock(uint64_t offset, uint64_t length) const override {
    return ValidRange(offset, length) && locks_.Covers(offset, length);
  }

  const std::string& path() const override { return path_; }

  Status OpenChangeCounter(std::unique_ptr<ChangeCounter>* counter) override {
    return internal::OpenSharedChangeCounter(fd_, path_, counter);
  }

 private:
  static bool ValidRange(uint64_t offset, uint64_t length) {
    return length > 0 && offset <= kMaxOffset && length <= kMaxOffset - offset;
  }

  static struct flock Flock(short type, uint64_t offset, uint64_t length) {
    struct flock fl = {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    fl.l_pid = 0;  // required for OFD locks
    return fl;
  }

  Status Error(int code, const char* op) const {
    return Status::Error(code, std::string(op) + " " + path_);
  }

  const int fd_;
  const std::string path_;
  const bool writable_;
  const bool fd_writable_;
  internal::LockSet locks_;
};

}  // namespace

namespace internal {

Status OpenHostFile(const std::string& host, const std::string& given,
                     OpenMode mode, std::unique_ptr<File>* file) {
  file->reset();
  const std::string what = "open " + given;
  struct stat st;
  bool exists = stat(host.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return Status::Error(EISDIR, what);
  if (exists && mode != OpenMode::kReadOnly && (st.st_mode & S_IWUSR) == 0) {
    // The read-only attribute holds for every user, root included.
    return Status::Error(mode == OpenMode::kCreateNew ? EEXIST : EACCES, what);
  }

  int flags = O_CLOEXEC;
  bool writable = true;
  switch (mode) {
    case OpenMode::kReadWrite:
    case OpenMode::kGuard:
      flags |= O_RDWR;
      break;
    case OpenMode::kReadOnly:
      // Opened for writing too when the host allows it, so that the handle
      // can take exclusive (write) locks; writes stay refused.
      flags |= O_RDWR;
      writable = false;
      break;
    case OpenMode::kCreateAlways:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case OpenMode::kCreateNew:
      flags |= O_RDWR | O_CREAT | O_EXCL;
      break;
  }
  int fd;
  do {
    fd = open(host.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  bool fd_writable = true;
  if (fd < 0 && mode == OpenMode::kReadOnly &&
      (errno == EACCES || errno == EROFS || errno == ETXTBSY ||
       errno == EPERM)) {
    fd_writable = false;
    do {
      fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
  }
  if (fd < 0) return Status::Error(errno, what);
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    close(fd);
    return Status::Error(EISDIR, what);
  }
  *file = std::make_unique<PosixFile>(fd, given, writable, fd_writable);
  return Status::OK();
}

}  // namespace internal
}  // namespace platform
