// Unit conversion: WY_UnitConversion::Convert of 10-colorant lists over a
// data set of 40 colorants and 5 bases, for the main pairs of kinds and the
// base form. Reported as conversions per second (items_per_second).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_unit_conversion.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

constexpr int kColorants = 40;
constexpr int kList = 10;

struct DataSet {
  platform::ScopedTempDrives drives;
  CMixtableEx ts;
  WY_UnitConversion uc;
  DataSet() {
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    for (int id = 1; id <= kColorants; ++id)
      b.Append(Y_CNTS, {{"ID", mixtable_testing::Id(id)},
                        {"SPEC_W", std::to_string(900 + 17 * id)},
                        {"LOADING", std::to_string(20 + 2 * id)}});
    for (int id = 1; id <= 5; ++id)
      b.Append(Y_BASES, {{"ID", mixtable_testing::Id(id)},
                         {"SPEC_W", std::to_string(1200 + 30 * id)}});
    ts.SetDataDir("c:\\gdata\\");
    uc.Initialize(&ts.Mixtable());
  }
};

DataSet& Data() {
  static DataSet* d = new DataSet();
  return *d;
}

// Ten colorants spread over the table, quantities of a few grams.
void MakeList(int round, std::vector<int32_t>* ids, std::vector<double>* q) {
  ids->resize(kList);
  q->resize(kList);
  for (int i = 0; i < kList; ++i) {
    (*ids)[i] = 1 + (round * 7 + i * 3) % kColorants;
    (*q)[i] = 0.5 + ((round + i) % 13) * 1.25;
  }
}

void BM_Convert(benchmark::State& state) {
  DataSet& d = Data();
  const int from = static_cast<int>(state.range(0));
  const int to = static_cast<int>(state.range(1));
  std::vector<int32_t> ids;
  std::vector<double> src, q;
  MakeList(1, &ids, &src);
  int64_t failed = 0;
  for (auto _ : state) {
    q = src;
    double total = 1000;
    if (!d.uc.Convert(ids.data(), q.data(), kList, from, to, total, 0))
      ++failed;
    benchmark::DoNotOptimize(q.data());
  }
  state.SetItemsProcessed(state.iterations());
  if (failed) state.SkipWithError("a conversion failed");
}
BENCHMARK(BM_Convert)
    ->ArgNames({"from", "to"})
    ->Args({WY_UNIT_VOLUME_PARTS, WY_UNIT_WEIGHT_PARTS})
    ->Args({WY_UNIT_PIGMENT, WY_UNIT_VOLUME_PARTS})
    ->Args({WY_UNIT_WEIGHT_PARTS, WY_UNIT_VOLUME})
    ->Args({WY_UNIT_VOLUME, WY_UNIT_WEIGHT_SMALL})
    ->Args({WY_UNIT_WEIGHT, WY_UNIT_PIGMENT});

void BM_ConvertWithBase(benchmark::State& state) {
  DataSet& d = Data();
  std::vector<int32_t> ids;
  std::vector<double> src, q;
  MakeList(2, &ids, &src);
  int64_t failed = 0;
  for (auto _ : state) {
    q = src;
    double base = 1000;
    if (!d.uc.Convert(3, &base, ids.data(), q.data(), kList, WY_UNIT_VOLUME,
                      WY_UNIT_WEIGHT, 700))
      ++failed;
    benchmark::DoNotOptimize(q.data());
  }
  state.SetItemsProcessed(state.iterations());
  if (failed) state.SkipWithError("a conversion failed");
}
BENCHMARK(BM_ConvertWithBase);

void BM_SingleConvert(benchmark::State& state) {
  DataSet& d = Data();
  std::vector<int32_t> ids;
  std::vector<double> q;
  MakeList(3, &ids, &q);
  for (auto _ : state)
    benchmark::DoNotOptimize(d.uc.SingleConvert(
        ids.data(), q.data(), kList, 1.0, WY_UNIT_VOLUME, WY_UNIT_WEIGHT));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SingleConvert);

}  // namespace

BENCHMARK_MAIN();
