// Sharing with writers outside this process's change counter: a peer that
// follows the lock protocol with plain file locks and positioned writes (no
// engine, no counter), an engine process in another mount namespace (its own
// /dev/shm), and an engine process started after the counter object was
// removed (these two are about the Linux counter object in /dev/shm and run
// on Linux only). Nothing is overwritten, no index entry is lost, and a read
// after the other writer's unlock sees its bytes. Also the rewrite
// generation: writes from buffers read before another process's pack are
// refused.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sched.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>
#include <string>

#include "dbf_format.h"
#include "ntx_format.h"
#include "test_util.h"

namespace xbase32::testing {
namespace {

constexpr int kSkipExit = 77;

// --- the raw peer -----------------------------------------------------------

// The peer's files are platform files: the same byte-range locks as the
// engine's (fcntl on Linux, LockFileEx on Windows), none of its caches.
using FilePtr = std::unique_ptr<platform::File>;

FilePtr OpenRaw(const std::string& path) {
  FilePtr f;
  if (!platform::Env::Current()
           ->OpenFile(path, platform::OpenMode::kReadWrite, &f)
           .ok()) {
    return nullptr;
  }
  return f;
}

bool ReadExact(platform::File* f, uint64_t at, void* buf, size_t n) {
  size_t got = 0;
  return f->ReadAt(at, buf, n, &got).ok() && got == n;
}

struct RawTable {
  FilePtr f;
  uint32_t header = 0, reclen = 0;
  explicit RawTable(const std::string& path) : f(OpenRaw(path)) {
    uint8_t h[12] = {};
    if (f && ReadExact(f.get(), 0, h, sizeof h)) {
      header = dbf::Get16(h + dbf::kOffHeaderLength);
      reclen = dbf::Get16(h + dbf::kOffRecordLength);
    }
  }
  // NAME C(12), SEQ N(6).
  std::string Record(const char* name, int seq) const {
    char buf[64];
    std::snprintf(buf, sizeof buf, " %-12.12s%6d", name, seq);
    return std::string(buf, reclen);
  }
  bool Append(const char* name, int seq) {
    if (!f || !f->Lock(dbf::kAppendLockOffset, 1).ok()) return false;
    uint64_t size = 0;
    bool ok = f->Size(&size).ok();
    const uint32_t count = static_cast<uint32_t>((size - header) / reclen);
    std::string rec = Record(name, seq) + '\x1A';
    ok = ok &&
         f->WriteAt(header + uint64_t{count} * reclen, rec.data(), rec.size())
             .ok();
    uint8_t c[4];
    dbf::Put32(c, count + 1);
    ok = ok && f->WriteAt(dbf::kOffCount, c, 4).ok();
    return f->Unlock(dbf::kAppendLockOffset, 1).ok() && ok;
  }
  bool Rewrite(int32_t n, const char* name, int seq) {
    if (!f || !f->Lock(dbf::RecordLockOffset(n), 1).ok()) return false;
    std::string rec = Record(name, seq);
    const bool ok =
        f->WriteAt(header + uint64_t(n - 1) * reclen, rec.data(), rec.size())
            .ok();
    return f->Unlock(dbf::RecordLockOffset(n), 1).ok() && ok;
  }
};

// Changes the key `from` to `to` (same length) in the root page of an NTX
// file whose tree is a single leaf, under the index lock, moving the
// header's counter.
bool RawChangeKey(const std::string& ntx, const std::string& from,
                  const std::string& to) {
  FilePtr f = OpenRaw(ntx);
  if (!f) return false;
  bool ok = f->Lock(1000000000ULL, 1000000000ULL).ok();
  uint8_t h[12] = {};
  ok = ok && ReadExact(f.get(), 0, h, sizeof h);
  const uint32_t root = dbf::Get32(h + 4);
  uint8_t page[1024];
  ok = ok && ReadExact(f.get(), root, page, sizeof page);
  bool found = false;
  const int count = dbf::Get16(page);
  for (int i = 0; ok && i < count; ++i) {
    uint8_t* item = page + dbf::Get16(page + 2 + 2 * i);
    if (dbf::Get32(item) != 0) break;  // not a leaf
    if (std::memcmp(item + 8, from.data(), from.size()) == 0) {
      std::memcpy(item + 8, to.data(), to.size());
      found = true;
    }
  }
  ok = ok && found && f->WriteAt(root, page, sizeof page).ok();
  dbf::Put16(h + 2, static_cast<uint16_t>(dbf::Get16(h + 2) + 1));
  ok = ok && f->WriteAt(0, h, 4).ok();
  return f->Unlock(1000000000ULL, 1000000000ULL).ok() && ok;
}

std::string Pad(const char* s) {
  std::string k(s);
  k.resize(12, ' ');
  return k;
}

#ifndef _WIN32
std::string ShmName(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return "";
  char name[96];
  std::snprintf(name, sizeof name, "/kalvo-change-%llx-%llx",
                static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  return name;
}
#endif

// args: dir, then one of
//   append NAME SEQ | rewrite RECNO NAME SEQ   (raw peer on shared.dbf)
//   rewrite_key RECNO NAME SEQ FROM TO         (raw record and index change)
//   engine NAME                                (PeerTest::EngineWork)
//   write1 NAME                                (engine: record 1 := NAME)
//   generation OP FLUSH                        (GenerationTest's other run)
//   memo_pack                                  (delete record 1 of memo, pack)
int PeerChild(const std::vector<std::string>& a);
KALVO_CHILD_MAIN(peer)(const std::vector<std::string>& args) {
  ChildSetUp();
  return PeerChild(args);
}

class PeerTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Wdbase w;
    ASSERT_EQ(1, w.SetFiles(dir_.c_str(), "shared", 0, nullptr, nullptr));
    auto f = Fields({Fld("NAME", 'C', 12), Fld("SEQ", 'N', 6)});
    ASSERT_EQ(1, w.CreateDb(f.data()));
    ASSERT_TRUE(Open(&w, false));
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(w.AppendBlank());
      ASSERT_TRUE(w.WriteString("NAME", i == 0   ? "AAA"
                                        : i == 1 ? "BBB"
                                                 : "CCC"));
      ASSERT_TRUE(w.WriteInt("SEQ", i));
    }
    w.Close();
  }
  bool Open(Wdbase* w, bool indexed) { return OpenIn(dir_, w, indexed); }

