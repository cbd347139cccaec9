// First stage of the expression pipeline: the scanner turns source text into
// tokens, left to right, skipping white space between them.
//
// Whether "+" or "-" before a digit is a sign or an operator depends on the
// parser's state, so the parser tells Next() whether it expects an operand.

#ifndef XBASE32_EXPR_EXPR_SCANNER_H_
#define XBASE32_EXPR_EXPR_SCANNER_H_

#include <cstdint>
#include <string_view>

namespace xbase32 {

// Infix operators, also used as the operations of the parsed form.
enum class BinaryOp : uint8_t {
  kPower,           // "^" or "**"
  kMultiply,        // "*"
  kDivide,          // "/"
  kAdd,             // "+"
  kSubtract,        // "-"
  kEqual,           // "="
  kNotEqual,        // "#" or "<>"
  kGreater,         // ">"
  kGreaterEqual,    // ">="
  kLess,            // "<"
  kLessEqual,       // "<="
  kContains,        // "$"
  kContainsNoCase,  // "!"
  kAnd,             // ".AND."
  kOr,              // ".OR."
};

// Binding strength: higher binds tighter.
int Priority(BinaryOp op);
constexpr int kNotPriority = 5;  // prefix ".NOT."
// The operator as written (for error details).
const char* OperatorText(BinaryOp op);

enum class TokenType : uint8_t {
  kEnd,
  kNumber,    // number constant; value in Token::number
  kString,    // text constant; contents at text_pos, text_len
  kName,      // name; at text_pos, text_len
  kTrue,      // ".T." or ".TRUE."
  kFalse,     // ".F." or ".FALSE."
  kNot,       // ".NOT."
  kOperator,  // infix operator in Token::op
  kLeftParen,
  kRightParen,
  kComma,
  kArrow,    // "->"
  kUnknown,  // any other character or dot word
};

struct Token {
  TokenType type = TokenType::kEnd;
  BinaryOp op = BinaryOp::kAdd;
  int32_t pos = 0;       // offset of the token in the source
  int32_t len = 0;       // length of the token text
  int32_t text_pos = 0;  // kString and kName: the contents
  int32_t text_len = 0;
  double number = 0;
};

class Scanner {
 public:
  explicit Scanner(std::string_view source) : src_(source) {}

  // Reads the next token. operand_expected makes "+" or "-" directly before
  // a digit (or a point and a digit) start a number. Answers false only for
  // a text constant without its closing character; *tok then spans from the
  // opening character to the end of the source.
  bool Next(bool operand_expected, Token* tok);

  // Skips white space; when the source continues with c, consumes it and
  // answers true.
  bool Accept(char c);
  // Whether the source continues (after white space) with text; consumes
  // nothing.
  bool Peek(std::string_view text);

  int32_t pos() const { return static_cast<int32_t>(pos_); }
  std::string_view source() const { return src_; }

 private:
  void SkipSpace();
  bool ScanNumber(size_t start, Token* tok);
  void ScanName(size_t start, Token* tok);
  void ScanDotWord(size_t start, Token* tok);
  bool DotWordAt(size_t i, std::string_view word) const;

  std::string_view src_;
  size_t pos_ = 0;
};

}  // namespace xbase32

#endif  // XBASE32_EXPR_EXPR_SCANNER_H_
