// WdbaseCopyUpdateDb: the conversion table cell by cell, numbers that do not
// fit, the three ways to finish, filters, deleted marks, memo texts and
// failures.

#include "maintenance_test_util.h"
#include "platform/testing/fault_env.h"

namespace xbase32::testing {
namespace {

class CopyTest : public TableTest {
 protected:
  // Opens name with the given fields and one record set by fill.
  template <typename Fill>
  void MakeOne(Wdbase* w, const char* name, std::vector<WDBASE_FIELD> fields,
               Fill fill) {
    ASSERT_TRUE(Make(w, name, std::move(fields)));
    ASSERT_EQ(1, w->AppendBlank());
    fill(w);
  }
  // NAME C(8), QTY N(5,1), NOTES M with records R1..R5 and texts; R2
  // deleted.
  void MakeStock(Wdbase* w) {
    ASSERT_TRUE(Make(
        w, "stock",
        {Fld("NAME", 'C', 8), Fld("QTY", 'N', 5, 1), Fld("NOTES", 'M', 10)}));
    for (int i = 1; i <= 5; ++i) {
      ASSERT_EQ(1, w->AppendBlank());
      ASSERT_EQ(1, w->WriteString("NAME", ("R" + std::to_string(i)).c_str()));
      ASSERT_EQ(1, w->WriteDouble("QTY", i * 1.5));
      const std::string t = NoteText(i);
      ASSERT_EQ(1, w->MemoWrite("NOTES", t.data(), t.size()));
    }
    ASSERT_EQ(1, w->Goto(2));
    ASSERT_EQ(1, w->Delete());
  }
  static std::string Names(Wdbase* w) {
    std::string s;
    for (int ok = w->Top(); ok; ok = w->Next()) {
      if (!s.empty()) s += ",";
      s += w->Read("NAME", 0, 1);
      if (w->Deleted()) s += "*";
    }
    return s;
  }
};

int OddRecordsOnly(const Wdbase* w) { return w->RecNo() % 2 == 0; }

TEST_F(CopyTest, ConversionTableCellByCell) {
  // Field "st": source type s, target type t.
  const char types[] = "CNDLM";
  auto source_field = [](char s, const char* name) {
    switch (s) {
      case 'C':
        return Fld(name, 'C', 6);
      case 'N':
        return Fld(name, 'N', 6, 1);
      default:
        return Fld(name, s, 0);
    }
  };
  auto target_field = [](char t, const char* name) {
    switch (t) {
      case 'C':
        return Fld(name, 'C', 4);
      case 'N':
        return Fld(name, 'N', 6, 1);
      default:
        return Fld(name, t, 0);
    }
  };
  std::vector<WDBASE_FIELD> sf, tf;
  for (const char* s = types; *s; ++s) {
    for (const char* t = types; *t; ++t) {
      const char name[3] = {*s, *t, '\0'};
      sf.push_back(source_field(*s, name));
      tf.push_back(target_field(*t, name));
    }
  }
  Wdbase src, dst;
  MakeOne(&src, "src", sf, [](Wdbase* w) {
    for (char t : std::string("CNDLM")) {
      const std::string c = std::string("C") + t, n = std::string("N") + t,
                        d = std::string("D") + t, l = std::string("L") + t,
                        m = std::string("M") + t;
      ASSERT_EQ(1, w->WriteString(c.c_str(), "  12.5"));
      ASSERT_EQ(1, w->WriteDouble(n.c_str(), 12.5));
      ASSERT_EQ(1, w->WriteString(d.c_str(), "20090307"));
      ASSERT_EQ(1, w->WriteString(l.c_str(), "T"));
      ASSERT_EQ(1, w->MemoWrite(m.c_str(), "memo text", 9));
    }
  });
  ASSERT_TRUE(Make(&dst, "dst", tf));
  ASSERT_EQ(1, WdbaseCopyUpdateDb(&src, &dst, nullptr, nullptr));

  const struct Cell {
    const char* field;
    const char* bytes;
  } cells[] = {
      {"CC", "  12"},       {"CN", "  12.5"},     {"CD", "        "},
      {"CL", " "},          {"CM", "          "}, {"NC", "  12"},
      {"NN", "  12.5"},     {"ND", "        "},   {"NL", " "},
      {"NM", "          "}, {"DC", "2009"},       {"DN", "      "},
      {"DD", "20090307"},   {"DL", " "},          {"DM", "          "},
      {"LC", "T   "},       {"LN", "   1.0"},     {"LD", "        "},
      {"LL", "T"},          {"LM", "          "}, {"MC", "    "},
      {"MN", "      "},     {"MD", "        "},   {"ML", " "},
  };
  ASSERT_EQ(1, dst.Goto(1));
  for (const Cell& c : cells) {
    EXPECT_STREQ(c.bytes, dst.Read(c.field)) << c.field;
  }
  // Memo to memo carries the text into the target's own memo file.
  EXPECT_STREQ("         1", dst.Read("MM"));
  EXPECT_EQ("memo text", Memo(&dst, "MM"));
}

TEST_F(CopyTest, NumbersPrintedAndNumbersThatDoNotFit) {
  struct Case {
    WDBASE_FIELD from;
    const char* value;  // written with WriteString (C, L) or as a number
    WDBASE_FIELD to;
    const char* bytes;
  } cases[] = {
      {Fld("A", 'C', 6), "  12.5", Fld("A", 'N', 6, 1), "  12.5"},
      {Fld("A", 'L', 1), "T", Fld("A", 'N', 3), "  1"},
      {Fld("A", 'L', 1), "y", Fld("A", 'N', 3), "  1"},
      {Fld("A", 'L', 1), "F", Fld("A", 'N', 3), "  0"},
      {Fld("A", 'C', 6), "  12.5", Fld("A", 'N', 3), " 12"},
      {Fld("A", 'C', 6), " -12.7", Fld("A", 'N', 4), " -12"},
      {Fld("A", 'C', 6), "123456", Fld("A", 'N', 3), "***"},
      {Fld("A", 'C', 6), "-15", Fld("A", 'N', 2), "**"},
      {Fld("A", 'C', 6), "-5", Fld("A", 'N', 2), "-5"},
      {Fld("A", 'C', 8), "12345.67", Fld("A", 'N', 6, 2), "******"},
      {Fld("A", 'C', 6), "0.125", Fld("A", 'N', 5, 2), " 0.12"},
      {Fld("A", 'C', 6), "abc", Fld("A", 'N', 4, 1), " 0.0"},
      {Fld("A", 'C', 6), "-0", Fld("A", 'N', 4, 1), " 0.0"},
      {Fld("A", 'C', 6), "1e999", Fld("A", 'N', 4), "****"},
      {Fld("A", 'C', 4), "ab", Fld("A", 'C', 8), "ab      "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    Wdbase src, dst;
    MakeOne(&src, "src", {c.from},
            [&](Wdbase* w) { ASSERT_EQ(1, w->WriteString(1, c.value)); });
    ASSERT_TRUE(Make(&dst, "dst", {c.to}));
    ASSERT_EQ(1, WdbaseCopyUpdateDb(&src, &dst, nullptr, nullptr));
    ASSERT_EQ(1, dst.Goto(1));
    EXPECT_STREQ(c.bytes, dst.Read(1));
    ASSERT_EQ(1, src.Close());
    ASSERT_EQ(1, dst.Close());
  }
}

TEST_F(CopyTest, IntoAGivenTableBothEndAsTheyWere) {
  Wdbase src;
  MakeStock(&src);
  ASSERT_EQ(1, src.Goto(4));
  Wdbase dst;
  ASSERT_TRUE(Make(&dst, "dst", {Fld("QTY", 'C', 6), Fld("NAME", 'C', 3)}));
  ASSERT_EQ(1, dst.AppendBlank());
  ASSERT_EQ(1, dst.WriteString("NAME", "old"));
  ASSERT_EQ(1, WdbaseCopyUpdateDb(&src, &dst, nullptr, nullptr));
  EXPECT_EQ(4, src.RecNo());
  EXPECT_EQ(1, dst.RecNo());
  // Appended after the existing record; deleted marks kept.
  EXPECT_EQ("old,R1,R2*,R3,R4,R5", Names(&dst));
  ASSERT_EQ(1, dst.Goto(4));
  EXPECT_STREQ("  4.5 ", dst.Read("QTY"));

  // Closed tables are opened for the copy and closed again.
  ASSERT_EQ(1, src.Close());
  ASSERT_EQ(1, dst.Close());
  ASSERT_EQ(1, WdbaseCopyUpdateDb(&src, &dst, nullptr, nullptr));
  EXPECT_EQ(0, src.IsOpen(0));
  EXPECT_EQ(0, dst.IsOpen(0));
  ASSERT_TRUE(OpenTable(&dst, "dst"));
  EXPECT_EQ(11, dst.RecCount());
}

TEST_F(CopyTest, IntoANewNamedTableWithFiltersApplied) {
  Wdbase src;
  MakeStock(&src);
  ASSERT_EQ(1, src.SetFilter(OddRecordsOnly));
  ASSERT_EQ(1, src.Goto(3));
  ASSERT_EQ(1, WdbaseCopyUpdateDb(&src, nullptr, nullptr, "copy.xyz"));
  EXPECT_EQ(3, src.RecNo());
  Wdbase copy;
  ASSERT_TRUE(OpenTable(&copy, "copy"));
  EXPECT_EQ("R1,R3,R5", Names(&copy));
  EXPECT_EQ(3, copy.FieldCount());
  for (int ok = copy.Top(); ok; ok = copy.Next()) {
    const int n = std::stoi(std::string(copy.Read("NAME", 0, 1) + 1));
    EXPECT_EQ(NoteText(n), Memo(&copy, "NOTES"));
  }
  // With fields, in the new structure.
  ASSERT_EQ(1, copy.Close());
  auto f = Fields({Fld("NAME", 'C', 2), Fld("QTY", 'N', 3)});
  ASSERT_EQ(1, src.SetFilter(nullptr));
  ASSERT_EQ(1, WdbaseCopyUpdateDb(&src, nullptr, f.data(), "copy"));
  ASSERT_TRUE(OpenTable(&copy, "copy"));
  EXPECT_EQ(2, copy.FieldCount());
  EXPECT_EQ("R1,R2*,R3,R4,R5", Names(&copy));
  ASSERT_EQ(1, copy.Goto(3));
  EXPECT_STREQ("  4", copy.Read("QTY"));
}

int NoRecord(const Wdbase*) { return 1; }

TEST_F(CopyTest, ReplacingTheSourceCopiesEveryRecord) {
  Wdbase src;
  MakeStock(&src);
  ASSERT_EQ(1, src.SetFilter(OddRecordsOnly));
  ASSERT_EQ(0, src.SetFilter(NoRecord));  // hides every record
  auto f = Fields(
      {Fld("NOTES", 'M', 10), Fld("NAME", 'C', 10), Fld("QTY", 'N', 8, 3)});
  ASSERT_EQ(1, WdbaseCopyUpdateDb(&src, nullptr, f.data(), nullptr));
  EXPECT_EQ(0, src.IsOpen(0));
  // src's definition now describes the converted table.
  ASSERT_EQ(1, src.Open());
  ASSERT_EQ(1, src.SetFilter(nullptr));
  EXPECT_EQ(3, src.FieldCount());
  EXPECT_EQ(10, src.FieldLen("NAME"));
  EXPECT_EQ("R1,R2*,R3,R4,R5", Names(&src));
  ASSERT_EQ(1, src.Goto(2));
  EXPECT_STREQ("   3.000", src.Read("QTY"));
  for (int i = 1; i <= 5; ++i) {
    ASSERT_EQ(1, src.Goto(i));
    EXPECT_EQ(NoteText(i), Memo(&src, "NOTES"));
  }
  std::vector<platform::DirEntry> all;
  platform::Env::Current()->ListDir(dir_, "*", &all);
  ASSERT_EQ(2u, all.size());  // stock.dbf and stock.dbt, nothing else
}

TEST_F(CopyTest, ArgumentRules) {
  Wdbase src;
  MakeStock(&src);
  EXPECT_EQ(0, WdbaseCopyUpdateDb(nullptr, &src, nullptr, nullptr));
  EXPECT_EQ(1, WdbaseCopyUpdateDb(&src, nullptr, nullptr, nullptr));
  EXPECT_EQ(0, WdbaseCopyUpdateDb(&src, &src, nullptr, nullptr));
  EXPECT_EQ(5, src.RecCount());
  // An empty source is fine.
  Wdbase empty;
  ASSERT_TRUE(Make(&empty, "empty", {Fld("NAME", 'C', 8)}));
  EXPECT_EQ(1, WdbaseCopyUpdateDb(&empty, nullptr, nullptr, "copy"));
  Wdbase copy;
  ASSERT_TRUE(OpenTable(&copy, "copy"));
  EXPECT_EQ(0, copy.RecCount());
  // A name that breaks the 8.3 rule.
  EXPECT_EQ(0, WdbaseCopyUpdateDb(&src, nullptr, nullptr, "muchtoolong"));
  // Never into itself: by name, or through another handle on the file.
  const std::string before = Bytes("stock.dbf");
  EXPECT_EQ(0, WdbaseCopyUpdateDb(&src, nullptr, nullptr, "STOCK.new"));
  Wdbase again;
  ASSERT_TRUE(OpenTable(&again, "stock"));
  EXPECT_EQ(0, WdbaseCopyUpdateDb(&src, &again, nullptr, nullptr));
  EXPECT_EQ(-930, Wdbase::LastErrorCode());
  EXPECT_EQ(before, Bytes("stock.dbf"));
}

TEST_F(CopyTest, FailuresLeaveTheSourceAlone) {
  {
    Wdbase src;
    MakeStock(&src);
  }
  const std::string data = Bytes("stock.dbf"), memo = Bytes("stock.dbt");
  platform::FaultInjectionEnv env;
  platform::ScopedEnv use(&env);
  Wdbase src;
  ASSERT_TRUE(OpenTable(&src, "stock"));
  ASSERT_EQ(1, src.Goto(4));
  auto f = Fields({Fld("NAME", 'C', 10), Fld("NOTES", 'M', 10)});
  // The work table cannot be written; then the old files cannot move.
  env.FailPath("$$$", platform::FaultInjectionEnv::kWrite);
  EXPECT_EQ(0, WdbaseCopyUpdateDb(&src, nullptr, f.data(), nullptr));
  env.ClearFaults();
  EXPECT_EQ(4, src.RecNo());
  env.FailPath("stock.dbf", platform::FaultInjectionEnv::kRename);
  EXPECT_EQ(0, WdbaseCopyUpdateDb(&src, nullptr, f.data(), nullptr));
  env.ClearFaults();
  EXPECT_EQ(4, src.RecNo());
  // A named copy whose memo text cannot be read is deleted again.
  env.FailPath("stock.dbt", platform::FaultInjectionEnv::kRead);
  EXPECT_EQ(0, WdbaseCopyUpdateDb(&src, nullptr, nullptr, "copy"));
  env.ClearFaults();
  EXPECT_EQ(4, src.RecNo());
  EXPECT_EQ(data, Bytes("stock.dbf"));
  EXPECT_EQ(memo, Bytes("stock.dbt"));
  std::vector<platform::DirEntry> all;
  platform::Env::Current()->ListDir(dir_, "*", &all);
  EXPECT_EQ(2u, all.size());
}

}  // namespace
}  // namespace xbase32::testing
