// FieldAdd and FieldRemove: the new structure, every record with its flag
// byte, every memo text, the argument rules, failures that leave the table
// as it was, the work table's name, and the safe replacement of the files.

#include "maintenance_test_util.h"
#include "platform/testing/fault_env.h"
#include "table_files.h"

namespace xbase32::testing {
namespace {

class RestructureTest : public TableTest {
 protected:
  // NAME C(8), QTY N(5,1), NOTES M, OK L; records R1..R4 with texts, R2
  // deleted, R3 selected.
  void MakeStock(Wdbase* w) {
    ASSERT_TRUE(Make(w, "stock",
                     {Fld("NAME", 'C', 8), Fld("QTY", 'N', 5, 1),
                      Fld("NOTES", 'M', 10), Fld("OK", 'L', 1)}));
    for (int i = 1; i <= 4; ++i) {
      ASSERT_EQ(1, w->AppendBlank());
      ASSERT_EQ(1, w->WriteString("NAME", ("R" + std::to_string(i)).c_str()));
      ASSERT_EQ(1, w->WriteDouble("QTY", i * 1.5));
      const std::string t = NoteText(i);
      ASSERT_EQ(1, w->MemoWrite("NOTES", t.data(), t.size()));
      ASSERT_EQ(1, w->WriteChar("OK", i % 2 ? 'T' : 'F'));
    }
    ASSERT_EQ(1, w->Goto(2));
    ASSERT_EQ(1, w->Delete());
    ASSERT_EQ(1, w->Goto(3));
    ASSERT_EQ(1, w->Select());
    ASSERT_EQ(1, w->Goto(3));
  }
  // "name:type:len:dec" of every field.
  static std::string Structure(Wdbase* w) {
    std::string s;
    for (int k = 1; k <= w->FieldCount(); ++k) {
      char name[11], type;
      int len, dec;
      w->FieldInfo(k, name, &type, &len, &dec);
      if (!s.empty()) s += " ";
      s += std::string(name) + ":" + type + ":" + std::to_string(len) + ":" +
           std::to_string(dec);
    }
    return s;
  }
  // Checks the records of MakeStock after a change of structure.
  void ExpectStock(Wdbase* w, bool with_qty = true, bool with_notes = true) {
    ASSERT_EQ(4, w->RecCount());
    for (int i = 1; i <= 4; ++i) {
      SCOPED_TRACE(i);
      ASSERT_EQ(1, w->Goto(i));
      EXPECT_EQ("R" + std::to_string(i), w->Read("NAME", 0, 1));
      if (with_qty) {
        EXPECT_DOUBLE_EQ(i * 1.5, w->ReadDouble("QTY"));
      }
      if (with_notes) {
        EXPECT_EQ(NoteText(i), Memo(w, "NOTES"));
      }
      EXPECT_EQ(i % 2 ? 1 : 0, w->ReadBool("OK"));
      EXPECT_EQ(i == 2 ? 1 : 0, w->Deleted());
      EXPECT_EQ(i == 3 ? 1 : 0, w->Selected());
    }
  }
  // Files of the test directory other than the table's own.
  std::vector<std::string> Strays() {
    std::vector<platform::DirEntry> all;
    platform::Env::Current()->ListDir(dir_, "*", &all);
    std::vector<std::string> strays;
    for (const auto& e : all) {
      if (e.name != "stock.dbf" && e.name != "stock.dbt") {
        strays.push_back(e.name);
      }
    }
    return strays;
  }
};

TEST_F(RestructureTest, FieldAddAppendsANumericFieldAtTheEnd) {
  Wdbase w;
  MakeStock(&w);
  ASSERT_EQ(1, w.FieldAdd(0, " price ", 'n', 8, 9));
  EXPECT_EQ("NAME:C:8:0 QTY:N:5:1 NOTES:M:10:0 OK:L:1:0 PRICE:N:8:7",
            Structure(&w));
  EXPECT_EQ(3, w.RecNo());  // back on the remembered record
  ExpectStock(&w);
  ASSERT_EQ(1, w.Goto(1));
  EXPECT_STREQ("        ", w.Read("PRICE"));  // the new field is blank
  EXPECT_TRUE(Strays().empty());
  // The file: version byte with the memo flag, the new descriptor last.
  const std::string b = Bytes("stock.dbf");
  EXPECT_EQ('\x83', b[0]);
  EXPECT_EQ("PRICE", b.substr(32 + 4 * 32, 5));
  EXPECT_EQ('N', b[32 + 4 * 32 + 11]);
  EXPECT_EQ(8, b[32 + 4 * 32 + 16]);
  EXPECT_EQ(7, b[32 + 4 * 32 + 17]);
}

TEST_F(RestructureTest, FieldAddNormalisesItsArguments) {
  struct Case {
    int pos;
    const char* name;
    char type;
    int len, dec;
    const char* added;  // the descriptor at position pos
    int at;
  } cases[] = {
      {1, "born", 'd', 3, 2, "BORN:D:8:0", 1},
      {2, "flag", 'l', 9, 0, "FLAG:L:1:0", 2},
      {9, "remarks", 'm', 3, 0, "REMARKS:M:10:0", 5},
      {-3, "a_very_long_name", 'c', 4, 3, "A_VERY_LON:C:4:0", 5},
      {3, "n1", 'N', 1, 5, "N1:N:1:0", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Wdbase w;
    MakeStock(&w);
    ASSERT_EQ(1, w.FieldAdd(c.pos, c.name, c.type, c.len, c.dec));
    ASSERT_EQ(5, w.FieldCount());
    char name[11], type;
    int len, dec;
    w.FieldInfo(c.at, name, &type, &len, &dec);
    EXPECT_EQ(c.added, std::string(name) + ":" + type + ":" +
                           std::to_string(len) + ":" + std::to_string(dec));
    ExpectStock(&w);
    ASSERT_EQ(1, w.Close());
  }
}

TEST_F(RestructureTest, RefusedArgumentsChangeNothing) {
  Wdbase w;
  MakeStock(&w);
  const std::string before = Bytes("stock.dbf");
  EXPECT_EQ(0, w.FieldAdd(0, "   ", 'C', 5, 0));
  EXPECT_EQ(0, w.FieldAdd(0, nullptr, 'C', 5, 0));
  EXPECT_EQ(0, w.FieldAdd(0, "X", 'F', 5, 0));
  EXPECT_EQ(0, w.FieldAdd(0, "X", 'G', 10, 0));
  EXPECT_EQ(0, w.FieldAdd(0, "X", 'C', 0, 0));
  EXPECT_EQ(0, w.FieldAdd(0, "X", 'D', -1, 0));
  EXPECT_EQ(0, w.FieldRemove(0));
  EXPECT_EQ(0, w.FieldRemove(5));
  // An existing name: nothing changes and the answer is 1.
  EXPECT_EQ(1, w.FieldAdd(2, "qty", 'C', 20, 0));
  EXPECT_EQ(before, Bytes("stock.dbf"));
  EXPECT_EQ(3, w.RecNo());
  Wdbase closed;
  EXPECT_EQ(0, closed.FieldAdd(0, "X", 'C', 5, 0));
  EXPECT_EQ(0, closed.FieldRemove(1));
}

TEST_F(RestructureTest, FieldRemoveKeepsTheOtherFieldsAndTexts) {
  Wdbase w;
  MakeStock(&w);
  ASSERT_EQ(1, w.FieldRemove(2));
  EXPECT_EQ("NAME:C:8:0 NOTES:M:10:0 OK:L:1:0", Structure(&w));
  ExpectStock(&w, false);
  // Without its only memo field the table has no memo file.
  ASSERT_EQ(1, w.FieldRemove(2));
  EXPECT_EQ("NAME:C:8:0 OK:L:1:0", Structure(&w));
  ExpectStock(&w, false, false);
  EXPECT_EQ('\x03', Bytes("stock.dbf")[0]);
  EXPECT_FALSE(platform::Env::Current()->FileExists(Host("stock.dbt")));
  EXPECT_TRUE(Strays().empty());
  // The last field cannot go.
  ASSERT_EQ(1, w.FieldRemove(1));
  EXPECT_EQ(0, w.FieldRemove(1));
  EXPECT_EQ("OK:L:1:0", Structure(&w));
}

TEST_F(RestructureTest, MemoTextsGetFreshCompactBlocks) {
  Wdbase w;
  MakeStock(&w);
  // Idle blocks in the old memo file.
  ASSERT_EQ(1, w.Goto(1));
  const std::string big(3000, 'b');
  ASSERT_EQ(1, w.MemoWrite("NOTES", big.data(), big.size()));
  ASSERT_EQ(1, w.MemoWrite("NOTES", NoteText(1).data(), NoteText(1).size()));
  ASSERT_EQ(1, w.FieldAdd(1, "ID", 'N', 4, 0));
  ExpectStock(&w);
  // The texts were written again one after another.
  EXPECT_EQ(5u, Get32(Bytes("stock.dbt"), 0));
}

TEST_F(RestructureTest, AddingTheFirstMemoFieldMakesTheMemoFile) {
  Wdbase w;
  ASSERT_TRUE(Make(&w, "stock", {Fld("NAME", 'C', 8)}));
  ASSERT_EQ(1, w.AppendBlank());
  ASSERT_EQ(1, w.FieldAdd(0, "NOTES", 'M', 10, 0));
  EXPECT_EQ('\x83', Bytes("stock.dbf")[0]);
  ASSERT_EQ(1, w.Goto(1));
  EXPECT_STREQ("          ", w.Read("NOTES"));
  ASSERT_EQ(1, w.MemoWrite("NOTES", "now", 3));
  EXPECT_EQ("now", Memo(&w, "NOTES"));
}

TEST_F(RestructureTest, FailureLeavesTheTableAsItWas) {
  {
    Wdbase w;
    MakeStock(&w);
  }
  const std::string data = Bytes("stock.dbf"), memo = Bytes("stock.dbt");
  struct Case {
    const char* what;
    const char* path;
    unsigned ops;
  } cases[] = {
      {"work table not created", "$$$", platform::FaultInjectionEnv::kOpen},
      {"work table not written", "$$$", platform::FaultInjectionEnv::kWrite},
      {"old memo text unreadable", "stock.dbt",
       platform::FaultInjectionEnv::kRead},
      {"files not renamed", "stock.dbf", platform::FaultInjectionEnv::kRename},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    platform::FaultInjectionEnv env;
    platform::ScopedEnv use(&env);
    Wdbase t;
    ASSERT_TRUE(OpenTable(&t, "stock"));
    ASSERT_EQ(1, t.Goto(3));
    env.FailPath(c.path, c.ops);
    EXPECT_EQ(0, t.FieldAdd(0, "PRICE", 'N', 8, 2));
    env.ClearFaults();
    EXPECT_EQ(1, t.IsOpen(0));
    EXPECT_EQ(3, t.RecNo());
    EXPECT_EQ(4, t.FieldCount());
    EXPECT_EQ(data, Bytes("stock.dbf"));
    EXPECT_EQ(memo, Bytes("stock.dbt"));
    EXPECT_TRUE(Strays().empty());
    ExpectStock(&t);
  }
}

TEST_F(RestructureTest, AnInterruptedReplacementIsUndoneOrNoticedOnOpen) {
  Wdbase w;
  MakeStock(&w);
  ASSERT_EQ(1, w.Close());
  platform::Env* env = platform::Env::Current();
  // The process died after moving the old table aside (memo file too):
  // Open puts the old table back instead of leaving none.
  ASSERT_TRUE(
      env->RenameFile(Host("stock.dbf"), AsidePath(Host("stock.dbf")), false)
          .ok());
  ASSERT_TRUE(
      env->RenameFile(Host("stock.dbt"), AsidePath(Host("stock.dbt")), false)
          .ok());
  ASSERT_EQ(1, w.Open());
  EXPECT_EQ(-910, Wdbase::LastErrorCode());
  EXPECT_NE(std::string::npos,
            std::string(Wdbase::LastErrorDetail(2)).find("old one"));
  EXPECT_FALSE(env->FileExists(AsidePath(Host("stock.dbf"))));
  EXPECT_FALSE(env->FileExists(AsidePath(Host("stock.dbt"))));
  ExpectStock(&w);
  ASSERT_EQ(1, w.Close());
  // ... or after putting the new one in place: reported, the new one used.
  ASSERT_TRUE(
      env->CopyFile(Host("stock.dbf"), AsidePath(Host("stock.dbf")), false)
          .ok());
  ASSERT_EQ(1, w.Open());
  EXPECT_EQ(-910, Wdbase::LastErrorCode());
  ExpectStock(&w);
  // A later replacement clears the leftover.
  ASSERT_EQ(1, w.FieldAdd(0, "X", 'C', 1, 0));
  EXPECT_TRUE(Strays().empty());
}

// args: dir, table. Adds ten fields in front and removes them again.
KALVO_CHILD_MAIN(restructure_rounds)(const std::vector<std::string>& args) {
  ChildSetUp();
  Wdbase w;
  if (args.size() != 2 ||
      !w.SetFiles(args[0].c_str(), args[1].c_str(), 0, nullptr, nullptr) ||
      !w.Open()) {
    return 1;
  }
  for (int round = 0; round < 10; ++round) {
    const std::string f = "F" + std::to_string(round);
    if (!w.FieldAdd(1, f.c_str(), 'C', 3, 0)) return 2;
  }
  for (int round = 0; round < 10; ++round) {
    if (!w.FieldRemove(1)) return 3;
  }
  return w.Close() ? 0 : 4;
}

TEST_F(RestructureTest, TwoProcessesRestructureTablesOfOneDirectory) {
  for (const char* name : {"one", "two"}) {
    Wdbase w;
    ASSERT_TRUE(Make(&w, name, {Fld("NAME", 'C', 8), Fld("NOTES", 'M', 10)}));
    for (int i = 1; i <= 50; ++i) {
      ASSERT_EQ(1, w.AppendBlank());
      const std::string t = NoteText(i);
      ASSERT_EQ(1, w.MemoWrite("NOTES", t.data(), t.size()));
    }
  }
  std::unique_ptr<platform::Process> kids[2];
  for (int k = 0; k < 2; ++k) {
    ASSERT_TRUE(platform::testing::StartChild("restructure_rounds",
                                              {dir_, k == 0 ? "one" : "two"},
                                              &kids[k])
                    .ok());
  }
  for (auto& kid : kids) ASSERT_EQ(0, platform::testing::WaitChild(kid.get()));
  for (const char* name : {"one", "two"}) {
    Wdbase w;
    ASSERT_TRUE(OpenTable(&w, name));
    EXPECT_EQ(2, w.FieldCount());
    ASSERT_EQ(50, w.RecCount());
    for (int i = 1; i <= 50; ++i) {
      ASSERT_EQ(1, w.Goto(i));
      ASSERT_EQ(NoteText(i), Memo(&w, "NOTES"));
    }
  }
  std::vector<platform::DirEntry> all;
  platform::Env::Current()->ListDir(dir_, "*", &all);
  EXPECT_EQ(4u, all.size());  // one.dbf, one.dbt, two.dbf, two.dbt
}

}  // namespace
}  // namespace xbase32::testing
