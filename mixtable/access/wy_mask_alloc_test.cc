// CWymask when memory runs out: filling from a mask table, the fallback to
// every id of a table, copying and assigning. This program replaces the
// global operator new so that allocations from a chosen size on fail while
// a test arms it; each failure must give the trace text, an empty mask and
// 0, and leave nothing behind (the sanitizer build checks for leaks).

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <regex>
#include <string>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_mask.h"
#include "platform/hooks.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

// While g_fail_from is not 0, allocations of at least g_fail_from and
// fewer than g_fail_below bytes fail.
std::atomic<size_t> g_fail_from{0};
std::atomic<size_t> g_fail_below{0};
std::atomic<int> g_failed{0};

}  // namespace

void* operator new(std::size_t n) {
  const size_t limit = g_fail_from.load(std::memory_order_relaxed);
  if (limit != 0 && n >= limit &&
      n < g_fail_below.load(std::memory_order_relaxed)) {
    g_failed.fetch_add(1, std::memory_order_relaxed);
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(n != 0 ? n : 1)) return p;
  throw std::bad_alloc();
}
// Every other form of the plain operator new and delete goes the same way,
// so that allocation and release always pair malloc with free.
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

namespace {

using mixtable_testing::Id;

// Ids in the mask and in the colorant table: more than a small allocation
// holds (300 ids take 1 200 bytes).
constexpr int kIds = 300;
// The sizes that fail: the mask's array grows through them before it holds
// every id (256 ids take 1 024 bytes, 512 take 2 048), while the engine's
// buffers, the trace and small strings lie outside.
constexpr size_t kFailFrom = 1024;
constexpr size_t kFailBelow = 4096;

// The trace output, kept without allocating.
char g_trace[1024];
void RecordTrace(int /*category*/, const char* text) {
  const size_t used = std::strlen(g_trace);
  std::strncat(g_trace, text, sizeof g_trace - used - 1);
}

// Arms the failing allocations for its lifetime.
class FailingAllocations {
 public:
  FailingAllocations() {
    g_failed = 0;
    g_fail_below = kFailBelow;
    g_fail_from = kFailFrom;
  }
  ~FailingAllocations() { g_fail_from = 0; }
};

class MaskAllocationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    drives_ = new platform::ScopedTempDrives;
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    ASSERT_TRUE(b.AddProduct(1, "P1", "PRD1") &&
                b.AddSubProduct(1, 1, "S1", "SUB11") &&
                b.AddSubProduct(1, 2, "S2", "SUB12"))
        << b.error();
    // Sub-product 1's mask: kIds bases, no colorants; sub-product 2 has no
    // mask. The colorant table holds kIds ids, each twice.
    CMixtableEx ts;
    ts.SetDataDir("c:\\gdata\\");
    ASSERT_TRUE(b.Append(Y_MASK, {{"TYPE", "BA"}, {"PNT_ID", Id(1)}}, 1, 1));
    ASSERT_TRUE(b.Append(Y_CNTS, {{"ID", Id(1)}}));
    Wdbase* prd = ts.Handle(Y_PRODUCTS);
    Wdbase* spd = ts.Handle(Y_SUBPRODS);
    ASSERT_TRUE(ts.Open(prd) && ts.Select(prd, 1) && ts.Open(spd) &&
                ts.Select(spd, 1));
    Wdbase* mask = ts.Handle(Y_MASK);
    Wdbase* cnts = ts.Handle(Y_CNTS);
    ASSERT_TRUE(ts.Open(mask) && ts.Open(cnts));
    // One lock and no flush per record: the records reach the files when
    // the tables close.
    const int old_flush = Wdbase::FlushSet(0);
    ASSERT_TRUE(mask->Lock() && cnts->Lock());
    for (int i = 2; i <= 2 * kIds; ++i) {
      if (i <= kIds) {
        ASSERT_TRUE(mask->AppendBlank());
        ASSERT_TRUE(mask->WriteString("TYPE", "BA"));
        ASSERT_TRUE(mask->WriteString("PNT_ID", Id(i).c_str()));
      }
      ASSERT_TRUE(cnts->AppendBlank());
      ASSERT_TRUE(cnts->WriteString("ID", Id((i - 1) % kIds + 1).c_str()));
    }
    mask->Unlock();
    cnts->Unlock();
    ts.CloseAll();
    Wdbase::FlushSet(old_flush);
  }
  static void TearDownTestSuite() {
    delete drives_;
    drives_ = nullptr;
  }

  void SetUp() override {
    g_trace[0] = '\0';
    old_hook_ = platform::SetTraceHook(RecordTrace);
    ts_.SetDataDir("c:\\gdata\\");
    Position(1);
  }

  void Position(int32_t spd) {
    ts_.CloseAll();
    Wdbase* prd = ts_.Handle(Y_PRODUCTS);
    Wdbase* sub = ts_.Handle(Y_SUBPRODS);
    ASSERT_TRUE(ts_.Open(prd) && ts_.Select(prd, 1) && ts_.Open(sub) &&
                ts_.Select(sub, spd));
  }
  void TearDown() override {
    ts_.CloseAll();
    platform::SetTraceHook(old_hook_);
  }

  // The trace holds `times` allocation failures of the mask in the form of
  // pattern (beside other lines, such as a missing table's).
  void ExpectTrace(const char* pattern, int times = 1) {
    const std::string trace = g_trace;
    const std::regex re(pattern);
    const auto n =
        std::distance(std::sregex_iterator(trace.begin(), trace.end(), re),
                      std::sregex_iterator());
    EXPECT_EQ(n, times) << trace;
  }

  static platform::ScopedTempDrives* drives_;
  platform::TraceHook old_hook_ = nullptr;
  CMixtableEx ts_;
};

