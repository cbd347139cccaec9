#include "platform/testing/fault_env.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "platform/line_reader.h"
#include "platform/testing/temp_drives.h"

namespace platform {
namespace {

class FaultEnvTest : public ::testing::Test {
 protected:
  void SetUp() override { SetLockRetryIntervalMs(1); }
  void TearDown() override { SetLockRetryIntervalMs(0); }

  std::unique_ptr<File> Open(const std::string& path,
                             OpenMode mode = OpenMode::kCreateAlways) {
    std::unique_ptr<File> f;
    Status s = env_.OpenFile(path, mode, &f);
    EXPECT_TRUE(s.ok()) << s.ToString();
    return f;
  }
  std::string Contents(const std::string& path) {
    std::unique_ptr<File> f;
    if (!Env::Default()->OpenFile(path, OpenMode::kReadOnly, &f).ok()) {
      return "<missing>";
    }
    char buf[256];
    size_t got = 0;
    EXPECT_TRUE(f->ReadAt(0, buf, sizeof(buf), &got).ok());
    return std::string(buf, got);
  }

  ScopedTempDrives tmp_;
  FaultInjectionEnv env_{Env::Default()};
};

TEST_F(FaultEnvTest, PathRulesBreakOnlyMatchingPathsAndOps) {
  env_.FailPath("products",
                FaultInjectionEnv::kWrite | FaultInjectionEnv::kSync, ENOSPC);
  auto prod = Open("c:\\PRODUCTS.DBF");
  auto other = Open("c:\\colors.dbf");
  EXPECT_EQ(prod->WriteAt(0, "x", 1).code(), ENOSPC);
  EXPECT_EQ(prod->Sync().code(), ENOSPC);
  EXPECT_TRUE(prod->Truncate(0).ok());
  EXPECT_TRUE(other->WriteAt(0, "x", 1).ok());
  EXPECT_TRUE(other->Sync().ok());

  env_.FailPath(".ntx", FaultInjectionEnv::kOpen, EACCES);
  std::unique_ptr<File> f;
  EXPECT_EQ(env_.OpenFile("c:\\X.NTX", OpenMode::kCreateAlways, &f).code(),
            EACCES);
  EXPECT_EQ(f, nullptr);
  EXPECT_FALSE(env_.FileExists("c:\\x.ntx"));  // nothing reached the disk

  env_.ClearFaults();
  EXPECT_TRUE(prod->WriteAt(0, "y", 1).ok());
  EXPECT_TRUE(env_.OpenFile("c:\\X.NTX", OpenMode::kCreateAlways, &f).ok());
}

TEST_F(FaultEnvTest, DirectoryOperations) {
  env_.FailPath("", FaultInjectionEnv::kCreateDir | FaultInjectionEnv::kDelete |
                        FaultInjectionEnv::kRename | FaultInjectionEnv::kCopy |
                        FaultInjectionEnv::kList |
                        FaultInjectionEnv::kAttributes);
  Open("c:\\a.dbf");
  EXPECT_EQ(env_.CreateDir("c:\\d").code(), EIO);
  EXPECT_EQ(env_.DeleteFile("c:\\a.dbf").code(), EIO);
  EXPECT_EQ(env_.DeleteTree("c:\\a.dbf").code(), EIO);
  EXPECT_EQ(env_.RemoveDir("c:\\").code(), EIO);
  EXPECT_EQ(env_.RenameFile("c:\\a.dbf", "c:\\b.dbf", true).code(), EIO);
  EXPECT_EQ(env_.CopyFile("c:\\a.dbf", "c:\\b.dbf", false).code(), EIO);
  EXPECT_EQ(env_.CopyTree("c:\\", "d:\\").code(), EIO);
  EXPECT_EQ(env_.SetAttributes("c:\\a.dbf", kAttrReadOnly).code(), EIO);
  std::vector<DirEntry> entries;
  EXPECT_EQ(env_.ListDir("c:\\", "*", &entries).code(), EIO);
  EXPECT_TRUE(env_.FileExists("c:\\a.dbf"));
  EXPECT_FALSE(env_.FileExists("c:\\b.dbf"));

  // Two-path operations break when either path matches.
  env_.ClearFaults();
  env_.FailPath("backup",
                FaultInjectionEnv::kCopy | FaultInjectionEnv::kRename);
  EXPECT_EQ(env_.CopyFile("c:\\a.dbf", "c:\\BACKUP.DBF", false).code(), EIO);
  EXPECT_EQ(env_.RenameFile("c:\\backup.dbf", "c:\\a.dbf", true).code(), EIO);
  EXPECT_TRUE(env_.CopyFile("c:\\a.dbf", "c:\\b.dbf", false).ok());
}

TEST_F(FaultEnvTest, FailAfterWritesCountsSuccessfulWrites) {
  auto f = Open("c:\\t.dbf");
  env_.FailAfterWrites(2, EIO);
  EXPECT_TRUE(f->WriteAt(0, "a", 1).ok());
  EXPECT_TRUE(f->WriteAt(1, "b", 1).ok());
  EXPECT_EQ(f->WriteAt(2, "c", 1).code(), EIO);
  EXPECT_EQ(f->WriteAt(2, "c", 1).code(), EIO);
  EXPECT_EQ(Contents("c:\\t.dbf"), "ab");
  env_.FailAfterWrites(0);
  EXPECT_EQ(f->WriteAt(0, "z", 1).code(), ENOSPC);
  env_.ClearFaults();
  EXPECT_TRUE(f->WriteAt(2, "c", 1).ok());
  EXPECT_EQ(env_.counters().writes, 3);
}

TEST_F(FaultEnvTest, ShortWriteLeavesAPrefix) {
  auto f = Open("c:\\memo.dbt");
  auto g = Open("c:\\other.dbf");
  env_.ShortWriteNext("memo", 3);
  EXPECT_TRUE(g->WriteAt(0, "whole", 5).ok());  // not matching
  EXPECT_EQ(f->WriteAt(0, "abcdefgh", 8).code(), ENOSPC);
  EXPECT_EQ(Contents("c:\\memo.dbt"), "abc");
  EXPECT_TRUE(f->WriteAt(0, "abcdefgh", 8).ok());  // only the next one
  EXPECT_EQ(Contents("c:\\memo.dbt"), "abcdefgh");
}

TEST_F(FaultEnvTest, LockFaults) {
  auto f = Open("c:\\t.dbf");
  env_.BusyLocks("t.dbf", 3);
  EXPECT_EQ(f->TryLock(10, 1), LockResult::kBusy);
  // Lock waits through the two remaining busy answers.
  EXPECT_TRUE(f->Lock(10, 1).ok());
  EXPECT_TRUE(f->HoldsLock(10, 1));
  EXPECT_EQ(env_.counters().locks, 4);
  EXPECT_TRUE(f->Unlock(10, 1).ok());

  env_.FailPath("t.dbf", FaultInjectionEnv::kLock, ENOLCK);
  Status err;
  EXPECT_EQ(f->TryLock(10, 1, &err), LockResult::kError);
  EXPECT_EQ(err.code(), ENOLCK);
  EXPECT_EQ(f->Lock(10, 1).code(), ENOLCK);
  env_.ClearFaults();
  ASSERT_EQ(f->TryLock(10, 1), LockResult::kLocked);
  env_.FailPath("t.dbf", FaultInjectionEnv::kUnlock, EIO);
  EXPECT_EQ(f->Unlock(10, 1).code(), EIO);
  EXPECT_TRUE(f->HoldsLock(10, 1));  // the failed unlock changed nothing
}

TEST_F(FaultEnvTest, CodeUsingCurrentSeesTheFaults) {
  ASSERT_TRUE(Open("c:\\list.txt")->WriteAt(0, "a\r\nb\r\n", 6).ok());
  ScopedEnv use(&env_);
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadLines("c:\\list.txt", &lines).ok());
  EXPECT_EQ(lines, std::vector<std::string>({"a", "b"}));
  env_.FailPath("list", FaultInjectionEnv::kRead, EIO);
  EXPECT_EQ(ReadLines("c:\\list.txt", &lines).code(), EIO);
  EXPECT_GE(env_.counters().opens, 3);
}

TEST_F(FaultEnvTest, CrashPointEndsTheProcessRightAfterTheNthMutation) {
  const std::string path = "c:\\crash.txt";
  for (int n = 1; n <= 4; ++n) {
    SCOPED_TRACE(n);
    pid_t pid = fork();
    if (pid == 0) {
      ScopedEnv use(&env_);
      env_.CrashAfterMutations(n);
      std::unique_ptr<File> f;  // creating it is mutation 1
      if (!Env::Current()->OpenFile(path, OpenMode::kCreateAlways, &f).ok()) {
        _exit(1);
      }
      f->WriteAt(0, "a", 1);  // 2
      char b = 0;
      size_t got = 0;
      f->ReadAt(0, &b, 1, &got);  // reads do not count
      f->WriteAt(1, "b", 1);      // 3
      f->Truncate(1);             // 4
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(SIGKILL, WTERMSIG(status));
    const char* expect[] = {"", "", "a", "ab", "a"};
    EXPECT_EQ(expect[n], Contents(path));
  }
  // Without a crash point the counter only counts.
  env_.ResetCounters();
  std::unique_ptr<File> f = Open(path);
  ASSERT_TRUE(f->WriteAt(0, "x", 1).ok());
  ASSERT_TRUE(env_.DeleteFile(path).ok());
  EXPECT_EQ(3, env_.counters().mutations);
}

TEST_F(FaultEnvTest, FilesOutliveTheEnv) {
  std::unique_ptr<File> f;
  {
    FaultInjectionEnv env(Env::Default());
    ASSERT_TRUE(env.OpenFile("c:\\t.dbf", OpenMode::kCreateAlways, &f).ok());
    env.FailPath("", FaultInjectionEnv::kWrite);
  }
  EXPECT_EQ(f->WriteAt(0, "x", 1).code(), EIO);
}

}  // namespace
}  // namespace platform
