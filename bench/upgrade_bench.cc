// CMixtableEx::SelectGData on a generated data set: every registry table at
// the root, 3 products x 3 sub-products, FRM and FRM_REFL records spread
// over the levels (Arg: their number), blends and K/S per product. Three
// runs per size: a full run (tree check, every table reindexed, product
// blends and K/S merged into the root, every changed table backed up); an
// automatic run with nothing to do; a quick run. Counters: tables
// converted and merged, failures, and the peak resident memory of the
// process after the runs (peak_kb, getrusage).

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_upgrade.h"
#include "platform/env.h"
#include "testing/data_set_builder.h"
#include "xbase32/wdbase.h"

namespace {

platform::Env* env() { return platform::Env::Current(); }

long PeakKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

std::string Id(int32_t id) {
  char b[16];
  std::snprintf(b, sizeof b, "%5ld", static_cast<long>(id));
  return b;
}

// Appends n records to a table through a handle of its own, in one lock.
void Fill(const std::string& dir, int table, int32_t n, int32_t first) {
  Wdbase t;
  t.SetFiles(&WyGetFileInfo(table)->def);
  t.SetPath(dir.c_str());
  if (!t.Open()) return;
  t.Lock();
  const int prev = Wdbase::FlushSet(0);
  for (int32_t i = 0; i < n; ++i) {
    t.AppendBlank();
    if (table == Y_FRM_REFL) {
      t.WriteString("FRM_ID", Id(first + i).c_str());
    } else {
      t.WriteString("ID", Id(first + i).c_str());
    }
    if (table == Y_FRM) t.WriteString("FORMULA", "1,10,2,5");
  }
  t.Flush();
  Wdbase::FlushSet(prev);
  t.Unlock();
  t.Close();
}

void Build(int32_t formulas) {
  env()->DeleteTree("c:\\gdata");
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  b.Append(Y_PARAM, {{"KEY", "DATAID"}, {"VALUE", "0000000042"}});
  for (int t = 0; t < Y_N_MAX; ++t) {
    if (WyGetFileInfo(t)->level_mask & Y_LEVEL_BASE) b.Create(t);
  }
  for (int p = 1; p <= 3; ++p) {
    b.AddProduct(p, "P" + std::to_string(p), "PRD");
    for (int s = 1; s <= 3; ++s)
      b.AddSubProduct(p, s, "S" + std::to_string(s), "SUB");
    for (int i = 1; i <= 20; ++i) {
      b.Append(Y_CNT_BLND, {{"ID", Id(i)}, {"PTR_ID", Id(i)}}, p);
      b.Append(Y_CNT_KS, {{"ID", Id(i)}}, p);
    }
  }
  // FRM and FRM_REFL: a share at the root, the rest per sub-product.
  const int32_t per = formulas / 10;
  Fill("c:\\gdata\\", Y_FRM, per, 1);
  Fill("c:\\gdata\\", Y_FRM_REFL, per, 1);
  int32_t next = per + 1;
  for (int p = 1; p <= 3; ++p) {
    for (int s = 1; s <= 3; ++s) {
      const std::string dir =
          "c:\\gdata\\P" + std::to_string(p) + "\\S" + std::to_string(s) + "\\";
      b.Create(Y_FRM, p, s);
      b.Create(Y_FRM_REFL, p, s);
      Fill(dir, Y_FRM, per, next);
      Fill(dir, Y_FRM_REFL, per, next);
      next += per;
    }
  }
}

void BM_SelectGData(benchmark::State& state) {
  const std::string root = env()->TempDir() + "/kalvo_upgrade_bench_" +
                           std::to_string(env()->CurrentProcessId());
  env()->DeleteTree(root);
  env()->CreateDir(root);
  env()->SetEnv("KALVO_DRIVES", root + "/drives");
  env()->SetEnv("KALVO_LOGDIR", root);
  const int32_t n = static_cast<int32_t>(state.range(0));
  const int mode = static_cast<int>(state.range(1));
  for (auto _ : state) {
    state.PauseTiming();
    Build(n);
    if (mode != 1) {  // a checked set: automatic and quick runs after one
      CMixtableEx ts;
      ts.SelectGData("c:\\gdata", nullptr, 1);
    }
    state.ResumeTiming();
    CMixtableEx ts;
    const int r = ts.SelectGData("c:\\gdata", nullptr, mode);
    if (r != 1) state.SkipWithError("SelectGData failed");
    const Wy_UpgradeReport& rep = Wy_LastUpgradeReport();
    state.counters["converted"] = rep.converted;
    state.counters["merged"] = rep.merged;
    state.counters["failed"] = rep.failed;
  }
  state.counters["peak_kb"] = static_cast<double>(PeakKb());
  env()->DeleteTree(root);
}

}  // namespace

// mode 1 full, 0 automatic, 16 quick; formulas 10 000 and 100 000.
BENCHMARK(BM_SelectGData)
    ->ArgsProduct({{10000, 100000}, {1, 0, 16}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK_MAIN();
