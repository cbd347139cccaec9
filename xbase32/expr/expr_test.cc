// Evaluation of expressions against a table: results, types and lengths.

#include "expr/expr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "expr/expr_test_fixture.h"

namespace xbase32 {
namespace {

using std::string;

string Nuls(size_t n) { return string(n, '\0'); }

struct TextCase {
  const char* expr;
  int recno;
  char type;
  int32_t length;
  string bytes;
};

TEST_F(ExprTest, TextResults) {
  const TextCase cases[] = {
      // Concatenation and the NUL bytes left by TRIM.
      {"NAME+CITY", 1, 'C', 18, "BLUE      PARIS   "},
      {"TRIM(NAME)+CITY", 1, 'C', 18, "BLUEPARIS   " + Nuls(6)},
      {"NAME-CITY", 1, 'C', 18, "BLUEPARIS         "},
      {"TRIM(NAME)+TRIM(CITY)+CODE", 1, 'C', 24, "BLUEPARISABCDEF" + Nuls(9)},
      {"TRIM(NAME)-CITY", 1, 'C', 18, string("BLUE\0\0\0\0\0\0PARIS   ", 18)},
      {"NAME+''", 1, 'C', 10, "BLUE      "},
      {"''+''", 1, 'C', 0, ""},
      {"TRIM(NAME)", 1, 'C', 10, "BLUE" + Nuls(6)},
      {"TRIM('AB  ')", 1, 'C', 4, string("AB\0\0", 4)},
      {"LTRIM('  AB ')", 1, 'C', 5, string("AB \0\0", 5)},
      {"LTRIM(TRIM('  AB '))", 1, 'C', 5, string("AB\0\0\0", 5)},
      {"TRIM(NAME)", 3, 'C', 10, Nuls(10)},
      // Fields read as they are.
      {"NAME", 1, 'C', 10, "BLUE      "},
      {"QTY", 1, 'N', 5, "   12"},
      {"AMOUNT", 1, 'N', 6, "    -7"},
      {"BDATE", 1, 'D', 8, "20090307"},
      {"OTHER->TITLE", 1, 'C', 5, "FIVE "},
      {"other->title+name", 1, 'C', 15, "FIVE BLUE      "},
      // STR: widths, decimals, rounding and overflow.
      {"STR(PRICE,8,2)", 1, 'C', 8, "    3.14"},
      {"STR(PRICE)", 2, 'C', 10, "       124"},
      {"STR(QTY)", 2, 'C', 10, "       -40"},
      {"STR(-5,3)", 1, 'C', 3, " -5"},
      {"STR(-100,3)", 1, 'C', 3, "***"},
      {"STR(0.5,5,2)", 1, 'C', 5, " 0.50"},
      {"STR(-0.5,5,2)", 1, 'C', 5, "-0.50"},
      {"STR(-0.05,3,1)", 1, 'C', 3, "***"},  // "-0.1" does not fit
      {"STR(0.05,3,1)", 1, 'C', 3, "0.1"},
      {"STR(-0.05,4,1)", 1, 'C', 4, "-0.1"},
      {"STR(1234.5,5,1)", 1, 'C', 5, "*****"},
      {"STR(3.14159,5,4)", 1, 'C', 5, "3.142"},  // dec reduced to len - 2
      {"STR(7,1,0)", 1, 'C', 1, "7"},
      {"STR(7,1,3)", 1, 'C', 1, "7"},
      {"STR(12,-3)", 1, 'C', 10, "        12"},
      {"STR(12,0)", 1, 'C', 0, ""},
      {"STR(2.5,4,-1)", 1, 'C', 4, "   3"},
      {"STR(10/0)", 1, 'C', 10, "         0"},
      // SUBSTR and LEFT.
      {"SUBSTR(CODE,3,2)", 1, 'C', 2, "CD"},
      {"SUBSTR(CODE,3)", 1, 'C', 0, ""},
      {"SUBSTR(CODE,5,10)", 1, 'C', 2, "EF"},
      {"SUBSTR(CODE,7,2)", 1, 'C', 0, ""},
      {"SUBSTR(CODE,99999999999,2)", 1, 'C', 0, ""},
      {"SUBSTR(CODE,0,2)", 1, 'C', 2, "AB"},
      {"SUBSTR(CODE,-5,2)", 1, 'C', 2, "AB"},
      {"SUBSTR(CODE,2,-1)", 1, 'C', 0, ""},
      {"SUBSTR(CODE,1,2000000000)", 1, 'C', 6, "ABCDEF"},
      {"LEFT(CODE,3)", 1, 'C', 3, "ABC"},
      {"LEFT(CODE,100)", 1, 'C', 6, "ABCDEF"},
      {"LEFT(CODE,-1)", 1, 'C', 0, ""},
      {"LEFT(NOTES,10)", 1, 'C', 10, "Hello memo"},
      // Other text functions.
      {"UPPER('abc1z')", 1, 'C', 5, "ABC1Z"},
      {"UPPER(NAME)", 2, 'C', 10, "RED       "},
      {"DESCEND('AB')", 1, 'C', 2, "\xBF\xBE"},
      {"DESCEND(DESCEND(CODE))", 1, 'C', 6, "ABCDEF"},
      {"DEL()", 1, 'C', 1, " "},
      {"DEL()", 2, 'C', 1, "*"},
      {"DEL()", 3, 'C', 1, "+"},
      {"IIF(FLAG,'YES','NO ')", 1, 'C', 3, "YES"},
      {"IIF(FLAG,'YES','NO ')", 2, 'C', 3, "NO "},
      {"IIF(FLAG,'YES','NO ')", 3, 'C', 3, "YES"},  // "y" is true
      // Dates.
      {"DTOS(BDATE)", 1, 'C', 8, "20090307"},
      {"DTOS(BDATE+1)", 1, 'C', 8, "20090308"},
      {"DTOS(1+BDATE)", 1, 'C', 8, "20090308"},
      {"DTOS(BDATE-7)", 1, 'C', 8, "20090228"},
      {"DTOS(BDATE)", 2, 'C', 8, "        "},
      {"DTOS(BDATE+1)", 2, 'C', 8, "        "},  // blank stays blank
      {"DTOS(BDATE)", 3, 'C', 8, "        "},    // invalid date
      {"DTOS(DATE()+1)", 1, 'C', 8, "20090308"},
      {"DTOS(DATE()-366)", 1, 'C', 8, "20080306"},
      {"DTOS(STOD('20091231')+1)", 1, 'C', 8, "20100101"},
      {"DTOS(STOD('2009'))", 1, 'C', 8, "        "},
      {"DTOC(BDATE)", 1, 'C', 8, "03/07/09"},
      {"DTOC(BDATE)", 2, 'C', 8, "  /  /  "},
      {"DTOS(CTOD('01/02/09'))", 1, 'C', 8, "19090102"},
      {"DTOS(CTOD(' 1/ 2/ 9'))", 1, 'C', 8, "19090102"},
      {"DTOS(CTOD('12'))", 1, 'C', 8, "19011201"},  // defaults fill the rest
      {"DTOS(CTOD('  /  /  '))", 1, 'C', 8, "        "},
      {"DTOS(CTOD(''))", 1, 'C', 8, "        "},
      {"DTOS(CTOD('13/01/09'))", 1, 'C', 8, "        "},  // invalid
      {"DTOS(CTOD(DTOC(BDATE)))", 1, 'C', 8, "19090307"},
      {"TIME()", 1, 'C', 8, "13:45:09"},
      // CX without a registered routine gives blanks.
      {"CX(5,\"0\",\"0\")", 1, 'C', 5, "     "},
      {"CX(0,'1','2')", 1, 'C', 0, ""},
      {"CX(-3,'1','2')", 1, 'C', 0, ""},
      // Memo fields: 1024 bytes, NUL-padded.
      {"NOTES", 1, 'C', 1024, "Hello memo" + Nuls(1014)},
      {"NOTES", 2, 'C', 1024, Nuls(1024)},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.expr);
    table_.Go(c.recno);
    std::unique_ptr<Expr> e = Parse(c.expr);
    ASSERT_TRUE(e != nullptr);
    EXPECT_EQ(e->type(), c.type);
    EXPECT_EQ(e->length(), c.length);
    EXPECT_EQ(string(e->Evaluate(), static_cast<size_t>(e->length())), c.bytes);
  }
}

struct NumberCase {
  const char* expr;
  int recno;
  char type;
  double value;
};

TEST_F(ExprTest, NumericResults) {
  const NumberCase cases[] = {
      {"PRICE", 1, 'n', 3.14159},
      {"PRICE*2", 1, 'n', 6.28318},
      {"QTY+1", 1, 'n', 13},
      {"QTY+AMOUNT", 1, 'n', 5},
      {"QTY/0", 1, 'n', 0},
      {"2^10", 1, 'n', 1024},
      {"2**3", 1, 'n', 8},
      {"2^3^2", 1, 'n', 64},  // left to right
      {"2+3*4", 1, 'n', 14},
      {"(2+3)*4", 1, 'n', 20},
      {"10-4-3", 1, 'n', 3},
      {"8/4/2", 1, 'n', 1},
      {"-1+2", 1, 'n', 1},
      {"1 - -2", 1, 'n', 3},
      {"1-2", 1, 'n', -1},
      {"+.5+1", 1, 'n', 1.5},
      {"2*-3", 1, 'n', -6},
      {"RECNO()", 2, 'n', 2},
      {"RECCOUNT()", 1, 'n', 3},
      {"PAGENO()", 1, 'n', 0},
      {"BDATE-STOD('20090301')", 1, 'n', 6},
      {"BDATE-STOD('        ')", 1, 'n', 0},
      {"BDATE-BDATE", 2, 'n', 0},
      {"DAY(BDATE)", 1, 'n', 7},
      {"MONTH(BDATE)", 1, 'n', 3},
      {"YEAR(BDATE)", 1, 'n', 2009},
      {"YEAR(BDATE)", 2, 'n', 0},
      {"YEAR(DATE())", 1, 'n', 2009},
      {"DATE()", 1, 'd', 2454898},
      {"BDATE+0", 1, 'd', 2454898},
      {"STOD('20000101')", 1, 'd', 2451545},
      {"STOD('        ')", 1, 'd', 0},
      {"STOD('')", 1, 'd', 0},  // read as 8 blanks
      {"VAL('12.5abc')", 1, 'n', 12.5},
      {"VAL(CITY)", 1, 'n', 0},
      {"VAL('  -3')", 1, 'n', -3},
      {"IIF(FLAG,QTY,PRICE)", 1, 'n', 12},
      {"IIF(FLAG,QTY,PRICE)", 2, 'n', 123.7},
      {"IIF(FLAG,BDATE,DATE())", 1, 'd', 2454898},
      {"OTHER->ID*2", 1, 'n', 10},
      {"12345678901234567890123456789012345678901234567890123", 1, 'n',
       1234567890123456789012345678901234567890123456789.0},
  };
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(c.expr);
    table_.Go(c.recno);
    std::unique_ptr<Expr> e = Parse(c.expr);
    ASSERT_TRUE(e != nullptr);
    EXPECT_EQ(e->type(), c.type);
    EXPECT_EQ(e->length(), 8);
    EXPECT_DOUBLE_EQ(e->EvaluateNumber(), c.value);
  }
}

