#include "mixtable/wy_substrate.h"

#include "formula/dump_text.h"

bool Wy_Substrate::SetID(int32_t id) {
  if (id < 1) return false;
  m_ID = id;
  return true;
}

bool Wy_Substrate::SetCustomBackColor(const char* name, const double* refl) {
  if (m_ID < 1 || refl == nullptr) return false;
  for (int i = 0; i < kReflectances; ++i) {
    if (!(refl[i] >= 0)) return false;
  }
  m_CustomName = name != nullptr ? name : "";
  for (int i = 0; i < kReflectances; ++i) m_CustomRefl[i] = refl[i];
  m_HasCustomColor = true;
  return true;
}

bool Wy_Substrate::GetCustomBackColor(std::string* name, double* refl) const {
  if (name != nullptr) *name = m_CustomName;
  if (refl != nullptr) {
    for (int i = 0; i < kReflectances; ++i) refl[i] = m_CustomRefl[i];
  }
  return m_HasCustomColor;
}

void Wy_Substrate::ResetCustomBackColor() {
  m_CustomName.clear();
  m_HasCustomColor = false;
  for (double& v : m_CustomRefl) v = -1.0;
}

void Wy_Substrate::Clear() {
  ResetCustomBackColor();
  m_ID = 0;
}

std::string Wy_Substrate::DumpText() const {
  std::string s =
      "\nSubstrateID: " + std::to_string(m_ID) +
      "\nHas Custom Color: " + std::to_string(m_HasCustomColor ? 1 : 0) +
      "\n\tCustom Color Name: " + m_CustomName + "\n\t" +
      "\n\tCustom Color Reflect: ";
  for (double v : m_CustomRefl) s += mixtable_internal::FixedSix(v) + ", ";
  return s;
}

void Wy_Substrate::CDump() const { mixtable_internal::PrintText(DumpText()); }

void Wy_Substrate::Dump(Wy_DumpLineFn line, void* user) const {
  mixtable_internal::DumpLines(DumpText(), line, user);
}
