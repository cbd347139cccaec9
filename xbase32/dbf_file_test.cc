// The data file's bytes against the documented layout, and bad files.

#include <gtest/gtest.h>

#include "platform/testing/fault_env.h"
#include "test_util.h"

namespace xbase32::testing {
namespace {

class DbfLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = drives_.dir() + "/";
    Wdbase::SetDebugLevel(0);
  }
  std::string Host(const char* name) { return drives_.Host(name); }
  platform::ScopedTempDrives drives_;
  std::string dir_;
};

TEST_F(DbfLayoutTest, CreatedFileMatchesLayout) {
  Wdbase w;
  ASSERT_EQ(1, w.SetFiles(dir_.c_str(), "layout", 0, nullptr, nullptr));
  auto f =
      Fields({Fld("NAME", 'C', 10), Fld("price", 'N', 8, 2),
              Fld("BORN", 'D', 0), Fld("OK", 'L', 0), Fld("NOTE", 'M', 0)});
  ASSERT_EQ(1, w.CreateDb(f.data()));
  const std::string b = ReadAll(Host("layout.dbf"));
  // 32 + 5 * 32 + 1 = 193 header bytes, and the 0x1A: 194 bytes.
  ASSERT_EQ(194u, b.size());
  EXPECT_EQ(0x83, static_cast<uint8_t>(b[0]));
  EXPECT_EQ(0, b[4] | b[5] | b[6] | b[7]);
  EXPECT_EQ(193, static_cast<uint8_t>(b[8]) | static_cast<uint8_t>(b[9]) << 8);
  EXPECT_EQ(38, static_cast<uint8_t>(b[10]) | static_cast<uint8_t>(b[11]) << 8);
  for (int i = 12; i < 32; ++i) EXPECT_EQ(0, b[i]) << i;
  EXPECT_EQ(0x0D, b[192]);
  EXPECT_EQ(0x1A, b[193]);
  // Descriptor 2: upper-cased name, NUL padding, type, width, decimals.
  const char* d = b.data() + 64;
  EXPECT_EQ(std::string("PRICE\0\0\0\0\0\0", 11), std::string(d, 11));
  EXPECT_EQ('N', d[11]);
  EXPECT_EQ(8, d[16]);
  EXPECT_EQ(2, d[17]);
  EXPECT_EQ('D', b[96 + 11]);
  EXPECT_EQ(8, b[96 + 16]);
  EXPECT_EQ(1, b[128 + 16]);
  EXPECT_EQ(10, b[160 + 16]);
  // The memo file holds only its header: next free block 1.
  EXPECT_EQ(std::string("\x01\0\0\0", 4), ReadAll(Host("layout.dbt")));
  // The date of the last update is today.
  platform::LocalTime t = platform::Env::Current()->Now();
  EXPECT_EQ(t.year - 1900, static_cast<uint8_t>(b[1]));
  EXPECT_EQ(t.month, b[2]);
}

TEST_F(DbfLayoutTest, PlainTableHasVersion3AndNoMemoFile) {
  Wdbase w;
  w.SetFiles(dir_.c_str(), "plain", 0, nullptr, nullptr);
  auto f = Fields({Fld("A", 'C', 1)});
  ASSERT_EQ(1, w.CreateDb(f.data()));
  EXPECT_EQ(0x03, static_cast<uint8_t>(ReadAll(Host("plain.dbf"))[0]));
  EXPECT_FALSE(platform::Env::Current()->FileExists(Host("plain.dbt")));
}

TEST_F(DbfLayoutTest, WideCharacterFieldUsesTwoLengthBytes) {
  Wdbase w;
  w.SetFiles(dir_.c_str(), "wide", 0, nullptr, nullptr);
  auto f = Fields({Fld("TEXT", 'C', 300)});
  ASSERT_EQ(1, w.CreateDb(f.data()));
  const std::string b = ReadAll(Host("wide.dbf"));
  EXPECT_EQ(0x2C, static_cast<uint8_t>(b[32 + 16]));
  EXPECT_EQ(0x01, static_cast<uint8_t>(b[32 + 17]));
  ASSERT_EQ(1, w.Open());
  EXPECT_EQ(300, w.FieldLen(1));
  // 65534 is the widest character field; it is read back unsigned.
  Wdbase v;
  v.SetFiles(dir_.c_str(), "widest", 0, nullptr, nullptr);
  auto g = Fields({Fld("T", 'C', 65533)});
  ASSERT_EQ(1, v.CreateDb(g.data()));
  ASSERT_EQ(1, v.Open());
  EXPECT_EQ(65533, v.FieldLen(1));
}

