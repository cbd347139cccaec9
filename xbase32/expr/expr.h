// The expression language of the storage engine: index keys, filter
// conditions, relation expressions and caller expressions, evaluated against
// the current record of a data file.
//
// An expression is parsed once into a compiled form and then evaluated as
// often as needed:
//
//   ExprError err;
//   std::unique_ptr<Expr> e = Expr::Parse(table, "UPPER(NAME)+STR(PRICE,8,2)",
//                                         &err);
//   if (!e) report(err.code, err.details...);
//   const char* key = e->Evaluate();   // e->length() bytes of type e->type()
//
// Parsing runs a pipeline: scanner (expr_scanner.h) -> postfix order with an
// operator stack (expr_parser.h) -> typed compiled form (expr_compile.h,
// expr_program.h) -> evaluation over a value stack (expr_eval.h).
//
// Thread safety: an Expr is used by one thread at a time, like its table.

#ifndef XBASE32_EXPR_EXPR_H_
#define XBASE32_EXPR_EXPR_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "expr/expr_error.h"
#include "expr/expr_program.h"
#include "expr/expr_table.h"

namespace xbase32 {

struct EvalFrame;

// Deepest nesting of evaluations: expressions evaluated from inside another
// evaluation ("!@...@!" tokens, CX routines that evaluate). Deeper
// evaluations yield the absent value (blanks, 0, false) of their type.
constexpr int kMaxEvalDepth = 8;
// Most nested evaluations one top-level evaluation may run: a registered
// text naming its own token k times would otherwise run k^kMaxEvalDepth
// evaluations. Beyond the cap nested evaluations yield the absent value,
// as beyond the depth cap.
constexpr int kMaxNestedEvaluations = 4096;

class Expr {
 public:
  // Parses source (NUL-terminated) against table. Answers the compiled
  // expression, or null with *error set (code and up to three details: the
  // source, then the offending token or name; for kExprParameterCount
  // "Function" and the function name). table must outlive the result and
  // keep its field layout (parse again after the structure changes); other
  // data files named by alias are looked up again at each evaluation.
  static std::unique_ptr<Expr> Parse(const ExprTable* table, const char* source,
                                     ExprError* error);

  ~Expr();
  Expr(const Expr&) = delete;
  Expr& operator=(const Expr&) = delete;

  const std::string& source() const { return source_; }
  const ExprTable* table() const { return table_; }

  // Result type letter: 'C' text, 'N' number as field text, 'n' number as a
  // double, 'D' date as "CCYYMMDD", 'd' date as a day number (double), 'L'
  // logical (int32_t 0 or 1).
  char type() const { return prog_.type; }
  // Bytes of the result: the text length for 'C', the field width for 'N',
  // 8 for 'n', 'D' and 'd', 4 for 'L'.
  int32_t length() const { return prog_.length; }
  // Length of an index key made from the result: the text length; the field
  // width for a numeric field used directly; 17 for a computed number; 8 for
  // a date; 0 for a logical (no key).
  int32_t key_length() const { return prog_.key_length; }
  // Decimals of a numeric key: the field's for a numeric field used
  // directly, 2 for a computed number.
  int32_t key_decimals() const { return prog_.key_decimals; }
  // Whether TRIM or LTRIM occur: NUL bytes at the end of a text result then
  // become blanks in a key.
  bool uses_trim() const { return prog_.uses_trim; }

  // Evaluates against the table's current record and answers the result
  // bytes (length() of them, not NUL-terminated). The bytes stay valid until
  // the next evaluation of this expression. Never fails: division by zero
  // gives 0, unknown registry handles give absent values.
  const char* Evaluate();

  // Whether every data file named by alias is open with the fields parsed;
  // false with *missing set to the first alias that is not.
  bool AliasesAvailable(std::string* missing) const;

  // Evaluate() read as a logical (false unless type() is 'L') or a number
  // ('n' and 'd' as they are, 'N' and 'D' converted; 0 for other types).
  bool EvaluateLogical();
  double EvaluateNumber();

 private:
  Expr();

  std::string source_;
  const ExprTable* table_ = nullptr;
  Program prog_;
  std::vector<char> absent_;  // the absent value of the result type
  int depth_ = 0;             // nested evaluations of this object running
  std::vector<std::unique_ptr<EvalFrame>> frames_;  // one per nesting level
};

}  // namespace xbase32

#endif  // XBASE32_EXPR_EXPR_H_