platform::ScopedTempDrives* MaskAllocationTest::drives_ = nullptr;

// "%s(%4d): Allocation failure in ymask\n" with the source file and line.
constexpr const char* kFillTrace =
    R"([^(\n]*wy_mask\.cc\( *[0-9]{1,4}\): Allocation failure in ymask\n)";
// "(%s)(%d): Allocation failure in ymask\n", written when copying.
constexpr const char* kCopyTrace =
    R"(\([^)\n]*wy_mask\.cc\)\([0-9]+\): Allocation failure in ymask\n)";

TEST_F(MaskAllocationTest, FillFromTheMaskTable) {
  Wdbase* mask = ts_.Handle(Y_MASK);
  ASSERT_TRUE(ts_.Open(mask));
  CWymask m;
  ASSERT_EQ(m.Fill("BA", mask), 1);
  ASSERT_EQ(m.GetLen(), kIds);
  {
    FailingAllocations fail;
    EXPECT_EQ(m.Fill("BA", mask), 0);
  }
  EXPECT_GT(g_failed.load(), 0);
  EXPECT_EQ(m.GetLen(), 0);
  EXPECT_EQ(m[0], 0);
  EXPECT_EQ(m.Inspect(12345), 1);  // empty again: every id allowed
  ExpectTrace(kFillTrace);
  // Memory back: the same table fills completely.
  EXPECT_EQ(m.Fill("BA", mask), 1);
  EXPECT_EQ(m.GetLen(), kIds);
  EXPECT_EQ(m[kIds - 1], kIds);
}

TEST_F(MaskAllocationTest, TableSetMaskFailsWithoutFallback) {
  CWymask m;
  ASSERT_EQ(m.Fill("BA", &ts_.Mixtable()), 1);
  ASSERT_EQ(m.GetLen(), kIds);
  {
    FailingAllocations fail;
    EXPECT_EQ(m.Fill("BA", &ts_.Mixtable()), 0);
  }
  EXPECT_GT(g_failed.load(), 0);
  // Not every base of BASES: the mask's refusals are not lost to a
  // fallback.
  EXPECT_EQ(m.GetLen(), 0);
  ExpectTrace(kFillTrace);
  EXPECT_TRUE(ts_.Handle(Y_MASK)->IsOpen(0));
}

TEST_F(MaskAllocationTest, FallbackToEveryIdOfTheTable) {
  Position(2);  // no mask table: every colorant of CNTS
  CWymask m;
  ASSERT_EQ(m.Fill("CO", &ts_.Mixtable()), 1);
  ASSERT_EQ(m.GetLen(), kIds);
  // The caller keeps CNTS open on a record; the failed fill puts it back.
  Wdbase* cnts = ts_.Handle(Y_CNTS);
  ASSERT_TRUE(ts_.Open(cnts));
  ASSERT_TRUE(cnts->Goto(7));
  {
    FailingAllocations fail;
    EXPECT_EQ(m.Fill("CO", &ts_.Mixtable()), 0);
  }
  EXPECT_GT(g_failed.load(), 0);
  EXPECT_EQ(m.GetLen(), 0);
  ExpectTrace(kFillTrace);
  EXPECT_TRUE(cnts->IsOpen(0));
  EXPECT_EQ(cnts->RecNo(), 7);
  EXPECT_EQ(m.Fill("CO", &ts_.Mixtable()), 1);
  EXPECT_EQ(m.GetLen(), kIds);
}

TEST_F(MaskAllocationTest, CopyAndAssignment) {
  CWymask full;
  ASSERT_EQ(full.Fill("BA", &ts_.Mixtable()), 1);
  full.SetNullFlag(1);
  CWymask target;
  {
    FailingAllocations fail;
    CWymask copy(full);
    EXPECT_EQ(copy.GetLen(), 0);
    EXPECT_EQ(copy.GetNullFlag(), 1);
    target = full;
  }
  EXPECT_EQ(g_failed.load(), 2);
  EXPECT_EQ(target.GetLen(), 0);
  EXPECT_EQ(target.GetNullFlag(), 1);
  EXPECT_EQ(full.GetLen(), kIds);  // the source keeps its ids
  ExpectTrace(kCopyTrace, 2);
  // Memory back: copies are whole.
  target = full;
  EXPECT_EQ(target.GetLen(), kIds);
  EXPECT_EQ(target[kIds - 1], kIds);
}

}  // namespace
