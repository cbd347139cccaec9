// Wdbase::Open when memory runs out. This program replaces the global
// operator new so that, once armed, the n-th allocation and every later one
// fail; the table is opened with n = 1, 2, ... until an open succeeds. Every
// failed open must answer 0 with the memory error, leave the handle closed
// and the files whole, and let a later open succeed (the sanitizer build
// checks that nothing leaks).

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "test_util.h"
#include "xbase32/wdbase.h"

namespace {

// While g_armed, allocations after the first g_budget ones fail.
std::atomic<bool> g_armed{false};
std::atomic<long> g_budget{0};

}  // namespace

void* operator new(std::size_t n) {
  if (g_armed.load(std::memory_order_relaxed) &&
      g_budget.fetch_sub(1, std::memory_order_relaxed) <= 0) {
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(n != 0 ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return operator new(n);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept {
  return operator new(n, t);
}
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
#pragma GCC diagnostic pop

namespace xbase32::testing {
namespace {

class OpenAllocTest : public EngineTest {};

TEST_F(OpenAllocTest, EveryFailedAllocationLeavesTheTableClosedAndWhole) {
  const std::string dir = dir_ + "t";
  ASSERT_TRUE(platform::Env::Current()->CreateDir(dir).ok());
  const char* names[] = {"CODE.NTX", "QTY.NTX"};
  const char* exprs[] = {"CODE", "STR(QTY,8,2)"};
  {
    Wdbase w;
    ASSERT_EQ(1, w.SetFiles(dir.c_str(), "ITEMS.DBF", 2, names, exprs));
    auto f = Fields({Fld("CODE", 'C', 8), Fld("QTY", 'N', 8, 2)});
    ASSERT_EQ(1, w.CreateDb(f.data()));
    ASSERT_EQ(1, w.Open());
    for (int i = 0; i < 50; ++i) {
      ASSERT_EQ(1, w.AppendBlank());
      ASSERT_EQ(1, w.WriteString("CODE", ("C" + std::to_string(i)).c_str()));
      ASSERT_EQ(1, w.WriteDouble("QTY", i * 1.5));
    }
    ASSERT_EQ(1, w.Close());
  }
  const std::string dbf = ReadAll(dir + "/ITEMS.DBF");
  const std::string ntx1 = ReadAll(dir + "/CODE.NTX");
  ASSERT_FALSE(dbf.empty());
  ASSERT_FALSE(ntx1.empty());

  int failures = 0;
  bool opened = false;
  // Every budget at first, then every 13th: an open allocates a few
  // thousand times, and each failure point costs a few milliseconds.
  for (long budget = 0; budget < 100000 && !opened;
       budget += budget < 64 ? 1 : 13) {
    Wdbase w;
    ASSERT_EQ(1, w.SetFiles(dir.c_str(), "ITEMS.DBF", 2, names, exprs));
    g_budget = budget;
    g_armed = true;
    const int r = w.Open();
    g_armed = false;
    if (r == 1) {
      opened = true;
      EXPECT_EQ(1, w.SelectIdx(1));
      EXPECT_EQ(1, w.Seek("C7"));
      EXPECT_EQ(1, w.Close());
      break;
    }
    ++failures;
    EXPECT_EQ(0, w.IsOpen(0)) << "budget " << budget;
    // The handle is usable again once memory is back.
    ASSERT_EQ(1, w.Open()) << "budget " << budget;
    ASSERT_EQ(1, w.Close());
  }
  EXPECT_TRUE(opened);
  EXPECT_GT(failures, 0);
  EXPECT_EQ(dbf, ReadAll(dir + "/ITEMS.DBF"));
  EXPECT_EQ(ntx1, ReadAll(dir + "/CODE.NTX"));
}

}  // namespace
}  // namespace xbase32::testing