TEST_F(DbfLayoutTest, AppendWritesRecordEndMarkAndHeader) {
  Wdbase w;
  w.SetFiles(dir_.c_str(), "app", 0, nullptr, nullptr);
  auto f = Fields({Fld("NAME", 'C', 4), Fld("QTY", 'N', 3)});
  ASSERT_EQ(1, w.CreateDb(f.data()));
  ASSERT_EQ(1, w.Open());
  ASSERT_EQ(1, w.AppendBlank());
  ASSERT_EQ(1, w.WriteString("NAME", "AB"));
  ASSERT_EQ(1, w.WriteInt("QTY", -5));
  ASSERT_EQ(1, w.AppendBlank());
  ASSERT_EQ(1, w.Close());
  const std::string b = ReadAll(Host("app.dbf"));
  const size_t hl = 32 + 2 * 32 + 1;
  ASSERT_EQ(hl + 2 * 8 + 1, b.size());
  EXPECT_EQ(" AB   -5", b.substr(hl, 8));
  EXPECT_EQ("        ", b.substr(hl + 8, 8));
  EXPECT_EQ(0x1A, b.back());
  EXPECT_EQ(2, b[4]);
}

// The record count comes from the file length, not from the header.
TEST_F(DbfLayoutTest, CountIgnoresHeaderAndPartialRecords) {
  Wdbase w;
  w.SetFiles(dir_.c_str(), "cnt", 0, nullptr, nullptr);
  auto f = Fields({Fld("A", 'C', 3)});
  ASSERT_EQ(1, w.CreateDb(f.data()));
  std::string b = ReadAll(Host("cnt.dbf"));
  b.pop_back();  // the 0x1A
  for (int i = 0; i < 12; ++i) b += " abc";
  b[4] = 10;
  ASSERT_TRUE(WriteAll(Host("cnt.dbf"), b + "\x1A"));
  ASSERT_EQ(1, w.Open());
  EXPECT_EQ(12, w.RecCount());
  w.Close();
  ASSERT_TRUE(WriteAll(Host("cnt.dbf"), b + " ab"));
  ASSERT_EQ(1, w.Open());
  EXPECT_EQ(12, w.RecCount());
  EXPECT_EQ(1, w.Goto(12));
  EXPECT_EQ(0, w.Goto(13));
  EXPECT_EQ(1, w.Eof());
}

// Without a shared change counter (the fault env's files have none, as on
// Windows) every unlocked move asks for the record count again: by the
// length alone, never by a full status, and never from a cache another
// writer could not invalidate.
TEST_F(DbfLayoutTest, UnlockedMovesAskTheLengthOnly) {
  platform::FaultInjectionEnv env;
  platform::ScopedEnv use(&env);
  Wdbase a, b;
  ASSERT_EQ(1, a.SetFiles(dir_.c_str(), "len", 0, nullptr, nullptr));
  ASSERT_EQ(1, b.SetFiles(dir_.c_str(), "len", 0, nullptr, nullptr));
  auto f = Fields({Fld("N", 'N', 4)});
  ASSERT_EQ(1, a.CreateDb(f.data()));
  ASSERT_EQ(1, a.Open());
  for (int i = 1; i <= 20; ++i) {
    ASSERT_EQ(1, a.AppendBlank());
    ASSERT_EQ(1, a.WriteInt("N", i));
  }
  ASSERT_EQ(1, a.Flush());
  ASSERT_EQ(1, b.Open());
  env.ResetCounters();
  ASSERT_EQ(1, b.Top());
  for (int i = 2; i <= 20; ++i) {
    ASSERT_EQ(1, b.Next());
    ASSERT_EQ(i, b.ReadInt("N"));
  }
  EXPECT_EQ(0, env.counters().stats);
  EXPECT_GE(env.counters().sizes, 19);
  // Another handle appends: the next unlocked move sees it.
  ASSERT_EQ(1, a.AppendBlank());
  ASSERT_EQ(1, a.WriteInt("N", 21));
  ASSERT_EQ(1, a.Flush());
  ASSERT_EQ(1, b.Bottom());
  EXPECT_EQ(21, b.RecNo());
  EXPECT_EQ(21, b.ReadInt("N"));
  EXPECT_EQ(0, env.counters().stats);
}

struct BadFile {
  const char* what;
  std::string bytes;
  int code;
};

std::string Header(uint8_t version, uint16_t hl, uint16_t rl) {
  std::string h(32, '\0');
  h[0] = static_cast<char>(version);
  h[8] = static_cast<char>(hl & 0xFF);
  h[9] = static_cast<char>(hl >> 8);
  h[10] = static_cast<char>(rl & 0xFF);
  h[11] = static_cast<char>(rl >> 8);
  return h;
}

