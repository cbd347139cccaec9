// HFormula::ParseCntString against a small colorant table: the formula text
// it writes, the name lookup, the macros, and each message with its trace.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mixtable/hformula.h"
#include "mixtable/mixtable_ex.h"
#include "platform/hooks.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

using mixtable_testing::Id;

std::vector<std::string>* g_trace = nullptr;

void RecordTrace(int /*category*/, const char* text) {
  if (g_trace != nullptr) g_trace->push_back(text);
}

class CntStringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    struct {
      int32_t id;
      const char* code;
      const char* descr;
    } const rows[] = {
        {1, "RED", "Oxide Red"}, {2, "WHT", "White"}, {7, "YEL", "Yellow"},
        {12, "BLK", "Black"},    {3, "T3", "Twin"},   {4, "T4", "Twin"},
        {5, "DUP", "Five"},      {6, "DUP", "Six"},   {8, "GRN", "Green"},
        {8, "GRN", "Green"},     {9, "Twin", "Nine"}, {10, "", ""},
        {11, "YELLOW", "Other"},
    };
    for (const auto& r : rows)
      ASSERT_TRUE(b.Append(
          Y_CNTS, {{"ID", Id(r.id)}, {"CODE", r.code}, {"DESCR", r.descr}}))
          << b.error();
    ts_.SetDataDir("c:\\gdata\\");
    g_trace = &trace_;
    old_ = platform::SetTraceHook(RecordTrace);
  }
  void TearDown() override {
    platform::SetTraceHook(old_);
    g_trace = nullptr;
  }

  // Parses text into a fresh formula whose m_Frm is "1,1"; answers the
  // result and leaves the formula in f_.
  int Parse(const char* text) {
    f_ = HFormula();
    f_.m_Frm = "1,1";
    trace_.clear();
    return f_.ParseCntString(&ts_.Mixtable(), text);
  }

  platform::ScopedTempDrives drives_;
  CMixtableEx ts_;
  HFormula f_;
  std::vector<std::string> trace_;
  platform::TraceHook old_ = nullptr;
};

TEST_F(CntStringTest, UnitsListBecomesTheFormulaText) {
  EXPECT_EQ(Parse("  #12 10.5 #7 3  "), 1);
  EXPECT_EQ(f_.m_Frm, "12,10.5,7,3");
  EXPECT_EQ(f_.LastCntMessage(), "");
  ASSERT_EQ(trace_.size(), 2u);
  EXPECT_EQ(trace_[0].rfind("HFormula::ParseCntString...WY_HfrCnt ", 0), 0u);
  EXPECT_NE(trace_[0].find("\n input buffer:#12 10.5 #7 3\n"),
            std::string::npos);
  EXPECT_EQ(trace_[1].rfind("HFormula::ParseCntString...WY_HfrCnt ", 0), 0u);
  EXPECT_NE(trace_[1].find("\noutput buffer:12,10.5,7,3\n"), std::string::npos);
  // No table of the set is left open.
  EXPECT_FALSE(ts_.Handle(Y_CNTS)->IsOpen(0));
}

TEST_F(CntStringTest, SeparatorsDecimalsAndTrailingIdentifier) {
  EXPECT_EQ(Parse("#1;2.12345,#2\t.5 #7"), 1);  // #7 has no quantity
  EXPECT_EQ(f_.m_Frm, "1,2.123,2,0.5");
  EXPECT_EQ(Parse("@uni #1 1e2"), 1);
  EXPECT_EQ(f_.m_Frm, "1,100");
}

TEST_F(CntStringTest, NamesByDescrThenCode) {
  EXPECT_EQ(Parse("\"oxide red\" 1 white 2 YEL 3 grn 4"), 1);
  EXPECT_EQ(f_.m_Frm, "1,1,2,2,7,3,8,4");  // variants of 8 count once
  // "Yellow" is the DESCR of 7 before it is the CODE of 11.
  EXPECT_EQ(Parse("yellow 1"), 1);
  EXPECT_EQ(f_.m_Frm, "7,1");
  // "Twin" is the DESCR of 3 and 4 (ambiguous), then the CODE of 9 only.
  EXPECT_EQ(Parse("Twin 1"), 1);
  EXPECT_EQ(f_.m_Frm, "9,1");
  // A question mark stands for a blank.
  EXPECT_EQ(Parse("Oxide?Red 5"), 1);
  EXPECT_EQ(f_.m_Frm, "1,5");
}

