// The child build: the copy into a staging directory and the swap, refused
// destinations, failures and kills that leave the old child alone, PRUNE,
// the child log and IsBaseLinkedToBaseComponent.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "access/table_set_fixture.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_gdata_child.h"
#include "mixtable/ytable.h"
#include "platform/env.h"
#include "platform/hooks.h"
#include "platform/testing/child_process.h"
#include "platform/testing/fault_env.h"
#include "testing/held_table.h"
#include "xbase32/wdbase.h"

namespace {

namespace fs = std::filesystem;
using mixtable_testing::Id;

platform::Env* E() { return platform::Env::Current(); }

// Every file of a host tree with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& host) {
  std::map<std::string, std::string> files;
  if (!fs::exists(host)) return files;
  for (const auto& e : fs::recursive_directory_iterator(host)) {
    if (!e.is_regular_file()) continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    files[fs::relative(e.path(), host).string()] = s.str();
  }
  return files;
}

std::string Slurp(const std::string& host) {
  std::ifstream in(host, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Card_Apply stand-in: answers g_answer, -1 for the table g_failTable.
int g_answer = 0;
int g_failTable = -1;
int g_calls = 0;
int FakeApply(Wy_GDataChild&, const char*, int table, int32_t, int32_t) {
  ++g_calls;
  return table == g_failTable ? -1 : g_answer;
}

// Ends the process at the first table shown (from inside the build).
void KillOnTable(const void*, unsigned msg, int64_t param, const char*) {
  if (msg == platform::kProgressText && param == platform::kProgressShowText)
    platform::KillCurrentProcess();
}

// Ends the process right after the old destination was moved aside.
class KillAfterAside : public platform::EnvWrapper {
 public:
  KillAfterAside() : EnvWrapper(platform::Env::Default()) {}
  platform::Status RenameFile(const std::string& a, const std::string& b,
                              bool r) override {
    platform::Status s = EnvWrapper::RenameFile(a, b, r);
    if (b.find(kChildAsideSuffix) != std::string::npos)
      platform::KillCurrentProcess();
    return s;
  }
};

// Writes the rules of a builder of c:\gdata\ into dst with id 777 and one
// DELETE card to the host file path, and gives them to c.
bool SetRules(Wy_GDataChild& c, const std::string& path, const char* dst) {
  if (!c.Init("c:\\gdata\\", dst, "1.00  Child shop", true)) return false;
  std::ofstream(path) << "00000000          DIR_FROM=c:\\gdata\\\n"
                      << "00000000          DIR_TO  =" << dst << "\n"
                      << "00000000          GDT_DESC=1.00  Child shop\n"
                      << "00000000          GDT_ID  =0000000777\n"
                      << "********FRM       DELETE  =(VAL(ID)=10)\n";
  return c.Read(path.c_str());
}

// args: rules file, "table" or "aside". Builds c:\child\ by those rules
// (with the stand-in Card_Apply) and is killed at the first table shown
// ("table") or right after the old child was moved aside ("aside"); exit
// status 3 when no kill came.
KALVO_CHILD_MAIN(child_build_killed)(const std::vector<std::string>& args) {
  if (args.size() != 2) return 9;
  Wy_GDataChild::SetApplyHook(&FakeApply);
  KillAfterAside aside;
  if (args[1] == "table") {
    platform::SetProgressHook(&KillOnTable);
  } else {
    platform::Env::SetCurrent(&aside);
  }
  Wy_GDataChild c;
  if (!SetRules(c, args[0], "c:\\child\\")) return 2;
  int window = 0;
  c.CreateChild(args[1] == "table" ? &window : nullptr, true);
  return 3;
}

class ChildBuildTest : public SampleDataSetTest {
 protected:
  void SetUp() override {
    // On Windows c: is the host's drive, shared by every test of the run:
    // what these tests make there goes first (on Linux the drive is new).
    for (const char* dir :
         {"c:\\child", "c:\\child.$CHILD", "c:\\child.$CHILDOLD", "c:\\local",
          "c:\\wuser", "c:\\other", "c:\\other.$CHILD", "c:\\x",
          "c:\\nochild"}) {
      E()->DeleteTree(dir);
    }
    SampleDataSetTest::SetUp();
    ts_.CloseAll();
    E()->UnsetEnv("LOCALDIR");
    E()->UnsetEnv("CACHEDIR");
    ASSERT_TRUE(E()->SetEnv("KALVO_LOGDIR", drives_.Host("logs")).ok());
    fs::create_directories(drives_.Host("logs"));
    g_answer = 0;
    g_failTable = -1;
    g_calls = 0;
    Wy_GDataChild::SetApplyHook(&FakeApply);
  }
  void TearDown() override {
    Wy_GDataChild::SetApplyHook(nullptr);
    E()->UnsetEnv("KALVO_LOGDIR");
  }
  // The host path of c:\rel.
  std::string C(const std::string& rel) {
#ifdef _WIN32
    return "c:/" + rel;
#else
    return drives_.drives() + "/c/" + rel;
#endif
  }
  // A builder of c:\gdata\ into dst with id 777 and one DELETE card.
  void Rules(Wy_GDataChild& c, const char* dst = "c:\\child\\") {
    ASSERT_TRUE(SetRules(c, drives_.Host("rules.txt"), dst));
  }
  // Runs the build of c:\child\ in a child process killed at the point
  // named by how (see child_build_killed); answers its exit status.
  int KilledBuild(const char* how) {
    return platform::testing::RunChild("child_build_killed",
                                       {drives_.Host("rules.txt"), how});
  }
  // A child built once, as the old destination of the next build.
  void BuildOld() {
    Wy_GDataChild c;
    Rules(c);
    ASSERT_EQ(c.CreateChild(nullptr, true), 1);
    old_ = Snapshot(C("child"));
    ASSERT_FALSE(old_.empty());
  }
  void ExpectOldKept() {
    EXPECT_EQ(Snapshot(C("child")), old_);
    EXPECT_FALSE(fs::exists(C("child.$CHILD")));
    EXPECT_FALSE(fs::exists(C("child.$CHILDOLD")));
  }
  std::map<std::string, std::string> old_;
};

TEST_F(ChildBuildTest, BuildsIdAndDescriptionSourceUntouched) {
  const auto source = Snapshot(C("gdata"));
  CMixtableEx src;
  src.SetDataDir("c:\\gdata\\");
  const uint32_t abs = src.GetParamGdataId(true);
  src.CloseAll();
  Wy_GDataChild c;
  Rules(c);
  std::vector<unsigned> msgs;
  static std::vector<unsigned>* s_msgs;
  s_msgs = &msgs;
  auto old =
      platform::SetProgressHook([](const void*, unsigned m, int64_t,
                                   const char*) { s_msgs->push_back(m); });
  int window = 0;
  EXPECT_EQ(c.CreateChild(&window, true), 1);
  platform::SetProgressHook(old);
  EXPECT_GT(g_calls, 10);  // root, product and sub-product tables
  EXPECT_EQ(Snapshot(C("gdata")), source);
  CMixtableEx child;
  child.SetDataDir("c:\\child\\");
  EXPECT_EQ(child.GetParamGdataId(false), 777u);
  EXPECT_EQ(child.GetParamGdataId(true), abs);
  EXPECT_NE(child.GetGdataDescr().find("Child shop"), std::string::npos);
  child.CloseAll();
  EXPECT_TRUE(fs::exists(C("child/P1/S1")));
  EXPECT_FALSE(fs::exists(C("child.$CHILD")));
  ASSERT_GE(msgs.size(), 6u);
  EXPECT_EQ(msgs.front(), platform::kProgressOverall);
  EXPECT_EQ(msgs.back(), platform::kProgressText);

  // A second build replaces the first.
  Wy_GDataChild again;
  Rules(again);
  EXPECT_EQ(again.CreateChild(nullptr, true), 1);
  EXPECT_FALSE(fs::exists(C("child.$CHILDOLD")));
}

TEST_F(ChildBuildTest, FailingTableLeavesOldChildAndIsLogged) {
  BuildOld();
  g_failTable = Y_FRM;
  Wy_GDataChild c;
  Rules(c);
  EXPECT_EQ(c.CreateChild(nullptr, true), kChildFailed);
  ExpectOldKept();
  const std::string log = Slurp(drives_.Host("logs/") + kChildLogName);
  EXPECT_NE(log.find(std::string("frm.dbf\"") + kChildLogError),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find(".$CHILD"), std::string::npos);  // destination names
}

TEST_F(ChildBuildTest, CopyErrorFailsTheBuild) {
  BuildOld();
  platform::FaultInjectionEnv env(platform::Env::Default());
  platform::ScopedEnv use(&env);
  env.FailPath("gdata\\P1", platform::FaultInjectionEnv::kCopy, EIO);
  Wy_GDataChild c;
  Rules(c);
  EXPECT_EQ(c.CreateChild(nullptr, true), 0);
  env.ClearFaults();
  ExpectOldKept();
}

// The staged tree is committed to disk before the swap; a child that could
// not be committed is never swapped in.
TEST_F(ChildBuildTest, SyncFailureBeforeTheSwapKeepsTheOldChild) {
  BuildOld();
  platform::FaultInjectionEnv env(platform::Env::Default());
  platform::ScopedEnv use(&env);
  env.FailPath(".$CHILD\\CANS.DBF", platform::FaultInjectionEnv::kSync, EIO);
  Wy_GDataChild c;
  Rules(c);
  EXPECT_EQ(c.CreateChild(nullptr, true), kChildFailed);
  env.ClearFaults();
  ExpectOldKept();
}

TEST_F(ChildBuildTest, KilledBuildLeavesOldChildAndNextBuildCleansUp) {
  BuildOld();
  ASSERT_EQ(KilledBuild("table"), platform::testing::kChildKilled);
  EXPECT_EQ(Snapshot(C("child")), old_);
  EXPECT_TRUE(fs::exists(C("child.$CHILD")));  // the leftover
  // The catalogue scan registers the child (777), never the leftover copy
  // (777 too, written before the kill) under its work name.
  const std::string roots = "c:\\";
  Wy_CheckDatactl(true, &roots);
  std::string path, descr;
  ASSERT_TRUE(Wy_DataPath(777, path, descr));
  EXPECT_EQ(path.find(".$CHILD"), std::string::npos) << path;
  EXPECT_EQ(Wy_GetDataIdListFamily(777, nullptr), 1);
  EXPECT_TRUE(Wy_DataPath(42, path, descr));
  g_failTable = Y_FRM;  // the next build fails: the old child stays
  Wy_GDataChild c;
  Rules(c);
  EXPECT_EQ(c.CreateChild(nullptr, true), kChildFailed);
  ExpectOldKept();
}

TEST_F(ChildBuildTest, KilledSwapIsPutBackByTheNextBuild) {
  BuildOld();
  ASSERT_EQ(KilledBuild("aside"), platform::testing::kChildKilled);
  EXPECT_FALSE(fs::exists(C("child")));
  g_failTable = Y_FRM;
  Wy_GDataChild c;
  Rules(c);
  EXPECT_EQ(c.CreateChild(nullptr, true), kChildFailed);
  ExpectOldKept();
}

TEST_F(ChildBuildTest, RefusedDestinationsChangeNothing) {
  fs::create_directories(C("local"));
  fs::create_directories(C("wuser/DBFCache"));
  const auto source = Snapshot(C("gdata"));
  const char* refused[] = {
      "c:\\gdata\\P1\\child\\",  // inside the source
      "c:\\GDATA\\.\\",          // the source by its host path
      "c:\\",                    // a drive's root
      "c:\\gdata\\..\\x\\",      // ".."
      "c:\\local\\",             // the local directory
      "c:\\wuser\\",             // containing the cache directory
      "c:\\GCSpaces\\sub\\",     // inside the work area
      "c:\\gdatatmp\\",          // the installer's backup
      "c:\\child.$CHILD\\",      // a build's work name
  };
  for (const char* d : refused) {
    Wy_GDataChild c;
    ASSERT_TRUE(c.Init("c:\\gdata\\", d, "1.00  x", false)) << d;
    EXPECT_EQ(c.CreateChild(nullptr, true), -1) << d;
  }
  EXPECT_EQ(Snapshot(C("gdata")), source);
  EXPECT_FALSE(fs::exists(C("x")));
  EXPECT_FALSE(fs::exists(C("gdata/P1/child")));
}

TEST_F(ChildBuildTest, ExistingNonDataSetIsLeftAlone) {
  fs::create_directories(C("other"));
  std::ofstream(C("other/keep.txt")) << "keep";
  Wy_GDataChild c;
  ASSERT_TRUE(c.Init("c:\\gdata\\", "c:\\other\\", "1.00  x", false));
  EXPECT_EQ(c.CreateChild(nullptr, true), -3);
  EXPECT_EQ(Snapshot(C("other")),
            (std::map<std::string, std::string>{{"keep.txt", "keep"}}));
  EXPECT_FALSE(fs::exists(C("other.$CHILD")));
}

TEST_F(ChildBuildTest, NoCopyRebuildsTheDestinationItself) {
  BuildOld();
  Wy_GDataChild c;
  ASSERT_TRUE(c.Init("c:\\gdata\\", "c:\\child\\", "2.00  Renamed", false));
  ASSERT_TRUE(c.SetDeleteRecordEx({"(VAL(ID)=20)"}, Y_FRM, 1, 1));
  EXPECT_EQ(c.CreateChild(nullptr, false), 1);
  CMixtableEx child;
  child.SetDataDir("c:\\child\\");
  EXPECT_EQ(child.GetParamGdataId(false), 777u);  // kept from the old child
  EXPECT_NE(child.GetGdataDescr().find("Renamed"), std::string::npos);
  Wy_GDataChild none;
  ASSERT_TRUE(none.Init("c:\\gdata\\", "c:\\nochild\\", "1.00  x", false));
  EXPECT_EQ(none.CreateChild(nullptr, false), -2);
}

TEST_F(ChildBuildTest, SwapRefusedWhileAnotherProcessHoldsATable) {
  BuildOld();
  {
    mixtable_testing::HeldTable held("c:\\child\\", "CNTS");
    ASSERT_TRUE(held.ok());
    Wy_GDataChild b;
    Rules(b);
    EXPECT_EQ(b.CreateChild(nullptr, true), kChildFailed);
  }
  ExpectOldKept();
  Wy_GDataChild again;  // free again
  Rules(again);
  EXPECT_EQ(again.CreateChild(nullptr, true), 1);
}

TEST_F(ChildBuildTest, PruneFollowsPathAndKeepsSharedDirectories) {
  Wy_GDataChild c;
  Rules(c);
  ASSERT_TRUE(c.DeleteRecord(1, Y_PRODUCTS, 0, 0));  // P1, also product 3's
  ASSERT_TRUE(c.DeleteRecord(1, Y_SUBPRODS, 2, 0));  // P2\S1
  EXPECT_EQ(c.CreateChild(nullptr, true), 1);
  EXPECT_TRUE(fs::exists(C("child/P1/S1")));
  EXPECT_TRUE(fs::exists(C("child/P2")));
  EXPECT_FALSE(fs::exists(C("child/P2/S1")));

  Wy_GDataChild d;
  Rules(d);
  ASSERT_TRUE(d.DeleteRecord(2, Y_PRODUCTS, 0, 0));  // P2, its own
  EXPECT_EQ(d.CreateChild(nullptr, true), 1);
  EXPECT_FALSE(fs::exists(C("child/P2")));
  EXPECT_TRUE(fs::exists(C("child/P1")));
  EXPECT_TRUE(fs::exists(C("gdata/P2/S1")));
}

// Product-keyed values of the live records of a root table of the child.
std::vector<int32_t> ProductKeys(const char* table) {
  std::vector<int32_t> keys;
  Wdbase db;
  if (!db.SetFiles("c:\\child\\", table, 0, nullptr, nullptr) || !db.Open())
    return keys;
  for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next())
    if (!db.Deleted()) keys.push_back(db.ReadLong("PROD_KEY"));
  db.Close();
  return keys;
}

TEST_F(ChildBuildTest, DeletedProductLeavesNoRecordsWithTheRealRules) {
  Wy_GDataChild::SetApplyHook(nullptr);
  Wy_GDataChild c;
  Rules(c);
  ASSERT_TRUE(c.DeleteRecord(1, Y_PRODUCTS, 0, 0));
  ASSERT_TRUE(c.DeleteRecord(2, Y_PRODUCTS, 0, 0));
  ASSERT_EQ(c.CreateChild(nullptr, true), 1);
  EXPECT_FALSE(fs::exists(C("child/P2")));
  EXPECT_TRUE(fs::exists(C("child/P1")));  // product 3 names it too
  EXPECT_EQ(ProductKeys("CNT_KS"), (std::vector<int32_t>{0, 0}));
  CMixtableEx child;
  child.SetDataDir("c:\\child\\");
  Wdbase* prd = child.Handle(Y_PRODUCTS);
  ASSERT_TRUE(child.Open(prd));
  EXPECT_FALSE(child.Select(prd, 1));
  EXPECT_FALSE(child.Select(prd, 2));
  EXPECT_TRUE(child.Select(prd, 3));
  child.CloseAll();
  // The source keeps everything.
  CMixtableEx src;
  src.SetDataDir("c:\\gdata\\");
  ASSERT_TRUE(src.Open(src.Handle(Y_PRODUCTS)));
  EXPECT_TRUE(src.Select(src.Handle(Y_PRODUCTS), 1));
  src.CloseAll();
  const std::string log = Slurp(drives_.Host("logs/") + kChildLogName);
  EXPECT_NE(log.find("c:\\child\\cnt_ks.dbf\""), std::string::npos) << log;
}

TEST_F(ChildBuildTest, BaseLinkedToBaseComponent) {
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  ASSERT_TRUE(b.Append(Y_BASESFRM, {{"ID", Id(5)}, {"FORMULA", "1,2.5,3,1"}}))
      << b.error();
  Wy_GDataChild c;
  EXPECT_FALSE(c.IsBaseLinkedToBaseComponent({3}, 5, 0, 0));  // not init
  Rules(c);
  EXPECT_TRUE(c.IsBaseLinkedToBaseComponent({7, 3}, 5, 0, 0));
  EXPECT_FALSE(c.IsBaseLinkedToBaseComponent({2}, 5, 0, 0));  // a quantity
  EXPECT_FALSE(c.IsBaseLinkedToBaseComponent({1}, 6, 0, 0));  // no record
}

TEST(ChildLog, EntryFormAndWorkNames) {
  platform::ScopedTempDrives drives;
  ASSERT_TRUE(E()->SetEnv("KALVO_LOGDIR", drives.dir()).ok());
  // The log directory's path is joined with the host's separator.
#ifdef _WIN32
  EXPECT_EQ(Wy_GDataChildLogPath(), drives.dir() + "\\MIXTABLEChild.LOG");
#else
  EXPECT_EQ(Wy_GDataChildLogPath(), drives.dir() + "/MIXTABLEChild.LOG");
#endif
  ASSERT_TRUE(Wy_GDataChildLog(2, "c:\\child\\P1\\", "FRM.DBF", false));
  ASSERT_TRUE(Wy_GDataChildLog(3, "c:\\child\\P1\\S1\\", "MASK.DBF", true));
  const std::string log = Slurp(Wy_GDataChildLogPath());
  E()->UnsetEnv("KALVO_LOGDIR");
  const size_t nl = log.find('\n');
  ASSERT_NE(nl, std::string::npos);
  // "YYYY-MM-DD (hh:mm:ss): (2) "c:\child\P1\FRM.DBF""
  EXPECT_EQ(log.substr(21, nl - 21), ": (2) \"c:\\child\\P1\\FRM.DBF\"");
  EXPECT_EQ(log.substr(nl + 22),
            ": (3) \"c:\\child\\P1\\S1\\MASK.DBF\" ***** CHILD DBASE ERROR "
            "*****\n");
  EXPECT_TRUE(Wy_IsChildWorkDir("c:\\child.$child\\"));
  EXPECT_TRUE(Wy_IsChildWorkDir("C:\\CHILD.$CHILDOLD"));
  EXPECT_FALSE(Wy_IsChildWorkDir("c:\\child"));
}

}  // namespace
