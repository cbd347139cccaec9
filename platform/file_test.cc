// The File of every host: positioned I/O, open modes, the read-only
// attribute, lock ranges as the engine takes them (two handles of one
// process, other processes through child processes), and what each host
// does of its own: on Windows an open file can be neither deleted nor
// renamed, by this process or another one (on Linux the engine's "open"
// lock refuses that instead); neither host hands the file to children.

#include <gtest/gtest.h>

#ifdef _WIN32
#include "platform/win32/windows_host.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/testing/child_process.h"
#include "platform/testing/temp_dir.h"

namespace platform {
namespace {

using testing::RunChild;
using testing::ScopedTempDir;

// The engine's lock layout: record n at kBase + n, append lock at kBase,
// whole file kBase..2*kBase.
constexpr uint64_t kBase = 1000000000;

enum ChildCode { kChildLocked = 0, kChildBusy = 1, kChildError = 2 };

uint64_t Num(const std::string& s) {
  return std::strtoull(s.c_str(), nullptr, 10);
}

// args: path, offset, length, "shared" or "exclusive". Opens the file
// afresh and tries the lock.
KALVO_CHILD_MAIN(file_trylock)(const std::vector<std::string>& args) {
  if (args.size() != 4) return 20;
  std::unique_ptr<File> f;
  if (!Env::Default()->OpenFile(args[0], OpenMode::kReadWrite, &f).ok()) {
    return 10;
  }
  LockResult r = args[3] == "shared"
                     ? f->TryLockShared(Num(args[1]), Num(args[2]))
                     : f->TryLock(Num(args[1]), Num(args[2]));
  switch (r) {
    case LockResult::kLocked:
      return kChildLocked;
    case LockResult::kBusy:
      return kChildBusy;
    default:
      return kChildError;
  }
}

// args: path, offset, length, marker directory. Finds the range busy,
// signals "w", waits in Lock, signals "g".
KALVO_CHILD_MAIN(file_lockwait)(const std::vector<std::string>& args) {
  if (args.size() != 4) return 20;
  SetLockRetryIntervalMs(5);
  std::unique_ptr<File> f;
  if (!Env::Default()->OpenFile(args[0], OpenMode::kReadWrite, &f).ok()) {
    return 10;
  }
  if (f->TryLock(Num(args[1]), Num(args[2])) != LockResult::kBusy) return 11;
  if (!testing::SignalFile(args[3] + "\\w")) return 12;
  if (!f->Lock(Num(args[1]), Num(args[2])).ok()) return 13;
  if (!testing::SignalFile(args[3] + "\\g")) return 14;
  return 0;
}

// args: path. Answers the errno code of the delete (0: deleted).
KALVO_CHILD_MAIN(file_delete)(const std::vector<std::string>& args) {
  return args.size() == 1 ? Env::Default()->DeleteFile(args[0]).code() : 20;
}

// args: from, to. Answers the errno code of the rename (0: renamed).
KALVO_CHILD_MAIN(file_rename)(const std::vector<std::string>& args) {
  if (args.size() != 2) return 20;
  return Env::Default()->RenameFile(args[0], args[1], true).code();
}

int TryLockInChild(const std::string& path, uint64_t off, uint64_t len,
                   const char* kind = "exclusive") {
  return RunChild("file_trylock",
                  {path, std::to_string(off), std::to_string(len), kind});
}

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLockRetryIntervalMs(5);
    ASSERT_TRUE(env_->OpenFile(path_, OpenMode::kCreateNew, &file_).ok());
  }
  void TearDown() override { SetLockRetryIntervalMs(0); }

  ScopedTempDir tmp_;
  Env* env_ = Env::Default();
  const std::string path_ = tmp_.Sub("data.dbf");
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
  FileInfo named;
  ASSERT_TRUE(env_->GetFileInfo(path_, &named).ok());
  EXPECT_NE(info.inode, 0u);
  EXPECT_EQ(named.inode, info.inode);  // the handle and the name agree

  // A second handle, named in another case, sees the same bytes.
  std::unique_ptr<File> other;
  ASSERT_TRUE(
      env_->OpenFile(tmp_.Sub("DATA.DBF"), OpenMode::kReadOnly, &other).ok());
  ASSERT_TRUE(other->ReadAt(4, buf, 4, &got).ok());
  EXPECT_EQ(std::string(buf, got), "ab");
  EXPECT_EQ(other->WriteAt(0, "x", 1).code(), EBADF);
  EXPECT_EQ(other->Truncate(0).code(), EBADF);
  EXPECT_TRUE(other->Sync().ok());
  // Beyond 4 GiB: offsets travel in both halves of OVERLAPPED.
  const uint64_t beyond = (uint64_t{1} << 32) + 3;
  ASSERT_TRUE(file_->WriteAt(beyond, "z", 1).ok());
  ASSERT_TRUE(other->ReadAt(beyond, buf, 4, &got).ok());
  EXPECT_EQ(std::string(buf, got), "z");
  ASSERT_TRUE(file_->Truncate(6).ok());
}

