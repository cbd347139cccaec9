// The C++ counterparts of bench/mixtable_python_bench.py: the same two loops
// over the data set that script builds (catalogued as data id 4242 below
// the drives root it names in KALVO_DRIVES), so that the cost of the
// scripting module shows against the library itself:
//  - a walk of FRM through the table set's handle (Next and two field reads
//    per record);
//  - one formula text file read and resolved (HFormula::Py_Read).
// Run by the script; alone it reports an error when the data set is missing.

#include <benchmark/benchmark.h>

#include "mixtable/hformula.h"
#include "mixtable/mixtable.h"

namespace {

constexpr uint32_t kDataId = 4242;

void BM_WalkFrm(benchmark::State& state) {
  CMixtable ts;
  ts.SetDataId(kDataId);
  Wdbase* frm = ts.Handle(Y_FRM);
  if (!ts.Open(frm)) {
    state.SkipWithError("no FRM: run bench/mixtable_python_bench.py");
    return;
  }
  int64_t records = 0;
  for (auto _ : state) {
    char text[256];
    for (frm->Top(); !frm->Eof(); frm->Next()) {
      benchmark::DoNotOptimize(frm->ReadLong("ID"));
      frm->ReadString("FORMULA", text, sizeof text);
      benchmark::DoNotOptimize(text);
      ++records;
    }
  }
  state.SetItemsProcessed(records);
}
BENCHMARK(BM_WalkFrm)->Unit(benchmark::kMillisecond);

void BM_ReadFormula(benchmark::State& state) {
  for (auto _ : state) {
    HFormula f;
    if (f.Py_Read("c:\\f.txt") != 1 || f.m_ClrId != 5) {
      state.SkipWithError("formula not resolved");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadFormula)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
