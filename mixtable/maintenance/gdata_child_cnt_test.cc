// The colorant routine behind the colorant macro: the pair test, the macro
// expansion on a table handle, and the macro condition filtered on a real
// formula table as a DELETE card uses it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_gdata_child.h"
#include "mixtable/ytable.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"
#include "xbase32/wdbase.h"
#include "xbase32/wdbase_cx.h"

namespace {

using mixtable_testing::Id;

TEST(ChildCntRoutine, PairsHoldTheColorantOnlyAsAnId) {
  struct {
    const char* formula;
    int32_t cnt;
    bool holds;
  } cases[] = {
      {"1,2", 2, false},  // 2 is only a quantity
      {"1,2", 1, true},
      {"2,1.5", 2, true},
      {"3,2,2,4", 2, true},  // second pair
      {"3,2,4,2", 2, false},
      {"  2 , 1.5 ;7 0.25\n", 7, true},  // every separator, blanks around
      {"02,1", 2, true},                 // ids are numbers
      {"12,2", 2, false},
      {"2", 2, false},  // odd token count: not pairs
      {"2,1,3", 2, false},
      {"", 2, false},
      {"          ", 2, false},
      {"2,1.5", 0, false},
      {"0,1", 0, false},
      {"-2,1", 2, false},
      {"99999,1", 99999, true},
      {"2x,1", 2, true},  // an id is read up to its first non-digit
      {"x2,1", 2, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.holds, Wy_GDataChild::FormulaHoldsColorant(
                           c.formula, std::strlen(c.formula), c.cnt))
        << '"' << c.formula << "\" " << c.cnt;
  }
  // A NUL ends the text, as the text field shows it.
  const std::string nul(
      "1,5\0"
      "2,1",
      7);
  EXPECT_FALSE(Wy_GDataChild::FormulaHoldsColorant(nul.data(), nul.size(), 2));
  EXPECT_FALSE(Wy_GDataChild::FormulaHoldsColorant(nullptr, 0, 2));
}

// A raw CX call is refused with every blank the expression scanner skips
// between the name and its parenthesis.
TEST(ChildCntRoutine, CardValueCheckSeesThroughEveryBlank) {
  for (const char* blank : {" ", "\t", "\v", "\f", " \v\f\t "}) {
    const std::string v = std::string("(CX") + blank + "(1,\"5\",\"2\")=\"1\")";
    EXPECT_FALSE(Wy_GDataChild::IsCardValueSafe(v)) << v;
  }
}

class ChildCntTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    const char* formulas[] = {"1,2", "2,1.5", "3,2,2,4", "2",
                              "",    "12,2",  "02,1",    "4,2,3,1.5"};
    for (int32_t i = 0; i < 8; ++i) {
      ASSERT_TRUE(b.Append(Y_FRM, {{"ID", Id(i + 1)},
                                   {"KEY1", "K" + std::to_string(i + 1)},
                                   {"FORMULA", formulas[i]}}))
          << b.error();
    }
    ASSERT_TRUE(b.Append(Y_CNTS, {{"ID", Id(2)}, {"CODE", "C2"}})) << b.error();
    ts_.SetDataDir("c:\\gdata\\");
    frm_ = ts_.Handle(Y_FRM);
    ASSERT_EQ(1, ts_.Open(frm_));
    ASSERT_TRUE(child_.InitInDummyMode());
  }

  // The ids of the records for which the card value expr holds, filtered as
  // the builder does: the expanded expression behind an expression token,
  // tested with the operator "!" in a special filter.
  std::vector<int32_t> Matching(Wdbase* db, std::string expr) {
    if (!child_.ExpandCntMacros(*db, expr)) return {-1};
    std::vector<char> text(expr.begin(), expr.end());
    text.push_back('\0');
    char token[16];
    if (!db->StringToPtr(text.data(), token, true)) return {-2};
    const std::string cond = "\"" + std::string(token) + "\"!\" \"";
    if (!db->SpecialFilterInit(cond.c_str(), false, true)) return {-3};
    std::vector<int32_t> ids;
    for (int r = db->Top(); r && !db->Eof(); r = db->Next())
      ids.push_back(db->ReadLong("ID"));
    db->SpecialFilterQuit();
    return ids;
  }

  std::string Macro(int32_t cnt) {
    std::string m;
    EXPECT_TRUE(child_.MakeCntFunctionMacro(m, cnt));
    return m;
  }

  platform::ScopedTempDrives drives_;
  CMixtableEx ts_;
  Wdbase* frm_ = nullptr;
  Wy_GDataChild child_;
};

