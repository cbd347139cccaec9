// A repair killed after each of its file-changing operations, in a child
// process: the next maintenance run's recovery leaves every table as it was
// before, or as an uninterrupted run leaves it.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_maintenance.h"
#include "mixtable/wy_repairs.h"
#include "platform/env.h"
#include "platform/testing/child_process.h"
#include "platform/testing/fault_env.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

using mixtable_testing::Id;

constexpr const char* kDir = "c:\\gdata\\";
constexpr int64_t kMaxCrashPoints = 3000;

// Every crash point with KALVO_CRASH_FULL=1 in the environment; otherwise
// every fourth one (each costs a process and a copy of the data set), which
// keeps the test at a few seconds. Under wine a point costs about a second
// (the process start and slow file opens): every eighth there.
int64_t CrashStride() {
  std::string v;
  if (platform::Env::Current()->GetEnv("KALVO_CRASH_FULL", &v) && v == "1")
    return 1;
#ifdef _WIN32
  return 8;
#else
  return 4;
#endif
}

class RepairCrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // On Windows c: is the host's drive, shared by every test of the run.
    E()->DeleteTree("c:\\gdata");
    E()->DeleteTree("c:\\pristine");
    std::string error;
    ASSERT_TRUE(mixtable_testing::BuildSampleDataSet(kDir, &error)) << error;
    mixtable_testing::DataSetBuilder b(kDir);
    ASSERT_TRUE(b.Append(Y_CNT_BLND, {{"ID", Id(1)}, {"PTR_ID", Id(2)}}));
    ASSERT_TRUE(b.Append(Y_CNT_BLND, {{"ID", Id(1)}, {"PTR_ID", Id(9)}}));
    ASSERT_TRUE(b.Append(Y_CNT_KS, {{"ID", Id(9)}}));
    ASSERT_TRUE(b.Append(Y_CNT_KS, {{"ID", Id(3)}, {"PROD_KEY", Id(7)}}));
    ASSERT_TRUE(b.Append(Y_CNT_BLND, {{"ID", Id(2)}, {"PTR_ID", Id(8)}}, 1));
    ASSERT_TRUE(E()->CopyTree("c:\\gdata", "c:\\pristine").ok());
  }
  static platform::Env* E() { return platform::Env::Current(); }
  void Restore() {
    ASSERT_TRUE(E()->DeleteTree("c:\\gdata").ok());
    ASSERT_TRUE(E()->CopyTree("c:\\pristine", "c:\\gdata").ok());
  }
  // Every record (deletion mark and bytes) of a checked table, then its ids
  // in index order.
  static std::string Table(const char* dir, int table) {
    Wdbase t;
    if (!t.SetFiles(&WyGetFileInfo(table)->def) || !t.SetPath(dir) || !t.Open())
      return std::string("no ") + dir + WyGetFileInfo(table)->def.name;
    std::string s;
    for (int more = t.Top(); more; more = t.Next())
      s += std::string(t.Deleted() ? "*" : " ") +
           std::string(t.RecordBufferPtr(), t.RecordBufferLen()) + "\n";
    t.SelectIdx(1);
    for (int more = t.Top(); more; more = t.Next())
      s += std::string(t.Read("ID")) + ",";
    t.Close();
    return s;
  }
  static std::string Snapshot() {
    return Table(kDir, Y_CNT_BLND) + "|" + Table(kDir, Y_CNT_KS) + "|" +
           Table("c:\\gdata\\P1\\", Y_CNT_BLND);
  }

  platform::ScopedTempDrives drives_;
};

// args: n. Runs the colorimetry update on kDir and is killed right after
// the n-th mutating call; exit status 0 when the update completed.
KALVO_CHILD_MAIN(repair_killed_after)(const std::vector<std::string>& args) {
  if (args.size() != 1) return 9;
  platform::FaultInjectionEnv env(platform::Env::Default());
  platform::ScopedEnv use(&env);
  CMixtableEx ts;
  ts.SetDataDir(kDir);
  env.CrashAfterMutations(std::stoll(args[0]));
  const int r = Wy_UpdateCntsColorimetry(&ts.Mixtable(), nullptr);
  env.CrashAfterMutations(0);
  return r == 0 ? 0 : 3;
}

TEST_F(RepairCrashTest, KilledAtEveryOperationRecoversToBeforeOrAfter) {
  const std::string before = Snapshot();
  {
    CMixtableEx ts;
    ts.SetDataDir(kDir);
    ASSERT_EQ(Wy_UpdateCntsColorimetry(&ts.Mixtable(), nullptr), 0);
  }
  const std::string after = Snapshot();
  ASSERT_NE(before, after);
  int crashes = 0;
  bool completed = false;
  const int64_t stride = CrashStride();
  for (int64_t n = 1; n <= kMaxCrashPoints && !completed; n += stride) {
    Restore();
    const int code =
        platform::testing::RunChild("repair_killed_after", {std::to_string(n)});
    if (code != platform::testing::kChildKilled) {
      ASSERT_EQ(code, 0) << "n=" << n;
      completed = true;
    } else {
      ++crashes;
      Wy_MaintenanceGuard recover(kDir);
      ASSERT_EQ(recover.Begin(false), 1) << "n=" << n << " " << recover.error();
      ASSERT_TRUE(recover.Complete());
    }
    const std::string now = Snapshot();
    ASSERT_TRUE(now == before || now == after) << "n=" << n << "\n" << now;
    EXPECT_EQ(Wy_MaintenanceState(kDir), kWyMaintenanceFree) << "n=" << n;
  }
  EXPECT_TRUE(completed);
  EXPECT_GT(crashes * stride, 30);
  std::printf("crash points tried: %d (every %lld)\n", crashes,
              static_cast<long long>(stride));
}

}  // namespace
