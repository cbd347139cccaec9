// Sharing with writers outside this process's change counter: a peer that
// follows the lock protocol with raw fcntl locks and pwrite (no engine, no
// counter), an engine process in another mount namespace (its own
// /dev/shm), and an engine process started after the counter object was
// removed. Nothing is overwritten, no index entry is lost, and a read
// after the other writer's unlock sees its bytes. Also the rewrite
// generation: writes from buffers read before another process's pack are
// refused.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

bool RawLock(int fd, short type, uint64_t off, uint64_t len) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(off);
  fl.l_len = static_cast<off_t>(len);
  return fcntl(fd, type == F_UNLCK ? F_SETLK : F_SETLKW, &fl) == 0;
}

struct RawTable {
  int fd = -1;
  uint32_t header = 0, reclen = 0;
  explicit RawTable(const std::string& path) {
    fd = open(path.c_str(), O_RDWR);
    uint8_t h[12] = {};
    if (fd >= 0 && pread(fd, h, sizeof h, 0) == sizeof h) {
      header = dbf::Get16(h + dbf::kOffHeaderLength);
      reclen = dbf::Get16(h + dbf::kOffRecordLength);
    }
  }
  ~RawTable() {
    if (fd >= 0) close(fd);
  }
  // NAME C(12), SEQ N(6).
  std::string Record(const char* name, int seq) const {
    char buf[64];
    std::snprintf(buf, sizeof buf, " %-12.12s%6d", name, seq);
    return std::string(buf, reclen);
  }
  bool Append(const char* name, int seq) {
    if (!RawLock(fd, F_WRLCK, dbf::kAppendLockOffset, 1)) return false;
    struct stat st;
    fstat(fd, &st);
    const uint32_t count = (st.st_size - header) / reclen;
    std::string rec = Record(name, seq) + '\x1A';
    bool ok = pwrite(fd, rec.data(), rec.size(),
                     header + static_cast<off_t>(count) * reclen) ==
              static_cast<ssize_t>(rec.size());
    uint8_t c[4];
    dbf::Put32(c, count + 1);
    ok = ok && pwrite(fd, c, 4, dbf::kOffCount) == 4;
    return RawLock(fd, F_UNLCK, dbf::kAppendLockOffset, 1) && ok;
  }
  bool Rewrite(int32_t n, const char* name, int seq) {
    if (!RawLock(fd, F_WRLCK, dbf::RecordLockOffset(n), 1)) return false;
    std::string rec = Record(name, seq);
    const bool ok = pwrite(fd, rec.data(), rec.size(),
                           header + static_cast<off_t>(n - 1) * reclen) ==
                    static_cast<ssize_t>(rec.size());
    return RawLock(fd, F_UNLCK, dbf::RecordLockOffset(n), 1) && ok;
  }
};

// Changes the key `from` to `to` (same length) in the root page of an NTX
// file whose tree is a single leaf, under the index lock, moving the
// header's counter.
bool RawChangeKey(const std::string& ntx, const std::string& from,
                  const std::string& to) {
  const int fd = open(ntx.c_str(), O_RDWR);
  if (fd < 0) return false;
  bool ok = RawLock(fd, F_WRLCK, 1000000000ULL, 1000000000ULL);
  uint8_t h[12] = {};
  ok = ok && pread(fd, h, sizeof h, 0) == sizeof h;
  const uint32_t root = dbf::Get32(h + 4);
  uint8_t page[1024];
  ok = ok && pread(fd, page, sizeof page, root) == sizeof page;
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
  ok = ok && found && pwrite(fd, page, sizeof page, root) == sizeof page;
  dbf::Put16(h + 2, static_cast<uint16_t>(dbf::Get16(h + 2) + 1));
  ok = ok && pwrite(fd, h, 4, 0) == 4;
  ok = RawLock(fd, F_UNLCK, 1000000000ULL, 1000000000ULL) && ok;
  close(fd);
  return ok;
}

std::string Pad(const char* s) {
  std::string k(s);
  k.resize(12, ' ');
  return k;
}

