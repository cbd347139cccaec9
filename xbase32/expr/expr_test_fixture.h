// Shared set-up of the expression tests: a table with one field of every
// kind, three records, a second table reachable as alias OTHER, and a fixed
// clock (2009-03-07 13:45:09).

#ifndef XBASE32_EXPR_EXPR_TEST_FIXTURE_H_
#define XBASE32_EXPR_EXPR_TEST_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "expr/expr.h"
#include "expr/fake_expr_table.h"
#include "platform/env.h"

namespace xbase32 {

class FixedClockEnv : public platform::EnvWrapper {
 public:
  FixedClockEnv() : EnvWrapper(platform::Env::Default()) {}
  platform::LocalTime Now() override {
    platform::LocalTime t;
    t.year = 2009;
    t.month = 3;
    t.day = 7;
    t.hour = 13;
    t.minute = 45;
    t.second = 9;
    return t;
  }
};

class ExprTest : public testing::Test {
 protected:
  ExprTest()
      : table_({{"NAME", 'C', 10, 0},
                {"CITY", 'C', 8, 0},
                {"CODE", 'C', 6, 0},
                {"PRICE", 'N', 10, 5},
                {"QTY", 'N', 5, 0},
                {"BDATE", 'D', 8, 0},
                {"FLAG", 'L', 1, 0},
                {"NOTES", 'M', 10, 0},
                {"AMOUNT", 'F', 6, 0}}),
        other_({{"ID", 'N', 3, 0}, {"TITLE", 'C', 5, 0}}) {
    table_.Append({"BLUE", "PARIS", "ABCDEF", "   3.14159", "   12", "20090307",
                   "T", "", "    -7"},
                  ' ', "Hello memo");
    table_.Append(
        {"red", "LYON", "xyz", " 123.70000", "  -40", "        ", "F", "", ""},
        '*');
    table_.Append({"", "", "", "", "", "20001301", "y", "", ""}, '+');
    table_.Go(1);
    other_.Append({"  5", "FIVE"});
    table_.SetAlias("OTHER", &other_);
    old_env_ = platform::Env::SetCurrent(&clock_);
  }
  ~ExprTest() override { platform::Env::SetCurrent(old_env_); }

  std::unique_ptr<Expr> Parse(const std::string& text) {
    ExprError err;
    std::unique_ptr<Expr> e = Expr::Parse(&table_, text.c_str(), &err);
    EXPECT_TRUE(e != nullptr)
        << text << " failed with " << err.code << " " << err.details[1];
    return e;
  }

  // The result bytes of text on the current record.
  std::string Text(const std::string& text) {
    std::unique_ptr<Expr> e = Parse(text);
    if (!e) return "<parse failed>";
    return std::string(e->Evaluate(), static_cast<size_t>(e->length()));
  }

  int ParseError(const std::string& text, ExprError* err = nullptr) {
    ExprError local;
    if (err == nullptr) err = &local;
    std::unique_ptr<Expr> e = Expr::Parse(&table_, text.c_str(), err);
    EXPECT_TRUE(e == nullptr) << text;
    return err->code;
  }

  FakeExprTable table_;
  FakeExprTable other_;
  FixedClockEnv clock_;
  platform::Env* old_env_ = nullptr;
};

}  // namespace xbase32

#endif  // XBASE32_EXPR_EXPR_TEST_FIXTURE_H_
