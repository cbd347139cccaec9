// Whether the shared change counter pays on Windows: the same table work
// with the counter (a named file mapping, the default) and without it
// ($KALVO_CHANGE_COUNTER=off). Google
// Benchmark has no Windows build here, so this is a plain timed program:
//   wine build-win64/bin/change_counter_win32_bench.exe [rows] [rounds]
// Cases: a full scan of two fields (plain, right after a record was
// rewritten, under Lock()), random Goto reads, and rewriting records one by
// one; each prints milliseconds per round, best of the rounds.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace {

int g_rows = 100000;
int g_rounds = 5;

const std::string& Dir() {
  static const std::string dir = [] {
    platform::Env* env = platform::Env::Current();
    std::string d = env->TempDir() + "\\kalvo_counter_bench_" +
                    std::to_string(env->CurrentProcessId());
    env->DeleteTree(d);
    env->CreateDir(d);
    return d + "\\";
  }();
  return dir;
}

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
  if (!w->SetFiles(Dir().c_str(), name, 0, nullptr, nullptr) ||
      !w->CreateDb(f) || !w->Open()) {
    return false;
  }
  Wdbase::FlushSet(0);
  w->Lock();
  for (int i = 0; i < g_rows; ++i) {
    w->AppendBlank();
    w->WriteString(1, ("colorant " + std::to_string(i % 977)).c_str());
    w->WriteDouble(2, i * 0.125);
    w->WriteLong(3, i);
  }
  w->Unlock();
  w->Flush();
  Wdbase::FlushSet(1);
  return true;
}

double BestMs(const std::function<void()>& round) {
  double best = 1e300;
  for (int r = 0; r < g_rounds; ++r) {
    auto t0 = std::chrono::steady_clock::now();
    round();
    auto t1 = std::chrono::steady_clock::now();
    best = std::min(best,
                    std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  return best;
}

double Scan(Wdbase* w) {
  char name[32];
  double sum = 0;
  for (int ok = w->Top(); ok; ok = w->Next()) {
    w->ReadString(1, name, sizeof name);
    sum += w->ReadDouble(2);
  }
  return sum;
}

void RunCases(const char* label) {
  Wdbase w;
  w.SetFiles(Dir().c_str(), "scan", 0, nullptr, nullptr);
  if (!w.Open()) {
    std::printf("%s: open failed\n", label);
    return;
  }
  volatile double sink = 0;
  const double scan = BestMs([&] { sink = sink + Scan(&w); });
  const double after_write = BestMs([&] {
    w.Goto(1);
    w.WriteLong(3, 0);
    sink = sink + Scan(&w);
  });
  const double locked = BestMs([&] {
    w.Lock();
    sink = sink + Scan(&w);
    w.Unlock();
  });
  const int jumps = g_rows / 10;
  const double gotos = BestMs([&] {
    unsigned x = 12345;
    for (int i = 0; i < jumps; ++i) {
      x = x * 1103515245u + 12345u;
      w.Goto(static_cast<int32_t>(x % static_cast<unsigned>(g_rows)) + 1);
      sink = sink + w.ReadDouble(2);
    }
  });
  const int writes = g_rows / 20;
  const double rewrites = BestMs([&] {
    for (int i = 1; i <= writes; ++i) {
      w.Goto(i);
      w.WriteLong(3, i);
    }
  });
  w.Close();
  std::printf(
      "%-8s scan %8.1f ms  scan after a write %8.1f ms  scan locked %8.1f ms"
      "  %d gotos %8.1f ms  %d rewrites %8.1f ms\n",
      label, scan, after_write, locked, jumps, gotos, writes, rewrites);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) g_rows = std::max(1000, std::atoi(argv[1]));
  if (argc > 2) g_rounds = std::max(1, std::atoi(argv[2]));
  {
    Wdbase w;
    if (!CreateTable(&w, "scan")) {
      std::printf("cannot create the table in %s\n", Dir().c_str());
      return 1;
    }
    w.Close();
  }
  std::printf("%d records, best of %d rounds\n", g_rows, g_rounds);
  for (int pass = 0; pass < 2; ++pass) {
    _putenv_s("KALVO_CHANGE_COUNTER", "on");
    RunCases("counter");
    _putenv_s("KALVO_CHANGE_COUNTER", "off");
    RunCases("off");
  }
  platform::Env::Current()->DeleteTree(Dir());
  return 0;
}
