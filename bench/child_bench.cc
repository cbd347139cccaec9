// The child builder on a generated data set (child_data_set.h): formulas
// spread over the root, 4 products and 12 sub-products, 60 colorants, and
// one product whose FRM is large enough to be walked instead of filtered.
// The rules delete 20 colorants (each a colorant macro card on FRM in every
// section, so 20 special filters over every formula, plus masks, rulers,
// K/S and blends) and product 1 (its directory pruned, its product-keyed
// root records deleted).
//
// Benchmarks:
//   RuleFile         the 20 colorant deletions and the product deletion
//                    read from the source, written as a rule file and read
//                    back.
//   MacroFreeFilters 20 special filters per FRM below 100 000 records with
//                    a condition without CX calls that matches about the
//                    same records (the colorant as a token of FORMULA),
//                    registered and filtered as the builder does: the
//                    engine's share without the colorant routine.
//   WalkFormulas     20 passes over the walking FRM reading and parsing
//                    every FORMULA: the work of the colorant routine on the
//                    walking path, without the engine's expression.
//   ApplyFrm         Card_Apply of the rules to every FRM of a copy of the
//                    data set (macro cards, or with Arg 1 the macro-free
//                    conditions instead): the 20 macro filters.
// Counters give wall and CPU seconds (getrusage) of the measured work: the
// machine is shared, CPU time is the meaningful figure.
//
// Sizes (a plain run is quick; the full figures need the environment):
//   KALVO_CHILD_FORMULAS   formulas over the levels (default 10 000)
//   KALVO_CHILD_WALK       records of the walking FRM (default 0: none;
//                          150 000 for the full figures)
//
//   KALVO_CHILD_FORMULAS=100000 KALVO_CHILD_WALK=150000
//   build-rel/bench/child_bench

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "child_data_set.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_gdata_child.h"
#include "mixtable/yformula.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "xbase32/wdbase.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kSrc[] = "c:\\gdata\\";
constexpr char kDst[] = "c:\\child\\";
constexpr char kRules[] = "c:\\rules\\child.rul";
constexpr int kDeletedColorants = 20;  // ids 1..20
constexpr int32_t kDeletedProduct = 1;
// The special filter's limit: larger tables are walked.
constexpr int32_t kFilterLimit = 99999;

platform::Env* env() { return platform::Env::Current(); }

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Wall and CPU seconds of one measured stretch.
struct Stopwatch {
  Clock::time_point wall0 = Clock::now();
  double cpu0 = CpuSeconds();
  double Wall() const {
    return std::chrono::duration<double>(Clock::now() - wall0).count();
  }
  double Cpu() const { return CpuSeconds() - cpu0; }
};

// The source data set, made once per process below temporary drives.
struct World {
  platform::ScopedTempDrives drives;
  child_bench::Shape shape;
  std::string error;
  double build_wall = 0, build_cpu = 0;
  // Level directories holding an FRM: (directory, prd, spd).
  struct Level {
    std::string dir;
    int32_t prd, spd;
  };
  std::vector<Level> levels;

  World() {
    env()->SetEnv("KALVO_LOGDIR", drives.dir());
    shape.formulas = child_bench::SizeFromEnv("KALVO_CHILD_FORMULAS", 10000);
    shape.walk_records = child_bench::SizeFromEnv("KALVO_CHILD_WALK", 0);
    Stopwatch sw;
    if (!child_bench::Build(kSrc, shape, &error)) return;
    build_wall = sw.Wall();
    build_cpu = sw.Cpu();
    levels.push_back({"", 0, 0});
    for (int32_t p = 1; p <= shape.products; ++p) {
      const std::string pd = "P" + std::to_string(p) + "\\";
      levels.push_back({pd, p, 0});
      for (int32_t s = 1; s <= shape.subproducts; ++s)
        levels.push_back({pd + "S" + std::to_string(s) + "\\", p, s});
    }
    if (child_bench::WalkProduct(shape) > 0)
      levels.push_back({"WALK\\", child_bench::WalkProduct(shape), 0});
  }
};

World& TheWorld() {
  static World* world = new World();  // lives until the process ends
  return *world;
}

bool Ready(benchmark::State& state) {
  if (!TheWorld().error.empty()) {
    state.SkipWithError(TheWorld().error.c_str());
    return false;
  }
  return true;
}

// A table of the data set opened through a handle of its own.
bool OpenTable(Wdbase* t, const std::string& dir, int table) {
  t->SetFiles(&WyGetFileInfo(table)->def);
  t->SetPath(dir.c_str());
  return t->Access(0) && t->Open();
}

// The colorant as a token of FORMULA: the same records as the colorant
// macro, and also those holding the id as a whole-number quantity.
std::string MacroFreeCondition(int32_t cnt) {
  return "(\"," + std::to_string(cnt) + ",\"$(\",\"+TRIM(FORMULA)+\",\"))";
}

