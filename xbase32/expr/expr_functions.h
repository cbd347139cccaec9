// The function table of the expression language: names and the argument
// counts each function accepts. The typed variants live with the type
// resolution (expr_compile.cc).

#ifndef XBASE32_EXPR_EXPR_FUNCTIONS_H_
#define XBASE32_EXPR_EXPR_FUNCTIONS_H_

#include <cstdint>
#include <string_view>

namespace xbase32 {

enum class Function : uint8_t {
  kDel,
  kDeleted,
  kRecNo,
  kRecCount,
  kStr,
  kSubstr,
  kLeft,
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

struct FunctionInfo {
  const char* name;  // upper case
  Function function;
  int min_args;
  int max_args;
};

// The function called name (matched case-insensitively on the whole name),
// or null.
const FunctionInfo* FindFunction(std::string_view name);
const FunctionInfo& GetFunctionInfo(Function f);

}  // namespace xbase32

#endif  // XBASE32_EXPR_EXPR_FUNCTIONS_H_
