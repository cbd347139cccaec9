// Wy_MaintenanceGuard: the lock, the in-use refusal, saving, completion,
// rollback, recovery of interrupted runs (a kill after every mutating call),
// refused journals and a disk that fills while saving. The other processes
// are child entries of this binary (no fork), so the tests run the same way
// on every host.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "access/table_set_fixture.h"
#include "maintenance/maintenance_journal.h"
#include "mixtable/wy_maintenance.h"
#include "platform/env.h"
#include "platform/testing/child_process.h"
#include "platform/testing/fault_env.h"

namespace {

namespace fs = std::filesystem;
using platform::testing::kChildKilled;
using platform::testing::RunChild;
using Snapshot = std::map<std::string, std::string>;

constexpr const char* kDir = "c:\\gdata\\";

// A run with the changes an upgrade makes: PARAM rewritten, a directory and
// a file created, a sub-product table changed.
bool Work(Wy_MaintenanceGuard& g) {
  CMixtableEx ts;
  ts.SetDataDir(kDir);
  if (!g.SaveTable(kDir, Y_PARAM)) return false;
  if (!ts.SetParam("BLEND_L", "A  ,  1,X,  10", "test")) return false;
  const std::string nd = std::string(kDir) + "NEWDIR";
  if (!g.NoteCreated(nd)) return false;
  if (!platform::Env::Current()->CreateDir(nd).ok()) return false;
  const std::string nf = nd + "\\X.DAT";
  if (!g.NoteCreated(nf)) return false;
  std::unique_ptr<platform::File> f;
  if (!platform::Env::Current()
           ->OpenFile(nf, platform::OpenMode::kCreateAlways, &f)
           .ok() ||
      !f->WriteAt(0, "x", 1).ok()) {
    return false;
  }
  f.reset();
  const std::string sub = std::string(kDir) + "P1\\S1\\";
  if (!g.SaveTable(sub, Y_FRM)) return false;
  Wdbase frm;
  const char* names[] = {"FRM"};
  const char* exprs[] = {"ID"};
  if (!frm.SetFiles(sub.c_str(), "FRM", 1, names, exprs) || !frm.Open() ||
      !frm.Top() || !frm.WriteString("ID", "   99")) {
    return false;
  }
  frm.Close();
  return true;
}

// args: none. 0 when a run of this process finds the data set busy.
KALVO_CHILD_MAIN(guard_second_run)(const std::vector<std::string>& args) {
  if (!args.empty()) return 9;
  Wy_MaintenanceGuard c(kDir);
  return c.Begin() == kWyMaintenanceBusy ? 0 : 1;
}

// args: ready marker, release marker. Opens P1\S1's FRM, signals ready and
// keeps it open until the release marker appears; 1 when it does not open.
KALVO_CHILD_MAIN(guard_hold_frm)(const std::vector<std::string>& args) {
  if (args.size() != 2) return 9;
  Wdbase t;
  if (!t.SetFiles("c:\\gdata\\p1\\s1\\", "FRM", 0, nullptr, nullptr) ||
      !t.Open()) {
    return 1;
  }
  if (!platform::testing::SignalFile(args[0])) return 2;
  return platform::testing::WaitForFile(args[1], -1) ? 0 : 3;
}

// args: n. The whole run (Begin, Work, Complete), ended like a kill right
// after its n-th mutating call when n > 0; 0 when it completed.
KALVO_CHILD_MAIN(guard_run)(const std::vector<std::string>& args) {
  if (args.size() != 1) return 9;
  platform::FaultInjectionEnv env(platform::Env::Current());
  platform::ScopedEnv use(&env);
  const int64_t n = std::stoll(args[0]);
  if (n > 0) env.CrashAfterMutations(n);
  Wy_MaintenanceGuard g(kDir);
  return g.Begin() == 1 && Work(g) && g.Complete() ? 0 : 1;
}

class MaintenanceGuardTest : public SampleDataSetTest {
 protected:
  // The data directory's host path (below the drives root on Linux, the
  // real c: drive on Windows).
  static std::string Host() {
    std::string host;
    platform::Env::Current()->HostPath("c:\\gdata", &host);
    return host;
  }

