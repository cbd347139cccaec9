#include "platform/change_counter.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace platform {

Status File::OpenChangeCounter(std::unique_ptr<ChangeCounter>* counter) {
  counter->reset();
  return Status::Error(ENOTSUP, "change counter of " + path());
}

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

class SharedCounter final : public ChangeCounter {
 public:
  explicit SharedCounter(void* map) : map_(map) {}
  ~SharedCounter() override { munmap(map_, kMapSize); }

  uint64_t Load() const override {
    return std::atomic_ref<uint64_t>(*static_cast<uint64_t*>(map_))
        .load(std::memory_order_acquire);
  }
  uint64_t Bump() override {
    return std::atomic_ref<uint64_t>(*static_cast<uint64_t*>(map_))
        .fetch_add(1, std::memory_order_acq_rel);
  }

 private:
  void* map_;
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
  int shm = shm_open(name, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (shm < 0) return Status::Error(errno, std::string("shm_open ") + name);
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
  const int e = errno;
  close(shm);
  if (map == MAP_FAILED) return Status::Error(e, std::string("mmap ") + name);
  *counter = std::make_unique<SharedCounter>(map);
  return Status::OK();
}

}  // namespace internal
}  // namespace platform
