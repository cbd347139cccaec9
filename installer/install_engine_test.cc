// End-to-end installations through the console front in a temporary drives
// root, with the test setup program of install_test_util.cc.

#include "installer/install_engine.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>  // symlink
#endif

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "console/console_front.h"
#include "install_test_util.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_maintenance.h"
#include "mixtable/ytable.h"
#include "platform/env.h"
#include "platform/hooks.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"
#include "testing/other_run.h"
#include "xbase32/wdbase.h"

using installer_testing::Contents;
using installer_testing::Exists;
using installer_testing::MakePackage;
using installer_testing::Snapshot;
using installer_testing::Write;

namespace {

class InstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installer_testing::ClearDrive();
    platform::Env::Current()->UnsetEnv("LOCALDIR");
    Wy_ResetAbsDataIdCache();
    progress_.clear();
    old_progress_ = platform::SetProgressHook(
        [](const void*, unsigned msg, int64_t, const char*) {
          progress_.push_back(msg);
        });
  }
  void TearDown() override {
    platform::SetProgressHook(old_progress_);
    installer_testing::ClearDrive();
  }
  static inline std::vector<unsigned> progress_;
  platform::ProgressHook old_progress_ = nullptr;

  // Runs the console front; the output goes to out_.
  int Run(const std::string& gdata_txt, const char* answer = nullptr,
          const std::string& input = "") {
    std::string pkg = MakePackage(gdata_txt);
    if (spoil_) Write("c:\\instpkg\\tree\\CNTS.DBF", "not a table");
    std::vector<const char*> argv = {"KalvoINSTALL", "--console", "--package",
                                     pkg.c_str()};
    if (answer) {
      argv.push_back("--answer");
      argv.push_back(answer);
    }
    out_.str("");
    std::ostringstream err;
    std::istringstream in(input);
    int rc =
        ConsoleMain(static_cast<int>(argv.size()), argv.data(), out_, err, in);
    return rc;
  }
  bool Said(const std::string& text) const {
    return out_.str().find(text) != std::string::npos;
  }

  // An old data set in dir with the keepers an update must not touch.
  void OldDataSet(const std::string& dir) {
    std::string error;
    ASSERT_TRUE(mixtable_testing::BuildSampleDataSet(dir, &error)) << error;
    Write(dir + "TANKS.DBF", "tanks");
    Write(dir + "P1\\disps.dbf", "disps");
    Write(dir + "Custom\\mine.txt", "custom");
    Write(dir + "P1\\custom\\x.dat", "custom2");
    Write(dir + "OLD.TXT", "old");
  }

  // The catalogue's records as "id|path|descr" lines.
  std::vector<std::string> Catalogue() {
    std::vector<std::string> out;
    Wdbase db;
    if (!Wy_SetDatactlDbHandle(&db) || !db.Open()) return out;
    db.SelectIdx(0);
    for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next()) {
      if (db.Deleted()) continue;
      std::string id = db.Read("DATAID", 1, 1);
      std::string path = db.Read("PATH", 1, 1);
      std::string descr = db.Read("DESCR", 1, 1);
      out.push_back(id + "|" + path + "|" + descr);
    }
    db.Close();
    return out;
  }

  // A local table STORE with records of the given ids.
  void LocalStore(const std::vector<int>& ids) {
    WDBASE_FIELD fields[] = {
        {"DATAID", 'C', 10, 0, 0}, {"NAME", 'C', 10, 0, 0}, {}};
    Wdbase t;
    const char* names[] = {"STDATAID"};
    const char* exprs[] = {"DATAID"};
    ASSERT_TRUE(t.SetFiles("c:\\local\\", "STORE", 1, names, exprs));
    ASSERT_TRUE(t.CreateDb(fields));
    ASSERT_TRUE(t.Open());
    for (int id : ids) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "%10d", id);
      ASSERT_TRUE(t.AppendBlank());
      ASSERT_TRUE(t.WriteString("DATAID", buf));
    }
    t.Close();
  }
  std::vector<int> StoreIds() {
    std::vector<int> out;
    Wdbase t;
    t.SetFiles("c:\\local\\", "STORE", 0, nullptr, nullptr);
    if (!t.Open()) return out;
    for (int ok = t.Top(); ok && !t.Eof(); ok = t.Next())
      out.push_back(std::atoi(t.Read("DATAID", 1, 1)));
    t.Close();
    return out;
  }

  platform::ScopedTempDrives drives_;
  std::ostringstream out_;
  bool spoil_ = false;  // the package's CNTS.DBF is no table
};