  // Every file below the data directory with its bytes (directories as
  // "DIR"), except the lock file.
  Snapshot Take() {
    Snapshot s;
    for (auto it = fs::recursive_directory_iterator(Host());
         it != fs::recursive_directory_iterator(); ++it) {
      const std::string rel = fs::relative(it->path(), Host()).generic_string();
      if (rel == kWyMaintenanceLockFile) continue;
      if (it->is_directory()) {
        s[rel] = "DIR";
        continue;
      }
      std::ifstream in(it->path(), std::ios::binary);
      std::stringstream b;
      b << in.rdbuf();
      s[rel] = b.str();
    }
    return s;
  }

  bool WriteJournal(const std::string& text) {
    const std::string area = Host() + "/" + kWyMaintenanceArea;
    fs::create_directories(area);
    std::ofstream(area + "/" + kWyMaintenanceJournal, std::ios::binary) << text;
    return true;
  }
};

TEST_F(MaintenanceGuardTest, ASecondRunIsBusyUntilTheFirstEnds) {
  Wy_MaintenanceGuard a(kDir);
  ASSERT_EQ(a.Begin(), 1);
  EXPECT_EQ(Wy_MaintenanceState(kDir), kWyMaintenanceLocked);
  EXPECT_EQ(0, RunChild("guard_second_run", {}));  // another process
  EXPECT_TRUE(a.Complete());
  EXPECT_EQ(Wy_MaintenanceState(kDir), kWyMaintenanceFree);
  Wy_MaintenanceGuard d(kDir);
  EXPECT_EQ(d.Begin(), 1);
}

TEST_F(MaintenanceGuardTest, ANestedRunJoinsTheOuterOne) {
  ts_.CloseAll();
  const Snapshot before = Take();
  Wy_MaintenanceGuard outer(kDir);
  ASSERT_EQ(outer.Begin(), 1);
  {
    Wy_MaintenanceGuard busy(kDir);  // not allowed yet
    EXPECT_EQ(busy.Begin(), kWyMaintenanceBusy);
  }
  outer.AllowNested();
  {
    Wy_MaintenanceGuard inner("C:/GDATA");
    ASSERT_EQ(inner.Begin(), 1);
    EXPECT_TRUE(inner.nested());
    ASSERT_TRUE(Work(inner));
    EXPECT_TRUE(inner.Complete());  // the outcome is the outer run's
  }
  EXPECT_FALSE(Take() == before);
  EXPECT_TRUE(outer.Rollback());
  EXPECT_TRUE(Take() == before);
}

TEST_F(MaintenanceGuardTest, ATableOpenElsewhereRefusesBeforeAnyChange) {
  ts_.CloseAll();
  const std::string ready = drives_.Host("ready"),
                    release = drives_.Host("release");
  std::unique_ptr<platform::Process> holder;
  ASSERT_TRUE(
      platform::testing::StartChild("guard_hold_frm", {ready, release}, &holder)
          .ok());
  ASSERT_TRUE(platform::testing::WaitForFile(ready, 60000, holder.get()))
      << "the other process could not open FRM";
  ASSERT_TRUE(WriteJournal("saved PARAM.DBF\n"));  // would be restored
  const Snapshot before = Take();
  Wy_MaintenanceGuard g(kDir);
  EXPECT_EQ(g.Begin(), kWyMaintenanceBusy);
  EXPECT_NE(g.error().find("frm.dbf"), std::string::npos) << g.error();
  EXPECT_TRUE(Take() == before);
  ASSERT_TRUE(platform::testing::SignalFile(release));
  EXPECT_EQ(0, platform::testing::WaitChild(holder.get()));
  // The copy the journal names is missing: not restorable, nothing changed.
  EXPECT_EQ(g.Begin(), kWyMaintenanceUnrestorable);
  EXPECT_TRUE(Take() == before);
  EXPECT_EQ(Wy_MaintenanceState(kDir), kWyMaintenanceInterrupted);
}

TEST_F(MaintenanceGuardTest, CompleteKeepsTheChangesRollbackUndoesThem) {
  ts_.CloseAll();
  const Snapshot before = Take();
  {
    Wy_MaintenanceGuard g(kDir);
    ASSERT_EQ(g.Begin(), 1);
    ASSERT_TRUE(Work(g));
    EXPECT_EQ(Wy_MaintenanceState(kDir), kWyMaintenanceLocked);
    EXPECT_TRUE(g.Rollback());
  }
  EXPECT_TRUE(Take() == before);
  {
    Wy_MaintenanceGuard g(kDir);
    ASSERT_EQ(g.Begin(), 1);
    ASSERT_TRUE(Work(g));
  }  // destroyed without Complete: rolled back
  EXPECT_TRUE(Take() == before);
  Wy_MaintenanceGuard g(kDir);
  ASSERT_EQ(g.Begin(), 1);
  ASSERT_TRUE(Work(g));
  ASSERT_TRUE(g.Complete());
  const Snapshot after = Take();
  EXPECT_FALSE(after == before);
  EXPECT_EQ(after.count(kWyMaintenanceArea), 0u);
  EXPECT_EQ(after.count("NEWDIR/X.DAT"), 1u);
}

TEST_F(MaintenanceGuardTest, SavingOutsideTheDataDirectoryIsRefused) {
  Wy_MaintenanceGuard g(kDir);
  EXPECT_FALSE(g.SaveFile("c:\\gdata\\PARAM.DBF"));  // not begun
  ASSERT_EQ(g.Begin(), 1);
  for (const char* p : {"c:\\other\\PARAM.DBF", "c:\\gdata\\..\\x.dbf",
                        "c:\\gdata\\$UPGRADE\\JOURNAL", "c:\\gdata\\",
                        "c:\\gdata\\p1\\\\x.dbf", "d:\\gdata\\PARAM.DBF"}) {
    EXPECT_FALSE(g.SaveFile(p)) << p;
  }
  EXPECT_TRUE(g.SaveFile("C:/GDATA/param.dbf"));
  EXPECT_TRUE(g.Complete());
}

// A kill after every mutating call of a run: the next Begin leaves the data
// set exactly as before the run or as after it.
TEST_F(MaintenanceGuardTest, AKillAtEveryStepIsRestoredByTheNextRun) {
  ts_.CloseAll();
  const Snapshot before = Take();
  const std::string host = Host();
  const std::string saved = drives_.dir() + "/before";
  fs::copy(host, saved, fs::copy_options::recursive);
  Snapshot after;
  {
    // The uninterrupted run, then back to the start.
    ASSERT_EQ(0, RunChild("guard_run", {"0"}));
    after = Take();
  }
  bool finished = false;
  int n = 1, restored = 0, kept = 0;
  for (; n < 500 && !finished; ++n) {
    fs::remove_all(host);
    fs::copy(saved, host, fs::copy_options::recursive);
    const int code = RunChild("guard_run", {std::to_string(n)});
    finished = code != kChildKilled;
    if (finished) {
      EXPECT_EQ(code, 0) << "n=" << n;
    }
    Wy_MaintenanceGuard g(kDir);
    ASSERT_EQ(g.Begin(), 1) << "killed at " << n << ": " << g.error();
    ASSERT_TRUE(g.Complete());
    const Snapshot now = Take();
    EXPECT_TRUE(now == before || now == after) << "killed at " << n;
    (now == before ? restored : kept)++;
  }
  EXPECT_TRUE(finished);
  RecordProperty("crash_points", n - 1);
  EXPECT_GT(restored, 5);
  EXPECT_GT(kept, 0);
}

TEST_F(MaintenanceGuardTest, BadJournalsStopWithNothingChanged) {
  ts_.CloseAll();
  std::vector<std::string> cases = {
      "saved ..\\PARAM.DBF\n",
      "saved \\PARAM.DBF\n",
      "created c:\\x\n",
      "saved P1\\..\\..\\x\n",
      "removed PARAM.DBF\n",
      "saved $UPGRADE\\JOURNAL\n",
      "saved PARAM.DBF\n",  // no saved copy
      "saved \n",
      std::string("saved A\0B\n", 10),
  };
#ifndef _WIN32
  // A link out of the data directory. mingw's std::filesystem makes no
  // symbolic links (and a Windows shop's data sets hold none).
  fs::create_directory_symlink(drives_.dir(), Host() + "/LINK");
  cases.push_back("saved LINK\\x.dbf\n");
#endif
  for (const std::string& text : cases) {
    ASSERT_TRUE(WriteJournal(text));
    const Snapshot before = Take();
    Wy_MaintenanceGuard g(kDir);
    EXPECT_EQ(g.Begin(), kWyMaintenanceUnrestorable) << text;
    EXPECT_FALSE(g.error().empty());
    EXPECT_TRUE(Take() == before) << text;
  }
  // An unfinished last line is ignored; a complete journal just goes.
  ASSERT_TRUE(WriteJournal("created NEW.DBF\nsaved PAR"));
  std::ofstream(Host() + "/NEW.DBF") << "new";
  Wy_MaintenanceGuard g(kDir);
  EXPECT_EQ(g.Begin(), 1) << g.error();
  EXPECT_FALSE(fs::exists(Host() + "/NEW.DBF"));
  EXPECT_FALSE(fs::exists(Host() + "/" + kWyMaintenanceArea));
  EXPECT_FALSE(g.recovery_note().empty());
  g.Complete();
  fs::create_directories(Host() + "/$UPGRADE");
  std::ofstream(Host() + "/$UPGRADE/COMPLETE") << "saved PARAM.DBF\n";
  EXPECT_EQ(Wy_MaintenanceState(kDir), kWyMaintenanceFree);
  Wy_MaintenanceGuard h(kDir);
  EXPECT_EQ(h.Begin(), 1);
  EXPECT_FALSE(fs::exists(Host() + "/" + kWyMaintenanceArea));
}

TEST_F(MaintenanceGuardTest, ADiskFullWhileSavingStopsAndRestores) {
  ts_.CloseAll();
  const Snapshot before = Take();
  platform::FaultInjectionEnv env(platform::Env::Current());
  platform::ScopedEnv use(&env);
  Wy_MaintenanceGuard g(kDir);
  ASSERT_EQ(g.Begin(), 1);
  ASSERT_TRUE(g.SaveTable(kDir, Y_PARAM));
  CMixtableEx ts;
  ts.SetDataDir(kDir);
  ASSERT_TRUE(ts.SetParam("BLEND_L", "x", "y"));
  env.FailPath("$UPGRADE\\P1", platform::FaultInjectionEnv::kCopy, ENOSPC);
  EXPECT_FALSE(g.SaveTable("c:\\gdata\\P1\\S1\\", Y_FRM));
  EXPECT_NE(g.error().find("FRM"), std::string::npos) << g.error();
  env.ClearFaults();
  EXPECT_TRUE(g.Rollback());
  EXPECT_TRUE(Take() == before);
}

TEST(MaintenanceJournalTest, ParsesTheTwoFormsAndRefusesTheRest) {
  std::vector<mixtable::JournalEntry> e;
  std::string why;
  ASSERT_TRUE(mixtable::ParseJournal(
      "saved P1\\FRM.DBF\r\ncreated COLORKEY.DBF\nsaved X", &e, &why));
  ASSERT_EQ(e.size(), 2u);
  EXPECT_FALSE(e[0].created);
  EXPECT_EQ(e[0].rel, "P1\\FRM.DBF");
  EXPECT_TRUE(e[1].created);
  for (const char* bad :
       {"Saved A\n", "saved\n", "saved a\\\\b\n", "saved a\\.\\b\n",
        "created $upgrade.lck\n", "saved a:b\n", "\n"}) {
    EXPECT_FALSE(mixtable::ParseJournal(bad, &e, &why)) << bad;
  }
  EXPECT_TRUE(Wy_IsMaintenanceName("$upgrade"));
  EXPECT_FALSE(Wy_IsMaintenanceName("UPGRADE"));
}

}  // namespace
