// The registry of texts and CX routines, the "!" operator with text and
// expression tokens, and the CX hook.

#include "expr/expr_registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "expr/expr_test_fixture.h"

namespace xbase32 {
namespace {

using std::string;

string Token(ExprHandle h, TokenKind kind) {
  char buf[kTokenSize];
  FormatToken(h, kind, buf);
  return buf;
}

TEST(ExprRegistryTest, TokenForms) {
  EXPECT_EQ(Token(42, TokenKind::kText), "!*42*!");
  EXPECT_EQ(Token(42, TokenKind::kExpression), "!@42@!");
  EXPECT_EQ(Token(INT32_MAX, TokenKind::kExpression), "!@2147483647@!");
  EXPECT_LT(Token(INT32_MAX, TokenKind::kText).size(), kTokenSize);

  struct {
    const char* text;
    size_t n;
    TokenKind kind;
    bool is_token;
    ExprHandle handle;
  } cases[] = {
      {"!*42*!", 6, TokenKind::kText, true, 42},
      {"!*42*!   ", 9, TokenKind::kText, true, 42},
      {"!*42*!\0xx", 9, TokenKind::kText, true, 42},
      {"!@7@!", 5, TokenKind::kExpression, true, 7},
      {"!@7@!", 5, TokenKind::kText, false, 0},
      {"!*7*!", 5, TokenKind::kExpression, false, 0},
      {"!**!", 4, TokenKind::kText, false, 0},
      {"!*-*!", 5, TokenKind::kText, false, 0},
      {"!*-5*!", 6, TokenKind::kText, true, 0},  // a token, no handle
      {"!*99999999999*!", 15, TokenKind::kText, true, 0},
      {"!*4x*!", 6, TokenKind::kText, false, 0},
      {"x!*4*!", 6, TokenKind::kText, false, 0},
      {"!*4*!x", 6, TokenKind::kText, false, 0},
      {" !*4*!", 6, TokenKind::kText, false, 0},
      {"!*4*!", 4, TokenKind::kText, false, 0},
  };
  for (const auto& c : cases) {
    ExprHandle h = -1;
    EXPECT_EQ(ParseToken(c.text, c.n, c.kind, &h), c.is_token) << c.text;
    if (c.is_token) {
      EXPECT_EQ(h, c.handle) << c.text;
    }
  }
}

TEST(ExprRegistryTest, TextsLiveUntilUnregistered) {
  int owner = 0;
  const ExprHandle h = RegisterText("hello", &owner);
  ASSERT_GT(h, 0);
  EXPECT_EQ(RegisterText("hello", &owner), h);  // same owner, same text
  const ExprHandle other = RegisterText("hello", nullptr);
  EXPECT_NE(other, h);
  string text;
  EXPECT_TRUE(LookupText(h, &text));
  EXPECT_EQ(text, "hello");
  EXPECT_TRUE(IsRegisteredText(h));
  CxRoutine r;
  void* ctx;
  EXPECT_FALSE(LookupCxRoutine(h, &r, &ctx));  // a text is no routine
  EXPECT_EQ(UnregisterOwner(&owner), 1u);
  EXPECT_FALSE(LookupText(h, &text));
  EXPECT_FALSE(IsRegisteredText(h));
  EXPECT_TRUE(Unregister(other));
  EXPECT_FALSE(Unregister(other));
  // Handles are not reused.
  const ExprHandle next = RegisterText("hello", &owner);
  EXPECT_GT(next, other);
  Unregister(next);
  EXPECT_EQ(RegisterText(nullptr, &owner), 0);
  EXPECT_FALSE(LookupText(0, &text));
  EXPECT_FALSE(LookupText(-1, &text));
}

TEST(ExprRegistryTest, TextIsCopied) {
  char buf[] = "abc";
  const ExprHandle h = RegisterText(buf, nullptr);
  buf[0] = 'x';
  string text;
  ASSERT_TRUE(LookupText(h, &text));
  EXPECT_EQ(text, "abc");
  Unregister(h);
}

void NoOp(CxBlock*, int32_t, uint32_t) {}

// An owned context whose release registers again: the registry must not hold
// its lock while releasing.
struct Reentrant {
  explicit Reentrant(ExprHandle* a) : again(a) {}
  ExprHandle* again;
  ~Reentrant() { *again = RegisterText("again", nullptr); }
};

TEST(ExprRegistryTest, OwnedContextsAreReleasedWithTheirRegistration) {
  int owner = 0, other = 0;
  ExprHandle again = 0;
  auto ctx = std::make_shared<Reentrant>(&again);
  std::weak_ptr<Reentrant> watch = ctx;
  const ExprHandle h = RegisterCxRoutine(NoOp, std::move(ctx), &owner);
  ASSERT_GT(h, 0);
  CxRoutine r;
  void* c;
  std::shared_ptr<void> keep;
  ASSERT_TRUE(LookupCxRoutine(h, &r, &c, &keep));
  EXPECT_EQ(c, keep.get());
  EXPECT_TRUE(IsRegisteredCxRoutine(h, &owner));
  EXPECT_FALSE(IsRegisteredCxRoutine(h, &other));
  EXPECT_FALSE(UnregisterCxRoutine(h, &other));  // another owner's
  const ExprHandle text = RegisterText("t", &owner);
  EXPECT_FALSE(UnregisterCxRoutine(text, &owner));  // a text
  EXPECT_FALSE(IsRegisteredCxRoutine(text, &owner));
  EXPECT_EQ(UnregisterOwner(&owner), 2u);
  EXPECT_FALSE(watch.expired());  // a running call still holds it
  EXPECT_EQ(again, 0);
  keep.reset();
  EXPECT_TRUE(watch.expired());
  EXPECT_GT(again, 0);
  Unregister(again);
  // UnregisterCxRoutine ends only the routine, releasing its context.
  auto second = std::make_shared<Reentrant>(&again);
  watch = second;
  const ExprHandle h2 = RegisterCxRoutine(NoOp, std::move(second), &owner);
  EXPECT_TRUE(UnregisterCxRoutine(h2, &owner));
  EXPECT_TRUE(watch.expired());
  EXPECT_FALSE(LookupCxRoutine(h2, &r, &c, &keep));
  Unregister(again);
}

// ---- the operator "!" with tokens -----------------------------------------

TEST_F(ExprTest, TextTokens) {
  const ExprHandle h = RegisterText("ab", this);
  const string tok = Token(h, TokenKind::kText);
  const struct {
    string expr;
    bool value;
  } cases[] = {
      {"'" + tok + "'!'xABy'", true},    {"'" + tok + "'!'xAy'", false},
      {"'xaby'!'" + tok + "'", false},   {"'A'!'" + tok + "'", true},
      {"'" + tok + "   '!'xABy'", true},  // trailing blanks of a constant
      {"'!*999999*!'!'xABy'", false},     // unknown handle: absent, false
      {"'xy'!'!*999999*!'", false},      {"'!*-1*!'!'x'", false},
      {"'!*abc*!'!'x!*ABC*!'", true},   // not a token: plain text
      {"'" + tok + "'$'xABy'", false},  // "$" knows no tokens
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expr);
    std::unique_ptr<Expr> e = Parse(c.expr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->EvaluateLogical(), c.value);
  }
  // A token kept in a field works as well.
  FakeExprTable t({{"TOK", 'C', 20, 0}});
  t.Append({tok});
  std::unique_ptr<Expr> e = Expr::Parse(&t, "'AB'!TOK", nullptr);
  ASSERT_NE(e, nullptr);
  EXPECT_TRUE(e->EvaluateLogical());
  // Once unregistered the token is an absent value.
  UnregisterOwner(this);
  EXPECT_FALSE(e->EvaluateLogical());
}

TEST_F(ExprTest, ExpressionTokens) {
  const ExprHandle cond = RegisterText("QTY > 10 .AND. 'B'$CODE", this);
  const ExprHandle not_logical = RegisterText("NAME", this);
  const ExprHandle broken = RegisterText("UPPER(", this);
  const string expr = "'" + Token(cond, TokenKind::kExpression) + "'!' '";
  std::unique_ptr<Expr> e = Parse(expr);
  ASSERT_NE(e, nullptr);
  table_.Go(1);
  EXPECT_TRUE(e->EvaluateLogical());
  table_.Go(2);
  EXPECT_FALSE(e->EvaluateLogical());
  table_.Go(1);
  EXPECT_TRUE(e->EvaluateLogical());  // cached form, same answer

  for (ExprHandle h : {not_logical, broken, ExprHandle{987654321}}) {
    std::unique_ptr<Expr> f =
        Parse("'" + Token(h, TokenKind::kExpression) + "'!' '");
    ASSERT_NE(f, nullptr);
    EXPECT_FALSE(f->EvaluateLogical()) << h;
  }
  // The right operand is ignored; the token also works from a field.
  EXPECT_TRUE(Parse("'" + Token(cond, TokenKind::kExpression) + "'!NAME")
                  ->EvaluateLogical());
  // Combined with other conditions; the outer values stay intact.
  std::unique_ptr<Expr> g =
      Parse("NAME+IIF('" + Token(cond, TokenKind::kExpression) +
            "'!' ','Y','N')+CITY");
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(string(g->Evaluate(), 19), "BLUE      YPARIS   ");
  UnregisterOwner(this);
  EXPECT_FALSE(e->EvaluateLogical());
}

TEST_F(ExprTest, NestedExpressionTokens) {
  const ExprHandle inner = RegisterText("FLAG", this);
  const ExprHandle outer = RegisterText(
      ("'" + Token(inner, TokenKind::kExpression) + "'!'x' .AND. QTY=12")
          .c_str(),
      this);
  std::unique_ptr<Expr> e =
      Parse("'" + Token(outer, TokenKind::kExpression) + "'!''");
  ASSERT_NE(e, nullptr);
  EXPECT_TRUE(e->EvaluateLogical());
  table_.Go(2);
  EXPECT_FALSE(e->EvaluateLogical());
  UnregisterOwner(this);
}

TEST_F(ExprTest, SelfReferringTokenEnds) {
  // Handles are issued in order: the next one is probe + 1.
  const ExprHandle probe = RegisterText("probe", this);
  const string self =
      "'" + Token(probe + 1, TokenKind::kExpression) + "'!' ' .OR. FLAG";
  ASSERT_EQ(RegisterText(self.c_str(), this), probe + 1);
  std::unique_ptr<Expr> e =
      Parse("'" + Token(probe + 1, TokenKind::kExpression) + "'!' '");
  ASSERT_NE(e, nullptr);
  // Each level is FLAG or the next level; the innermost level is cut off
  // as false, so the answer is FLAG.
  EXPECT_TRUE(e->EvaluateLogical());
  table_.Go(2);
  EXPECT_FALSE(e->EvaluateLogical());
  UnregisterOwner(this);
}

void CountCalls(CxBlock* block, int32_t len, uint32_t) {
  ++*static_cast<int*>(block->context);
  for (int32_t i = 0; i < len; i++) block->buffer[i] = '0';
}

TEST_F(ExprTest, SelfReferringTokensAreCappedInTotal) {
  int calls = 0;
  const ExprHandle cx = RegisterCxRoutine(CountCalls, &calls, this);
  const ExprHandle probe = RegisterText("probe", this);
  // Three references to itself per level: 3^8 evaluations without a cap.
  const string ref = "'" + Token(probe + 1, TokenKind::kExpression) + "'!' '";
  const string self = ref + " .OR. " + ref + " .OR. " + ref + " .OR. CX(1,'" +
                      std::to_string(cx) + "','0')='1'";
  ASSERT_EQ(RegisterText(self.c_str(), this), probe + 1);
  std::unique_ptr<Expr> e = Parse(ref);
  ASSERT_NE(e, nullptr);
  EXPECT_FALSE(e->EvaluateLogical());
  EXPECT_GT(calls, 0);
  EXPECT_LE(calls, kMaxNestedEvaluations);
  // The count starts again with every top-level evaluation.
  const int first = calls;
  calls = 0;
  EXPECT_FALSE(e->EvaluateLogical());
  EXPECT_EQ(calls, first);
  UnregisterOwner(this);
}

// ---- CX -------------------------------------------------------------------

struct CxLog {
  int calls = 0;
  uint32_t value = 0;
  int32_t len = 0;
  string seen;  // the scratch buffer as handed in
};

void FillXyz(CxBlock* block, int32_t len, uint32_t value) {
  CxLog* log = static_cast<CxLog*>(block->context);
  log->calls++;
  log->value = value;
  log->len = len;
  log->seen.assign(block->buffer, static_cast<size_t>(len) + 1);
  EXPECT_EQ(block->value, value);
  EXPECT_EQ(block->length, len);
  const char* text = "XYZ";
  for (int32_t i = 0; i < len && i < 3; i++) block->buffer[i] = text[i];
}

TEST_F(ExprTest, CxCallsARegisteredRoutine) {
  CxLog log;
  const ExprHandle h = RegisterCxRoutine(FillXyz, &log, this);
  ASSERT_GT(h, 0);
  char text[64];
  std::snprintf(text, sizeof(text), "CX(%d,\"%lu\",\"%lu\")", 5,
                static_cast<unsigned long>(h), 4000000000ul);
  std::unique_ptr<Expr> e = Parse(text);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->type(), 'C');
  EXPECT_EQ(e->length(), 5);
  EXPECT_EQ(string(e->Evaluate(), 5), "XYZ  ");
  EXPECT_EQ(log.calls, 1);
  EXPECT_EQ(log.value, 4000000000u);
  EXPECT_EQ(log.len, 5);
  EXPECT_EQ(log.seen, string("     \0", 6));
  // The length is the call's own: a "CX(" inside a constant does not count.
  std::snprintf(text, sizeof(text), "'CX(9'+CX(2,'%lu','0')",
                static_cast<unsigned long>(h));
  e = Parse(text);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->length(), 6);
  EXPECT_EQ(string(e->Evaluate(), 6), "CX(9XY");
  // In the special filter's form: IIF(condition, key, CX(...)).
  std::snprintf(text, sizeof(text),
                "IIF(FLAG,LEFT(NAME,4),CX(4,\"%lu\",\"1\"))",
                static_cast<unsigned long>(h));
  e = Parse(text);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(string(e->Evaluate(), 4), "BLUE");
  table_.Go(2);
  EXPECT_EQ(string(e->Evaluate(), 4), "XYZ ");
  // Unknown and ended handles give blanks without a call.
  const int before = log.calls;
  UnregisterOwner(this);
  EXPECT_EQ(string(e->Evaluate(), 4), "    ");
  for (const char* bad :
       {"CX(3,'0','1')", "CX(3,'99999999','1')", "CX(3,'4294967296','1')",
        "CX(3,'abc','1')", "CX(3,'','')"}) {
    EXPECT_EQ(Text(bad), "   ") << bad;
  }
  EXPECT_EQ(log.calls, before);
}

