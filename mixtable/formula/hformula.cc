// HFormula: defaults, accessors, plain setters, units, shop data, status and
// the diagnostic listing.

#include "mixtable/hformula.h"

#include <algorithm>
#include <cstring>

#include "formula/dump_text.h"
#include "mixtable/quantity_format.h"

std::atomic<int32_t> HFormula::InstanceCounter{0};

HFormulaInstanceTicket::HFormulaInstanceTicket() {
  ++HFormula::InstanceCounter;
}
HFormulaInstanceTicket::HFormulaInstanceTicket(const HFormulaInstanceTicket&) {
  ++HFormula::InstanceCounter;
}
HFormulaInstanceTicket::~HFormulaInstanceTicket() {
  --HFormula::InstanceCounter;
}

namespace {

void Put(std::string* out, const std::string& value) {
  if (out != nullptr) *out = value;
}
template <typename T>
void Put(T* out, T value) {
  if (out != nullptr) *out = value;
}

}  // namespace

void HFormula::Clear() {
  Wy_Substrate keep = std::move(m_Sub);
  static_cast<HFormulaMembers&>(*this) = HFormulaMembers();
  m_Sub = std::move(keep);
}

uint32_t HFormula::GetDataId(std::string* text) const {
  Put(text, m_DataIdText);
  return m_DataId;
}

void HFormula::SetDataId(uint32_t id, const char* text) {
  m_DataId = id;
  if (text != nullptr) m_DataIdText = text;
}

int32_t HFormula::GetPrd(std::string* name) const {
  Put(name, m_PrdName);
  return m_PrdId;
}
int32_t HFormula::GetSpd(std::string* name) const {
  Put(name, m_SpdName);
  return m_SpdId;
}
int32_t HFormula::GetClr(std::string* name) const {
  Put(name, m_ClrName);
  return m_ClrId;
}
int32_t HFormula::GetBas(std::string* name, double* fillQ,
                         double* fillW) const {
  Put(name, m_BasName);
  Put(fillQ, m_Fill_Q);
  Put(fillW, m_Fill_W);
  return m_BasId;
}
int32_t HFormula::GetCan(std::string* name, double* nomQ, int* weight) const {
  Put(name, m_CanName);
  Put(nomQ, m_CanNomQ);
  Put(weight, m_CanWeight);
  return m_CanId;
}
int HFormula::GetFrm(std::string* text, double* nomQ) const {
  Put(text, m_Frm);
  Put(nomQ, m_FrmNomQ);
  return m_Frm.empty() ? 0 : 1;
}
int HFormula::GetFrt(std::string* text, double* nomQ) const {
  Put(text, m_Frt.empty() ? m_Frm : m_Frt);
  Put(nomQ, m_FrmNomQ);
  return m_Frt.empty() ? 0 : 1;
}
int HFormula::GetCir(std::string* text, double* nomQ) const {
  Put(text, m_Cir);
  Put(nomQ, m_FrmNomQ);
  return 1;
}
int HFormula::GetLog(std::string* text) const {
  Put(text, m_Log);
  return m_Log.empty() ? 0 : 1;
}

int HFormula::GetX10(double* xyz, double* rfl) const {
  if (xyz != nullptr) std::copy(m_X10, m_X10 + 3, xyz);
  if (rfl != nullptr) std::copy(m_Rfl, m_Rfl + kRfl, rfl);
  return 1;
}
int HFormula::GetX02(double* xyz, double* rfl) const {
  if (xyz != nullptr) std::copy(m_X02, m_X02 + 3, xyz);
  if (rfl != nullptr) std::copy(m_Rfl, m_Rfl + kRfl, rfl);
  return 1;
}
void HFormula::SetX10(const double* xyz, const double* rfl) {
  if (xyz != nullptr) std::copy(xyz, xyz + 3, m_X10);
  if (rfl != nullptr) std::copy(rfl, rfl + kRfl, m_Rfl);
}
void HFormula::SetX02(const double* xyz, const double* rfl) {
  if (xyz != nullptr) std::copy(xyz, xyz + 3, m_X02);
  if (rfl != nullptr) std::copy(rfl, rfl + kRfl, m_Rfl);
}

int HFormula::GetVlUnits(double* unit, double* fraction,
                         double* fraction2) const {
  Put(unit, m_VlUnit);
  Put(fraction, m_VlFraction);
  Put(fraction2, m_VlFraction2);
  return m_WeightMode == 0 ? 1 : 0;
}
int HFormula::GetWgUnits(double* unit, double* fraction,
                         double* fraction2) const {
  Put(unit, m_WgUnit);
  Put(fraction, m_WgFraction);
  Put(fraction2, m_WgFraction2);
  return m_WeightMode;
}

