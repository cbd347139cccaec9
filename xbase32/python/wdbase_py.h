// The class "Wdbase" of the scripting module XBASE32: a thin wrapper of the
// engine's Wdbase. Every method calls the operation of the same name and
// converts arguments and results (texts through py_text.h); results are the
// engine's own (1/0 and the like). Bad arguments (wrong types, numbers out
// of range, malformed field lists) raise Python exceptions; no call can
// crash the interpreter.
//
// Objects are held by std::shared_ptr. A table that another table's relation
// refers to may go away first: the engine then drops it from the relation,
// so no script object ever points at a dead table.

#ifndef XBASE32_PYTHON_WDBASE_PY_H_
#define XBASE32_PYTHON_WDBASE_PY_H_

#include <boost/python.hpp>
#include <memory>

#include "xbase32/wdbase.h"

namespace xbase32::python {

using WdbaseClass =
    boost::python::class_<Wdbase, std::shared_ptr<Wdbase>, boost::noncopyable>;

// Definition and files, navigation, records, locks and the process-wide
// settings (wdbase_py.cc).
void BindTable(WdbaseClass& c);
// Field queries, reads, writes, CreateDb from a list of tuples and the memo
// texts (wdbase_py_fields.cc).
void BindFields(WdbaseClass& c);
// Indexes, special filters, relations and table maintenance
// (wdbase_py_ops.cc).
void BindOperations(WdbaseClass& c);

}  // namespace xbase32::python

#endif  // XBASE32_PYTHON_WDBASE_PY_H_