TEST_F(FileTest, OpenModes) {
  std::unique_ptr<File> f;
  EXPECT_EQ(env_->OpenFile(path_, OpenMode::kCreateNew, &f).code(), EEXIST);
  EXPECT_EQ(f, nullptr);
  EXPECT_EQ(
      env_->OpenFile(tmp_.Sub("none.dbf"), OpenMode::kReadWrite, &f).code(),
      ENOENT);
  EXPECT_EQ(
      env_->OpenFile(tmp_.Sub("none.dbf"), OpenMode::kReadOnly, &f).code(),
      ENOENT);
  EXPECT_EQ(
      env_->OpenFile(tmp_.Sub("no\\x.dbf"), OpenMode::kCreateAlways, &f).code(),
      ENOENT);
  ASSERT_TRUE(env_->CreateDir(tmp_.Sub("dir")).ok());
  EXPECT_EQ(env_->OpenFile(tmp_.Sub("dir"), OpenMode::kReadOnly, &f).code(),
            EISDIR);
  EXPECT_EQ(env_->OpenFile(tmp_.Sub("DIR"), OpenMode::kCreateAlways, &f).code(),
            EISDIR);

  ASSERT_TRUE(file_->WriteAt(0, "hello", 5).ok());
  ASSERT_TRUE(env_->OpenFile(path_, OpenMode::kCreateAlways, &f).ok());
  uint64_t size = 1;
  ASSERT_TRUE(f->Size(&size).ok());
  EXPECT_EQ(size, 0u);  // truncated, while another handle has it open

  // A hidden file can be created afresh over (CreateFile alone refuses).
  f.reset();
  ASSERT_TRUE(env_->SetAttributes(path_, kAttrHidden).ok());
  ASSERT_TRUE(env_->OpenFile(path_, OpenMode::kCreateAlways, &f).ok());
}

TEST_F(FileTest, ReadOnlyAttributeRefusesWriters) {
  ASSERT_TRUE(file_->WriteAt(0, "keep", 4).ok());
  ASSERT_TRUE(env_->SetAttributes(path_, kAttrReadOnly).ok());
  std::unique_ptr<File> f;
  EXPECT_EQ(env_->OpenFile(path_, OpenMode::kReadWrite, &f).code(), EACCES);
  EXPECT_EQ(env_->OpenFile(path_, OpenMode::kCreateAlways, &f).code(), EACCES);
  EXPECT_EQ(env_->OpenFile(path_, OpenMode::kCreateNew, &f).code(), EEXIST);
  ASSERT_TRUE(env_->OpenFile(path_, OpenMode::kReadOnly, &f).ok());
  uint64_t size = 0;
  ASSERT_TRUE(f->Size(&size).ok());
  EXPECT_EQ(size, 4u);  // not truncated by the refused open
  FileInfo info;
  ASSERT_TRUE(f->Stat(&info).ok());
  EXPECT_TRUE(info.read_only);
  // A read-only handle still takes exclusive locks.
  EXPECT_EQ(f->TryLock(kBase, 1), LockResult::kLocked);
  ASSERT_TRUE(env_->SetAttributes(path_, kAttrNormal).ok());
  EXPECT_TRUE(env_->OpenFile(path_, OpenMode::kReadWrite, &f).ok());
}

#ifdef _WIN32
// Windows: the host refuses to delete, rename or replace a file open
// anywhere. Linux lets the open file go; there the engine's "open" lock
// refuses the same (the engine's share tests), and both end with the same
// files.
TEST_F(FileTest, OpenFileIsNeitherDeletedNorRenamed) {
  ASSERT_TRUE(file_->WriteAt(0, "table", 5).ok());
  const std::string other = tmp_.Sub("other.dbf");
  std::unique_ptr<File> o;
  ASSERT_TRUE(env_->OpenFile(other, OpenMode::kCreateNew, &o).ok());
  o.reset();

  EXPECT_EQ(env_->DeleteFile(path_).code(), EBUSY);
  EXPECT_EQ(env_->RenameFile(path_, tmp_.Sub("moved.dbf"), false).code(),
            EBUSY);
  EXPECT_NE(env_->RenameFile(other, path_, true).code(), 0);  // no swap
  EXPECT_EQ(RunChild("file_delete", {path_}), EBUSY);
  EXPECT_EQ(RunChild("file_rename", {path_, tmp_.Sub("moved.dbf")}), EBUSY);
  EXPECT_TRUE(env_->FileExists(path_));
  EXPECT_TRUE(env_->FileExists(other));
  EXPECT_FALSE(env_->FileExists(tmp_.Sub("moved.dbf")));
  char buf[8];
  size_t got = 0;
  ASSERT_TRUE(file_->ReadAt(0, buf, sizeof(buf), &got).ok());
  EXPECT_EQ(std::string(buf, got), "table");

  // Another handle to the file does not help; closing them all does.
  std::unique_ptr<File> reader;
  ASSERT_TRUE(env_->OpenFile(path_, OpenMode::kReadOnly, &reader).ok());
  file_.reset();
  EXPECT_EQ(env_->DeleteFile(path_).code(), EBUSY);
  reader.reset();
  EXPECT_TRUE(env_->RenameFile(path_, tmp_.Sub("moved.dbf"), false).ok());
  EXPECT_EQ(RunChild("file_delete", {tmp_.Sub("moved.dbf")}), 0);
}