 public:
  static bool OpenIn(const std::string& dir, Wdbase* w, bool indexed) {
    const char* names[] = {"byname"};
    const char* exprs[] = {"NAME"};
    return w->SetFiles(dir.c_str(), "shared", indexed ? 1 : 0, names, exprs) &&
           w->Open();
  }

 protected:
  std::string Path() const { return dir_ + "shared.dbf"; }
  static void Scan(Wdbase* w) {
    for (int ok = w->Top(); ok; ok = w->Next()) {
    }
  }
  // The names of all records, read by a fresh handle.
  std::string Names() {
    Wdbase r;
    if (!Open(&r, false)) return "?";
    std::string all;
    for (int ok = r.Top(); ok; ok = r.Next()) {
      all += r.Read("NAME", 0, 1);
      all += ",";
    }
    return all;
  }
  // Another engine's work: an append and a rewrite of record 1.
  int EngineWork(const char* name) { return EngineWorkIn(dir_, name); }

 public:
  static int EngineWorkIn(const std::string& dir, const char* name) {
    Wdbase w;
    if (!OpenIn(dir, &w, false)) return 1;
    if (!w.AppendBlank() || !w.WriteString("NAME", name)) return 2;
    if (!w.Goto(1) || !w.WriteString("NAME", name)) return 3;
    return w.Close() ? 0 : 4;
  }
};

