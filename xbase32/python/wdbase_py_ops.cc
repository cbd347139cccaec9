// The operation methods of the script class: indexes, relations and table
// maintenance.

#include "py_text.h"
#include "wdbase_py.h"

namespace bp = boost::python;

namespace xbase32::python {
namespace {

int Zap(Wdbase& w) { return w.Zap(); }

}  // namespace

void BindOperations(WdbaseClass& c) {
  c.def("Pack", &Wdbase::Pack).def("Zap", &Zap);
}

}  // namespace xbase32::python
