// CMixtableEx::SelectGData on small data sets: the full run with its
// patches, automatic and quick modes, merges, extra fields, the progress
// sequence, refusals, and a kill after every mutating call.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "access/table_set_fixture.h"
#include "mixtable/wy_maintenance.h"
#include "mixtable/wy_maintenance_log.h"
#include "mixtable/wy_upgrade.h"
#include "platform/env.h"
#include "platform/hooks.h"
#include "platform/testing/child_process.h"
#include "platform/testing/fault_env.h"
#include "testing/held_table.h"
#include "testing/table_rows.h"
#include "xbase32/wdbase_verify.h"

namespace {

namespace fs = std::filesystem;
using convert_testing::Field;
using convert_testing::MakeTable;
using convert_testing::ReadTable;
using convert_testing::TableRows;
using mixtable_testing::Id;

constexpr const char* kDir = "c:\\gdata\\";

struct Note {
  unsigned msg;
  int64_t param;
  std::string text;
};
std::vector<Note> g_notes;
void Record(const void* window, unsigned msg, int64_t param, const char* text) {
  if (window == nullptr) return;
  g_notes.push_back({msg, param, text ? text : ""});
}

// A clock that stands still, so that two runs write the same bytes.
class FixedClockEnv : public platform::FaultInjectionEnv {
 public:
  using FaultInjectionEnv::FaultInjectionEnv;
  platform::LocalTime Now() override {
    platform::LocalTime t;
    t.year = 2026;
    t.month = 3;
    t.day = 4;
    t.hour = 5;
    t.minute = 6;
    t.second = 7;
    return t;
  }
  int64_t NowSeconds() override { return 1772600767; }
};

class SelectGDataTest : public SampleDataSetTest {
 protected:
  void SetUp() override {
    // On Windows c: is the host's drive, shared by every test of the run:
    // what these tests make there goes first (on Linux the drive is new).
    for (const char* dir : {"c:\\log", "c:\\empty"})
      platform::Env::Current()->DeleteTree(dir);
    SampleDataSetTest::SetUp();
    platform::Env::Current()->CreateDir("c:\\log");
    platform::Env::Current()->SetEnv("KALVO_LOGDIR", "c:\\log\\");
    g_notes.clear();
    prev_ = platform::SetProgressHook(Record);
  }
  void TearDown() override {
    platform::SetProgressHook(prev_);
    platform::Env::Current()->UnsetEnv("KALVO_LOGDIR");
  }

