// Special filters on tables of 2 000, 20 000 and 99 000 records, in the
// order of an index on a number, for a condition that keeps about half of
// them: building the filter, GetLastPosition, and GetPosition / SetPosition
// at random matching records. The counting they replace is measured beside
// them: a record filter with the same condition, counting by a full walk
// and finding a record's position by walking from the top.
//
//   build/bench/filter_bench

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace {

const std::string& Dir() {
  static const std::string dir = [] {
    platform::Env* env = platform::Env::Current();
    std::string d = env->TempDir() + "/kalvo_filter_bench_" +
                    std::to_string(env->CurrentProcessId());
    env->DeleteTree(d);
    env->CreateDir(d);
    return d + "/";
  }();
  return dir;
}

std::string TableName(int64_t rows) { return "f" + std::to_string(rows); }

// Each table has its own index file (they share the directory).
std::string IndexName(int64_t rows) { return "q" + std::to_string(rows); }
const char* kIndexExprs[] = {"QTY"};

bool Define(Wdbase* w, int64_t rows) {
  const std::string index = IndexName(rows);
  const char* names[] = {index.c_str()};
  return w->SetFiles(Dir().c_str(), TableName(rows).c_str(), 1, names,
                     kIndexExprs) != 0;
}

// The table of rows records (made once): NAME C(10), QTY N(8) with values
// in -rows..rows, indexed on QTY.
void MakeTable(int64_t rows) {
  static std::vector<int64_t> made;
  for (int64_t r : made) {
    if (r == rows) return;
  }
  Wdbase w;
  WDBASE_FIELD f[3] = {};
  std::strcpy(f[0].name, "NAME");
  f[0].type = 'C';
  f[0].len = 10;
  std::strcpy(f[1].name, "QTY");
  f[1].type = 'N';
  f[1].len = 8;
  Define(&w, rows);
  w.CreateDb(f);
  w.Open();
  Wdbase::FlushSet(0);
  w.Lock();
  std::mt19937 rng(static_cast<unsigned>(rows));
  for (int64_t i = 0; i < rows; ++i) {
    w.AppendBlank();
    w.WriteString(1, ("N" + std::to_string(i)).c_str());
    w.WriteLong(2, static_cast<int32_t>(rng() % (2 * rows)) -
                       static_cast<int32_t>(rows));
  }
  w.Unlock();
  Wdbase::FlushSet(1);
  w.Close();
  made.push_back(rows);
}

bool Open(Wdbase* w, int64_t rows) {
  MakeTable(rows);
  return Define(w, rows) && w->Open() && w->SelectIdx(1);
}

int HideNegative(const Wdbase* w) { return w->ReadLong(2) > 0 ? 0 : 1; }

void BM_SpecialFilterInit(benchmark::State& state) {
  Wdbase w;
  if (!Open(&w, state.range(0))) state.SkipWithError("open");
  for (auto _ : state) {
    if (!w.SpecialFilterInit("QTY > 0", false, true)) {
      state.SkipWithError("init");
    }
  }
}

void BM_SpecialGetLastPosition(benchmark::State& state) {
  Wdbase w;
  if (!Open(&w, state.range(0)) ||
      !w.SpecialFilterInit("QTY > 0", false, false)) {
    state.SkipWithError("init");
  }
  for (auto _ : state) benchmark::DoNotOptimize(w.GetLastPosition());
}

void BM_SpecialGetPosition(benchmark::State& state) {
  Wdbase w;
  if (!Open(&w, state.range(0)) ||
      !w.SpecialFilterInit("QTY > 0", false, false)) {
    state.SkipWithError("init");
  }
  const int32_t matches = w.GetLastPosition();
  std::mt19937 rng(1);
  for (auto _ : state) {
    state.PauseTiming();
    w.SetPosition(1 + static_cast<int32_t>(rng() % matches));
    state.ResumeTiming();
    benchmark::DoNotOptimize(w.GetPosition());
  }
}

void BM_SpecialSetPosition(benchmark::State& state) {
  Wdbase w;
  if (!Open(&w, state.range(0)) ||
      !w.SpecialFilterInit("QTY > 0", false, false)) {
    state.SkipWithError("init");
  }
  const int32_t matches = w.GetLastPosition();
  std::mt19937 rng(2);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        w.SetPosition(1 + static_cast<int32_t>(rng() % matches)));
  }
}

void BM_WalkCount(benchmark::State& state) {
  Wdbase w;
  if (!Open(&w, state.range(0)) || !w.SetFilter(HideNegative)) {
    state.SkipWithError("filter");
  }
  for (auto _ : state) {
    int32_t n = 0;
    for (int ok = w.Top(); ok; ok = w.Next()) ++n;
    benchmark::DoNotOptimize(n);
  }
}

void BM_WalkPosition(benchmark::State& state) {
  Wdbase w;
  if (!Open(&w, state.range(0)) || !w.SetFilter(HideNegative)) {
    state.SkipWithError("filter");
  }
  std::vector<int32_t> visible;
  for (int ok = w.Top(); ok; ok = w.Next()) visible.push_back(w.RecNo());
  std::mt19937 rng(1);
  for (auto _ : state) {
    const int32_t target = visible[rng() % visible.size()];
    int32_t pos = 0;
    for (int ok = w.Top(); ok; ok = w.Next()) {
      ++pos;
      if (w.RecNo() == target) break;
    }
    benchmark::DoNotOptimize(pos);
  }
}

#define SIZES Arg(2000)->Arg(20000)->Arg(99000)
BENCHMARK(BM_SpecialFilterInit)->SIZES->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpecialGetLastPosition)->SIZES;
BENCHMARK(BM_SpecialGetPosition)->SIZES;
BENCHMARK(BM_SpecialSetPosition)->SIZES;
BENCHMARK(BM_WalkCount)->SIZES->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkPosition)->SIZES->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  platform::Env::Current()->DeleteTree(Dir());
  return 0;
}
