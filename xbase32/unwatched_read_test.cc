// Reading where the host reports no other process's writes (every change
// counter answers Watched() false, as on Windows), on any host: an Env
// wrapper hides the reports. Index reads without the lock run on pages read
// under it only while the index header page is unchanged, and still see
// every change another handle made; an index build reads the table in
// blocks, not record by record.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "platform/testing/fault_env.h"
#include "test_util.h"
#include "xbase32/wdbase.h"

namespace xbase32::testing {
namespace {

// The counter without the host's write reports.
class UnwatchedCounter final : public platform::ChangeCounter {
 public:
  explicit UnwatchedCounter(std::unique_ptr<platform::ChangeCounter> c)
      : c_(std::move(c)) {}
  uint64_t Load() const override { return c_->Load(); }
  uint64_t Bump() override { return c_->Bump(); }

 private:
  std::unique_ptr<platform::ChangeCounter> c_;
};

struct Calls {
  std::atomic<int64_t> index_locks{0};  // lock attempts on .ntx files
  std::atomic<int64_t> table_reads{0};  // ReadAt on .dbf files
};

bool EndsWith(const std::string& path, const char* ext) {
  const size_t n = std::char_traits<char>::length(ext);
  if (path.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    const char c = path[path.size() - n + i];
    if (std::tolower(static_cast<unsigned char>(c)) != ext[i]) return false;
  }
  return true;
}

class CountingFile final : public platform::File {
 public:
  CountingFile(std::unique_ptr<platform::File> f, Calls* calls)
      : f_(std::move(f)),
        calls_(calls),
        index_(EndsWith(f_->path(), ".ntx")),
        table_(EndsWith(f_->path(), ".dbf")) {}

  platform::Status ReadAt(uint64_t offset, void* buf, size_t n,
                          size_t* got) override {
    if (table_) ++calls_->table_reads;
    return f_->ReadAt(offset, buf, n, got);
  }
  platform::Status WriteAt(uint64_t offset, const void* buf,
                           size_t n) override {
    return f_->WriteAt(offset, buf, n);
  }
  platform::Status Size(uint64_t* size) override { return f_->Size(size); }
  platform::Status Truncate(uint64_t size) override {
    return f_->Truncate(size);
  }
  platform::Status Sync() override { return f_->Sync(); }
  platform::Status Stat(platform::FileInfo* info) override {
    return f_->Stat(info);
  }
  platform::LockResult TryLock(uint64_t offset, uint64_t length,
                               platform::Status* err) override {
    if (index_) ++calls_->index_locks;
    return f_->TryLock(offset, length, err);
  }
  platform::LockResult TryLockShared(uint64_t offset, uint64_t length,
                                     platform::Status* err) override {
    if (index_) ++calls_->index_locks;
    return f_->TryLockShared(offset, length, err);
  }
  platform::Status Unlock(uint64_t offset, uint64_t length) override {
    return f_->Unlock(offset, length);
  }
  platform::Status UnlockAll() override { return f_->UnlockAll(); }
  bool HoldsLock(uint64_t offset, uint64_t length) const override {
    return f_->HoldsLock(offset, length);
  }
  const std::string& path() const override { return f_->path(); }
  platform::Status OpenChangeCounter(
      std::unique_ptr<platform::ChangeCounter>* counter) override {
    std::unique_ptr<platform::ChangeCounter> c;
    platform::Status s = f_->OpenChangeCounter(&c);
    if (!s.ok()) return s;
    *counter = std::make_unique<UnwatchedCounter>(std::move(c));
    return s;
  }

 private:
  std::unique_ptr<platform::File> f_;
  Calls* calls_;
  bool index_;
  bool table_;
};

class UnwatchedEnv final : public platform::EnvWrapper {
 public:
  explicit UnwatchedEnv(platform::Env* target) : EnvWrapper(target) {}
  platform::Status OpenFile(const std::string& path, platform::OpenMode mode,
                            std::unique_ptr<platform::File>* file) override {
    std::unique_ptr<platform::File> f;
    platform::Status s = target()->OpenFile(path, mode, &f);
    if (s.ok()) *file = std::make_unique<CountingFile>(std::move(f), &calls);
    return s;
  }
  Calls calls;
};

class UnwatchedReadTest : public ::testing::Test {
 protected:
  static constexpr int kRecords = 300;

