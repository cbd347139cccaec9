#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace platform {
namespace {

// The engine's lock layout: record n at kBase + n, append lock at kBase,
// whole file kBase..2*kBase.
constexpr uint64_t kBase = 1000000000;

enum ChildCode { kChildLocked = 0, kChildBusy = 1, kChildError = 2 };

// Runs fn in a forked child and answers its exit code.
int RunChild(const std::function<int()>& fn) {
  pid_t pid = fork();
  if (pid == 0) _exit(fn());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// In a child: opens path afresh (an own open file description) and tries
// to lock the range.
int TryLockInChild(const std::string& path, uint64_t off, uint64_t len) {
  return RunChild([&]() -> int {
    std::unique_ptr<File> f;
    if (!Env::Default()->OpenFile(path, OpenMode::kReadWrite, &f).ok()) {
      return 10;
    }
    switch (f->TryLock(off, len)) {
      case LockResult::kLocked:
        return kChildLocked;
      case LockResult::kBusy:
        return kChildBusy;
      default:
        return kChildError;
    }
  });
}

// Reads one byte from fd, waiting at most timeout_ms; -1 on timeout.
int ReadByte(int fd, int timeout_ms) {
  struct pollfd p = {fd, POLLIN, 0};
  if (poll(&p, 1, timeout_ms) != 1) return -1;
  char c;
  return read(fd, &c, 1) == 1 ? c : -1;
}

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLockRetryIntervalMs(5);
    ASSERT_TRUE(env_->OpenFile(path_, OpenMode::kCreateNew, &file_).ok());
  }
  void TearDown() override { SetLockRetryIntervalMs(0); }

  ScopedTempDrives tmp_;
  Env* env_ = Env::Default();
  const std::string path_ = "c:\\data.dbf";
  std::unique_ptr<File> file_;
};

TEST_F(FileTest, PositionedReadsAndWrites) {
  EXPECT_EQ(file_->path(), path_);
  ASSERT_TRUE(file_->WriteAt(4, "abcd", 4).ok());
  uint64_t size = 0;
  ASSERT_TRUE(file_->Size(&size).ok());
  EXPECT_EQ(size, 8u);
  char buf[16];
  size_t got = 0;
  ASSERT_TRUE(file_->ReadAt(0, buf, sizeof(buf), &got).ok());
  ASSERT_EQ(got, 8u);  // short at the end of the file: no error
  EXPECT_EQ(std::string(buf, 8), std::string("\0\0\0\0abcd", 8));
  ASSERT_TRUE(file_->ReadAt(100, buf, 4, &got).ok());
  EXPECT_EQ(got, 0u);

  ASSERT_TRUE(file_->Truncate(6).ok());
  ASSERT_TRUE(file_->Sync().ok());
  FileInfo info;
  ASSERT_TRUE(file_->Stat(&info).ok());
  EXPECT_EQ(info.size, 6u);
  EXPECT_FALSE(info.is_dir);
  EXPECT_FALSE(info.read_only);

  // A second handle sees the same bytes.
  std::unique_ptr<File> other;
  ASSERT_TRUE(env_->OpenFile("C:\\DATA.DBF", OpenMode::kReadOnly, &other).ok());
  ASSERT_TRUE(other->ReadAt(4, buf, 4, &got).ok());
  EXPECT_EQ(std::string(buf, got), "ab");
  EXPECT_EQ(other->WriteAt(0, "x", 1).code(), EBADF);
  EXPECT_EQ(other->Truncate(0).code(), EBADF);
}

