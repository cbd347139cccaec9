// The operation methods of the script class: indexes, special filters,
// relations and table maintenance.

#include "py_text.h"
#include "wdbase_py.h"

namespace bp = boost::python;

namespace xbase32::python {
namespace {

// --- indexes --------------------------------------------------------------

int Seek(Wdbase& w, const bp::object& key) {
  return w.Seek(TextArg(key, "key").c_str());
}

// --- special filter -------------------------------------------------------

bool SpecialFilterInit(Wdbase& w, const bp::object& cond, bool inverted,
                       bool reset) {
  return w.SpecialFilterInit(TextArg(cond, "cond").c_str(), inverted, reset);
}

// --- relations ------------------------------------------------------------

// The master table of SetSlaveRelation: a Wdbase, or None (refused by the
// engine with 0).
int SetSlaveRelation(Wdbase& w, const bp::object& master,
                     const bp::object& expr, const bp::object& tag) {
  Wdbase* m = nullptr;
  if (!master.is_none()) {
    bp::extract<Wdbase&> x(master);
    if (!x.check()) {
      Raise(PyExc_TypeError, std::string("master must be a Wdbase, not ") +
                                 Py_TYPE(master.ptr())->tp_name);
    }
    m = &x();
  }
  const TextArg e(expr, "expr");
  const TextArg t(tag, "tag");
  return w.SetSlaveRelation(m, e.c_str(), t.c_str());
}

int SetQuery(Wdbase& w, const bp::object& expr) {
  return w.SetQuery(TextArg(expr, "expr").c_str());
}

int SetSort(Wdbase& w, const bp::object& expr) {
  return w.SetSort(TextArg(expr, "expr").c_str());
}

// --- maintenance ----------------------------------------------------------

int Zap(Wdbase& w) { return w.Zap(); }

int FieldAdd(Wdbase& w, int pos, const bp::object& name, const bp::object& type,
             int len, int dec) {
  const TextArg n(name, "name");
  return w.FieldAdd(pos, n.c_str(), CharArg(type, "type"), len, dec);
}

}  // namespace

void BindOperations(WdbaseClass& c) {
  c.def("CreateIdx", &Wdbase::CreateIdx, (bp::arg("k")))
      .def("RebuildIdx", &Wdbase::RebuildIdx)
      .def("SelectIdx", &Wdbase::SelectIdx, (bp::arg("k") = 0))
      .def("SelectedIdx", &Wdbase::SelectedIdx)
      .def("Seek", &Seek, (bp::arg("key")));

  c.def(
       "SpecialFilterInit", &SpecialFilterInit,
       (bp::arg("cond"), bp::arg("inverted") = false, bp::arg("reset") = false))
      .def("SpecialFilterQuit", &Wdbase::SpecialFilterQuit)
      .def("SpecialFilterRebuild", &Wdbase::SpecialFilterRebuild)
      .def("SpecialFilterLock", &Wdbase::SpecialFilterLock)
      .def("SpecialFilterUnlock", &Wdbase::SpecialFilterUnlock)
      .def("SpecialFilterIsEnabled", &Wdbase::SpecialFilterIsEnabled)
      .def("SpecialFilterIsInverted", &Wdbase::SpecialFilterIsInverted)
      .def("SpecialFilterChangeOrder", &Wdbase::SpecialFilterChangeOrder);

  c.def("SetMasterRelation", &Wdbase::SetMasterRelation)
      .def("SetSlaveRelation", &SetSlaveRelation,
           (bp::arg("master"), bp::arg("expr"), bp::arg("tag") = bp::object()))
      .def("SetSlaveRelationType", &Wdbase::SetSlaveRelationType,
           (bp::arg("type") = 0))
      .def("SetQuery", &SetQuery, (bp::arg("expr")))
      .def("SetSort", &SetSort, (bp::arg("expr")))
      .def("TopRelation", &Wdbase::TopRelation)
      .def("BottomRelation", &Wdbase::BottomRelation)
      .def("NextRelation", &Wdbase::NextRelation)
      .def("PreviousRelation", &Wdbase::PreviousRelation);

  c.def("Pack", &Wdbase::Pack)
      .def("Zap", &Zap)
      .def("FieldAdd", &FieldAdd,
           (bp::arg("pos"), bp::arg("name"), bp::arg("type"), bp::arg("len"),
            bp::arg("dec") = 0))
      .def("FieldRemove", &Wdbase::FieldRemove, (bp::arg("pos")));
}

}  // namespace xbase32::python
