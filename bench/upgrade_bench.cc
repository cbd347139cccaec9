// CMixtableEx::SelectGData on a generated data set: every registry table at
// the root, 3 products x 3 sub-products, FRM and FRM_REFL records spread
// over the levels (Arg: their number each), blends and K/S per product.
// The runs use a dictionary that is the project's DataBase.DCT with one
// field ("BENCH_X", C 10) added to FRM (KALVO_DCT). Three runs per size: a
// full run (tree check, FRM converted at every level, every table
// reindexed, product blends and K/S merged into the root, every changed
// table backed up; afterwards every FRM must have the field and every FRM
// and FRM_REFL record must be there); an automatic run with nothing to do
// (after a full run); a quick run. Counters: tables converted and merged,
// failures, wall and CPU seconds of the run (getrusage), the files, bytes
// and seconds spent saving into the backup area and their share of the
// run, and the peak resident memory of the process (peak_kb).

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_maintenance.h"
#include "mixtable/wy_upgrade.h"
#include "platform/env.h"
#include "testing/data_set_builder.h"
#include "xbase32/wdbase.h"

namespace {

platform::Env* env() { return platform::Env::Current(); }

long PeakKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

constexpr const char* kAddedField = "BENCH_X";

bool ReadText(const std::string& path, std::string* text) {
  std::unique_ptr<platform::File> f;
  uint64_t size = 0;
  if (!env()->OpenFile(path, platform::OpenMode::kReadOnly, &f).ok() ||
      !f->Size(&size).ok())
    return false;
  text->resize(size);
  size_t got = 0;
  return f->ReadAt(0, text->data(), size, &got).ok() && got == size;
}

// The project's dictionary with kAddedField (C 10) after FRM's last field,
// written to path. False when a line of FRM's definition is missing.
bool WriteDictionaryWithField(const std::string& path) {
  std::string text;
  if (!ReadText(KALVO_SOURCE_DCT, &text)) return false;
  const std::pair<const char*, std::string> adds[] = {
      {"DBF_FRM_FNAME=", std::string(";") + kAddedField},
      {"DBF_FRM_FTYPE=", ";C"},
      {"DBF_FRM_FLEN=", ";10"},
      {"DBF_FRM_FKIND=", ";T"}};
  for (const auto& [key, add] : adds) {
    const size_t at = text.find(std::string("\n") + key);
    if (at == std::string::npos) return false;
    size_t end = text.find('\n', at + 1);
    if (end == std::string::npos) end = text.size();
    if (end > at && text[end - 1] == '\r') --end;
    text.insert(end, add);
  }
  std::unique_ptr<platform::File> f;
  return env()->OpenFile(path, platform::OpenMode::kCreateAlways, &f).ok() &&
         f->WriteAt(0, text.data(), text.size()).ok();
}

// Records of table in dir; -1 when it does not open; *has_field whether
// it has kAddedField.
int32_t Count(const std::string& dir, int table, bool* has_field) {
  Wdbase t;
  t.SetFiles(&WyGetFileInfo(table)->def);
  t.SetPath(dir.c_str());
  if (!t.Open()) return -1;
  const int32_t n = t.RecCount();
  if (has_field) *has_field = t.FieldNo(kAddedField) > 0;
  t.Close();
  return n;
}

// After a full run: every FRM has the added field and the FRM and FRM_REFL
// records of all levels add up to formulas each. "" or what is wrong.
std::string CheckConverted(int32_t formulas) {
  int32_t frm = 0, refl = 0;
  std::string dirs[10] = {"c:\\gdata\\"};
  for (int p = 1, i = 1; p <= 3; ++p) {
    for (int s = 1; s <= 3; ++s, ++i) {
      dirs[i] =
          "c:\\gdata\\P" + std::to_string(p) + "\\S" + std::to_string(s) + "\\";
    }
  }
  for (const std::string& d : dirs) {
    bool has = false;
    const int32_t f = Count(d, Y_FRM, &has);
    const int32_t r = Count(d, Y_FRM_REFL, nullptr);
    if (f < 0 || r < 0) return "FRM or FRM_REFL does not open in " + d;
    if (!has) return std::string("FRM lacks ") + kAddedField + " in " + d;
    frm += f;
    refl += r;
  }
  if (frm != formulas || refl != formulas) {
    return "records lost: FRM " + std::to_string(frm) + ", FRM_REFL " +
           std::to_string(refl) + " of " + std::to_string(formulas);
  }
  return "";
}

std::string Id(int32_t id) {
  char b[16];
  std::snprintf(b, sizeof b, "%5ld", static_cast<long>(id));
  return b;
}

// Appends n records to a table through a handle of its own, in one lock.
void Fill(const std::string& dir, int table, int32_t n, int32_t first) {
  Wdbase t;
  t.SetFiles(&WyGetFileInfo(table)->def);
  t.SetPath(dir.c_str());
  if (!t.Open()) return;
  t.Lock();
  const int prev = Wdbase::FlushSet(0);
  for (int32_t i = 0; i < n; ++i) {
    t.AppendBlank();
    if (table == Y_FRM_REFL) {
      t.WriteString("FRM_ID", Id(first + i).c_str());
    } else {
      t.WriteString("ID", Id(first + i).c_str());
    }
    if (table == Y_FRM) t.WriteString("FORMULA", "1,10,2,5");
  }
  t.Flush();
  Wdbase::FlushSet(prev);
  t.Unlock();
  t.Close();
}

void Build(int32_t formulas) {
  env()->DeleteTree("c:\\gdata");
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  b.Append(Y_PARAM, {{"KEY", "DATAID"}, {"VALUE", "0000000042"}});
  for (int t = 0; t < Y_N_MAX; ++t) {
    if (WyGetFileInfo(t)->level_mask & Y_LEVEL_BASE) b.Create(t);
  }
  for (int p = 1; p <= 3; ++p) {
    b.AddProduct(p, "P" + std::to_string(p), "PRD");
    for (int s = 1; s <= 3; ++s)
      b.AddSubProduct(p, s, "S" + std::to_string(s), "SUB");
    for (int i = 1; i <= 20; ++i) {
      b.Append(Y_CNT_BLND, {{"ID", Id(i)}, {"PTR_ID", Id(i)}}, p);
      b.Append(Y_CNT_KS, {{"ID", Id(i)}}, p);
    }
  }
  // FRM and FRM_REFL: a share at the root, the rest per sub-product.
  const int32_t per = formulas / 10;
  Fill("c:\\gdata\\", Y_FRM, per, 1);
  Fill("c:\\gdata\\", Y_FRM_REFL, per, 1);
  int32_t next = per + 1;
  for (int p = 1; p <= 3; ++p) {
    for (int s = 1; s <= 3; ++s) {
      const std::string dir =
          "c:\\gdata\\P" + std::to_string(p) + "\\S" + std::to_string(s) + "\\";
      b.Create(Y_FRM, p, s);
      b.Create(Y_FRM_REFL, p, s);
      Fill(dir, Y_FRM, per, next);
      Fill(dir, Y_FRM_REFL, per, next);
      next += per;
    }
  }
}

void BM_SelectGData(benchmark::State& state) {
  const std::string root = env()->TempDir() + "/kalvo_upgrade_bench_" +
                           std::to_string(env()->CurrentProcessId());
  env()->DeleteTree(root);
  env()->CreateDir(root);
  env()->SetEnv("KALVO_DRIVES", root + "/drives");
  env()->SetEnv("KALVO_LOGDIR", root);
  const std::string dct = root + "/DataBase.DCT";
  if (!WriteDictionaryWithField(dct)) {
    state.SkipWithError("cannot write the dictionary with the added field");
    return;
  }
  const int32_t n = static_cast<int32_t>(state.range(0));
  const int mode = static_cast<int>(state.range(1));
  for (auto _ : state) {
    state.PauseTiming();
    // The set is made with the project's dictionary, checked with the one
    // that adds a field to FRM.
    env()->SetEnv("KALVO_DCT", KALVO_SOURCE_DCT);
    Build(n);
    env()->SetEnv("KALVO_DCT", dct);
    if (mode != 1) {  // a checked set: automatic and quick runs after one
      CMixtableEx ts;
      ts.SelectGData("c:\\gdata", nullptr, 1);
    }
    Wy_MaintenanceSaveStatsReset();
    const double cpu0 = CpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    state.ResumeTiming();
    CMixtableEx ts;
    const int r = ts.SelectGData("c:\\gdata", nullptr, mode);
    state.PauseTiming();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0)
            .count();
    const double cpu = CpuSeconds() - cpu0;
    const Wy_MaintenanceSaveStats saves = Wy_MaintenanceSaveStatsGet();
    if (r != 1) state.SkipWithError("SelectGData failed");
    if (r == 1 && mode == 1) {
      const std::string fault = CheckConverted(n);
      if (!fault.empty()) state.SkipWithError(fault.c_str());
    }
    const Wy_UpgradeReport& rep = Wy_LastUpgradeReport();
    state.counters["converted"] = rep.converted;
    state.counters["merged"] = rep.merged;
    state.counters["failed"] = rep.failed;
    state.counters["wall_s"] = wall;
    state.counters["cpu_s"] = cpu;
    state.counters["backup_files"] = static_cast<double>(saves.files);
    state.counters["backup_mb"] = static_cast<double>(saves.bytes) / 1048576.0;
    state.counters["backup_s"] = static_cast<double>(saves.nanoseconds) / 1e9;
    state.counters["backup_share"] =
        wall > 0 ? static_cast<double>(saves.nanoseconds) / 1e9 / wall : 0;
    state.ResumeTiming();
  }
  state.counters["peak_kb"] = static_cast<double>(PeakKb());
  env()->DeleteTree(root);
}

}  // namespace

// mode 1 full, 0 automatic, 16 quick; 10 000 and 100 000 FRM records (and
// as many FRM_REFL).
BENCHMARK(BM_SelectGData)
    ->ArgsProduct({{10000, 100000}, {1, 0, 16}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK_MAIN();
