// NTX indexes against SQLite on the same rows: building an index over a
// C(10) key (CREATE INDEX), random seeks (a prepared indexed SELECT), and
// appending to a table with two indexes, auto-flush off (inserts in one
// transaction into a table with two indexes). The builds and the appends
// also report the peak memory they added (VmHWM after resetting it), the
// builds with the default sort budget and with a small one that makes the
// sort spill runs to disk.
//
//   build/bench/ntx_bench --benchmark_filter=Build

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "key_sort.h"
#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace {

const std::string& Dir() {
  static const std::string dir = [] {
    platform::Env* env = platform::Env::Current();
    std::string d = env->TempDir() + "/kalvo_ntx_bench_" +
                    std::to_string(env->CurrentProcessId());
    env->DeleteTree(d);
    env->CreateDir(d);
    return d + "/";
  }();
  return dir;
}

// Key i: ten characters, in no order.
std::string Key(int64_t i) {
  char b[16];
  std::snprintf(b, sizeof b, "%010lld",
                static_cast<long long>((i * 2654435761LL) % 9999999967LL));
  return b;
}

std::string TableName(int64_t rows) { return "t" + std::to_string(rows); }

// The table of rows records (made once): NAME C(10), QTY N(8).
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
  w.SetFiles(Dir().c_str(), TableName(rows).c_str(), 0, nullptr, nullptr);
  w.CreateDb(f);
  w.Open();
  Wdbase::FlushSet(0);
  w.Lock();
  for (int64_t i = 0; i < rows; ++i) {
    w.AppendBlank();
    w.WriteString(1, Key(i).c_str());
    w.WriteLong(2, static_cast<int32_t>(i));
  }
  w.Unlock();
  Wdbase::FlushSet(1);
  w.Close();
  made.push_back(rows);
}

sqlite3* SqliteTable(int64_t rows) {
  const std::string path = Dir() + TableName(rows) + ".sqlite";
  const bool exists = platform::Env::Current()->FileExists(path);
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;",
               nullptr, nullptr, nullptr);
  if (exists) return db;
  sqlite3_exec(db, "CREATE TABLE t(name TEXT, qty INTEGER)", nullptr, nullptr,
               nullptr);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?, ?)", -1, &st, nullptr);
  for (int64_t i = 0; i < rows; ++i) {
    const std::string k = Key(i);
    sqlite3_bind_text(st, 1, k.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(st, 2, i);
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  return db;
}

// Resets the peak resident size of this process and answers the current
// size (kB); PeakKb answers the peak since.
int64_t StatusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field, 0) == 0)
      return std::atoll(line.c_str() + std::strlen(field));
  }
  return 0;
}
// With large_blocks_to_system, large blocks come from and go back to the
// system from then on, so that the peak shows what one build needs (not what
// earlier runs left in the heap); the appends keep the allocator as it is
// (their peak may then be a little low: heap memory freed before is reused).
int64_t ResetPeakKb(bool large_blocks_to_system = true) {
  static bool set = false;
  if (large_blocks_to_system && !set) {
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);
    set = true;
  }
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
  return StatusKb("VmRSS:");
}
int64_t PeakKb() { return StatusKb("VmHWM:"); }

// Building the index; range(1) is the sort budget in MiB (0: default).
void BM_NtxBuild(benchmark::State& state) {
  const int64_t rows = state.range(0);
  MakeTable(rows);
  size_t old = 0;
  if (state.range(1) > 0) {
    old =
        xbase32::SetSortMemoryLimit(static_cast<size_t>(state.range(1)) << 20);
  }
  Wdbase w;
  const char* names[] = {"bname"};
  const char* exprs[] = {"NAME"};
  w.SetFiles(Dir().c_str(), TableName(rows).c_str(), 1, names, exprs);
  platform::Env::Current()->DeleteFile(Dir() + "bname.ntx");
  if (!w.Open()) state.SkipWithError("open failed");
  int64_t added_kb = 0;
  for (auto _ : state) {
    const int64_t base = ResetPeakKb();
    if (!w.CreateIdx(1)) state.SkipWithError("build failed");
    added_kb = std::max(added_kb, PeakKb() - base);
  }
  w.Close();
  if (state.range(1) > 0) xbase32::SetSortMemoryLimit(old);
  state.counters["peak_added_MiB"] = static_cast<double>(added_kb) / 1024.0;
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_NtxBuild)
    ->ArgNames({"rows", "sort_MiB"})
    ->Args({100000, 0})
    ->Args({1000000, 0})
    ->Args({1000000, 4})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_SqliteCreateIndex(benchmark::State& state) {
  const int64_t rows = state.range(0);
  sqlite3* db = SqliteTable(rows);
  int64_t added_kb = 0;
  for (auto _ : state) {
    const int64_t base = ResetPeakKb();
    sqlite3_exec(db, "CREATE INDEX tn ON t(name)", nullptr, nullptr, nullptr);
    added_kb = std::max(added_kb, PeakKb() - base);
    state.PauseTiming();
    sqlite3_exec(db, "DROP INDEX tn", nullptr, nullptr, nullptr);
    state.ResumeTiming();
  }
  sqlite3_close(db);
  state.counters["peak_added_MiB"] = static_cast<double>(added_kb) / 1024.0;
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_SqliteCreateIndex)
    ->ArgName("rows")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

constexpr int kSeeks = 100000;