int PeerChild(const std::vector<std::string>& a) {
  if (a.size() < 2) return 90;
  const std::string& dir = a[0];
  const std::string& op = a[1];
  auto n = [&](size_t i) { return std::stoi(a.at(i)); };
  if (op == "append" && a.size() == 4) {
    return RawTable(dir + "shared.dbf").Append(a[2].c_str(), n(3)) ? 0 : 1;
  }
  if (op == "rewrite" && a.size() == 5) {
    return RawTable(dir + "shared.dbf").Rewrite(n(2), a[3].c_str(), n(4)) ? 0
                                                                          : 1;
  }
  if (op == "rewrite_key" && a.size() == 7) {
    return RawTable(dir + "shared.dbf").Rewrite(n(2), a[3].c_str(), n(4)) &&
                   RawChangeKey(dir + "byname.ntx", Pad(a[5].c_str()),
                                Pad(a[6].c_str()))
               ? 0
               : 1;
  }
  if (op == "engine" && a.size() == 3) {
    return PeerTest::EngineWorkIn(dir, a[2].c_str());
  }
  if (op == "write1" && a.size() == 3) {
    Wdbase c;
    return PeerTest::OpenIn(dir, &c, false) && c.Goto(1) &&
                   c.WriteString("NAME", a[2].c_str())
               ? 0
               : 1;
  }
  if (op == "generation" && a.size() == 4) {
    Wdbase::FlushSet(n(3));
    Wdbase p;
    if (!PeerTest::OpenIn(dir, &p, false) || !p.Goto(1) || !p.Delete()) {
      return 1;
    }
    if (n(2) == 0) return p.Pack() ? 0 : 2;
    if (n(2) == 1) return p.Zap(1, 1) ? 0 : 3;
    // A plain Zap leaves nothing to overwrite; an append after it does.
    if (!p.Zap() || !p.AppendBlank() || !p.WriteString("NAME", "new") ||
        !p.AppendBlank() || !p.WriteString("NAME", "new2")) {
      return 4;
    }
    return p.Close() ? 0 : 5;
  }
  if (op == "memo_pack") {
    Wdbase p;
    if (!p.SetFiles(dir.c_str(), "memo", 0, nullptr, nullptr) || !p.Open() ||
        !p.Goto(1) || !p.Delete()) {
      return 1;
    }
    return p.Pack() && p.Close() ? 0 : 2;
  }
  return 91;
}

TEST_F(PeerTest, RawPeerAppendsAndRewritesAreSeenAndKept) {
  Wdbase w;
  ASSERT_TRUE(Open(&w, false));
  for (int round = 0; round < 3; ++round) {
    Scan(&w);  // fills the read-ahead and the count
    const std::string r = std::to_string(round);
    ASSERT_EQ(0, RunChild("peer", {dir_, "append", "peer", r}));
    ASSERT_EQ(0, RunChild("peer", {dir_, "rewrite", "1", "rewritten", r}));
    // A read after the peer's unlock sees its bytes.
    ASSERT_TRUE(w.Goto(1));
    EXPECT_STREQ("rewritten", w.Read("NAME", 0, 1));
    EXPECT_EQ(round, w.ReadInt("SEQ"));
    ASSERT_TRUE(w.Goto(w.RecCount()));
    EXPECT_STREQ("peer", w.Read("NAME", 0, 1));
    // An append never lands on the peer's record.
    Scan(&w);
    ASSERT_EQ(0, RunChild("peer", {dir_, "append", "peer2", r}));
    ASSERT_TRUE(w.AppendBlank());
    ASSERT_TRUE(w.WriteString("NAME", "mine"));
  }
  EXPECT_EQ(
      "rewritten,BBB,CCC,peer,peer2,mine,peer,peer2,mine,peer,peer2,mine,",
      Names());
}