TEST_F(ChildCntTest, MacroMatchesFormulasUsingTheColorant) {
  // "1,2" holds 2 only as a quantity: a DELETE card for colorant 2 keeps it;
  // "2,1.5" is deleted; "2" does not parse as pairs and is kept.
  EXPECT_EQ((std::vector<int32_t>{2, 3, 7}), Matching(frm_, Macro(2)));
  EXPECT_EQ((std::vector<int32_t>{1}), Matching(frm_, Macro(1)));  // not 7
  EXPECT_EQ((std::vector<int32_t>{}), Matching(frm_, Macro(5)));
  // Macros combine with each other and with other terms.
  EXPECT_EQ((std::vector<int32_t>{3, 8}), Matching(frm_, Macro(3)));
  EXPECT_EQ((std::vector<int32_t>{3}),
            Matching(frm_, Macro(2) + ".AND." + Macro(3)));
  EXPECT_EQ((std::vector<int32_t>{1, 2, 3, 7}),
            Matching(frm_, Macro(2) + ".OR." + Macro(1)));
  EXPECT_EQ((std::vector<int32_t>{7}),
            Matching(frm_, Macro(2) + ".AND.(VAL(ID)>5)"));
  // Every record is seen, also where the macro is false.
  EXPECT_EQ((std::vector<int32_t>{1, 4, 5, 6, 8}),
            Matching(frm_, ".NOT." + Macro(2)));
}

TEST_F(ChildCntTest, PlaceholdersBecomeTheHandleAndTheColorant) {
  std::string e = Macro(12) + ".OR." + Macro(3) + ".OR." + Macro(12);
  ASSERT_TRUE(child_.ExpandCntMacros(*frm_, e));
  const int32_t h = child_.CntRoutineHandle(*frm_);
  ASSERT_GT(h, 0);
  EXPECT_EQ(1, WdbaseIsCxRegistered(frm_, h));
  const std::string call = "(CX(1,\"" + std::to_string(h) + "\",\"";
  EXPECT_EQ(call + "12\")=\"1\").OR." + call + "3\")=\"1\").OR." + call +
                "12\")=\"1\")",
            e);
  // Registered once per table object.
  std::string again = Macro(7);
  ASSERT_TRUE(child_.ExpandCntMacros(*frm_, again));
  EXPECT_EQ(h, child_.CntRoutineHandle(*frm_));
  EXPECT_EQ(call + "7\")=\"1\")", again);
  // The routine answers on the current record.
  const std::string bare = call.substr(1);  // CX(1,"h","
  ASSERT_EQ(1, frm_->Goto(2));              // "2,1.5"
  char out[8];
  ASSERT_EQ(1, frm_->GetExprResult((bare + "2\")").c_str(), out, sizeof out));
  EXPECT_STREQ("1", out);
  ASSERT_EQ(1, frm_->Goto(1));  // "1,2"
  ASSERT_EQ(1, frm_->GetExprResult((bare + "2\")").c_str(), out, sizeof out));
  EXPECT_STREQ("0", out);
  // A value that is not a colorant id answers "0".
  ASSERT_EQ(1, frm_->GetExprResult((bare + "1x\")").c_str(), out, sizeof out));
  EXPECT_STREQ("0", out);
  // Texts without placeholders pass unchanged.
  std::string plain = "(VAL(ID)=3)";
  EXPECT_TRUE(child_.ExpandCntMacros(*frm_, plain));
  EXPECT_EQ("(VAL(ID)=3)", plain);
}