std::string ShmName(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return "";
  char name[96];
  std::snprintf(name, sizeof name, "/kalvo-change-%llx-%llx",
                static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  return name;
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
  bool Open(Wdbase* w, bool indexed) {
    const char* names[] = {"byname"};
    const char* exprs[] = {"NAME"};
    return w->SetFiles(dir_.c_str(), "shared", indexed ? 1 : 0, names, exprs) &&
           w->Open();
  }
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
  int EngineWork(const char* name) {
    Wdbase w;
    if (!Open(&w, false)) return 1;
    if (!w.AppendBlank() || !w.WriteString("NAME", name)) return 2;
    if (!w.Goto(1) || !w.WriteString("NAME", name)) return 3;
    return w.Close() ? 0 : 4;
  }
};

TEST_F(PeerTest, RawPeerAppendsAndRewritesAreSeenAndKept) {
  Wdbase w;
  ASSERT_TRUE(Open(&w, false));
  for (int round = 0; round < 3; ++round) {
    Scan(&w);  // fills the read-ahead and the count
    ASSERT_EQ(0, InChild([&] {
                RawTable t(Path());
                return t.Append("peer", round) &&
                               t.Rewrite(1, "rewritten", round)
                           ? 0
                           : 1;
              }));
    // A read after the peer's unlock sees its bytes.
    ASSERT_TRUE(w.Goto(1));
    EXPECT_STREQ("rewritten", w.Read("NAME", 0, 1));
    EXPECT_EQ(round, w.ReadInt("SEQ"));
    ASSERT_TRUE(w.Goto(w.RecCount()));
    EXPECT_STREQ("peer", w.Read("NAME", 0, 1));
    // An append never lands on the peer's record.
    Scan(&w);
    ASSERT_EQ(0, InChild([&] {
                return RawTable(Path()).Append("peer2", round) ? 0 : 1;
              }));
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
  ASSERT_EQ(0, InChild([&] {
              RawTable t(Path());
              return t.Rewrite(2, "BBX", 1) &&
                             RawChangeKey(dir_ + "byname.ntx", Pad("BBB"),
                                          Pad("BBX"))
                         ? 0
                         : 1;
            }));
  // Before an unlocked read the header counter is compared.
  ASSERT_EQ(1, w.Seek("BBX"));
  EXPECT_EQ(2, w.RecNo());
  EXPECT_NE(1, w.Seek("BBB"));
  // After the lock the page is read again, not written back stale.
  ASSERT_EQ(0, InChild([&] {
              RawTable t(Path());
              return t.Rewrite(2, "BBY", 1) &&
                             RawChangeKey(dir_ + "byname.ntx", Pad("BBX"),
                                          Pad("BBY"))
                         ? 0
                         : 1;
            }));
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
  ASSERT_EQ(0, InChild([&] { return EngineWork("later"); }));
  ASSERT_TRUE(w.Goto(1));
  EXPECT_STREQ("later", w.Read("NAME", 0, 1));
  ASSERT_TRUE(w.AppendBlank());
  ASSERT_TRUE(w.WriteString("NAME", "mine"));
  ASSERT_TRUE(w.Goto(2));
  ASSERT_TRUE(w.WriteString("NAME", "second"));
  ASSERT_EQ(0, InChild([&] { return EngineWork("third"); }));
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
    EXPECT_EQ(
        0, InChild([&] {
          Wdbase c;
          return Open(&c, false) && c.Goto(1) && c.WriteString("NAME", "c") ? 0
                                                                            : 1;
        }));
    EXPECT_EQ(0, access(shm.c_str(), F_OK));
    ASSERT_TRUE(a.Goto(1));
    EXPECT_STREQ("c", a.Read("NAME", 0, 1));
  }
  EXPECT_NE(0, access(shm.c_str(), F_OK));
}

TEST_F(PeerTest, ReadFromFileSwitch) {
  Wdbase w;
  ASSERT_TRUE(Open(&w, false));
  EXPECT_EQ(0, w.ReadFromFile(-1));
  EXPECT_EQ(0, w.ReadFromFile(1));
  EXPECT_EQ(1, w.ReadFromFile(-1));
  Scan(&w);
  ASSERT_EQ(0, InChild([&] {
              return RawTable(Path()).Rewrite(3, "raw", 1) ? 0 : 1;
            }));
  ASSERT_TRUE(w.Goto(3));
  EXPECT_STREQ("raw", w.Read("NAME", 0, 1));
  EXPECT_EQ(1, w.ReadFromFile(0));
  w.Close();
  setenv("KALVO_READ_FROM_FILE", "1", 1);
  Wdbase e;
  ASSERT_TRUE(Open(&e, false));
  EXPECT_EQ(1, e.ReadFromFile(-1));
  unsetenv("KALVO_READ_FROM_FILE");
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
    ASSERT_EQ(0, InChild([&] {
                Wdbase p;
                if (!Open(&p, false) || !p.Goto(1) || !p.Delete()) return 1;
                if (op == 0) return p.Pack() ? 0 : 2;
                if (op == 1) return p.Zap(1, 1) ? 0 : 3;
                // A plain Zap leaves nothing to overwrite; an append after it
                // does.
                if (!p.Zap() || !p.AppendBlank() ||
                    !p.WriteString("NAME", "new") || !p.AppendBlank() ||
                    !p.WriteString("NAME", "new2")) {
                  return 4;
                }
                return p.Close() ? 0 : 5;
              }));
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
  ASSERT_EQ(0, InChild([&] {
              Wdbase p;
              if (!p.SetFiles(dir_.c_str(), "memo", 0, nullptr, nullptr) ||
                  !p.Open() || !p.Goto(1) || !p.Delete()) {
                return 1;
              }
              return p.Pack() && p.Close() ? 0 : 2;
            }));
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
