// HFormula::ParseCntString: the colorant-list language. A list such as
// '#12 10.5 #7 3' or '@RPC "Oxide red" %40 WHITE %60' names colorants (by id
// or by name) and their quantities; in the units mode it becomes the formula
// text "12,10.5,7,3".
//
// Faults are taken in text order: the first bad token or shape fault stops
// the walk, and only the identifiers accepted before it are resolved, so a
// wrong identifier is reported before the fault that stopped the walk, and a
// later one never is.

#include <cctype>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "hformula_lookup.h"
#include "mixtable/hformula.h"
#include "mixtable/mixtable.h"
#include "mixtable/quantity_format.h"
#include "mixtable/wy_util.h"
#include "xbase32/wdbase.h"

namespace {

using hformula_internal::EqualNoCase;

// The unit name the trace texts give.
constexpr const char* kUnit = "WY_HfrCnt";

// Percentages may add up to this much: '%6 %83 %11' sums to
// 1.0000000000000002 in binary and is still 100 %.
constexpr double kMaxPercentSum = 1.0 + 1e-9;

enum class Fault { kNone, kSyntax, kTokens, kIdentifier, kFormula, kConvert };

const char* Message(Fault f) {
  switch (f) {
    case Fault::kSyntax:
      return HFormula::kCntSyntaxError;
    case Fault::kTokens:
      return HFormula::kCntWrongTokens;
    case Fault::kIdentifier:
      return HFormula::kCntWrongIdentifier;
    case Fault::kFormula:
      return HFormula::kCntWrongFormula;
    case Fault::kConvert:
      return HFormula::kCntNoConversion;
    case Fault::kNone:
      break;
  }
  return "";
}

bool IsBlank(char c) { return c == ' '; }
bool IsSeparator(char c) {
  return c == ' ' || c == ';' || c == ',' || c == '\t';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Splits text into tokens; false when a bad token stopped the splitting
// (tokens then holds the good tokens before it).
bool Split(const std::string& text, std::vector<std::string>* tokens) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    while (i < n && IsSeparator(text[i])) ++i;
    if (i >= n) break;
    std::string tok;
    bool quoted = false;
    while (i < n && (quoted || !IsSeparator(text[i]))) {
      if (text[i] == '"') quoted = !quoted;
      tok += text[i++];
    }
    if (tok[0] == '"') {
      if (tok.size() < 2 || tok.back() != '"') return false;
      tok = tok.substr(1, tok.size() - 2);
    } else if (tok[0] == '#' || tok[0] == '%') {
      if (tok.size() < 2 || !IsDigit(tok[1])) return false;
    } else if (tok.back() == '"') {
      return false;
    }
    for (char& c : tok)
      if (c == '?') c = ' ';
    tokens->push_back(Trim(tok));
  }
  return true;
}

bool IsNameStart(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' ||
         c == '/' || c == '!' || c == '(' || c == ')' || c == '<' || c == '>' ||
         c == ':';
}