std::vector<std::string> SeekKeys(int64_t rows) {
  std::mt19937_64 rng(7);
  std::vector<std::string> keys;
  for (int i = 0; i < kSeeks; ++i) {
    keys.push_back(Key(static_cast<int64_t>(rng() % rows)));
  }
  return keys;
}

void BM_NtxSeek(benchmark::State& state) {
  const int64_t rows = state.range(0);
  MakeTable(rows);
  Wdbase w;
  const std::string name = "s" + std::to_string(rows);
  const char* names[] = {name.c_str()};
  const char* exprs[] = {"NAME"};
  w.SetFiles(Dir().c_str(), TableName(rows).c_str(), 1, names, exprs);
  if (!w.Open() || !w.SelectIdx(1)) state.SkipWithError("open failed");
  const std::vector<std::string> keys = SeekKeys(rows);
  int64_t found = 0;
  for (auto _ : state) {
    for (const std::string& k : keys) {
      found += w.Seek(k.c_str()) == 1;
      benchmark::DoNotOptimize(w.ReadLong(2));
    }
  }
  if (found != static_cast<int64_t>(state.iterations()) * kSeeks) {
    state.SkipWithError("a key was not found");
  }
  w.Close();
  state.SetItemsProcessed(state.iterations() * kSeeks);
}
BENCHMARK(BM_NtxSeek)
    ->ArgName("rows")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

void BM_SqliteSeek(benchmark::State& state) {
  const int64_t rows = state.range(0);
  sqlite3* db = SqliteTable(rows);
  sqlite3_exec(db, "CREATE INDEX IF NOT EXISTS sn ON t(name)", nullptr, nullptr,
               nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT qty FROM t WHERE name >= ? ORDER BY name LIMIT 1",
                     -1, &st, nullptr);
  const std::vector<std::string> keys = SeekKeys(rows);
  int64_t found = 0;
  for (auto _ : state) {
    for (const std::string& k : keys) {
      sqlite3_bind_text(st, 1, k.c_str(), -1, SQLITE_STATIC);
      if (sqlite3_step(st) == SQLITE_ROW) {
        ++found;
        benchmark::DoNotOptimize(sqlite3_column_int64(st, 0));
      }
      sqlite3_reset(st);
    }
  }
  benchmark::DoNotOptimize(found);
  sqlite3_finalize(st);
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations() * kSeeks);
}
BENCHMARK(BM_SqliteSeek)
    ->ArgName("rows")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

constexpr int kAppends = 100000;

// Appending to a table with two indexes (NAME and QTY), auto-flush off;
// range(0) = 1 brackets the appends with Lock/Unlock.
void BM_NtxAppendTwoIndexes(benchmark::State& state) {
  const bool lock = state.range(0) != 0;
  int64_t added_kb = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Wdbase w;
    WDBASE_FIELD f[3] = {};
    std::strcpy(f[0].name, "NAME");
    f[0].type = 'C';
    f[0].len = 10;
    std::strcpy(f[1].name, "QTY");
    f[1].type = 'N';
    f[1].len = 8;
    const char* names[] = {"aname", "aqty"};
    const char* exprs[] = {"NAME", "QTY"};
    w.SetFiles(Dir().c_str(), "app", 2, names, exprs);
    w.CreateDb(f);
    platform::Env::Current()->DeleteFile(Dir() + "aname.ntx");
    platform::Env::Current()->DeleteFile(Dir() + "aqty.ntx");
    if (!w.Open()) state.SkipWithError("open failed");
    Wdbase::FlushSet(0);
    const int64_t base = ResetPeakKb(false);
    state.ResumeTiming();
    if (lock) w.Lock();
    for (int i = 0; i < kAppends; ++i) {
      w.AppendBlank();
      w.WriteString(1, Key(i).c_str());
      w.WriteLong(2, i);
    }
    if (lock) w.Unlock();
    w.Flush();
    w.Close();
    state.PauseTiming();
    added_kb = std::max(added_kb, PeakKb() - base);
    Wdbase::FlushSet(1);
    state.ResumeTiming();
  }
  state.counters["peak_added_MiB"] = static_cast<double>(added_kb) / 1024.0;
  state.SetItemsProcessed(state.iterations() * kAppends);
}
BENCHMARK(BM_NtxAppendTwoIndexes)
    ->ArgName("locked")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

void BM_SqliteInsertTwoIndexes(benchmark::State& state) {
  int64_t added_kb = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string path = Dir() + "app.sqlite";
    platform::Env::Current()->DeleteFile(path);
    platform::Env::Current()->DeleteFile(path + "-wal");
    platform::Env::Current()->DeleteFile(path + "-shm");
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                 "CREATE TABLE t(name TEXT, qty INTEGER);"
                 "CREATE INDEX an ON t(name); CREATE INDEX aq ON t(qty);",
                 nullptr, nullptr, nullptr);
    const int64_t base = ResetPeakKb(false);
    state.ResumeTiming();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?, ?)", -1, &st, nullptr);
    for (int i = 0; i < kAppends; ++i) {
      const std::string k = Key(i);
      sqlite3_bind_text(st, 1, k.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int64(st, 2, i);
      sqlite3_step(st);
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    state.PauseTiming();
    added_kb = std::max(added_kb, PeakKb() - base);
    state.ResumeTiming();
  }
  state.counters["peak_added_MiB"] = static_cast<double>(added_kb) / 1024.0;
  state.SetItemsProcessed(state.iterations() * kAppends);
}
BENCHMARK(BM_SqliteInsertTwoIndexes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