void HFormula::GetShlPos(int* pos3) const {
  if (pos3 != nullptr) std::copy(m_ShlPos, m_ShlPos + 3, pos3);
}
void HFormula::GetPnc(int* pnc) const { Put(pnc, m_Pnc); }

void HFormula::SetSub(int32_t id) {
  if (id > 0) m_Sub.SetID(id);
}

void HFormula::SetEmptyClr() {
  m_ClrId = 0;
  m_ClrName.clear();
}

int HFormula::SetFrm(const char* text, double nomQ, const char* clrName,
                     int32_t clrId) {
  m_ClrId = 0;
  if (nomQ > 0) m_FrmNomQ = nomQ;
  if (clrName != nullptr) m_ClrName = clrName;
  if (text != nullptr) m_Frm = text;
  if (clrId > 0) m_ClrId = clrId;
  return nomQ > 0 ? 1 : 0;
}

int HFormula::SetFrt(const char* text) {
  if (text != nullptr) m_Frt = text;
  return 1;
}

void HFormula::SetUnit(int mode, double unit, double fraction,
                       double fraction2) {
  if (mode == 0) {
    m_WeightMode = 0;
    m_VlUnit = unit, m_VlFraction = fraction, m_VlFraction2 = fraction2;
  } else if (mode == 1) {
    m_WeightMode = 1;
    m_WgUnit = unit, m_WgFraction = fraction, m_WgFraction2 = fraction2;
  } else {
    ResetUnits();
  }
}

void HFormula::ResetUnits() {
  m_UnitName.clear();
  m_WgUnit = -1.0, m_WgFraction = -1.0, m_WgFraction2 = 1.0;
  m_VlUnit = 1.0, m_VlFraction = 1.0, m_VlFraction2 = 1.0;
  m_WeightMode = 0;
}

int HFormula::UpdateUnits(Wy_Units* units, int flag) const {
  if (units == nullptr || flag != 0) return 0;
  units->m_sName = m_UnitName;
  units->m_bWeightMode = m_WeightMode;
  if (m_WeightMode == 0) {
    units->m_dUnit = m_VlUnit;
    units->m_dFraction = m_VlFraction;
    units->m_dFraction2 = m_VlFraction2;
  } else if (m_WeightMode == 1) {
    units->m_dUnit = m_WgUnit;
    units->m_dFraction = m_WgFraction;
    units->m_dFraction2 = m_WgFraction2;
  } else {
    units->m_dUnit = units->m_dFraction = units->m_dFraction2 = 0.0;
  }
  return 1;
}

int HFormula::UpdateShopData(Wy_ShopData* shop, int flag) {
  if (shop == nullptr) return 0;
  if (flag != 0) {
    std::string s = shop->m_Shop1 + '|' + shop->m_Shop2 + '|' + shop->m_Shop3 +
                    '|' + shop->m_PcId + '|' + std::to_string(shop->m_Nprog) +
                    '|' + shop->m_UserId + '|' + shop->m_UserName;
    if (s.size() > 254) s.resize(254);
    m_Shp = std::move(s);
    return 1;
  }
  shop->Clear();
  std::string* fields[] = {&shop->m_Shop1,   &shop->m_Shop2, &shop->m_Shop3,
                           &shop->m_PcId,    nullptr,        &shop->m_UserId,
                           &shop->m_UserName};
  size_t begin = 0;
  for (int i = 0; i < 7 && begin <= m_Shp.size(); ++i) {
    size_t bar = m_Shp.find('|', begin);
    if (bar == std::string::npos) bar = m_Shp.size();
    std::string item = m_Shp.substr(begin, bar - begin);
    if (fields[i] != nullptr) {
      *fields[i] = std::move(item);
    } else {
      shop->m_Nprog = Wy_ReadId(item.data(), item.size());
    }
    begin = bar + 1;
  }
  return 1;
}

int HFormula::Status() const {
  bool units = m_WeightMode == 1 ? (m_WgUnit != -1.0 && m_WgFraction != -1.0)
                                 : (m_WeightMode == 0 && m_VlUnit != -1.0 &&
                                    m_VlFraction != -1.0);
  double baseFill = m_CanWeight != 0 ? m_Fill_W : m_Fill_Q;
  bool quantities =
      (!m_Frm.empty() && m_FrmNomQ > 0) || (!m_BaseFrm.empty() && baseFill > 0);
  if (!quantities) return m_ClrId <= 0 ? 1 : 0;
  if (!units) return 2;
  if (m_ClrId > 0 || m_CanNomQ > 0) return 3;
  return 4;
}

