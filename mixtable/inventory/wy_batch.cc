// CWy_Batch: values, required flags and the checks of a stored batch.

#include "mixtable/wy_batch.h"

#include <ctime>

namespace {

bool SameDay(const tm& a, const tm& b) {
  return a.tm_mday == b.tm_mday && a.tm_mon == b.tm_mon &&
         a.tm_year == b.tm_year;
}

// A date counts as missing when day, month and year are all negative.
bool DateMissing(const tm& d) {
  return d.tm_mday < 0 && d.tm_mon < 0 && d.tm_year < 0;
}

}  // namespace

tm CWy_Batch::Today() {
  const std::time_t now = std::time(nullptr);
  tm t{};
#ifdef _WIN32
  localtime_s(&t, &now);
#else
  localtime_r(&now, &t);
#endif
  t.tm_year += 1900;
  t.tm_mon += 1;
  return t;
}

CWy_Batch::CWy_Batch() { m_ProdDate = m_ExpDate = m_ReflDate = Today(); }

CWy_Batch::~CWy_Batch() = default;

void CWy_Batch::SetText(std::string& member, const std::string& value) {
  if (member != value) m_Modified = true;
  member = value;
}

void CWy_Batch::SetDate(tm& member, const tm& value) {
  if (!SameDay(member, value)) m_Modified = true;
  member = value;
}

void CWy_Batch::SetBatchAbsID(int32_t id) {
  if (m_AbsID != id) m_Modified = true;
  m_AbsID = id;
}

void CWy_Batch::SetBatchIndex(int index) {
  if (m_Index != index) m_Modified = true;
  m_Index = index;
}

void CWy_Batch::SetBatchName(const std::string& name) { SetText(m_Name, name); }

void CWy_Batch::SetFrmRefl(const std::string& refl) {
  SetText(m_FrmRefl, refl);
  SetDate(m_ReflDate, Today());
}

void CWy_Batch::SetFrmBarCode(const std::string& code) {
  SetText(m_BarCode, code);
}
void CWy_Batch::SetLocationX(const std::string& x) { SetText(m_LocX, x); }
void CWy_Batch::SetLocationY(const std::string& y) { SetText(m_LocY, y); }
void CWy_Batch::SetLocationZ(const std::string& z) { SetText(m_LocZ, z); }
void CWy_Batch::SetQuality(const std::string& q) { SetText(m_Quality, q); }
void CWy_Batch::SetComment(const std::string& c) { SetText(m_Comment, c); }

void CWy_Batch::SetQuantity(double quantity) {
  if (m_Quantity != quantity) m_Modified = true;
  m_Quantity = quantity;
}

void CWy_Batch::SetWeightMode(bool weight) {
  if (m_WeightMode != weight) m_Modified = true;
  m_WeightMode = weight;
}

void CWy_Batch::SetProdDate(const tm& date) { SetDate(m_ProdDate, date); }
void CWy_Batch::SetExpDate(const tm& date) { SetDate(m_ExpDate, date); }
void CWy_Batch::SetReflSettingDate(const tm& date) {
  SetDate(m_ReflDate, date);
}

bool CWy_Batch::ValidateBatch() const {
  if (m_Req.absId && m_AbsID == 0) return false;
  if (m_Req.index && m_Index == 0) return false;
  if (m_Req.prodDate && DateMissing(m_ProdDate)) return false;
  if (m_Req.expDate && DateMissing(m_ExpDate)) return false;
  if (m_Req.reflDate && DateMissing(m_ReflDate)) return false;
  if (m_Req.name && m_Name.empty()) return false;
  if (m_Req.comment && m_Comment.empty()) return false;
  if (m_Req.barCode && m_BarCode.empty()) return false;
  if (m_Req.refl && m_FrmRefl.empty()) return false;
  if (m_Req.locX && m_LocX.empty()) return false;
  if (m_Req.locY && m_LocY.empty()) return false;
  if (m_Req.locZ && m_LocZ.empty()) return false;
  if (m_Req.quality && m_Quality.empty()) return false;
  if (m_Req.quantity && m_Quantity == 0.0) return false;
  return true;
}

bool CWy_Batch::ConvertQuantity(bool toWeight) {
  if (m_WeightMode == toWeight) return true;
  if (m_ToWeight == 0.0) return false;
  SetQuantity(toWeight ? m_Quantity * m_ToWeight : m_Quantity / m_ToWeight);
  SetWeightMode(toWeight);
  return true;
}
