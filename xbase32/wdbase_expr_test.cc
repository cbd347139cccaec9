// Expressions of callers on the current record: results, conversion, parse
// errors, aliases, memo fields and text reference tokens.

#include <gtest/gtest.h>

#include "test_util.h"

namespace xbase32::testing {
namespace {

class ExprResultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = drives_.dir() + "/";
    Wdbase::SetDebugLevel(0);
    ASSERT_EQ(1, colors_.SetFiles(dir_.c_str(), "colors", 0, nullptr, nullptr));
    auto f = Fields({Fld("NAME", 'C', 8), Fld("QTY", 'N', 6, 2),
                     Fld("BORN", 'D', 0), Fld("NOTE", 'M', 0)});
    ASSERT_EQ(1, colors_.CreateDb(f.data()));
    ASSERT_EQ(1, colors_.Open());
    ASSERT_EQ(1, colors_.AppendBlank());
    ASSERT_EQ(1, colors_.WriteString("NAME", "caf\xE9"));
    ASSERT_EQ(1, colors_.WriteDouble("QTY", 12.5));
    ASSERT_EQ(1, colors_.WriteString("BORN", "20090307"));
  }
  std::string Result(const char* expr, int size = 64) {
    char out[256];
    if (!colors_.GetExprResult(expr, out, size)) return "<failed>";
    return out;
  }
  platform::ScopedTempDrives drives_;
  std::string dir_;
  Wdbase colors_;
};

TEST_F(ExprResultTest, ResultsAreConvertedBackToAnsi) {
  EXPECT_EQ("CAF\xE9    ", Result("UPPER(NAME)"));  // 0x82 in the file
  EXPECT_EQ(" 12.50", Result("STR(QTY,6,2)"));
  EXPECT_EQ("20090308", Result("DTOS(BORN+1)"));
  EXPECT_EQ("caf\xE9 12.50", Result("TRIM(NAME)+' '+LTRIM(STR(QTY,6,2))"));
  // A literal in the caller's code page matches the stored text.
  EXPECT_EQ("Y", Result("IIF('\xE9'$NAME,'Y','N')"));
  EXPECT_EQ("<failed>", Result("UPPER(NAME)", 8));  // 8 bytes need 9
  EXPECT_EQ("CAF\xE9    ", Result("UPPER(NAME)", 9));
}

TEST_F(ExprResultTest, ParseErrorsCarryTheirCodes) {
  struct Case {
    const char* expr;
    int code;
  } cases[] = {
      {"UPPER(NAME", -450},   {"'ABC", -500},
      {"NOSUCH", -210},       {"FOO(1)", -470},
      {"STR(QTY,QTY)", -425}, {"IIF(.T.,'YES','NO')", -422},
      {"OTHER->NAME", -420},
  };
  for (const Case& c : cases) {
    char out[32] = "junk";
    EXPECT_EQ(0, colors_.GetExprResult(c.expr, out, sizeof out)) << c.expr;
    EXPECT_STREQ("", out) << c.expr;
    EXPECT_EQ(c.code, Wdbase::LastErrorCode()) << c.expr;
  }
  // The first detail line is the source.
  EXPECT_EQ("<failed>", Result("UPPER(NAME"));
  EXPECT_STREQ("UPPER(NAME", Wdbase::LastErrorDetail(0));
  char out[8];
  EXPECT_EQ(0, colors_.GetExprResult(nullptr, out, sizeof out));
  EXPECT_EQ(0, colors_.GetExprResult("NAME", out, 0));
  Wdbase closed;
  EXPECT_EQ(0, closed.GetExprResult("1", out, sizeof out));
}

TEST_F(ExprResultTest, AliasesReachOtherOpenTables) {
  Wdbase bases;
  ASSERT_EQ(1, bases.SetFiles(dir_.c_str(), "bases", 0, nullptr, nullptr));
  auto f = Fields({Fld("CODE", 'C', 4)});
  ASSERT_EQ(1, bases.CreateDb(f.data()));
  EXPECT_EQ("<failed>", Result("BASES->CODE"));
  EXPECT_EQ(-420, Wdbase::LastErrorCode());
  ASSERT_EQ(1, bases.Open());
  ASSERT_EQ(1, bases.AppendBlank());
  ASSERT_EQ(1, bases.WriteString("CODE", "B1"));
  EXPECT_EQ("B1  caf\xE9    ", Result("bases->CODE+NAME"));
}

TEST_F(ExprResultTest, MemoFieldsReadTheirText) {
  // Block 1 of the memo file holds the text; the record names it.
  ASSERT_EQ(1, colors_.Close());
  std::string memo(512, '\0');
  memo[0] = 2;
  memo += "hello memo\x1A";
  ASSERT_TRUE(WriteAll(drives_.Host("colors.dbt"), memo));
  ASSERT_EQ(1, colors_.Open());
  std::memcpy(colors_.RecordBufferPtr() + 8 + 6 + 8, "         1", 10);
  EXPECT_EQ("hello", Result("LEFT(NOTE,5)"));
  EXPECT_EQ("Y", Result("IIF('memo'$NOTE,'Y','N')"));
}

TEST_F(ExprResultTest, TextReferenceTokens) {
  char text[] = "xCAF\xC9y";  // ANSI, converted in place
  char token[16];
  ASSERT_TRUE(colors_.StringToPtr(text, token, false));
  EXPECT_STREQ("xCAF\x90y", text);
  ASSERT_EQ(0, std::strncmp(token, "!*", 2));
  const std::string t(token);
  EXPECT_EQ("Y", Result(("IIF(TRIM(NAME)!'" + t + "','Y','N')").c_str()));
  EXPECT_EQ("N", Result(("IIF('zz'!'" + t + "','Y','N')").c_str()));
  // An expression token is evaluated on the current record.
  char cond[] = "QTY>10";
  ASSERT_TRUE(colors_.StringToPtr(cond, token, true));
  ASSERT_EQ(0, std::strncmp(token, "!@", 2));
  const std::string e(token);
  EXPECT_EQ("Y", Result(("IIF('" + e + "'!NAME,'Y','N')").c_str()));
  ASSERT_EQ(1, colors_.WriteDouble("QTY", 5));
  EXPECT_EQ("N", Result(("IIF('" + e + "'!NAME,'Y','N')").c_str()));
  EXPECT_FALSE(colors_.StringToPtr(nullptr, token, false));
}

TEST_F(ExprResultTest, TokensEndWithTheirTable) {
  std::string token;
  {
    Wdbase other;
    char text[] = "ABC";
    char buf[16];
    ASSERT_TRUE(other.StringToPtr(text, buf, false));
    token = buf;
    EXPECT_EQ("Y", Result(("IIF('b'!'" + token + "','Y','N')").c_str()));
  }
  // A forged or stale number names no text.
  EXPECT_EQ("N", Result(("IIF('b'!'" + token + "','Y','N')").c_str()));
  EXPECT_EQ("N", Result("IIF('b'!'!*140737488355328*!','Y','N')"));
}

}  // namespace
}  // namespace xbase32::testing
