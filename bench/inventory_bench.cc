// The storage manager: 2 000 formulas of 5 batches inserted, then all read
// back with their batches, over a small data set (base and can resolved,
// to-weight factors computed). Counters give the time per operation over
// the first and the last 200 of each pass: with the permanent indexes
// serving every search they should be about equal (time per operation
// independent of the table's size).
//
//   build/bench/inventory_bench

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <string>

#include "mixtable/wy_storage_manager.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFormulas = 2000;
constexpr int kBatches = 5;
constexpr int kEdge = 200;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

CWy_FormulaInv MakeStored(int n) {
  Wy_Formula f;
  f.m_ClrName = "K " + std::to_string(n) + "|Sky|BLUE|";
  f.m_Frm = "1,4.64,2,35.868,3,1.13";
  f.m_FrmNomQ = 1000;
  f.m_BasId = 1;
  f.m_Fill_Q = 905;
  f.m_CanId = 1;
  f.m_CanNomQ = 1000;
  f.m_PrdId = 1;
  f.m_SpdId = 1;
  f.SetUnit(0, 1.0, 1.0, 1.0);
  for (double& r : f.m_Rfl) r = 0.4;
  CWy_FormulaInv inv;
  inv.SetFormula(f);
  for (int b = 0; b < kBatches; ++b) {
    CWy_Batch batch;
    batch.SetBatchName("Batch");
    batch.SetQuantity(0.5 + b);
    batch.SetLocationX("Shelf " + std::to_string(n));
    batch.SetLocationY(std::to_string(b));
    inv.InsertBatch(batch);
  }
  return inv;
}

void BM_InsertThenRead(benchmark::State& state) {
  for (auto _ : state) {
    platform::ScopedTempDrives drives;
    std::string error;
    if (!mixtable_testing::BuildSampleDataSet("c:\\gdata\\", &error)) {
      state.SkipWithError(error.c_str());
      break;
    }
    CWy_StorageManager m("c:\\inv\\");
    // Bulk: auto-flush off for the pass, one flush at its end (as bulk
    // callers do); otherwise every insert is flushed to disk.
    const bool bulk = state.range(0) != 0;
    const int flush = bulk ? Wdbase::FlushSet(0) : Wdbase::FlushGet();
    Clock::duration first{}, last{}, all{};
    // Process CPU time beside the wall time: on a loaded machine the wall
    // time mostly measures waiting.
    const std::clock_t c0 = std::clock();
    for (int i = 0; i < kFormulas; ++i) {
      CWy_FormulaInv inv = MakeStored(i);
      const auto t0 = Clock::now();
      const int32_t id = m.InsertFormula(inv, false);
      const auto d = Clock::now() - t0;
      if (id <= 0) {
        state.SkipWithError("insert failed");
        return;
      }
      all += d;
      if (i < kEdge) first += d;
      if (i >= kFormulas - kEdge) last += d;
    }
    if (bulk) {
      const auto t0 = Clock::now();
      Wdbase::FlushSet(flush);
      if (!m.Flush()) {
        state.SkipWithError("flush failed");
        return;
      }
      all += Clock::now() - t0;
    }
    const std::clock_t c1 = std::clock();
    Clock::duration rfirst{}, rlast{}, rall{};
    int n = 0, batches = 0;
    auto t0 = Clock::now();
    for (bool ok = m.Begin(); ok && !m.IsEof(); ok = m.GoNext()) {
      CWy_FormulaInv inv;
      if (!m.GetCurrentFormula(inv, true)) {
        state.SkipWithError("read failed");
        return;
      }
      batches += inv.GetNumberOfBatches();
      const auto t1 = Clock::now();
      const auto d = t1 - t0;
      t0 = t1;
      rall += d;
      if (n < kEdge) rfirst += d;
      if (n >= kFormulas - kEdge) rlast += d;
      ++n;
    }
    if (n != kFormulas || batches != kFormulas * kBatches) {
      state.SkipWithError("wrong count read back");
      return;
    }
    const std::clock_t c2 = std::clock();
    state.counters["insert_cpu_s"] = double(c1 - c0) / CLOCKS_PER_SEC;
    state.counters["read_cpu_s"] = double(c2 - c1) / CLOCKS_PER_SEC;
    state.counters["insert_total_s"] = Ms(all) / 1000;
    state.counters["insert_first200_ms"] = Ms(first) / kEdge;
    state.counters["insert_last200_ms"] = Ms(last) / kEdge;
    state.counters["read_total_s"] = Ms(rall) / 1000;
    state.counters["read_first200_ms"] = Ms(rfirst) / kEdge;
    state.counters["read_last200_ms"] = Ms(rlast) / kEdge;
  }
}
BENCHMARK(BM_InsertThenRead)
    ->ArgName("bulk")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