TEST_F(FileTest, OpenModes) {
  std::unique_ptr<File> f;
  EXPECT_EQ(env_->OpenFile(path_, OpenMode::kCreateNew, &f).code(), EEXIST);
  EXPECT_EQ(f, nullptr);
  EXPECT_EQ(env_->OpenFile("c:\\none.dbf", OpenMode::kReadWrite, &f).code(),
            ENOENT);
  EXPECT_EQ(env_->OpenFile("c:\\none.dbf", OpenMode::kReadOnly, &f).code(),
            ENOENT);
  EXPECT_EQ(env_->OpenFile("c:\\no\\x.dbf", OpenMode::kCreateAlways, &f).code(),
            ENOENT);
  ASSERT_TRUE(env_->CreateDir("c:\\dir").ok());
  EXPECT_EQ(env_->OpenFile("c:\\dir", OpenMode::kReadOnly, &f).code(), EISDIR);
  EXPECT_EQ(env_->OpenFile("c:\\DIR", OpenMode::kCreateAlways, &f).code(),
            EISDIR);

  ASSERT_TRUE(file_->WriteAt(0, "hello", 5).ok());
  ASSERT_TRUE(env_->OpenFile(path_, OpenMode::kCreateAlways, &f).ok());
  uint64_t size = 1;
  ASSERT_TRUE(f->Size(&size).ok());
  EXPECT_EQ(size, 0u);  // truncated
}

TEST_F(FileTest, ReadOnlyAttributeRefusesWritersWhoeverTheUser) {
  ASSERT_TRUE(file_->WriteAt(0, "keep", 4).ok());
  ASSERT_TRUE(env_->SetAttributes(path_, kAttrReadOnly).ok());
  std::unique_ptr<File> f;
  EXPECT_EQ(env_->OpenFile(path_, OpenMode::kReadWrite, &f).code(), EACCES);
  EXPECT_EQ(env_->OpenFile(path_, OpenMode::kCreateAlways, &f).code(), EACCES);
  ASSERT_TRUE(env_->OpenFile(path_, OpenMode::kReadOnly, &f).ok());
  uint64_t size = 0;
  ASSERT_TRUE(f->Size(&size).ok());
  EXPECT_EQ(size, 4u);  // not truncated by the refused open
  FileInfo info;
  ASSERT_TRUE(f->Stat(&info).ok());
  EXPECT_TRUE(info.read_only);
  ASSERT_TRUE(env_->SetAttributes(path_, kAttrNormal).ok());
  EXPECT_TRUE(env_->OpenFile(path_, OpenMode::kReadWrite, &f).ok());
}

TEST_F(FileTest, DescriptorIsCloseOnExec) {
  std::string host;
  ASSERT_TRUE(env_->HostPath(path_, &host).ok());
  int found = 0;
  DIR* d = opendir("/proc/self/fd");
  ASSERT_NE(d, nullptr);
  while (struct dirent* e = readdir(d)) {
    char target[4096];
    std::string link = std::string("/proc/self/fd/") + e->d_name;
    ssize_t n = readlink(link.c_str(), target, sizeof(target) - 1);
    if (n <= 0 || std::string(target, n) != host) continue;
    found++;
    EXPECT_TRUE(fcntl(atoi(e->d_name), F_GETFD) & FD_CLOEXEC);
  }
  closedir(d);
  EXPECT_EQ(found, 1);
}

TEST_F(FileTest, LocksExcludeOtherProcesses) {
  ASSERT_EQ(file_->TryLock(kBase + 1, 1), LockResult::kLocked);
  EXPECT_EQ(TryLockInChild(path_, kBase + 1, 1), kChildBusy);
  EXPECT_EQ(TryLockInChild(path_, kBase + 2, 1), kChildLocked);
  EXPECT_EQ(TryLockInChild(path_, kBase, kBase), kChildBusy);
  ASSERT_TRUE(file_->Unlock(kBase + 1, 1).ok());
  EXPECT_EQ(TryLockInChild(path_, kBase + 1, 1), kChildLocked);
}

TEST_F(FileTest, TwoHandlesOfOneProcessExcludeEachOther) {
  std::unique_ptr<File> other;
  ASSERT_TRUE(env_->OpenFile(path_, OpenMode::kReadWrite, &other).ok());
  ASSERT_EQ(file_->TryLock(kBase, 1), LockResult::kLocked);
  EXPECT_EQ(other->TryLock(kBase, kBase), LockResult::kBusy);
  // A handle never conflicts with itself.
  EXPECT_EQ(file_->TryLock(kBase, 1), LockResult::kLocked);
  // A read-only handle still takes an exclusive lock.
  std::unique_ptr<File> reader;
  ASSERT_TRUE(env_->OpenFile(path_, OpenMode::kReadOnly, &reader).ok());
  EXPECT_EQ(reader->TryLock(kBase, 1), LockResult::kBusy);
  EXPECT_EQ(reader->TryLock(kBase + 9, 1), LockResult::kLocked);
  EXPECT_EQ(other->TryLock(kBase + 9, 1), LockResult::kBusy);
}

