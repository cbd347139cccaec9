// Caller routines behind CX calls: the record and value a routine sees in
// results and special filters (also behind an expression token), unknown
// and stale handles, lifetime with the owning table, several owners.

#include "xbase32/wdbase_cx.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "test_util.h"

namespace xbase32::testing {
namespace {

std::string Call(int32_t handle, const char* value, int len = 1) {
  return "CX(" + std::to_string(len) + ",\"" + std::to_string(handle) +
         "\",\"" + value + "\")";
}

// Answers "1" when the record's FORMULA starts with the call's value text.
void StartsWith(const WdbaseRecordView& rec, const WdbaseCxCall& call,
                std::string* result) {
  std::string f;
  *result =
      rec.Field("formula", &f) && f.rfind(call.value_text, 0) == 0 ? "1" : "0";
}

class CxTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ASSERT_EQ(1, frm_.SetFiles(dir_.c_str(), "frm", 0, nullptr, nullptr));
    auto f = Fields(
        {Fld("ID", 'N', 5), Fld("FORMULA", 'C', 20), Fld("NOTE", 'M', 10)});
    ASSERT_EQ(1, frm_.CreateDb(f.data()));
    ASSERT_EQ(1, frm_.Open());
    const char* formulas[] = {"1,2", "2,1.5", "3,2,2,4", "2,9"};
    for (int i = 0; i < 4; ++i) {
      ASSERT_EQ(1, frm_.AppendBlank());
      ASSERT_EQ(1, frm_.WriteInt("ID", i + 1));
      ASSERT_EQ(1, frm_.WriteString("FORMULA", formulas[i]));
    }
    ASSERT_EQ(1, frm_.Goto(1));
  }

  std::string Result(Wdbase& w, const std::string& expr) {
    char out[64];
    if (!w.GetExprResult(expr.c_str(), out, sizeof out)) return "<failed>";
    return out;
  }

  // Record numbers visible under the special filter cond.
  std::vector<int32_t> Visible(const std::string& cond) {
    std::vector<int32_t> recs;
    if (!frm_.SpecialFilterInit(cond.c_str(), false, true)) return {-1};
    for (int r = frm_.Top(); r && !frm_.Eof(); r = frm_.Next()) {
      recs.push_back(frm_.RecNo());
    }
    frm_.SpecialFilterQuit();
    return recs;
  }

  Wdbase frm_;
};

TEST_F(CxTest, RoutineSeesTheCurrentRecordAndTheValue) {
  struct Seen {
    int32_t recno = 0;
    std::string formula, note, value_text;
    uint32_t value = 0;
    int32_t length = 0;
    bool unknown = true;
  } seen;
  ASSERT_EQ(1, frm_.Goto(2));
  ASSERT_EQ(1, frm_.MemoWrite("NOTE", "memo text", 9));
  const int32_t h = WdbaseRegisterCx(
      &frm_, [&seen](const WdbaseRecordView& rec, const WdbaseCxCall& call,
                     std::string* result) {
        seen.recno = rec.RecNo();
        rec.Field("Formula", &seen.formula);
        rec.Field("NOTE", &seen.note);
        std::string junk = "x";
        seen.unknown = rec.Field("NOSUCH", &junk) || !junk.empty() ||
                       rec.Field("FORMULA_TOO_LONG", &junk);
        seen.value_text = std::string(call.value_text);
        seen.value = call.value;
        seen.length = call.length;
        *result = "AB";
      });
  ASSERT_GT(h, 0);
  EXPECT_EQ("AB   ", Result(frm_, Call(h, " 42 ", 5)));
  EXPECT_EQ(2, seen.recno);
  EXPECT_EQ("2,1.5               ", seen.formula);  // as stored, full width
  EXPECT_EQ("memo text", seen.note);
  EXPECT_FALSE(seen.unknown);
  EXPECT_EQ(" 42", seen.value_text);  // trailing blanks removed
  EXPECT_EQ(42u, seen.value);
  EXPECT_EQ(5, seen.length);
  // A result longer than the call is cut; a text value has number 0.
  EXPECT_EQ("A", Result(frm_, Call(h, "abc")));
  EXPECT_EQ("abc", seen.value_text);
  EXPECT_EQ(0u, seen.value);
  // The value may be any text expression, evaluated per record.
  const std::string computed =
      "CX(3,\"" + std::to_string(h) + "\",LTRIM(STR(ID*10,5,0))+\"  \")";
  EXPECT_EQ("AB ", Result(frm_, computed));
  EXPECT_EQ("20", seen.value_text);
  EXPECT_EQ(20u, seen.value);
}

