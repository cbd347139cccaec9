// The formula vector: assignment, resizing to a can, adding and subtracting.

#include "mixtable/wy_frm.h"

#include <new>
#include <string>
#include <vector>

#include "mixtable/wy_base_can.h"

namespace {

// Every resize step of a formula vector writes 7 decimals, no exponent.
constexpr int kResizeDecimals = 7;
// Pairs at or below this are dropped by a subtraction.
constexpr double kSubtractRest = 0.0001;

}  // namespace

Wy_Frm& Wy_Frm::set(const Wy_Frm& other) {
  if (this == &other) return *this;
  yformula text;
  if (!text.set(other.m_Frm.get())) return *this;
  m_Frm = text;
  m_SlaveId = other.m_SlaveId;
  m_Units = other.m_Units;
  m_CanWeight0 = other.m_CanWeight0;
  m_Nom_Q0 = other.m_Nom_Q0;
  return *this;
}

void Wy_Frm::Clear() {
  m_Frm.set(nullptr);
  m_SlaveId = 0;
  m_Units = Wy_Units();
  m_CanWeight0 = 0;
  m_Nom_Q0 = 0.0;
}

int Wy_Frm::resize(const Wy_BaseAndCan& t) {
  const double n = t.Nom_Q;
  const int w = t.CanWeight;
  if (!(n > 0)) return 1;  // step 1: no can to size to
  if (m_CanWeight0 != w && !(t.Fill_Q > 0 && t.Fill_W > 0)) return 0;
  yformula text = m_Frm;
  int can_weight = m_CanWeight0;
  if (can_weight == 0 && w != 0) {  // step 3: volume to weight
    double to = t.Fill_WC > 0 ? t.Fill_WC : t.Fill_W;
    if (!text.resize(t.Fill_Q, to, kResizeDecimals, 0)) return 0;
    can_weight = 1;
  } else if (can_weight != 0 && w == 0) {  // step 4: weight to volume
    double to = t.Fill_QC > 0 ? t.Fill_QC : t.Fill_Q;
    if (!text.resize(t.Fill_W, to, kResizeDecimals, 0)) return 0;
    can_weight = 0;
  }
  if (t.CanId != 0) {  // step 5: from the custom fill to the standard fill
    if (w == 1 && t.Fill_WC > 0) {
      if (!text.resize(t.Fill_WC, t.Fill_W, kResizeDecimals, 0)) return 0;
    } else if (w != 1 && t.Fill_QC > 0) {
      if (!text.resize(t.Fill_QC, t.Fill_Q, kResizeDecimals, 0)) return 0;
    }
  }
  // Step 6: to the nominal quantity of the target can.
  if (!text.resize(m_Nom_Q0, n, kResizeDecimals, 0)) return 0;
  m_Frm = text;
  m_CanWeight0 = can_weight;
  m_Nom_Q0 = n;
  return 1;
}

Wy_Frm& Wy_Frm::operator+=(const Wy_Frm& other) {
  if (other.IsEmpty()) return *this;
  if (IsEmpty()) return set(other);
  if (m_CanWeight0 != other.m_CanWeight0 || m_Nom_Q0 != other.m_Nom_Q0)
    return *this;
  try {
    std::vector<YFormulaPair> mine, theirs;
    if (!m_Frm.parse(&mine) || !other.m_Frm.parse(&theirs)) return *this;
    for (const YFormulaPair& p : theirs) {
      bool found = false;
      for (YFormulaPair& m : mine) {
        if (m.id == p.id) {
          m.quantity += p.quantity;
          found = true;
          break;
        }
      }
      if (!found) mine.push_back(p);
    }
    std::string text;
    if (!yformula::Compose(mine, -1, 0, &text)) return *this;
    m_Frm.set(text);
  } catch (const std::bad_alloc&) {
  }
  return *this;
}

Wy_Frm& Wy_Frm::operator-=(const Wy_Frm& other) {
  if (other.IsEmpty() || IsEmpty()) return *this;
  if (m_CanWeight0 != other.m_CanWeight0 || m_Nom_Q0 != other.m_Nom_Q0)
    return *this;
  try {
    std::vector<YFormulaPair> mine, theirs, kept;
    if (!m_Frm.parse(&mine) || !other.m_Frm.parse(&theirs)) return *this;
    for (const YFormulaPair& p : theirs) {
      for (YFormulaPair& m : mine) {
        if (m.id == p.id) {
          m.quantity -= p.quantity;
          break;
        }
      }
    }
    for (const YFormulaPair& m : mine) {
      if (m.quantity > kSubtractRest) kept.push_back(m);
    }
    std::string text;
    if (!yformula::Compose(kept, -1, 0, &text)) return *this;
    m_Frm.set(text);
  } catch (const std::bad_alloc&) {
  }
  return *this;
}
