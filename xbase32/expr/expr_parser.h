// Second stage of the expression pipeline: tokens to postfix order.
//
// An operator stack orders the operations: an infix operator is pushed after
// popping every stacked operator of higher or equal priority; the prefix
// ".NOT." is pushed without popping anything (so ".NOT. .NOT. A" and
// "A = .NOT. B" parse); consecutive ".AND." (or ".OR.") operators at one
// bracket level merge into one operation with as many arguments. "(" and a
// function call push a marker that ")" pops back to.
//
// The parser is iterative: nesting costs heap, never machine stack, and is
// capped at kMaxNesting brackets and calls (kExprOverflow beyond).

#ifndef XBASE32_EXPR_EXPR_PARSER_H_
#define XBASE32_EXPR_EXPR_PARSER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "expr/expr_error.h"
#include "expr/expr_functions.h"
#include "expr/expr_scanner.h"
#include "expr/expr_table.h"

namespace xbase32 {

// Deepest nesting of brackets and function calls.
constexpr int kMaxNesting = 64;
// Most values and operations in one expression.
constexpr size_t kMaxNodes = 4096;
// Longest field name and alias.
constexpr size_t kMaxNameLength = 10;

enum class NodeKind : uint8_t {
  kField,     // a field of the own data file or of an alias
  kNumber,    // numeric constant
  kString,    // text constant
  kLogical,   // .T. or .F.
  kOperator,  // infix operator
  kNot,       // prefix .NOT.
  kFunction,  // function call
};

struct Node {
  NodeKind kind = NodeKind::kNumber;
  BinaryOp op = BinaryOp::kAdd;        // kOperator
  Function function = Function::kDel;  // kFunction
  int32_t nargs = 0;     // kOperator (2 or more when merged), kNot, kFunction
  int32_t pos = 0;       // source offset of the token
  int32_t field = 0;     // kField: field number in its data file
  int32_t alias = -1;    // kField: index in ParsedExpr::aliases, -1: own file
  ExprField info;        // kField: the descriptor
  double number = 0;     // kNumber; kLogical: 0 or 1
  int32_t text_pos = 0;  // kString: the contents in the source
  int32_t text_len = 0;
};

struct ParsedExpr {
  std::vector<Node> nodes;           // evaluation (postfix) order
  std::vector<std::string> aliases;  // upper case, as looked up
};

// Parses source against table. On failure answers false with *error set
// (code and details: the source text, then the offending token or name).
bool ParseToPostfix(const ExprTable* table, std::string_view source,
                    ParsedExpr* out, ExprError* error);

// Detail line for text: at most kExprMaxDetail characters.
std::string DetailText(std::string_view text);

}  // namespace xbase32

#endif  // XBASE32_EXPR_EXPR_PARSER_H_