TEST_F(InstallTest, FreshInstall) {
  ASSERT_EQ(0, Run("7\nC:\\GDATA001\nFresh set\n")) << out_.str();
  EXPECT_TRUE(Said("Database Check...\nDatabase Check...(Tree old check)\n"));
  EXPECT_TRUE(Said("Installation Done.\nRebuilding Indexes...\nReindex: "));
  EXPECT_TRUE(
      Said("Rebuilding Indexes Done\nInstallation success!\n[catalog dump]\n"));
  EXPECT_FALSE(Said("Removing Backup Database"));
  EXPECT_EQ(Catalogue(), std::vector<std::string>{"7|C:\\GDATA001|Fresh set"});
  EXPECT_TRUE(Exists("C:\\GDATA001\\PRODUCTS.DBF"));
  EXPECT_TRUE(Exists("C:\\GDATA001\\P1\\S1\\FRM.DBF"));
  EXPECT_FALSE(Exists("c:\\inno.end"));
  EXPECT_FALSE(Exists("C:\\GDATATMP"));
  EXPECT_FALSE(Exists("c:\\local\\datactl.xxx"));
  EXPECT_FALSE(Exists("c:\\local\\INSTALL.BAK"));
  EXPECT_EQ("/VERYSILENT C:\\GDATA001", Contents("c:\\instpkg\\ARGS"));
  // A start, one step per table of the sample data set and an end.
  EXPECT_EQ(1, std::count(progress_.begin(), progress_.end(), 0x8702u));
  EXPECT_LE(15, std::count(progress_.begin(), progress_.end(), 0x8703u));
  EXPECT_EQ(0x8704u, progress_.back());
}

TEST_F(InstallTest, UpdateSameIdKeepsTanksDispsAndCustom) {
  OldDataSet("C:\\GDATA001\\");
  char path[] = "C:\\GDATA001";
  ASSERT_EQ(2, Wy_UpdateDatactl(7, 0, path, "Old"));
  ASSERT_EQ(0, Run("7\nC:\\GDATA001\nNew set\n3\n")) << out_.str();
  EXPECT_TRUE(Said("Removing Backup Database\nInstallation success!"));
  EXPECT_EQ(Catalogue(), std::vector<std::string>{"7|C:\\GDATA001|New set"});
  EXPECT_EQ("tanks", Contents("C:\\GDATA001\\TANKS.DBF"));
  EXPECT_EQ("disps", Contents("C:\\GDATA001\\P1\\DISPS.DBF"));
  EXPECT_EQ("custom", Contents("C:\\GDATA001\\CUSTOM\\mine.txt"));
  EXPECT_EQ("custom2", Contents("C:\\GDATA001\\P1\\CUSTOM\\x.dat"));
  EXPECT_FALSE(Exists("C:\\GDATA001\\OLD.TXT"));
  EXPECT_FALSE(Exists("C:\\GDATATMP"));
}

TEST_F(InstallTest, ScanGivenIdIsTakenOverAndLocalTablesRenumbered) {
  OldDataSet("C:\\GDATA001\\");
  char path[] = "C:\\GDATA001\\";
  ASSERT_EQ(2, Wy_UpdateDatactl(42, 0, path, "Scanned"));
  LocalStore({42, 9, 42});
  ASSERT_EQ(0, Run("700\nC:\\GDATA001\nNew set\n")) << out_.str();
  EXPECT_EQ(Catalogue(),
            std::vector<std::string>{"700|C:\\GDATA001\\|New set"});
  EXPECT_EQ(StoreIds(), (std::vector<int>{700, 9, 700}));
}

