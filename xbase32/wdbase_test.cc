// Behaviour of the Wdbase handle: definitions, navigation, field access and
// conversions, the record flag, the error report and the static helpers.

#include "xbase32/wdbase.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "test_util.h"

namespace xbase32::testing {
namespace {

class WdbaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = drives_.dir() + "/";
    Wdbase::SetDebugLevel(0);
    Wdbase::FlushSet(1);
  }
  void TearDown() override {
    Wdbase::SetDebugLevel(0);
    Wdbase::FlushSet(1);
  }
  // A table with one field of each kind and n records numbered in NAME.
  void MakeTable(Wdbase* w, const char* name, int n) {
    ASSERT_EQ(1, w->SetFiles(dir_.c_str(), name, 0, nullptr, nullptr));
    auto f = Fields({Fld("NAME", 'C', 10), Fld("PRICE", 'N', 8, 2),
                     Fld("QTY", 'N', 3), Fld("BORN", 'D', 0), Fld("OK", 'L', 0),
                     Fld("RATE", 'F', 6, 1)});
    ASSERT_EQ(1, w->CreateDb(f.data()));
    ASSERT_EQ(1, w->Open());
    for (int i = 1; i <= n; ++i) {
      ASSERT_EQ(1, w->AppendBlank());
      ASSERT_EQ(1, w->WriteString(1, ("R" + std::to_string(i)).c_str()));
    }
  }
  platform::ScopedTempDrives drives_;
  std::string dir_;
};

TEST_F(WdbaseTest, SetFilesNormalisesTheDefinition) {
  Wdbase w;
  const char* names[] = {"BYNAME", "Other.IDX"};
  const char* exprs[] = {"upper(name)  \t", "qty"};
  ASSERT_EQ(1, w.SetFiles("ignored", "C:\\DATA\\PRODUCTS", 2, names, exprs));
  EXPECT_STREQ("c:\\data\\", w.GetPath());
  EXPECT_STREQ("products.dbf", w.GetName(0));
  EXPECT_STREQ("byname.ntx", w.GetName(1));
  EXPECT_STREQ("other.idx", w.GetName(2));
  EXPECT_EQ(nullptr, w.GetName(3));
  EXPECT_STREQ("UPPER(NAME)", w.GetIdxExpr(1));
  EXPECT_EQ(2, w.GetIdxCount());
  EXPECT_EQ(1, w.IdxNameToNumber("ByName"));
  EXPECT_EQ(2, w.IdxNameToNumber("other.idx"));
  EXPECT_EQ(0, w.IdxNameToNumber("other"));

  ASSERT_EQ(1, w.SetFiles(nullptr, "t", 0, nullptr, nullptr));
  EXPECT_STREQ(".\\", w.GetPath());
  ASSERT_EQ(1, w.SetPath("D:\\Work"));
  EXPECT_STREQ("d:\\work\\", w.GetPath());
  ASSERT_EQ(1, w.SetPath(""));
  EXPECT_STREQ(".\\", w.GetPath());
}

TEST_F(WdbaseTest, SetFilesRefusesBadNamesAndClearsTheDefinition) {
  Wdbase w;
  const char* nine[9] = {"a", "b", "c", "d", "e", "f", "g", "h", "i"};
  const char* exprs[9] = {"A", "A", "A", "A", "A", "A", "A", "A", "A"};
  const char* empty_expr[] = {"  "};
  struct Case {
    const char* what;
    const char* name;
    int count;
    const char* const* names;
    const char* const* exprs;
  } cases[] = {
      {"nine-character base", "ABCDEFGHI", 0, nullptr, nullptr},
      {"four-character extension", "abc.dbff", 0, nullptr, nullptr},
      {"nine indexes", "abc", 9, nine, exprs},
      {"negative count", "abc", -1, nullptr, nullptr},
      {"null name", nullptr, 0, nullptr, nullptr},
      {"empty name", "", 0, nullptr, nullptr},
      {"empty expression", "abc", 1, nine, empty_expr},
      {"long index name", "abc", 1, nine + 0, exprs},
  };
  const char* long_index[] = {"ninechars"};
  cases[7].names = long_index;
  for (const Case& c : cases) {
    ASSERT_EQ(1, w.SetFiles(nullptr, "good", 0, nullptr, nullptr));
    EXPECT_EQ(0, w.SetFiles("x", c.name, c.count, c.names, c.exprs)) << c.what;
    EXPECT_EQ(nullptr, w.GetName(0)) << c.what;
    EXPECT_EQ(0, w.GetIdxCount()) << c.what;
  }
}

