#include "expr/expr_functions.h"

namespace xbase32 {

namespace {

// In the order of the Function enumeration.
const FunctionInfo kFunctions[] = {
    {"DEL", Function::kDel, 0, 0},
    {"DELETED", Function::kDeleted, 0, 0},
    {"RECNO", Function::kRecNo, 0, 0},
    {"RECCOUNT", Function::kRecCount, 0, 0},
    {"STR", Function::kStr, 1, 3},
    {"SUBSTR", Function::kSubstr, 2, 3},
    {"LEFT", Function::kLeft, 2, 2},
    {"TIME", Function::kTime, 0, 0},
    {"UPPER", Function::kUpper, 1, 1},
    {"DTOS", Function::kDtos, 1, 1},
    {"DTOC", Function::kDtoc, 1, 1},
    {"TRIM", Function::kTrim, 1, 1},
    {"LTRIM", Function::kLtrim, 1, 1},
    {"IIF", Function::kIif, 3, 3},
    {"STOD", Function::kStod, 1, 1},
    {"CTOD", Function::kCtod, 1, 1},
    {"DATE", Function::kDate, 0, 0},
    {"DAY", Function::kDay, 1, 1},
    {"MONTH", Function::kMonth, 1, 1},
    {"YEAR", Function::kYear, 1, 1},
    {"VAL", Function::kVal, 1, 1},
    {"CX", Function::kCx, 3, 3},
    {"PAGENO", Function::kPageNo, 0, 0},
    {"DESCEND", Function::kDescend, 1, 1},
};

bool SameName(std::string_view a, const char* upper) {
  size_t i = 0;
  for (; i < a.size(); i++) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (upper[i] == '\0' || c != upper[i]) return false;
  }
  return upper[i] == '\0';
}

}  // namespace

const FunctionInfo* FindFunction(std::string_view name) {
  for (const FunctionInfo& f : kFunctions) {
    if (SameName(name, f.name)) return &f;
  }
  return nullptr;
}

const FunctionInfo& GetFunctionInfo(Function f) {
  return kFunctions[static_cast<int>(f)];
}

}  // namespace xbase32
