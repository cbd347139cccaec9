// Formula texts in bulk: count, resize and += over 100 000 texts of 8 pairs,
// reported as pairs per second. The table-reading parts (formula reads with
// a ruler, can sizes, colour keys) join this file with the table set.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "mixtable/wy_frm.h"
#include "mixtable/yformula.h"

namespace {

constexpr int kTexts = 100000;
constexpr int kPairs = 8;

const std::vector<std::string>& Texts() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> t;
    t.reserve(kTexts);
    for (int i = 0; i < kTexts; ++i) {
      std::string s;
      for (int p = 0; p < kPairs; ++p) {
        if (p) s += ',';
        s += std::to_string(1 + (i + p * 7) % 40) + "," +
             std::to_string(0.125 * (1 + (i * 31 + p) % 997));
      }
      t.push_back(s);
    }
    return t;
  }();
  return texts;
}

void BM_Count(benchmark::State& state) {
  std::vector<yformula> f(kTexts);
  for (int i = 0; i < kTexts; ++i) f[i].set(Texts()[i]);
  for (auto _ : state) {
    long total = 0;
    for (const yformula& y : f) total += y.count();
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * kTexts * kPairs);
}
BENCHMARK(BM_Count)->Unit(benchmark::kMillisecond);

void BM_Resize(benchmark::State& state) {
  std::vector<yformula> f(kTexts);
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < kTexts; ++i) f[i].set(Texts()[i]);
    state.ResumeTiming();
    for (yformula& y : f) benchmark::DoNotOptimize(y.resize(1000, 946, 7, 0));
  }
  state.SetItemsProcessed(state.iterations() * kTexts * kPairs);
}
BENCHMARK(BM_Resize)->Unit(benchmark::kMillisecond);

void BM_Add(benchmark::State& state) {
  std::vector<Wy_Frm> f(kTexts);
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < kTexts; ++i) f[i].m_Frm.set(Texts()[i]);
    state.ResumeTiming();
    for (int i = 0; i < kTexts; ++i) {
      Wy_Frm other;
      other.m_Frm.set(Texts()[(i + 1) % kTexts]);
      f[i] += other;
    }
  }
  state.SetItemsProcessed(state.iterations() * kTexts * kPairs * 2);
}
BENCHMARK(BM_Add)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