TEST_F(WdbaseTest, DrivePathsMapBelowTheDrivesRoot) {
#ifdef _WIN32
  GTEST_SKIP() << "drive letters are the host's own on Windows: there is no "
                  "drives root to map them below";
#endif
  platform::Env* env = platform::Env::Current();
  ASSERT_TRUE(env->CreateDir("c:\\").ok() || env->FileExists("c:\\"));
  ASSERT_TRUE(env->CreateDir("c:\\DATA").ok());
  Wdbase w;
  ASSERT_EQ(1, w.SetFiles(nullptr, "C:\\DATA\\PRODUCTS", 0, nullptr, nullptr));
  auto f = Fields({Fld("ID", 'N', 5)});
  ASSERT_EQ(1, w.CreateDb(f.data()));
  EXPECT_TRUE(env->FileExists(drives_.drives() + "/c/DATA/products.dbf"));
  EXPECT_EQ(1, w.Access(0));
  EXPECT_GT(w.FileTime(0), 0);
  EXPECT_EQ(0, w.Access(1));
}

TEST_F(WdbaseTest, NavigationEnds) {
  Wdbase w;
  MakeTable(&w, "nav", 3);
  ASSERT_EQ(1, w.Top());
  EXPECT_EQ(1, w.RecNo());
  EXPECT_EQ(0, w.Previous());
  EXPECT_EQ(1, w.RecNo());
  EXPECT_EQ(1, w.Bof());
  EXPECT_EQ(1, w.Next());
  EXPECT_EQ(0, w.Bof());
  EXPECT_EQ(1, w.Skip(1));
  EXPECT_EQ(3, w.RecNo());
  EXPECT_EQ(0, w.Next());
  EXPECT_EQ(1, w.Eof());
  EXPECT_EQ(4, w.RecNo());
  EXPECT_STREQ("          ", w.Read(1));
  EXPECT_EQ(0, w.Skip(1));
  EXPECT_EQ(4, w.RecNo());
  EXPECT_EQ(1, w.Skip(-1));
  EXPECT_EQ(3, w.RecNo());
  ASSERT_EQ(0, w.Next());
  EXPECT_EQ(1, w.Previous());
  EXPECT_EQ(3, w.RecNo());
  EXPECT_EQ(0, w.Skip(-5));
  EXPECT_EQ(1, w.RecNo());
  EXPECT_EQ(1, w.Bof());
  EXPECT_EQ(1, w.Bottom());
  EXPECT_EQ(3, w.RecNo());
  EXPECT_EQ(0, w.Goto(0));
  EXPECT_EQ(1, w.RecNo());
  EXPECT_EQ(0, w.Goto(9));
  EXPECT_EQ(1, w.Eof());
  EXPECT_EQ(1, w.Goto(2));
  EXPECT_STREQ("R2", w.Read(1, 0, 1));
  EXPECT_EQ(2, w.GetPosition());
  EXPECT_EQ(3, w.GetLastPosition());
  EXPECT_FALSE(w.IsEmpty());
}

TEST_F(WdbaseTest, EmptyTable) {
  Wdbase w;
  MakeTable(&w, "empty", 0);
  EXPECT_EQ(1, w.Eof());
  EXPECT_EQ(0, w.Top());
  EXPECT_EQ(0, w.Bottom());
  EXPECT_EQ(1, w.RecNo());
  EXPECT_TRUE(w.IsEmpty());
  EXPECT_EQ(0, w.WriteString(1, "x"));
  EXPECT_EQ(0, w.Delete());
  EXPECT_EQ(0, w.RecordBufferWrite());
  EXPECT_EQ(0, w.RecallAll());
}

TEST_F(WdbaseTest, ClosedObjectAnswers) {
  Wdbase w;
  EXPECT_EQ(-1, w.RecNo());
  EXPECT_EQ(-1, w.RecCount());
  EXPECT_EQ(1, w.Eof());
  EXPECT_EQ(0, w.Bof());
  EXPECT_EQ(0, w.FieldCount());
  EXPECT_EQ(nullptr, w.Read(1));
  EXPECT_EQ(nullptr, w.RecordBufferPtr());
  EXPECT_EQ(0, w.Top());
  EXPECT_EQ(0, w.Close());
  EXPECT_EQ(0, w.Flush());
  EXPECT_EQ(1, w.IsClosed(0));
  EXPECT_EQ(1, w.IsClosed(-3));
  EXPECT_TRUE(w.IsEmpty());
  char type = 'x';
  int len = 9;
  EXPECT_EQ(0, w.FieldInfo(1, nullptr, &type, &len, nullptr));
  EXPECT_EQ(' ', type);
  EXPECT_EQ(0, len);
}