struct LogicalCase {
  const char* expr;
  int recno;
  bool value;
};

TEST_F(ExprTest, LogicalResults) {
  const LogicalCase cases[] = {
      // Text comparison by the shorter length.
      {"'AB'='ABC'", 1, true},
      {"'ABC'='AB'", 1, true},
      {"'ABC'>'AB'", 1, true},
      {"'AB'<'ABC'", 1, true},
      {"'AB'#'ABC'", 1, false},
      {"'AB'<>'AC'", 1, true},
      {"'AB'>='ABC'", 1, false},
      {"'ABC'<='AB'", 1, false},
      {"'AB'<='AB'", 1, true},
      {"''='X'", 1, true},
      {"'a'>'B'", 1, true},     // unsigned bytes
      {"'\xE9'>'z'", 1, true},  // bytes above 0x7F sort last
      {"NAME='BLUE'", 1, true},
      {"NAME='BLUE '", 1, true},
      {"NAME='BLUEX'", 1, false},
      // Containment.
      {"'ab'!'xABy'", 1, true},
      {"'ab'$'xABy'", 1, false},
      {"'AB'$'xABy'", 1, true},
      {"''$'x'", 1, true},
      {"'B'$CODE", 1, true},
      {"'B'$CODE", 2, false},
      {"'BLUE '$NAME", 1, true},
      {"NAME$'BLUE'", 1, false},  // the field's blanks count
      {"NAME!'BLUE'", 1, false},
      {"TRIM(NAME)!'a blue sky'", 1, true},  // stops at the first NUL
      // "!" compares in the ANSI page: OEM 0x82 and 0x90 are e and E with
      // an acute accent.
      {"'\x82'!'x\x90y'", 1, true},
      {"'\x82'$'x\x90y'", 1, false},
      // Logical operators and their priorities.
      {"FLAG", 1, true},
      {"FLAG", 2, false},
      {".NOT. FLAG", 1, false},
      {".NOT. .NOT. FLAG", 1, true},
      {"FLAG = .NOT. FLAG", 1, false},
      {"FLAG # .NOT. FLAG", 1, true},
      {"FLAG <> .F.", 1, true},
      {".T. .AND. .F.", 1, false},
      {".t. .and. .true.", 1, true},
      {".T. .OR. .F. .AND. .F.", 1, true},
      {"(.T. .OR. .F.) .AND. .F.", 1, false},
      {".NOT. .T. .OR. .T.", 1, true},
      {".NOT. 1=2", 1, true},
      {".F. .OR. .F. .OR. .F. .OR. .T.", 1, true},
      {".T. .AND. .T. .AND. .T. .AND. .F.", 1, false},
      {".T. .AND. .NOT. .F. .AND. .T.", 1, true},
      {"DELETED()", 1, false},
      {"DELETED()", 2, true},
      {"DELETED()", 3, true},
      // Numbers and dates.
      {"PRICE>3 .AND. 'B'$CODE", 1, true},
      {"PRICE>10 .AND. 'A'$CODE", 2, false},
      {"QTY=12", 1, true},
      {"QTY>=12.5", 1, false},
      {"QTY<AMOUNT", 1, false},
      {"BDATE > STOD('20090101')", 1, true},
      {"BDATE = DATE()", 1, true},
      {"BDATE < DATE()+1", 1, true},
      // Lexical rules: points next to dot operators.
      {"1=1.AND.2=2", 1, true},
      {"1=1..AND.2=2", 1, true},
      {"1=1.0.OR.1=2", 1, true},
      {".5 = 0.5", 1, true},
      {"-.5 < 0", 1, true},
      {"DATE()+1>DATE()", 1, true},
      // Alias fields.
      {"OTHER->ID=5", 1, true},
      {"IIF(FLAG,.T.,.F.)", 2, false},
  };
  for (const LogicalCase& c : cases) {
    SCOPED_TRACE(c.expr);
    table_.Go(c.recno);
    std::unique_ptr<Expr> e = Parse(c.expr);
    ASSERT_TRUE(e != nullptr);
    EXPECT_EQ(e->type(), 'L');
    EXPECT_EQ(e->length(), 4);
    EXPECT_EQ(e->EvaluateLogical(), c.value);
  }
}

