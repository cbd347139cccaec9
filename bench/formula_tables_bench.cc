// Formula records over the tables: Wy_Frm::read with an open ruler over
// 10 000 FRM records, CanSize with CANS closed and open, and the colour-key
// tables rebuilt over 3 products x 3 sub-products x 5 000 formulas (with the
// process's peak memory).

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <memory>
#include <string>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_frm.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

constexpr int kFormulas = 10000;

struct DataSet {
  platform::ScopedTempDrives drives;
  CMixtableEx ts;
  DataSet() {
    std::string error;
    mixtable_testing::BuildSampleDataSet("c:\\gdata\\", &error);
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    b.Append(Y_CANS, {{"ID", mixtable_testing::Id(10)}, {"NOM_Q", "1000"}});
    b.Append(Y_RULER,
             {{"ID", mixtable_testing::Id(1)},
              {"RTYPE", "CO"},
              {"PTR_ID", mixtable_testing::Id(1)},
              {"RULE", "1.5"}},
             1, 1);
    ts.SetDataDir("c:\\gdata\\");
    Position();
    Wdbase* frm = ts.Handle(Y_FRM);
    ts.Open(frm);
    const int old = Wdbase::FlushSet(0);
    frm->Lock();
    for (int i = 100; i < 100 + kFormulas; ++i) {
      frm->AppendBlank();
      frm->WriteString("ID", mixtable_testing::Id(i).c_str());
      frm->WriteString("FORMULA", "1,10.5,2,3.25,3,0.125,4,7");
      frm->WriteString("BASE_ID", mixtable_testing::Id(1).c_str());
      frm->WriteString("CAN_ID", mixtable_testing::Id(10).c_str());
    }
    frm->Unlock();
    Wdbase::FlushSet(old);
  }
  void Position() {
    ts.CloseAll();
    ts.Open(ts.Handle(Y_PRODUCTS));
    ts.Select(ts.Handle(Y_PRODUCTS), 1);
    ts.Open(ts.Handle(Y_SUBPRODS));
    ts.Select(ts.Handle(Y_SUBPRODS), 1);
  }
};

DataSet& Shared() {
  static DataSet* d = new DataSet;
  return *d;
}

void BM_FrmRead(benchmark::State& state) {
  DataSet& d = Shared();
  d.Position();
  Wdbase* frm = d.ts.Handle(Y_FRM);
  d.ts.Open(frm);
  // Arg 1: CANS kept open by the caller, so the can lookup opens nothing.
  // Arg 2: CANS closed, the reads under a hold of the table set, which
  // opens CANS once for the can lookups of the whole run.
  if (state.range(0) == 1) d.ts.Open(d.ts.Handle(Y_CANS));
  CMixtable::TmpHold hold(state.range(0) == 2 ? &d.ts.Mixtable() : nullptr);
  frm->SelectIdx(0);
  Wy_Frm f;
  int64_t reads = 0;
  for (auto _ : state) {
    for (int ok = frm->Top(); ok && !frm->Eof(); ok = frm->Next()) {
      f.read(&d.ts.Mixtable(), Y_FRM);
      ++reads;
    }
    benchmark::DoNotOptimize(f.m_Frm.get());
  }
  state.counters["reads/s"] = benchmark::Counter(static_cast<double>(reads),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FrmRead)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_CanSize(benchmark::State& state) {
  DataSet& d = Shared();
  d.ts.CloseAll();
  // Arg 1: CANS open; arg 2: CANS closed under a hold of the table set.
  if (state.range(0) == 1) d.ts.Open(d.ts.Handle(Y_CANS));
  CMixtable::TmpHold hold(state.range(0) == 2 ? &d.ts.Mixtable() : nullptr);
  int64_t calls = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(d.ts.Mixtable().CanSize(10));
    ++calls;
  }
  state.counters["calls/s"] = benchmark::Counter(static_cast<double>(calls),
                                                 benchmark::Counter::kIsRate);
  d.ts.CloseAll();
}
BENCHMARK(BM_CanSize)->Arg(0)->Arg(1)->Arg(2);

// 3 products with 3 sub-products each, 5 000 formulas in every sub-product's
// FRM; the colour keys repeat across sub-products (2 000 distinct keys).
struct KeyDataSet {
  platform::ScopedTempDrives drives;
  CMixtableEx ts;
  KeyDataSet() {
    mixtable_testing::DataSetBuilder b("c:\\keys\\");
    for (int p = 1; p <= 3; ++p) {
      b.AddProduct(p, "P" + std::to_string(p), "PRD" + std::to_string(p));
      for (int s = 1; s <= 3; ++s) {
        b.AddSubProduct(p, s, "S" + std::to_string(s),
                        "SUB" + std::to_string(p) + std::to_string(s));
        b.Create(Y_FRM, p, s);
        Wdbase frm;
        frm.SetFiles(b.Dir(p, s).c_str(), "FRM", 0, nullptr, nullptr);
        frm.Open();
        const int old = Wdbase::FlushSet(0);
        frm.Lock();
        for (int i = 1; i <= 5000; ++i) {
          const int key = (i * 7 + p * 13 + s) % 2000;
          frm.AppendBlank();
          frm.WriteString("ID", mixtable_testing::Id(i).c_str());
          frm.WriteString("KEY1", ("K" + std::to_string(key)).c_str());
          frm.WriteString("KEY2", ("FAM" + std::to_string(key % 17)).c_str());
          frm.WriteString("KEY3", "");
          frm.WriteString("BASE_ID", mixtable_testing::Id(1).c_str());
          frm.WriteString("FORMULA", "1,10.5,2,3.25");
        }
        frm.Unlock();
        frm.Close();
        Wdbase::FlushSet(old);
      }
    }
    ts.SetDataDir("c:\\keys\\");
  }
};

void BM_CreateColorKeyDb(benchmark::State& state) {
  static KeyDataSet* d = new KeyDataSet;
  int result = 0;
  for (auto _ : state) {
    result = d->ts.Mixtable().CreateColorKeyDb();
    d->ts.CloseAll();
  }
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  state.counters["result"] = result;
  state.counters["peak_MiB"] = static_cast<double>(ru.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_CreateColorKeyDb)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
