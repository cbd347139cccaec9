#include "py_text.h"

#include "platform/codepage.h"

namespace bp = boost::python;

namespace xbase32::python {

void Raise(PyObject* type, const std::string& message) {
  PyErr_SetString(type, message.c_str());
  bp::throw_error_already_set();
  // throw_error_already_set always throws; this keeps [[noreturn]] honest.
  throw bp::error_already_set();
}

TextArg::TextArg(const bp::object& value, const char* what) {
  PyObject* o = value.ptr();
  if (o == Py_None) {
    none_ = true;
    return;
  }
  if (PyUnicode_Check(o)) {
    Py_ssize_t n = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(o, &n);
    if (utf8 == nullptr) bp::throw_error_already_set();  // lone surrogates
    text_ = platform::Utf8ToCodePage(std::string(utf8, static_cast<size_t>(n)),
                                     platform::AnsiCodePage());
    return;
  }
  if (PyBytes_Check(o)) {
    text_.assign(PyBytes_AS_STRING(o),
                 static_cast<size_t>(PyBytes_GET_SIZE(o)));
    return;
  }
  Raise(PyExc_TypeError, std::string(what) +
                             " must be str, bytes or None, not " +
                             Py_TYPE(o)->tp_name);
}

const std::string& TextArg::Required(const char* what) const& {
  if (none_) Raise(PyExc_TypeError, std::string(what) + " must not be None");
  return text_;
}

char CharArg(const bp::object& value, const char* what) {
  TextArg t(value, what);
  const std::string& s = t.Required(what);
  if (s.size() != 1) {
    Raise(PyExc_ValueError, std::string(what) +
                                " must be a single character, got " +
                                std::to_string(s.size()));
  }
  return s[0];
}

long long IntArg(const bp::object& value, const char* what) {
  if (!PyLong_Check(value.ptr())) {
    Raise(PyExc_TypeError, std::string(what) + " must be an integer, not " +
                               Py_TYPE(value.ptr())->tp_name);
  }
  const long long v = PyLong_AsLongLong(value.ptr());
  if (v == -1 && PyErr_Occurred()) bp::throw_error_already_set();
  return v;
}

bp::object ToStr(const char* text, size_t n) {
  const std::string utf8 =
      platform::CodePageToUtf8(std::string(text, n), platform::AnsiCodePage());
  PyObject* s = PyUnicode_DecodeUTF8(
      utf8.data(), static_cast<Py_ssize_t>(utf8.size()), "replace");
  if (s == nullptr) bp::throw_error_already_set();
  return bp::object(bp::handle<>(s));
}

bp::object ToStrOrNone(const char* text) {
  if (text == nullptr) return bp::object();
  return ToStr(text, std::char_traits<char>::length(text));
}

}  // namespace xbase32::python