TEST_F(ExprTest, KeyLengths) {
  struct {
    const char* expr;
    int32_t key_length;
    int32_t key_decimals;
    bool uses_trim;
  } cases[] = {
      {"NAME", 10, 0, false},
      {"NAME+CITY", 18, 0, false},
      {"TRIM(NAME)+CITY", 18, 0, true},
      {"UPPER(LTRIM(NAME))", 10, 0, true},
      {"QTY", 5, 0, false},
      {"PRICE", 10, 5, false},
      {"PRICE*2", 17, 2, false},
      {"QTY+0", 17, 2, false},
      {"BDATE", 8, 0, false},
      {"BDATE+1", 8, 0, false},
      {"FLAG", 0, 0, false},
      {"UPPER(NAME)+STR(PRICE,8,2)", 18, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expr);
    std::unique_ptr<Expr> e = Parse(c.expr);
    ASSERT_TRUE(e != nullptr);
    EXPECT_EQ(e->key_length(), c.key_length);
    EXPECT_EQ(e->key_decimals(), c.key_decimals);
    EXPECT_EQ(e->uses_trim(), c.uses_trim);
  }
}

TEST_F(ExprTest, SourceAndTableAreKept) {
  std::unique_ptr<Expr> e = Parse("upper(name)");
  EXPECT_EQ(e->source(), "upper(name)");
  EXPECT_EQ(e->table(), &table_);
}