TEST_F(WdbaseTest, OpenStateRefusesDefinitionChanges) {
  Wdbase w;
  MakeTable(&w, "state", 1);
  EXPECT_EQ(0, w.Open());
  EXPECT_EQ(0, w.SetFiles(dir_.c_str(), "x", 0, nullptr, nullptr));
  EXPECT_EQ(0, w.SetPath("c:\\"));
  EXPECT_EQ(0, w.Unlink(0));
  EXPECT_EQ(0, w.Rename("y", 0));
  auto f = Fields({Fld("A", 'C', 1)});
  EXPECT_EQ(0, w.CreateDb(f.data()));
  ASSERT_EQ(1, w.Close());
  EXPECT_STREQ("state.dbf", w.GetName(0));
  ASSERT_EQ(1, w.Rename("moved", 0));
  EXPECT_EQ(0, w.Access(0));
  ASSERT_EQ(1, w.SetFiles(dir_.c_str(), "moved", 0, nullptr, nullptr));
  ASSERT_EQ(1, w.Open());
  EXPECT_EQ(1, w.RecCount());
  w.Close();
  EXPECT_EQ(1, w.Unlink(0));
  EXPECT_EQ(0, w.Access(0));
}

TEST_F(WdbaseTest, FieldInformation) {
  Wdbase w;
  MakeTable(&w, "info", 1);
  char name[11];
  char type;
  int len, dec;
  ASSERT_EQ(1, w.FieldInfo(2, name, &type, &len, &dec));
  EXPECT_STREQ("PRICE", name);
  EXPECT_EQ('N', type);
  EXPECT_EQ(8, len);
  EXPECT_EQ(2, dec);
  EXPECT_EQ('N', w.FieldType("rate"));  // F reports N
  EXPECT_EQ(6, w.FieldNo(" rate "));
  EXPECT_EQ(0, w.FieldNo("nope"));
  EXPECT_EQ(0, w.FieldInfo(7, name, &type, &len, &dec));
  EXPECT_STREQ("", name);
  EXPECT_EQ(' ', w.FieldType(0));
  EXPECT_EQ(0, w.FieldLen("nope"));
  EXPECT_EQ(6, w.FieldCount());
  EXPECT_EQ(10 + 8 + 3 + 8 + 1 + 6, w.RecordBufferLen());
}

struct NumberCase {
  const char* field;
  double value;
  bool as_int;
  const char* stored;
};

TEST_F(WdbaseTest, NumbersAreFormattedIntoTheirFields) {
  Wdbase w;
  MakeTable(&w, "num", 1);
  const NumberCase cases[] = {
      {"QTY", -5, true, " -5"},
      {"QTY", -100, true, "***"},
      {"QTY", 999, true, "999"},
      {"QTY", 1000, true, "***"},
      {"QTY", 0, true, "  0"},
      {"PRICE", 0.5, false, "    0.50"},
      {"PRICE", -0.5, false, "   -0.50"},
      {"PRICE", 7, true, "    7.00"},
      {"PRICE", 12345.678, false, "12345.68"},
      {"PRICE", 123456.7, false, "********"},
      {"RATE", 1234.5, false, "1234.5"},
      {"RATE", 12345.5, false, "******"},
      {"NAME", 42, true, "        42"},
  };
  for (const NumberCase& c : cases) {
    int ok = c.as_int ? w.WriteInt(c.field, static_cast<int>(c.value))
                      : w.WriteDouble(c.field, c.value);
    ASSERT_EQ(1, ok) << c.field << " " << c.value;
    EXPECT_STREQ(c.stored, w.Read(c.field)) << c.field << " " << c.value;
  }
  w.WriteDouble("PRICE", -12.345);
  EXPECT_DOUBLE_EQ(-12.35, w.ReadDouble("PRICE"));
  EXPECT_EQ(-12, w.ReadInt("PRICE"));
  EXPECT_EQ(0, w.WriteDouble("NAME", 1.0));
  EXPECT_EQ(0, w.WriteString("QTY", "12"));
  EXPECT_EQ(0, w.WriteInt("BORN", 2451545));
}