// The rules: 20 colorants and one product deleted with their dependents.
bool MakeRules(Wy_GDataChild* child, std::string* why) {
  if (!child->Init(kSrc, kDst, "Bench child", false)) {
    *why = "Init refused";
    return false;
  }
  for (int32_t c = 1; c <= kDeletedColorants; ++c) {
    if (!child->DeleteRecord(c, Y_CNTS, 0, 0)) {
      *why = "colorant " + std::to_string(c) + " not deleted";
      return false;
    }
  }
  if (!child->DeleteRecord(kDeletedProduct, Y_PRODUCTS, 0, 0)) {
    *why = "product not deleted";
    return false;
  }
  return true;
}

int CountMacroCards(const std::vector<std::string>& cards) {
  int n = 0;
  for (const std::string& c : cards) n += c.find("@CNT_F") != c.npos;
  return n;
}

void BM_RuleFile(benchmark::State& state) {
  if (!Ready(state)) return;
  env()->CreateDir("c:\\rules");
  size_t cards = 0;
  int macros = 0;
  for (auto _ : state) {
    Wy_GDataChild child;
    std::string why;
    if (!MakeRules(&child, &why)) {
      state.SkipWithError(why.c_str());
      break;
    }
    Wy_GDataChild back;
    if (!child.Write(kRules) || !back.Read(kRules)) {
      state.SkipWithError("rule file not written or not read back");
      break;
    }
    cards = back.Cards().size();
    macros = CountMacroCards(back.Cards());
  }
  state.counters["cards"] = static_cast<double>(cards);
  state.counters["macro_cards"] = macros;
}

void BM_MacroFreeFilters(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  double records = 0, matches = 0, filters = 0, wall = 0, cpu = 0;
  for (auto _ : state) {
    records = matches = filters = 0;
    Stopwatch sw;
    for (const World::Level& level : w.levels) {
      Wdbase t;
      if (!OpenTable(&t, kSrc + level.dir, Y_FRM)) continue;
      const int32_t n = t.RecCount();
      if (n > kFilterLimit) continue;
      for (int32_t c = 1; c <= kDeletedColorants; ++c) {
        std::string cond = MacroFreeCondition(c);
        char token[32];
        if (!t.StringToPtr(cond.data(), token, true)) {
          state.SkipWithError("expression not registered");
          return;
        }
        const std::string filter = std::string("\"") + token + "\"!\" \"";
        if (!t.SpecialFilterInit(filter.c_str(), false, true)) {
          state.SkipWithError(("special filter refused: " + filter).c_str());
          return;
        }
        matches += t.GetLastPosition();
        t.SpecialFilterQuit();
        records += n;
        ++filters;
      }
    }
    wall = sw.Wall();
    cpu = sw.Cpu();
  }
  state.counters["filters"] = filters;
  state.counters["records_evaluated"] = records;
  state.counters["matches"] = matches;
  state.counters["wall_s"] = wall;
  state.counters["cpu_s"] = cpu;
  state.counters["us_per_record"] = records > 0 ? cpu * 1e6 / records : 0;
}

void BM_WalkFormulas(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  if (child_bench::WalkProduct(w.shape) == 0) {
    state.SkipWithError("no walking table (set KALVO_CHILD_WALK)");
    return;
  }
  double records = 0, hits = 0, wall = 0, cpu = 0;
  for (auto _ : state) {
    records = hits = 0;
    Wdbase t;
    if (!OpenTable(&t, std::string(kSrc) + "WALK\\", Y_FRM)) {
      state.SkipWithError("walking FRM does not open");
      return;
    }
    Stopwatch sw;
    std::vector<YFormulaPair> pairs;
    yformula f;
    for (int32_t c = 1; c <= kDeletedColorants; ++c) {
      for (int ok = t.Top(); ok && !t.Eof(); ok = t.Next()) {
        const char* text = t.Read("FORMULA", 1, 1);
        f.set(text ? text : "");
        if (f.parse(&pairs)) {
          for (const YFormulaPair& p : pairs) {
            if (p.id == c) {
              ++hits;
              break;
            }
          }
        }
        ++records;
      }
    }
    wall = sw.Wall();
    cpu = sw.Cpu();
  }
  state.counters["records_visited"] = records;
  state.counters["hits"] = hits;
  state.counters["wall_s"] = wall;
  state.counters["cpu_s"] = cpu;
  state.counters["us_per_record"] = records > 0 ? cpu * 1e6 / records : 0;
}

void BM_Generate(benchmark::State& state) {
  if (!Ready(state)) return;
  for (auto _ : state) {
  }
  const World& w = TheWorld();
  state.counters["formulas"] = w.shape.formulas;
  state.counters["walk_records"] = w.shape.walk_records;
  state.counters["wall_s"] = w.build_wall;
  state.counters["cpu_s"] = w.build_cpu;
}

}  // namespace

BENCHMARK(BM_Generate)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RuleFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MacroFreeFilters)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkFormulas)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