  // Host paths of c:\gdata and c:\log.
#ifdef _WIN32
  std::string Host() const { return "c:/gdata"; }
  std::string LogDir() const { return "c:/log"; }
#else
  std::string Host() const { return drives_.drives() + "/c/gdata"; }
  std::string LogDir() const { return drives_.drives() + "/c/log"; }
#endif
  std::string Log() {
    std::ifstream in(LogDir() + "/MIXTABLE.LOG");
    std::stringstream b;
    b << in.rdbuf();
    return b.str();
  }
  // The raw values of one field of a table, in physical order.
  std::vector<std::string> Column(const std::string& path, size_t field) {
    std::vector<std::string> out;
    for (const auto& r : ReadTable(path).rows) out.push_back(r.values[field]);
    return out;
  }
  // Every file of the data set by its path in lower case (the platform
  // finds names in any case; a replaced table may change the case of its
  // name), with its bytes.
  void ExpectEveryKillRestored(int mode, int min_restored);
  std::map<std::string, std::string> Take() {
    std::map<std::string, std::string> s;
    for (auto it = fs::recursive_directory_iterator(Host());
         it != fs::recursive_directory_iterator(); ++it) {
      std::string rel = fs::relative(it->path(), Host()).string();
      for (char& ch : rel)
        ch = static_cast<char>(std::tolower((unsigned char)ch));
      if (s.count(rel)) rel += " (twice)";
      if (rel == "$upgrade.lck") continue;
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

  static std::string Diff(const std::map<std::string, std::string>& a,
                          const std::map<std::string, std::string>& b) {
    std::string out;
    for (const auto& [k, v] : a) {
      auto it = b.find(k);
      if (it == b.end())
        out += " -" + k;
      else if (it->second != v)
        out += " ~" + k;
    }
    for (const auto& [k, v] : b) {
      if (!a.count(k)) out += " +" + k;
    }
    return out;
  }

  platform::ProgressHook prev_ = nullptr;
  mixtable_testing::DataSetBuilder b_{kDir};
  const char window_[1] = {0};
};

TEST_F(SelectGDataTest, AFullRunPatchesLogsAndRecordsTheSignature) {
  ASSERT_TRUE(b_.Append(Y_PARAM, {{"KEY", "BLEND_L"}, {"VALUE", "A,1,X,10"}}));
  ASSERT_TRUE(b_.Append(Y_PARAM, {{"KEY", "BLEND_S"}, {"VALUE", "A,1,X"}}));
  for (const char* id : {"0007 ", "00000", "    0", "AB12 ", "     "}) {
    ASSERT_TRUE(b_.Append(Y_CANS, {{"ID", id}, {"DESCR", "key"}}));
  }
  ASSERT_TRUE(b_.Append(Y_FRM_REFL, {{"FRM_ID", Id(99)}}));  // no formula
  ts_.CloseAll();
  ASSERT_EQ(ts_.SelectGData(kDir, window_, kWyCheckFull), 1);
  const Wy_UpgradeReport& r = Wy_LastUpgradeReport();
  EXPECT_EQ(r.failed, 0);
  EXPECT_TRUE(r.signature_written);
  EXPECT_TRUE(r.tree_checked);
  EXPECT_EQ(r.tree_result, 0);
  EXPECT_EQ(ts_.GetDataDir(), kDir);
  EXPECT_EQ(ts_.GetDataId(), 42u);

  const std::vector<std::string> ids = Column("c:\\gdata\\cans.dbf", 0);
  ASSERT_EQ(ids.size(), 7u);
  EXPECT_EQ(ids[2], "    7");
  EXPECT_EQ(ids[3], "     ");
  EXPECT_EQ(ids[4], "    0");
  EXPECT_EQ(ids[5], "AB12 ");
  EXPECT_EQ(ids[6], "     ");
  std::string v, c;
  ASSERT_TRUE(ts_.GetParam("BLEND_L", v, c));
  EXPECT_EQ(v, "A  ,  1,X,  10");
  ASSERT_TRUE(ts_.GetParam("BLEND_S", v, c));
  EXPECT_EQ(v, "A,1,X");
  EXPECT_EQ(Column("c:\\gdata\\frm_refl.dbf", 0),
            std::vector<std::string>{"    1"});
  ASSERT_TRUE(ts_.GetParamLastCheck(v, c));
  std::string sig = c, n, ver, d, t;
  EXPECT_TRUE(CMixtableEx::GetSignatureData(sig, n, ver, d, t)) << c;
  EXPECT_TRUE(ts_.Exist(Y_COLORKEY));
  EXPECT_FALSE(fs::exists(Host() + "/" + kWyMaintenanceArea));

  const std::string log = Log();
  EXPECT_NE(log.find("\"c:\\gdata\\"), std::string::npos) << log;
  EXPECT_NE(log.find("[KEPT ID: 1 value(s) not a number, first \"AB12 \""),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("FRM_REFL: 1 record(s) without a formula removed"),
            std::string::npos)
      << log;

  // The progress sequence: reset first, then overall, text and table
  // percents in range, the end at 100/100/reset.
  ASSERT_GT(g_notes.size(), 6u);
  EXPECT_EQ(g_notes[0].msg, platform::kProgressOverall);
  EXPECT_EQ(g_notes[0].param, 0);
  EXPECT_EQ(g_notes[1].msg, platform::kProgressStep);
  EXPECT_EQ(g_notes[1].param, 100);
  EXPECT_EQ(g_notes[2].msg, platform::kProgressText);
  EXPECT_EQ(g_notes[2].param, platform::kProgressReset);
  const size_t e = g_notes.size();
  EXPECT_EQ(g_notes[e - 3].msg, platform::kProgressOverall);
  EXPECT_EQ(g_notes[e - 3].param, 100);
  EXPECT_EQ(g_notes[e - 1].param, platform::kProgressReset);
  bool shown_param = false;
  for (const Note& x : g_notes) {
    if (x.msg != platform::kProgressText) {
      EXPECT_GE(x.param, 0);
      EXPECT_LE(x.param, 100);
    }
    if (x.msg == platform::kProgressText && x.param == 1 &&
        (x.text.find("PARAM") != std::string::npos ||
         x.text.find("param") != std::string::npos))
      shown_param = true;
  }
  EXPECT_TRUE(shown_param);
  // Without a window nothing is sent.
  g_notes.clear();
  ASSERT_EQ(ts_.SelectGData(kDir, nullptr, 0), 1);
  EXPECT_TRUE(g_notes.empty());
}

TEST_F(SelectGDataTest, AutomaticModeAfterACheckConvertsWithoutTreeCheck) {
  ts_.CloseAll();
  ASSERT_EQ(ts_.SelectGData(kDir, nullptr, 0), 1);
  EXPECT_EQ(Wy_LastUpgradeReport().mode, kWyCheckFull);
  std::string v, c1, c2;
  ASSERT_TRUE(ts_.GetParamLastCheck(v, c1));
  // A table that lost a field since: converted by the automatic run.
  ASSERT_TRUE(
      MakeTable("c:\\gdata\\cans.dbf", {{"ID", 'C', 5, 0}}, {{"    1"}}));
  ASSERT_EQ(ts_.SelectGData(kDir, nullptr, 0), 1);
  const Wy_UpgradeReport& r = Wy_LastUpgradeReport();
  EXPECT_EQ(r.mode, 0);
  EXPECT_FALSE(r.tree_checked);
  EXPECT_FALSE(r.signature_written);
  EXPECT_GE(r.converted, 1) << Log();
  ASSERT_TRUE(ts_.GetParamLastCheck(v, c2));
  EXPECT_EQ(c1, c2);
  EXPECT_GT(ReadTable("c:\\gdata\\cans.dbf").fields.size(), 1u);
  // Another library version checked last: a full run again.
  ASSERT_TRUE(
      ts_.SetParamLastCheck("", "Kalvo MIXTABLE #0.1 [2020-01-01] (00:00:00)"));
  ASSERT_EQ(ts_.SelectGData(kDir, nullptr, 0), 1);
  EXPECT_EQ(Wy_LastUpgradeReport().mode, kWyCheckFull);
  ASSERT_TRUE(ts_.SetParamLastCheck("", "not a signature"));
  ASSERT_EQ(ts_.SelectGData(kDir, nullptr, 0), 1);
  EXPECT_EQ(Wy_LastUpgradeReport().mode, kWyCheckFull);
}

// Every file of the data set's root with its bytes.
std::map<std::string, std::string> RootFiles(const std::string& host) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(host)) {
    if (!e.is_regular_file()) continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    files[e.path().filename().string()] = bytes.str();
  }
  return files;
}

TEST_F(SelectGDataTest, AutomaticModeRebuildsOnlyIndexesThatNoLongerMatch) {
  ts_.CloseAll();
  ASSERT_EQ(ts_.SelectGData(kDir, nullptr, kWyCheckFull), 1);
  const std::map<std::string, std::string> before = RootFiles(Host());
  // Nothing to do: no file changes, nothing is backed up.
  Wy_MaintenanceSaveStatsReset();
  ASSERT_EQ(ts_.SelectGData(kDir, nullptr, 0), 1);
  EXPECT_EQ(Wy_LastUpgradeReport().mode, 0);
  EXPECT_EQ(Wy_MaintenanceSaveStatsGet().files, 0);
  EXPECT_EQ(RootFiles(Host()), before);
  {  // A CANS id changed by a writer that did not keep the index.
    Wdbase plain;
    ASSERT_TRUE(plain.SetFiles(kDir, "CANS", 0, nullptr, nullptr));
    ASSERT_EQ(plain.Open(), 1);
    ASSERT_GT(plain.RecCount(), 0);
    ASSERT_EQ(plain.Goto(1), 1);
    ASSERT_EQ(plain.WriteString("ID", "  999"), 1);
    ASSERT_EQ(plain.Flush(), 1);
    plain.Close();
  }
  const std::map<std::string, std::string> changed = RootFiles(Host());
  Wy_MaintenanceSaveStatsReset();
  ASSERT_EQ(ts_.SelectGData(kDir, nullptr, 0), 1);
  EXPECT_EQ(Wy_LastUpgradeReport().failed, 0);
  // Only the CANS index files were backed up and rewritten.
  EXPECT_EQ(Wy_MaintenanceSaveStatsGet().files,
            WyGetFileInfo(Y_CANS)->def.idx_count);
  const std::map<std::string, std::string> after = RootFiles(Host());
  for (const auto& [name, bytes] : changed) {
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(c));
    if (upper.size() > 4 && upper.substr(upper.size() - 4) == ".NTX" &&
        after.at(name) != bytes) {
      bool of_cans = false;
      const YTABLE* y = WyGetFileInfo(Y_CANS);
      for (int k = 0; k < y->def.idx_count; ++k) {
        std::string idx = y->def.idx_names[k];
        if (idx.find('.') == std::string::npos) idx += ".NTX";
        for (char& c : idx) c = static_cast<char>(std::toupper(c));
        of_cans = of_cans || idx == upper;
      }
      EXPECT_TRUE(of_cans) << name;
    } else {
      EXPECT_EQ(after.at(name), bytes) << name;
    }
  }
  Wdbase cans;
  ASSERT_TRUE(cans.SetFiles(&WyGetFileInfo(Y_CANS)->def));
  ASSERT_TRUE(cans.SetPath(kDir));
  ASSERT_EQ(cans.Open(), 1);
  for (int k = 1; k <= WyGetFileInfo(Y_CANS)->def.idx_count; ++k) {
    EXPECT_EQ(WdbaseIndexMatchesData(&cans, k), 1) << k;
  }
  cans.Close();
}

