// The colorant macro's cost per record: the pair test alone on a formula of
// ten pairs, and a special filter over a formula table of 20 000 and 99 000
// records on the expanded macro behind an expression token (as a DELETE
// card is filtered), beside the same filter on a plain condition of the
// same form. The difference divided by the records is what the colorant
// routine adds per record.
//
//   build/bench/cnt_macro_bench

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "mixtable/wy_gdata_child.h"
#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace {

const std::string& Dir() {
  static const std::string dir = [] {
    platform::Env* env = platform::Env::Current();
    std::string d = env->TempDir() + "/kalvo_cnt_macro_bench_" +
                    std::to_string(env->CurrentProcessId());
    env->DeleteTree(d);
    env->CreateDir(d);
    return d + "/";
  }();
  return dir;
}

// A formula of ten pairs with colorant ids 1..40.
std::string Formula(std::mt19937& rng) {
  std::string f;
  for (int i = 0; i < 10; ++i) {
    if (i) f += ",";
    f += std::to_string(1 + rng() % 40) + "," + std::to_string(rng() % 1000) +
         "." + std::to_string(rng() % 1000);
  }
  return f;
}

// The table of rows records (made once): ID C(5), FORMULA C(200).
std::string MakeTable(int64_t rows) {
  const std::string name = "frm" + std::to_string(rows);
  static std::vector<int64_t> made;
  for (int64_t r : made)
    if (r == rows) return name;
  Wdbase w;
  WDBASE_FIELD f[3] = {};
  std::strcpy(f[0].name, "ID");
  f[0].type = 'C';  // ids are stored as text, "%5ld"
  f[0].len = 5;
  std::strcpy(f[1].name, "FORMULA");
  f[1].type = 'C';
  f[1].len = 200;
  w.SetFiles(Dir().c_str(), name.c_str(), 0, nullptr, nullptr);
  w.CreateDb(f);
  w.Open();
  Wdbase::FlushSet(0);
  w.Lock();
  std::mt19937 rng(static_cast<unsigned>(rows));
  for (int64_t i = 0; i < rows; ++i) {
    w.AppendBlank();
    char id[8];
    std::snprintf(id, sizeof id, "%5ld", static_cast<long>(i % 99999 + 1));
    w.WriteString(1, id);
    w.WriteString(2, Formula(rng).c_str());
  }
  w.Unlock();
  Wdbase::FlushSet(1);
  w.Close();
  made.push_back(rows);
  return name;
}

void BM_FormulaHoldsColorant(benchmark::State& state) {
  std::mt19937 rng(7);
  const std::string f = Formula(rng);
  int32_t cnt = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        Wy_GDataChild::FormulaHoldsColorant(f.data(), f.size(), cnt));
    cnt = cnt % 40 + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormulaHoldsColorant);

// A special filter on cond behind an expression token, built once per
// iteration; with macro the condition is the colorant macro of colorant 7.
void FilterBench(benchmark::State& state, bool macro) {
  const int64_t rows = state.range(0);
  Wdbase w;
  w.SetFiles(Dir().c_str(), MakeTable(rows).c_str(), 0, nullptr, nullptr);
  w.Open();
  Wy_GDataChild child;
  child.InitInDummyMode();
  std::string cond;
  if (macro) {
    child.MakeCntFunctionMacro(cond, 7);
    child.ExpandCntMacros(w, cond);
  } else {
    cond = "(VAL(ID)=7)";  // a comparison of the same shape
  }
  std::vector<char> text(cond.begin(), cond.end());
  text.push_back('\0');
  char token[16];
  w.StringToPtr(text.data(), token, true);
  const std::string filter = "\"" + std::string(token) + "\"!\" \"";
  int32_t matches = 0;
  for (auto _ : state) {
    if (!w.SpecialFilterInit(filter.c_str(), false, true)) {
      state.SkipWithError("special filter failed");
      break;
    }
    matches = w.GetLastPosition();
    w.SpecialFilterQuit();
  }
  state.counters["matches"] = matches;
  state.counters["per_record"] = benchmark::Counter(
      static_cast<double>(rows) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_MacroFilter(benchmark::State& state) { FilterBench(state, true); }
void BM_PlainFilter(benchmark::State& state) { FilterBench(state, false); }
BENCHMARK(BM_MacroFilter)
    ->Arg(20000)
    ->Arg(99000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainFilter)
    ->Arg(20000)
    ->Arg(99000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
