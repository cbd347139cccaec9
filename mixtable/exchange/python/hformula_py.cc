// The formula (HFormula) and the clients' formula class (Wy_Formula).

#include "bindings.h"
#include "mixtable/hformula.h"
#include "mixtable/hformula_history.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_formula.h"
#include "py_args.h"

namespace bp = boost::python;

namespace mixtable::python {
namespace {

using Rfl = std::array<double, HFormula::kRfl>;

// (id, text) of the id getters.
bp::tuple GetDataId(const HFormula& f) {
  std::string text;
  const uint32_t id = f.GetDataId(&text);
  return bp::make_tuple(id, Str(text));
}
bp::tuple GetPrd(const HFormula& f) {
  std::string name;
  const int32_t id = f.GetPrd(&name);
  return bp::make_tuple(id, Str(name));
}
bp::tuple GetSpd(const HFormula& f) {
  std::string name;
  const int32_t id = f.GetSpd(&name);
  return bp::make_tuple(id, Str(name));
}
bp::tuple GetClr(const HFormula& f) {
  std::string name;
  const int32_t id = f.GetClr(&name);
  return bp::make_tuple(id, Str(name));
}

void SetDataIdById(HFormula& f, uint32_t id, const bp::object& text) {
  f.SetDataId(id, TextArg(text, "text").c_str());
}
int SetDataIdBySet(HFormula& f, CMixtable& t, const bp::object& text) {
  return f.SetDataId(&t, TextArg(text, "text").c_str());
}

int SetPrdBySet(HFormula& f, CMixtable& t, int32_t prd, int32_t spd) {
  return f.SetPrd(&t, prd, spd);
}
int SetPrdByName(HFormula& f, const bp::object& name,
                 const bp::object& spd_name, int32_t prd, int32_t spd) {
  const TextArg n(name, "name");
  const TextArg s(spd_name, "spd_name");
  return f.SetPrd(n.c_str(), s.c_str(), prd, spd);
}

int32_t GetSubId(const HFormula& f) { return f.GetSub(); }
void GetSubInto(const HFormula& f, Wy_Substrate& sub) { f.GetSub(sub); }
void SetSubId(HFormula& f, int32_t id) { f.SetSub(id); }
void SetSubFrom(HFormula& f, const Wy_Substrate& sub) { f.SetSub(sub); }

// The table set may be None: the colour is then set without tables.
int SetClr(HFormula& f, CMixtable* t, int32_t id) { return f.SetClr(t, id); }

bp::tuple ClrTok(const HFormula& f) {
  std::string k1, k2, k3, comment;
  const int r = f.ClrTok(&k1, &k2, &k3, &comment);
  return bp::make_tuple(r, Str(k1), Str(k2), Str(k3), Str(comment));
}
bp::object GetCnt(const HFormula& f) {
  std::string line;
  f.GetCnt(line);
  return Str(line);
}
bp::object GetCnx(const HFormula& f) {
  std::string line;
  f.GetCnx(line);
  return Str(line);
}
bp::tuple GetLog(const HFormula& f) {
  std::string text;
  const int r = f.GetLog(&text);
  return bp::make_tuple(r, Str(text));
}
int GetPnc(const HFormula& f) {
  int pnc = 0;
  f.GetPnc(&pnc);
  return pnc;
}
bp::tuple GetShlPos(const HFormula& f) {
  int pos[3] = {};
  f.GetShlPos(pos);
  return bp::make_tuple(pos[0], pos[1], pos[2]);
}

int SetFrm(HFormula& f, const bp::object& text, double nom_q,
           const bp::object& clr_name, int32_t clr_id) {
  const TextArg t(text, "text");
  const TextArg n(clr_name, "clr_name");
  return f.SetFrm(t.c_str(), nom_q, n.c_str(), clr_id);
}
int SetCanBySet(HFormula& f, CMixtable& t, int32_t can_id) {
  return f.SetCan(&t, can_id);
}
int SetCanByName(HFormula& f, const bp::object& name, double nom_q,
                 int weight) {
  return f.SetCan(TextArg(name, "name").c_str(), nom_q, weight);
}
int UpdateUnits(const HFormula& f, Wy_Units& units, int flag) {
  return f.UpdateUnits(&units, flag);
}
int UpdateShopData(HFormula& f, Wy_ShopData& shop, int flag) {
  return f.UpdateShopData(&shop, flag);
}

// Sources are the enumeration's values and 8 (valid, unnamed): anything in
// the enumeration's range 0..15 is stored as it is.
void SetFormulaSource(HFormula& f, const bp::object& source) {
  const long long v = xbase32::python::IntArg(source, "source");
  if (v < 0 || v > 15) {
    Raise(PyExc_OverflowError,
          "source must lie in 0..15, not " + std::to_string(v));
  }
  f.SetFormulaSource(static_cast<HF_DATASOURCE_TYPE>(v));
}
bp::object GetRemoteSource(const HFormula& f) {
  return Str(f.GetRemoteSource());
}
void SetRemoteSource(HFormula& f, const bp::object& text) {
  f.SetRemoteSource(TextArg(text, "text").c_str());
}

// (1, (x, y, z), 16 values).
bp::tuple GetX02(const HFormula& f) {
  double xyz[3], rfl[HFormula::kRfl];
  const int r = f.GetX02(xyz, rfl);
  return bp::make_tuple(r, RealTuple<3>(xyz), RealTuple<HFormula::kRfl>(rfl));
}
bp::tuple GetX10(const HFormula& f) {
  double xyz[3], rfl[HFormula::kRfl];
  const int r = f.GetX10(xyz, rfl);
  return bp::make_tuple(r, RealTuple<3>(xyz), RealTuple<HFormula::kRfl>(rfl));
}
void SetX02(HFormula& f, const bp::object& xyz, const bp::object& rfl) {
  const auto c = FixedReals<3>(xyz, "xyz");
  const Rfl r = FixedReals<HFormula::kRfl>(rfl, "rfl");
  f.SetX02(c.data(), r.data());
}
void SetX10(HFormula& f, const bp::object& xyz, const bp::object& rfl) {
  const auto c = FixedReals<3>(xyz, "xyz");
  const Rfl r = FixedReals<HFormula::kRfl>(rfl, "rfl");
  f.SetX10(c.data(), r.data());
}

int ReadPy(HFormula& f, const bp::object& path) {
  return f.Py_Read(RequiredText(path, "path").c_str());
}
int WritePy(HFormula& f, const bp::object& path, const bp::object& cnt) {
  const TextArg c(cnt, "cnt_text");
  return f.Py_Write(RequiredText(path, "path").c_str(), c.c_str());
}
int Frieze(HFormula& f, CMixtable& t) { return f.Frieze(&t); }
int Defrieze(HFormula& f, CMixtable& t) { return f.Defrieze(&t); }
int StatusEx(const HFormula& f, int kind, CMixtable* t) {
  return f.StatusEx(kind, t);
}

// --- Wy_Formula -------------------------------------------------------------

bp::tuple GetYFrm(const Wy_Formula& f, Wy_Frm& frm) {
  std::string name;
  const int r = f.GetYFrm(frm, &name);
  return bp::make_tuple(r, Str(name));
}
int SetYFrm(Wy_Formula& f, const Wy_Frm& frm, const bp::object& name,
            int32_t clr_id) {
  return f.SetYFrm(frm, TextArg(name, "colour_name").c_str(), clr_id);
}
// (result, base text, quantity, weight).
bp::tuple GetBaseYFrm(const Wy_Formula& f, Wy_Frm& frm) {
  yformula text;
  double q = 0, w = 0;
  const int r = f.GetBaseYFrm(frm, &text, &q, &w);
  return bp::make_tuple(r, text, q, w);
}

int SaveInArchive(Wy_Formula& f, CMixtable& t, int32_t recno) {
  return hformula_SaveInArchive(&f, &t, recno);
}

}  // namespace

void BindFormulas() {
  bp::class_<HFormula>("HFormula",
                       "Everything known about one formula to be dispensed.",
                       bp::init<>())
      .def("Empty", &HFormula::Empty)
      .def("StatusEx", &StatusEx,
           (bp::arg("kind"), bp::arg("tables") = bp::object()),
           "StatusEx(kind, tables=None): bits of what the formula lacks.")
      .def("GetDataId", &GetDataId, "GetDataId() -> (id, text)")
      .def("SetDataId", &SetDataIdById, (bp::arg("id"), bp::arg("text")))
      .def("SetDataId", &SetDataIdBySet, (bp::arg("tables"), bp::arg("text")),
           "SetDataId(id, text) or SetDataId(tables, text)")
      .def("GetPrd", &GetPrd, "GetPrd() -> (id, name)")
      .def("SetPrd", &SetPrdBySet,
           (bp::arg("tables"), bp::arg("prd_id"), bp::arg("spd_id")))
      .def("SetPrd", &SetPrdByName,
           (bp::arg("name"), bp::arg("spd_name"), bp::arg("prd_id"),
            bp::arg("spd_id")),
           "SetPrd(tables, prd_id, spd_id) or "
           "SetPrd(name, spd_name, prd_id, spd_id)")
      .def("GetSub", &GetSubId)
      .def("GetSub", &GetSubInto, (bp::arg("sub")),
           "GetSub() -> id, or GetSub(sub) filling a Wy_Substrate")
      .def("SetSub", &SetSubId, (bp::arg("id")))
      .def("SetSub", &SetSubFrom, (bp::arg("sub")), "SetSub(id) or SetSub(sub)")
      .def("GetSpd", &GetSpd, "GetSpd() -> (id, name)")
      .def("GetClr", &GetClr, "GetClr() -> (id, name)")
      .def("SetClr", &SetClr, (bp::arg("tables"), bp::arg("clr_id")),
           "SetClr(tables or None, clr_id)")
      .def("SetEmptyClr", &HFormula::SetEmptyClr)
      .def("ClrTok", &ClrTok, "ClrTok() -> (1, key1, key2, key3, comment)")
      .def("GetCnt", &GetCnt)
      .def("GetCnx", &GetCnx)
      .def("GetLog", &GetLog, "GetLog() -> (result, text)")
      .def("GetPnc", &GetPnc)
      .def("GetShlPos", &GetShlPos, "GetShlPos() -> (pos1, pos2, pos3)")
      .def("GetLqnt", &HFormula::GetLqnt)
      .def("SetFrm", &SetFrm,
           (bp::arg("text"), bp::arg("nom_q"), bp::arg("clr_name"),
            bp::arg("clr_id")))
      .def("SetCan", &SetCanBySet, (bp::arg("tables"), bp::arg("can_id")))
      .def("SetCan", &SetCanByName,
           (bp::arg("name"), bp::arg("nom_q"), bp::arg("weight")),
           "SetCan(tables, can_id) or SetCan(name, nom_q, weight)")
      .def("SetUnit", &HFormula::SetUnit,
           (bp::arg("mode"), bp::arg("unit"), bp::arg("fraction"),
            bp::arg("fraction2")))
      .def("UpdateUnits", &UpdateUnits, (bp::arg("units"), bp::arg("flag")))
      .def("UpdateShopData", &UpdateShopData,
           (bp::arg("shop"), bp::arg("flag")))
      .def("GetFormulaSource", &HFormula::GetFormulaSource)
      .def("SetFormulaSource", &SetFormulaSource, (bp::arg("source")))
      .def("GetRemoteSource", &GetRemoteSource)
      .def("SetRemoteSource", &SetRemoteSource, (bp::arg("text")))
      .def("GeBaseLinkedFlag", &HFormula::GeBaseLinkedFlag)
      .def("SetBaseLinkedFlag", &HFormula::SetBaseLinkedFlag, (bp::arg("flag")))
      .def("GetX02", &GetX02, "GetX02() -> (1, (x, y, z), 16 values)")
      .def("SetX02", &SetX02, (bp::arg("xyz"), bp::arg("rfl")),
           "SetX02(xyz, rfl): exactly 3 and 16 values")
      .def("GetX10", &GetX10, "GetX10() -> (1, (x, y, z), 16 values)")
      .def("SetX10", &SetX10, (bp::arg("xyz"), bp::arg("rfl")),
           "SetX10(xyz, rfl): exactly 3 and 16 values")
      .def("ReadPy", &ReadPy, (bp::arg("path")),
           "ReadPy(path): reads a formula text file and resolves it.")
      .def("WritePy", &WritePy,
           (bp::arg("path"), bp::arg("cnt_text") = bp::object()),
           "WritePy(path, cnt_text=None): writes the formula text file.")
      .def("Frieze", &Frieze, (bp::arg("tables")))
      .def("Defrieze", &Defrieze, (bp::arg("tables")));

  bp::class_<Wy_Formula, bp::bases<HFormula>>(
      "Wy_Formula", "The clients' formula: exchange with the plain records.",
      bp::init<>())
      .def("SetYBas", &Wy_Formula::SetYBas, (bp::arg("base")))
      .def("SetYCan", &Wy_Formula::SetYCan, (bp::arg("can")))
      .def("SetBaseAndCan", &Wy_Formula::SetBaseAndCan, (bp::arg("bc")))
      .def("GetBaseAndCan", &Wy_Formula::GetBaseAndCan, (bp::arg("bc")),
           "GetBaseAndCan(bc): fills a Wy_BaseAndCan.")
      .def("SetYFrm", &SetYFrm,
           (bp::arg("frm"), bp::arg("colour_name"), bp::arg("clr_id")))
      .def("GetYFrm", &GetYFrm, (bp::arg("frm")),
           "GetYFrm(frm) -> (1, colour name), frm filled.")
      .def("GetBaseYFrm", &GetBaseYFrm, (bp::arg("frm")),
           "GetBaseYFrm(frm) -> (result, base text, quantity, weight), frm "
           "filled.")
      .def("GetResizedFrm", &Wy_Formula::GetResizedFrm, (bp::arg("frm")))
      .def("GetResizedCnx", &Wy_Formula::GetResizedCnx, (bp::arg("frm")))
      .def("SaveInArchive", &SaveInArchive,
           (bp::arg("tables"), bp::arg("recno") = 0),
           "SaveInArchive(tables, recno=0): hformula_SaveInArchive(self, "
           "tables, recno).");
}

}  // namespace mixtable::python