TEST_F(ExprTest, ResultOfAFieldSurvivesMovingTheRecord) {
  std::unique_ptr<Expr> e = Parse("NAME");
  const char* r = e->Evaluate();
  table_.Go(2);
  EXPECT_EQ(string(r, 10), "BLUE      ");
  EXPECT_EQ(string(e->Evaluate(), 10), "red       ");
}

TEST_F(ExprTest, NoCurrentRecordReadsBlanks) {
  table_.Go(0);
  EXPECT_EQ(Text("NAME+DEL()"), string(11, ' '));
  std::unique_ptr<Expr> e = Parse("QTY+1");
  EXPECT_DOUBLE_EQ(e->EvaluateNumber(), 1);
}

TEST_F(ExprTest, AliasThatIsNoLongerOpenReadsBlanks) {
  std::unique_ptr<Expr> e = Parse("OTHER->TITLE+NAME");
  std::unique_ptr<Expr> n = Parse("OTHER->ID+1");
  table_.SetAlias("OTHER", nullptr);
  EXPECT_EQ(string(e->Evaluate(), 15), "     BLUE      ");
  EXPECT_DOUBLE_EQ(n->EvaluateNumber(), 1);
  // Another data file under the same alias whose field differs.
  FakeExprTable changed({{"ID", 'C', 3, 0}, {"TITLE", 'C', 9, 0}});
  changed.Append({"abc", "something"});
  table_.SetAlias("OTHER", &changed);
  EXPECT_EQ(string(e->Evaluate(), 15), "     BLUE      ");
  EXPECT_DOUBLE_EQ(n->EvaluateNumber(), 1);
}

TEST_F(ExprTest, LongResultsWithinTheWorkArea) {
  // STR with a large constant length and a long concatenation.
  std::unique_ptr<Expr> e = Parse("STR(PRICE,100000,2)+NAME");
  ASSERT_TRUE(e != nullptr);
  EXPECT_EQ(e->length(), 100010);
  const string r(e->Evaluate(), 100010);
  EXPECT_EQ(r.substr(99990), "      3.14BLUE      ");
}

}  // namespace
}  // namespace xbase32
