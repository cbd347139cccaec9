// Ruler correction of a formula text: every quantity multiplied (or divided)
// by the ruler's factor of the base and of its colorant.
//
// The ruler is reached through YRuler so that the arithmetic here needs no
// table; the table set supplies a YRuler over its ruler table (records
// sought by kind and id, key Wy_RulerKey, the factor in RULE). Nothing here
// throws.

#ifndef MIXTABLE_YFORMULA_RULER_H_
#define MIXTABLE_YFORMULA_RULER_H_

#include <cstdint>
#include <string>

#include "mixtable/export.h"
#include "mixtable/yformula.h"

// The factors of a ruler.
class MIXTABLE_API YRuler {
 public:
  virtual ~YRuler() = default;
  // Stores the factor of `kind` ("BA" for a base, "CO" for a colorant) and
  // `id` in *rule and answers true, or answers false when the ruler has none.
  virtual bool Rule(const char* kind, int32_t id, double* rule) = 0;
};

// The ruler's search key of a kind and an id: the kind right-aligned in two
// characters (cut to two), then the id right-aligned in five ("BA" and 7
// give "BA    7"); longer ids take more characters.
MIXTABLE_API std::string Wy_RulerKey(const char* kind, int32_t id);

// Sets f to `text` (trimmed), then corrects every quantity q of colorant c:
// B is the "BA" factor of base_id (1 when absent), C the "CO" factor of c
// times B (B when absent); the new quantity is q * C, or with `divide`
// q / C when C > 0 (q otherwise), written as "%g" would (6 significant
// digits). Answers 0 when ruler is null, the text is malformed or has no
// pair; the text is then the trimmed `text`. Answers 1 otherwise.
MIXTABLE_API int Wy_SetAndRuler(yformula& f, const char* text, int32_t base_id,
                                YRuler* ruler, bool divide);

// The same with every new quantity multiplied by `factor` at the end. The
// ruler is used only when it is not null and base_id >= 1; otherwise every
// colorant's factor is 1. Answers 0 (text as set) when factor is 0 or NaN,
// or the text is malformed or has no pair.
MIXTABLE_API int Wy_SetAndRulerEx(yformula& f, const char* text,
                                  int32_t base_id, YRuler* ruler, bool divide,
                                  double factor);

#endif  // MIXTABLE_YFORMULA_RULER_H_