TEST_F(SelectGDataTest, RenamesMergesAndExtraFields) {
  // An old product-level blend table with the old field names.
  const std::vector<Field> old_blend = {
      {"ID", 'C', 5, 0}, {"CNT_ID", 'C', 5, 0}, {"CNT_CONC", 'N', 8, 3}};
  ASSERT_TRUE(MakeTable("c:\\gdata\\p1\\cnt_blnd.dbf", old_blend,
                        {{"    5", "    2", "   1.500"}}));
  // A colorant table with a field the dictionary does not know.
  ASSERT_TRUE(
      MakeTable("c:\\gdata\\cnts.dbf",
                {{"ID", 'C', 5, 0}, {"CODE", 'C', 10, 0}, {"NOTE", 'C', 12, 0}},
                {{"    1", "C1", "keep me"}}));
  ts_.CloseAll();
  ASSERT_EQ(ts_.SelectGData(kDir, nullptr, kWyCheckFull), 1);
  const Wy_UpgradeReport& r = Wy_LastUpgradeReport();
  EXPECT_EQ(r.failed, 0);
  EXPECT_EQ(r.merged, 1) << Log();
  EXPECT_EQ(r.merge_failed, 0);
  EXPECT_FALSE(
      platform::Env::Current()->FileExists("c:\\gdata\\p1\\cnt_blnd.dbf"));
  const TableRows root = ReadTable("c:\\gdata\\cnt_blnd.dbf");
  ASSERT_TRUE(root.ok);
  ASSERT_EQ(root.rows.size(), 1u);
  // ID PTR_ID PTR_CONCP PROD_KEY SUBP_KEY: PTR_ID over ID, the level keys.
  EXPECT_EQ(root.rows[0].values[0], "    2");
  EXPECT_EQ(root.rows[0].values[1], "    2");
  EXPECT_EQ(root.rows[0].values[2], "   1.500");
  EXPECT_EQ(root.rows[0].values[3], "    1");
  EXPECT_EQ(root.rows[0].values[4], "    0");
  const TableRows cnts = ReadTable("c:\\gdata\\cnts.dbf");
  ASSERT_TRUE(cnts.ok);
  EXPECT_EQ(cnts.fields.back().name, "NOTE");
  EXPECT_EQ(cnts.rows[0].values.back(), "keep me     ");
  const std::string log = Log();
  EXPECT_NE(log.find("(Mdb Conversion)"), std::string::npos) << log;
  EXPECT_NE(log.find("[EXTRA"), std::string::npos) << log;
  EXPECT_EQ(log.find("*****"), std::string::npos) << log;
}

