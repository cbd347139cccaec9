#include "expr/expr_scanner.h"

#include "expr/number_format.h"

namespace xbase32 {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == '_'; }
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' ||
         c == '\f';
}
char Upper(char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

}  // namespace

int Priority(BinaryOp op) {
  switch (op) {
    case BinaryOp::kPower:
      return 9;
    case BinaryOp::kMultiply:
    case BinaryOp::kDivide:
      return 8;
    case BinaryOp::kAdd:
    case BinaryOp::kSubtract:
      return 7;
    case BinaryOp::kAnd:
      return 4;
    case BinaryOp::kOr:
      return 3;
    default:
      return 6;  // comparisons, "$" and "!"
  }
}

const char* OperatorText(BinaryOp op) {
  // kNotEqual is shown as "#", whichever of its forms was written.
  static const char* const kText[] = {"^",  "*", "/", "+",     "-",
                                      "=",  "#", ">", ">=",    "<",
                                      "<=", "$", "!", ".AND.", ".OR."};
  return kText[static_cast<int>(op)];
}

void Scanner::SkipSpace() {
  while (pos_ < src_.size() && IsSpace(src_[pos_])) pos_++;
}

bool Scanner::Accept(char c) {
  SkipSpace();
  if (pos_ < src_.size() && src_[pos_] == c) {
    pos_++;
    return true;
  }
  return false;
}

bool Scanner::Peek(std::string_view text) {
  SkipSpace();
  return src_.substr(pos_, text.size()) == text;
}

bool Scanner::DotWordAt(size_t i, std::string_view word) const {
  if (src_.size() - i < word.size()) return false;
  for (size_t k = 0; k < word.size(); k++) {
    if (Upper(src_[i + k]) != word[k]) return false;
  }
  return true;
}

bool Scanner::Next(bool operand_expected, Token* tok) {
  SkipSpace();
  *tok = Token();
  const size_t start = pos_;
  tok->pos = static_cast<int32_t>(start);
  if (pos_ >= src_.size()) {
    tok->type = TokenType::kEnd;
    return true;
  }
  const char c = src_[pos_];
  const char next = pos_ + 1 < src_.size() ? src_[pos_ + 1] : '\0';
  const char after = pos_ + 2 < src_.size() ? src_[pos_ + 2] : '\0';

  if (c == '"' || c == '\'' || c == '[') {
    const char close = c == '[' ? ']' : c;
    const size_t end = src_.find(close, start + 1);
    tok->type = TokenType::kString;
    if (end == std::string_view::npos) {
      pos_ = src_.size();
      tok->len = static_cast<int32_t>(pos_ - start);
      return false;
    }
    tok->text_pos = static_cast<int32_t>(start + 1);
    tok->text_len = static_cast<int32_t>(end - start - 1);
    pos_ = end + 1;
    tok->len = static_cast<int32_t>(pos_ - start);
    return true;
  }
  if (IsDigit(c) || (c == '.' && IsDigit(next)) ||
      (operand_expected && (c == '+' || c == '-') &&
       (IsDigit(next) || (next == '.' && IsDigit(after))))) {
    if (ScanNumber(start, tok)) return true;
    // A number running into a letter is a name ("1ST"); with a sign or a
    // leading point it is nothing this language knows.
    if (IsDigit(c)) {
      ScanName(start, tok);
    } else {
      pos_ = start + 1;
      tok->type = TokenType::kUnknown;
      tok->len = 1;
    }
    return true;
  }
  if (IsNameChar(c)) {
    ScanName(start, tok);
    return true;
  }
  if (c == '.') {
    ScanDotWord(start, tok);
    return true;
  }

  tok->type = TokenType::kOperator;
  size_t len = 1;
  switch (c) {
    case '(':
      tok->type = TokenType::kLeftParen;
      break;
    case ')':
      tok->type = TokenType::kRightParen;
      break;
    case ',':
      tok->type = TokenType::kComma;
      break;
    case '^':
      tok->op = BinaryOp::kPower;
      break;
    case '*':
      if (next == '*') {
        tok->op = BinaryOp::kPower;
        len = 2;
      } else {
        tok->op = BinaryOp::kMultiply;
      }
      break;
    case '/':
      tok->op = BinaryOp::kDivide;
      break;
    case '+':
      tok->op = BinaryOp::kAdd;
      break;
    case '-':
      if (next == '>') {
        tok->type = TokenType::kArrow;
        len = 2;
      } else {
        tok->op = BinaryOp::kSubtract;
      }
      break;
    case '=':
      tok->op = BinaryOp::kEqual;
      break;
    case '#':
      tok->op = BinaryOp::kNotEqual;
      break;
    case '<':
      if (next == '>') {
        tok->op = BinaryOp::kNotEqual;
        len = 2;
      } else if (next == '=') {
        tok->op = BinaryOp::kLessEqual;
        len = 2;
      } else {
        tok->op = BinaryOp::kLess;
      }
      break;
    case '>':
      if (next == '=') {
        tok->op = BinaryOp::kGreaterEqual;
        len = 2;
      } else {
        tok->op = BinaryOp::kGreater;
      }
      break;
    case '$':
      tok->op = BinaryOp::kContains;
      break;
    case '!':
      tok->op = BinaryOp::kContainsNoCase;
      break;
    default:
      tok->type = TokenType::kUnknown;
      break;
  }
  pos_ = start + len;
  tok->len = static_cast<int32_t>(len);
  return true;
}

