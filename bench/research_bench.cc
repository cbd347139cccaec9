// The formula researcher over 10 000 stored batches (2 000 formulas of 5
// batches, a third of them acceptable), with the trace off and on; the
// trace file's size is reported as the counter trace_bytes; and the same
// walk with a rule that rejects at once (the cost of reading the inventory).
// Argument: the number of formulas (time should grow linearly with it).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "inventory/research_test_data.h"
#include "mixtable/wy_formula_researcher.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace {

using namespace research_testing;

constexpr int kBatchesPerFormula = 5;

struct Inventory {
  platform::ScopedTempDrives drives;
  std::map<int, std::string> dirs;  // formulas -> inventory directory
  bool built = false;
  Inventory() {
    std::string error;
    built = BuildResearchData(&error);
    if (!built) std::fprintf(stderr, "research data: %s\n", error.c_str());
  }
  // An inventory of n formulas: one in three is acceptable, one brings a
  // colorant the target lacks, one is on another base.
  const std::string& Dir(int n) {
    auto it = dirs.find(n);
    if (it != dirs.end()) return it->second;
    std::string dir = "c:\\inv" + std::to_string(n) + "\\";
    CWy_StorageManager m(dir.c_str());
    for (int i = 0; i < n; ++i) {
      const char* text = i % 3 == 1 ? "1,5,3,1" : "1,5,2,10";
      CWy_FormulaInv inv;
      inv.SetFormula(MakeFormula(kDataId, i % 3 == 2 ? 2 : 1, text));
      for (int b = 0; b < kBatchesPerFormula; ++b)
        inv.InsertBatch(MakeBatch("B" + std::to_string(b), 0.2 + 0.1 * b));
      if (m.InsertFormula(inv, true) <= 0)
        std::fprintf(stderr, "formula %d not stored\n", i);
    }
    return dirs[n] = dir;
  }
};

Inventory& Shared() {
  static Inventory* inv = new Inventory;
  return *inv;
}

// rule 0: the working rule; 1: a rule that rejects at once (what reading
// the inventory costs).
void BM_Research(benchmark::State& state, bool trace, int which = 0) {
  Inventory& inv = Shared();
  if (!inv.built) {
    state.SkipWithError("no research data");
    return;
  }
  const int n = static_cast<int>(state.range(0));
  CWy_FormulaResearcher r(inv.Dir(n).c_str());
  r.SetTraceFile(trace ? "c:\\research.log" : "");
  CWy_QuantitySumConfrontation rule;
  CWy_ColorantConfrontation reject;
  r.InsertRule(which == 0 ? static_cast<CWy_RecycleRule*>(&rule) : &reject);
  r.SetFormulaTarget(MakeFormula(kDataId, 1, "1,10,2,20"));
  int32_t found = 0;
  for (auto _ : state) found = r.ApplyRules(0);
  state.counters["found"] = found;
  state.counters["batches"] = n * kBatchesPerFormula;
  state.SetItemsProcessed(state.iterations() * n * kBatchesPerFormula);
  if (trace) {
    platform::FileInfo info;
    if (platform::Env::Current()->GetFileInfo("c:\\research.log", &info).ok())
      state.counters["trace_bytes"] = static_cast<double>(info.size);
  }
}

void BM_ResearchTraceOff(benchmark::State& state) { BM_Research(state, false); }
void BM_ResearchTraceOn(benchmark::State& state) { BM_Research(state, true); }
void BM_ReadInventoryOnly(benchmark::State& state) {
  BM_Research(state, false, 1);
}

BENCHMARK(BM_ResearchTraceOff)
    ->Arg(500)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_ReadInventoryOnly)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_ResearchTraceOn)
    ->Arg(500)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