TEST_F(SelectGDataTest, AMergeThatWouldLoseDataKeepsTheLevelTable) {
  ASSERT_TRUE(MakeTable("c:\\gdata\\p1\\cnt_ks.dbf",
                        {{"ID", 'C', 5, 0}, {"ODD", 'C', 4, 0}},
                        {{"    3", "data"}}));
  ts_.CloseAll();
  ASSERT_EQ(ts_.SelectGData(kDir, nullptr, kWyCheckFull), 1);
  EXPECT_EQ(Wy_LastUpgradeReport().merge_failed, 1);
  EXPECT_FALSE(Wy_LastUpgradeReport().signature_written);
  EXPECT_TRUE(
      platform::Env::Current()->FileExists("c:\\gdata\\p1\\cnt_ks.dbf"));
  EXPECT_NE(Log().find("(Mdb Conversion) ***** MDB CONVERT ERROR *****"),
            std::string::npos);
}

TEST_F(SelectGDataTest, QuickModeStopsAtTheSubProductLevel) {
  ASSERT_TRUE(b_.Append(Y_CANS, {{"ID", "0007 "}}));
  ASSERT_TRUE(MakeTable("c:\\gdata\\p1\\s1\\mask.dbf", {{"TYPE", 'C', 2, 0}},
                        {{"BA"}}));
  ts_.CloseAll();
  ASSERT_EQ(ts_.SelectGData(kDir, window_, kWyCheckQuick), 1);
  EXPECT_EQ(Column("c:\\gdata\\cans.dbf", 0).back(), "0007 ");  // no keys
  EXPECT_EQ(ReadTable("c:\\gdata\\p1\\s1\\mask.dbf").fields.size(), 1u);
  std::string v, c;
  EXPECT_FALSE(ts_.GetParamLastCheck(v, c));
  EXPECT_FALSE(Wy_LastUpgradeReport().signature_written);
}

