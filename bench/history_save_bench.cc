// Saving dispensed formulas into the history as a dispensing program does:
// the table record, HISTORY.XML and XMLHIST.XML per save. Reports saves per
// second and the time of the first and the last 1 000 saves (target: flat,
// the cost of a save independent of how much the history holds).
//
//   build/bench/history_save_bench                   (100 000 saves)
//   KALVO_HISTORY_SAVES=20000 build/bench/history_save_bench

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>

#include "mixtable/hformula_history.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_formula.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t SaveCount() {
  const char* v = std::getenv("KALVO_HISTORY_SAVES");
  const int64_t n = v ? std::atoll(v) : 100000;
  return n >= 2000 ? n : 2000;
}

void BM_SaveInHistory(benchmark::State& state) {
  platform::ScopedTempDrives drives;
  platform::Env::Current()->UnsetEnv("LOCALDIR");
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  b.Append(Y_CNTS, {{"ID", mixtable_testing::Id(5)}, {"CODE", "RED"}});
  b.Append(Y_CNTS, {{"ID", mixtable_testing::Id(6)}, {"CODE", "BLK"}});
  hformula_CheckUpdateHistory(false, nullptr, 0, 1);
  Wy_Formula f;
  f.m_PrdId = 3;
  f.m_SpdId = 4;
  f.m_ClrId = 9;
  f.m_ClrName = "RAL 3020|RED";
  f.m_BasId = 1;
  f.m_Fill_Q = 900;
  f.m_CanId = 2;
  f.m_CanNomQ = 1000;
  f.m_FrmNomQ = 1000;
  f.m_Lqnt = 1;
  f.SetUnit(0, 1.0, 1.0, 1.0);
  for (double& r : f.m_Rfl) r = 0.4;
  Wy_ShopData shop;
  shop.m_Shop1 = "Shop";
  Wy_DispenserData disp;
  disp.m_DispenserId = 1;
  disp.m_DispenserDescr = "Main";
  const int64_t n = SaveCount();
  // Wall time and the process's CPU time (the second is less disturbed by
  // other work on the machine).
  double first = 0, last = 0, total = 0, firstCpu = 0, lastCpu = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    Clock::time_point mark = start;
    const std::clock_t cpuStart = std::clock();
    std::clock_t cpuMark = cpuStart;
    for (int64_t i = 0; i < n; ++i) {
      f.m_Frm = "5," + std::to_string(1 + i % 97) + ".25,6,0.5";
      if (hformula_SaveInHistory(&f, &shop, &disp) != 1) {
        state.SkipWithError("save failed");
        return;
      }
      if (i + 1 == 1000) {
        first = std::chrono::duration<double>(Clock::now() - start).count();
        firstCpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
      }
      if (i + 1 == n - 1000) {
        mark = Clock::now();
        cpuMark = std::clock();
      }
    }
    const Clock::time_point end = Clock::now();
    last = std::chrono::duration<double>(end - mark).count();
    lastCpu = double(std::clock() - cpuMark) / CLOCKS_PER_SEC;
    total = std::chrono::duration<double>(end - start).count();
  }
  state.counters["saves"] = static_cast<double>(n);
  state.counters["saves_per_s"] = n / total;
  state.counters["first_1000_s"] = first;
  state.counters["last_1000_s"] = last;
  state.counters["last_over_first"] = first > 0 ? last / first : 0;
  state.counters["first_1000_cpu_s"] = firstCpu;
  state.counters["last_1000_cpu_s"] = lastCpu;
}
BENCHMARK(BM_SaveInHistory)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