TEST_F(WdbaseTest, DatesAndLogicals) {
  Wdbase w;
  MakeTable(&w, "dates", 1);
  EXPECT_EQ(0, w.ReadLong("BORN"));
  ASSERT_EQ(1, w.WriteString("BORN", Wdbase::MakeDate(2000, 1, 1)));
  EXPECT_STREQ("20000101", w.Read("BORN"));
  EXPECT_EQ(2451545, w.ReadLong("BORN"));
  EXPECT_DOUBLE_EQ(2451545.0, w.ReadDouble("BORN"));
  ASSERT_EQ(1, w.WriteString("BORN", "20090230"));
  EXPECT_EQ(-1, w.ReadLong("BORN"));
  ASSERT_EQ(1, w.WriteString("BORN", "00010101"));
  EXPECT_EQ(1721426, w.ReadLong("BORN"));

  EXPECT_EQ(0, w.ReadBool("OK"));
  ASSERT_EQ(1, w.WriteChar("OK", 'y'));
  EXPECT_STREQ("T", w.Read("OK"));
  EXPECT_EQ(1, w.ReadBool("OK"));
  ASSERT_EQ(1, w.WriteString("OK", "no"));
  EXPECT_STREQ("F", w.Read("OK"));
  ASSERT_EQ(1, w.WriteInt("OK", 3));
  EXPECT_STREQ("T", w.Read("OK"));
  ASSERT_EQ(1, w.WriteChar("NAME", 'Q'));
  EXPECT_STREQ("Q         ", w.Read("NAME"));
  EXPECT_EQ('Q', w.ReadChar("NAME"));
  EXPECT_EQ(0, w.WriteChar("QTY", '1'));
}

TEST_F(WdbaseTest, WriteCharAndReadCharAreSymmetricForEveryAnsiByte) {
  Wdbase w;
  MakeTable(&w, "chars", 1);
  for (int b = 1; b < 256; ++b) {
    SCOPED_TRACE(b);
    const char c = static_cast<char>(b);
    ASSERT_EQ(1, w.WriteChar("NAME", c));
    char text[16];
    ASSERT_EQ(1, w.ReadString("NAME", text, sizeof text));
    EXPECT_EQ(text[0], w.ReadChar("NAME"));
    // Whatever the OEM page can hold comes back as it went in.
    std::string once(1, c);
    platform::AnsiToOem(once.data(), 1);
    platform::OemToAnsi(once.data(), 1);
    if (once[0] == c) {
      EXPECT_EQ(c, w.ReadChar("NAME"));
    }
  }
  // 0xE9 (e acute) is in both pages.
  ASSERT_EQ(1, w.WriteChar("NAME", '\xE9'));
  EXPECT_EQ('\xE9', w.ReadChar("NAME"));
  w.SetOEMConversionMode(Wdbase_OEMtoChar_Off);
  EXPECT_EQ('\x82', w.ReadChar("NAME"));  // the byte in the file
}

TEST_F(WdbaseTest, TextWritesAndTrimming) {
  Wdbase w;
  MakeTable(&w, "text", 1);
  ASSERT_EQ(1, w.WriteString("NAME", "  blue sky longer than ten"));
  EXPECT_STREQ("  blue sky", w.Read("NAME"));
  EXPECT_STREQ("blue sky", w.Read("NAME", 1, 0));
  // An empty text leaves the field alone while converting.
  ASSERT_EQ(1, w.WriteString("NAME", ""));
  EXPECT_STREQ("  blue sky", w.Read("NAME"));
  w.SetOEMConversionMode(Wdbase_OEMtoChar_Off);
  ASSERT_EQ(1, w.WriteString("NAME", ""));
  EXPECT_STREQ("          ", w.Read("NAME"));
  ASSERT_EQ(1, w.WriteString("NAME", "abc"));
  char buf[5];
  ASSERT_EQ(1, w.ReadString("NAME", buf, sizeof buf));
  EXPECT_STREQ("abc ", buf);
  ASSERT_EQ(1, w.ReadString("NAME", buf, sizeof buf, 0, 1));
  EXPECT_STREQ("abc", buf);
  EXPECT_EQ(0, w.ReadString("NAME", buf, 0));
  EXPECT_EQ(0, w.ReadString("nope", buf, sizeof buf));
  EXPECT_STREQ("", buf);
}