TEST_F(FileTest, SharedLocksCoexistExcludeWritersAndChangeKindInPlace) {
  std::unique_ptr<File> other, reader;
  ASSERT_TRUE(env_->OpenFile(path_, OpenMode::kReadWrite, &other).ok());
  ASSERT_TRUE(env_->OpenFile(path_, OpenMode::kReadOnly, &reader).ok());
  const uint64_t at = 3 * kBase;
  ASSERT_EQ(file_->TryLockShared(at, 1), LockResult::kLocked);
  EXPECT_EQ(reader->TryLockShared(at, 1), LockResult::kLocked);
  EXPECT_EQ(other->TryLock(at, 1), LockResult::kBusy);
  EXPECT_EQ(TryLockInChild(path_, at, 1), kChildBusy);
  // Made exclusive while another handle shares it: refused, still shared.
  EXPECT_EQ(file_->TryLock(at, 1), LockResult::kBusy);
  EXPECT_TRUE(file_->HoldsLock(at, 1));
  ASSERT_TRUE(reader->Unlock(at, 1).ok());
  // Alone now: exclusive in place, then shared again.
  ASSERT_EQ(file_->TryLock(at, 1), LockResult::kLocked);
  EXPECT_EQ(reader->TryLockShared(at, 1), LockResult::kBusy);
  ASSERT_EQ(file_->TryLockShared(at, 1), LockResult::kLocked);
  EXPECT_EQ(reader->TryLockShared(at, 1), LockResult::kLocked);
  ASSERT_TRUE(reader->Unlock(at, 1).ok());
  // One unlock releases it, whatever kinds it went through.
  ASSERT_TRUE(file_->Unlock(at, 1).ok());
  EXPECT_FALSE(file_->HoldsLock(at, 1));
  EXPECT_EQ(TryLockInChild(path_, at, 1), kChildLocked);
  EXPECT_FALSE(file_->Unlock(at, 1).ok());
}

TEST_F(FileTest, RecordReleasedInsideWholeFileLeavesNoHole) {
  ASSERT_EQ(file_->TryLock(kBase, kBase), LockResult::kLocked);
  ASSERT_EQ(file_->TryLock(kBase + 5, 1), LockResult::kLocked);
  ASSERT_TRUE(file_->Unlock(kBase + 5, 1).ok());
  EXPECT_TRUE(file_->HoldsLock(kBase, kBase));
  EXPECT_TRUE(file_->HoldsLock(kBase + 5, 1));
  // Another process still finds the record and the append lock taken.
  EXPECT_EQ(TryLockInChild(path_, kBase + 5, 1), kChildBusy);
  EXPECT_EQ(TryLockInChild(path_, kBase, 1), kChildBusy);
  EXPECT_EQ(TryLockInChild(path_, 2 * kBase - 1, 1), kChildBusy);
  EXPECT_EQ(TryLockInChild(path_, 2 * kBase, 1), kChildLocked);

  // The record lock outlives the release of the whole file.
  ASSERT_EQ(file_->TryLock(kBase + 5, 1), LockResult::kLocked);
  ASSERT_TRUE(file_->Unlock(kBase, kBase).ok());
  EXPECT_TRUE(file_->HoldsLock(kBase + 5, 1));
  EXPECT_FALSE(file_->HoldsLock(kBase, 1));
  EXPECT_EQ(TryLockInChild(path_, kBase + 5, 1), kChildBusy);
  EXPECT_EQ(TryLockInChild(path_, kBase + 4, 1), kChildLocked);
  EXPECT_EQ(TryLockInChild(path_, kBase, 1), kChildLocked);
}