TEST_F(PeerTest, RawPeerIndexChangeIsSeenAndNotWrittenOver) {
  {
    Wdbase w;
    ASSERT_TRUE(Open(&w, true));  // builds the index
  }
  Wdbase w;
  ASSERT_TRUE(Open(&w, true));
  ASSERT_TRUE(w.SelectIdx(1));
  ASSERT_EQ(1, w.Seek("BBB"));  // the leaf is cached
  ASSERT_EQ(0, RunChild("peer",
                        {dir_, "rewrite_key", "2", "BBX", "1", "BBB", "BBX"}));
  // Before an unlocked read the header counter is compared.
  ASSERT_EQ(1, w.Seek("BBX"));
  EXPECT_EQ(2, w.RecNo());
  EXPECT_NE(1, w.Seek("BBB"));
  // After the lock the page is read again, not written back stale.
  ASSERT_EQ(0, RunChild("peer",
                        {dir_, "rewrite_key", "2", "BBY", "1", "BBX", "BBY"}));
  ASSERT_TRUE(w.Lock());
  ASSERT_TRUE(w.AppendBlank());
  ASSERT_TRUE(w.WriteString("NAME", "DDD"));
  ASSERT_TRUE(w.Unlock());
  w.Close();
  Wdbase r;
  ASSERT_TRUE(Open(&r, true));
  ASSERT_TRUE(r.SelectIdx(1));
  EXPECT_EQ(1, r.Seek("BBY"));
  EXPECT_EQ(1, r.Seek("DDD"));
  EXPECT_EQ(1, r.Seek("AAA"));
  EXPECT_EQ(1, r.Seek("CCC"));
  EXPECT_NE(1, r.Seek("BBX"));
  int n = 0;
  for (int ok = r.Top(); ok; ok = r.Next()) ++n;
  EXPECT_EQ(4, n);
}

#ifndef _WIN32
// The counter object of Linux (/dev/shm): an engine that cannot see it, one
// started after it was removed, and its life time.
TEST_F(PeerTest, EngineInAnotherMountNamespace) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root for unshare -m";
  Wdbase w;
  ASSERT_TRUE(Open(&w, false));
  Scan(&w);
  const int rc = InChild([&] {
    // Its own /dev/shm, as in a container sharing only the data volume.
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", "/dev/shm", "tmpfs", 0, nullptr) != 0) {
      return kSkipExit;
    }
    return EngineWork("ns");
  });
  if (rc == kSkipExit) GTEST_SKIP() << "unshare -m not allowed here";
  ASSERT_EQ(0, rc);
  ASSERT_TRUE(w.Goto(1));
  EXPECT_STREQ("ns", w.Read("NAME", 0, 1));
  ASSERT_TRUE(w.AppendBlank());
  ASSERT_TRUE(w.WriteString("NAME", "mine"));
  w.Close();
  EXPECT_EQ("ns,BBB,CCC,ns,mine,", Names());
}

TEST_F(PeerTest, CounterObjectRemovedBetweenEngines) {
  Wdbase w;
  ASSERT_TRUE(Open(&w, false));
  Scan(&w);
  // As systemd's RemoveIPC does when a user's last session ends.
  ASSERT_EQ(0, shm_unlink(ShmName(Path()).c_str()));
  ASSERT_EQ(0, RunChild("peer", {dir_, "engine", "later"}));
  ASSERT_TRUE(w.Goto(1));
  EXPECT_STREQ("later", w.Read("NAME", 0, 1));
  ASSERT_TRUE(w.AppendBlank());
  ASSERT_TRUE(w.WriteString("NAME", "mine"));
  ASSERT_TRUE(w.Goto(2));
  ASSERT_TRUE(w.WriteString("NAME", "second"));
  ASSERT_EQ(0, RunChild("peer", {dir_, "engine", "third"}));
  Scan(&w);
  ASSERT_TRUE(w.Goto(1));
  EXPECT_STREQ("third", w.Read("NAME", 0, 1));
  w.Close();
  EXPECT_EQ("third,second,CCC,later,mine,third,", Names());
}

TEST_F(PeerTest, CounterObjectGoesWithItsLastUser) {
  const std::string shm = "/dev/shm" + ShmName(Path());
  {
    Wdbase a;
    ASSERT_TRUE(Open(&a, false));
    EXPECT_EQ(0, access(shm.c_str(), F_OK));
    {
      Wdbase b;
      ASSERT_TRUE(Open(&b, false));
    }
    EXPECT_EQ(0, access(shm.c_str(), F_OK)) << "still in use by a";
    // A child holding it keeps it too.
    EXPECT_EQ(0, RunChild("peer", {dir_, "write1", "c"}));
    EXPECT_EQ(0, access(shm.c_str(), F_OK));
    ASSERT_TRUE(a.Goto(1));
    EXPECT_STREQ("c", a.Read("NAME", 0, 1));
  }
  EXPECT_NE(0, access(shm.c_str(), F_OK));
}

