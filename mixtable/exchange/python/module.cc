// Entry point of the scripting module MIXTABLE.

#include <boost/python.hpp>

#include "bindings.h"

namespace {

constexpr const char kDoc[] =
    "The tables library of the formula data sets: table sets, formula "
    "records, formula texts and their resolution, history and archive.\n"
    "\n"
    "Conventions:\n"
    "- Texts are str, converted to and from the ANSI code page as in XBASE32 "
    "(bytes are taken as they are); ids and flags are int, reals float; "
    "bool results are given as the library gives them. Paths are the "
    "library's own: drive paths (\"c:\\\\gdata\\\\\") mapped by the platform "
    "layer, or host paths; also for ReadPy and WritePy.\n"
    "- A member with output arguments takes only its inputs and returns a "
    "tuple: its own result first (none when it has none), then the outputs "
    "in argument order; a one-element tuple is returned as that element. "
    "Outputs of the module's records (Wy_Substrate, Wy_Units, Wy_Frm, "
    "Wy_BaseAndCan) are passed in and filled in place.\n"
    "- Fixed-size inputs (3 coordinates, 16 reflectance values) accept any "
    "sequence of exactly that length; another length raises ValueError.\n"
    "- Members in two forms are told apart by the types and number of their "
    "arguments; a call matching neither raises TypeError listing the forms.\n"
    "- Numbers outside the range of the library's type raise OverflowError; "
    "None where a table set or record is required raises TypeError.\n"
    "- CMixtable.Handle(table) returns the slot's table as an XBASE32.Wdbase "
    "that keeps its table set alive; the set closes its tables when the last "
    "of them goes. Methods taking a table accept any XBASE32.Wdbase; one "
    "that is not a slot of the set is refused (0). A CMixtableEx is accepted "
    "wherever a table set is taken.\n"
    "- Names differing from the library's: HFormula.ReadPy and WritePy call "
    "Py_Read and Py_Write; the vector's Read and Resize are Wy_Frm.read and "
    "Wy_Frm.resize; "
    "Wy_Formula.SaveInArchive(tables, recno=0) calls "
    "hformula_SaveInArchive(self, tables, recno).\n"
    "- The library is single-threaded and keeps process-wide scan state: "
    "scripts must not use it from several threads at once.";

}  // namespace

BOOST_PYTHON_MODULE(MIXTABLE) {
  namespace bp = boost::python;
  // The tables come back as XBASE32.Wdbase objects: its class must be
  // registered whatever the script imported.
  bp::import("XBASE32");
  bp::scope().attr("__doc__") = kDoc;
  using namespace mixtable::python;
  BindRecords();
  BindTables();
  BindFormulaRecords();
  BindFormulas();
  BindEnumsAndFunctions();
  BindAdditions();
}
