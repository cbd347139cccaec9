// The formula text (yformula) and the formula vector (Wy_Frm).

#include <algorithm>
#include <vector>

#include "bindings.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_base_can.h"
#include "mixtable/wy_frm.h"
#include "mixtable/yformula.h"
#include "py_args.h"

namespace bp = boost::python;

namespace mixtable::python {
namespace {

bp::object Get(const yformula& f) { return Str(f.get()); }
int Set(yformula& f, const bp::object& text) {
  return f.set(TextArg(text, "text").c_str());
}
int AddText(yformula& f, int32_t id, const bp::object& quantity) {
  return f.add(id, TextArg(quantity, "quantity").c_str());
}
int AddNumber(yformula& f, int32_t id, double quantity, int decimals,
              int exponent) {
  return f.add(id, quantity, decimals, exponent);
}

// The ruler may be None (no ruler).
int Read(yformula& f, Wdbase& frm, Wdbase* ruler) {
  return f.read(&frm, ruler);
}

// (count, ids, quantities): at most capacity pairs (None: all of them).
// Room is made only for the pairs the text holds, so a huge capacity costs
// nothing.
bp::tuple Parse(const yformula& f, const bp::object& capacity) {
  const int n = f.count();
  int cap = n < 0 ? 0 : n;
  if (!capacity.is_none()) {
    const int asked = bp::extract<int>(capacity);
    cap = std::max(0, std::min(asked, cap));
  }
  std::vector<int32_t> ids(static_cast<size_t>(cap) + 1);
  std::vector<double> qs(static_cast<size_t>(cap) + 1);
  const int got = f.parse(ids.data(), qs.data(), cap);
  bp::list li, lq;
  for (int k = 0; k < got; ++k) {
    li.append(ids[k]);
    lq.append(qs[k]);
  }
  return bp::make_tuple(got, bp::tuple(li), bp::tuple(lq));
}

int ToVolume(yformula& f, CMixtable& t, double factor, int decimals,
             int exponent) {
  return f.to_volume(&t, factor, decimals, exponent);
}
int ToWeight(yformula& f, CMixtable& t, double factor, int decimals,
             int exponent) {
  return f.to_weight(&t, factor, decimals, exponent);
}

int FrmRead(Wy_Frm& v, CMixtable& t, int which) { return v.read(&t, which); }

}  // namespace

void BindFormulaRecords() {
  bp::class_<yformula>("yformula",
                       "A formula text: pairs of colorant id and quantity.",
                       bp::init<>())
      .def("get", &Get)
      .def("set", &Set, (bp::arg("text")))
      .def("add", &AddText, (bp::arg("id"), bp::arg("quantity")))
      .def("add", &AddNumber,
           (bp::arg("id"), bp::arg("quantity"), bp::arg("decimals"),
            bp::arg("exponent")),
           "add(id, quantity_text) or add(id, quantity, decimals, exponent)")
      .def("count", &yformula::count)
      .def("read", &Read, (bp::arg("frm"), bp::arg("ruler") = bp::object()),
           "read(frm, ruler=None): the formula of frm's current record.")
      .def("resize", &yformula::resize,
           (bp::arg("source"), bp::arg("target"), bp::arg("decimals"),
            bp::arg("exponent")))
      .def("parse", &Parse, (bp::arg("capacity") = bp::object()),
           "parse(capacity=None) -> (count, ids, quantities)")
      .def("to_volume", &ToVolume,
           (bp::arg("tables"), bp::arg("factor"), bp::arg("decimals"),
            bp::arg("exponent")))
      .def("to_weight", &ToWeight,
           (bp::arg("tables"), bp::arg("factor"), bp::arg("decimals"),
            bp::arg("exponent")));

  bp::class_<Wy_Frm>("Wy_Frm",
                     "A formula vector: text, units and the can it refers to.",
                     bp::init<>())
      .def_readwrite("m_SlaveId", &Wy_Frm::m_SlaveId)
      .def_readwrite("m_CanWeight0", &Wy_Frm::m_CanWeight0)
      .def_readwrite("m_Nom_Q0", &Wy_Frm::m_Nom_Q0)
      .def("GetUnits", &Wy_Frm::GetUnits,
           bp::return_value_policy<bp::copy_const_reference>(),
           "GetUnits() -> a copy of the units")
      .def("SetUnits", &Wy_Frm::SetUnits, (bp::arg("units")))
      .def("IsEmpty", &Wy_Frm::IsEmpty)
      .def("read", &FrmRead, (bp::arg("tables"), bp::arg("which")),
           "read(tables, which): the formula of the current Y_FRM or "
           "Y_ARCHIVE record.")
      .def("resize", &Wy_Frm::resize, (bp::arg("target")),
           "resize(target): to the can of a Wy_BaseAndCan.")
      .def("Clear", &Wy_Frm::Clear);
}

}  // namespace mixtable::python
