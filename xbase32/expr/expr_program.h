// Third stage of the expression pipeline, the compiled form: a list of typed
// operations in evaluation order, each with its result type, result length
// and place in the work area, plus the constants area.
//
// Value types ("variants") are single letters:
//
//   'C'  text, fixed length (may hold NULs left by TRIM and LTRIM)
//   'N'  number held as field text (an N or F field without decimals)
//   'n'  number as an 8-byte double
//   'D'  date held as "CCYYMMDD" text (a D field)
//   'd'  date as a day number in an 8-byte double
//   'L'  logical as a 4-byte int32_t, 0 or 1
//
// An operation declared for 'n' also accepts 'N', and one declared for 'd'
// also accepts 'D': the producing field operation then converts its value.
//
// Evaluation runs the list over a stack of value pointers: each operation
// pops its arguments and pushes a pointer to its result, which lies in the
// record buffer (a text field read in place), in the constants area or in
// the operation's slot of the work area. Doubles and int32_t values in the
// work area are accessed with memcpy, never through casts.

#ifndef XBASE32_EXPR_EXPR_PROGRAM_H_
#define XBASE32_EXPR_EXPR_PROGRAM_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "expr/expr_registry.h"

namespace xbase32 {

class Expr;

// Size of the constants area (texts and numbers written in the expression).
constexpr size_t kMaxConstants = 512;
// Most bytes of work area one evaluation may use (sum of the result slots).
constexpr int64_t kMaxWorkArea = 1 << 20;
// Memo fields are read as this many bytes (cut, or padded with NULs).
constexpr int32_t kMemoLength = 1024;

enum class Opcode : uint8_t {
  // Operands. p[0] = offset in the record, p[1] = field width, p[2] = field
  // number; alias >= 0 reads from Program::aliases[alias].
  kFieldText,     // C, N or D field as its text (in place unless slot >= 0)
  kFieldNumber,   // N or F field as a double
  kFieldDate,     // D field as a day number
  kFieldLogical,  // L field
  kFieldMemo,     // M or G field: kMemoLength bytes of memo text
  kConstant,      // p[0] = offset in the constants area
  // Operators.
  kConcat,            // C + C: trailing NULs of the first move to the end
  kConcatMoveBlanks,  // C - C: trailing blanks of the first move to the end
  kAddNumber,
  kAddDateNumber,
  kAddNumberDate,
  kSubNumber,
  kSubDates,
  kSubDateNumber,
  kMultiply,
  kDivide,
  kPower,
  kCompareText,     // p[0] = Compare
  kCompareNumber,   // numbers and day numbers
  kCompareLogical,  // p[0] = Compare (kEqual or kNotEqual)
  kContains,        // "$"
  kContainsNoCase,  // "!"; p[0] = index in Program::bang_cache
  kNot,
  kAnd,  // nargs arguments
  kOr,
  // Functions.
  kDel,
  kDeleted,
  kRecNo,
  kRecCount,
  kStr,     // p[0] = length, p[1] = decimals
  kSubstr,  // p[0] = 0-based start (SUBSTR and LEFT)
  kTime,
  kUpper,
  kDtos,
  kDtoc,
  kTrim,
  kLtrim,
  kIif,
  kStod,
  kCtod,
  kDate,
  kDay,
  kMonth,
  kYear,
  kVal,
  kCx,
  kPageNo,
  kDescend,
};

enum class Compare : uint8_t {
  kEqual,
  kNotEqual,
  kLess,
  kLessEqual,
  kGreater,
  kGreaterEqual
};

struct Instr {
  Opcode code = Opcode::kConstant;
  char type = 'C';     // result type letter
  int32_t nargs = 0;   // values popped
  int32_t length = 0;  // result bytes
  int32_t slot = -1;   // work-area offset of the result, -1: in place
  int32_t arg_length[2] = {0, 0};  // lengths of the first two arguments
  int32_t p[3] = {0, 0, 0};        // parameters, see Opcode
  int32_t alias = -1;
};

// Cache of the expression behind a "!@...@!" token, per "!" operation:
// parsed once per handle (handles are never reused).
struct BangCache {
  ExprHandle handle = 0;
  // Shared so that an evaluation holds on to the expression it runs even if
  // a nested evaluation replaces the cache entry.
  std::shared_ptr<Expr> expr;
  BangCache();
  ~BangCache();
  BangCache(BangCache&&) noexcept;
  BangCache& operator=(BangCache&&) noexcept;
};

// Field of another data file, found again by alias at each evaluation.
struct AliasField {
  std::string alias;  // upper case
  int32_t field = 0;
  char type = ' ';    // the descriptor seen at parse time; a data file
  int32_t width = 0;  // whose field no longer matches reads as blanks
  int32_t offset = 0;
};

struct Program {
  std::vector<Instr> code;
  std::vector<char> constants;  // at most kMaxConstants bytes
  std::vector<AliasField> aliases;
  std::vector<BangCache> bang_cache;
  int64_t work_size = 0;     // bytes of work area
  int32_t max_stack = 0;     // deepest value stack
  char type = 'C';           // result type
  int32_t length = 0;        // result length
  int32_t key_length = 0;    // length of an index key built from the result
  int32_t key_decimals = 0;  // decimals of a numeric key
  bool uses_trim = false;    // TRIM or LTRIM occur (NULs in text results)
};

}  // namespace xbase32

#endif  // XBASE32_EXPR_EXPR_PROGRAM_H_
