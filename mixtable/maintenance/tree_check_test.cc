// The tree check against the sample data set: directories created, orphans
// pruned, stray files cleaned, the dry run, and the progress sequence.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "access/table_set_fixture.h"
#include "mixtable/wy_repairs.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/hooks.h"
#include "testing/other_run.h"

namespace {

struct Note {
  unsigned msg;
  int64_t param;
  std::string text;
  bool operator==(const Note& o) const {
    return msg == o.msg && param == o.param && text == o.text;
  }
};
std::vector<Note>* g_notes = nullptr;

void Record(const void* /*window*/, unsigned msg, int64_t param,
            const char* text) {
  if (g_notes) g_notes->push_back({msg, param, text ? text : ""});
}

platform::Env* E() { return platform::Env::Current(); }

class TreeCheckTest : public SampleDataSetTest {
 protected:
  void SetUp() override {
    SampleDataSetTest::SetUp();
    E()->UnsetEnv("LOCALDIR");
    E()->UnsetEnv("CACHEDIR");
    g_notes = &notes_;
    old_ = platform::SetProgressHook(&Record);
  }
  void TearDown() override {
    platform::SetProgressHook(old_);
    g_notes = nullptr;
  }
  void Write(const std::string& path, const std::string& text) {
    std::string dir = path.substr(0, path.find_last_of('\\'));
    ASSERT_TRUE(Wy_MkDir(dir)) << dir;
    std::unique_ptr<platform::File> f;
    ASSERT_TRUE(
        E()->OpenFile(path, platform::OpenMode::kCreateAlways, &f).ok());
    ASSERT_TRUE(f->WriteAt(0, text.data(), text.size()).ok());
  }
  bool Exists(const std::string& path) { return E()->FileExists(path); }
  std::string Host(const std::string& path) {
    std::string h;
    E()->HostPath(path, &h);
    return h;
  }
  // Every path below c:\gdata with its size, sorted.
  std::vector<std::string> Listing() {
    std::vector<std::string> out;
    E()->WalkTree("c:\\gdata\\", [&](int depth, const platform::DirEntry& e) {
      out.push_back(std::to_string(depth) + e.name + ":" +
                    std::to_string(e.info.is_dir ? 0 : e.info.size));
      return true;
    });
    return out;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const Note& n : notes_)
      if (n.msg == 0x8704 && n.param == 1 && !n.text.empty())
        out.push_back(n.text);
    return out;
  }

  std::vector<Note> notes_;
  platform::ProgressHook old_ = nullptr;
  const int window_ = 0;  // any non-null window
};

TEST_F(TreeCheckTest, NotADataSet) {
  ASSERT_TRUE(Wy_MkDir("c:\\empty\\"));
  EXPECT_EQ(Wy_GDataTreeCheck("c:\\empty", &window_, true, true, true),
            kWyTreeCheckNotGData);
  EXPECT_EQ(Wy_GDataTreeCheck("c:\\nothing", nullptr, true, true, true),
            kWyTreeCheckNotGData);
}

TEST_F(TreeCheckTest, MissingProductDirectoryIsCreated) {
  E()->DeleteTree("c:\\gdata\\P2");
  // A PATH leading out of the data set names nothing.
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  ASSERT_TRUE(b.Append(Y_PRODUCTS, {{"ID", mixtable_testing::Id(4)},
                                    {"PATH", "..\\EVIL"},
                                    {"DESCR", "PRD4"}}));
  // Nor does the name of the backup area.
  ASSERT_TRUE(b.Append(Y_PRODUCTS, {{"ID", mixtable_testing::Id(5)},
                                    {"PATH", "$upgrade"},
                                    {"DESCR", "PRD5"}}));
  EXPECT_EQ(Wy_GDataTreeCheck("c:\\gdata", &window_, true, false, false),
            kWyTreeCheckOk);
  EXPECT_TRUE(Exists("c:\\gdata\\P2"));
  EXPECT_FALSE(Exists("c:\\EVIL"));
  EXPECT_FALSE(Exists("c:\\gdata\\..\\EVIL"));
  EXPECT_FALSE(Exists("c:\\gdata\\$UPGRADE"));
  const auto texts = Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "PRD2 *"), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "PRD1 : SUB11"), texts.end());
}