// Digits and points up to another character. A point followed by a letter
// ends the number before the point ("1.AND."); a point followed by ".AND.",
// ".OR." or ".NOT." ends it after the point ("1..AND."). Answers false when
// a letter or "_" follows the number, which makes the token a name.
bool Scanner::ScanNumber(size_t start, Token* tok) {
  size_t i = start;
  if (src_[i] == '+' || src_[i] == '-') i++;
  while (i < src_.size()) {
    const char c = src_[i];
    if (IsDigit(c)) {
      i++;
    } else if (c == '.') {
      if (i + 1 < src_.size() && IsLetter(src_[i + 1])) break;
      if (DotWordAt(i + 1, ".AND.") || DotWordAt(i + 1, ".OR.") ||
          DotWordAt(i + 1, ".NOT.")) {
        i++;
        break;
      }
      i++;
    } else {
      break;
    }
  }
  if (i < src_.size() && (IsLetter(src_[i]) || src_[i] == '_')) return false;
  tok->type = TokenType::kNumber;
  tok->len = static_cast<int32_t>(i - start);
  tok->number = ParseDouble(src_.data() + start, i - start);
  pos_ = i;
  return true;
}

void Scanner::ScanName(size_t start, Token* tok) {
  size_t i = start;
  while (i < src_.size() && IsNameChar(src_[i])) i++;
  tok->type = TokenType::kName;
  tok->text_pos = static_cast<int32_t>(start);
  tok->text_len = static_cast<int32_t>(i - start);
  tok->len = tok->text_len;
  pos_ = i;
}

void Scanner::ScanDotWord(size_t start, Token* tok) {
  struct Word {
    std::string_view text;
    TokenType type;
    BinaryOp op;
  };
  static const Word kWords[] = {
      {".TRUE.", TokenType::kTrue, BinaryOp::kAdd},
      {".T.", TokenType::kTrue, BinaryOp::kAdd},
      {".FALSE.", TokenType::kFalse, BinaryOp::kAdd},
      {".F.", TokenType::kFalse, BinaryOp::kAdd},
      {".NOT.", TokenType::kNot, BinaryOp::kAdd},
      {".AND.", TokenType::kOperator, BinaryOp::kAnd},
      {".OR.", TokenType::kOperator, BinaryOp::kOr},
  };
  for (const Word& w : kWords) {
    if (DotWordAt(start, w.text)) {
      tok->type = w.type;
      tok->op = w.op;
      tok->len = static_cast<int32_t>(w.text.size());
      pos_ = start + w.text.size();
      return;
    }
  }
  // An unknown dot word: report it up to its closing point (or the point
  // alone).
  size_t i = start + 1;
  while (i < src_.size() && IsLetter(src_[i])) i++;
  if (i < src_.size() && src_[i] == '.' && i > start + 1) i++;
  tok->type = TokenType::kUnknown;
  tok->len = static_cast<int32_t>(i - start);
  pos_ = i;
}

}  // namespace xbase32