#endif  // _WIN32

TEST_F(PeerTest, ReadFromFileSwitch) {
  Wdbase w;
  ASSERT_TRUE(Open(&w, false));
  EXPECT_EQ(0, w.ReadFromFile(-1));
  EXPECT_EQ(0, w.ReadFromFile(1));
  EXPECT_EQ(1, w.ReadFromFile(-1));
  Scan(&w);
  ASSERT_EQ(0, RunChild("peer", {dir_, "rewrite", "3", "raw", "1"}));
  ASSERT_TRUE(w.Goto(3));
  EXPECT_STREQ("raw", w.Read("NAME", 0, 1));
  EXPECT_EQ(1, w.ReadFromFile(0));
  w.Close();
  platform::Env::Current()->SetEnv("KALVO_READ_FROM_FILE", "1");
  Wdbase e;
  ASSERT_TRUE(Open(&e, false));
  EXPECT_EQ(1, e.ReadFromFile(-1));
  platform::Env::Current()->UnsetEnv("KALVO_READ_FROM_FILE");
}

// --- the rewrite generation
// ---------------------------------------------------

class GenerationTest : public PeerTest,
                       public ::testing::WithParamInterface<bool> {};

TEST_P(GenerationTest, WriteFromABufferReadBeforeAPackIsRefused) {
  Wdbase::FlushSet(GetParam() ? 1 : 0);
  for (int op = 0; op < 3; ++op) {
    SetUp();
    Wdbase::FlushSet(GetParam() ? 1 : 0);
    Wdbase w;
    ASSERT_TRUE(Open(&w, false));
    ASSERT_TRUE(w.Goto(2));  // "BBB"
    ASSERT_EQ(0, RunChild("peer", {dir_, "generation", std::to_string(op),
                                   GetParam() ? "1" : "0"}));
    const int wrote = w.WriteString("NAME", "stale");
    const int flushed = wrote ? w.Flush() : 0;
    EXPECT_EQ(0, flushed) << "op " << op;
    EXPECT_EQ(-120, Wdbase::LastErrorCode()) << "op " << op;
    w.Close();
    EXPECT_EQ(op == 2 ? "new,new2," : "BBB,CCC,", Names()) << "op " << op;
  }
}

TEST_P(GenerationTest, MemoWriteFromABufferReadBeforeAPackIsRefused) {
  Wdbase::FlushSet(GetParam() ? 1 : 0);
  Wdbase m;
  ASSERT_EQ(1, m.SetFiles(dir_.c_str(), "memo", 0, nullptr, nullptr));
  auto f = Fields({Fld("NAME", 'C', 12), Fld("NOTE", 'M', 10)});
  ASSERT_EQ(1, m.CreateDb(f.data()));
  ASSERT_TRUE(m.Open());
  for (const char* t : {"first text", "second text", "third text"}) {
    ASSERT_TRUE(m.AppendBlank());
    ASSERT_TRUE(m.WriteString("NAME", t));
    ASSERT_TRUE(m.MemoWrite("NOTE", t, std::strlen(t)));
    ASSERT_TRUE(m.Flush());
  }
  ASSERT_TRUE(m.Goto(2));
  ASSERT_EQ(0, RunChild("peer", {dir_, "memo_pack"}));
  const char stale[] = "stale";
  EXPECT_EQ(0, m.MemoWrite("NOTE", stale, sizeof stale - 1));
  EXPECT_EQ(-120, Wdbase::LastErrorCode());
  m.Close();
  Wdbase r;
  ASSERT_TRUE(r.SetFiles(dir_.c_str(), "memo", 0, nullptr, nullptr) &&
              r.Open());
  ASSERT_EQ(2, r.RecCount());
  ASSERT_TRUE(r.Goto(1));
  EXPECT_STREQ("second text", r.MemoPtr("NOTE"));
  ASSERT_TRUE(r.Goto(2));
  EXPECT_STREQ("third text", r.MemoPtr("NOTE"));
}

INSTANTIATE_TEST_SUITE_P(AutoFlush, GenerationTest, ::testing::Bool());

}  // namespace
}  // namespace xbase32::testing
