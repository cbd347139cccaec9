// Parsing: inputs that must fail with their codes and details, the postfix
// order the parser builds, and the limits that keep hostile input bounded.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expr/expr_parser.h"
#include "expr/expr_test_fixture.h"

namespace xbase32 {
namespace {

using std::string;

struct FailCase {
  string expr;
  int code;
  const char* detail;  // expected second detail line, or null
};

TEST_F(ExprTest, InputsThatMustFail) {
  const FailCase cases[] = {
      {"'ABC", kExprUnterminated, "'ABC"},
      {"[ABC", kExprUnterminated, nullptr},
      {"\"ABC'", kExprUnterminated, nullptr},
      {"NAME+'AB", kExprUnterminated, nullptr},
      {"UPPER(NAME", kExprRightBracket, nullptr},
      {"(NAME", kExprRightBracket, nullptr},
      {"((1)", kExprRightBracket, nullptr},
      {"UPPER(", kExprRightBracket, nullptr},
      {"(NAME CITY)", kExprRightBracket, "CITY"},
      {"(1,2)", kExprRightBracket, ","},
      {"UPPER(NAME CITY)", kExprCommaOrBracket, "CITY"},
      {"SUBSTR(CODE 1)", kExprCommaOrBracket, "1"},
      {"IIF(FLAG,'A' 'B')", kExprCommaOrBracket, "'B'"},
      {"", kExprNotComplete, nullptr},
      {"   ", kExprNotComplete, nullptr},
      {"NAME+", kExprNotComplete, nullptr},
      {".NOT.", kExprNotComplete, nullptr},
      {"NAME CITY", kExprNotComplete, "CITY"},
      {"NAME)", kExprNotComplete, ")"},
      {"NAME,CITY", kExprNotComplete, ","},
      {"1 2", kExprNotComplete, "2"},
      {"XX->NAME", kExprAliasNotLocated, "XX"},
      {"other1234567->ID", kExprAliasNotLocated, "OTHER1234567"},
      {"IIF(FLAG,'YES','NO')", kExprIifLength, "IIF"},
      {"IIF(FLAG,NAME,CITY)", kExprIifLength, "IIF"},
      {"STR(QTY,QTY)", kExprNeedsConstant, "STR"},
      {"STR(QTY,8,QTY)", kExprNeedsConstant, "STR"},
      {"STR(QTY,1+1)", kExprNeedsConstant, "STR"},
      {"SUBSTR(CODE,QTY)", kExprNeedsConstant, "SUBSTR"},
      {"SUBSTR(CODE,1,QTY)", kExprNeedsConstant, "SUBSTR"},
      {"LEFT(CODE,RECNO())", kExprNeedsConstant, "LEFT"},
      {"CX(QTY,'1','2')", kExprNeedsConstant, "CX"},
      {"STR()", kExprParameterCount, "Function"},
      {"STR(1,2,3,4)", kExprParameterCount, "Function"},
      {"DATE(1)", kExprParameterCount, "Function"},
      {"IIF(FLAG,1)", kExprParameterCount, "Function"},
      {"LEFT(CODE)", kExprParameterCount, "Function"},
      {"CX(1,'2')", kExprParameterCount, "Function"},
      {"UPPER()", kExprParameterCount, "Function"},
      {"NAME+1", kExprTypeWrong, "+"},
      {"1+NAME", kExprTypeWrong, "+"},
      {"UPPER(1)", kExprTypeWrong, "UPPER"},
      {".NOT. NAME", kExprTypeWrong, ".NOT."},
      {"FLAG .AND. 1", kExprTypeWrong, ".AND."},
      {"FLAG .OR. FLAG .OR. NAME", kExprTypeWrong, ".OR."},
      {"BDATE+BDATE", kExprTypeWrong, "+"},
      {"FLAG > FLAG", kExprTypeWrong, ">"},
      {"FLAG + FLAG", kExprTypeWrong, "+"},
      {"NAME = 1", kExprTypeWrong, "="},
      {"IIF(NAME,1,2)", kExprTypeWrong, "IIF"},
      {"IIF(FLAG,1,'A')", kExprTypeWrong, "IIF"},
      {"STR(NAME)", kExprTypeWrong, "STR"},
      {"STR(QTY,'8')", kExprTypeWrong, "STR"},
      {"DTOS(NAME)", kExprTypeWrong, "DTOS"},
      {"VAL(QTY)", kExprTypeWrong, "VAL"},
      {"NOTES$1", kExprTypeWrong, "$"},
      {"1!NAME", kExprTypeWrong, "!"},
      {"BDATE*2", kExprTypeWrong, "*"},
      {"FOO(1)", kExprUnknownFunction, "FOO"},
      {"STRX(1)", kExprUnknownFunction, "STRX"},
      {"NAME ? CITY", kExprUnknownOperator, "?"},
      {"NAME .XOR. CITY", kExprUnknownOperator, ".XOR."},
      {"NAME .NOT. CITY", kExprUnknownOperator, ".NOT."},
      {"NAME & CITY", kExprUnknownOperator, "&"},
      {"QTY->ID", kExprAliasNotLocated, "QTY"},
      {"1->2", kExprUnknownOperator, "->"},
      {"UPPER(NAME ? CITY)", kExprUnknownOperator, "?"},
      {"@", kExprUnknownValue, "@"},
      {"NAME+*", kExprUnknownValue, "*"},
      {"NAME == CITY", kExprUnknownValue, "="},
      {"()", kExprUnknownValue, ")"},
      {"SUBSTR(,1)", kExprUnknownValue, ","},
      {"SUBSTR(CODE,)", kExprUnknownValue, ")"},
      {"+NAME", kExprUnknownValue, "+"},
      {"-QTY", kExprUnknownValue, "-"},
      {"+1A", kExprUnknownValue, "+"},
      {".AND.", kExprUnknownValue, ".AND."},
      {".X.", kExprUnknownValue, ".X."},
      {"OTHER->", kExprUnknownValue, ""},
      {"OTHER->'A'", kExprUnknownValue, "'A'"},
      {"OTHER->ABCDEFGHIJK", kExprUnknownValue, "ABCDEFGHIJK"},
      {"ABCDEFGHIJK", kExprUnknownValue, "ABCDEFGHIJK"},
      {"NOSUCH", kExprUnknownField, "NOSUCH"},
      {"nosuch+NAME", kExprUnknownField, "NOSUCH"},
      {"1ABC", kExprUnknownField, "1ABC"},
      {"OTHER->NAME", kExprUnknownField, "NAME"},
      {"UPPER (NAMEX)", kExprUnknownField, "NAMEX"},
  };
  for (const FailCase& c : cases) {
    SCOPED_TRACE(c.expr);
    ExprError err;
    EXPECT_EQ(ParseError(c.expr, &err), c.code);
    EXPECT_EQ(err.details[0], c.expr);
    if (c.detail != nullptr) {
      EXPECT_EQ(err.details[1], c.detail);
    }
  }
}

TEST_F(ExprTest, ParameterCountNamesTheFunction) {
  ExprError err;
  EXPECT_EQ(ParseError("upper(NAME,CITY)", &err), kExprParameterCount);
  EXPECT_EQ(err.details[0], "upper(NAME,CITY)");
  EXPECT_EQ(err.details[1], "Function");
  EXPECT_EQ(err.details[2], "UPPER");
}

TEST_F(ExprTest, ParsesAfterAFailure) {
  EXPECT_EQ(ParseError("'ABC"), kExprUnterminated);
  EXPECT_EQ(Text("CODE"), "ABCDEF");
}

TEST_F(ExprTest, NullArgumentsFail) {
  ExprError err;
  EXPECT_EQ(Expr::Parse(nullptr, "1", &err), nullptr);
  EXPECT_EQ(err.code, kExprNotComplete);
  EXPECT_EQ(Expr::Parse(&table_, nullptr, &err), nullptr);
  EXPECT_EQ(Expr::Parse(&table_, "'", nullptr), nullptr);  // no error out
}

TEST_F(ExprTest, BlanksAroundBracketsAndArrows) {
  EXPECT_EQ(Text(" upper ( name ) "), "BLUE      ");
  EXPECT_EQ(Text("OTHER -> TITLE"), "FIVE ");
  EXPECT_EQ(Text("SUBSTR( CODE , 2 , 2 )"), "BC");
}

TEST_F(ExprTest, SourceEndsAtNul) {
  const char text[] = "NAME\0+1";
  ExprError err;
  std::unique_ptr<Expr> e = Expr::Parse(&table_, text, &err);
  ASSERT_TRUE(e != nullptr);
  EXPECT_EQ(e->type(), 'C');
}

// ---- limits ---------------------------------------------------------------

TEST_F(ExprTest, NestingIsCapped) {
  const string ok = string(kMaxNesting, '(') + "1" + string(kMaxNesting, ')');
  EXPECT_NE(Parse(ok), nullptr);
  const string deep =
      string(kMaxNesting + 1, '(') + "1" + string(kMaxNesting + 1, ')');
  ExprError err;
  EXPECT_EQ(ParseError(deep, &err), kExprOverflow);
  EXPECT_EQ(err.details[1], "Nesting too deep");
  string calls;
  for (int i = 0; i < 100000; i++) calls += "UPPER(";
  EXPECT_EQ(ParseError(calls + "NAME"), kExprOverflow);
  EXPECT_EQ(ParseError(string(1000000, '(')), kExprOverflow);
}

TEST_F(ExprTest, LongExpressionsAreCapped) {
  string chain = "FLAG";
  for (size_t i = 0; i < kMaxNodes; i++) chain += " .AND. FLAG";
  ExprError err;
  EXPECT_EQ(ParseError(chain, &err), kExprOverflow);
  string nots;
  for (size_t i = 0; i < 200000; i++) nots += ".NOT.";
  EXPECT_EQ(ParseError(nots + "FLAG"), kExprOverflow);
  // A long chain below the cap evaluates without recursion.
  string fine = "FLAG";
  for (int i = 0; i < 2000; i++) fine += " .AND. FLAG";
  std::unique_ptr<Expr> e = Parse(fine);
  ASSERT_NE(e, nullptr);
  EXPECT_TRUE(e->EvaluateLogical());
}

TEST_F(ExprTest, ConstantsAreaIsCapped) {
  EXPECT_NE(Parse("'" + string(kMaxConstants, 'x') + "'"), nullptr);
  ExprError err;
  EXPECT_EQ(ParseError("'" + string(kMaxConstants + 1, 'x') + "'", &err),
            kExprOverflow);
  EXPECT_EQ(ParseError("NAME+'" + string(600, 'x') + "'"), kExprOverflow);
  // 64 numbers fill the 512 bytes, the 65th overflows.
  string sum = "1";
  for (int i = 1; i < 64; i++) sum += "+1";
  std::unique_ptr<Expr> e = Parse(sum);
  ASSERT_NE(e, nullptr);
  EXPECT_DOUBLE_EQ(e->EvaluateNumber(), 64);
  EXPECT_EQ(ParseError(sum + "+1"), kExprOverflow);
  // Constant arguments of STR and SUBSTR are folded, not stored.
  string strs = "''";
  for (int i = 0; i < 100; i++) strs += "+STR(QTY,2,0)";
  EXPECT_NE(Parse(strs), nullptr);
}

TEST_F(ExprTest, WorkAreaIsCapped) {
  EXPECT_EQ(ParseError("STR(1,2000000)"), kExprOverflow);
  EXPECT_EQ(ParseError("STR(1,99999999999999999999)"), kExprOverflow);
  EXPECT_EQ(ParseError("CX(2000000,'1','2')"), kExprOverflow);
  // Each half fits, the concatenation does not.
  EXPECT_EQ(ParseError("STR(1,600000)+STR(1,600000)"), kExprOverflow);
  // Memo fields take 1024 bytes each.
  string memos = "NOTES";
  for (int i = 0; i < 1100; i++) memos += "+NOTES";
  EXPECT_EQ(ParseError(memos), kExprOverflow);
}

TEST_F(ExprTest, LongSourceDetailIsCut) {
  const string text = "NAME+" + string(1000, '(');
  ExprError err;
  ParseError(text, &err);
  EXPECT_EQ(err.details[0].size(), kExprMaxDetail);
  EXPECT_EQ(err.details[0].substr(kExprMaxDetail - 3), "...");
}

// ---- postfix order --------------------------------------------------------

// The postfix form as text: operands by kind, operators with their counts.
string Postfix(const ExprTable* table, const string& text) {
  ParsedExpr parsed;
  ExprError err;
  if (!ParseToPostfix(table, text, &parsed, &err)) {
    return "error " + std::to_string(err.code);
  }
  string out;
  for (const Node& n : parsed.nodes) {
    if (!out.empty()) out += ' ';
    switch (n.kind) {
      case NodeKind::kField:
        out += "f" + std::to_string(n.field);
        break;
      case NodeKind::kNumber:
        out += std::to_string(static_cast<int>(n.number));
        break;
      case NodeKind::kString:
        out += "'" +
               text.substr(static_cast<size_t>(n.text_pos),
                           static_cast<size_t>(n.text_len)) +
               "'";
        break;
      case NodeKind::kLogical:
        out += n.number != 0 ? "T" : "F";
        break;
      case NodeKind::kNot:
        out += "NOT";
        break;
      case NodeKind::kOperator:
        out += OperatorText(n.op);
        if (n.nargs != 2) out += "/" + std::to_string(n.nargs);
        break;
      case NodeKind::kFunction:
        out += string(GetFunctionInfo(n.function).name) + "/" +
               std::to_string(n.nargs);
        break;
    }
  }
  return out;
}

TEST_F(ExprTest, PostfixOrder) {
  const struct {
    const char* expr;
    const char* postfix;
  } cases[] = {
      {"1+2*3", "1 2 3 * +"},
      {"1*2+3", "1 2 * 3 +"},
      {"1-2-3", "1 2 - 3 -"},
      {"2^3^2", "2 3 ^ 2 ^"},
      {"(1+2)*3", "1 2 + 3 *"},
      {"T", "error -210"},
      {".T. .AND. .F. .AND. .T.", "T F T .AND./3"},
      {".T. .OR. .F. .OR. .T. .OR. .F.", "T F T F .OR./4"},
      {".T. .AND. .F. .OR. .T. .AND. .F. .AND. .T.",
       "T F .AND. T F T .AND./3 .OR."},
      {".T. .OR. .F. .AND. .T. .OR. .F.", "T F T .AND. F .OR./3"},
      {"(.T. .AND. .F.) .AND. .T.", "T F .AND. T .AND."},
      {".NOT. .NOT. .T.", "T NOT NOT"},
      {"FLAG = .NOT. FLAG", "f7 f7 NOT ="},
      {".NOT. 1 = 2", "1 2 = NOT"},
      {".NOT. .T. .AND. .F.", "T NOT F .AND."},
      {".T. .AND. .NOT. .F. .AND. .T.", "T F NOT T .AND./3"},
      {"1 < 2 .AND. 3 > 4", "1 2 < 3 4 > .AND."},
      {"'a' $ 'b' = .T.", "'a' 'b' $ T ="},
      {"SUBSTR(CODE, 1+1, 2)", "f3 1 1 + 2 SUBSTR/3"},
      {"IIF(FLAG, 1, 2) + 3", "f7 1 2 IIF/3 3 +"},
      {"DATE()+1", "DATE/0 1 +"},
      {"DATE() +1", "DATE/0 1 +"},
      {"QTY-1", "f5 1 -"},
      {"QTY -1", "f5 1 -"},
      {"QTY- -1", "f5 -1 -"},
      {"UPPER(UPPER(NAME))", "f1 UPPER/1 UPPER/1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Postfix(&table_, c.expr), c.postfix) << c.expr;
  }
}

}  // namespace
}  // namespace xbase32