TEST_F(WdbaseTest, TextIsStoredInTheOemCodePage) {
  Wdbase w;
  MakeTable(&w, "oem", 1);
  // ANSI (1252) 0xE9 is OEM (850) 0x82.
  ASSERT_EQ(1, w.WriteString("NAME", "caf\xE9"));
  EXPECT_STREQ("caf\x82      ", w.Read("NAME"));
  char buf[11];
  ASSERT_EQ(1, w.ReadString("NAME", buf, sizeof buf, 0, 1));
  EXPECT_STREQ("caf\xE9", buf);
  ASSERT_EQ(Wdbase_OEMtoChar_On, w.SetOEMConversionMode(Wdbase_OEMtoChar_Off));
  ASSERT_EQ(1, w.ReadString("NAME", buf, sizeof buf, 0, 1));
  EXPECT_STREQ("caf\x82", buf);
  ASSERT_EQ(1, w.WriteString("NAME", "caf\xE9"));
  EXPECT_STREQ("caf\xE9      ", w.Read("NAME"));
}

TEST_F(WdbaseTest, RecordFlagByte) {
  Wdbase w;
  MakeTable(&w, "flags", 2);
  ASSERT_EQ(1, w.Goto(1));
  ASSERT_EQ(1, w.Select());
  EXPECT_EQ(1, w.Selected());
  ASSERT_EQ(1, w.Delete());
  EXPECT_EQ('+', w.RecordBufferPtr()[-1]);
  EXPECT_EQ(1, w.Deleted());
  ASSERT_EQ(1, w.Recall());
  EXPECT_EQ('!', w.RecordBufferPtr()[-1]);
  ASSERT_EQ(1, w.Delete());
  ASSERT_EQ(1, w.Unselect());
  EXPECT_EQ('*', w.RecordBufferPtr()[-1]);
  // The flag reaches the file when the record is left.
  ASSERT_EQ(1, w.Next());
  ASSERT_EQ(1, w.Goto(1));
  EXPECT_EQ(1, w.Deleted());
  EXPECT_EQ(0, w.Selected());
  ASSERT_EQ(1, w.Goto(2));
  ASSERT_EQ(1, w.Select());
  ASSERT_EQ(1, w.RecallAll());
  EXPECT_EQ(2, w.RecNo());
  ASSERT_EQ(1, w.UnselectAll());
  ASSERT_EQ(1, w.Goto(1));
  EXPECT_EQ(0, w.Deleted());
  ASSERT_EQ(1, w.Goto(2));
  EXPECT_EQ(0, w.Selected());
}

TEST_F(WdbaseTest, RecordBufferIsWrittenWhenLeftOrOnRequest) {
  Wdbase w;
  MakeTable(&w, "buffer", 2);
  Wdbase::FlushSet(0);
  ASSERT_EQ(1, w.Goto(1));
  std::memcpy(w.RecordBufferPtr(), "direct", 6);
  ASSERT_EQ(1, w.RecordBufferWrite());
  Wdbase other;
  other.SetFiles(dir_.c_str(), "buffer", 0, nullptr, nullptr);
  ASSERT_EQ(1, other.Open());
  EXPECT_STREQ("direct", other.Read(1, 0, 1));
  // Without auto-flush a field write waits in the buffer until the record
  // is left.
  ASSERT_EQ(1, w.WriteString(1, "pending"));
  ASSERT_EQ(1, other.Goto(1));
  EXPECT_STREQ("direct", other.Read(1, 0, 1));
  ASSERT_EQ(1, w.Next());
  ASSERT_EQ(1, other.Goto(1));
  EXPECT_STREQ("pending", other.Read(1, 0, 1));
}

TEST_F(WdbaseTest, ErrorReportShowsAMessageBoxAtDebugLevels) {
  MessageRecorder rec;
  Wdbase w;
  w.SetFiles(dir_.c_str(), "missing", 0, nullptr, nullptr);
  EXPECT_EQ(0, w.Open());
  EXPECT_TRUE(MessageRecorder::Boxes().empty());
  Wdbase::SetDebugLevel(1);
  EXPECT_EQ(0, w.Open());
  ASSERT_EQ(1u, MessageRecorder::Boxes().size());
  const std::string blanks(15, ' ');
  EXPECT_EQ(blanks + " Wdbase error " + blanks,
            MessageRecorder::Boxes()[0].caption);
  const std::string path = std::string(w.GetPath()) + "missing.dbf";
  EXPECT_EQ("error -60 : Opening File\nFile Name:\n" + path + "\n\n",
            MessageRecorder::Boxes()[0].text);
  // An unknown field name is reported while the level is above 0.
  Wdbase t;
  MakeTable(&t, "names", 1);
  EXPECT_EQ(nullptr, t.Read("NOSUCH"));
  EXPECT_EQ(-210, Wdbase::LastErrorCode());
  EXPECT_STREQ("NOSUCH", Wdbase::LastErrorDetail(0));
}

