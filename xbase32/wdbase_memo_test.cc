// Memo texts: the block arithmetic against the file layout, the read
// operations' contracts, a lost memo file, damaged memo files, failures
// and two processes allocating blocks at once.

#include <cstring>
#include <set>
#include <vector>

#include "dbf_format.h"
#include "maintenance_test_util.h"
#include "memo_file.h"
#include "platform/testing/fault_env.h"

namespace xbase32::testing {
namespace {

using MemoTest = TableTest;

std::string Field(Wdbase* w, const char* name) { return w->Read(name); }

TEST_F(MemoTest, BlockArithmeticFollowsTheLayout) {
  Wdbase w;
  MakeNotes(&w, "notes", 1, false);
  // A new memo file is the 4-byte header with next free block 1.
  EXPECT_EQ(std::string("\x01\0\0\0", 4), Bytes("notes.dbt"));
  EXPECT_EQ(std::string(10, ' '), Field(&w, "NOTES"));  // blank on append

  const std::string t600(600, 'a');
  ASSERT_EQ(1, w.MemoWrite("NOTES", t600.data(), t600.size()));
  EXPECT_EQ("         1", Field(&w, "NOTES"));
  std::string b = Bytes("notes.dbt");
  EXPECT_EQ(3u, Get32(b, 0));
  EXPECT_EQ(t600, b.substr(512, 600));
  // The end mark, and the second one other readers look for.
  EXPECT_EQ("\x1A\x1A", b.substr(1112, 2));
  EXPECT_EQ(1114u, b.size());

  // 700 bytes fit the 1024 bytes the old text occupied: block 1 is kept.
  const std::string t700(700, 'b');
  ASSERT_EQ(1, w.MemoWrite("NOTES", t700.data(), t700.size()));
  EXPECT_EQ("         1", Field(&w, "NOTES"));
  b = Bytes("notes.dbt");
  EXPECT_EQ(3u, Get32(b, 0));
  EXPECT_EQ(t700 + "\x1A\x1A", b.substr(512, 702));

  // 1100 bytes do not: the text moves to the next free block 3, which moves
  // on by ceil(1101 / 512) = 3 blocks.
  const std::string t1100(1100, 'c');
  ASSERT_EQ(1, w.MemoWrite("NOTES", t1100.data(), t1100.size()));
  EXPECT_EQ("         3", Field(&w, "NOTES"));
  b = Bytes("notes.dbt");
  EXPECT_EQ(6u, Get32(b, 0));
  EXPECT_EQ(t1100 + "\x1A\x1A", b.substr(3 * 512, 1102));
  EXPECT_EQ(t1100, Memo(&w, "NOTES"));

  // The record holds the number on disk.
  const std::string d = Bytes("notes.dbf");
  EXPECT_EQ("         3", d.substr(32 + 2 * 32 + 1 + 1 + 8, 10));
}

// A record filter gets a const table: the memo texts and the positions are
// readable through it.
int HideShortNotes(const Wdbase* w) {
  char buf[8];
  const uint32_t len = w->MemoLen("NOTES");
  const char* p = w->MemoPtr("NOTES");
  if (p == nullptr || w->MemoRead("NOTES", buf, sizeof buf) != len) return 1;
  if (w->IsEmpty() || w->GetPosition() < 1 || w->GetLastPosition() < 1) {
    return 1;
  }
  return len < 30 ? 1 : 0;
}

TEST_F(MemoTest, RecordFilterReadsMemoTextsThroughAConstTable) {
  Wdbase w;
  MakeNotes(&w, "notes", 4);  // texts of 17, 34, 51 and 68 characters
  ASSERT_EQ(1, w.SetFilter(HideShortNotes));
  std::vector<int32_t> seen;
  for (int ok = w.Top(); ok; ok = w.Next()) seen.push_back(w.RecNo());
  EXPECT_EQ((std::vector<int32_t>{2, 3, 4}), seen);
}

TEST_F(MemoTest, SecondEndMarkOnlyInsideTheTextsBlocks) {
  struct Case {
    size_t len;
    uint32_t next;  // next free block after writing into a new file
    bool second;    // whether a second 0x1A follows
  } cases[] = {
      {1, 2, true},   {510, 2, true},  {511, 2, false},
      {512, 3, true}, {1022, 3, true}, {1023, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.len);
    Wdbase w;
    MakeNotes(&w, "notes", 1, false);
    const std::string t(c.len, 'x');
    ASSERT_EQ(1, w.MemoWrite("NOTES", t.data(), t.size()));
    const std::string b = Bytes("notes.dbt");
    EXPECT_EQ(c.next, Get32(b, 0));
    EXPECT_EQ('\x1A', b[512 + c.len]);
    EXPECT_EQ(512 + c.len + (c.second ? 2 : 1), b.size());
    EXPECT_EQ(t, Memo(&w, "NOTES"));
    ASSERT_EQ(1, w.Close());
  }
}

TEST_F(MemoTest, ReadsTextsOfOtherWriters) {
  Wdbase w;
  MakeNotes(&w, "notes", 3, false);
  ASSERT_EQ(1, w.Close());
  // Texts ending with two marks, one mark, and one running to the end of
  // the file; block numbers zero-padded, blank-padded and zero.
  std::string m(4 * 512, '\0');
  m[0] = 5;
  const std::string a = "two marks", b = "one mark", c = "no mark at all";
  m.replace(512, a.size() + 2, a + "\x1A\x1A");
  m.replace(1024, b.size() + 1, b + "\x1A");
  m.replace(1536, 512, std::string(512, 'z'));
  m += c;
  ASSERT_TRUE(WriteAll(Host("notes.dbt"), m));
  std::string d = Bytes("notes.dbf");
  const size_t first = 32 + 2 * 32 + 1, per = 19;
  d.replace(first + 9, 10, "0000000001");
  d.replace(first + per + 9, 10, "2         ");
  d.replace(first + 2 * per + 9, 10, "         3");
  ASSERT_TRUE(WriteAll(Host("notes.dbf"), d));

  ASSERT_TRUE(OpenTable(&w, "notes"));
  EXPECT_EQ(a, Memo(&w, "NOTES"));
  ASSERT_EQ(1, w.Goto(2));
  EXPECT_EQ(b, Memo(&w, "NOTES"));
  ASSERT_EQ(1, w.Goto(3));
  EXPECT_EQ(std::string(512, 'z') + c, Memo(&w, "NOTES"));
  // Blank and zero mean no text.
  ASSERT_EQ(1, w.Goto(2));
  ASSERT_EQ(1, w.MemoWrite("NOTES", "", 0));
  EXPECT_EQ(std::string(10, ' '), Field(&w, "NOTES"));
  EXPECT_EQ(0u, w.MemoLen("NOTES"));
  EXPECT_STREQ("", w.MemoPtr("NOTES"));
}

TEST_F(MemoTest, ReadOperationsKeepTheirContracts) {
  Wdbase w;
  ASSERT_TRUE(
      Make(&w, "notes",
           {Fld("NAME", 'C', 8), Fld("NOTES", 'M', 10), Fld("PIC", 'G', 10)}));
  ASSERT_EQ(1, w.AppendBlank());
  ASSERT_EQ(1, w.MemoWrite(2, "hello world", 11));
  ASSERT_EQ(1, w.MemoWrite("pic", "graphic", 7));

  EXPECT_EQ(11u, w.MemoLen(2));
  EXPECT_EQ(7u, w.MemoLen(" Pic "));
  EXPECT_STREQ("hello world", w.MemoPtr("NOTES"));
  EXPECT_STREQ("graphic", w.MemoPtr(3));

  char buf[32];
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(11u, w.MemoRead(2, buf, 5));  // cut, no room for the NUL
  EXPECT_EQ("hello#", std::string(buf, 6));
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(11u, w.MemoRead("NOTES", buf, 11));
  EXPECT_EQ("hello world#", std::string(buf, 12));
  EXPECT_EQ(11u, w.MemoRead("NOTES", buf, sizeof buf));
  EXPECT_STREQ("hello world", buf);
  EXPECT_EQ(11u, w.MemoRead("NOTES", nullptr, 0));

  // Invalid fields, a field of another type, the end of file.
  std::strcpy(buf, "kept?");
  EXPECT_EQ(0u, w.MemoRead(9, buf, sizeof buf));
  EXPECT_STREQ("", buf);  // emptied first
  EXPECT_EQ(0u, w.MemoLen(0));
  EXPECT_EQ(0u, w.MemoLen("NAME"));
  EXPECT_EQ(nullptr, w.MemoPtr("NOPE"));
  EXPECT_EQ(nullptr, w.MemoPtr(1));
  EXPECT_EQ(0, w.MemoWrite(1, "x", 1));
  EXPECT_EQ(0, w.MemoWrite(4, "x", 1));
  EXPECT_EQ(0, w.MemoWrite("NOTES", nullptr, 3));
  ASSERT_EQ(0, w.Next());
  EXPECT_EQ(nullptr, w.MemoPtr(2));
  EXPECT_EQ(0u, w.MemoLen(2));
  EXPECT_EQ(0, w.MemoWrite(2, "x", 1));
  ASSERT_EQ(1, w.Close());
  EXPECT_EQ(nullptr, w.MemoPtr(2));
  EXPECT_EQ(0, w.MemoWrite(2, "x", 1));
}

TEST_F(MemoTest, TextsAreBytesAndNeverHoldTheEndMark) {
  Wdbase w;
  MakeNotes(&w, "notes", 1, false);
  const std::string bin("a\0b\xff\r\n", 6);
  ASSERT_EQ(1, w.MemoWrite("NOTES", bin.data(), bin.size()));
  char buf[16];
  ASSERT_EQ(6u, w.MemoRead("NOTES", buf, sizeof buf));
  EXPECT_EQ(bin, std::string(buf, 6));
  // The end mark would cut the text: refused, nothing changes.
  EXPECT_EQ(0, w.MemoWrite("NOTES",
                           "ab\x1A"
                           "cd",
                           5));
  EXPECT_EQ(-930, Wdbase::LastErrorCode());
  EXPECT_EQ(bin, Memo(&w, "NOTES"));
}

TEST_F(MemoTest, WithoutAutoFlushTheFieldWaitsForTheFlush) {
  Wdbase w;
  MakeNotes(&w, "notes", 1, false);
  Wdbase::FlushSet(0);
  ASSERT_EQ(1, w.MemoWrite("NOTES", "later", 5));
  EXPECT_EQ("         1", Field(&w, "NOTES"));
  const size_t at = 32 + 2 * 32 + 1 + 9;
  EXPECT_EQ(std::string(10, ' '), Bytes("notes.dbf").substr(at, 10));
  // The blocks are taken already: another text goes after them.
  EXPECT_EQ(2u, Get32(Bytes("notes.dbt"), 0));
  ASSERT_EQ(1, w.Flush());
  EXPECT_EQ("         1", Bytes("notes.dbf").substr(at, 10));
}

TEST_F(MemoTest, DamagedHeaderNeverSendsATextOverOthers) {
  Wdbase w;
  MakeNotes(&w, "notes", 2);
  // Next free block 0, then 1: both point into existing texts.
  for (uint32_t bad : {0u, 1u}) {
    SCOPED_TRACE(bad);
    std::string m = Bytes("notes.dbt");
    m[0] = static_cast<char>(bad);
    ASSERT_TRUE(WriteAll(Host("notes.dbt"), m));
    const uint32_t end_block = static_cast<uint32_t>((m.size() + 511) / 512);
    ASSERT_EQ(1, w.Goto(1));
    // Longer than the old text's space: it needs new blocks.
    const std::string t(600 + 1000 * bad, 'n');
    ASSERT_EQ(1, w.MemoWrite("NOTES", t.data(), t.size()));
    EXPECT_EQ(end_block, static_cast<uint32_t>(w.ReadLong("NOTES")));
    ASSERT_EQ(1, w.Goto(2));
    EXPECT_EQ(NoteText(2), Memo(&w, "NOTES"));
    ASSERT_EQ(1, w.Goto(1));
    EXPECT_EQ(t, Memo(&w, "NOTES"));
  }
}

TEST_F(MemoTest, ShortMemoHeaderFailsTheWrite) {
  Wdbase w;
  MakeNotes(&w, "notes", 1, false);
  ASSERT_TRUE(WriteAll(Host("notes.dbt"), std::string("\x01", 1)));
  EXPECT_EQ(0, w.MemoWrite("NOTES", "abc", 3));
  EXPECT_EQ(-70, Wdbase::LastErrorCode());
  EXPECT_EQ(std::string(10, ' '), Field(&w, "NOTES"));
}

TEST_F(MemoTest, ReadAndWriteFailures) {
  {
    Wdbase w;
    MakeNotes(&w, "notes", 1);
  }
  platform::FaultInjectionEnv env;
  platform::ScopedEnv use(&env);
  Wdbase w;
  ASSERT_TRUE(OpenTable(&w, "notes"));
  env.FailPath("notes.dbt", platform::FaultInjectionEnv::kRead);
  EXPECT_EQ(0u, w.MemoLen("NOTES"));
  EXPECT_STREQ("", w.MemoPtr("NOTES"));
  EXPECT_EQ(-70, Wdbase::LastErrorCode());
  env.ClearFaults();
  EXPECT_EQ(NoteText(1), Memo(&w, "NOTES"));

  // A failed write keeps the old number in the field.
  env.FailPath("notes.dbt", platform::FaultInjectionEnv::kWrite);
  const std::string t(2000, 'q');
  EXPECT_EQ(0, w.MemoWrite("NOTES", t.data(), t.size()));
  EXPECT_EQ(-120, Wdbase::LastErrorCode());
  EXPECT_EQ("         1", Field(&w, "NOTES"));
  env.ClearFaults();
  EXPECT_EQ(NoteText(1), Memo(&w, "NOTES"));
  EXPECT_EQ(1, w.MemoWrite("NOTES", t.data(), t.size()));
  EXPECT_EQ(t, Memo(&w, "NOTES"));
}

TEST_F(MemoTest, LostMemoFileIsReportedAndNeverHandsOutNamedBlocks) {
  {
    Wdbase w;
    MakeNotes(&w, "notes", 3);  // blocks 1, 2 and 3
    ASSERT_EQ(1, w.Goto(2));
    const std::string t(700, 'm');  // record 2 moves to blocks 4 and 5
    ASSERT_EQ(1, w.MemoWrite("NOTES", t.data(), t.size()));
    ASSERT_EQ(4, w.ReadLong("NOTES"));
    ASSERT_EQ(1, w.Goto(3));
    ASSERT_EQ(1, w.MemoWrite("NOTES", "", 0));
  }
  ASSERT_TRUE(platform::Env::Current()->DeleteFile(Host("notes.dbt")).ok());
  MessageRecorder boxes;
  Wdbase::SetDebugLevel(1);
  Wdbase w;
  ASSERT_TRUE(OpenTable(&w, "notes"));
  EXPECT_EQ(-60, Wdbase::LastErrorCode());
  ASSERT_EQ(1u, MessageRecorder::Boxes().size());
  EXPECT_NE(std::string::npos,
            MessageRecorder::Boxes()[0].text.find("texts are lost"));
  // Next free block past block 4, the largest one named; the named blocks
  // read as empty texts.
  std::string m = Bytes("notes.dbt");
  EXPECT_EQ(5u, Get32(m, 0));
  EXPECT_EQ('\x1A', m[512]);
  EXPECT_EQ('\x1A', m[4 * 512]);
  EXPECT_EQ(0u, w.MemoLen("NOTES"));
  ASSERT_EQ(1, w.Goto(3));
  ASSERT_EQ(1, w.MemoWrite("NOTES", "fresh", 5));
  EXPECT_EQ(5, w.ReadLong("NOTES"));
  ASSERT_EQ(1, w.Goto(2));
  EXPECT_EQ(0u, w.MemoLen("NOTES"));
  ASSERT_EQ(1, w.Goto(3));
  EXPECT_EQ("fresh", Memo(&w, "NOTES"));
}

TEST_F(MemoTest, RecreatedMemoFileIgnoresCorruptBlockNumbers) {
  {
    Wdbase w;
    MakeNotes(&w, "notes", 2);  // blocks 1 and 2
    ASSERT_EQ(1, w.Goto(2));
    std::memcpy(w.RecordBufferPtr() + 8, "4294967295", 10);  // NOTES
    ASSERT_EQ(1, w.RecordBufferWrite());
  }
  ASSERT_TRUE(platform::Env::Current()->DeleteFile(Host("notes.dbt")).ok());
  Wdbase w;
  ASSERT_TRUE(OpenTable(&w, "notes"));
  std::string m = Bytes("notes.dbt");
  EXPECT_EQ(2u, Get32(m, 0));  // past block 1 only
  EXPECT_LT(m.size(), 4096u);
  ASSERT_EQ(1, w.Goto(2));
  EXPECT_EQ(0u, w.MemoLen("NOTES"));
  ASSERT_EQ(1, w.MemoWrite("NOTES", "fresh", 5));
  EXPECT_EQ("fresh", Memo(&w, "NOTES"));
  EXPECT_EQ(2, w.ReadLong("NOTES"));
}

TEST_F(MemoTest, LostMemoFileWithoutTextsIsMadeQuietly) {
  {
    Wdbase w;
    MakeNotes(&w, "notes", 2, false);
  }
  ASSERT_TRUE(platform::Env::Current()->DeleteFile(Host("notes.dbt")).ok());
  MessageRecorder boxes;
  Wdbase::SetDebugLevel(1);
  Wdbase w;
  ASSERT_TRUE(OpenTable(&w, "notes"));
  EXPECT_TRUE(MessageRecorder::Boxes().empty());
  EXPECT_EQ(std::string("\x01\0\0\0", 4), Bytes("notes.dbt"));
}

// args: dir, child number c, count, gate marker. Waits for the gate, then
// appends count records "A0".. (c 0) or "B0".. (c 1) to notes, each with a
// text of 1..3 blocks written twice (the second one often moves).
KALVO_CHILD_MAIN(memo_append_texts)(const std::vector<std::string>& args) {
  ChildSetUp();
  if (args.size() != 4) return 8;
  if (!platform::testing::WaitForFile(args[3])) return 7;
  const int c = std::stoi(args[1]);
  Wdbase w;
  if (!w.SetFiles(args[0].c_str(), "notes", 0, nullptr, nullptr) || !w.Open()) {
    return 1;
  }
  for (int i = 0; i < std::stoi(args[2]); ++i) {
    if (!w.AppendBlank()) return 2;
    const std::string who = (c == 0 ? "A" : "B") + std::to_string(i);
    if (!w.WriteString("NAME", who.c_str())) return 3;
    std::string t(static_cast<size_t>(100 + 37 * i % 1200), 'a' + c);
    t += who;
    if (!w.MemoWrite("NOTES", t.data(), t.size())) return 4;
    t += std::string(300, 'z');
    if (!w.MemoWrite("NOTES", t.data(), t.size())) return 5;
  }
  return w.Close() ? 0 : 6;
}

// args: dir. Writes the text "waited" into record 1 of notes.
KALVO_CHILD_MAIN(memo_write_waited)(const std::vector<std::string>& args) {
  ChildSetUp();
  Wdbase c;
  if (args.size() != 1 ||
      !c.SetFiles(args[0].c_str(), "notes", 0, nullptr, nullptr) || !c.Open()) {
    return 1;
  }
  return c.MemoWrite("NOTES", "waited", 6) ? 0 : 2;
}

TEST_F(MemoTest, TwoProcessesNeverShareBlocks) {
  constexpr int kPerChild = 150;
  {
    Wdbase w;
    MakeNotes(&w, "notes", 0);
  }
  // Both children start together when the gate marker appears.
  const std::string gate = Host("gate.marker");
  std::unique_ptr<platform::Process> kids[2];
  for (int c = 0; c < 2; ++c) {
    ASSERT_TRUE(platform::testing::StartChild(
                    "memo_append_texts",
                    {dir_, std::to_string(c), std::to_string(kPerChild), gate},
                    &kids[c])
                    .ok());
  }
  ASSERT_TRUE(platform::testing::SignalFile(gate));
  for (auto& kid : kids) ASSERT_EQ(0, platform::testing::WaitChild(kid.get()));
  Wdbase w;
  ASSERT_TRUE(OpenTable(&w, "notes"));
  ASSERT_EQ(2 * kPerChild, w.RecCount());
  std::set<uint32_t> used;
  for (int ok = w.Top(); ok; ok = w.Next()) {
    const std::string who = w.Read("NAME", 0, 1);
    const int c = who[0] == 'A' ? 0 : 1;
    const int i = std::stoi(who.substr(1));
    std::string t(static_cast<size_t>(100 + 37 * i % 1200), 'a' + c);
    t += who + std::string(300, 'z');
    ASSERT_EQ(t, Memo(&w, "NOTES")) << who;
    const uint32_t first = static_cast<uint32_t>(w.ReadLong("NOTES"));
    for (uint32_t b = first; b < first + MemoBlocks(t.size()); ++b) {
      ASSERT_TRUE(used.insert(b).second) << "block " << b << " twice";
    }
  }
}

TEST_F(MemoTest, AllocationWaitsForTheAppendLock) {
  {
    Wdbase w;
    MakeNotes(&w, "notes", 1, false);
  }
  // Another handle holds the append lock.
  std::unique_ptr<platform::File> holder;
  ASSERT_TRUE(
      platform::Env::Current()
          ->OpenFile(Host("notes.dbf"), platform::OpenMode::kReadWrite, &holder)
          .ok());
  ASSERT_EQ(platform::LockResult::kLocked,
            holder->TryLock(dbf::kAppendLockOffset, 1));
  std::unique_ptr<platform::Process> child;
  ASSERT_TRUE(
      platform::testing::StartChild("memo_write_waited", {dir_}, &child).ok());
  platform::Env::Current()->SleepMs(100);
  // The child has not allocated: the header still says block 1.
  EXPECT_EQ(1u, Get32(Bytes("notes.dbt"), 0));
  ASSERT_TRUE(holder->Unlock(dbf::kAppendLockOffset, 1).ok());
  EXPECT_EQ(0, platform::testing::WaitChild(child.get()));
  EXPECT_EQ(2u, Get32(Bytes("notes.dbt"), 0));
}

TEST(MemoFieldTest, BlockNumbersInFields) {
  struct Case {
    const char* field;
    uint32_t block;
  } cases[] = {
      {"         1", 1},           {"0000000012", 12}, {"12        ", 12},
      {"          ", 0},           {"0000000000", 0},  {"-5        ", 0},
      {"4294967295", 4294967295u}, {"4294967296", 0},  {"abc       ", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.block, MemoFieldBlock(c.field, 10)) << c.field;
  }
  char f[11] = {};
  ASSERT_TRUE(SetMemoFieldBlock(f, 10, 42, false));
  EXPECT_STREQ("        42", f);
  ASSERT_TRUE(SetMemoFieldBlock(f, 10, 42, true));
  EXPECT_STREQ("0000000042", f);
  ASSERT_TRUE(SetMemoFieldBlock(f, 10, 0, true));
  EXPECT_STREQ("          ", f);
  char narrow[4] = "abc";
  EXPECT_FALSE(SetMemoFieldBlock(narrow, 3, 1234, false));
  EXPECT_STREQ("abc", narrow);
  EXPECT_EQ(1u, MemoBlocks(0));
  EXPECT_EQ(1u, MemoBlocks(511));
  EXPECT_EQ(2u, MemoBlocks(512));
  EXPECT_EQ(2u, MemoBlocks(600));
  EXPECT_EQ(3u, MemoBlocks(1100));
}

}  // namespace
}  // namespace xbase32::testing