class OtherIdTest : public InstallTest {
 protected:
  void SetUp() override {
    InstallTest::SetUp();
    OldDataSet("C:\\GDATA001\\");
    char path[] = "C:\\GDATA001";
    ASSERT_EQ(2, Wy_UpdateDatactl(500, 0, path, "Other"));
    LocalStore({500, 9});
    catalogue_ = Contents("c:\\local\\datactl.dbf");
    store_ = Contents("c:\\local\\store.dbf");
    tree_ = Snapshot("C:\\GDATA001");
  }
  std::string catalogue_, store_;
  std::map<std::string, std::string> tree_;
};

TEST_F(OtherIdTest, YesInstallsInAFreeDirectory) {
  ASSERT_EQ(0, Run("700\nC:\\GDATA001\nNew set\n", "yes")) << out_.str();
  EXPECT_TRUE(
      Said("In the directory C:\\GDATA001\nthe Database ID = 500 is already "
           "present\n"
           "The new Database has a different ID = 700\n"
           "Press 'Yes' to install the new Database in C:\\GDATA002\n"
           "Press 'No' to install the new Database in C:\\GDATA001\n"
           "(the old one will be deleted)\n"));
  EXPECT_EQ(Catalogue(),
            (std::vector<std::string>{"500|C:\\GDATA001|Other",
                                      "700|C:\\GDATA002|New set"}));
  EXPECT_EQ(tree_, Snapshot("C:\\GDATA001"));
  EXPECT_TRUE(Exists("C:\\GDATA002\\PRODUCTS.DBF"));
  EXPECT_EQ(StoreIds(), (std::vector<int>{500, 9}));
}

TEST_F(OtherIdTest, NoReplacesTheOldDataSet) {
  ASSERT_EQ(0, Run("700\nC:\\GDATA001\nNew set\n", nullptr, "no\n"))
      << out_.str();
  EXPECT_TRUE(Said("Answer: No"));
  EXPECT_EQ(Catalogue(), std::vector<std::string>{"700|C:\\GDATA001|New set"});
  EXPECT_FALSE(Exists("C:\\GDATA001\\OLD.TXT"));
  EXPECT_EQ(StoreIds(), (std::vector<int>{700, 9}));
}

TEST_F(OtherIdTest, CancelAndEndOfInputChangeNothing) {
  for (const char* answer : {"cancel", static_cast<const char*>(nullptr)}) {
    EXPECT_EQ(1, Run("700\nC:\\GDATA001\nNew set\n", answer, "")) << out_.str();
    EXPECT_TRUE(Said("Answer: Cancel"));
    EXPECT_EQ(catalogue_, Contents("c:\\local\\datactl.dbf"));
    EXPECT_EQ(store_, Contents("c:\\local\\store.dbf"));
    EXPECT_EQ(tree_, Snapshot("C:\\GDATA001"));
    EXPECT_FALSE(Exists("c:\\local\\datactl.xxx"));
    EXPECT_FALSE(Exists("c:\\local\\INSTALL.BAK"));
  }
}

TEST_F(OtherIdTest, FailedSetupPutsEverythingBack) {
  Write("c:\\instpkg\\FAIL", "");
  EXPECT_EQ(1, Run("700\nC:\\GDATA001\nNew set\n", "no")) << out_.str();
  EXPECT_TRUE(
      Said("Database installation failed !!!\n\nDelete partial database "
           "installed !!!\n\n"));
  EXPECT_TRUE(
      Said("Il vecchio database verr\xE0 ripristinato\nRestore old database "
           "done !!!\n"));
  EXPECT_FALSE(Said("Installation success!"));
  EXPECT_EQ(catalogue_, Contents("c:\\local\\datactl.dbf"));
  EXPECT_EQ(store_, Contents("c:\\local\\store.dbf"));
  EXPECT_EQ(tree_, Snapshot("C:\\GDATA001"));
  EXPECT_FALSE(Exists("C:\\GDATATMP"));
  EXPECT_FALSE(Exists("c:\\local\\datactl.xxx"));
}

