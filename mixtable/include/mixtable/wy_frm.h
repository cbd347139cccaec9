// Wy_Frm: a formula vector, the formula text with its units and the can its
// quantities refer to.
//
// No member throws. The operators and resize are all or nothing: on any
// failure (a malformed text on either side, a quantity that cannot be
// written, memory) the object stays as it was. Reading from the formula
// tables lives with the table set.

#ifndef MIXTABLE_WY_FRM_H_
#define MIXTABLE_WY_FRM_H_

#include <cstdint>

#include "mixtable/export.h"
#include "mixtable/wy_units.h"
#include "mixtable/yformula.h"

struct Wy_BaseAndCan;
class CMixtable;

struct MIXTABLE_API Wy_Frm {
  yformula m_Frm;         // the colorant list
  int32_t m_SlaveId = 0;  // slave data set of the formula (0: master)
  Wy_Units m_Units;       // units of the quantities
  int m_CanWeight0 = 0;   // 1: quantities refer to a can by weight
  double m_Nom_Q0 = 0.0;  // nominal quantity of that can (0: none)

  Wy_Frm() = default;
  Wy_Frm(const Wy_Frm& other) = default;
  Wy_Frm& operator=(const Wy_Frm& other) { return set(other); }
  ~Wy_Frm() = default;

  // Copies every field (the text through yformula::set, so it is trimmed).
  Wy_Frm& set(const Wy_Frm& other);

  // True when the formula text is empty.
  bool IsEmpty() const { return m_Frm.get()[0] == '\0'; }
  // Empties the text and resets every other field (the unit name included).
  void Clear();

  const Wy_Units& GetUnits() const { return m_Units; }
  void SetUnits(const Wy_Units& units) { m_Units = units; }

  // Reads the formula of the current record of table `which` (Y_FRM or
  // Y_ARCHIVE, open and positioned) with yformula::read, corrected by the
  // table set's RULER when it is open. Units come from the current PRODUCTS
  // record; without one, and only when reading from Y_ARCHIVE, from the
  // archive record (UNIT, FRACTION, WEIGHTMODE; FRACTION2 1); otherwise the
  // defaults. A FRACTION2 below 1 counts as 1. The can reference comes from
  // the CANS record of CAN_ID (opened temporarily) when CAN_ID > 0, else
  // from the archive record's CAN_WEIGHT and NOM_Q0 when reading Y_ARCHIVE,
  // else 0. m_SlaveId is not touched. Answers 1 when the text was read; 0
  // with the object unchanged otherwise.
  int read(CMixtable* tables, int which);

  // Brings the quantities from the can they refer to (m_CanWeight0,
  // m_Nom_Q0) to the can of `target`, in the six steps of the tinting rules
  // (volume/weight conversion by the base's fill quantities, custom fill,
  // nominal quantity), each with 7 decimals. Answers 1 and commits text,
  // m_CanWeight0 and m_Nom_Q0 together, or 0 with nothing changed.
  int resize(const Wy_BaseAndCan& target);

  // Adds the quantities of `other` colorant by colorant (new colorants are
  // appended). An empty other changes nothing; an empty this becomes a copy
  // of other; different can references change nothing.
  Wy_Frm& operator+=(const Wy_Frm& other);
  // Subtracts the quantities of `other` from the same colorants, keeping the
  // pairs above 0.0001. Empty texts or different can references change
  // nothing.
  Wy_Frm& operator-=(const Wy_Frm& other);
};

#endif  // MIXTABLE_WY_FRM_H_
