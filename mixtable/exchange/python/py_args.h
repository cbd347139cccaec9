// Argument and result helpers of the scripting module MIXTABLE.
//
// Texts go through the XBASE32 module's conversions (py_text.h: str in the
// ANSI code page, bytes as they are). Members with output arguments answer
// tuples built here; fixed-size inputs (coordinates, reflectance curves) are
// checked for their exact length before the library sees them, because the
// library copies a fixed number of values and must never read past a
// shorter list. Every failure is a Python exception (error_already_set).

#ifndef MIXTABLE_EXCHANGE_PYTHON_PY_ARGS_H_
#define MIXTABLE_EXCHANGE_PYTHON_PY_ARGS_H_

#include <array>
#include <boost/python.hpp>
#include <cstddef>
#include <string>

#include "py_text.h"

namespace mixtable::python {

using xbase32::python::Raise;
using xbase32::python::TextArg;

// A text as str (the ANSI bytes decoded).
inline boost::python::object Str(const std::string& s) {
  return xbase32::python::ToStr(s.data(), s.size());
}

// The bytes of a required text argument: TypeError for None.
inline std::string RequiredText(const boost::python::object& v,
                                const char* what) {
  const TextArg t(v, what);
  return t.Required(what);
}

// N reals from any sequence of exactly N numbers: TypeError for a
// non-sequence (or a str) or a non-number, ValueError for another length.
template <size_t N>
std::array<double, N> FixedReals(const boost::python::object& seq,
                                 const char* what) {
  PyObject* o = seq.ptr();
  if (!PySequence_Check(o) || PyUnicode_Check(o) || PyBytes_Check(o)) {
    Raise(PyExc_TypeError, std::string(what) + " must be a sequence of " +
                               std::to_string(N) + " numbers, not " +
                               Py_TYPE(o)->tp_name);
  }
  const Py_ssize_t n = PySequence_Size(o);
  if (n < 0) boost::python::throw_error_already_set();
  if (static_cast<size_t>(n) != N) {
    Raise(PyExc_ValueError, std::string(what) + " must hold exactly " +
                                std::to_string(N) + " values, not " +
                                std::to_string(n));
  }
  std::array<double, N> out{};
  for (size_t k = 0; k < N; ++k) {
    boost::python::object item = seq[k];
    boost::python::extract<double> x(item);
    if (!x.check()) {
      Raise(PyExc_TypeError, std::string(what) + " values must be numbers");
    }
    out[k] = x();
  }
  return out;
}

// N reals as a tuple.
template <size_t N>
boost::python::tuple RealTuple(const double* v) {
  boost::python::list l;
  for (size_t k = 0; k < N; ++k) l.append(v[k]);
  return boost::python::tuple(l);
}

// Getter and setter of a text data member (std::string), for add_property.
template <class T, std::string T::*M>
boost::python::object GetText(const T& o) {
  return Str(o.*M);
}
template <class T, std::string T::*M>
void SetText(T& o, const boost::python::object& v) {
  o.*M = RequiredText(v, "value");
}

}  // namespace mixtable::python

// Adds the text member NAME of class CLS to the Boost.Python class C.
#define MIXTABLE_PY_TEXT_MEMBER(C, CLS, NAME)                            \
  (C).add_property(#NAME, &::mixtable::python::GetText<CLS, &CLS::NAME>, \
                   &::mixtable::python::SetText<CLS, &CLS::NAME>)

#endif  // MIXTABLE_EXCHANGE_PYTHON_PY_ARGS_H_