// Neither host hands the File to child processes. Windows: a child started
// with handle inheritance on gets no copy of the handle, so once this
// process closes it, the file can be deleted while the child still runs.
// args: milliseconds.
KALVO_CHILD_MAIN(file_sleep)(const std::vector<std::string>& args) {
  if (args.size() != 1) return 20;
  Env::Default()->SleepMs(static_cast<int64_t>(Num(args[0])));
  return 0;
}

TEST_F(FileTest, HandleIsNotInherited) {
  std::string cmd =
      "\"" + env_->ProgramPath() + "\" --kalvo-child=file_sleep 1500";
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr,
                             /*bInheritHandles=*/TRUE, 0, nullptr, nullptr, &si,
                             &pi));
  CloseHandle(pi.hThread);
  file_.reset();
  EXPECT_TRUE(env_->DeleteFile(path_).ok());
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hProcess);
}
#else
// Linux: the descriptor is closed on exec.
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
#endif

TEST_F(FileTest, LocksExcludeOtherProcesses) {
  ASSERT_EQ(file_->TryLock(kBase + 1, 1), LockResult::kLocked);
  EXPECT_EQ(TryLockInChild(path_, kBase + 1, 1), kChildBusy);
  EXPECT_EQ(TryLockInChild(path_, kBase + 2, 1), kChildLocked);
  EXPECT_EQ(TryLockInChild(path_, kBase, kBase), kChildBusy);
  EXPECT_EQ(TryLockInChild(path_, kBase + 1, 1, "shared"), kChildBusy);
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
  EXPECT_EQ(file_->TryLock(kBase, 10), LockResult::kLocked);
  // A read-only handle still takes an exclusive lock.
  std::unique_ptr<File> reader;
  ASSERT_TRUE(env_->OpenFile(path_, OpenMode::kReadOnly, &reader).ok());
  EXPECT_EQ(reader->TryLock(kBase, 1), LockResult::kBusy);
  EXPECT_EQ(reader->TryLock(kBase + 19, 1), LockResult::kLocked);
  EXPECT_EQ(other->TryLock(kBase + 19, 1), LockResult::kBusy);
  // A refused range leaves nothing of itself behind: its free part stays
  // free for others.
  EXPECT_EQ(other->TryLock(kBase + 15, 10), LockResult::kBusy);
  EXPECT_EQ(reader->TryLock(kBase + 15, 1), LockResult::kLocked);
}

