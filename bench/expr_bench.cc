// Parse once, evaluate many: a key expression and a condition over 1 000 000
// records held in the page cache, against a scan that only reads records.
// The share of a scan spent outside the evaluator is ScanOnly / Eval*.

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>

#include "dbf_expr_table.h"
#include "dbf_file.h"
#include "expr/expr.h"
#include "platform/env.h"
#include "wdbase_access.h"
#include "xbase32/wdbase.h"

namespace {

constexpr int kRows = 1000000;

Wdbase& Table() {
  static Wdbase* table = [] {
    platform::Env* env = platform::Env::Current();
    const std::string dir = env->TempDir() + "/kalvo_expr_bench_" +
                            std::to_string(env->CurrentProcessId()) + "/";
    env->DeleteTree(dir);
    env->CreateDir(dir);
    WDBASE_FIELD f[4] = {};
    std::strcpy(f[0].name, "NAME");
    f[0].type = 'C';
    f[0].len = 20;
    std::strcpy(f[1].name, "PRICE");
    f[1].type = 'N';
    f[1].len = 10;
    f[1].dec = 2;
    std::strcpy(f[2].name, "CODE");
    f[2].type = 'C';
    f[2].len = 6;
    auto* w = new Wdbase;
    w->SetFiles(dir.c_str(), "exprs", 0, nullptr, nullptr);
    w->CreateDb(f);
    w->Open();
    Wdbase::FlushSet(0);
    w->Lock();
    static const char* kCodes[] = {"KX1", "AB2", "RN3", "WHA", "QQ5"};
    for (int i = 0; i < kRows; ++i) {
      w->AppendBlank();
      w->WriteString(1, ("colorant " + std::to_string(i % 977)).c_str());
      w->WriteDouble(2, (i % 2000) * 0.01);
      w->WriteString(3, kCodes[i % 5]);
    }
    w->Unlock();
    Wdbase::FlushSet(1);
    return w;
  }();
  return *table;
}

const xbase32::ExprTable* View(Wdbase& w) {
  return WdbaseAccess::Data(&w)->expr_table();
}

void BM_ScanOnly(benchmark::State& state) {
  Wdbase& w = Table();
  for (auto _ : state) {
    int64_t n = 0;
    for (int ok = w.Top(); ok; ok = w.Next()) ++n;
    benchmark::DoNotOptimize(n);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ScanOnly)->Unit(benchmark::kMillisecond);

void BM_EvalKey(benchmark::State& state) {
  Wdbase& w = Table();
  xbase32::ExprError err;
  auto e = xbase32::Expr::Parse(View(w), "UPPER(NAME)+STR(PRICE,8,2)", &err);
  if (!e) state.SkipWithError("parse failed");
  for (auto _ : state) {
    unsigned sum = 0;
    for (int ok = w.Top(); ok; ok = w.Next()) {
      sum += static_cast<unsigned char>(e->Evaluate()[27]);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_EvalKey)->Unit(benchmark::kMillisecond);

void BM_EvalCondition(benchmark::State& state) {
  Wdbase& w = Table();
  xbase32::ExprError err;
  auto e = xbase32::Expr::Parse(View(w), "PRICE>10 .AND. \"A\"$CODE", &err);
  if (!e) state.SkipWithError("parse failed");
  for (auto _ : state) {
    int64_t hits = 0;
    for (int ok = w.Top(); ok; ok = w.Next()) hits += e->EvaluateLogical();
    benchmark::DoNotOptimize(hits);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_EvalCondition)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