TEST_F(OtherIdTest, StaleBackupStopsBeforeAnyChange) {
  Write("C:\\GDATATMP\\PRODUCTS.DBF", "only copy");
  EXPECT_EQ(1, Run("700\nC:\\GDATA001\nNew set\n", "no")) << out_.str();
  EXPECT_TRUE(Said("The backup directory C:\\GDATATMP\\ of an earlier"));
  EXPECT_EQ("only copy", Contents("C:\\GDATATMP\\PRODUCTS.DBF"));
  EXPECT_EQ(catalogue_, Contents("c:\\local\\datactl.dbf"));
  EXPECT_EQ(store_, Contents("c:\\local\\store.dbf"));
  EXPECT_EQ(tree_, Snapshot("C:\\GDATA001"));
}

TEST_F(OtherIdTest, AMaintenanceRunOrItsJournalStopsBeforeAnyChange) {
  // An interrupted run's journal: the set waits for its restore.
  Write("C:\\GDATA001\\$UPGRADE\\JOURNAL", "saved PRODUCTS.DBF\n");
  const auto tree = Snapshot("C:\\GDATA001");
  EXPECT_EQ(1, Run("700\nC:\\GDATA001\nNew set\n", "no")) << out_.str();
  EXPECT_TRUE(Said("An interrupted maintenance run left C:\\GDATA001"));
  EXPECT_EQ(tree, Snapshot("C:\\GDATA001"));
  EXPECT_EQ(catalogue_, Contents("c:\\local\\datactl.dbf"));
  ASSERT_TRUE(
      platform::Env::Current()->DeleteTree("C:\\GDATA001\\$UPGRADE").ok());
  // A run holding the lock in another process.
  {
    mixtable_testing::OtherMaintenanceRun other("C:\\GDATA001");
    ASSERT_TRUE(other.ok());
    out_.str("");
    EXPECT_EQ(1, Run("700\nC:\\GDATA001\nNew set\n", "no")) << out_.str();
    EXPECT_TRUE(
        Said("A maintenance run (check, upgrade or repair) is working"));
  }
  EXPECT_EQ(catalogue_, Contents("c:\\local\\datactl.dbf"));
}

TEST_F(InstallTest, FailedFreshInstallLeavesNothing) {
  Write("c:\\instpkg\\FAIL", "");
  EXPECT_EQ(1, Run("7\nC:\\GDATA001\nFresh\n")) << out_.str();
  EXPECT_TRUE(
      Said("Delete partial database installed !!!\n\nDatabase installation is "
           "not complete !!!\n"));
  EXPECT_FALSE(Said("Restore old database done"));
  EXPECT_FALSE(Exists("C:\\GDATA001"));
  EXPECT_FALSE(Exists("c:\\local\\datactl.dbf"));
  EXPECT_FALSE(Exists("c:\\local\\datactl.xxx"));
}

TEST_F(InstallTest, FailedReindexIsReported) {
  spoil_ = true;
  EXPECT_EQ(1, Run("7\nC:\\GDATA001\nFresh\n")) << out_.str();
  EXPECT_TRUE(Said("Reindex failed: ")) << out_.str();
  EXPECT_FALSE(Said("Installation success!"));
  EXPECT_TRUE(
      Said("\n\n\nInstallation is not complete: some indexes could not be "
           "rebuilt\n"));
}

TEST_F(InstallTest, WorkAreaLeavesTheCatalogueAlone) {
  ASSERT_EQ(0, Run("7\nc:\\gcspaces\nWork\n")) << out_.str();
  EXPECT_FALSE(Exists("c:\\local\\datactl.dbf"));
  EXPECT_TRUE(Exists("C:\\GCSPACES\\PRODUCTS.DBF"));
  EXPECT_TRUE(Said("Could not open catalog"));
}

TEST_F(InstallTest, LinkedTargetIsWorkedInside) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links stand in for shortcuts on Linux only; "
                  "wine cannot make them";
