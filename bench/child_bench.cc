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
//   FrmFilters       20 special filters per FRM below 100 000 records,
//                    registered and opened as the builder does: Arg 0 the
//                    colorant macros calling a routine of our own that
//                    counts its calls and the time inside it; Arg 1 a
//                    condition without CX calls matching about the same
//                    records (the colorant as a token of FORMULA): the
//                    engine's share without the routine.
//   WalkFormulas     20 passes over the walking FRM reading and parsing
//                    every FORMULA: the work of the colorant routine on the
//                    walking path, without the engine's expression.
//   ApplyFrm         Card_Apply of the rules to every FRM of a copy of the
//                    data set (macro cards, or with Arg 1 the macro-free
//                    conditions instead): the 20 macro filters.
//   CreateChild      the whole build with copy, prune and swap (Arg 0
//                    macro cards, Arg 1 macro-free conditions), with the
//                    copy's time measured apart.
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
#include "xbase32/wdbase_cx.h"

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

// The colorant routine's work (the record's FORMULA read and tested by
// Wy_GDataChild::FormulaHoldsColorant) as a CX routine of our own that
// counts its calls and the time spent inside.
struct TimedColorantRoutine {
  int64_t calls = 0;
  Clock::duration inside{};
  WdbaseCxRoutine Routine() {
    return [this](const WdbaseRecordView& record, const WdbaseCxCall& call,
                  std::string* result) {
      const auto t0 = Clock::now();
      std::string text;
      const bool hit =
          record.Field(kCntRoutineField, &text) &&
          Wy_GDataChild::FormulaHoldsColorant(text.data(), text.size(),
                                              static_cast<int32_t>(call.value));
      *result = hit ? "1" : "0";
      inside += Clock::now() - t0;
      ++calls;
    };
  }
};

// The condition of a colorant card as the builder applies it: the macro
// with its placeholders replaced by the routine's handle and the colorant
// id. Empty on failure.
std::string MacroCondition(Wy_GDataChild* child, int32_t cnt, int32_t handle) {
  std::string expr;
  if (!child->MakeCntFunctionMacro(expr, cnt) ||
      !child->ConvertCntFunctionMacro(expr, cnt, std::to_string(handle).c_str(),
                                      std::to_string(cnt).c_str()))
    return "";
  return expr;
}

