// Pack and Zap: records kept and renumbered, the file bytes afterwards, the
// memo compaction, failures part way, the locks, and a table packed by one
// process while others hold it open.

#include <set>

#include "dbf_format.h"
#include "maintenance_test_util.h"
#include "platform/testing/fault_env.h"

namespace xbase32::testing {
namespace {

using PackTest = TableTest;

// Names of the records in natural order.
std::string Names(Wdbase* w) {
  std::string s;
  for (int ok = w->Top(); ok; ok = w->Next()) {
    if (!s.empty()) s += ",";
    s += w->Read("NAME", 0, 1);
  }
  return s;
}

class PackNames : public PackTest {
 protected:
  void MakeNames(Wdbase* w, int n) {
    ASSERT_TRUE(Make(w, "names", {Fld("NAME", 'C', 8)}));
    Wdbase::FlushSet(0);
    for (int i = 1; i <= n; ++i) {
      ASSERT_EQ(1, w->AppendBlank());
      ASSERT_EQ(1, w->WriteString("NAME", ("R" + std::to_string(i)).c_str()));
    }
    ASSERT_EQ(1, w->Flush());
    Wdbase::FlushSet(1);
  }
  void DeleteRecords(Wdbase* w, std::initializer_list<int> recs) {
    for (int r : recs) {
      ASSERT_EQ(1, w->Goto(r));
      ASSERT_EQ(1, w->Delete());
    }
  }
  // Header count and length of names.dbf.
  void ExpectFile(int count) {
    const std::string b = Bytes("names.dbf");
    EXPECT_EQ(static_cast<uint32_t>(count), Get32(b, 4));
    EXPECT_EQ(32u + 32 + 1 + 9u * static_cast<size_t>(count) + 1, b.size());
    EXPECT_EQ('\x1A', b.back());
  }
};

TEST_F(PackNames, PackRemovesDeletedRecordsAndRenumbers) {
  Wdbase w;
  MakeNames(&w, 5);
  DeleteRecords(&w, {2, 4});
  ASSERT_EQ(1, w.Pack());
  EXPECT_EQ(3, w.RecCount());
  EXPECT_EQ(0, w.RecNo());  // no current record
  ExpectFile(3);
  EXPECT_EQ("R1,R3,R5", Names(&w));
  ASSERT_EQ(1, w.Goto(2));
  EXPECT_STREQ("R3", w.Read("NAME", 0, 1));
}

TEST_F(PackNames, PackReadsTheFlagByte) {
  Wdbase w;
  MakeNames(&w, 4);
  // "!" selected stays; "*" and "+" (deleted and selected) go.
  ASSERT_EQ(1, w.Goto(1));
  ASSERT_EQ(1, w.Select());
  ASSERT_EQ(1, w.Goto(2));
  ASSERT_EQ(1, w.Delete());
  ASSERT_EQ(1, w.Select());
  ASSERT_EQ(1, w.Goto(3));
  ASSERT_EQ(1, w.Delete());
  // The change of the current record is written by Pack itself.
  ASSERT_EQ(1, w.Pack());
  EXPECT_EQ("R1,R4", Names(&w));
  ASSERT_EQ(1, w.Goto(1));
  EXPECT_EQ(1, w.Selected());
}

TEST_F(PackNames, PackOfNothingAndOfEverything) {
  Wdbase w;
  MakeNames(&w, 3);
  ASSERT_EQ(1, w.Pack());
  EXPECT_EQ("R1,R2,R3", Names(&w));
  ExpectFile(3);
  DeleteRecords(&w, {1, 2, 3});
  ASSERT_EQ(1, w.Pack());
  EXPECT_EQ(0, w.RecCount());
  ExpectFile(0);
  EXPECT_EQ(0, w.Top());
  ASSERT_EQ(1, w.AppendBlank());
  EXPECT_EQ(1, w.RecNo());
}

TEST_F(PackNames, ZapRangesFollowTheArgumentRules) {
  struct Case {
    int32_t from, to;
    int answer;
    const char* left;
  } cases[] = {
      {2, 3, 1, "R1,R4,R5"},
      {0, 2, 1, "R3,R4,R5"},
      {4, 99, 1, "R1,R2,R3"},
      {5, 5, 1, "R1,R2,R3,R4"},
      {6, 7, 1, "R1,R2,R3,R4,R5"},
      {3, 2, 1, "R1,R2,R3,R4,R5"},
      {1, 5, 1, ""},
      {-1, 2, 0, "R1,R2,R3,R4,R5"},
      {2, -1, 0, "R1,R2,R3,R4,R5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + ".." + std::to_string(c.to));
    Wdbase w;
    MakeNames(&w, 5);
    EXPECT_EQ(c.answer, w.Zap(c.from, c.to));
    EXPECT_EQ(c.left, Names(&w));
    int n = 0;
    for (const char* p = c.left; *p; ++p) n += *p == 'R';
    ExpectFile(n);
    ASSERT_EQ(1, w.Close());
  }
}

TEST_F(PackNames, ZapWithoutArgumentsEmptiesTheTable) {
  Wdbase w;
  MakeNames(&w, 700);  // more than one chunk of records
  ASSERT_EQ(1, w.Zap());
  EXPECT_EQ(0, w.RecCount());
  ExpectFile(0);
  ASSERT_EQ(1, w.Zap());
}

TEST_F(PackNames, LargeTablesMoveInChunks) {
  // 70 000 records (several chunks), every third one deleted, written raw.
  {
    Wdbase w;
    MakeNames(&w, 0);
  }
  std::string d = Bytes("names.dbf");
  d.pop_back();  // the end mark
  for (int r = 1; r <= 70000; ++r) {
    char rec[10];
    std::snprintf(rec, sizeof rec, "%c%-8s", r % 3 == 1 ? '*' : ' ',
                  ("R" + std::to_string(r)).c_str());
    d.append(rec, 9);
  }
  d += '\x1A';
  ASSERT_TRUE(WriteAll(Host("names.dbf"), d));
  Wdbase w;
  ASSERT_TRUE(OpenTable(&w, "names"));
  ASSERT_EQ(1, w.Pack());
  ASSERT_EQ(46666, w.RecCount());
  ExpectFile(46666);
  // Kept record k was record 3 * ((k - 1) / 2) + 2 + (k - 1) % 2.
  auto old_number = [](int k) { return 3 * ((k - 1) / 2) + 2 + (k - 1) % 2; };
  int k = 1;
  for (int ok = w.Top(); ok; ok = w.Next(), ++k) {
    ASSERT_EQ("R" + std::to_string(old_number(k)), w.Read("NAME", 0, 1));
  }
  EXPECT_EQ(46667, k);
  ASSERT_EQ(1, w.Zap(10, 46000));
  ASSERT_EQ(675, w.RecCount());
  ExpectFile(675);
  ASSERT_EQ(1, w.Goto(9));
  EXPECT_EQ("R" + std::to_string(old_number(9)), w.Read("NAME", 0, 1));
  ASSERT_EQ(1, w.Goto(10));
  EXPECT_EQ("R" + std::to_string(old_number(46001)), w.Read("NAME", 0, 1));
}

// args: path. 1 when this process gets the append lock of the table, 0
// when it is busy, 9 when the table does not open.
KALVO_CHILD_MAIN(pack_probe_append)(const std::vector<std::string>& args) {
  std::unique_ptr<platform::File> f;
  if (args.size() != 1 ||
      !platform::Env::Current()
           ->OpenFile(args[0], platform::OpenMode::kReadWrite, &f)
           .ok()) {
    return 9;
  }
  return f->TryLock(dbf::kAppendLockOffset, 1) == platform::LockResult::kLocked
             ? 1
             : 0;
}

// args: dir, packer (0/1), ready marker, gate marker, appends. Opens names,
// signals ready, waits for the gate, then packs (packer) or appends
// "A1".."A<appends>".
KALVO_CHILD_MAIN(pack_other)(const std::vector<std::string>& args) {
  ChildSetUp();
  if (args.size() != 5) return 9;
  Wdbase w;
  if (!w.SetFiles(args[0].c_str(), "names", 0, nullptr, nullptr) || !w.Open()) {
    return 1;
  }
  if (!platform::testing::SignalFile(args[2])) return 7;
  if (!platform::testing::WaitForFile(args[3])) return 8;
  if (args[1] == "1") return w.Pack() ? 0 : 2;
  // Each new record is filled under the lock, so that a pack never comes
  // between its append and its write (the record number would be stale).
  for (int i = 1; i <= std::stoi(args[4]); ++i) {
    if (!w.Lock() || !w.AppendBlank()) return 3;
    if (!w.WriteString("NAME", ("A" + std::to_string(i)).c_str())) return 4;
    if (!w.Unlock()) return 6;
  }
  return w.Close() ? 0 : 5;
}

TEST_F(PackNames, LockOfTheCallerOutlivesThePack) {
  Wdbase w;
  MakeNames(&w, 3);
  const std::string path = Host("names.dbf");
  auto probe = [&] { return RunChild("pack_probe_append", {path}); };
  ASSERT_EQ(1, w.Pack());
  EXPECT_EQ(1, probe());  // released
  ASSERT_EQ(1, w.Lock());
  ASSERT_EQ(1, w.Zap(1, 1));
  EXPECT_EQ(0, probe());  // still held
  ASSERT_EQ(1, w.Unlock());
  EXPECT_EQ(1, probe());
}

TEST_F(PackNames, FailurePartWayIsReported) {
  {
    Wdbase w;
    MakeNames(&w, 2000);
  }
  struct Case {
    const char* what;
    unsigned ops;
    int code;
  } cases[] = {
      {"write", platform::FaultInjectionEnv::kWrite, -120},
      {"truncate", platform::FaultInjectionEnv::kTruncate, -40},
      {"read", platform::FaultInjectionEnv::kRead, -70},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    platform::FaultInjectionEnv env;
    platform::ScopedEnv use(&env);
    Wdbase w;
    ASSERT_TRUE(OpenTable(&w, "names"));
    DeleteRecords(&w, {1});
    ASSERT_EQ(1, w.Goto(2));
    env.FailPath("names.dbf", c.ops);
    EXPECT_EQ(0, w.Pack());
    EXPECT_EQ(c.code, Wdbase::LastErrorCode());
    env.ClearFaults();
  }
  // A write that stops part way through the records.
  platform::FaultInjectionEnv env;
  platform::ScopedEnv use(&env);
  Wdbase w;
  ASSERT_TRUE(OpenTable(&w, "names"));
  DeleteRecords(&w, {1});
  ASSERT_EQ(1, w.Goto(2));
  env.ShortWriteNext("names.dbf", 100);
  EXPECT_EQ(0, w.Pack());
  EXPECT_EQ(-120, Wdbase::LastErrorCode());
  env.ClearFaults();
  // The table is usable again and a new pack finishes the work.
  ASSERT_EQ(1, w.Goto(1));
  ASSERT_EQ(1, w.Delete());
  ASSERT_EQ(1, w.Pack());
}

// --- memo compaction
// -------------------------------------------------------------

using PackMemo = PackTest;

TEST_F(PackMemo, CompactionKeepsEveryTextAndDropsIdleBlocks) {
  Wdbase w;
  MakeNotes(&w, "notes", 8);
  // Idle blocks: record 2 grows out of its place, record 5 loses its text.
  ASSERT_EQ(1, w.Goto(2));
  const std::string big(1500, 'B');
  ASSERT_EQ(1, w.MemoWrite("NOTES", big.data(), big.size()));
  ASSERT_EQ(1, w.Goto(5));
  ASSERT_EQ(1, w.MemoWrite("NOTES", "", 0));
  ASSERT_EQ(1, w.Goto(3));
  ASSERT_EQ(1, w.Delete());
  ASSERT_EQ(1, w.Pack());

  // Kept: R1, R2 (big), R4, R5 (no text), R6, R7, R8. New blocks in the
  // order of the old ones: R1 1, R4 2, R6 3, R7 4, R8 5, R2 6..8.
  const char* expect[][2] = {
      {"R1", "0000000001"}, {"R2", "0000000006"}, {"R4", "0000000002"},
      {"R5", "          "}, {"R6", "0000000003"}, {"R7", "0000000004"},
      {"R8", "0000000005"},
  };
  ASSERT_EQ(7, w.RecCount());
  int i = 0;
  for (int ok = w.Top(); ok; ok = w.Next(), ++i) {
    ASSERT_STREQ(expect[i][0], w.Read("NAME", 0, 1));
    EXPECT_STREQ(expect[i][1], w.Read("NOTES")) << expect[i][0];
    const int n = std::stoi(std::string(expect[i][0] + 1));
    const std::string want = n == 2 ? big : n == 5 ? "" : NoteText(n);
    EXPECT_EQ(want, Memo(&w, "NOTES")) << expect[i][0];
  }
  const std::string m = Bytes("notes.dbt");
  EXPECT_EQ(9u, Get32(m, 0));
  EXPECT_EQ(6u * 512 + 1500 + 2, m.size());  // cut after the last text
  // New texts go to the next free block.
  ASSERT_EQ(1, w.AppendBlank());
  ASSERT_EQ(1, w.MemoWrite("NOTES", "new", 3));
  EXPECT_EQ(9, w.ReadLong("NOTES"));
}

TEST_F(PackMemo, SharedBlocksAndTailsOfTexts) {
  Wdbase w;
  ASSERT_TRUE(
      Make(&w, "notes",
           {Fld("NAME", 'C', 8), Fld("A", 'M', 10), Fld("B", 'M', 10)}));
  for (int i = 0; i < 3; ++i) ASSERT_EQ(1, w.AppendBlank());
  ASSERT_EQ(1, w.Close());
  // Block 1 holds nothing anybody names; block 3 a text of 2 blocks whose
  // second block another field names; block 6 is named twice.
  std::string m(7 * 512, '\0');
  m[0] = 8;
  const std::string two = std::string(512, 'x') + "tail", one = "single";
  m.replace(3 * 512, two.size() + 1, two + "\x1A");
  m.replace(6 * 512, one.size() + 1, one + "\x1A");
  m.resize(6 * 512 + one.size() + 1);
  ASSERT_TRUE(WriteAll(Host("notes.dbt"), m));
  std::string d = Bytes("notes.dbf");
  const size_t first = 32 + 3 * 32 + 1, per = 29;
  d.replace(first + 9, 20, "         3         4");
  d.replace(first + per + 9, 20, "         6         6");
  d.replace(first + 2 * per + 9, 20, "          0000000000");
  ASSERT_TRUE(WriteAll(Host("notes.dbf"), d));

  ASSERT_TRUE(OpenTable(&w, "notes"));
  ASSERT_EQ(1, w.Pack());
  ASSERT_EQ(1, w.Goto(1));
  EXPECT_STREQ("0000000001", w.Read("A"));
  EXPECT_STREQ("0000000002", w.Read("B"));
  EXPECT_EQ(two, Memo(&w, "A"));
  EXPECT_EQ("tail", Memo(&w, "B"));
  ASSERT_EQ(1, w.Goto(2));
  EXPECT_STREQ("0000000003", w.Read("A"));
  EXPECT_STREQ("0000000003", w.Read("B"));
  EXPECT_EQ(one, Memo(&w, "B"));
  ASSERT_EQ(1, w.Goto(3));
  EXPECT_STREQ("          ", w.Read("A"));
  EXPECT_STREQ("          ", w.Read("B"));
  EXPECT_EQ(4u, Get32(Bytes("notes.dbt"), 0));
}

TEST_F(PackMemo, ZapDropsTheTextsOfRemovedRecords) {
  Wdbase w;
  MakeNotes(&w, "notes", 5);
  ASSERT_EQ(1, w.Zap(2, 3));
  EXPECT_EQ("R1,R4,R5", [&] {
    std::string s;
    for (int ok = w.Top(); ok; ok = w.Next()) {
      if (!s.empty()) s += ",";
      s += w.Read("NAME", 0, 1);
      const int n = std::stoi(std::string(w.Read("NAME", 0, 1) + 1));
      EXPECT_EQ(NoteText(n), Memo(&w, "NOTES"));
    }
    return s;
  }());
  ASSERT_EQ(1, w.Zap());
  EXPECT_EQ(std::string("\x01\0\0\0", 4), Bytes("notes.dbt"));
}

// --- other processes
// -----------------------------------------------------------

TEST_F(PackNames, OthersHoldingTheTableOpenLoseNothing) {
  constexpr int kAppends = 100;
  {
    Wdbase w;
    MakeNames(&w, 200);
    Wdbase::FlushSet(0);
    for (int r = 2; r <= 200; r += 2) {
      ASSERT_EQ(1, w.Goto(r));
      ASSERT_EQ(1, w.Delete());
    }
    Wdbase::FlushSet(1);
  }
  // Both children open the table first, then start together.
  const std::string gate = Host("gate.marker");
  std::unique_ptr<platform::Process> kids[2];
  for (int packer = 0; packer < 2; ++packer) {
    const std::string ready = Host("ready" + std::to_string(packer));
    ASSERT_TRUE(
        platform::testing::StartChild("pack_other",
                                      {dir_, std::to_string(packer), ready,
                                       gate, std::to_string(kAppends)},
                                      &kids[packer])
            .ok());
    ASSERT_TRUE(
        platform::testing::WaitForFile(ready, 60000, kids[packer].get()));
  }
  ASSERT_TRUE(platform::testing::SignalFile(gate));
  for (auto& kid : kids) ASSERT_EQ(0, platform::testing::WaitChild(kid.get()));
  Wdbase w;
  ASSERT_TRUE(OpenTable(&w, "names"));
  ASSERT_EQ(100 + kAppends, w.RecCount());
  std::set<std::string> seen;
  for (int ok = w.Top(); ok; ok = w.Next()) {
    ASSERT_EQ(0, w.Deleted());
    ASSERT_TRUE(seen.insert(w.Read("NAME", 0, 1)).second);
  }
  for (int i = 1; i <= 199; i += 2) {
    EXPECT_EQ(1u, seen.count("R" + std::to_string(i)));
  }
  for (int i = 1; i <= kAppends; ++i) {
    EXPECT_EQ(1u, seen.count("A" + std::to_string(i)));
  }
  ExpectFile(100 + kAppends);
}

TEST_F(PackNames, AHandleOpenBeforeThePackSeesThePackedTable) {
  Wdbase w;
  MakeNames(&w, 5);
  Wdbase other;
  ASSERT_TRUE(OpenTable(&other, "names"));
  ASSERT_EQ(1, other.Goto(5));
  DeleteRecords(&w, {1, 2});
  ASSERT_EQ(1, w.Pack());
  // The same file, rewritten in place: the other handle reads the new
  // records and appends after them.
  EXPECT_EQ(3, other.RecCount());
  EXPECT_EQ("R3,R4,R5", Names(&other));
  ASSERT_EQ(1, other.AppendBlank());
  ASSERT_EQ(1, other.WriteString("NAME", "late"));
  EXPECT_EQ("R3,R4,R5,late", Names(&w));
  ExpectFile(4);
}

}  // namespace
}  // namespace xbase32::testing