TEST_F(CxTest, SpecialFilterEvaluatesEveryRecord) {
  const int32_t h = WdbaseRegisterCx(&frm_, StartsWith);
  ASSERT_GT(h, 0);
  const std::string cond = "(" + Call(h, "2,") + "=\"1\")";
  EXPECT_EQ((std::vector<int32_t>{2, 4}), Visible(cond));
  EXPECT_EQ((std::vector<int32_t>{1}),
            Visible("(" + Call(h, "1,") + "=\"1\")"));
  // The builder's form: the condition behind an expression token, tested
  // with the operator "!".
  std::vector<char> text(cond.begin(), cond.end());
  text.push_back('\0');
  char token[16];
  ASSERT_TRUE(frm_.StringToPtr(text.data(), token, true));
  EXPECT_EQ((std::vector<int32_t>{2, 4}),
            Visible("\"" + std::string(token) + "\"!\" \""));
  // With a condition combining two calls of the same routine.
  EXPECT_EQ((std::vector<int32_t>{1, 2, 4}),
            Visible("(" + Call(h, "2,") + "=\"1\").OR.(" + Call(h, "1,") +
                    "=\"1\")"));
}

TEST_F(CxTest, RelationQueryEvaluatesEveryRecord) {
  const int32_t h = WdbaseRegisterCx(&frm_, StartsWith);
  ASSERT_GT(h, 0);
  ASSERT_EQ(1, frm_.SetMasterRelation());
  ASSERT_EQ(1, frm_.SetQuery(("(" + Call(h, "2,") + "=\"1\")").c_str()));
  std::vector<int32_t> recs;
  for (int r = frm_.TopRelation(); r == 1; r = frm_.NextRelation())
    recs.push_back(frm_.RecNo());
  EXPECT_EQ((std::vector<int32_t>{2, 4}), recs);
}

TEST_F(CxTest, UnknownAndStaleHandlesGiveBlanks) {
  const int32_t h = WdbaseRegisterCx(&frm_, StartsWith);
  ASSERT_GT(h, 0);
  EXPECT_EQ("0", Result(frm_, Call(h, "2,")));  // record 1 is "1,2"
  char text[] = "1";
  char token[16];
  ASSERT_TRUE(frm_.StringToPtr(text, token, false));
  const std::string text_handle =
      std::string(token).substr(2, std::strlen(token) - 4);
  for (const std::string& e :
       {Call(0, "2,"), Call(2147483647, "2,"), Call(h + 1000, "2,"),
        std::string("CX(1,\"") + text_handle + "\",\"2,\")",
        std::string("CX(1,\"-5\",\"2,\")")}) {
    EXPECT_EQ(" ", Result(frm_, e)) << e;
  }
  EXPECT_EQ(0, WdbaseUnregisterCx(&frm_, std::stoi(text_handle)));
  EXPECT_EQ(1, WdbaseIsCxRegistered(&frm_, h));
  EXPECT_EQ(1, WdbaseUnregisterCx(&frm_, h));
  EXPECT_EQ(0, WdbaseIsCxRegistered(&frm_, h));
  EXPECT_EQ(0, WdbaseUnregisterCx(&frm_, h));
  EXPECT_EQ(" ", Result(frm_, Call(h, "2,")));
  // A stale handle in a special filter hides every record.
  EXPECT_EQ(std::vector<int32_t>{}, Visible("(" + Call(h, "2,") + "=\"1\")"));
  // The token text stays valid.
  EXPECT_EQ("T", Result(frm_, std::string("IIF(\"") + token +
                                  "\"!\"x1x\",\"T\",\"F\")"));
  // Refused registrations.
  EXPECT_EQ(0, WdbaseRegisterCx(nullptr, StartsWith));
  EXPECT_EQ(0, WdbaseRegisterCx(&frm_, WdbaseCxRoutine()));
  EXPECT_EQ(0, WdbaseUnregisterCx(nullptr, h));
  EXPECT_EQ(0, WdbaseIsCxRegistered(&frm_, 0));
}

