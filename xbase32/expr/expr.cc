#include "expr/expr.h"

#include <cstring>
#include <new>
#include <string_view>

#include "expr/day_number.h"
#include "expr/expr_compile.h"
#include "expr/expr_eval.h"
#include "expr/expr_parser.h"
#include "expr/number_format.h"

namespace xbase32 {

namespace {

// Nesting of evaluations on this thread, across all expressions.
thread_local int g_eval_depth = 0;
// Nested evaluations run since the current top-level evaluation began.
thread_local int g_nested_evaluations = 0;

class DepthGuard {
 public:
  explicit DepthGuard(int* own) : own_(own) {
    g_eval_depth++;
    (*own_)++;
  }
  ~DepthGuard() {
    g_eval_depth--;
    (*own_)--;
  }

 private:
  int* own_;
};

}  // namespace

BangCache::BangCache() = default;
BangCache::~BangCache() = default;
BangCache::BangCache(BangCache&&) noexcept = default;
BangCache& BangCache::operator=(BangCache&&) noexcept = default;

Expr::Expr() = default;
Expr::~Expr() = default;

std::unique_ptr<Expr> Expr::Parse(const ExprTable* table, const char* source,
                                  ExprError* error) {
  ExprError local;
  if (error == nullptr) error = &local;
  *error = ExprError();
  if (table == nullptr || source == nullptr) {
    error->Set(kExprNotComplete, "");
    return nullptr;
  }
  try {
    const std::string_view src(source);
    ParsedExpr parsed;
    if (!ParseToPostfix(table, src, &parsed, error)) return nullptr;
    std::unique_ptr<Expr> e(new Expr);
    if (!Compile(src, parsed, &e->prog_, error)) return nullptr;
    e->source_.assign(src);
    e->table_ = table;
    const char t = e->prog_.type;
    const bool text = t == 'C' || t == 'N' || t == 'D';
    e->absent_.assign(static_cast<size_t>(e->prog_.length) + 8,
                      text ? ' ' : '\0');
    return e;
  } catch (const std::bad_alloc&) {
    error->Set(kExprOutOfMemory, DetailText(source));
    return nullptr;
  }
}

const char* Expr::Evaluate() {
  if (g_eval_depth >= kMaxEvalDepth) return absent_.data();
  if (g_eval_depth == 0) {
    g_nested_evaluations = 0;
  } else if (++g_nested_evaluations > kMaxNestedEvaluations) {
    return absent_.data();
  }
  DepthGuard guard(&depth_);
  try {
    const size_t level = static_cast<size_t>(depth_ - 1);
    while (frames_.size() <= level) {
      frames_.push_back(std::make_unique<EvalFrame>());
      PrepareFrame(prog_, frames_.back().get());
    }
    return RunProgram(table_, &prog_, frames_[level].get());
  } catch (const std::bad_alloc&) {
    return absent_.data();
  }
}

bool Expr::AliasesAvailable(std::string* missing) const {
  for (const AliasField& a : prog_.aliases) {
    const ExprTable* t = table_->FindAlias(a.alias.c_str());
    ExprField f;
    if (t == nullptr || !t->Field(a.field, &f) || f.type != a.type ||
        f.width != a.width || f.offset != a.offset) {
      *missing = a.alias;
      return false;
    }
  }
  return true;
}

bool Expr::EvaluateLogical() {
  if (prog_.type != 'L') return false;
  const char* p = Evaluate();
  int32_t v;
  std::memcpy(&v, p, sizeof(v));
  return v != 0;
}

double Expr::EvaluateNumber() {
  const char* p = Evaluate();
  switch (prog_.type) {
    case 'n':
    case 'd': {
      double v;
      std::memcpy(&v, p, sizeof(v));
      return v;
    }
    case 'N':
      return ParseDouble(p, static_cast<size_t>(prog_.length));
    case 'D':
      return DateToDay(p);
    default:
      return 0;
  }
}

}  // namespace xbase32
