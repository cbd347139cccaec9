// Tables shared between processes: concurrent appends, the explicit lock
// and the read-ahead staying exact while another process writes.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "dbf_format.h"
#include "test_util.h"

namespace xbase32::testing {
namespace {

class ShareTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Wdbase w;
    ASSERT_EQ(1, w.SetFiles(dir_.c_str(), "shared", 0, nullptr, nullptr));
    auto f = Fields({Fld("NAME", 'C', 12), Fld("SEQ", 'N', 6)});
    ASSERT_EQ(1, w.CreateDb(f.data()));
  }
  bool OpenShared(Wdbase* w) {
    return w->SetFiles(dir_.c_str(), "shared", 0, nullptr, nullptr) &&
           w->Open();
  }
};

TEST_F(ShareTest, ConcurrentAppendsLoseNoRecord) {
  constexpr int kPerChild = 300;
  std::vector<pid_t> kids;
  for (int c = 0; c < 2; ++c) {
    pid_t pid = fork();
    if (pid == 0) {
      Wdbase::FlushSet(0);
      Wdbase w;
      if (!OpenShared(&w)) _exit(1);
      for (int i = 0; i < kPerChild; ++i) {
        if (!w.AppendBlank()) _exit(2);
        if (!w.WriteString("NAME", c == 0 ? "first" : "second")) _exit(3);
        if (!w.WriteInt("SEQ", i)) _exit(4);
      }
      _exit(w.Close() ? 0 : 5);
    }
    kids.push_back(pid);
  }
  for (pid_t pid : kids) {
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(0, WEXITSTATUS(status));
  }
  Wdbase w;
  ASSERT_TRUE(OpenShared(&w));
  ASSERT_EQ(2 * kPerChild, w.RecCount());
  std::set<int> seen[2];
  for (int ok = w.Top(); ok; ok = w.Next()) {
    const std::string name = w.Read("NAME", 0, 1);
    ASSERT_TRUE(name == "first" || name == "second") << w.RecNo();
    ASSERT_TRUE(seen[name == "second"].insert(w.ReadInt("SEQ")).second);
  }
  EXPECT_EQ(static_cast<size_t>(kPerChild), seen[0].size());
  EXPECT_EQ(static_cast<size_t>(kPerChild), seen[1].size());
  // The header count matches the records.
  const std::string b = ReadAll(drives_.Host("shared.dbf"));
  EXPECT_EQ(2 * kPerChild,
            static_cast<uint8_t>(b[4]) | static_cast<uint8_t>(b[5]) << 8);
}

// Another process tries the append lock; 0 when it was busy, 1 when free.
int ProbeAppendLock(const std::string& path) {
  std::unique_ptr<platform::File> f;
  if (!platform::Env::Current()
           ->OpenFile(path, platform::OpenMode::kReadWrite, &f)
           .ok()) {
    return 9;
  }
  platform::LockResult r = f->TryLock(dbf::kAppendLockOffset, 1);
  return r == platform::LockResult::kBusy     ? 0
         : r == platform::LockResult::kLocked ? 1
                                              : 8;
}

TEST_F(ShareTest, ExplicitLockHoldsUntilUnlock) {
  const std::string path = drives_.Host("shared.dbf");
  Wdbase w;
  ASSERT_TRUE(OpenShared(&w));
  ASSERT_EQ(1, w.Lock());
  EXPECT_EQ(0, InChild([&] { return ProbeAppendLock(path); }));
  // Appending, writing and flushing release their own locks only.
  ASSERT_EQ(1, w.AppendBlank());
  ASSERT_EQ(1, w.WriteString("NAME", "locked"));
  ASSERT_EQ(1, w.Flush());
  EXPECT_EQ(0, InChild([&] { return ProbeAppendLock(path); }));
  // A second handle of the same process is kept out as well.
  EXPECT_EQ(0, ProbeAppendLock(path));
  // Records appended under the lock reach the file on flush.
  ASSERT_EQ(1, w.AppendBlank());
  ASSERT_EQ(1, w.WriteString("NAME", "second"));
  ASSERT_EQ(1, w.Flush());
  EXPECT_EQ(0, InChild([&] {
              Wdbase c;
              if (!OpenShared(&c) || c.RecCount() != 2 || !c.Goto(2)) return 1;
              return std::string(c.Read("NAME", 0, 1)) == "second" ? 0 : 2;
            }));
  ASSERT_EQ(1, w.AppendBlank());
  ASSERT_EQ(1, w.Unlock());
  EXPECT_EQ(1, InChild([&] { return ProbeAppendLock(path); }));
  // Records appended under the lock carry a correct header on release.
  const std::string b = ReadAll(path);
  EXPECT_EQ(3, b[4]);
  EXPECT_EQ(0x1A, b.back());
  EXPECT_EQ(32 + 2 * 32 + 1 + 3 * 19 + 1, static_cast<int>(b.size()));
}