TEST_F(ChildCntTest, EachTableObjectHasItsOwnRegistration) {
  Wdbase* cnts = ts_.Handle(Y_CNTS);
  ASSERT_EQ(1, ts_.Open(cnts));
  std::string e = Macro(2);
  ASSERT_TRUE(child_.ExpandCntMacros(*cnts, e));
  const int32_t hc = child_.CntRoutineHandle(*cnts);
  EXPECT_EQ(0, child_.CntRoutineHandle(*frm_));
  // A table without the formula field keeps every record.
  EXPECT_EQ((std::vector<int32_t>{}), Matching(cnts, Macro(2)));
  EXPECT_EQ(hc, child_.CntRoutineHandle(*cnts));
  // The registration ends with its table object; a new one registers anew.
  {
    Wdbase other;
    std::string o = Macro(2);
    ASSERT_TRUE(child_.ExpandCntMacros(other, o));
    const int32_t ho = child_.CntRoutineHandle(other);
    EXPECT_GT(ho, hc);
    EXPECT_EQ(1, WdbaseUnregisterCx(&other, ho));
    EXPECT_EQ(0, child_.CntRoutineHandle(other));
    o = Macro(2);
    ASSERT_TRUE(child_.ExpandCntMacros(other, o));  // registered again
    EXPECT_GT(child_.CntRoutineHandle(other), ho);
  }
  // Closing and opening the same object keeps it.
  ts_.CloseAll();
  ASSERT_EQ(1, ts_.Open(frm_));
  e = Macro(2);
  ASSERT_TRUE(child_.ExpandCntMacros(*frm_, e));
  const int32_t hf = child_.CntRoutineHandle(*frm_);
  ts_.CloseAll();
  ASSERT_EQ(1, ts_.Open(frm_));
  EXPECT_EQ(hf, child_.CntRoutineHandle(*frm_));
  EXPECT_EQ((std::vector<int32_t>{2, 3, 7}), Matching(frm_, Macro(2)));
}

TEST_F(ChildCntTest, RefusesWhatItCannotExpand) {
  std::string twenty, many;
  for (int i = 1; i <= 21; ++i) {
    if (i > 1) many += ".OR.";
    many += Macro(i);
    if (i == 20) twenty = many;
  }
  std::string copy = many;
  EXPECT_FALSE(child_.ExpandCntMacros(*frm_, copy));  // 21 macros
  EXPECT_EQ(many, copy);
  EXPECT_TRUE(child_.ExpandCntMacros(*frm_, twenty));
  EXPECT_EQ(std::string::npos, twenty.find("@CNT_"));
  const char* bad[] = {
      "(CX(1,\"@CNT_F00012@\",\"@CNT_S00013@\")=\"1\")",  // unpaired
      "(CX(1,\"@CNT_F0001x@\",\"@CNT_S0001x@\")=\"1\")",  // not digits
      "(CX(1,\"@CNT_F00000@\",\"@CNT_S00000@\")=\"1\")",  // colorant 0
      "(CX(1,\"@CNT_F00012@\",\"1\")=\"1\")",             // no value
      "@CNT_S00012@",
      "(A=\"@CNT_F00012\")",  // cut short
  };
  for (const char* b : bad) {
    std::string e = b;
    EXPECT_FALSE(child_.ExpandCntMacros(*frm_, e)) << b;
    EXPECT_EQ(b, e);
  }
  Wy_GDataChild fresh;  // not initialised
  std::string e = Macro(2);
  EXPECT_FALSE(fresh.ExpandCntMacros(*frm_, e));
  EXPECT_EQ(0, fresh.CntRoutineHandle(*frm_));
}

}  // namespace
