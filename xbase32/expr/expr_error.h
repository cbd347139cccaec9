// Failure codes of the expression parser and the structured error it
// returns. The caller reports the error through the engine's error routine
// (code, the code's text, up to three detail lines); the parser itself shows
// nothing.

#ifndef XBASE32_EXPR_EXPR_ERROR_H_
#define XBASE32_EXPR_EXPR_ERROR_H_

#include <string>

namespace xbase32 {

enum ExprErrorCode : int {
  kExprOk = 0,
  kExprUnknownField = -210,     // "Unrecognized Field Name"
  kExprCommaOrBracket = -400,   // "Comma or Bracket Expected"
  kExprNotComplete = -410,      // "Expression not Complete"
  kExprAliasNotLocated = -420,  // "Data File Name not Located"
  kExprIifLength = -422,        // "IIF() Needs Parameters of Same Length"
  kExprNeedsConstant = -425,    // "SUBSTR() and STR() need Constant Parameters"
  kExprParameterCount = -430,   // "Number of Parameters is Wrong"
  kExprOverflow = -440,         // "Overflow while Evaluating Expression"
  kExprRightBracket = -450,     // "Right Bracket Missing"
  kExprTypeWrong = -460,        // "Sub-expression Type is Wrong"
  kExprUnknownFunction = -470,  // "Unrecognized Function"
  kExprUnknownOperator = -480,  // "Unrecognized Operator"
  kExprUnknownValue = -490,     // "Unrecognized Value"
  kExprUnterminated = -500,     // "Unterminated String"
  kExprOutOfMemory = -920,      // "Out of Memory"
};

// Longest detail line; longer texts (a long source) are cut and end in
// "...".
constexpr size_t kExprMaxDetail = 255;

struct ExprError {
  int code = kExprOk;
  std::string details[3];  // empty when absent

  bool ok() const { return code == kExprOk; }
  void Set(int c, const std::string& d0, const std::string& d1 = "",
           const std::string& d2 = "");
};

}  // namespace xbase32

#endif  // XBASE32_EXPR_EXPR_ERROR_H_
