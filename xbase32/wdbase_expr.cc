// Wdbase: expressions of callers evaluated on the current record, and text
// reference tokens.

#include <cstring>
#include <string>

#include "dbf_expr_table.h"
#include "dbf_file.h"
#include "engine.h"
#include "engine_error.h"
#include "expr/expr.h"
#include "expr/expr_registry.h"
#include "platform/codepage.h"
#include "xbase32/wdbase.h"

int Wdbase::GetExprResult(const char* expr, char* out, int size) {
  if (out && size > 0) out[0] = '\0';
  if (!Ready() || expr == nullptr || out == nullptr || size <= 0) return 0;
  std::string source = expr;
  if (mode_ == Wdbase_OEMtoChar_On) {
    platform::AnsiToOem(source.data(), source.size());
  }
  xbase32::ExprError err;
  std::unique_ptr<xbase32::Expr> e =
      xbase32::Expr::Parse(data_->expr_table(), source.c_str(), &err);
  if (!e) {
    if (xbase32::Config().expr_errors) {
      xbase32::ReportError(err.code, err.details[0].c_str(),
                           err.details[1].c_str(), err.details[2].c_str());
    }
    return 0;
  }
  const char* r = e->Evaluate();
  const int32_t len = e->length();
  if (len < 1 || len > size - 1) return 0;
  int32_t n = 0;
  while (n < len && r[n] != '\0') {
    out[n] = r[n];
    ++n;
  }
  out[n] = '\0';
  if (mode_ == Wdbase_OEMtoChar_On) platform::OemToAnsi(out, n);
  return 1;
}

bool Wdbase::StringToPtr(char* text, char* out, bool expr) {
  if (text == nullptr || out == nullptr) return false;
  if (mode_ == Wdbase_OEMtoChar_On && *text) {
    platform::AnsiToOem(text, std::strlen(text));
  }
  const xbase32::ExprHandle h = xbase32::RegisterText(text, this);
  if (h == 0) return false;
  xbase32::FormatToken(
      h, expr ? xbase32::TokenKind::kExpression : xbase32::TokenKind::kText,
      out);
  return true;
}
