// Wy_GDataChild: the colorant routine behind the colorant macro. A DELETE
// card on formulas names a colorant by its macro; before the card is
// filtered on, the macro's placeholders become a CX call of a routine owned
// by the table, which tells for each record whether its formula uses the
// colorant.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mixtable/quantity_format.h"
#include "mixtable/wy_gdata_child.h"
#include "mixtable/wy_util.h"
#include "xbase32/wdbase.h"
#include "xbase32/wdbase_cx.h"

namespace {

constexpr const char* kPlaceholder = "@CNT_";  // then F or S, 5 digits, "@"
constexpr size_t kPlaceholderLen = 12;         // "@CNT_F00012@"
constexpr int32_t kMaxCnt = 99999;

size_t Count(const std::string& s, const char* what) {
  size_t n = 0;
  const size_t len = std::strlen(what);
  for (size_t p = s.find(what); p != std::string::npos;
       p = s.find(what, p + len))
    ++n;
  return n;
}

// The colorant of the placeholder at p (kind F or S): its 5 digits, or 0
// when the text there is not a whole placeholder.
int32_t PlaceholderId(const std::string& s, size_t p) {
  if (s.size() < p + kPlaceholderLen || s[p + kPlaceholderLen - 1] != '@')
    return 0;
  int32_t id = 0;
  for (size_t i = p + 6; i < p + 11; ++i) {
    if (s[i] < '0' || s[i] > '9') return 0;
    id = id * 10 + (s[i] - '0');
  }
  return id;
}

// The routine: "1" when the record's formula holds the colorant of the
// call's value (digits only), else "0".
void CntRoutine(const WdbaseRecordView& record, const WdbaseCxCall& call,
                std::string* result) {
  thread_local std::string text;
  bool digits = !call.value_text.empty() && call.value_text.size() <= 5;
  for (char c : call.value_text) digits = digits && c >= '0' && c <= '9';
  const int32_t cnt = digits ? static_cast<int32_t>(call.value) : 0;
  const bool holds =
      cnt > 0 &&
      (record.Field(kCntRoutineField, &text) ||
       record.Field(kCntRoutineFieldAlt, &text)) &&
      Wy_GDataChild::FormulaHoldsColorant(text.data(), text.size(), cnt);
  result->assign(1, holds ? '1' : '0');
}

}  // namespace

// The pairs are read as yformula reads them (its text trimmed at both ends,
// tokens separated by runs of comma, blank, semicolon and newline, an odd
// token count malformed, ids by Wy_ReadId), without reading the quantities:
// the routine runs once per record of every filtered card.
bool Wy_GDataChild::FormulaHoldsColorant(const char* formula, size_t len,
                                         int32_t cnt) {
  if (formula == nullptr || cnt < 1) return false;
  const void* nul = std::memchr(formula, '\0', len);
  if (nul != nullptr) len = size_t(static_cast<const char*>(nul) - formula);
  auto trimmed = [](char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
  };
  auto separator = [](char c) {
    return c == ',' || c == ' ' || c == ';' || c == '\n';
  };
  size_t i = 0;
  while (i < len && trimmed(formula[i])) ++i;
  while (len > i && trimmed(formula[len - 1])) --len;
  size_t tokens = 0;
  bool found = false;
  while (i < len) {
    while (i < len && separator(formula[i])) ++i;
    if (i >= len) break;
    const size_t start = i;
    while (i < len && !separator(formula[i])) ++i;
    if (tokens % 2 == 0 && !found)
      found = Wy_ReadId(formula + start, i - start) == cnt;
    ++tokens;
  }
  return found && tokens % 2 == 0;
}

int32_t Wy_GDataChild::CntRoutineHandle(const Wdbase& table) const {
  auto it = m_cntRoutines.find(&table);
  if (it == m_cntRoutines.end() || !WdbaseIsCxRegistered(&table, it->second))
    return 0;
  return it->second;
}

bool Wy_GDataChild::ExpandCntMacros(Wdbase& table, std::string& expr) {
  if (m_notInit) return false;
  if (expr.find("@CNT_F") == std::string::npos &&
      expr.find("@CNT_S") == std::string::npos)
    return true;
  if (Count(expr, "@CNT_F") > size_t(kCntMacroMax)) {
    Wy_Trace("Wy_GDataChild: more than %d colorant macros", kCntMacroMax);
    return false;
  }
  // The colorants the placeholders name, each once.
  std::vector<int32_t> ids;
  for (size_t p = expr.find(kPlaceholder); p != std::string::npos;
       p = expr.find(kPlaceholder, p + 1)) {
    if (p + 5 >= expr.size() || (expr[p + 5] != 'F' && expr[p + 5] != 'S'))
      continue;
    const int32_t id = PlaceholderId(expr, p);
    if (id < 1 || id > kMaxCnt) {
      Wy_Trace("Wy_GDataChild: malformed colorant placeholder in \"%s\"",
               expr.c_str());
      return false;
    }
    bool seen = false;
    for (int32_t k : ids) seen = seen || k == id;
    if (!seen) ids.push_back(id);
  }
  int32_t handle = CntRoutineHandle(table);
  if (handle == 0) {
    handle = WdbaseRegisterCx(&table, CntRoutine);
    if (handle <= 0) {
      Wy_Trace("Wy_GDataChild: the colorant routine cannot be registered");
      return false;
    }
    m_cntRoutines[&table] = handle;
  }
  const std::string funcText = std::to_string(handle);
  std::string e = expr;
  for (int32_t id : ids) {
    const std::string cntText = std::to_string(id);
    if (!ConvertCntFunctionMacro(e, id, funcText.c_str(), cntText.c_str())) {
      Wy_Trace("Wy_GDataChild: colorant macro of %ld not expanded in \"%s\"",
               static_cast<long>(id), expr.c_str());
      return false;
    }
  }
  expr = e;
  return true;
}