TEST_F(TreeCheckTest, OrphansPrunedProtectedDirectoriesKept) {
  Write("c:\\gdata\\ORPHAN\\x.txt", "x");
  Write("c:\\gdata\\P1\\S9\\FRM.DBF", "x");    // no sub-product S9
  Write("c:\\gdata\\custom\\a.txt", "c");      // reserved
  Write("c:\\gdata\\P1\\Custom\\a.txt", "c");  // reserved
  Write("c:\\gdata\\NESTED\\PARAM.DBF", "p");  // another data set
  Write("c:\\gdata\\$UPGRADE\\journal", "j");  // backup area
  Write("c:\\outside\\keep.txt", "k");
#ifndef _WIN32
  // A link out of the data set is left alone, and so is what it leads to.
  // Windows: symbolic links need a privilege (and cannot be made under
  // wine); the link is left out there.
  ASSERT_EQ(0, symlink(Host("c:\\outside").c_str(),
                       (Host("c:\\gdata") + "/LINK").c_str()));
#endif
  EXPECT_EQ(Wy_GDataTreeCheck("c:\\gdata\\", &window_, true, true, false),
            kWyTreeCheckOk);
  EXPECT_FALSE(Exists("c:\\gdata\\ORPHAN"));
  EXPECT_FALSE(Exists("c:\\gdata\\P1\\S9"));
  EXPECT_TRUE(Exists("c:\\gdata\\custom\\a.txt"));
  EXPECT_TRUE(Exists("c:\\gdata\\P1\\Custom\\a.txt"));
  EXPECT_TRUE(Exists("c:\\gdata\\NESTED\\PARAM.DBF"));
  EXPECT_TRUE(Exists("c:\\outside\\keep.txt"));
#ifndef _WIN32
  EXPECT_TRUE(Exists("c:\\gdata\\LINK"));
#endif
  EXPECT_TRUE(Exists("c:\\gdata\\P1\\S1\\FRM.DBF"));
  EXPECT_TRUE(Exists("c:\\gdata\\P2\\S1\\MASK.DBF"));
  const auto texts = Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "c:\\gdata\\ORPHAN *"),
            texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "c:\\gdata\\P1\\S9 *"),
            texts.end());
}

TEST_F(TreeCheckTest, TheMachinesFixedDirectoriesAreNeverPruned) {
  ASSERT_TRUE(E()->SetEnv("LOCALDIR", "c:\\gdata\\LOCAL").ok());
  ASSERT_TRUE(E()->SetEnv("CACHEDIR", "c:\\gdata\\CACHE\\DBF\\").ok());
  Write("c:\\gdata\\LOCAL\\DATACTL.DBF", "x");
  Write("c:\\gdata\\CACHE\\DBF\\x", "x");
  Write("c:\\gdata\\OTHER\\x", "x");
  EXPECT_EQ(Wy_GDataTreeCheck("c:\\gdata\\", &window_, true, true, false),
            kWyTreeCheckOk);
  E()->UnsetEnv("LOCALDIR");
  E()->UnsetEnv("CACHEDIR");
  EXPECT_TRUE(Exists("c:\\gdata\\LOCAL\\DATACTL.DBF"));
  EXPECT_TRUE(Exists("c:\\gdata\\CACHE\\DBF\\x"));  // holds the cache
  EXPECT_FALSE(Exists("c:\\gdata\\OTHER"));
}

TEST_F(TreeCheckTest, NothingPrunedWithoutAWholeProductsTable) {
  Write("c:\\gdata\\ORPHAN\\x.txt", "x");
  // A products table that is not a table.
  Write("c:\\gdata\\PRODUCTS.DBF", "not a table");
  EXPECT_EQ(Wy_GDataTreeCheck("c:\\gdata\\", &window_, true, true, false),
            kWyTreeCheckOk);
  EXPECT_TRUE(Exists("c:\\gdata\\ORPHAN\\x.txt"));
  EXPECT_TRUE(Exists("c:\\gdata\\P1\\S1"));
}