// 20 special filters per FRM below the limit, registered with the engine
// and opened as `"token"!" "`, as the builder does: Arg 0 the colorant
// macro calling the counting routine, Arg 1 the macro-free condition,
// Arg 2 the macro expanded by the builder (ExpandCntMacros, its own
// routine).
void BM_FrmFilters(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  const int mode = static_cast<int>(state.range(0));
  const bool macro = mode == 0;
  double records = 0, matches = 0, filters = 0, wall = 0, cpu = 0;
  TimedColorantRoutine timed;
  Wy_GDataChild child;
  child.InitInDummyMode();
  for (auto _ : state) {
    records = matches = filters = 0;
    timed = TimedColorantRoutine();
    Stopwatch sw;
    for (const World::Level& level : w.levels) {
      Wdbase t;
      if (!OpenTable(&t, kSrc + level.dir, Y_FRM)) continue;
      const int32_t n = t.RecCount();
      if (n > kFilterLimit) continue;
      const int32_t handle = macro ? WdbaseRegisterCx(&t, timed.Routine()) : 0;
      for (int32_t c = 1; c <= kDeletedColorants; ++c) {
        std::string cond;
        if (mode == 0) {
          cond = MacroCondition(&child, c, handle);
        } else if (mode == 1) {
          cond = MacroFreeCondition(c);
        } else if (child.MakeCntFunctionMacro(cond, c) &&
                   !child.ExpandCntMacros(t, cond)) {
          cond.clear();
        }
        char token[32];
        if (cond.empty() || !t.StringToPtr(cond.data(), token, true)) {
          state.SkipWithError("expression not made or not registered");
          return;
        }
        const std::string filter = std::string("\"") + token + "\"!\" \"";
        if (!t.SpecialFilterInit(filter.c_str(), false, true)) {
          state.SkipWithError(("special filter refused: " + cond).c_str());
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
  const double inside = std::chrono::duration<double>(timed.inside).count();
  state.counters["filters"] = filters;
  state.counters["records_evaluated"] = records;
  state.counters["matches"] = matches;
  state.counters["wall_s"] = wall;
  state.counters["cpu_s"] = cpu;
  state.counters["us_per_record"] = records > 0 ? cpu * 1e6 / records : 0;
  if (macro) {
    state.counters["routine_calls"] = static_cast<double>(timed.calls);
    state.counters["routine_s"] = inside;
    state.counters["routine_share_of_wall"] = wall > 0 ? inside / wall : 0;
    state.counters["routine_share_of_cpu"] = cpu > 0 ? inside / cpu : 0;
  }
}

// Replaces the value of every colorant macro card by the macro-free
// condition of its colorant. Answers how many were replaced.
int ReplaceMacroCards(Wy_GDataChild* child) {
  int n = 0;
  for (int pos = 0; pos < static_cast<int>(child->Cards().size()); ++pos) {
    Wy_GDataChild::Card card;
    int32_t cnt = 0;
    if (!child->Card_Get(pos, card) ||
        !child->IsCntFunctionRequired(card.value.c_str(), cnt))
      continue;
    child->Card_Set(
        pos, Wy_GDataChild::Card_Make(
                 card.section.c_str(), card.database.c_str(), card.code.c_str(),
                 card.key.c_str(), MacroFreeCondition(cnt).c_str()));
    ++n;
  }
  return n;
}

// Card_Apply of the rules to every FRM of a fresh copy of the data set
// (the levels of the deleted product left out, as the build prunes them):
// Arg 0 the colorant macros, Arg 1 the macro-free conditions instead. Only
// the Card_Apply calls are timed; the walking FRM is timed apart.
void BM_ApplyFrm(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  Wy_GDataChild child;
  std::string why;
  if (!MakeRules(&child, &why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  if (state.range(0) == 1) ReplaceMacroCards(&child);
  double wall = 0, cpu = 0, walk_wall = 0, walk_cpu = 0, before = 0, after = 0;
  for (auto _ : state) {
    state.PauseTiming();
    env()->DeleteTree(kDst);
    if (!env()->CopyTree(kSrc, kDst).ok()) {
      state.SkipWithError("copy failed");
      break;
    }
    wall = cpu = walk_wall = walk_cpu = before = after = 0;
    state.ResumeTiming();
    for (const World::Level& level : w.levels) {
      if (level.prd == kDeletedProduct) continue;
      const std::string dir = kDst + level.dir;
      Wdbase t;
      if (!OpenTable(&t, dir, Y_FRM)) continue;
      const int32_t n = t.RecCount();
      t.Close();
      before += n;
      Stopwatch sw;
      const int r = child.Card_Apply(dir.c_str(), Y_FRM, level.prd, level.spd);
      (n > kFilterLimit ? walk_wall : wall) += sw.Wall();
      (n > kFilterLimit ? walk_cpu : cpu) += sw.Cpu();
      if (r < 0) {
        state.SkipWithError(("Card_Apply failed in " + dir).c_str());
        break;
      }
      if (OpenTable(&t, dir, Y_FRM)) after += t.RecCount();
    }
  }
  state.counters["frm_before"] = before;
  state.counters["frm_after"] = after;
  state.counters["filtered_wall_s"] = wall;
  state.counters["filtered_cpu_s"] = cpu;
  state.counters["walk_wall_s"] = walk_wall;
  state.counters["walk_cpu_s"] = walk_cpu;
}

long PeakKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// FRM records of the child at every level left; the walking FRM apart.
void CountChildFormulas(const World& w, double* filtered, double* walked) {
  *filtered = *walked = 0;
  for (const World::Level& level : w.levels) {
    Wdbase t;
    if (!OpenTable(&t, kDst + level.dir, Y_FRM)) continue;
    const int32_t walk = child_bench::WalkProduct(w.shape);
    (walk > 0 && level.prd == walk ? *walked : *filtered) += t.RecCount();
  }
}

// The whole build: CreateChild copying the source into the staging
// directory, pruning product 1, applying the rules to every table of every
// level and swapping the child in. Arg 0 the colorant macros, Arg 1 the
// macro-free conditions instead: the difference is the colorant routine's
// share (the macro-free condition also matches colorant ids written as
// quantities, so it deletes a few more records). The copy alone (CopyTree
// of the source) is measured beside it.
void BM_CreateChild(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  double wall = 0, cpu = 0, copy_wall = 0, copy_cpu = 0, frm = 0, walk = 0;
  int result = 0;
  bool pruned = false;
  for (auto _ : state) {
    state.PauseTiming();
    env()->DeleteTree(kDst);
    {
      Stopwatch sw;
      const bool copied = env()->CopyTree(kSrc, kDst).ok();
      copy_wall = sw.Wall();
      copy_cpu = sw.Cpu();
      env()->DeleteTree(kDst);
      if (!copied) {
        state.SkipWithError("copy failed");
        break;
      }
    }
    Wy_GDataChild child;
    std::string why;
    if (!MakeRules(&child, &why)) {
      state.SkipWithError(why.c_str());
      break;
    }
    if (state.range(0) == 1) ReplaceMacroCards(&child);
    state.ResumeTiming();
    Stopwatch sw;
    result = child.CreateChild(nullptr, true);
    wall = sw.Wall();
    cpu = sw.Cpu();
    state.PauseTiming();
    if (result != 1) {
      state.SkipWithError(
          ("CreateChild answered " + std::to_string(result)).c_str());
      break;
    }
    CountChildFormulas(w, &frm, &walk);
    uint32_t attrs = 0;
    pruned = !env()->GetAttributes(std::string(kDst) + "P1", &attrs).ok();
    state.ResumeTiming();
  }
  state.counters["result"] = result;
  state.counters["wall_s"] = wall;
  state.counters["cpu_s"] = cpu;
  state.counters["copy_wall_s"] = copy_wall;
  state.counters["copy_cpu_s"] = copy_cpu;
  state.counters["frm_left"] = frm;
  state.counters["walk_frm_left"] = walk;
  state.counters["product_pruned"] = pruned;
  state.counters["peak_kb"] = static_cast<double>(PeakKb());
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
BENCHMARK(BM_WalkFormulas)->Iterations(1)->Unit(benchmark::kMillisecond);
// Arg 0: colorant macros with the counting routine, 1: the macro-free
// conditions, 2: the builder's own routine.
BENCHMARK(BM_FrmFilters)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplyFrm)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
// Arg 0: colorant macros, 1: the macro-free conditions.
BENCHMARK(BM_CreateChild)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
