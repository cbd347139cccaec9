// CMixtableEx::Convert of a 20-field table with one field widened, beside
// the engine's WdbaseCopyUpdateDb doing the same rebuild, with the process's
// peak resident memory after each (getrusage). Sizes 50 000 and 200 000
// records: the peak must not grow with the table.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace {

constexpr int kFields = 20;
constexpr int kWidened = 4;  // F05: C 8 in the table, C 12 in the dictionary

platform::Env* env() { return platform::Env::Current(); }

// Field k: even C 10, odd N 10.2; F05 as above.
WDBASE_FIELD FieldDef(int k, bool dictionary) {
  WDBASE_FIELD f{};
  std::snprintf(f.name, sizeof f.name, "F%02d", k + 1);
  f.type = k % 2 ? 'N' : 'C';
  f.len = 10;
  f.dec = k % 2 ? 2 : 0;
  if (k == kWidened) f.len = dictionary ? 12 : 8;
  return f;
}

const std::string& Root() {
  static const std::string root = [] {
    const std::string d = env()->TempDir() + "/kalvo_convert_bench_" +
                          std::to_string(env()->CurrentProcessId());
    env()->DeleteTree(d);
    env()->CreateDir(d);
    env()->SetEnv("KALVO_DRIVES", d + "/drives");
    env()->CreateDir("c:\\gdata");
    std::string names, types, lens, kinds;
    for (int k = 0; k < kFields; ++k) {
      const WDBASE_FIELD f = FieldDef(k, true);
      const char* sep = k ? ";" : "";
      names += sep + std::string(f.name);
      types += sep + std::string(1, f.type);
      lens += sep + std::to_string(f.len) +
              (f.dec ? "." + std::to_string(f.dec) : "");
      kinds += sep + std::string("R");
    }
    const std::string text =
        "[DBF\nDBF_CNT_BLND_KIND=T\nDBF_CNT_BLND_FNAME=" + names +
        "\nDBF_CNT_BLND_FTYPE=" + types + "\nDBF_CNT_BLND_FLEN=" + lens +
        "\nDBF_CNT_BLND_FKIND=" + kinds + "\n]\n";
    std::unique_ptr<platform::File> file;
    env()->OpenFile(d + "/DataBase.DCT", platform::OpenMode::kCreateAlways,
                    &file);
    file->WriteAt(0, text.data(), text.size());
    env()->SetEnv("KALVO_DCT", d + "/DataBase.DCT");
    return d;
  }();
  return root;
}

// The master table of n records, built once per size.
std::string Master(int n) {
  Root();
  const std::string name = "m" + std::to_string(n) + ".dbf";
  const std::string path = "c:\\gdata\\" + name;
  if (env()->FileExists(path)) return path;
  std::vector<WDBASE_FIELD> defs;
  for (int k = 0; k < kFields; ++k) defs.push_back(FieldDef(k, false));
  defs.push_back(WDBASE_FIELD{});
  Wdbase t;
  t.SetFiles("c:\\gdata\\", name.c_str(), 0, nullptr, nullptr);
  t.CreateDb(defs.data());
  t.Open();
  t.Lock();
  const int flush = Wdbase::FlushSet(0);
  for (int r = 0; r < n; ++r) {
    t.AppendBlank();
    char* p = t.RecordBufferPtr();
    for (int k = 0; k < kFields; ++k) {
      const WDBASE_FIELD f = FieldDef(k, false);
      char buf[32];
      if (f.type == 'N') {
        std::snprintf(buf, sizeof buf, "%10.2f", (r % 100000) / 100.0 + k);
      } else {
        std::snprintf(buf, sizeof buf, "%-10.*s", static_cast<int>(f.len),
                      ("R" + std::to_string(r)).c_str());
      }
      std::memcpy(p, buf, static_cast<size_t>(f.len));
      p += f.len;
    }
    t.RecordBufferWrite();
    if (r % 4096 == 4095) {
      t.Flush();
      t.Lock();
    }
  }
  Wdbase::FlushSet(flush);
  t.Unlock();
  t.Close();
  return path;
}

double PeakMb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;
}

void Restore(int n) {
  env()->CopyFile(Master(n), "c:\\gdata\\cnt_blnd.dbf", false);
}

void BM_Convert(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  CMixtableEx ts;
  ts.SetDataDir("c:\\gdata\\");
  for (auto _ : state) {
    state.PauseTiming();
    Restore(n);
    state.ResumeTiming();
    std::vector<std::string> log;
    if (ts.Convert(Y_CNT_BLND, nullptr, log, true) != 1)
      state.SkipWithError("Convert failed");
  }
  state.counters["records/s"] =
      benchmark::Counter(n, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["peak_rss_MB"] = PeakMb();
}

void BM_CopyUpdateDb(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<WDBASE_FIELD> defs;
  for (int k = 0; k < kFields; ++k) defs.push_back(FieldDef(k, true));
  defs.push_back(WDBASE_FIELD{});
  for (auto _ : state) {
    state.PauseTiming();
    Restore(n);
    state.ResumeTiming();
    Wdbase src;
    src.SetFiles("c:\\gdata\\", "cnt_blnd", 0, nullptr, nullptr);
    if (!src.Open() || !WdbaseCopyUpdateDb(&src, nullptr, defs.data(), nullptr))
      state.SkipWithError("WdbaseCopyUpdateDb failed");
  }
  state.counters["records/s"] =
      benchmark::Counter(n, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["peak_rss_MB"] = PeakMb();
}

BENCHMARK(BM_Convert)
    ->Arg(50000)
    ->Arg(200000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyUpdateDb)
    ->Arg(50000)
    ->Arg(200000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