TEST_F(WdbaseTest, StaticHelpers) {
  EXPECT_STREQ("20090307", Wdbase::MakeDate(2009, 3, 7));
  EXPECT_STREQ("00000101", Wdbase::MakeDate(0, 1, 1));
  int y = 0, m = 0, d = 0;
  Wdbase::SplitDate("20090307", &y, &m, &d);
  EXPECT_EQ(2009, y);
  EXPECT_EQ(3, m);
  EXPECT_EQ(7, d);
  Wdbase::SplitDate("19991231", nullptr, &m, nullptr);
  EXPECT_EQ(12, m);
  EXPECT_EQ(0, Wdbase::SetDebugLevel(2));
  EXPECT_EQ(2, Wdbase::SetDebugLevel(5));
  EXPECT_EQ(2, Wdbase::GetDebugLevel());
  EXPECT_EQ(2, Wdbase::SetDebugLevel(-1));
  Wdbase::SetDebugLevel(0);
  EXPECT_EQ(1, Wdbase::FlushSet(0));
  EXPECT_EQ(0, Wdbase::FlushGet());
  Wdbase::FlushSet(1);
  double a = 1.0, b = 1.0 + 1e-14, c = 2.0;
  EXPECT_EQ(0, t4cmp_doub(&a, &b, 0));
  EXPECT_EQ(2, t4cmp_doub(&c, &a, 8));
  EXPECT_EQ(-1, t4cmp_doub(&a, &c, 8));
  EXPECT_NE(nullptr, Wdbase::config());
  MessageRecorder rec;
  EXPECT_EQ(100, WdbaseVersion(0, "x"));
  EXPECT_TRUE(MessageRecorder::Boxes().empty());
  EXPECT_EQ(100, WdbaseVersion(1, "About"));
  ASSERT_EQ(1u, MessageRecorder::Boxes().size());
  EXPECT_EQ("About", MessageRecorder::Boxes()[0].caption);
  EXPECT_NE(std::string::npos, MessageRecorder::Boxes()[0].text.find("1.00"));
}

TEST_F(WdbaseTest, CloseAllClosesEveryOpenTable) {
  Wdbase a, b, c;
  MakeTable(&a, "a", 1);
  MakeTable(&b, "b", 1);
  c.SetFiles(dir_.c_str(), "c", 0, nullptr, nullptr);
  EXPECT_EQ(1, Wdbase::CloseAll());
  EXPECT_EQ(0, a.IsOpen(0));
  EXPECT_EQ(0, b.IsOpen(0));
  EXPECT_EQ(1, a.Open());
}

TEST_F(WdbaseTest, RecordFilterHidesRecords) {
  Wdbase w;
  MakeTable(&w, "filter", 5);
  auto even = [](const Wdbase* t) { return t->RecNo() % 2; };
  ASSERT_EQ(1, w.SetFilter(even));
  EXPECT_EQ(2, w.RecNo());
  EXPECT_EQ(1, w.Next());
  EXPECT_EQ(4, w.RecNo());
  EXPECT_EQ(0, w.Next());
  EXPECT_EQ(1, w.Eof());
  EXPECT_EQ(1, w.Bottom());
  EXPECT_EQ(4, w.RecNo());
  EXPECT_EQ(1, w.Previous());
  EXPECT_EQ(2, w.RecNo());
  EXPECT_EQ(0, w.Previous());
  EXPECT_EQ(2, w.RecNo());
  EXPECT_EQ(1, w.Bof());
  auto none = [](const Wdbase*) { return 1; };
  EXPECT_EQ(0, w.SetFilter(none));
  EXPECT_EQ(1, w.Eof());
  EXPECT_EQ(1, w.SetFilter(nullptr));
  EXPECT_EQ(1, w.Top());
  EXPECT_EQ(1, w.RecNo());
}

}  // namespace
}  // namespace xbase32::testing
