// User data items of 10 000 colorants (cost and specific weight, 20 000
// item lines) taken out of a data set, and written back into it (each item
// found by its id through the index). Target: taken and written back in
// under 1 s.
//
//   build/bench/user_data_bench

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_user_data.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"
#include "xbase32/wdbase.h"

namespace {

constexpr int kColorants = 10000;
constexpr char kDir[] = "c:\\gdata\\";

// The data set: kColorants colorants with costs, one base, one can.
bool Build() {
  mixtable_testing::DataSetBuilder b(kDir);
  if (!b.Append(Y_BASES, {{"ID", mixtable_testing::Id(1)}}) ||
      !b.Append(Y_CANS, {{"ID", mixtable_testing::Id(1)}}) || !b.Create(Y_CNTS))
    return false;
  const int old = Wdbase::FlushSet(0);
  CMixtableEx ts;
  ts.SetDataDir(kDir);
  Wdbase* db = ts.Mixtable().Handle(Y_CNTS);
  bool ok = ts.Mixtable().Open(db) != 0;
  for (int id = 1; ok && id <= kColorants; ++id)
    ok = db->AppendBlank() && db->WriteLong("ID", id) &&
         db->WriteString("CODE", ("C" + std::to_string(id)).c_str()) &&
         db->WriteString("DESCR", ("Colorant " + std::to_string(id)).c_str()) &&
         db->WriteDouble("SPEC_W", 1000 + id % 900) &&
         db->WriteDouble("COST", id * 0.125) && db->WriteLong("PROD_KEY", 0) &&
         db->WriteLong("SUBP_KEY", 0);
  ok = ok && db->Flush();
  ts.Mixtable().CloseAll();
  Wdbase::FlushSet(old);
  return ok;
}

class Fixture : public benchmark::Fixture {
 public:
  void SetUp(benchmark::State& state) override {
    drives_ = std::make_unique<platform::ScopedTempDrives>();
    if (!Build()) state.SkipWithError("cannot build the data set");
    if (!Wy_CreateGDataUserDataGroup(group_, kDir, nullptr, false, true, true,
                                     false, false, false, false))
      state.SkipWithError("no group");
  }
  void TearDown(benchmark::State&) override { drives_.reset(); }

 protected:
  std::unique_ptr<platform::ScopedTempDrives> drives_;
  std::vector<std::string> group_;
};

BENCHMARK_DEFINE_F(Fixture, TakeItems)(benchmark::State& state) {
  std::vector<std::string> items;
  for (auto _ : state) {
    if (!Wy_GetGDataUserDataItem(group_, items, kDir, nullptr))
      state.SkipWithError("items not taken");
  }
  state.counters["item_lines"] = static_cast<double>(items.size() - 1);
}

BENCHMARK_DEFINE_F(Fixture, WriteItemsBack)(benchmark::State& state) {
  std::vector<std::string> items;
  if (!Wy_GetGDataUserDataItem(group_, items, kDir, nullptr))
    state.SkipWithError("items not taken");
  for (auto _ : state) {
    if (!Wy_SetGDataUserDataItem(group_, items, kDir, nullptr))
      state.SkipWithError("items not written");
  }
  state.counters["item_lines"] = static_cast<double>(items.size() - 1);
}

BENCHMARK_DEFINE_F(Fixture, TakeAndWriteBack)(benchmark::State& state) {
  std::vector<std::string> items;
  for (auto _ : state) {
    if (!Wy_GetGDataUserDataItem(group_, items, kDir, nullptr) ||
        !Wy_SetGDataUserDataItem(group_, items, kDir, nullptr))
      state.SkipWithError("round trip failed");
  }
}

BENCHMARK_REGISTER_F(Fixture, TakeItems)->Unit(benchmark::kMillisecond);
BENCHMARK_REGISTER_F(Fixture, WriteItemsBack)->Unit(benchmark::kMillisecond);
BENCHMARK_REGISTER_F(Fixture, TakeAndWriteBack)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