std::string HFormula::DumpText() const {
  using mixtable_internal::FixedSix;
  std::string s;
  auto line = [&s](const char* name, const std::string& value) {
    s += name;
    s += ": ";
    s += value;
    s += '\n';
  };
  auto num = [](double v) { return FixedSix(v); };
  auto i = [](long long v) { return std::to_string(v); };
  s += "HFormula\n";
  line("NLevels", i(m_NLevels));
  line("SlaveId", i(m_SlaveId));
  line("DataId", i(m_DataId) + " \"" + m_DataIdText + "\"");
  line("WeightMode", i(m_WeightMode));
  line("BaseFrmWeight", i(m_BaseFrmWeight));
  line("UnitName", m_UnitName);
  line("WgUnits",
       num(m_WgUnit) + " " + num(m_WgFraction) + " " + num(m_WgFraction2));
  line("VlUnits",
       num(m_VlUnit) + " " + num(m_VlFraction) + " " + num(m_VlFraction2));
  line("Prd", i(m_PrdId) + " \"" + m_PrdName + "\"");
  line("Spd", i(m_SpdId) + " \"" + m_SpdName + "\"");
  line("Clr", i(m_ClrId) + " \"" + m_ClrName + "\"");
  line("Bas", i(m_BasId) + " \"" + m_BasName + "\"");
  line("Can", i(m_CanId) + " \"" + m_CanName + "\" " + num(m_CanNomQ) + " " +
                  i(m_CanWeight));
  line("FrmCanWeight", i(m_FrmCanWeight));
  line("Frm", m_Frm);
  line("FrmNomQ", num(m_FrmNomQ));
  line("Frt", m_Frt);
  line("Cir", m_Cir);
  line("CntLine", m_CntLine);
  line("CnxLine", m_CnxLine);
  line("BaseFrm",
       i(m_BaseFrmId) + " \"" + m_BaseFrm + "\" " + i(m_BaseDispensable));
  line("BaseLinked", i(m_BaseLinked));
  line("RemoteSource", m_RemoteSource);
  line("Fills", num(m_Fill_Q) + " " + num(m_Fill_W) + " " + num(m_Fill_QC) +
                    " " + num(m_Fill_WC) + " " + num(m_Spec_W));
  std::string rfl;
  for (double v : m_Rfl) rfl += num(v) + " ";
  line("Rfl", rfl);
  line("X10", num(m_X10[0]) + " " + num(m_X10[1]) + " " + num(m_X10[2]));
  line("X02", num(m_X02[0]) + " " + num(m_X02[1]) + " " + num(m_X02[2]));
  line("ShlPos", i(m_ShlPos[0]) + " " + i(m_ShlPos[1]) + " " + i(m_ShlPos[2]));
  line("Pnc", i(m_Pnc));
  line("Log", m_Log);
  line("Shp", m_Shp);
  line("Cnt", m_Cnt);
  line("Cnx", m_Cnx);
  line("Barcode", m_Barcode);
  for (int k = 0; k < m_FrmInfo.GetNum(); ++k)
    line("Inf", i(m_FrmInfo.GetNum(k)) + " \"" + m_FrmInfo.GetLabel(k) +
                    "\" \"" + m_FrmInfo.GetValue(k) + "\"");
  for (int k = 0; k < m_FrmCmInfo.GetNum(); ++k)
    line("Cmi", i(m_FrmCmInfo.GetNum(k)) + " \"" + m_FrmCmInfo.GetLabel(k) +
                    "\" \"" + m_FrmCmInfo.GetValue(k) + "\"");
  for (int k = 0; k < m_NLevels && k < kLevels; ++k)
    line("Lev", i(m_Levels[k].m_Id) + " \"" + m_Levels[k].m_Text + "\"");
  line("Source", i(m_Source));
  line("Lqnt", i(m_Lqnt));
  s += m_Sub.DumpText();
  return s;
}

void HFormula::CDump(FILE* f) const {
  std::string text = DumpText();
  std::fwrite(text.data(), 1, text.size(), f != nullptr ? f : stdout);
}

void HFormula::Dump(Wy_DumpLineFn line, void* user) const {
  mixtable_internal::DumpLines(DumpText(), line, user);
}