// The whole text is one non-negative number of the classic grammar
// (digits, point, digits, exponent), finite.
bool ReadNumber(const std::string& s, double* value) {
  size_t i = 0, digits = 0;
  const size_t n = s.size();
  while (i < n && IsDigit(s[i])) ++i, ++digits;
  if (i < n && s[i] == '.') {
    ++i;
    while (i < n && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exp_digits = 0;
    while (i < n && IsDigit(s[i])) ++i, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  if (i != n) return false;
  *value = Wy_ReadDouble(s.data(), s.size());
  return std::isfinite(*value);
}

// "#" and 1 to 5 digits; id 0 names no colorant.
bool ReadIdForm(const std::string& s, int32_t* id) {
  if (s.size() < 2 || s.size() > 6 || s[0] != '#') return false;
  for (size_t i = 1; i < s.size(); ++i)
    if (!IsDigit(s[i])) return false;
  *id = Wy_ReadId(s.data() + 1, s.size() - 1);
  return *id > 0;
}

struct Colorant {
  int32_t id;
  std::string descr, code;
};

// Every live record of the colorant table; false when it cannot be opened.
bool ReadColorants(CMixtable* tables, std::vector<Colorant>* out) {
  if (tables == nullptr) return false;
  Wdbase* cnts = tables->Handle(Y_CNTS);
  if (cnts == nullptr) return false;
  uint32_t state = 0;
  if (!tables->TmpOpen(cnts, &state)) {
    tables->TmpClose(cnts, &state);
    return false;
  }
  for (int ok = cnts->Top(); ok && !cnts->Eof(); ok = cnts->Next()) {
    if (cnts->Deleted()) continue;
    Colorant c;
    c.id = cnts->ReadLong("ID");
    c.descr = Trim(cnts->Read("DESCR"));
    c.code = Trim(cnts->Read("CODE"));
    out->push_back(std::move(c));
  }
  tables->TmpClose(cnts, &state);
  return true;
}

// The id of the colorant whose field equals name: every matching record
// must carry the same id (variants of one colorant count once). 0: none or
// several.
int32_t Match(const std::vector<Colorant>& all, const std::string& name,
              std::string Colorant::*field) {
  int32_t found = 0;
  for (const Colorant& c : all) {
    if (!EqualNoCase(c.*field, name)) continue;
    if (found != 0 && found != c.id) return 0;
    found = c.id;
  }
  return found;
}

struct Pair {
  std::string ident, quantity;
};

}  // namespace

int HFormula::ParseCntString(CMixtable* tables, const char* text) {
  cnt_message_.clear();
  const std::string input = Trim(text ? text : "");
  Wy_Trace("HFormula::ParseCntString...%s %d\n input buffer:%s\n", kUnit,
           __LINE__, input.c_str());

  std::vector<std::string> tokens;
  Fault fault = Split(input, &tokens) ? Fault::kNone : Fault::kTokens;
  const bool complete = fault == Fault::kNone;

  // Macros, then the shape: identifier, quantity, identifier, quantity...
  int mode = CNT_MODE_UNITS;
  std::vector<Pair> pairs;
  std::string pending;  // an identifier waiting for its quantity
  bool have_ident = false;
  char ident_form = 0, quantity_kind = 0;
  Fault shape = Fault::kNone;
  size_t count = 0;
  for (const std::string& tok : tokens) {
    if (!tok.empty() && tok[0] == '@') {
      std::string head = tok.substr(0, 4);
      if (EqualNoCase(head, "@RPC")) {
        mode = CNT_MODE_RPC;
      } else if (EqualNoCase(head, "@NPC")) {
        mode = CNT_MODE_NPC;
      } else if (EqualNoCase(head, "@UNI")) {
        mode = CNT_MODE_UNITS;
      } else {
        shape = Fault::kSyntax;
        break;
      }
      continue;
    }
    ++count;
    if (!have_ident) {
      char form = 0;
      if (!tok.empty() && tok[0] == '#')
        form = '#';
      else if (tok.empty() || IsNameStart(tok[0]))
        form = 'n';  // an empty (quoted) name is a name that never matches
      if (form == 0 || (ident_form != 0 && form != ident_form)) {
        shape = Fault::kSyntax;
        break;
      }
      ident_form = form;
      pending = tok;
      have_ident = true;
    } else {
      char kind = 0;
      if (!tok.empty() && tok[0] == '%')
        kind = '%';
      else if (!tok.empty() && (IsDigit(tok[0]) || tok[0] == '.'))
        kind = 'q';
      if (kind == 0 || (quantity_kind != 0 && kind != quantity_kind)) {
        shape = Fault::kSyntax;
        break;
      }
      quantity_kind = kind;
      pairs.push_back({pending, tok});
      have_ident = false;
    }
  }
  // A trailing identifier without quantity is ignored; fewer than two tokens
  // is a shape fault only when the splitting went through the whole text.
  if (shape == Fault::kNone && complete && count < 2) shape = Fault::kSyntax;
  if (shape != Fault::kNone) fault = shape;

  // The identifiers accepted before the first fault.
  std::vector<int32_t> ids;
  bool wrong_id = false;
  std::vector<Colorant> colorants;
  bool colorants_read = false, colorants_ok = false;
  for (const Pair& p : pairs) {
    int32_t id = 0;
    if (ident_form == '#') {
      if (!ReadIdForm(p.ident, &id)) id = 0;
    } else if (!p.ident.empty()) {
      if (!colorants_read) {
        colorants_ok = ReadColorants(tables, &colorants);
        colorants_read = true;
      }
      if (colorants_ok) {
        id = Match(colorants, p.ident, &Colorant::descr);
        if (id == 0) id = Match(colorants, p.ident, &Colorant::code);
      }
    }
    if (id <= 0) wrong_id = true;
    ids.push_back(id);
  }
  if (wrong_id) fault = Fault::kIdentifier;

  // Quantities.
  std::vector<double> quantities;
  if (fault == Fault::kNone) {
    double sum = 0.0;
    for (size_t i = 0; i < pairs.size() && fault == Fault::kNone; ++i) {
      const std::string& q = pairs[i].quantity;
      const bool percent = q[0] == '%';
      double v = 0.0;
      if (percent != (mode != CNT_MODE_UNITS) ||
          !ReadNumber(percent ? q.substr(1) : q, &v)) {
        fault = Fault::kFormula;
        break;
      }
      if (percent) {
        v *= 0.01;
        sum += v;
        if (v > 1.0 || sum > kMaxPercentSum) fault = Fault::kFormula;
      }
      for (size_t j = 0; j < i; ++j)
        if (ids[j] == ids[i]) fault = Fault::kFormula;
      quantities.push_back(v);
    }
    if (pairs.empty()) fault = Fault::kFormula;
  }

  // Conversion: the units mode only.
  if (fault == Fault::kNone) {
    if (mode != CNT_MODE_UNITS) {
      fault = Fault::kConvert;
    } else {
      std::string frm;
      for (size_t i = 0; i < pairs.size(); ++i) {
        if (i > 0) frm += ',';
        frm += std::to_string(ids[i]);
        frm += ',';
        frm += Wy_FormatQuantity(quantities[i], 3, 0);
      }
      m_Frm = frm;
    }
  }

  if (fault != Fault::kNone) {
    cnt_message_ = Message(fault);
    Wy_Trace("\nHFormula Error: %s %s %d.\n", cnt_message_.c_str(), kUnit,
             __LINE__);
    return 0;
  }
  Wy_Trace("HFormula::ParseCntString...%s %d\noutput buffer:%s\n", kUnit,
           __LINE__, m_Frm.c_str());
  return m_Frm.empty() ? 0 : 1;
}
