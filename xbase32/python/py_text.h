// Texts and errors between scripts and the engine.
//
// Scripts hand texts over as str; the engine takes and gives them in the
// ANSI code page (platform::AnsiCodePage()). A str is encoded into that page
// (a character the page lacks becomes its closest equivalent or "?"); bytes
// are taken as they are; None stands for "no text" (a null pointer, which
// every engine operation answers with its failure value). Anything else is a
// TypeError. Texts coming back are decoded from the page into str.
//
// Every failure is raised as a Python exception through
// boost::python::error_already_set, which Boost.Python hands back to the
// interpreter; nothing else is thrown.

#ifndef XBASE32_PYTHON_PY_TEXT_H_
#define XBASE32_PYTHON_PY_TEXT_H_

#include <boost/python.hpp>
#include <cstddef>
#include <string>

namespace xbase32::python {

// Sets a Python exception of the given type (PyExc_TypeError, ...) and
// unwinds to Boost.Python, which returns the exception to the script.
[[noreturn]] void Raise(PyObject* type, const std::string& message);

// A text argument of a script. what names the argument in error messages.
class TextArg {
 public:
  TextArg(const boost::python::object& value, const char* what);

  bool none() const { return none_; }
  // The ANSI bytes, NUL-terminated; null for None.
  const char* c_str() const { return none_ ? nullptr : text_.c_str(); }
  const std::string& text() const { return text_; }
  // The ANSI bytes; raises TypeError for None. Only on a named object: the
  // answer refers into it.
  const std::string& Required(const char* what) const&;
  const std::string& Required(const char* what) const&& = delete;

 private:
  bool none_ = false;
  std::string text_;
};

// A text argument that must be exactly one byte in the ANSI code page
// (a type letter, a character to write). Raises TypeError for other types
// and ValueError for other lengths.
char CharArg(const boost::python::object& value, const char* what);

// An integer argument (int or bool). Raises TypeError for other types and
// OverflowError beyond 64 bits.
long long IntArg(const boost::python::object& value, const char* what);

// n bytes of ANSI text as str.
boost::python::object ToStr(const char* text, size_t n);
// A NUL-terminated ANSI text as str; None for null.
boost::python::object ToStrOrNone(const char* text);

}  // namespace xbase32::python

#endif  // XBASE32_PYTHON_PY_TEXT_H_
