#include "mixtable/hdsp_levels.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "mixtable/hformula.h"
#include "platform/hooks.h"

// Allocation failures on demand: while g_fail_after >= 0, the allocation
// that brings it to 0 throws (later ones succeed again).
namespace {
std::atomic<int> g_fail_after{-1};
}  // namespace

void* operator new(size_t size) {
  if (g_fail_after.load() >= 0 && g_fail_after.fetch_sub(1) == 0)
    throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

std::vector<std::string>* g_trace = nullptr;
void RecordTrace(int, const char* text) {
  if (g_trace) g_trace->push_back(text);
}

class DspLevelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_trace = &trace_;
    old_ = platform::SetTraceHook(RecordTrace);
  }
  void TearDown() override {
    platform::SetTraceHook(old_);
    g_trace = nullptr;
    g_fail_after = -1;
  }
  // A formula with the given level lines (through its text reader).
  static HFormula Formula(const std::string& lev_lines) {
    HFormula f;
    const std::string text = "@PRD #1 \"P\"\n" + lev_lines + "@END\n";
    f.TxtReadText(text.data(), text.size());
    return f;
  }

  std::vector<std::string> trace_;
  platform::TraceHook old_ = nullptr;
};

TEST_F(DspLevelsTest, OneSlaveWithTwoCanisters) {
  HFormula f = Formula("@LEV #3 \"1,0.5,2,0.75\"\n");
  ASSERT_EQ(f.NDspLevelsStrings(), 1);
  HDspLevels lv;
  ASSERT_EQ(lv.LoadLevels(&f), 1);
  ASSERT_EQ(lv.GetCount(), 1);
  const HDspLevels::DspLevelInfo* e = lv[0];
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->m_Slave, 3);
  ASSERT_EQ(e->m_NCanisters, 2);
  EXPECT_EQ(e->m_Circuit, (std::vector<int>{1, 2}));
  EXPECT_EQ(e->m_Level, (std::vector<double>{0.5, 0.75}));
  EXPECT_EQ(lv[1], nullptr);  // at the count
  EXPECT_EQ(lv[-1], nullptr);
  EXPECT_EQ(lv[-2147483647 - 1], nullptr);
  const HDspLevels& c = lv;
  EXPECT_EQ(c[0], e);
  EXPECT_EQ(c[1], nullptr);
}