std::string Descriptor(const char* name, char type, uint8_t w, uint8_t d) {
  std::string s(32, '\0');
  std::memcpy(s.data(), name, std::strlen(name));
  s[11] = type;
  s[16] = static_cast<char>(w);
  s[17] = static_cast<char>(d);
  return s;
}

TEST_F(DbfLayoutTest, BadFilesFailWithTheirCodes) {
  const BadFile cases[] = {
      {"empty", "", -200},
      {"short header", std::string(20, '\x03'), -200},
      {"no terminator", Header(3, 65, 5) + Descriptor("A", 'C', 4, 0), -200},
      {"widths do not add up",
       Header(3, 65, 9) + Descriptor("A", 'C', 4, 0) + "\x0D\x1A", -200},
      {"absurd record length",
       Header(3, 65, 0xFFFF) + Descriptor("A", 'C', 4, 0) + "\x0D", -200},
      {"zero record length", Header(3, 33, 0) + "\x0D", -200},
      {"memo file that cannot be opened",
       Header(0x83, 65, 11) + Descriptor("M", 'M', 10, 0) + "\x0D\x1A", -60},
      {"garbage", std::string(4096, '\xA5'), -200},
  };
  // A missing memo file is made again; one that cannot be opened fails.
  ASSERT_TRUE(platform::Env::Current()->CreateDir(Host("bad.dbt")).ok());
  for (const BadFile& c : cases) {
    ASSERT_TRUE(WriteAll(Host("bad.dbf"), c.bytes));
    Wdbase w;
    w.SetFiles(dir_.c_str(), "bad", 0, nullptr, nullptr);
    EXPECT_EQ(0, w.Open()) << c.what;
    EXPECT_EQ(c.code, Wdbase::LastErrorCode()) << c.what;
    EXPECT_EQ(0, w.IsOpen(0)) << c.what;
  }
  Wdbase missing;
  missing.SetFiles(dir_.c_str(), "nothere", 0, nullptr, nullptr);
  EXPECT_EQ(0, missing.Open());
  EXPECT_EQ(-60, Wdbase::LastErrorCode());
  EXPECT_STREQ("Opening File", Wdbase::LastErrorText());
  EXPECT_STREQ("File Name:", Wdbase::LastErrorDetail(0));
}

TEST_F(DbfLayoutTest, UnknownTypeLettersAreReadWithTwoByteWidths) {
  std::string b = Header(3, 97, 1 + 4 + 0x102) + Descriptor("A", 'C', 4, 0) +
                  Descriptor("X", 'x', 0x02, 0x01) + "\x0D";
  ASSERT_TRUE(WriteAll(Host("odd.dbf"), b));
  Wdbase w;
  w.SetFiles(dir_.c_str(), "odd", 0, nullptr, nullptr);
  ASSERT_EQ(1, w.Open());
  EXPECT_EQ('X', w.FieldType(2));
  EXPECT_EQ(0x102, w.FieldLen(2));
}

struct BadStructure {
  const char* what;
  std::vector<WDBASE_FIELD> fields;
  int code;
};

TEST_F(DbfLayoutTest, CreateRefusesBadStructures) {
  std::vector<WDBASE_FIELD> many;
  for (int i = 0; i < 2047; ++i) {
    many.push_back(Fld(("F" + std::to_string(i)).c_str(), 'C', 1));
  }
  const BadStructure cases[] = {
      {"type letter", {Fld("A", 'X', 3)}, -220},
      {"numeric too wide", {Fld("A", 'N', 256)}, -20},
      {"decimals not below width", {Fld("A", 'N', 4, 4)}, -20},
      {"negative decimals", {Fld("A", 'N', 4, -1)}, -20},
      {"zero character width", {Fld("A", 'C', 0)}, -20},
      {"blank name", {Fld("   ", 'C', 1)}, -20},
      {"name with a blank inside", {Fld("A B", 'C', 1)}, -20},
      {"duplicate names", {Fld("A", 'C', 1), Fld("a", 'N', 2)}, -20},
      {"record too long", {Fld("A", 'C', 65000), Fld("B", 'C', 1000)}, -230},
      {"too many fields", many, -20},
  };
  for (const BadStructure& c : cases) {
    Wdbase w;
    w.SetFiles(dir_.c_str(), "refused", 0, nullptr, nullptr);
    auto f = Fields(c.fields);
    EXPECT_EQ(0, w.CreateDb(f.data())) << c.what;
    EXPECT_EQ(c.code, Wdbase::LastErrorCode()) << c.what;
    EXPECT_FALSE(platform::Env::Current()->FileExists(Host("refused.dbf")))
        << c.what;
  }
}

}  // namespace
}  // namespace xbase32::testing
