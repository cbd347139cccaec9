// The engine against SQLite on the same work: appending 100 000 records
// (auto-flush off; SQLite in one transaction) and a full scan reading two
// fields, in every sharing mode: the counter fast path (blocks read ahead and
// kept while the change counter and the host's write reports prove them
// current), the same right after a record was rewritten, under the table
// lock, and forced reads from the file (ReadFromFile). Appends likewise:
// plain, under Lock(), and with forced file reads.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstring>
#include <string>

#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace {

constexpr int kRows = 100000;

const std::string& Dir() {
  static const std::string dir = [] {
    platform::Env* env = platform::Env::Current();
    std::string d = env->TempDir() + "/kalvo_bench_" +
                    std::to_string(env->CurrentProcessId());
    env->DeleteTree(d);
    env->CreateDir(d);
    return d + "/";
  }();
  return dir;
}

std::string Name(int i) { return "colorant " + std::to_string(i % 977); }

bool CreateTable(Wdbase* w, const char* name) {
  WDBASE_FIELD f[4] = {};
  std::strcpy(f[0].name, "NAME");
  f[0].type = 'C';
  f[0].len = 20;
  std::strcpy(f[1].name, "QTY");
  f[1].type = 'N';
  f[1].len = 10;
  f[1].dec = 3;
  std::strcpy(f[2].name, "CODE");
  f[2].type = 'N';
  f[2].len = 8;
  return w->SetFiles(Dir().c_str(), name, 0, nullptr, nullptr) &&
         w->CreateDb(f) && w->Open();
}

void FillTable(Wdbase* w, bool lock) {
  Wdbase::FlushSet(0);
  if (lock) w->Lock();
  for (int i = 0; i < kRows; ++i) {
    w->AppendBlank();
    w->WriteString(1, Name(i).c_str());
    w->WriteDouble(2, i * 0.125);
    w->WriteLong(3, i);
  }
  if (lock) w->Unlock();
  w->Flush();
  Wdbase::FlushSet(1);
}

// mode 0: counter fast path; 1: under Lock(); 2: forced file reads.
void BM_DbfAppend(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  for (auto _ : state) {
    Wdbase w;
    if (!CreateTable(&w, "append")) state.SkipWithError("create failed");
    if (mode == 2) w.ReadFromFile(1);
    FillTable(&w, mode == 1);
    w.Close();
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_DbfAppend)->ArgName("mode")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

sqlite3* OpenSqlite(const char* name, bool fresh) {
  const std::string path = Dir() + name;
  if (fresh) platform::Env::Current()->DeleteFile(path);
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  return db;
}

void SqliteFill(sqlite3* db) {
  sqlite3_exec(db, "CREATE TABLE t(name TEXT, qty REAL, code INTEGER)", nullptr,
               nullptr, nullptr);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?,?,?)", -1, &st, nullptr);
  for (int i = 0; i < kRows; ++i) {
    const std::string n = Name(i);
    sqlite3_bind_text(st, 1, n.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(st, 2, i * 0.125);
    sqlite3_bind_int(st, 3, i);
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
}

void BM_SqliteInsert(benchmark::State& state) {
  for (auto _ : state) {
    sqlite3* db = OpenSqlite("insert.db", true);
    SqliteFill(db);
    sqlite3_close(db);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SqliteInsert)->Unit(benchmark::kMillisecond);

// The scanned table, made once and left to settle.
void EnsureScanTable() {
  static bool made = [] {
    Wdbase w;
    CreateTable(&w, "scan");
    FillTable(&w, true);
    w.Close();
    sqlite3* db = OpenSqlite("scan.db", true);
    SqliteFill(db);
    sqlite3_close(db);
    platform::Env::Current()->SleepMs(2200);
    return true;
  }();
  (void)made;
}

// mode 0: counter fast path; 1: a record was just rewritten; 2: under
// Lock(); 3: forced file reads.
void BM_DbfScan(benchmark::State& state) {
  EnsureScanTable();
  const int mode = static_cast<int>(state.range(0));
  Wdbase w;
  w.SetFiles(Dir().c_str(), "scan", 0, nullptr, nullptr);
  w.Open();
  if (mode == 3) w.ReadFromFile(1);
  char name[32];
  for (auto _ : state) {
    if (mode == 1) {
      state.PauseTiming();
      w.Goto(1);
      w.WriteLong(3, 0);  // auto-flush writes it now
      state.ResumeTiming();
    }
    if (mode == 2) w.Lock();
    double sum = 0;
    for (int ok = w.Top(); ok; ok = w.Next()) {
      w.ReadString(1, name, sizeof name);
      sum += w.ReadDouble(2);
    }
    if (mode == 2) w.Unlock();
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_DbfScan)->ArgName("mode")->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

void BM_SqliteScan(benchmark::State& state) {
  EnsureScanTable();
  sqlite3* db = OpenSqlite("scan.db", false);
  for (auto _ : state) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT name, qty FROM t", -1, &st, nullptr);
    double sum = 0;
    size_t len = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
      len += std::strlen(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
      sum += sqlite3_column_double(st, 1);
    }
    sqlite3_finalize(st);
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(len);
  }
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SqliteScan)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
