// The enumerations, the module functions and the additions after them.

#include "bindings.h"
#include "mixtable/formula_types.h"
#include "mixtable/hformula_history.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_formula.h"
#include "mixtable/wy_frm.h"
#include "mixtable/wy_records.h"
#include "mixtable/ytable.h"
#include "py_args.h"

namespace bp = boost::python;

namespace mixtable::python {
namespace {

// (1, local directory).
bp::tuple LocalPath() {
  std::string path;
  const int r = Wy_LocalPath(path);
  return bp::make_tuple(r, Str(path));
}

int SaveInArchive(Wy_Formula& f, CMixtable& t, int32_t recno) {
  return hformula_SaveInArchive(&f, &t, recno);
}

// The record a script passed, or `empty` for None (an empty record of the
// module's own, whatever the library would do with null); TypeError for
// anything else.
template <class T>
const T* RecordOr(const bp::object& value, const T& empty, const char* what) {
  if (value.is_none()) return &empty;
  bp::extract<const T&> record(value);
  if (!record.check()) {
    Raise(PyExc_TypeError, std::string(what) +
                               " must be a record or None, not " +
                               Py_TYPE(value.ptr())->tp_name);
  }
  return &record();
}

int SaveInHistory(Wy_Formula& f, const bp::object& shop,
                  const bp::object& dispenser) {
  const Wy_ShopData no_shop;
  const Wy_DispenserData no_dispenser;
  return hformula_SaveInHistory(&f, RecordOr(shop, no_shop, "shop"),
                                RecordOr(dispenser, no_dispenser, "dispenser"));
}

int CheckUpdateHistory(bool widen, const bp::object& dir, uint32_t data_id,
                       int create) {
  return hformula_CheckUpdateHistory(widen, TextArg(dir, "dir").c_str(),
                                     data_id, create);
}

// The table set may be None: a private one is used.
int CheckUpdateArchive(CMixtable* t, bool widen, uint32_t data_id, int create) {
  return hformula_CheckUpdateArchive(t, widen, data_id, create);
}

}  // namespace

void BindEnumsAndFunctions() {
  bp::enum_<WYSPEC>("WYSPEC")
      .value("Y_PRODUCTS", Y_PRODUCTS)
      .value("Y_SUBPRODS", Y_SUBPRODS)
      .value("Y_CNTS", Y_CNTS)
      .value("Y_BASES", Y_BASES)
      .value("Y_CNT_BLND", Y_CNT_BLND)
      .value("Y_CNT_KS", Y_CNT_KS)
      .value("Y_BAS_BLND", Y_BAS_BLND)
      .value("Y_BAS_KS", Y_BAS_KS)
      .value("Y_CANS", Y_CANS)
      .value("Y_CNT_HUE", Y_CNT_HUE)
      .value("Y_BAS_HUE", Y_BAS_HUE)
      .value("Y_FRM", Y_FRM)
      .value("Y_FRM_REFL", Y_FRM_REFL)
      .value("Y_CUS", Y_CUS)
      .value("Y_MASK", Y_MASK)
      .value("Y_CYLINDER", Y_CYLINDER)
      .value("Y_APPROACH", Y_APPROACH)
      .value("Y_UCOAT", Y_UCOAT)
      .value("Y_SPECPROC", Y_SPECPROC)
      .value("Y_ARCHIVE", Y_ARCHIVE)
      .value("Y_LABEL", Y_LABEL)
      .value("Y_PARAM", Y_PARAM)
      .value("Y_RULER", Y_RULER)
      .value("Y_SINGLE_KS", Y_SINGLE_KS)
      .value("Y_THICKNESS", Y_THICKNESS)
      .value("Y_SUBSTRATE", Y_SUBSTRATE)
      .value("Y_BASESFRM", Y_BASESFRM)
      .value("Y_CNT_FF", Y_CNT_FF)
      .value("Y_BAS_FF", Y_BAS_FF)
      .value("Y_FRMCODES", Y_FRMCODES)
      .value("Y_SINGLE_BLND", Y_SINGLE_BLND)
      .value("Y_TBLCODE", Y_TBLCODE)
      .value("Y_NCSCORR", Y_NCSCORR)
      .value("Y_FRM_HISTORY", Y_FRM_HISTORY)
      .value("Y_COLORKEY", Y_COLORKEY)
      .value("Y_CLRPRDS", Y_CLRPRDS)
      .value("Y_N_MAX", Y_N_MAX)
      .export_values();

  bp::enum_<HF_DATASOURCE_TYPE>("HF_DATASOURCE_TYPE")
      .value("HF_SOURCE_STANDARD", HF_SOURCE_STANDARD)
      .value("HF_SOURCE_CUSTOM", HF_SOURCE_CUSTOM)
      .value("HF_SOURCE_MANUAL", HF_SOURCE_MANUAL)
      .value("HF_SOURCE_COLOUR_MATCHING", HF_SOURCE_COLOUR_MATCHING)
      .value("HF_SOURCE_REMOTE", HF_SOURCE_REMOTE)
      .value("HF_SOURCE_REMOTEFIXED", HF_SOURCE_REMOTEFIXED)
      .value("HF_SOURCE_CORRECTION_OLD_CAN", HF_SOURCE_CORRECTION_OLD_CAN)
      .value("HF_SOURCE_CORRECTION_NEW_CAN", HF_SOURCE_CORRECTION_NEW_CAN)
      .value("HF_SOURCE_LAST", HF_SOURCE_LAST)
      .export_values();

  bp::def("Wy_LocalPath", &LocalPath,
          "Wy_LocalPath() -> (1, the machine's local directory)");
  bp::def("hformula_SaveInArchive", &SaveInArchive,
          (bp::arg("formula"), bp::arg("tables"), bp::arg("recno") = 0),
          "hformula_SaveInArchive(formula, tables, recno=0): appends the "
          "formula to the archive (replacing record recno when > 0).");
  bp::def("hformula_SaveInHistory", &SaveInHistory,
          (bp::arg("formula"), bp::arg("shop") = bp::object(),
           bp::arg("dispenser") = bp::object()),
          "hformula_SaveInHistory(formula, shop=None, dispenser=None): "
          "appends the formula to the history and the XML history files.");
}

void BindAdditions() {
  bp::class_<Wy_DispenserData> disp("Wy_DispenserData",
                                    "The dispenser a formula is dispensed on.",
                                    bp::init<>());
  MIXTABLE_PY_TEXT_MEMBER(disp, Wy_DispenserData, m_DispenserDescr);
  disp.def_readwrite("m_DispenserId", &Wy_DispenserData::m_DispenserId)
      .def("Clear", &Wy_DispenserData::Clear);

  // Wy_Frm.m_Frm: the vector's own yformula (a reference into it).
  bp::object frm_class = bp::scope().attr("Wy_Frm");
  bp::object property = bp::import("builtins").attr("property");
  bp::setattr(frm_class, "m_Frm",
              property(bp::make_getter(&Wy_Frm::m_Frm,
                                       bp::return_internal_reference<>()),
                       bp::make_setter(&Wy_Frm::m_Frm)));
  bp::def(
      "hformula_CheckUpdateHistory", &CheckUpdateHistory,
      (bp::arg("widen"), bp::arg("dir"), bp::arg("data_id"), bp::arg("create")),
      "hformula_CheckUpdateHistory(widen, dir or None, data_id, create)");
  bp::def("hformula_CheckUpdateArchive", &CheckUpdateArchive,
          (bp::arg("tables"), bp::arg("widen"), bp::arg("data_id"),
           bp::arg("create")),
          "hformula_CheckUpdateArchive(tables or None, widen, data_id, "
          "create)");
}

}  // namespace mixtable::python
