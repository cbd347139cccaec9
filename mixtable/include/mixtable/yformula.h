// yformula: the formula text, a list of (colorant id, quantity) pairs such as
// "12,0.5,3,12.25".
//
// Tokens are separated by any run of comma, blank, semicolon and newline; a
// tab or carriage return inside a token belongs to it ("1\t2" is one token).
// Ids are read as 32-bit decimal integers, quantities as classic decimal
// numbers, both independent of the process locale (see quantity_format.h). A
// text with an odd number of tokens is malformed.
//
// Ownership: the object owns its text; copies are independent. No member
// throws. Every rewrite is all or nothing: when any quantity of the new text
// cannot be written (64 characters at most) or memory is short, the operation
// answers 0 and the text stays as it was; a malformed text is never rewritten.
//
// Reading from formula tables and correcting by a ruler live with the table
// set; the conversions by specific weight take the weights from a caller's
// source (YSpecificWeights) so that they need no table here.

#ifndef MIXTABLE_YFORMULA_H_
#define MIXTABLE_YFORMULA_H_

#include <cstdint>
#include <string>
#include <vector>

#include "mixtable/export.h"

// One pair of a formula text.
class Wdbase;
class CMixtable;

struct MIXTABLE_API YFormulaPair {
  int32_t id = 0;
  double quantity = 0.0;
};

// The specific weights of colorants, as the conversions by weight need them.
class MIXTABLE_API YSpecificWeights {
 public:
  virtual ~YSpecificWeights() = default;
  // Stores the specific weight of colorant `id` in *weight and answers true,
  // or answers false when the colorant is unknown.
  virtual bool SpecificWeight(int32_t id, double* weight) = 0;
};

class MIXTABLE_API yformula {
 public:
  // The longest quantity text add() accepts.
  static constexpr size_t kMaxQuantityText = 64;
  // Factors and specific weights below this are refused by the conversions.
  static constexpr double kMinFactor = 1.1920929e-7;

  yformula() = default;
  yformula(const yformula& other) = default;
  yformula& operator=(const yformula& other);  // self-assignment: no change
  ~yformula() = default;

  // Replaces the text by a copy of `text` with blanks, newlines, carriage
  // returns and tabs removed at both ends; null gives the empty text. Answers
  // 1, or 0 (text unchanged) when memory is short.
  int set(const char* text);
  int set(const std::string& text);

  // The text ("" when empty).
  const char* get() const { return text_.c_str(); }

  // The number of pairs; 0 for an empty text, -1 for a malformed one.
  int count() const;

  // Writes the pairs in order into ids[] and quantities[], at most `capacity`
  // of them, and answers the number written; -1 (nothing written) for a
  // malformed text or null arrays with a positive capacity.
  int parse(int32_t* ids, double* quantities, int capacity) const;
  // All pairs into *pairs; false (pairs emptied) for a malformed text.
  bool parse(std::vector<YFormulaPair>* pairs) const;

  // Appends one pair: a comma first unless the text is empty or ends in a
  // comma, blank, semicolon or newline; then the id, a comma and the
  // quantity text. Answers 0 (text unchanged) when the quantity text is null
  // or longer than 64 characters.
  int add(int32_t id, const char* quantity);
  // The same with the quantity written by Wy_FormatQuantity.
  int add(int32_t id, double quantity, int decimals, int exponent);

  // Rescales every quantity by to / from and keeps the pairs whose new
  // quantity is above 1e-16 and whose id is above 0, in order, written with
  // the quantity formatter. Answers 0 (text unchanged) when from or to is not
  // a positive finite number, the text is malformed, or a quantity cannot be
  // written.
  int resize(double from, double to, int decimals, int exponent);

  // Converts every quantity q of colorant id with the colorant's specific
  // weight w: to_volume writes q * factor * 1000 / w, to_weight
  // q * factor * w * 0.001. All colorants or nothing: answers 0 (text
  // unchanged) when factor < kMinFactor (or NaN), the text is malformed, a
  // colorant is unknown or its weight is below kMinFactor, or a quantity
  // cannot be written.
  int to_volume(YSpecificWeights& weights, double factor, int decimals,
                int exponent);
  int to_weight(YSpecificWeights& weights, double factor, int decimals,
                int exponent);

  // The same with the specific weights (SPEC_W) of the colorant table of a
  // table set, opened temporarily (its previous state is restored). Answers
  // 0 (text unchanged) for a null table set or a missing colorant table.
  int to_volume(CMixtable* tables, double factor, int decimals, int exponent);
  int to_weight(CMixtable* tables, double factor, int decimals, int exponent);

  // --- formula tables (table-set side, formula_tables.cc) ------------------
  // Empties the text, then reads the FORMULA field (FRM when the table has
  // no FORMULA) of frm's current record whole and trimmed. When ruler is open
  // and frm's file name begins with "FRM" (any case), the text is corrected
  // by the ruler with the record's BASE_ID (0 without that field), without
  // dividing. Answers 1 when the field was read; 0 (text empty) when frm is
  // null, closed, not on a record, or has neither field.
  int read(Wdbase* frm, Wdbase* ruler);
  // Wy_SetAndRuler / Wy_SetAndRulerEx over a ruler table: records sought on
  // its second index (RTYPE+PTR_ID) with Wy_RulerKey, the factor read from
  // RULE as text of at most 64 characters. The ruler's selected index is
  // restored. A null or closed ruler is no ruler.
  int set_and_ruler(const char* text, int32_t base_id, Wdbase* ruler,
                    bool divide);
  int set_and_ruler_ex(const char* text, int32_t base_id, Wdbase* ruler,
                       bool divide, double factor);

  // Builds the text of `pairs` as add() would, each quantity formatted with
  // the given decimals and exponent flag (decimals < 0: DecimalsNeeded of
  // each quantity). False (out unchanged) when a quantity cannot be written.
  static bool Compose(const std::vector<YFormulaPair>& pairs, int decimals,
                      int exponent, std::string* out);

 private:
  int Convert(YSpecificWeights& weights, double factor, int decimals,
              int exponent, bool to_volume);

  std::string text_;
};

#endif  // MIXTABLE_YFORMULA_H_
