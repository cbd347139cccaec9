#include "platform/change_counter.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/write_watch.h"

namespace platform {

namespace internal {
namespace {

// File systems whose files other machines may change: a counter in this
// machine's memory would not see their writes.
bool IsNetworkFileSystem(unsigned long type) {
  switch (type) {
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x65735546:  // FUSE (sshfs and the like)
    case 0x01021997:  // 9P
    case 0x00C36400:  // Ceph
    case 0x5346414F:  // AFS
    case 0x73757245:  // Coda
    case 0x564C:      // NCP
      return true;
    default:
      return false;
  }
}

constexpr size_t kMapSize = 64;

// Every user of a counter object holds a shared lock on its byte 0 for as
// long as it has the object mapped. The last user takes the byte
// exclusively (without waiting) and removes the name; a process that
// opened the object meanwhile gets its shared lock only after that, sees
// the link count 0 and opens the name again, which creates a new object.
// So two live processes never keep using two different objects for one
// file because of this removal.
bool LockShm(int fd, short type, bool wait) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 1;
  while (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

class SharedCounter final : public ChangeCounter {
 public:
  SharedCounter(void* map, int shm, std::string name, WriteWatch watch)
      : map_(map),
        shm_(shm),
        name_(std::move(name)),
        watch_(std::move(watch)) {}
  ~SharedCounter() override {
    munmap(map_, kMapSize);
    struct stat st;
    if (LockShm(shm_, F_WRLCK, false) && fstat(shm_, &st) == 0 &&
        st.st_nlink > 0) {
      shm_unlink(name_.c_str());
    }
    close(shm_);  // releases the lock
  }

  uint64_t Load() const override {
    return std::atomic_ref<uint64_t>(*static_cast<uint64_t*>(map_))
        .load(std::memory_order_acquire);
  }
  uint64_t Bump() override {
    return std::atomic_ref<uint64_t>(*static_cast<uint64_t*>(map_))
        .fetch_add(1, std::memory_order_acq_rel);
  }
  // Two steps per reported write keep the counter's parity (odd: a writer
  // is at work).
  uint64_t Stamp() override {
    const uint64_t c = Load();
    return c + 2 * watch_.Events();
  }
  bool Watched() const override { return watch_.active(); }

 private:
  void* map_;
  int shm_;
  std::string name_;
  WriteWatch watch_;
};

}  // namespace

Status OpenSharedChangeCounter(int fd, const std::string& path,
                               std::unique_ptr<ChangeCounter>* counter) {
  counter->reset();
  struct statfs fs;
  if (fstatfs(fd, &fs) != 0) {
    return Status::Error(errno, "change counter of " + path);
  }
  if (IsNetworkFileSystem(static_cast<unsigned long>(fs.f_type))) {
    return Status::Error(
        ENOTSUP, "change counter of " + path + " (network file system)");
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    return Status::Error(errno, "change counter of " + path);
  }
  char name[96];
  std::snprintf(name, sizeof name, "/kalvo-change-%llx-%llx",
                static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  int shm = -1;
  for (int attempt = 0;; ++attempt) {
    shm = shm_open(name, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (shm < 0) return Status::Error(errno, std::string("shm_open ") + name);
    struct stat ss;
    if (!LockShm(shm, F_RDLCK, true) || fstat(shm, &ss) != 0) {
      const int e = errno;
      close(shm);
      return Status::Error(e, std::string("shm lock ") + name);
    }
    if (ss.st_nlink > 0) break;
    // Removed by its last user meanwhile: open the name again.
    close(shm);
    if (attempt > 100) return Status::Error(EAGAIN, std::string("shm ") + name);
  }
  // Every user of the table must reach the counter, whatever the umask.
  fchmod(shm, 0666);
  struct stat ss;
  if (fstat(shm, &ss) != 0 || (ss.st_size < static_cast<off_t>(kMapSize) &&
                               ftruncate(shm, kMapSize) != 0)) {
    const int e = errno;
    close(shm);
    return Status::Error(e, std::string("shm size ") + name);
  }
  void* map =
      mmap(nullptr, kMapSize, PROT_READ | PROT_WRITE, MAP_SHARED, shm, 0);
  if (map == MAP_FAILED) {
    const int e = errno;
    close(shm);
    return Status::Error(e, std::string("mmap ") + name);
  }
  *counter = std::make_unique<SharedCounter>(map, shm, name, WriteWatch(fd));
  return Status::OK();
}

}  // namespace internal
}  // namespace platform