TEST_F(SelectGDataTest, RefusalsChangeNothing) {
  ts_.CloseAll();
  EXPECT_EQ(ts_.SelectGData("c:\\nothere", nullptr, 1), -1);
  EXPECT_EQ(ts_.GetDataDir(), "");
  platform::Env::Current()->CreateDir("c:\\empty");
  EXPECT_EQ(ts_.SelectGData("c:\\empty\\", nullptr, 1), -3);
  ASSERT_TRUE(MakeTable("c:\\empty\\param.dbf",
                        {{"KEY", 'C', 16, 0}, {"VALUE", 'C', 128, 0}},
                        {{"DATAID", "abc"}}));
  EXPECT_EQ(ts_.SelectGData("c:\\empty", nullptr, 1), -2);
  // A table open in another process: -4 and nothing changed.
  const auto before = Take();
  {
    mixtable_testing::HeldTable held(kDir, "CANS");
    ASSERT_TRUE(held.ok());
    EXPECT_EQ(ts_.SelectGData(kDir, nullptr, 1), kWyMaintenanceBusy);
    EXPECT_EQ(ts_.GetDataDir(), "");
  }
  EXPECT_TRUE(Take() == before);
}

TEST_F(SelectGDataTest, ADiskFullWhileSavingUndoesTheRun) {
  ASSERT_TRUE(b_.Append(Y_CANS, {{"ID", "0007 "}}));
  ts_.CloseAll();
  const auto before = Take();
  platform::FaultInjectionEnv env(platform::Env::Current());
  platform::ScopedEnv use(&env);
  env.FailPath("$UPGRADE\\P1", platform::FaultInjectionEnv::kCopy, ENOSPC);
  EXPECT_EQ(ts_.SelectGData(kDir, nullptr, 1), kWyUpgradeBackupFailed);
  env.ClearFaults();
  EXPECT_EQ(Diff(before, Take()), "");
  EXPECT_NE(Log().find("a backup failed"), std::string::npos);
}

// A kill after every mutating call of an upgrade of a small data set: the
// next run's recovery leaves it as before, or as the uninterrupted run left
// it.
TEST_F(SelectGDataTest, AKillAtEveryStepIsRestored) {
  // A small set: PARAM with a BLEND value to patch and a key to normalise.
  const std::string host = Host();
  fs::remove_all(host);
  fs::create_directories(host);
  ASSERT_TRUE(b_.Append(Y_PARAM, {{"KEY", "DATAID"}, {"VALUE", "42"}}));
  ASSERT_TRUE(b_.Append(Y_PARAM, {{"KEY", "BLEND_L"}, {"VALUE", "A,1,X,10"}}));
  ASSERT_TRUE(MakeTable("c:\\gdata\\cnts.dbf",
                        {{"ID", 'C', 5, 0}, {"CODE", 'C', 10, 0}},
                        {{"0001 ", "C1"}}));
  ASSERT_TRUE(b_.Create(Y_COLORKEY));
  ts_.CloseAll();
  ExpectEveryKillRestored(kWyCheckFull, 11);
}