TEST_F(TreeCheckTest, CleaningKeepsTablesMemosAndMaintenanceFiles) {
  Write("c:\\gdata\\FVERS.DAT", "1.00  Demo");
  Write("c:\\gdata\\notes.txt", "x");
  Write("c:\\gdata\\FRM.DBT", "memo");  // FRM.DBF is beside it
  Write("c:\\gdata\\CUS.DBT", "memo");  // no CUS.DBF here
  Write("c:\\gdata\\tanks.ntx", "t");
  Write("c:\\gdata\\Disps.dbf", "d");
  Write(std::string("c:\\gdata\\") + kWyMaintenanceLockFile, "");
  Write("c:\\gdata\\P1\\S1\\old.bak", "x");
  Write("c:\\gdata\\P1\\S1\\WHATEVER.DBF", "x");
  ASSERT_TRUE(Exists("c:\\gdata\\CNTS.NTX"));
  EXPECT_EQ(Wy_GDataTreeCheck("c:\\gdata\\", &window_, true, false, true),
            kWyTreeCheckOk);
  EXPECT_TRUE(Exists("c:\\gdata\\FVERS.DAT"));
  EXPECT_TRUE(Exists("c:\\gdata\\FRM.DBT"));
  EXPECT_TRUE(Exists("c:\\gdata\\tanks.ntx"));
  EXPECT_TRUE(Exists("c:\\gdata\\Disps.dbf"));
  EXPECT_TRUE(Exists(std::string("c:\\gdata\\") + kWyMaintenanceLockFile));
  EXPECT_TRUE(Exists("c:\\gdata\\CNTS.DBF"));
  EXPECT_FALSE(Exists("c:\\gdata\\CUS.DBT"));
  EXPECT_FALSE(Exists("c:\\gdata\\notes.txt"));
  EXPECT_FALSE(Exists("c:\\gdata\\CNTS.NTX"));
  EXPECT_FALSE(Exists("c:\\gdata\\P1\\S1\\old.bak"));
  EXPECT_FALSE(Exists("c:\\gdata\\P1\\S1\\WHATEVER.DBF"));
  const auto texts = Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "c:\\gdata\\notes.txt *"),
            texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "c:\\gdata\\cnts.dbf"),
            texts.end());
  // The next open of the table builds the index again.
  Wdbase c;
  ASSERT_TRUE(c.SetFiles(&WyGetFileInfo(Y_CNTS)->def));
  ASSERT_TRUE(c.SetPath("c:\\gdata\\"));
  ASSERT_TRUE(c.Open());
  ASSERT_TRUE(c.SelectIdx(1));
  EXPECT_EQ(c.Seek("    2"), 1);
}

TEST_F(TreeCheckTest, DryRunChangesNothing) {
  E()->DeleteTree("c:\\gdata\\P2");
  Write("c:\\gdata\\ORPHAN\\x.txt", "x");
  Write("c:\\gdata\\notes.txt", "x");
  const auto before = Listing();
  EXPECT_EQ(Wy_GDataTreeCheck("c:\\gdata\\", &window_, false, true, true),
            kWyTreeCheckOk);
  EXPECT_EQ(Listing(), before);
  for (const std::string& t : Texts())
    EXPECT_NE(t.substr(t.size() - 2), " *") << t;
}