TEST_F(CxTest, DestroyingTheOwnerEndsItsRoutines) {
  auto state = std::make_shared<int>(0);
  std::weak_ptr<int> watch = state;
  int32_t h = 0;
  {
    Wdbase owner;  // never opened: owning needs no table
    h = WdbaseRegisterCx(&owner,
                         [state](const WdbaseRecordView&, const WdbaseCxCall&,
                                 std::string* result) {
                           ++*state;
                           *result = "Y";
                         });
    ASSERT_GT(h, 0);
    state.reset();
    EXPECT_FALSE(watch.expired());  // the registration holds the routine
    EXPECT_EQ("Y", Result(frm_, Call(h, "")));
    EXPECT_EQ(1, *watch.lock());
    EXPECT_EQ(1, WdbaseIsCxRegistered(&owner, h));
    EXPECT_EQ(0, WdbaseIsCxRegistered(&frm_, h));
  }
  EXPECT_TRUE(watch.expired());  // released with the registration
  EXPECT_EQ(" ", Result(frm_, Call(h, "")));
  // A new object, perhaps at the same address, does not inherit it.
  Wdbase again;
  EXPECT_EQ(0, WdbaseIsCxRegistered(&again, h));
}

TEST_F(CxTest, TwoOwnersKeepSeparateRoutines) {
  Wdbase a, b;
  const int32_t ha =
      WdbaseRegisterCx(&a, [](const WdbaseRecordView&, const WdbaseCxCall&,
                              std::string* result) { *result = "A"; });
  const int32_t hb =
      WdbaseRegisterCx(&b, [](const WdbaseRecordView&, const WdbaseCxCall&,
                              std::string* result) { *result = "B"; });
  ASSERT_GT(ha, 0);
  ASSERT_GT(hb, ha);
  EXPECT_EQ("AB", Result(frm_, Call(ha, "") + "+" + Call(hb, "")));
  EXPECT_EQ(0, WdbaseUnregisterCx(&a, hb));  // not a's
  EXPECT_EQ(1, WdbaseIsCxRegistered(&b, hb));
  EXPECT_EQ(1, WdbaseUnregisterCx(&b, hb));
  EXPECT_EQ("A ", Result(frm_, Call(ha, "") + "+" + Call(hb, "")));
}

TEST_F(CxTest, ThrowingOrSelfEndingRoutinesAreSafe) {
  const int32_t thrower = WdbaseRegisterCx(
      &frm_,
      [](const WdbaseRecordView&, const WdbaseCxCall&, std::string* result) {
        *result = "X";
        throw std::runtime_error("boom");
      });
  EXPECT_EQ("  ", Result(frm_, Call(thrower, "", 2)));
  // A routine that ends its own registration finishes its call.
  auto handle = std::make_shared<int32_t>(0);
  *handle = WdbaseRegisterCx(
      &frm_,
      [this, handle, big = std::string(1000, 'z')](
          const WdbaseRecordView&, const WdbaseCxCall&, std::string* result) {
        WdbaseUnregisterCx(&frm_, *handle);
        *result = big.substr(0, 3);
      });
  ASSERT_GT(*handle, 0);
  EXPECT_EQ("zzz", Result(frm_, Call(*handle, "", 3)));
  EXPECT_EQ("   ", Result(frm_, Call(*handle, "", 3)));
}

}  // namespace
}  // namespace xbase32::testing