TEST_F(FileTest, UnlockErrorsAndUnlockAll) {
  EXPECT_EQ(file_->Unlock(kBase, 1).code(), ENOLCK);
  Status err;
  EXPECT_EQ(file_->TryLock(kBase, 0, &err), LockResult::kError);
  EXPECT_EQ(err.code(), EINVAL);
  EXPECT_EQ(file_->TryLock(UINT64_MAX - 1, 5, &err), LockResult::kError);
  EXPECT_FALSE(file_->HoldsLock(kBase, 0));

  ASSERT_EQ(file_->TryLock(kBase + 1, 1), LockResult::kLocked);
  ASSERT_EQ(file_->TryLock(kBase + 2, 1), LockResult::kLocked);
  EXPECT_EQ(file_->Unlock(kBase + 1, 2).code(), ENOLCK);  // not as taken
  ASSERT_TRUE(file_->UnlockAll().ok());
  EXPECT_FALSE(file_->HoldsLock(kBase + 1, 1));
  EXPECT_EQ(TryLockInChild(path_, kBase, kBase), kChildLocked);
}

TEST_F(FileTest, ClosingTheHandleReleasesItsLocks) {
  ASSERT_EQ(file_->TryLock(kBase, kBase), LockResult::kLocked);
  EXPECT_EQ(TryLockInChild(path_, kBase + 3, 1), kChildBusy);
  file_.reset();
  EXPECT_EQ(TryLockInChild(path_, kBase + 3, 1), kChildLocked);
}

TEST_F(FileTest, LockWaitsUntilTheOtherProcessReleases) {
  ASSERT_EQ(file_->TryLock(kBase + 1, 1), LockResult::kLocked);
  int to_parent[2];
  ASSERT_EQ(pipe(to_parent), 0);
  pid_t pid = fork();
  if (pid == 0) {
    close(to_parent[0]);
    std::unique_ptr<File> f;
    if (!Env::Default()->OpenFile(path_, OpenMode::kReadWrite, &f).ok()) {
      _exit(10);
    }
    if (f->TryLock(kBase, kBase) != LockResult::kBusy) _exit(11);
    if (write(to_parent[1], "w", 1) != 1) _exit(12);
    if (!f->Lock(kBase, kBase).ok()) _exit(13);
    if (write(to_parent[1], "g", 1) != 1) _exit(14);
    _exit(0);
  }
  close(to_parent[1]);
  EXPECT_EQ(ReadByte(to_parent[0], 30000), 'w');
  // While the parent holds the record, the child keeps waiting.
  EXPECT_EQ(ReadByte(to_parent[0], 100), -1);
  ASSERT_TRUE(file_->Unlock(kBase + 1, 1).ok());
  EXPECT_EQ(ReadByte(to_parent[0], 30000), 'g');
  close(to_parent[0]);
  kill(pid, SIGKILL);  // in case it still waits
  int status = 0;
  waitpid(pid, &status, 0);
}

// A clock that moves only when slept on.
class FakeClockEnv : public EnvWrapper {
 public:
  FakeClockEnv() : EnvWrapper(Env::Default()) {}
  int64_t NowSeconds() override { return ms_ / 1000; }
  void SleepMs(int64_t ms) override {
    ms_ += ms;
    sleeps_++;
  }
  int64_t ms_ = 0;
  int sleeps_ = 0;
};

TEST(LockRetryTest, DefaultWaitsUntilTheSecondsAdvanceByMoreThanOne) {
  SetLockRetryIntervalMs(0);
  for (int64_t start_ms : {100000, 100999, 100500}) {
    FakeClockEnv clock;
    clock.ms_ = start_ms;
    SleepBeforeLockRetry(&clock);
    EXPECT_EQ(clock.NowSeconds(), 102) << start_ms;
  }
  SetLockRetryIntervalMs(7);
  EXPECT_EQ(LockRetryIntervalMs(), 7);
  FakeClockEnv clock;
  SleepBeforeLockRetry(&clock);
  EXPECT_EQ(clock.ms_, 7);
  EXPECT_EQ(clock.sleeps_, 1);
  SetLockRetryIntervalMs(-3);
  EXPECT_EQ(LockRetryIntervalMs(), 0);
}

}  // namespace
}  // namespace platform
