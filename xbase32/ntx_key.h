// Index keys: the bytes stored for one record, formed from the value of the
// key expression, and the keys a Seek looks for.
//
// Numeric key form: the number as fixed-point text of the key length with
// the key's decimals, right-aligned and padded on the left with "0"; the
// sign is dropped; for a negative number every character c then becomes the
// character 92 - c ("0".."9" become "," "+" "*" ")" "(" "'" "&" "%" "$" "#",
// the point stays "."). Plain byte comparison then sorts in numeric order,
// every negative number before zero.

#ifndef XBASE32_NTX_KEY_H_
#define XBASE32_NTX_KEY_H_

#include <cstddef>
#include <string>

namespace xbase32 {

class Expr;

// What the keys of an index are.
struct KeyInfo {
  char type = 'C';    // 'C' text, 'N' numeric key form, 'D' "CCYYMMDD"
  int length = 0;     // bytes of a key
  int decimals = 0;   // numeric keys
  bool trim = false;  // TRIM/LTRIM used: trailing NULs of a text become blanks
};

// The key kind of a compiled expression: text for 'C', numeric for 'N' and
// 'n' (the length and decimals of a numeric field used alone, else 17 and
// 2), date for 'D' and 'd'. False for a logical result (no key).
bool KeyInfoOf(const Expr& e, KeyInfo* info);

// Writes the numeric key form of v into out[0, len). Answers false (and
// fills out with "*") when |v| does not fit.
bool NumericKey(double v, int len, int dec, char* out);

// Forms the key of one evaluated result (value: the result bytes of an
// expression of type expr_type, see Expr::type) into out[0, info.length).
void FormKey(const KeyInfo& info, char expr_type, const char* value,
             int value_length, char* out);

// The key a Seek looks for. Text: for a text index the text itself, cut to
// the key length (it is compared over its own length); for a numeric index
// the text read as a number in the numeric key form; for a date index the
// text blank-padded to the key length. A number: the numeric key form, or
// for a date index the "CCYYMMDD" text of the day number. Answers false when
// the key cannot be sought (a number that overflows the width).
bool SeekKeyFromText(const KeyInfo& info, const char* text, size_t n,
                     std::string* key);
bool SeekKeyFromNumber(const KeyInfo& info, double v, std::string* key);

}  // namespace xbase32

#endif  // XBASE32_NTX_KEY_H_