TEST_F(ExprTest, CxRejectsTextHandles) {
  const ExprHandle h = RegisterText("not a routine", this);
  EXPECT_EQ(Text("CX(3,'" + std::to_string(h) + "','0')"), "   ");
  UnregisterOwner(this);
}

// A routine that evaluates the very expression that called it: the inner
// evaluation must not overwrite the outer one's values.
struct Reentry {
  Expr* expr = nullptr;
  int depth = 0;
  int max_depth = 0;
};

void Reenter(CxBlock* block, int32_t len, uint32_t) {
  Reentry* r = static_cast<Reentry*>(block->context);
  r->depth++;
  if (r->depth > r->max_depth) r->max_depth = r->depth;
  const char* inner = r->expr->Evaluate();
  for (int32_t i = 0; i < len; i++)
    block->buffer[i] = inner[0] == 'B' ? '1' : '0';
  r->depth--;
}

TEST_F(ExprTest, CxRoutineMayEvaluateAgain) {
  Reentry r;
  const ExprHandle h = RegisterCxRoutine(Reenter, &r, this);
  std::unique_ptr<Expr> e = Parse("NAME+CX(2,'" + std::to_string(h) + "','0')");
  ASSERT_NE(e, nullptr);
  r.expr = e.get();
  const string result(e->Evaluate(), 12);
  EXPECT_EQ(result.substr(0, 10), "BLUE      ");
  EXPECT_EQ(result.substr(10), "11");
  // The recursion ends at the evaluation depth cap.
  EXPECT_EQ(r.max_depth, kMaxEvalDepth);
  UnregisterOwner(this);
}

}  // namespace
}  // namespace xbase32
