// Wy_Can, Wy_Base and Wy_BaseAndCan: the can and the base a formula is
// dispensed into, as plain records.
//
// CDump prints a record's diagnostic text to standard output; Dump hands the
// same text line by line to a caller's callback (the library draws nothing).
// Numbers are printed with a point, whatever the process locale. Loading the
// records from the tables lives with the table set. Nothing here throws.

#ifndef MIXTABLE_WY_BASE_CAN_H_
#define MIXTABLE_WY_BASE_CAN_H_

#include <cstdint>
#include <string>

#include "mixtable/export.h"

class CMixtable;

// Receives one line of a diagnostic dump (without its newline).
using Wy_DumpLineFn = void (*)(const char* line, void* user);

struct MIXTABLE_API Wy_Can {
  int32_t CanId = 0;     // can id; 0 for a custom can
  double Nom_Q = 0.0;    // nominal quantity (NOM_Q)
  int H_min = 0;         // H_MIN
  int H_max = 0;         // H_MAX
  int CanWeight = 0;     // 1: measured by weight, 0: by volume (CAN_WEIGHT)
  std::string CanDescr;  // description (DESCR, at most 63 characters)

  void Clear() { *this = Wy_Can(); }
  // Loads can `id` from CANS of the table set (opened temporarily, its
  // previous state restored): the record is cleared and filled from ID,
  // DESCR, NOM_Q, CAN_WEIGHT ("T", "Y" or a non-zero number give 1), H_MIN
  // and H_MAX. Answers 1, or 0 with the record unchanged when the table set
  // is null, id <= 0, CANS cannot be opened or the can is not found.
  int Set(int32_t id, CMixtable* tables);
  // "\nCanid: %ld, CanDescr: %s\nNom_q: %f, CanWeight: %d; - H_min/max:  %d
  // %d\n" with this record's values.
  std::string DumpText() const;
  void CDump() const;
  // Calls line(text, user) for every line of DumpText (a leading and a
  // trailing empty line are left out). A null callback does nothing.
  void Dump(Wy_DumpLineFn line, void* user) const;
};

struct MIXTABLE_API Wy_Base {
  int32_t BasId = 0;       // base id; 0 for a manual base
  double Spec_W = 0.0;     // specific weight (SPEC_W)
  double Fill_Q = 0.0;     // standard fill, volume (FILL_Q)
  double Fill_W = 0.0;     // standard fill, weight (FILL_W)
  double Fill_QC = 0.0;    // custom fill, volume (never from the tables)
  double Fill_WC = 0.0;    // custom fill, weight (never from the tables)
  std::string BaseCode;    // CODE, at most 63 characters
  std::string BaseDescr;   // DESCR, at most 63 characters
  std::string BaseFrm;     // formula of a base made of components
  int BaseWeightMode = 0;  // weight mode of BaseFrm
  int32_t BaseFrmId = 0;   // id of the base-formula record (= BasId)
  int BaseIsDispensable = 1;

  void Clear() { *this = Wy_Base(); }
  // Loads base `id` from BASES (opened temporarily): the record is cleared
  // and filled from SPEC_W, FILL_Q, FILL_W, DESCR and CODE. When BASESFRM
  // has a record of the same id, BaseFrm is its FORMULA (whole, never cut),
  // BaseWeightMode its WEIGHTMODE flag, BaseFrmId the id. Answers 1 when the
  // base was found; 0 with the record unchanged otherwise.
  int Set(int32_t id, CMixtable* tables);
  // Makes a manual base: BasId 0, code and description emptied, BaseFrm and
  // BaseWeightMode from the arguments that are not null.
  void SetAsManualBase(const char* frm, const int* weight_mode);
  // The base lines: "\nBase id %ld, BaseDescr %s , BaseCode %s ",
  // "\nSpec_w %f,Fill_q %f, Fill_w %f", "\nFill_qc %f, Fill_wc %f ",
  // "\nFrm id %ld \"%s\", %s (%ld)\n" (W or V for the weight mode, then
  // BaseIsDispensable).
  std::string DumpText() const;
  void CDump() const;
  void Dump(Wy_DumpLineFn line, void* user) const;
};

// A base followed by a can, treated part by part.
struct MIXTABLE_API Wy_BaseAndCan : public Wy_Base, public Wy_Can {
  void Clear() {
    Wy_Base::Clear();
    Wy_Can::Clear();
  }
  // Loads the can part when can_id > 0, then the base part when base_id > 0
  // and answers its result; without a base, the can's result (0 when
  // can_id <= 0 too).
  int Set(int32_t base_id, int32_t can_id, CMixtable* tables);
  // True when a custom fill quantity (Fill_QC or Fill_WC) is above 0.
  bool HasCustomQuantities() const { return Fill_QC > 0 || Fill_WC > 0; }
  // The base quantity that goes into the can: the custom fill when set (by
  // weight for a can by weight, else by volume), else the standard fill,
  // times Nom_Q * 0.001; the weight is Spec_W * 0.001 times that quantity
  // (0 without a specific weight). Either pointer may be null. Answers 1
  // when the quantity is above 0.
  int GetCurrentFillQuantity(double* quantity, double* weight) const;
  std::string DumpText() const;  // the base lines, then the can lines
  void CDump() const;
  void Dump(Wy_DumpLineFn line, void* user) const;
};

#endif  // MIXTABLE_WY_BASE_CAN_H_
