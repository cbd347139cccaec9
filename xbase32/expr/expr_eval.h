// Last stage of the expression pipeline: running a compiled program over a
// stack of value pointers against the current record.

#ifndef XBASE32_EXPR_EXPR_EVAL_H_
#define XBASE32_EXPR_EXPR_EVAL_H_

#include <string>
#include <vector>

#include "expr/expr_program.h"
#include "expr/expr_table.h"

namespace xbase32 {

// The memory of one evaluation: the work area, the value stack and the
// buffers of "!" and CX. Each nesting level of an expression's evaluation
// has its own frame, so an evaluation started from inside another never
// overwrites the values of the one that contains it.
struct EvalFrame {
  std::vector<char> work;          // Program::work_size bytes
  std::vector<const char*> stack;  // Program::max_stack entries
  std::vector<char> blank_record;  // stands in when a table has no record
  std::string left, right;         // operands of "!", kept between calls
  std::vector<char> scratch;       // CX scratch buffer
};

// Prepares frame for program (sizes its work area and stack).
void PrepareFrame(const Program& program, EvalFrame* frame);

// Runs program against the current record of table; answers the result
// (program.length bytes inside frame->work).
const char* RunProgram(const ExprTable* table, Program* program,
                       EvalFrame* frame);

// Upper-cases n bytes of text in the ANSI code page in force (Windows-1252
// letters with accents included; ASCII letters only for other pages).
void UpperAnsi(char* p, size_t n);

}  // namespace xbase32

#endif  // XBASE32_EXPR_EXPR_EVAL_H_
