// The checks of an installed tree, the prune of an old one and the free
// data directory, on trees built in a temporary drives root.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <string>

#include "install_test_util.h"
#include "installer/install_engine.h"
#include "mixtable/ytable.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"
#include "xbase32/wdbase.h"

using installer_testing::Exists;
using installer_testing::Write;

namespace {

class ChecksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installer_testing::ClearDrive();
    platform::Env::Current()->UnsetEnv("LOCALDIR");
    std::string error;
    ASSERT_TRUE(mixtable_testing::BuildSampleDataSet(kDir, &error)) << error;
  }
  void TearDown() override { installer_testing::ClearDrive(); }
  static constexpr const char* kDir = "c:\\set\\";
  platform::ScopedTempDrives drives_;
};

TEST_F(ChecksTest, AliensCheckKeepsIndexesBesideTheirTablesAndMemos) {
  Write("c:\\set\\P1\\FRM.NTX", "i");     // FRM.DBF is beside it
  Write("c:\\set\\P2\\FRM.NTX", "i");     // no FRM.DBF in P2
  Write("c:\\set\\P1\\frm.dbt", "memo");  // memo of a registered table
  Write("c:\\set\\P1\\NOEXT", "x");
  Write("c:\\set\\P1\\S1\\notes.txt", "x");
  Write("c:\\set\\FVERS.DAT", "1.0");
  Write("c:\\set\\tanks.dbf", "t");
  Write("c:\\set\\DISPS.NTX", "t");
  Write("c:\\set\\LONGNAME1.DBF", "x");
  Write("c:\\set\\P1\\PRODUCTS.DBF", "a root table at the product level");
  AliensFileCheck(kDir);
  EXPECT_TRUE(Exists("c:\\set\\P1\\FRM.NTX"));
  EXPECT_FALSE(Exists("c:\\set\\P2\\FRM.NTX"));
  EXPECT_TRUE(Exists("c:\\set\\P1\\frm.dbt"));
  EXPECT_FALSE(Exists("c:\\set\\P1\\NOEXT"));
  EXPECT_FALSE(Exists("c:\\set\\P1\\S1\\notes.txt"));
  EXPECT_TRUE(Exists("c:\\set\\FVERS.DAT"));
  EXPECT_TRUE(Exists("c:\\set\\tanks.dbf"));
  EXPECT_TRUE(Exists("c:\\set\\DISPS.NTX"));
  EXPECT_FALSE(Exists("c:\\set\\LONGNAME1.DBF"));
  EXPECT_FALSE(Exists("c:\\set\\P1\\PRODUCTS.DBF"));
  EXPECT_TRUE(Exists("c:\\set\\PRODUCTS.DBF"));
  EXPECT_TRUE(Exists("c:\\set\\P1\\S1\\FRM.DBF"));
}

TEST_F(ChecksTest, TreeOldCheckComparesWholePathsAndKeepsCustom) {
  mixtable_testing::DataSetBuilder b(kDir);
  ASSERT_TRUE(b.AddProduct(4, "PRODUCTLONG1", "long"));
  ASSERT_TRUE(b.AddProduct(5, "..", "bad"));
  Write("c:\\set\\PRODUCTLONG1\\FRM.DBF", "x");
  Write("c:\\set\\PRODUCTLONG\\FRM.DBF", "x");  // not a product
  Write("c:\\set\\custom\\S9\\x", "x");
  Write("c:\\set\\P1\\S9\\x", "x");        // not a sub-product of P1
  Write("c:\\set\\P1\\S1\\DEEP\\x", "x");  // below a sub-product
  Write("c:\\set\\P1\\Custom\\x", "x");
  TreeOldCheck(kDir);
  EXPECT_TRUE(Exists("c:\\set\\PRODUCTLONG1\\FRM.DBF"));
  EXPECT_FALSE(Exists("c:\\set\\PRODUCTLONG"));
  EXPECT_TRUE(Exists("c:\\set\\custom\\S9\\x"));
  EXPECT_FALSE(Exists("c:\\set\\P1\\S9"));
  EXPECT_FALSE(Exists("c:\\set\\P1\\S1\\DEEP"));
  EXPECT_TRUE(Exists("c:\\set\\P1\\Custom\\x"));
  EXPECT_TRUE(Exists("c:\\set\\P1\\S1\\FRM.DBF"));
  EXPECT_TRUE(Exists("c:\\set\\P2\\S1\\MASK.DBF"));
}

TEST_F(ChecksTest, NewPathCheckCreatesMissingDirectoriesOnly) {
  installer_testing::Write("c:\\x", "");
  DeleteTree("c:\\set\\P2\\S1");
  mixtable_testing::DataSetBuilder b(kDir);
  ASSERT_TRUE(b.AddProduct(6, "..\\OUT", "bad"));
  NewPathCheck(kDir);
  EXPECT_TRUE(Exists("c:\\set\\P2\\S1"));
  EXPECT_FALSE(Exists("c:\\OUT"));
}

