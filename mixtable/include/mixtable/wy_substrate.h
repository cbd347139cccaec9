// Wy_Substrate: the substrate a colour is applied to, with an optional
// custom back colour (a name and a reflectance curve of 16 wavelengths).
// Nothing here throws.

#ifndef MIXTABLE_WY_SUBSTRATE_H_
#define MIXTABLE_WY_SUBSTRATE_H_

#include <cstdint>
#include <string>

#include "mixtable/export.h"
#include "mixtable/wy_base_can.h"

struct MIXTABLE_API Wy_Substrate {
  static constexpr int kReflectances = 16;

  int32_t m_ID = 0;  // substrate id; set only to values >= 1
  std::string m_CustomName;
  double m_CustomRefl[kReflectances] = {-1.0, -1.0, -1.0, -1.0, -1.0, -1.0,
                                        -1.0, -1.0, -1.0, -1.0, -1.0, -1.0,
                                        -1.0, -1.0, -1.0, -1.0};
  bool m_HasCustomColor = false;

  // False (unchanged) when id < 1.
  bool SetID(int32_t id);
  int32_t GetID() const { return m_ID; }
  bool HasCustomColor() const { return m_HasCustomColor; }
  // Stores name (null: empty) and the 16 values of refl and marks the custom
  // colour. False, with the previous colour kept, when m_ID < 1, refl is
  // null, or any value is negative or NaN.
  bool SetCustomBackColor(const char* name, const double* refl);
  // Copies name and the 16 values out (either pointer may be null; refl
  // must hold 16 values); answers m_HasCustomColor.
  bool GetCustomBackColor(std::string* name, double* refl) const;
  // Forgets the custom colour: name emptied, flag cleared, values -1.
  void ResetCustomBackColor();
  // ResetCustomBackColor and m_ID = 0.
  void Clear();

  // "\nSubstrateID: %ld", "\nHas Custom Color: %d",
  // "\n\tCustom Color Name: %s\n\t", "\n\tCustom Color Reflect: " and the
  // 16 values as "%f, ".
  std::string DumpText() const;
  void CDump() const;
  void Dump(Wy_DumpLineFn line, void* user) const;
};

#endif  // MIXTABLE_WY_SUBSTRATE_H_