  void SetUp() override {
    dir_ = drives_.dir() + "/";
    Wdbase::SetDebugLevel(0);
    ASSERT_EQ(1, Define(&a_));
    auto f = Fields({Fld("NAME", 'C', 8)});
    ASSERT_EQ(1, a_.CreateDb(f.data()));
    ASSERT_EQ(1, a_.Open());
    const int was = Wdbase::FlushSet(0);
    for (int i = 1; i <= kRecords; ++i) {
      ASSERT_EQ(1, a_.AppendBlank());
      const std::string name = "N" + std::to_string(1000 + (i * 7919) % 997);
      ASSERT_EQ(1, a_.WriteString(1, name.c_str()));
    }
    ASSERT_EQ(1, a_.Flush());
    Wdbase::FlushSet(was);
    ASSERT_EQ(1, a_.SelectIdx(1));
  }

  int Define(Wdbase* w) {
    const char* names[] = {"byname"};
    const char* exprs[] = {"NAME"};
    return w->SetFiles(dir_.c_str(), "t", 1, names, exprs);
  }

  // The record numbers in index order, walked by w.
  static std::vector<int32_t> Walk(Wdbase* w) {
    std::vector<int32_t> v;
    for (int more = w->Top(); more; more = w->Next()) v.push_back(w->RecNo());
    return v;
  }

  platform::ScopedTempDrives drives_;
  UnwatchedEnv env_{platform::Env::Current()};
  platform::ScopedEnv use_{&env_};
  std::string dir_;
  Wdbase a_;
};

TEST_F(UnwatchedReadTest, CachedIndexWalksTakeNoLockAndSeeOtherHandlesChanges) {
  const std::vector<int32_t> first = Walk(&a_);
  ASSERT_EQ(static_cast<size_t>(kRecords), first.size());
  // Every page is cached and the header unchanged: no index lock.
  env_.calls.index_locks = 0;
  EXPECT_EQ(first, Walk(&a_));
  EXPECT_EQ(0, env_.calls.index_locks.load());

  // Another handle adds a record that sorts first and renames one that
  // sorted last to sort first too.
  Wdbase b;
  ASSERT_EQ(1, Define(&b));
  ASSERT_EQ(1, b.Open());
  ASSERT_EQ(1, b.AppendBlank());
  ASSERT_EQ(1, b.WriteString(1, "A0"));
  ASSERT_EQ(1, b.Goto(first.back()));
  ASSERT_EQ(1, b.WriteString(1, "A1"));
  ASSERT_EQ(1, b.Flush());
  ASSERT_EQ(1, b.SelectIdx(1));
  const std::vector<int32_t> want = Walk(&b);
  ASSERT_EQ(static_cast<size_t>(kRecords + 1), want.size());
  EXPECT_EQ(kRecords + 1, want[0]);
  EXPECT_EQ(first.back(), want[1]);

  // The first handle's next walk follows the changed tree.
  env_.calls.index_locks = 0;
  EXPECT_EQ(want, Walk(&a_));
  EXPECT_GT(env_.calls.index_locks.load(), 0);
  // ... and then runs on its cache again.
  env_.calls.index_locks = 0;
  EXPECT_EQ(want, Walk(&a_));
  EXPECT_EQ(0, env_.calls.index_locks.load());

  // A seek on the cached tree finds the other handle's key.
  ASSERT_EQ(1, b.Close());
  EXPECT_EQ(1, a_.Seek("A1"));
  EXPECT_EQ(first.back(), a_.RecNo());
}

TEST_F(UnwatchedReadTest, AnIndexBuildReadsTheTableInBlocks) {
  env_.calls.table_reads = 0;
  ASSERT_EQ(1, a_.RebuildIdx());
  // One by one that would be two reads a record (the generation and the
  // record).
  EXPECT_LT(env_.calls.table_reads.load(), kRecords / 10);
  ASSERT_EQ(1, a_.SelectIdx(1));
  std::vector<int32_t> got = Walk(&a_);
  ASSERT_EQ(static_cast<size_t>(kRecords), got.size());
  std::sort(got.begin(), got.end());
  for (int i = 0; i < kRecords; ++i) ASSERT_EQ(i + 1, got[i]);
}

}  // namespace
}  // namespace xbase32::testing