TEST_F(FileTest, SharedLocksCoexistExcludeWritersAndChangeKindInPlace) {
  std::unique_ptr<File> other, reader;
  ASSERT_TRUE(env_->OpenFile(path_, OpenMode::kReadWrite, &other).ok());
  ASSERT_TRUE(env_->OpenFile(path_, OpenMode::kReadOnly, &reader).ok());
  const uint64_t at = 3 * kBase;
  ASSERT_EQ(file_->TryLockShared(at, 1), LockResult::kLocked);
  EXPECT_EQ(reader->TryLockShared(at, 1), LockResult::kLocked);
  EXPECT_EQ(TryLockInChild(path_, at, 1, "shared"), kChildLocked);
  EXPECT_EQ(other->TryLock(at, 1), LockResult::kBusy);
  EXPECT_EQ(TryLockInChild(path_, at, 1), kChildBusy);
  // Made exclusive while another handle shares it: refused, still shared.
  EXPECT_EQ(file_->TryLock(at, 1), LockResult::kBusy);
  EXPECT_TRUE(file_->HoldsLock(at, 1));
  EXPECT_EQ(other->TryLock(at, 1), LockResult::kBusy);
  ASSERT_TRUE(reader->Unlock(at, 1).ok());
  EXPECT_EQ(other->TryLock(at, 1), LockResult::kBusy);  // file_ shares it
  // Alone now: exclusive in place, then shared again.
  ASSERT_EQ(file_->TryLock(at, 1), LockResult::kLocked);
  EXPECT_EQ(reader->TryLockShared(at, 1), LockResult::kBusy);
  EXPECT_EQ(TryLockInChild(path_, at, 1, "shared"), kChildBusy);
  ASSERT_EQ(file_->TryLockShared(at, 1), LockResult::kLocked);
  EXPECT_EQ(reader->TryLockShared(at, 1), LockResult::kLocked);
  EXPECT_EQ(other->TryLock(at, 1), LockResult::kBusy);
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

  // The record taken again inside the whole file outlives its release.
  ASSERT_EQ(file_->TryLock(kBase + 5, 1), LockResult::kLocked);
  ASSERT_TRUE(file_->Unlock(kBase, kBase).ok());
  EXPECT_TRUE(file_->HoldsLock(kBase + 5, 1));
  EXPECT_FALSE(file_->HoldsLock(kBase, 1));
  EXPECT_EQ(TryLockInChild(path_, kBase + 5, 1), kChildBusy);
#ifdef _WIN32
  // Windows: the kernel lock of the whole file stays until the record taken
  // inside it goes too (a lock cannot be cut down to the record without
  // leaving the record free for a moment), so the rest stays busy for
  // others meanwhile. Linux gives the rest back at once.
  EXPECT_EQ(TryLockInChild(path_, kBase + 4, 1), kChildBusy);
#else
  EXPECT_EQ(TryLockInChild(path_, kBase + 4, 1), kChildLocked);
#endif
  ASSERT_TRUE(file_->Unlock(kBase + 5, 1).ok());

  // So does a record lock taken before the whole file.
  ASSERT_EQ(file_->TryLock(kBase + 5, 1), LockResult::kLocked);
  ASSERT_EQ(file_->TryLock(kBase, kBase), LockResult::kLocked);
  ASSERT_TRUE(file_->Unlock(kBase, kBase).ok());
  EXPECT_TRUE(file_->HoldsLock(kBase + 5, 1));
  EXPECT_FALSE(file_->HoldsLock(kBase, 1));
  EXPECT_EQ(TryLockInChild(path_, kBase + 5, 1), kChildBusy);
  EXPECT_EQ(TryLockInChild(path_, kBase + 4, 1), kChildLocked);
  EXPECT_EQ(TryLockInChild(path_, kBase, 1), kChildLocked);
  EXPECT_EQ(TryLockInChild(path_, kBase + 6, 1), kChildLocked);
}

// Ranges that overlap without nesting: the bytes of a kernel lock stay
// locked while any held range touches them, and all go with the last one.
TEST_F(FileTest, OverlappingRangesReleaseWithTheLastOne) {
  ASSERT_EQ(file_->TryLock(kBase, 10), LockResult::kLocked);
  ASSERT_EQ(file_->TryLock(kBase + 5, 10), LockResult::kLocked);
  ASSERT_TRUE(file_->Unlock(kBase, 10).ok());
  EXPECT_TRUE(file_->HoldsLock(kBase + 5, 10));
  EXPECT_FALSE(file_->HoldsLock(kBase, 5));
  EXPECT_EQ(TryLockInChild(path_, kBase + 12, 1), kChildBusy);
  ASSERT_TRUE(file_->Unlock(kBase + 5, 10).ok());
  EXPECT_EQ(TryLockInChild(path_, kBase, 15), kChildLocked);
}

TEST_F(FileTest, UnlockErrorsAndUnlockAll) {
  EXPECT_EQ(file_->Unlock(kBase, 1).code(), ENOLCK);
  Status err;
  EXPECT_EQ(file_->TryLock(kBase, 0, &err), LockResult::kError);
  EXPECT_EQ(err.code(), EINVAL);
  EXPECT_EQ(file_->TryLock(UINT64_MAX - 1, 5, &err), LockResult::kError);
  EXPECT_EQ(file_->TryLockShared(UINT64_MAX - 1, 5, &err), LockResult::kError);
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
  ASSERT_TRUE(env_->CreateDir(tmp_.Sub("marks")).ok());
  const std::string marks = tmp_.Sub("marks");
  std::unique_ptr<Process> child;
  ASSERT_TRUE(testing::StartChild(
                  "file_lockwait",
                  {path_, std::to_string(kBase), std::to_string(kBase), marks},
                  &child)
                  .ok());
  EXPECT_TRUE(testing::WaitForFile(marks + "\\w", 30000, child.get()));
  // While this process holds the record, the child keeps waiting.
  EXPECT_FALSE(testing::WaitForFile(marks + "\\g", 200, child.get()));
  ASSERT_TRUE(file_->Unlock(kBase + 1, 1).ok());
  EXPECT_TRUE(testing::WaitForFile(marks + "\\g", 30000, child.get()));
  EXPECT_EQ(testing::WaitChild(child.get(), 30000), 0);
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
