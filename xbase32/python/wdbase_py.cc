// The table-level methods of the script class: definition and files,
// navigation, records, locks and the process-wide settings.

#include "wdbase_py.h"

#include <vector>

#include "py_text.h"

namespace bp = boost::python;

namespace xbase32::python {
namespace {

int GetOEMConversionMode(const Wdbase& w) {
  return static_cast<int>(w.GetOEMConversionMode());
}

// path and name, and optionally the index files: a sequence of file names
// and one of key expressions, of equal length (a script has no other way to
// define indexes).
int SetFiles(Wdbase& w, const bp::object& path, const bp::object& name,
             const bp::object& names, const bp::object& exprs) {
  const TextArg p(path, "path");
  const TextArg n(name, "name");
  if (names.is_none() != exprs.is_none()) {
    Raise(PyExc_TypeError, "SetFiles: give both names and exprs, or neither");
  }
  std::vector<TextArg> index_names;
  std::vector<TextArg> index_exprs;
  if (!names.is_none()) {
    const Py_ssize_t count = bp::len(names);
    if (bp::len(exprs) != count) {
      Raise(PyExc_ValueError, "SetFiles: as many exprs as names are needed");
    }
    for (Py_ssize_t k = 0; k < count; ++k) {
      index_names.emplace_back(names[k], "index name");
      index_exprs.emplace_back(exprs[k], "index expression");
    }
  }
  std::vector<const char*> np, ep;
  for (size_t k = 0; k < index_names.size(); ++k) {
    np.push_back(index_names[k].c_str());
    ep.push_back(index_exprs[k].c_str());
  }
  return w.SetFiles(p.c_str(), n.c_str(), static_cast<int>(np.size()),
                    np.data(), ep.data());
}

int SetPath(Wdbase& w, const bp::object& path) {
  const TextArg p(path, "path");
  return w.SetPath(p.c_str());
}

bp::object GetIdxExpr(const Wdbase& w, int k) {
  return ToStrOrNone(w.GetIdxExpr(k));
}

int IdxNameToNumber(const Wdbase& w, const bp::object& name) {
  const TextArg n(name, "name");
  return w.IdxNameToNumber(n.c_str());
}

}  // namespace

void BindTable(WdbaseClass& c) {
  const bp::arg k("k");
  c.def("GetOEMConversionMode", &GetOEMConversionMode)
      .def("SetFiles", &SetFiles,
           (bp::arg("path"), bp::arg("name"), bp::arg("names") = bp::object(),
            bp::arg("exprs") = bp::object()))
      .def("SetPath", &SetPath, (bp::arg("path")))
      .def("Access", &Wdbase::Access, (bp::arg("k") = 0))
      .def("Unlink", &Wdbase::Unlink, (bp::arg("k") = 0))
      .def("IsOpen", &Wdbase::IsOpen, (bp::arg("k") = 0))
      .def("IsClosed", &Wdbase::IsClosed, (bp::arg("k") = 0))
      .def("GetIdxCount", &Wdbase::GetIdxCount)
      .def("GetIdxExpr", &GetIdxExpr, (k))
      .def("IdxNameToNumber", &IdxNameToNumber, (bp::arg("name")))
      .def("Open", &Wdbase::Open)
      .def("Close", &Wdbase::Close)
      .def("CloseAll", &Wdbase::CloseAll)
      .staticmethod("CloseAll");

  c.def("Top", &Wdbase::Top)
      .def("Previous", &Wdbase::Previous)
      .def("Next", &Wdbase::Next)
      .def("Bottom", &Wdbase::Bottom)
      .def("Skip", &Wdbase::Skip, (bp::arg("n")))
      .def("Goto", &Wdbase::Goto, (bp::arg("recno")))
      .def("RecNo", &Wdbase::RecNo)
      .def("Eof", &Wdbase::Eof)
      .def("Bof", &Wdbase::Bof)
      .def("SetPosition", &Wdbase::SetPosition, (bp::arg("pos")))
      .def("GetPosition", &Wdbase::GetPosition)
      .def("GetLastPosition", &Wdbase::GetLastPosition)
      .def("IsEmpty", &Wdbase::IsEmpty)
      .def("RecCount", &Wdbase::RecCount);

  c.def("AppendBlank", &Wdbase::AppendBlank)
      .def("Delete", &Wdbase::Delete)
      .def("Recall", &Wdbase::Recall)
      .def("RecallAll", &Wdbase::RecallAll)
      .def("Deleted", &Wdbase::Deleted)
      .def("Flush", &Wdbase::Flush)
      .def("Select", &Wdbase::Select)
      .def("Unselect", &Wdbase::Unselect)
      .def("UnselectAll", &Wdbase::UnselectAll)
      .def("Selected", &Wdbase::Selected)
      .def("Lock", &Wdbase::Lock)
      .def("Unlock", &Wdbase::Unlock);

  c.def("SetDebugLevel", &Wdbase::SetDebugLevel, (bp::arg("level")))
      .staticmethod("SetDebugLevel")
      .def("GetDebugLevel", &Wdbase::GetDebugLevel)
      .staticmethod("GetDebugLevel")
      .def("FlushSet", &Wdbase::FlushSet, (bp::arg("on")))
      .staticmethod("FlushSet")
      .def("FlushGet", &Wdbase::FlushGet)
      .staticmethod("FlushGet");
}

}  // namespace xbase32::python
