// The table set (CMixtable) and the extended table set (CMixtableEx).
//
// Handle lends the slot's Wdbase as an object of XBASE32's class "Wdbase";
// the object keeps its table set alive (the set is its custodian), so a
// script holding only a handle never reaches freed memory: the set closes
// its tables when the last of them goes. Table sets cannot be copied from
// scripts. Methods taking a table accept any XBASE32.Wdbase: one that is not
// a slot of this set is refused by the library (0).

#include "bindings.h"
#include "mixtable/mixtable.h"
#include "mixtable/mixtable_ex.h"
#include "py_args.h"

namespace bp = boost::python;

namespace mixtable::python {
namespace {

// A CMixtableEx stands for its contained table set wherever a CMixtable is
// taken (the library's CMixtableEx forwards to it the same way).
void* MixtableOfEx(PyObject* o) {
  void* p = bp::converter::get_lvalue_from_python(
      o, bp::converter::registered<CMixtableEx>::converters);
  return p == nullptr ? nullptr : &static_cast<CMixtableEx*>(p)->Mixtable();
}

bp::object GetDataDir(const CMixtable& t) { return Str(t.GetDataDir()); }

bp::tuple GetHtmlDir(CMixtable& t) {
  std::string dir;
  const int r = t.GetHtmlDir(dir);
  return bp::make_tuple(r, Str(dir));
}

int Open(CMixtable& t, Wdbase& db) { return t.Open(&db); }
void CloseAllLevels(CMixtable& t, uint8_t levels) { t.CloseAll(levels); }
void CloseAll(CMixtable& t) { t.CloseAll(); }

bp::tuple TmpOpen(CMixtable& t, Wdbase& db) {
  uint32_t state = 0;
  const int r = t.TmpOpen(&db, &state);
  return bp::make_tuple(r, state);
}
int TmpClose(CMixtable& t, Wdbase& db, uint32_t state) {
  return t.TmpClose(&db, &state);
}
int Select(CMixtable& t, Wdbase& db, int32_t id) { return t.Select(&db, id); }
int First(CMixtable& t, Wdbase& db) { return t.First(&db); }
int Next(CMixtable& t, Wdbase& db) { return t.Next(&db); }
int32_t GetNextFreeId(CMixtable& t, Wdbase& db) { return t.GetNextFreeId(&db); }
int GetCurLevel(const CMixtable& t, const Wdbase& db) {
  return t.GetCurLevel(&db);
}
int GetLevelMask(const CMixtable& t, const Wdbase& db) {
  return t.GetLevelMask(&db);
}

// (result, unit, fraction, fraction2, weight mode, unit name).
bp::tuple UnitAndFraction(CMixtable& t) {
  double unit = 0, fraction = 0, fraction2 = 0;
  int weight_mode = 0;
  std::string name;
  const int r =
      t.UnitAndFraction(&unit, &fraction, &fraction2, &weight_mode, &name);
  return bp::make_tuple(r, unit, fraction, fraction2, weight_mode, Str(name));
}

void SetDataDir(CMixtableEx& t, const bp::object& dir) {
  t.SetDataDir(RequiredText(dir, "dir").c_str());
}
int GetTableLevel(CMixtableEx& t) { return t.GetTableLevel(); }
bp::object GetGdataDescr(CMixtableEx& t) { return Str(t.GetGdataDescr()); }
// (ok, product id, sub-product id).
bp::tuple GetLevelIDs(CMixtableEx& t) {
  int32_t prd = 0, spd = 0;
  const bool ok = t.GetLevelIDs(prd, spd);
  return bp::make_tuple(ok, prd, spd);
}
bool AlignTableToDir(CMixtableEx& t, const bp::object& dir, int32_t prd,
                     int32_t spd) {
  return t.AlignTable(RequiredText(dir, "dir").c_str(), prd, spd);
}
bool AlignTableToSet(CMixtableEx& t, CMixtable& other) {
  return t.AlignTable(other);
}

}  // namespace

void BindTables() {
  bp::class_<CMixtable, boost::noncopyable>(
      "CMixtable",
      "The table set of one data set: 36 tables, one per WYSPEC value.",
      bp::init<>())
      .def("SetDataId", &CMixtable::SetDataId, (bp::arg("id")))
      .def("GetDataId", &CMixtable::GetDataId)
      .def("GetDataDir", &GetDataDir)
      .def("GetHtmlDir", &GetHtmlDir, "GetHtmlDir() -> (result, directory)")
      .def("SetYtoGCSpaces", &CMixtable::SetYtoGCSpaces)
      .def("Handle", &CMixtable::Handle, (bp::arg("table")),
           bp::return_internal_reference<>(),
           "Handle(table) -> XBASE32.Wdbase of the slot (keeping this table "
           "set alive), or None outside 0..35.")
      .def("Open", &Open, (bp::arg("table")))
      .def("CloseAll", &CloseAll)
      .def("CloseAll", &CloseAllLevels, (bp::arg("levels")),
           "CloseAll() or CloseAll(levels): closes every table, or those "
           "opened at one of the level bits.")
      .def("TmpOpen", &TmpOpen, (bp::arg("table")),
           "TmpOpen(table) -> (result, state)")
      .def("TmpClose", &TmpClose, (bp::arg("table"), bp::arg("state")))
      .def("Select", &Select, (bp::arg("table"), bp::arg("id")))
      .def("First", &First, (bp::arg("table")))
      .def("Next", &Next, (bp::arg("table")))
      .def("GetNextFreeId", &GetNextFreeId, (bp::arg("table")))
      .def("GetCurLevel", &GetCurLevel, (bp::arg("table")))
      .def("GetLevelMask", &GetLevelMask, (bp::arg("table")))
      .def("Frieze", &CMixtable::Frieze)
      .def("Defrieze", &CMixtable::Defrieze)
      .def("CanSize", &CMixtable::CanSize, (bp::arg("can_id")))
      .def("DblCanSize", &CMixtable::DblCanSize, (bp::arg("can_id")))
      .def("FrmCanSize", &CMixtable::FrmCanSize)
      .def("SpecificWeight", &CMixtable::SpecificWeight, (bp::arg("id")))
      .def("SingleProduct", &CMixtable::SingleProduct)
      .def("UnitAndFraction", &UnitAndFraction,
           "UnitAndFraction() -> (result, unit, fraction, fraction2, "
           "weight mode, unit name)")
      .def("CreateColorKeyDb", &CMixtable::CreateColorKeyDb);

  bp::class_<CMixtableEx, boost::noncopyable> ex(
      "CMixtableEx",
      "The extended table set: a table set with the table dictionary. It is "
      "accepted wherever a CMixtable is taken.",
      bp::init<>());
  ex.def("GetTableLevel", &GetTableLevel);
  ex.def("GetGdataDescr", &GetGdataDescr)
      .def("GetLevelIDs", &GetLevelIDs,
           "GetLevelIDs() -> (ok, product id, sub-product id)")
      .def("AlignTable", &AlignTableToDir,
           (bp::arg("dir"), bp::arg("prd_id"), bp::arg("spd_id")))
      .def("AlignTable", &AlignTableToSet, (bp::arg("other")),
           "AlignTable(dir, prd_id, spd_id) or AlignTable(other table set)");
  ex.def("Exist", &CMixtableEx::Exist, (bp::arg("table")))
      .def("Delete", &CMixtableEx::Delete, (bp::arg("table")))
      .def("Create", &CMixtableEx::Create, (bp::arg("table")))
      .def("SetDataDir", &SetDataDir, (bp::arg("dir")))
      .def("GetParamGdataId", &CMixtableEx::GetParamGdataId,
           (bp::arg("absolute")))
      .def("CreateDictionaryItem", &CMixtableEx::CreateDictionaryItem,
           (bp::arg("table")));

  bp::converter::registry::insert(&MixtableOfEx, bp::type_id<CMixtable>());
}

}  // namespace mixtable::python
