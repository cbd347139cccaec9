// Type resolution: postfix nodes to the typed compiled form (expr_program.h).
//
// Every operation is resolved to the first of its variants whose argument
// types match; result lengths and work-area slots are fixed here, so that
// evaluation never allocates and never checks types.

#ifndef XBASE32_EXPR_EXPR_COMPILE_H_
#define XBASE32_EXPR_EXPR_COMPILE_H_

#include <string_view>

#include "expr/expr_error.h"
#include "expr/expr_parser.h"
#include "expr/expr_program.h"

namespace xbase32 {

// The engine's date picture, used by DTOC and CTOD.
constexpr const char* kDatePicture = "MM/DD/YY";

// Compiles parsed (from source) into *program. On failure answers false with
// *error set: kExprTypeWrong, kExprIifLength, kExprNeedsConstant,
// kExprOverflow (constants area or work area exhausted) or
// kExprNotComplete.
bool Compile(std::string_view source, const ParsedExpr& parsed,
             Program* program, ExprError* error);

}  // namespace xbase32

#endif  // XBASE32_EXPR_EXPR_COMPILE_H_