TEST_F(ShareTest, AppendWaitsForTheLockHolder) {
  Wdbase w;
  ASSERT_TRUE(OpenShared(&w));
  ASSERT_EQ(1, w.Lock());
  ASSERT_EQ(1, w.AppendBlank());
  pid_t pid = fork();
  if (pid == 0) {
    Wdbase c;
    if (!OpenShared(&c)) _exit(1);
    if (!c.AppendBlank()) _exit(2);
    if (!c.WriteString("NAME", "child")) _exit(3);
    _exit(c.RecNo() == 2 ? 0 : 4);
  }
  platform::Env::Current()->SleepMs(100);
  // The child is still waiting: the file holds only our record.
  EXPECT_EQ(1, w.RecCount());
  ASSERT_EQ(1, w.Unlock());
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status));
  EXPECT_EQ(2, w.RecCount());
}

TEST_F(ShareTest, ReadAheadSeesWritesOfOtherProcesses) {
  {
    Wdbase w;
    ASSERT_TRUE(OpenShared(&w));
    Wdbase::FlushSet(0);
    for (int i = 1; i <= 50; ++i) {
      ASSERT_EQ(1, w.AppendBlank());
      ASSERT_EQ(1, w.WriteInt("SEQ", i));
    }
    Wdbase::FlushSet(1);
  }
  Wdbase w;
  ASSERT_TRUE(OpenShared(&w));
  ASSERT_EQ(1, w.Goto(5));
  EXPECT_EQ(5, w.ReadInt("SEQ"));
  for (int round = 0; round < 3; ++round) {
    const int value = 1000 + round;
    ASSERT_EQ(0, InChild([&] {
                Wdbase c;
                if (!OpenShared(&c) || !c.Goto(6)) return 1;
                return c.WriteInt("SEQ", value) && c.Close() ? 0 : 2;
              }));
    ASSERT_EQ(1, w.Goto(6));
    EXPECT_EQ(value, w.ReadInt("SEQ")) << round;
  }
  // Records appended by another process are seen at once.
  ASSERT_EQ(0, InChild([&] {
              Wdbase c;
              if (!OpenShared(&c) || !c.AppendBlank()) return 1;
              return c.WriteInt("SEQ", 51) ? 0 : 2;
            }));
  ASSERT_EQ(1, w.Bottom());
  EXPECT_EQ(51, w.RecNo());
  EXPECT_EQ(51, w.ReadInt("SEQ"));
}

TEST_F(ShareTest, ScanUnderLockReadsEveryRecord) {
  Wdbase w;
  ASSERT_TRUE(OpenShared(&w));
  Wdbase::FlushSet(0);
  ASSERT_EQ(1, w.Lock());
  for (int i = 1; i <= 3000; ++i) {
    ASSERT_EQ(1, w.AppendBlank());
    ASSERT_EQ(1, w.WriteInt("SEQ", i));
  }
  int expect = 1;
  for (int ok = w.Top(); ok; ok = w.Next()) {
    ASSERT_EQ(expect, w.ReadInt("SEQ"));
    ++expect;
  }
  EXPECT_EQ(3001, expect);
  // Writes under the lock are seen by the read-ahead too.
  ASSERT_EQ(1, w.Goto(1500));
  ASSERT_EQ(1, w.WriteInt("SEQ", -7));
  ASSERT_EQ(1, w.Goto(1499));
  ASSERT_EQ(1, w.Goto(1500));
  EXPECT_EQ(-7, w.ReadInt("SEQ"));
  ASSERT_EQ(1, w.Unlock());
  EXPECT_EQ(3000, w.RecCount());
}

// A record held across another process's zap is not written past the new
// end of the file (which would leave a hole of zero bytes).
TEST_F(ShareTest, WriteAfterAnotherProcessZappedIsRefused) {
  Wdbase w;
  ASSERT_TRUE(OpenShared(&w));
  Wdbase::FlushSet(0);
  for (int i = 1; i <= 5; ++i) {
    ASSERT_EQ(1, w.AppendBlank());
    ASSERT_EQ(1, w.WriteInt("SEQ", i));
  }
  ASSERT_EQ(1, w.Goto(5));
  ASSERT_EQ(0, InChild([&] {
              Wdbase c;
              return OpenShared(&c) && c.Zap(3, 5) ? 0 : 1;
            }));
  ASSERT_EQ(1, w.WriteInt("SEQ", 99));
  EXPECT_EQ(0, w.Flush());
  EXPECT_EQ(-120, Wdbase::LastErrorCode());
  EXPECT_EQ(2, w.RecCount());
  const std::string b = ReadAll(drives_.Host("shared.dbf"));
  EXPECT_EQ(32 + 2 * 32 + 1 + 2 * 19 + 1, static_cast<int>(b.size()));
}

}  // namespace
}  // namespace xbase32::testing