TEST_F(SelectGDataTest, AKillAtEveryStepOfAnAutomaticRunIsRestored) {
  // A checked set whose CNTS index a writer without it made stale: the
  // automatic run rebuilds that index only.
  const std::string host = Host();
  fs::remove_all(host);
  fs::create_directories(host);
  ASSERT_TRUE(b_.Append(Y_PARAM, {{"KEY", "DATAID"}, {"VALUE", "42"}}));
  ASSERT_TRUE(MakeTable("c:\\gdata\\cnts.dbf",
                        {{"ID", 'C', 5, 0}, {"CODE", 'C', 10, 0}},
                        {{"    1", "C1"}, {"    2", "C2"}}));
  ASSERT_TRUE(b_.Create(Y_COLORKEY));
  ts_.CloseAll();
  ASSERT_EQ(ts_.SelectGData(kDir, nullptr, kWyCheckFull), 1);
  ts_.CloseAll();
  {
    Wdbase plain;
    ASSERT_TRUE(plain.SetFiles(kDir, "CNTS", 0, nullptr, nullptr));
    ASSERT_EQ(plain.Open(), 1);
    ASSERT_EQ(plain.Goto(1), 1);
    ASSERT_EQ(plain.WriteString("ID", "    7"), 1);
    ASSERT_EQ(plain.Flush(), 1);
    plain.Close();
  }
  ExpectEveryKillRestored(0, 1);
}

// args: mode, n. Runs SelectGData (mode) on kDir with a clock that stands
// still, killed right after the n-th mutating call (n = 0: not killed);
// exit status 0 when the run answered 1.
KALVO_CHILD_MAIN(select_gdata_killed)(const std::vector<std::string>& args) {
  if (args.size() != 2) return 9;
  FixedClockEnv env(platform::Env::Current());
  platform::ScopedEnv use(&env);
  env.CrashAfterMutations(std::stoll(args[1]));
  CMixtableEx ts;
  return ts.SelectGData(kDir, nullptr, std::stoi(args[0])) == 1 ? 0 : 1;
}

// Every crash point on Linux. Under wine a run costs seconds (a process
// start and slow file opens): every eighth point there, which still covers
// the saves, the patches and the swaps of the run (about 14 kills of 106).
#ifdef _WIN32
constexpr int kKillStride = 8;
#else
constexpr int kKillStride = 1;
#endif

// Runs SelectGData (mode) on the set at kDir in a child killed after its
// n-th mutating operation, for every n (see kKillStride) until a run
// completes; after each the recovery must leave the set as before the run
// or as after a whole run (which must change it), and at least
// min_restored kills (fewer by the stride) as before.
void SelectGDataTest::ExpectEveryKillRestored(int mode, int min_restored) {
  const std::string host = Host();
  const auto before = Take();
  const std::string saved = drives_.dir() + "/before";
  fs::remove_all(saved);
  fs::copy(host, saved, fs::copy_options::recursive);
  // Runs the upgrade in a child killed after its n-th mutating call (0:
  // none); answers its exit status.
  auto run = [mode](int64_t n) {
    return platform::testing::RunChild(
        "select_gdata_killed", {std::to_string(mode), std::to_string(n)});
  };
  std::map<std::string, std::string> after;
  {
    ASSERT_EQ(run(0), 0);
    after = Take();
    ASSERT_FALSE(after == before);
  }
  bool finished = false;
  int n = 1, restored = 0, killed = 0;
  for (; n < 2000 && !finished; n += kKillStride) {
    fs::remove_all(host);
    fs::copy(saved, host, fs::copy_options::recursive);
    const int code = run(n);
    finished = code != platform::testing::kChildKilled;
    if (finished) {
      EXPECT_EQ(code, 0);
    }
    std::string note, error;
    ASSERT_EQ(Wy_MaintenanceGuard::Recover(kDir, &note, &error), 1)
        << "killed at " << n << ": " << error;
    const auto now = Take();
    EXPECT_TRUE(now == before || now == after)
        << "killed at " << n << ":" << Diff(before, now) << " /"
        << Diff(after, now);
    if (now == before) ++restored;
    if (!finished) ++killed;
  }
  EXPECT_TRUE(finished);
  RecordProperty("crash_points", killed);
  EXPECT_GE(restored * kKillStride, min_restored);
}

}  // namespace
