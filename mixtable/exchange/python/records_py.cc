// The plain records of the formula model and the id mask.

#include "bindings.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_base_can.h"
#include "mixtable/wy_mask.h"
#include "mixtable/wy_records.h"
#include "mixtable/wy_substrate.h"
#include "mixtable/wy_units.h"
#include "py_args.h"

namespace bp = boost::python;

namespace mixtable::python {
namespace {

// Manual base: the formula text and weight mode when given (None: kept).
void SetAsManualBase(Wy_Base& b, const bp::object& frm,
                     const bp::object& weight_mode) {
  const TextArg f(frm, "frm");
  int mode = 0;
  if (!weight_mode.is_none()) mode = bp::extract<int>(weight_mode);
  b.SetAsManualBase(f.c_str(), weight_mode.is_none() ? nullptr : &mode);
}

// (ok, quantity, weight).
bp::tuple GetCurrentFillQuantity(const Wy_BaseAndCan& bc) {
  double q = 0, w = 0;
  const int ok = bc.GetCurrentFillQuantity(&q, &w);
  return bp::make_tuple(ok, q, w);
}

// The table set is required (None: TypeError).
int CanSet(Wy_Can& c, int32_t id, CMixtable& t) { return c.Set(id, &t); }
int BaseSet(Wy_Base& b, int32_t id, CMixtable& t) { return b.Set(id, &t); }
int BaseAndCanSet(Wy_BaseAndCan& bc, int32_t base_id, int32_t can_id,
                  CMixtable& t) {
  return bc.Set(base_id, can_id, &t);
}

int FillFromTable(CWymask& m, const bp::object& type, Wdbase& table) {
  return m.Fill(TextArg(type, "type").c_str(), &table);
}
int FillFromSet(CWymask& m, const bp::object& type, CMixtable& tables) {
  return m.Fill(TextArg(type, "type").c_str(), &tables);
}

// (has custom colour, name, 16 values).
bp::tuple GetCustomBackColor(const Wy_Substrate& s) {
  std::string name;
  double refl[Wy_Substrate::kReflectances];
  const bool has = s.GetCustomBackColor(&name, refl);
  return bp::make_tuple(has, Str(name),
                        RealTuple<Wy_Substrate::kReflectances>(refl));
}

bool SetCustomBackColor(Wy_Substrate& s, const bp::object& name,
                        const bp::object& refl) {
  const TextArg n(name, "name");
  const auto v = FixedReals<Wy_Substrate::kReflectances>(refl, "refl");
  return s.SetCustomBackColor(n.c_str(), v.data());
}

}  // namespace

void BindRecords() {
  bp::class_<Wy_Can> can("Wy_Can", "A can a formula is dispensed into.",
                         bp::init<>());
  can.def_readwrite("CanId", &Wy_Can::CanId)
      .def_readwrite("Nom_Q", &Wy_Can::Nom_Q)
      .def_readwrite("H_min", &Wy_Can::H_min)
      .def_readwrite("H_max", &Wy_Can::H_max);
  MIXTABLE_PY_TEXT_MEMBER(can, Wy_Can, CanDescr);
  can.def_readwrite("CanWeight", &Wy_Can::CanWeight)
      .def("Set", &CanSet, (bp::arg("id"), bp::arg("tables")),
           "Set(id, tables): loads can id from CANS; 1, or 0 unchanged.")
      .def("Clear", &Wy_Can::Clear);

  bp::class_<Wy_Base> base("Wy_Base", "A base a formula is dispensed in.",
                           bp::init<>());
  base.def_readwrite("BasId", &Wy_Base::BasId);
  MIXTABLE_PY_TEXT_MEMBER(base, Wy_Base, BaseCode);
  MIXTABLE_PY_TEXT_MEMBER(base, Wy_Base, BaseDescr);
  base.def_readwrite("Spec_W", &Wy_Base::Spec_W)
      .def_readwrite("Fill_Q", &Wy_Base::Fill_Q)
      .def_readwrite("Fill_W", &Wy_Base::Fill_W)
      .def_readwrite("Fill_QC", &Wy_Base::Fill_QC)
      .def_readwrite("Fill_WC", &Wy_Base::Fill_WC)
      .def_readwrite("BaseWeightMode", &Wy_Base::BaseWeightMode)
      .def_readwrite("BaseFrmId", &Wy_Base::BaseFrmId);
  MIXTABLE_PY_TEXT_MEMBER(base, Wy_Base, BaseFrm);
  base.def_readwrite("BaseIsDispensable", &Wy_Base::BaseIsDispensable)
      .def("SetAsManualBase", &SetAsManualBase,
           (bp::arg("frm") = bp::object(),
            bp::arg("weight_mode") = bp::object()),
           "SetAsManualBase(frm=None, weight_mode=None): a manual base.")
      .def("Set", &BaseSet, (bp::arg("id"), bp::arg("tables")),
           "Set(id, tables): loads base id from BASES; 1, or 0 unchanged.")
      .def("Clear", &Wy_Base::Clear);

  bp::class_<Wy_BaseAndCan, bp::bases<Wy_Base, Wy_Can>>(
      "Wy_BaseAndCan", "A base followed by a can.", bp::init<>())
      .def("Clear", &Wy_BaseAndCan::Clear)
      .def("HasCustomQuantities", &Wy_BaseAndCan::HasCustomQuantities)
      .def("GetCurrentFillQuantity", &GetCurrentFillQuantity,
           "GetCurrentFillQuantity() -> (ok, quantity, weight)")
      .def("Set", &BaseAndCanSet,
           (bp::arg("base_id"), bp::arg("can_id"), bp::arg("tables")),
           "Set(base_id, can_id, tables): loads the can, then the base.");

  bp::class_<Wy_Units> units("Wy_Units", "The units of a formula's quantities.",
                             bp::init<>());
  MIXTABLE_PY_TEXT_MEMBER(units, Wy_Units, m_sName);
  units.def_readwrite("m_dUnit", &Wy_Units::m_dUnit)
      .def_readwrite("m_dFraction", &Wy_Units::m_dFraction)
      .def_readwrite("m_dFraction2", &Wy_Units::m_dFraction2)
      .def_readwrite("m_bWeightMode", &Wy_Units::m_bWeightMode)
      .def("Clear", &Wy_Units::Clear);

  bp::class_<CWymask>("CWymask", "The ids a sub-product allows for one kind.",
                      bp::init<>())
      .def("Fill", &FillFromTable, (bp::arg("type"), bp::arg("table")),
           "Fill(type, table): the ids of an open MASK table (a Wdbase).")
      .def("Fill", &FillFromSet, (bp::arg("type"), bp::arg("tables")),
           "Fill(type, tables): the ids of the table set's MASK.")
      .def("SetNullFlag", &CWymask::SetNullFlag, (bp::arg("flag")))
      .def("GetNullFlag", &CWymask::GetNullFlag)
      .def("GetLen", &CWymask::GetLen)
      .def("Inspect", &CWymask::Inspect, (bp::arg("id")))
      .def("Clear", &CWymask::Clear);

  bp::class_<Wy_Substrate>(
      "Wy_Substrate", "A substrate with an optional back colour.", bp::init<>())
      .def("GetID", &Wy_Substrate::GetID)
      .def("SetID", &Wy_Substrate::SetID, (bp::arg("id")))
      .def("HasCustomColor", &Wy_Substrate::HasCustomColor)
      .def("GetCustomBackColor", &GetCustomBackColor,
           "GetCustomBackColor() -> (has colour, name, 16 values)")
      .def("SetCustomBackColor", &SetCustomBackColor,
           (bp::arg("name"), bp::arg("refl")),
           "SetCustomBackColor(name, refl): refl holds exactly 16 values.")
      .def("ResetCustomBackColor", &Wy_Substrate::ResetCustomBackColor)
      .def("Clear", &Wy_Substrate::Clear);

  bp::class_<Wy_ShopData> shop(
      "Wy_ShopData", "The shop, user and customer of a formula.", bp::init<>());
  MIXTABLE_PY_TEXT_MEMBER(shop, Wy_ShopData, m_Shop1);
  MIXTABLE_PY_TEXT_MEMBER(shop, Wy_ShopData, m_Shop2);
  MIXTABLE_PY_TEXT_MEMBER(shop, Wy_ShopData, m_Shop3);
  MIXTABLE_PY_TEXT_MEMBER(shop, Wy_ShopData, m_UserId);
  MIXTABLE_PY_TEXT_MEMBER(shop, Wy_ShopData, m_UserName);
  MIXTABLE_PY_TEXT_MEMBER(shop, Wy_ShopData, m_PcId);
  shop.def_readwrite("m_Nprog", &Wy_ShopData::m_Nprog);
  MIXTABLE_PY_TEXT_MEMBER(shop, Wy_ShopData, m_CustomKey1);
  MIXTABLE_PY_TEXT_MEMBER(shop, Wy_ShopData, m_CustomKey2);
  MIXTABLE_PY_TEXT_MEMBER(shop, Wy_ShopData, m_CustomKey3);
  MIXTABLE_PY_TEXT_MEMBER(shop, Wy_ShopData, m_CustomComment);
  shop.def("Clear", &Wy_ShopData::Clear);
}

}  // namespace mixtable::python