TEST_F(ChecksTest, PruneKeepsTanksDispsCustomInAnyCaseAndNoLinkIsFollowed) {
  Write("c:\\outside\\keep.txt", "k");
#ifndef _WIN32  // wine cannot make symbolic links
  std::string outside = installer_testing::Host("c:\\outside");
  std::string link = installer_testing::Host("c:\\set\\P1") + "/LINK";
  ASSERT_EQ(0, symlink(outside.c_str(), link.c_str()));
#endif
  Write("c:\\set\\P2\\Tanks.Dbf", "t");
  Write("c:\\set\\disps.dbf", "d");
  Write("c:\\set\\P1\\S1\\CusTom\\a", "c");
  PruneTree(kDir);
  EXPECT_TRUE(Exists("c:\\outside\\keep.txt"));
  EXPECT_FALSE(Exists("c:\\set\\P1\\LINK"));
  EXPECT_TRUE(Exists("c:\\set\\P2\\Tanks.Dbf"));
  EXPECT_TRUE(Exists("c:\\set\\disps.dbf"));
  EXPECT_TRUE(Exists("c:\\set\\P1\\S1\\CusTom\\a"));
  EXPECT_FALSE(Exists("c:\\set\\PRODUCTS.DBF"));
  EXPECT_FALSE(Exists("c:\\set\\P1\\S1\\FRM.DBF"));
  EXPECT_FALSE(Exists("c:\\set\\P1\\S2"));  // emptied, removed
}

TEST_F(ChecksTest, FreeDataDirectoryGivesUpAfter999) {
  std::string dir;
  ASSERT_TRUE(FindFreeDataDir(dir));
  EXPECT_EQ("C:\\GDATA001", dir);
  EXPECT_FALSE(Exists(dir));
  platform::Env* env = platform::Env::Current();
  for (int n = 1; n <= 999; ++n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "C:\\GDATA%03d", n);
    ASSERT_TRUE(env->CreateDir(buf).ok());
    if (n == 1) {
      ASSERT_TRUE(FindFreeDataDir(dir));
      EXPECT_EQ("C:\\GDATA002", dir);
    }
  }
  EXPECT_FALSE(FindFreeDataDir(dir));
  EXPECT_EQ("", dir);
}

TEST(TargetPathTest, Refusals) {
  platform::ScopedTempDrives drives;
  platform::Env::Current()->SetEnv("LOCALDIR", "d:\\machine\\local");
  struct Case {
    const char* path;
    bool ok;
  } cases[] = {
      {"C:\\GDATA001", true},
      {"c:\\gdata\\", true},
      {"d:\\sets\\one", true},
      {"", false},
      {"  ", false},
      {"C:\\", false},
      {"C:", false},
      {"\\GDATA", false},
      {"GDATA", false},
      {"C:\\A\\..\\B", false},
      {"C:\\GDATATMP", false},
      {"c:\\gdatatmp\\", false},
      {"C:\\WUSER", false},
      {"c:\\wuser\\dbfcache", true},
      {"D:\\MACHINE", false},
      {"d:\\machine\\local\\", false},
      {"d:\\machine\\other", true},
      {"/tmp/x", false},
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_EQ(c.ok, CheckTargetPath(c.path, &why)) << c.path;
    EXPECT_EQ(c.ok, why.empty()) << c.path;
  }
  platform::Env::Current()->UnsetEnv("LOCALDIR");
}

}  // namespace

TEST_F(ChecksTest, NamesWithSeparatorsNeverLeadOutOfTheTree) {
  // Host names may hold "\" (archives made elsewhere); joined to a
  // Windows-style path they would split and climb out of the tree.
#ifdef _WIN32
  GTEST_SKIP() << "Windows names cannot hold \"\\\"";
#else
  Write("c:\\gdata\\products.dbf", "victim");
  Write("c:\\victim\\keep.txt", "victim");
  std::string p1 = installer_testing::Host("c:\\set\\P1");
  ASSERT_EQ(0, ::mkdir((p1 + "/..\\..\\victim").c_str(), 0755));
  ASSERT_EQ(0, ::mkdir((p1 + "/..\\..\\gdata").c_str(), 0755));
  FILE* f = std::fopen((p1 + "/..\\..\\gdata\\products.dbf").c_str(), "w");
  ASSERT_NE(nullptr, f);
  std::fclose(f);
  PruneTree(kDir);
  TreeOldCheck(kDir);
  AliensFileCheck(kDir);
  DeleteNamedFiles(kDir, "products.dbf");
  EXPECT_EQ("victim", installer_testing::Contents("c:\\gdata\\products.dbf"));
  EXPECT_TRUE(Exists("c:\\victim\\keep.txt"));
#endif
}

TEST_F(ChecksTest, TreeInUseNamesATableAnotherHandleHoldsOpen) {
  std::string table;
  EXPECT_FALSE(TreeInUse(kDir, &table));
  EXPECT_EQ("", table);
  Wdbase w;
  ASSERT_EQ(1, w.SetFiles("c:\\set\\P1\\S1\\", "FRM", 0, nullptr, nullptr));
  ASSERT_EQ(1, w.Open());
  EXPECT_TRUE(TreeInUse(kDir, &table));
  EXPECT_STRCASEEQ("c:\\set\\p1\\s1\\frm.dbf", table.c_str());
  w.Close();
  EXPECT_FALSE(TreeInUse(kDir, &table));
}
