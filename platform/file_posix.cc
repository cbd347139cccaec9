// Host files: pread/pwrite steps (file_base.cc makes whole transfers of
// them and keeps the held ranges), fstat, ftruncate, fdatasync, and
// byte-range locks through open-file-description (OFD) locks.
//
// OFD locks belong to the open file description, so two handles of one
// process exclude each other as two processes do, and a handle never
// conflicts with itself: a record lock inside a held whole-file lock is
// granted. The kernel merges a handle's overlapping ranges into one, so the
// handle keeps its own list (LockSet) and on release gives back only the
// bytes that no other of its ranges covers.

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
#include "platform/file_base.h"
#include "platform/host_file.h"

namespace platform {

namespace {

static_assert(std::numeric_limits<off_t>::max() ==
                  internal::FileBase::kMaxOffset,
              "file offsets are 64-bit");

class PosixFile final : public internal::FileBase {
 public:
  // writable: writes allowed; fd_writable: the descriptor was opened for
  // writing (needed for exclusive locks), even when writes are refused.
  PosixFile(int fd, std::string path, bool writable, bool fd_writable)
      : FileBase(std::move(path), writable),
        fd_(fd),
        fd_writable_(fd_writable) {}
  ~PosixFile() override { close(fd_); }  // releases the handle's locks

  Status Size(uint64_t* size) override {
    struct stat st;
    if (fstat(fd_, &st) != 0) return Error(errno, "stat");
    *size = static_cast<uint64_t>(st.st_size);
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

  Status OpenChangeCounter(std::unique_ptr<ChangeCounter>* counter) override {
    return internal::OpenSharedChangeCounter(fd_, path(), counter);
  }

 protected:
  Status ReadSome(uint64_t offset, char* p, size_t n, size_t* moved) override {
    ssize_t r;
    while ((r = pread(fd_, p, n, static_cast<off_t>(offset))) < 0) {
      if (errno != EINTR) return Error(errno, "read");
    }
    *moved = static_cast<size_t>(r);
    return Status::OK();
  }

  Status WriteSome(uint64_t offset, const char* p, size_t n,
                   size_t* moved) override {
    ssize_t r;
    while ((r = pwrite(fd_, p, n, static_cast<off_t>(offset))) < 0) {
      if (errno != EINTR) return Error(errno, "write");
    }
    *moved = static_cast<size_t>(r);
    return Status::OK();
  }

  Status TruncateHost(uint64_t size) override {
    while (ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      if (errno != EINTR) return Error(errno, "truncate");
    }
    return Status::OK();
  }

  LockResult LockHost(uint64_t offset, uint64_t length, bool shared,
                      Status* err) override {
    // A handle opened read-only cannot hold a write lock; its exclusive
    // lock is a read lock, which still excludes every writer's lock.
    short type = (shared || !fd_writable_) ? F_RDLCK : F_WRLCK;
    struct flock fl = Flock(type, offset, length);
    while (fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EACCES) return LockResult::kBusy;
      if (err != nullptr) *err = Error(errno, "lock");
      return LockResult::kError;
    }
    return LockResult::kLocked;
  }

  // The kernel merged the handle's ranges: only the bytes no other held
  // range covers are given back.
  Status UnlockHost(uint64_t offset, uint64_t length) override {
    Status result;
    for (const auto& gap : locks().Uncovered(offset, length)) {
      struct flock fl = Flock(F_UNLCK, gap.first, gap.second);
      while (fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
        if (errno == EINTR) continue;
        if (result.ok()) result = Error(errno, "unlock");
        break;
      }
    }
    return result;
  }

  Status UnlockAllHost() override {
    struct flock fl = Flock(F_UNLCK, 0, 0);  // length 0: to the end
    while (fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
      if (errno != EINTR) return Error(errno, "unlock");
    }
    return Status::OK();
  }

 private:
  static struct flock Flock(short type, uint64_t offset, uint64_t length) {
    struct flock fl = {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    fl.l_pid = 0;  // required for OFD locks
    return fl;
  }

  const int fd_;
  const bool fd_writable_;
};

}  // namespace

namespace internal {

Status OpenHostFile(const std::string& host, const std::string& given,
                    OpenMode mode, std::unique_ptr<File>* file) {
  file->reset();
  const std::string what = "open " + given;
  struct stat st;
  const bool exists = stat(host.c_str(), &st) == 0;
  Status s = internal::CheckOpenable(exists, exists && S_ISDIR(st.st_mode),
                                     exists && (st.st_mode & S_IWUSR) == 0,
                                     mode, given);
  if (!s.ok()) return s;

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
