// Can and base records: the manual base, the fill quantity, the dumps.

#include "mixtable/wy_base_can.h"

#include <string>

#include "formula/dump_text.h"

using mixtable_internal::DumpLines;
using mixtable_internal::FixedSix;
using mixtable_internal::PrintText;

std::string Wy_Can::DumpText() const {
  return "\nCanid: " + std::to_string(CanId) + ", CanDescr: " + CanDescr +
         "\nNom_q: " + FixedSix(Nom_Q) +
         ", CanWeight: " + std::to_string(CanWeight) +
         "; - H_min/max:  " + std::to_string(H_min) + " " +
         std::to_string(H_max) + "\n";
}

void Wy_Can::CDump() const { PrintText(DumpText()); }

void Wy_Can::Dump(Wy_DumpLineFn line, void* user) const {
  DumpLines(DumpText(), line, user);
}

void Wy_Base::SetAsManualBase(const char* frm, const int* weight_mode) {
  BasId = 0;
  BaseCode.clear();
  BaseDescr.clear();
  if (frm != nullptr) BaseFrm = frm;
  if (weight_mode != nullptr) BaseWeightMode = *weight_mode;
}

std::string Wy_Base::DumpText() const {
  return "\nBase id " + std::to_string(BasId) + ", BaseDescr " + BaseDescr +
         " , BaseCode " + BaseCode + " " + "\nSpec_w " + FixedSix(Spec_W) +
         ",Fill_q " + FixedSix(Fill_Q) + ", Fill_w " + FixedSix(Fill_W) +
         "\nFill_qc " + FixedSix(Fill_QC) + ", Fill_wc " + FixedSix(Fill_WC) +
         " " + "\nFrm id " + std::to_string(BaseFrmId) + " \"" + BaseFrm +
         "\", " + (BaseWeightMode ? "W" : "V") + " (" +
         std::to_string(BaseIsDispensable) + ")\n";
}

void Wy_Base::CDump() const { PrintText(DumpText()); }

void Wy_Base::Dump(Wy_DumpLineFn line, void* user) const {
  DumpLines(DumpText(), line, user);
}

int Wy_BaseAndCan::GetCurrentFillQuantity(double* quantity,
                                          double* weight) const {
  double f;
  if (CanWeight != 0) {
    f = Fill_WC > 0 ? Fill_WC : Fill_W;
  } else {
    f = Fill_QC > 0 ? Fill_QC : Fill_Q;
  }
  double q = f * Nom_Q * 0.001;
  double w = Spec_W > 0 ? Spec_W * 0.001 * q : 0.0;
  if (quantity != nullptr) *quantity = q;
  if (weight != nullptr) *weight = w;
  return q > 0 ? 1 : 0;
}

std::string Wy_BaseAndCan::DumpText() const {
  return Wy_Base::DumpText() + Wy_Can::DumpText();
}

void Wy_BaseAndCan::CDump() const { PrintText(DumpText()); }

void Wy_BaseAndCan::Dump(Wy_DumpLineFn line, void* user) const {
  DumpLines(DumpText(), line, user);
}