#else
  OldDataSet("e:\\sets\\one\\");
  std::string target = installer_testing::Host("e:\\sets\\one");
  std::string link = installer_testing::Host("c:\\") + "/GDATA001";
  ASSERT_EQ(0, symlink(target.c_str(), link.c_str()));
  ASSERT_EQ(0, Run("7\nC:\\GDATA001\nLinked\n")) << out_.str();
  platform::FileInfo info;
  ASSERT_TRUE(
      platform::Env::Current()->GetFileInfo("C:\\GDATA001", &info).ok());
  EXPECT_TRUE(info.is_link);
  EXPECT_EQ("tanks", Contents("e:\\sets\\one\\TANKS.DBF"));
  EXPECT_FALSE(Exists("e:\\sets\\one\\OLD.TXT"));
  EXPECT_TRUE(Exists("e:\\sets\\one\\P1\\S1\\FRM.DBF"));
#endif
}

TEST_F(InstallTest, RefusedTargetsAndBadFilesTouchNothing) {
  const char* bad[] = {"7\nC:\\\nX\n",
                       "7\nc:\\local\nX\n",
                       "7\nC:\\WUSER\\\nX\n",
                       "7\nC:\\GDATA\\..\\X\nX\n",
                       "7\nC:\nX\n",
                       "7\n\nX\n",
                       "7\nGDATA\nX\n",
                       "0\nC:\\GDATA001\nX\n",
                       "x7\nC:\\GDATA001\nX\n",
                       "4294967296\nC:\\GDATA001\nX\n",
                       "7\nC:\\GDATA001\n",
                       "",
                       "7\nC:\\GDATA001\nX\nz\n"};
  for (const char* text : bad) {
    EXPECT_EQ(1, Run(text)) << text;
    EXPECT_TRUE(Said("Error in file GDATA.TXT, line ")) << text << out_.str();
    EXPECT_FALSE(Exists("c:\\local\\datactl.dbf")) << text;
    EXPECT_FALSE(Exists("C:\\GDATA001")) << text;
  }
}

TEST_F(InstallTest, CrlfFileInstalls) {
  ASSERT_EQ(0, Run("7\r\nC:\\GDATA001\r\nFresh\r\n")) << out_.str();
  EXPECT_EQ(Catalogue(), std::vector<std::string>{"7|C:\\GDATA001|Fresh"});
}

TEST_F(InstallTest, MissingFile) {
  std::string pkg = MakePackage("7\nC:\\GDATA001\nX\n");
  platform::Env::Current()->DeleteFile(pkg + "/GDATA.TXT");
  const char* argv[] = {"KalvoINSTALL", "--console", "--package", pkg.c_str()};
  std::ostringstream err;
  std::istringstream in;
  EXPECT_EQ(1, ConsoleMain(4, argv, out_, err, in));
  EXPECT_EQ("Error while reading file GDATA.TXT (Missing file ?)\n",
            out_.str());
  EXPECT_FALSE(Exists("c:\\local\\datactl.dbf"));
}

TEST_F(InstallTest, HelpAndBadArguments) {
  struct Case {
    std::vector<const char*> args;
    int status;
    bool usage_on_out;
  } cases[] = {{{"--help"}, 0, true},
               {{"-h", "--console"}, 0, true},
               {{"--console", "--answer", "maybe"}, 2, false},
               {{"--bogus"}, 2, false}};
  for (const Case& c : cases) {
    std::vector<const char*> argv = {"KalvoINSTALL"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    std::ostringstream out, err;
    std::istringstream in;
    EXPECT_EQ(c.status, ConsoleMain(static_cast<int>(argv.size()), argv.data(),
                                    out, err, in));
    EXPECT_EQ(c.usage_on_out, out.str().find("usage:") == 0) << out.str();
    EXPECT_EQ(!c.usage_on_out, err.str().find("usage:") == 0) << err.str();
  }
  EXPECT_FALSE(Exists("c:\\local\\datactl.dbf"));
}

}  // namespace
