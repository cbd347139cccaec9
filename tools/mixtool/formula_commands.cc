// mixtool frm, mask, colorkeys and cans.

#include "formula_commands.h"

#include <cctype>
#include <cstdlib>
#include <string>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_base_can.h"
#include "mixtable/wy_frm.h"
#include "mixtable/wy_mask.h"

namespace mixtool {

namespace {

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

void SetDataSet(CMixtableEx& ts, const std::string& dir) {
  if (AllDigits(dir))
    ts.Mixtable().SetDataId(
        static_cast<uint32_t>(std::strtoul(dir.c_str(), nullptr, 10)));
  else
    ts.SetDataDir(dir.c_str());
}

// Opens PRODUCTS on prd and SUBPRODS on spd.
bool Position(CMixtableEx& ts, int32_t prd, int32_t spd, std::ostream& err) {
  Wdbase* p = ts.Handle(Y_PRODUCTS);
  Wdbase* s = ts.Handle(Y_SUBPRODS);
  if (!ts.Open(p) || !ts.Select(p, prd)) {
    err << "mixtool: no product " << prd << " in " << ts.GetDataDir() << "\n";
    return false;
  }
  if (!ts.Open(s) || !ts.Select(s, spd)) {
    err << "mixtool: no sub-product " << spd << " in product " << prd << "\n";
    return false;
  }
  return true;
}

std::string Trimmed(Wdbase* db, const char* field) {
  const char* t = db->FieldNo(field) > 0 ? db->Read(field, 1, 1) : nullptr;
  return t ? t : "";
}

}  // namespace

int Frm(const std::string& dir, int32_t prd, int32_t spd, int32_t id,
        std::ostream& out, std::ostream& err) {
  CMixtableEx ts;
  SetDataSet(ts, dir);
  if (!Position(ts, prd, spd, err)) return 1;
  Wdbase* frm = ts.Handle(Y_FRM);
  if (!ts.Open(frm) || !ts.Select(frm, id)) {
    err << "mixtool: no formula " << id << "\n";
    return 1;
  }
  out << "table    " << frm->GetPath() << frm->GetName(0) << "\n";
  out << "stored   " << Trimmed(frm, "FORMULA") << "\n";
  Wy_Frm f;
  if (!f.read(&ts.Mixtable(), Y_FRM)) {
    err << "mixtool: formula " << id << " cannot be read\n";
    return 1;
  }
  out << "read     " << f.m_Frm.get()
      << (ts.Handle(Y_RULER)->IsOpen(0) ? "  (after the ruler)" : "") << "\n";
  const Wy_Units& u = f.GetUnits();
  out << "units    " << u.m_sName << " unit " << u.m_dUnit << " fraction "
      << u.m_dFraction << " fraction2 " << u.m_dFraction2 << " "
      << (u.m_bWeightMode ? "weight" : "volume") << "\n";
  out << "can      " << (f.m_CanWeight0 ? "by weight" : "by volume")
      << " nominal " << f.m_Nom_Q0 << "\n";
  return 0;
}

int Mask(const std::string& dir, int32_t prd, int32_t spd,
         const std::string& type, std::ostream& out, std::ostream& err) {
  // The mask's kinds, matched as the library does: the first two
  // characters, any case.
  std::string kind = type.substr(0, 2);
  for (char& c : kind)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (kind != "BA" && kind != "CO" && kind != "CA") {
    err << "mixtool: unknown mask type \"" << type << "\" (BA, CO or CA)\n";
    return 1;
  }
  CMixtableEx ts;
  SetDataSet(ts, dir);
  if (!Position(ts, prd, spd, err)) return 1;
  CWymask m;
  m.Fill(type.c_str(), &ts.Mixtable());
  if (m.GetLen() == 0) {
    out << "every id\n";
    return 0;
  }
  for (int i = 0; i < m.GetLen(); ++i) out << (i ? " " : "") << m[i];
  out << "\n";
  return 0;
}

int ColorKeys(const std::string& dir, std::ostream& out, std::ostream& err) {
  CMixtableEx ts;
  SetDataSet(ts, dir);
  if (!ts.Mixtable().CreateColorKeyDb()) {
    err << "mixtool: the colour keys of " << ts.GetDataDir()
        << " cannot be rebuilt\n";
    return 1;
  }
  for (int table : {Y_COLORKEY, Y_CLRPRDS}) {
    Wdbase* db = ts.Handle(table);
    ts.Open(db);
    out << WyGetFileInfo(table)->def.name << " " << db->RecCount()
        << " records\n";
    ts.CloseAll();
  }
  return 0;
}

int Cans(const std::string& dir, std::ostream& out, std::ostream& err) {
  CMixtableEx ts;
  SetDataSet(ts, dir);
  CMixtable& m = ts.Mixtable();
  Wdbase* cans = ts.Handle(Y_CANS);
  if (!ts.Open(cans)) {
    err << "mixtool: no CANS in " << ts.GetDataDir() << "\n";
    return 1;
  }
  std::vector<int32_t> ids;
  for (int ok = cans->Top(); ok && !cans->Eof(); ok = cans->Next())
    ids.push_back(cans->ReadLong("ID"));
  ts.CloseAll();
  // One opening of CANS for all the lookups of the list.
  CMixtable::TmpHold hold(&m);
  for (int32_t id : ids) {
    Wy_Can can;
    can.Set(id, &m);
    out << "can " << id << " size " << m.CanSize(id) << " exact "
        << m.DblCanSize(id) << (can.CanWeight ? " by weight" : " by volume")
        << " h " << can.H_min << ".." << can.H_max << "  " << can.CanDescr
        << "\n";
  }
  double unit = 0, fraction = 0, fraction2 = 0;
  int wm = 0;
  std::string name, html;
  m.UnitAndFraction(&unit, &fraction, &fraction2, &wm, &name);
  const int html_set = m.GetHtmlDir(html);
  out << "single product " << m.SingleProduct() << "\n";
  out << "units " << name << " unit " << unit << " fraction " << fraction
      << " fraction2 " << fraction2 << " " << (wm ? "weight" : "volume")
      << "\n";
  out << "html " << html << (html_set ? "" : " (default)") << "\n";
  return 0;
}

}  // namespace mixtool
