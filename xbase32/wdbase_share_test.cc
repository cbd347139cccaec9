// Tables shared between processes: concurrent appends, the explicit lock
// and the read-ahead staying exact while another process writes. The other
// processes are child entries of this binary (no fork), so the tests run the
// same way on every host.

#include <gtest/gtest.h>

#include <set>

#include "dbf_format.h"
#include "test_util.h"

namespace xbase32::testing {
namespace {

bool OpenShared(Wdbase* w, const std::string& dir) {
  return w->SetFiles(dir.c_str(), "shared", 0, nullptr, nullptr) && w->Open();
}

// args: dir, name, count. Appends count records NAME=name, SEQ=0..count-1
// with auto-flush off.
KALVO_CHILD_MAIN(share_append)(const std::vector<std::string>& args) {
  ChildSetUp();
  Wdbase::FlushSet(0);
  Wdbase w;
  if (args.size() != 3 || !OpenShared(&w, args[0])) return 1;
  const int count = std::stoi(args[2]);
  for (int i = 0; i < count; ++i) {
    if (!w.AppendBlank()) return 2;
    if (!w.WriteString("NAME", args[1].c_str())) return 3;
    if (!w.WriteInt("SEQ", i)) return 4;
  }
  return w.Close() ? 0 : 5;
}

// args: path. Tries the append lock: 0 when it was busy, 1 when free.
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
KALVO_CHILD_MAIN(share_probe_append_lock)
(const std::vector<std::string>& args) {
  return args.size() == 1 ? ProbeAppendLock(args[0]) : 7;
}

// args: dir, count, recno, name. 0 when the table has count records and
// record recno holds NAME=name.
KALVO_CHILD_MAIN(share_expect_name)(const std::vector<std::string>& args) {
  ChildSetUp();
  Wdbase c;
  if (args.size() != 4 || !OpenShared(&c, args[0]) ||
      c.RecCount() != std::stoi(args[1]) || !c.Goto(std::stoi(args[2]))) {
    return 1;
  }
  return std::string(c.Read("NAME", 0, 1)) == args[3] ? 0 : 2;
}

// args: dir. Appends NAME=child (waiting for the lock) and expects to get
// record 2.
KALVO_CHILD_MAIN(share_append_child)(const std::vector<std::string>& args) {
  ChildSetUp();
  Wdbase c;
  if (args.size() != 1 || !OpenShared(&c, args[0])) return 1;
  if (!c.AppendBlank()) return 2;
  if (!c.WriteString("NAME", "child")) return 3;
  return c.RecNo() == 2 ? 0 : 4;
}

// args: dir, recno, value. Writes SEQ=value into record recno; recno 0
// appends a record.
KALVO_CHILD_MAIN(share_write_seq)(const std::vector<std::string>& args) {
  ChildSetUp();
  Wdbase c;
  if (args.size() != 3 || !OpenShared(&c, args[0])) return 1;
  const int recno = std::stoi(args[1]);
  if (!(recno == 0 ? c.AppendBlank() : c.Goto(recno))) return 2;
  return c.WriteInt("SEQ", std::stoi(args[2])) && c.Close() ? 0 : 3;
}

// args: dir, from, to. Zaps records from..to.
KALVO_CHILD_MAIN(share_zap)(const std::vector<std::string>& args) {
  ChildSetUp();
  Wdbase c;
  return args.size() == 3 && OpenShared(&c, args[0]) &&
                 c.Zap(std::stoi(args[1]), std::stoi(args[2]))
             ? 0
             : 1;
}

class ShareTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Wdbase w;
    ASSERT_EQ(1, w.SetFiles(dir_.c_str(), "shared", 0, nullptr, nullptr));
    auto f = Fields({Fld("NAME", 'C', 12), Fld("SEQ", 'N', 6)});
    ASSERT_EQ(1, w.CreateDb(f.data()));
  }
  bool OpenShared(Wdbase* w) { return xbase32::testing::OpenShared(w, dir_); }
};

TEST_F(ShareTest, ConcurrentAppendsLoseNoRecord) {
  constexpr int kPerChild = 300;
  std::unique_ptr<platform::Process> kids[2];
  for (int c = 0; c < 2; ++c) {
    ASSERT_TRUE(
        platform::testing::StartChild(
            "share_append",
            {dir_, c == 0 ? "first" : "second", std::to_string(kPerChild)},
            &kids[c])
            .ok());
  }
  for (auto& kid : kids) ASSERT_EQ(0, platform::testing::WaitChild(kid.get()));
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

TEST_F(ShareTest, ExplicitLockHoldsUntilUnlock) {
  const std::string path = drives_.Host("shared.dbf");
  Wdbase w;
  ASSERT_TRUE(OpenShared(&w));
  ASSERT_EQ(1, w.Lock());
  EXPECT_EQ(0, RunChild("share_probe_append_lock", {path}));
  // Appending, writing and flushing release their own locks only.
  ASSERT_EQ(1, w.AppendBlank());
  ASSERT_EQ(1, w.WriteString("NAME", "locked"));
  ASSERT_EQ(1, w.Flush());
  EXPECT_EQ(0, RunChild("share_probe_append_lock", {path}));
  // A second handle of the same process is kept out as well.
  EXPECT_EQ(0, ProbeAppendLock(path));
  // Records appended under the lock reach the file on flush.
  ASSERT_EQ(1, w.AppendBlank());
  ASSERT_EQ(1, w.WriteString("NAME", "second"));
  ASSERT_EQ(1, w.Flush());
  EXPECT_EQ(0, RunChild("share_expect_name", {dir_, "2", "2", "second"}));
  ASSERT_EQ(1, w.AppendBlank());
  ASSERT_EQ(1, w.Unlock());
  EXPECT_EQ(1, RunChild("share_probe_append_lock", {path}));
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
  std::unique_ptr<platform::Process> child;
  ASSERT_TRUE(
      platform::testing::StartChild("share_append_child", {dir_}, &child).ok());
  platform::Env::Current()->SleepMs(100);
  // The child is still waiting: the file holds only our record.
  EXPECT_EQ(1, w.RecCount());
  ASSERT_EQ(1, w.Unlock());
  EXPECT_EQ(0, platform::testing::WaitChild(child.get()));
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
    ASSERT_EQ(0,
              RunChild("share_write_seq", {dir_, "6", std::to_string(value)}));
    ASSERT_EQ(1, w.Goto(6));
    EXPECT_EQ(value, w.ReadInt("SEQ")) << round;
  }
  // Records appended by another process are seen at once.
  ASSERT_EQ(0, RunChild("share_write_seq", {dir_, "0", "51"}));
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
  ASSERT_EQ(0, RunChild("share_zap", {dir_, "3", "5"}));
  ASSERT_EQ(1, w.WriteInt("SEQ", 99));
  EXPECT_EQ(0, w.Flush());
  EXPECT_EQ(-120, Wdbase::LastErrorCode());
  EXPECT_EQ(2, w.RecCount());
  const std::string b = ReadAll(drives_.Host("shared.dbf"));
  EXPECT_EQ(32 + 2 * 32 + 1 + 2 * 19 + 1, static_cast<int>(b.size()));
}

}  // namespace
}  // namespace xbase32::testing