TEST_F(TreeCheckTest, BusyWhileAnotherRunHoldsTheDataSet) {
  Write("c:\\gdata\\ORPHAN\\x.txt", "x");
  auto other =
      std::make_unique<mixtable_testing::OtherMaintenanceRun>("c:\\gdata\\");
  ASSERT_TRUE(other->ok());
  EXPECT_EQ(Wy_GDataTreeCheck("c:\\gdata\\", &window_, true, true, true),
            kWyMaintenanceBusy);
  EXPECT_TRUE(Exists("c:\\gdata\\ORPHAN\\x.txt"));
  EXPECT_EQ(Wy_UpdateCntsColorimetry(&ts_.Mixtable(), nullptr), -1);
  EXPECT_FALSE(Wy_UpdateMasksAndRulers(&ts_.Mixtable(), nullptr, 2));
  // The dry run needs no lock.
  EXPECT_EQ(Wy_GDataTreeCheck("c:\\gdata\\", &window_, false, true, true),
            kWyTreeCheckOk);
  other.reset();
  // Cleaning waits for no table to be open.
  Wdbase open_table;
  ASSERT_TRUE(open_table.SetFiles("c:\\gdata\\", "CNTS", 0, nullptr, nullptr));
  ASSERT_TRUE(open_table.Open());
  EXPECT_EQ(Wy_GDataTreeCheck("c:\\gdata\\", &window_, true, false, true),
            kWyMaintenanceBusy);
  EXPECT_EQ(Wy_GDataTreeCheck("c:\\gdata\\", &window_, true, true, false),
            kWyTreeCheckOk);
  EXPECT_FALSE(Exists("c:\\gdata\\ORPHAN"));
}

TEST_F(TreeCheckTest, TheRunningUpgradesAreaAndLockAreLeftAlone) {
  Wy_MaintenanceGuard run("c:\\gdata\\");
  ASSERT_EQ(run.Begin(false), 1);
  run.AllowNested();  // as the upgrade does before its tree check
  ASSERT_TRUE(run.SaveFile("c:\\gdata\\CNTS.DBF"));
  const std::string area = std::string("c:\\gdata\\") + kWyMaintenanceArea;
  const std::string journal = area + "\\" + kWyMaintenanceJournal;
  ASSERT_TRUE(Exists(journal));
  Write("c:\\gdata\\notes.txt", "x");
  // Inside the run (as inside the upgrade) the check joins it.
  EXPECT_EQ(Wy_GDataTreeCheck("c:\\gdata\\", &window_, true, true, true),
            kWyTreeCheckOk);
  EXPECT_TRUE(Exists(journal));
  EXPECT_TRUE(Exists(area + "\\CNTS.DBF"));
  EXPECT_TRUE(Exists(std::string("c:\\gdata\\") + kWyMaintenanceLockFile));
  EXPECT_FALSE(Exists("c:\\gdata\\notes.txt"));
  EXPECT_TRUE(run.Complete());
}

TEST_F(TreeCheckTest, ProgressSequence) {
  Write("c:\\gdata\\FVERS.DAT", "2.50  Demo set");
  EXPECT_EQ(Wy_GDataTreeCheck("c:\\gdata\\", &window_, true, false, true),
            kWyTreeCheckOk);
  // After each product: the share done with the data set's description.
  int per_product = 0;
  for (const Note& n : notes_) {
    if (n.msg != 0x8702 || n.param == 0 || n.text.empty()) continue;
    EXPECT_EQ(n.text, "Demo set");
    ++per_product;
  }
  EXPECT_EQ(per_product, 3);
  std::vector<std::pair<unsigned, int64_t>> seq;
  for (const Note& n : notes_)
    if (!(n.msg == 0x8704 && n.param == 1)) seq.emplace_back(n.msg, n.param);
  const std::vector<std::pair<unsigned, int64_t>> expected = {
      {0x8702, 0},   {0x8703, 100}, {0x8704, 2},   {0x8703, 25}, {0x8703, 50},
      {0x8702, 33},  {0x8702, 66},  {0x8702, 100}, {0x8703, 75}, {0x8703, 99},
      {0x8702, 100}, {0x8703, 100}, {0x8704, 2}};
  EXPECT_EQ(seq, expected);
  // Without a window nothing is sent.
  notes_.clear();
  EXPECT_EQ(Wy_GDataTreeCheck("c:\\gdata\\", nullptr, true, true, true),
            kWyTreeCheckOk);
  EXPECT_TRUE(notes_.empty());
}

}  // namespace