TEST_F(CntStringTest, WrongIdentifiers) {
  for (const char* text : {"DUP 1", "NONE 1", "\"\" 1", "#123456 1", "#12a 1",
                           "#0 1", "RED 1 Blue 2"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Parse(text), 0);
    EXPECT_EQ(f_.m_Frm, "1,1");
    EXPECT_EQ(f_.LastCntMessage(), "Wrong identifier(s).");
    ASSERT_EQ(trace_.size(), 2u);
    EXPECT_EQ(trace_[1].rfind("\nHFormula Error: Wrong identifier(s). "
                              "WY_HfrCnt ",
                              0),
              0u);
    EXPECT_EQ(trace_[1].substr(trace_[1].size() - 2), ".\n");
  }
}

TEST_F(CntStringTest, MessagesInTheirOrder) {
  struct {
    const char* text;
    const char* message;
  } const cases[] = {
      {"#12 10 RED %5", "Syntax error.       "},
      {"#12 10 #7 %5", "Syntax error.       "},
      {"#12", "Syntax error.       "},
      {"", "Syntax error.       "},
      {"@XYZ #12 10", "Syntax error.       "},
      {"+RED 10", "Syntax error.       "},
      {"#12 x", "Syntax error.       "},
      // Identifiers accepted before the fault are resolved first.
      {"NONE 1 RED #5", "Wrong identifier(s)."},
      // ...and those after it never are.
      {"RED 1 #5 NONE", "Syntax error.       "},
      {"#12 10 \"RED", "Wronk tokens.       "},
      {"#12 10 #x 3", "Wronk tokens.       "},
      {"#12 10 #7 3\"", "Wronk tokens.       "},
      {"NONE 10 %x", "Wrong identifier(s)."},
      {"#12 10 #12 5", "Wrong formula       "},
      {"RED 10 #1 5", "Syntax error.       "},
      {"RED 10 oxide?red 5", "Wrong formula       "},
      {"#12 %10", "Wrong formula       "},
      {"#12 1.2.3", "Wrong formula       "},
      {"@RPC #12 %50 #7 %60", "Wrong formula       "},
      {"@RPC #12 %150", "Wrong formula       "},
      {"@RPC #12 10", "Wrong formula       "},
      {"@NPC #12 %50 #7 %50", "Could not convert to Wy_Frm"},
      {"@RPC #6 %6 #83 %83 #11 %11", "Could not convert to Wy_Frm"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Parse(c.text), 0);
    EXPECT_EQ(f_.m_Frm, "1,1");
    EXPECT_EQ(f_.LastCntMessage(), c.message);
    ASSERT_EQ(trace_.size(), 2u);
    EXPECT_EQ(
        trace_[1].rfind(
            std::string("\nHFormula Error: ") + c.message + " WY_HfrCnt ", 0),
        0u);
  }
  EXPECT_FALSE(ts_.Handle(Y_CNTS)->IsOpen(0));
}

TEST_F(CntStringTest, MacrosLastOneWins) {
  EXPECT_EQ(Parse("@RPC #12 10 @UNI"), 1);
  EXPECT_EQ(f_.m_Frm, "12,10");
  EXPECT_EQ(Parse("@uni #12 %10 @npc"), 0);
  EXPECT_EQ(f_.LastCntMessage(), "Could not convert to Wy_Frm");
  // A success after a failure empties the message.
  EXPECT_EQ(Parse("#12 1"), 1);
  EXPECT_EQ(f_.LastCntMessage(), "");
}

TEST_F(CntStringTest, NullTablesAndNullText) {
  HFormula f;
  EXPECT_EQ(f.ParseCntString(nullptr, nullptr), 0);
  EXPECT_EQ(f.LastCntMessage(), "Syntax error.       ");
  EXPECT_EQ(f.ParseCntString(nullptr, "#3 4"), 1);
  EXPECT_EQ(f.m_Frm, "3,4");
  EXPECT_EQ(f.ParseCntString(nullptr, "RED 4"), 0);
  EXPECT_EQ(f.LastCntMessage(), "Wrong identifier(s).");
}

}  // namespace