TEST_F(DspLevelsTest, PairsOfLevelTexts) {
  struct Case {
    const char* text;
    std::vector<int> circuits;
    std::vector<double> levels;
  } const cases[] = {
      {"1,0.5,2,0.75", {1, 2}, {0.5, 0.75}},
      {"1,0.5,2", {1}, {0.5}},  // trailing circuit without a level
      {"7", {}, {}},
      {"", {}, {}},
      {",", {}, {}},
      {"1,", {}, {}},          // no level
      {",,2", {}, {}},         // no circuit, no level, a trailing "2"
      {"-5,1e999,x", {}, {}},  // level out of range; "x" trails
      {"-5,1.5", {-5}, {1.5}},
      {" 4 , 2.5 ,+6,-1e2", {4, 6}, {2.5, -100}},
      {"1,nan,2,inf,3,0x1,4,1.5abc,5,7", {5}, {7}},
      {"1x,2,3,4", {3}, {4}},  // a bad pair does not stop the rest
      {"99999999999,1,2147483647,2", {2147483647}, {2}},
      {"1,,2,3", {2}, {3}},
      {"1;2,3", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<int> circuits;
    std::vector<double> levels;
    EXPECT_EQ(HDspLevels::ParseLevelText(c.text, &circuits, &levels),
              static_cast<int>(c.circuits.size()));
    EXPECT_EQ(circuits, c.circuits);
    EXPECT_EQ(levels, c.levels);
    EXPECT_EQ(HDspLevels::ParseLevelText(c.text, nullptr, nullptr),
              static_cast<int>(c.circuits.size()));
  }
  EXPECT_EQ(HDspLevels::ParseLevelText(nullptr, nullptr, nullptr), 0);
}

TEST_F(DspLevelsTest, LongTextIsReadWhole) {
  std::string text;
  int n = 0;
  while (text.size() < 600) {
    ++n;
    text += std::to_string(n) + "," + std::to_string(n) + ".25,";
  }
  HFormula f;
  f.m_Levels[0] = {2, text};
  f.m_NLevels = 1;
  HDspLevels lv;
  ASSERT_EQ(lv.LoadLevels(&f), 1);
  ASSERT_EQ(lv[0]->m_NCanisters, n);
  EXPECT_EQ(lv[0]->m_Circuit.back(), n);
  EXPECT_EQ(lv[0]->m_Level.back(), n + 0.25);
}

TEST_F(DspLevelsTest, EntriesWithoutPairsStayZero) {
  {
    HFormula f = Formula("@LEV #4 \"7\"\n");
    HDspLevels lv;
    ASSERT_EQ(lv.LoadLevels(&f), 1);
    ASSERT_EQ(lv.GetCount(), 1);
    EXPECT_EQ(lv[0]->m_NCanisters, 0);
    EXPECT_EQ(lv[0]->m_Slave, 0);
    EXPECT_TRUE(lv[0]->m_Circuit.empty());
  }
  {
    // The second of three texts is empty: reading stops there.
    HFormula f = Formula("@LEV #1 \"1,10\"\n@LEV #2 \"\"\n@LEV #3 \"3,30\"\n");
    ASSERT_EQ(f.NDspLevelsStrings(), 3);
    HDspLevels lv;
    ASSERT_EQ(lv.LoadLevels(&f), 1);
    ASSERT_EQ(lv.GetCount(), 3);
    EXPECT_EQ(lv[0]->m_Slave, 1);
    EXPECT_EQ(lv[0]->m_NCanisters, 1);
    EXPECT_EQ(lv[1]->m_NCanisters, 0);
    EXPECT_EQ(lv[2]->m_NCanisters, 0);
    EXPECT_EQ(lv[2]->m_Slave, 0);
    EXPECT_EQ(lv[3], nullptr);
  }
}

TEST_F(DspLevelsTest, NullFormulaAndNoLevelLines) {
  HFormula f = Formula("@LEV #3 \"1,0.5\"\n");
  HDspLevels lv;
  ASSERT_EQ(lv.LoadLevels(&f), 1);
  EXPECT_EQ(lv.LoadLevels(nullptr), 0);
  EXPECT_EQ(lv.GetCount(), 0);  // cleared first
  EXPECT_EQ(trace_,
            (std::vector<std::string>{"Invalid Formula for HDspLevels Ctor"}));
  HFormula none = Formula("");
  EXPECT_EQ(lv.LoadLevels(&none), 0);
  EXPECT_EQ(lv[0], nullptr);
  // The count is bounded whatever m_NLevels says.
  none.m_NLevels = 99;
  EXPECT_EQ(none.NDspLevelsStrings(), HFormula::kLevels);
  none.m_NLevels = -4;
  EXPECT_EQ(none.NDspLevelsStrings(), 0);
  EXPECT_EQ(lv.LoadLevels(&none), 0);
  none.m_NLevels = 7;
  none.m_Levels[5] = {6, "1,1"};
  for (int k = 0; k < 5; ++k) none.m_Levels[k] = {k + 1, "2,2"};
  ASSERT_EQ(lv.LoadLevels(&none), 1);
  EXPECT_EQ(lv.GetCount(), 6);
  EXPECT_EQ(lv[5]->m_Slave, 6);
}

TEST_F(DspLevelsTest, CopiesOwnTheirEntries) {
  auto copy = std::make_unique<HDspLevels>();
  HDspLevels assigned;
  {
    HFormula f = Formula("@LEV #3 \"1,0.5,2,0.75\"\n@LEV #5 \"9,1\"\n");
    auto source = std::make_unique<HDspLevels>();
    ASSERT_EQ(source->LoadLevels(&f), 1);
    *copy = *source;
    assigned = *source;
    HDspLevels constructed(*source);
    source->Clear();
    EXPECT_EQ(source->GetCount(), 0);
    source.reset();  // a shared array would be freed here
    EXPECT_EQ(constructed[1]->m_Circuit[0], 9);
  }
  ASSERT_EQ(copy->GetCount(), 2);
  EXPECT_EQ((*copy)[0]->m_Level[1], 0.75);
  EXPECT_EQ(assigned[1]->m_Slave, 5);
  (*copy)[0]->m_Level[0] = 9;
  EXPECT_EQ(assigned[0]->m_Level[0], 0.5);
}

TEST_F(DspLevelsTest, AllocationFailuresAreTraced) {
  HFormula f = Formula("@LEV #3 \"1,0.5\"\n@LEV #4 \"2,0.5\"\n");
  HDspLevels lv;
  g_fail_after = 0;  // the entries
  EXPECT_EQ(lv.LoadLevels(&f), 0);
  EXPECT_EQ(lv.GetCount(), 0);
  g_fail_after = 1;  // the first line's arrays
  EXPECT_EQ(lv.LoadLevels(&f), 1);
  g_fail_after = -1;
  ASSERT_EQ(lv.GetCount(), 2);
  EXPECT_EQ(lv[0]->m_NCanisters, 0);
  EXPECT_EQ(lv[1]->m_NCanisters, 0);  // reading stopped
  EXPECT_EQ(trace_, (std::vector<std::string>{
                        "\nHDspLevels: operator new failed.", "No memory !!"}));
}

}  // namespace
