// The field methods of the script class: queries, reads and writes by field
// name, CreateDb from a list of tuples, and the memo texts.

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "py_text.h"
#include "wdbase_py.h"

namespace bp = boost::python;

namespace xbase32::python {
namespace {

// Size of the buffer ReadString and MemoRead fill: at most 255 characters.
constexpr int kTextBuffer = 256;

// The field name argument of every by-name method.
struct FieldArg : TextArg {
  explicit FieldArg(const bp::object& o) : TextArg(o, "field") {}
};

int FieldNo(const Wdbase& w, const bp::object& f) {
  return w.FieldNo(FieldArg(f).c_str());
}
bp::object FieldType(const Wdbase& w, const bp::object& f) {
  const char t = w.FieldType(FieldArg(f).c_str());
  return ToStr(&t, 1);
}
int FieldLen(const Wdbase& w, const bp::object& f) {
  return w.FieldLen(FieldArg(f).c_str());
}
int FieldDec(const Wdbase& w, const bp::object& f) {
  return w.FieldDec(FieldArg(f).c_str());
}

// (type, length, decimals); KeyError for a field the open table lacks,
// RuntimeError when the table is closed.
bp::tuple FieldInfo(const Wdbase& w, const bp::object& f) {
  const FieldArg field(f);
  char type = ' ';
  int len = 0;
  int dec = 0;
  if (!w.FieldInfo(field.c_str(), &type, &len, &dec)) {
    if (!w.IsOpen(0)) Raise(PyExc_RuntimeError, "FieldInfo: table not open");
    PyErr_SetObject(PyExc_KeyError, f.ptr());
    bp::throw_error_already_set();
  }
  return bp::make_tuple(ToStr(&type, 1), len, dec);
}

bp::object ReadString(const Wdbase& w, const bp::object& f, int ltrim,
                      int rtrim) {
  char buf[kTextBuffer];
  w.ReadString(FieldArg(f).c_str(), buf, sizeof buf, ltrim, rtrim);
  buf[kTextBuffer - 1] = '\0';
  return ToStr(buf, std::strlen(buf));
}
int ReadBool(const Wdbase& w, const bp::object& f) {
  return w.ReadBool(FieldArg(f).c_str());
}
bp::object ReadChar(const Wdbase& w, const bp::object& f) {
  const char c = w.ReadChar(FieldArg(f).c_str());
  return ToStr(&c, 1);
}
int ReadInt(const Wdbase& w, const bp::object& f) {
  return w.ReadInt(FieldArg(f).c_str());
}
int32_t ReadLong(const Wdbase& w, const bp::object& f) {
  return w.ReadLong(FieldArg(f).c_str());
}
float ReadFloat(const Wdbase& w, const bp::object& f) {
  return w.ReadFloat(FieldArg(f).c_str());
}
double ReadDouble(const Wdbase& w, const bp::object& f) {
  return w.ReadDouble(FieldArg(f).c_str());
}

int WriteString(Wdbase& w, const bp::object& f, const bp::object& text) {
  const FieldArg field(f);
  const TextArg t(text, "text");
  return w.WriteString(field.c_str(), t.c_str());
}
int WriteChar(Wdbase& w, const bp::object& f, const bp::object& c) {
  const FieldArg field(f);
  return w.WriteChar(field.c_str(), CharArg(c, "c"));
}
int WriteInt(Wdbase& w, const bp::object& f, int v) {
  return w.WriteInt(FieldArg(f).c_str(), v);
}
int WriteLong(Wdbase& w, const bp::object& f, int32_t v) {
  return w.WriteLong(FieldArg(f).c_str(), v);
}
int WriteFloat(Wdbase& w, const bp::object& f, float v) {
  return w.WriteFloat(FieldArg(f).c_str(), v);
}
int WriteDouble(Wdbase& w, const bp::object& f, double v) {
  return w.WriteDouble(FieldArg(f).c_str(), v);
}

// An integer element of a field tuple within [lo, hi].
int FieldNumber(const bp::object& item, int i, const char* what, int lo,
                int hi) {
  const long long v = IntArg(item[i], what);
  if (v < lo || v > hi) {
    Raise(PyExc_ValueError, std::string("CreateDb: ") + what +
                                " out of range: " + std::to_string(v));
  }
  return static_cast<int>(v);
}

// Fields (name, type, length, decimals[, reserved]) up to the first one of
// length 0, passed to CreateDb as a field array ended by an empty name.
int CreateDb(Wdbase& w, const bp::object& fields) {
  const Py_ssize_t n = bp::len(fields);  // TypeError when no sequence
  std::vector<WDBASE_FIELD> array;
  for (Py_ssize_t k = 0; k < n; ++k) {
    const bp::object item = fields[k];
    if (!PyTuple_Check(item.ptr()) && !PyList_Check(item.ptr())) {
      Raise(PyExc_TypeError, "CreateDb: each field must be a tuple");
    }
    const Py_ssize_t size = bp::len(item);
    if (size != 4 && size != 5) {
      Raise(PyExc_ValueError,
            "CreateDb: a field is (name, type, length, decimals, reserved)");
    }
    const int len = FieldNumber(item, 2, "length", 0, 0xFFFF);
    if (len == 0) break;
    WDBASE_FIELD f{};
    const TextArg name_arg(item[0], "name");
    const std::string& name = name_arg.Required("name");
    if (name.empty() || name.size() > 10 ||
        name.find('\0') != std::string::npos) {
      Raise(PyExc_ValueError, "CreateDb: a field name has 1 to 10 characters");
    }
    std::memcpy(f.name, name.data(), name.size());
    f.type = CharArg(item[1], "type");
    f.len = static_cast<int16_t>(len);
    f.dec = static_cast<int16_t>(FieldNumber(item, 3, "decimals", 0, 0x7FFF));
    if (size == 5) FieldNumber(item, 4, "reserved", SHRT_MIN, 0xFFFF);
    array.push_back(f);
  }
  array.push_back(WDBASE_FIELD{});
  return w.CreateDb(array.data());
}

// The memo text into a 256-byte buffer: at most 255 characters, always
// terminated.
bp::object MemoRead(Wdbase& w, const bp::object& f) {
  char buf[kTextBuffer] = {};
  w.MemoRead(FieldArg(f).c_str(), buf, kTextBuffer - 1);
  return ToStr(buf, std::strlen(buf));
}
bp::object MemoPtr(Wdbase& w, const bp::object& f) {
  return ToStrOrNone(w.MemoPtr(FieldArg(f).c_str()));
}
uint32_t MemoLen(Wdbase& w, const bp::object& f) {
  return w.MemoLen(FieldArg(f).c_str());
}
// Stores length bytes of text (the whole text when length is None); a
// length beyond the text is cut to it, never read past.
int MemoWrite(Wdbase& w, const bp::object& f, const bp::object& text,
              const bp::object& length) {
  const FieldArg field(f);
  const TextArg text_arg(text, "text");
  const std::string& t = text_arg.Required("text");
  size_t n = t.size();
  if (!length.is_none()) {
    const long long want = IntArg(length, "length");
    if (want < 0) Raise(PyExc_ValueError, "length must not be negative");
    n = std::min<unsigned long long>(static_cast<unsigned long long>(want), n);
  }
  return w.MemoWrite(field.c_str(), t.data(), static_cast<unsigned>(n));
}

}  // namespace

void BindFields(WdbaseClass& c) {
  const bp::arg field("field");
  c.def("FieldCount", &Wdbase::FieldCount)
      .def("FieldNo", &FieldNo, (field))
      .def("FieldType", &FieldType, (field))
      .def("FieldLen", &FieldLen, (field))
      .def("FieldDec", &FieldDec, (field))
      .def("FieldInfo", &FieldInfo, (field))
      .def("CreateDb", &CreateDb, (bp::arg("fields")));

  c.def("ReadString", &ReadString,
        (field, bp::arg("ltrim") = 0, bp::arg("rtrim") = 0))
      .def("ReadBool", &ReadBool, (field))
      .def("ReadChar", &ReadChar, (field))
      .def("ReadInt", &ReadInt, (field))
      .def("ReadLong", &ReadLong, (field))
      .def("ReadFloat", &ReadFloat, (field))
      .def("ReadDouble", &ReadDouble, (field));

  c.def("WriteString", &WriteString, (field, bp::arg("text")))
      .def("WriteChar", &WriteChar, (field, bp::arg("c")))
      .def("WriteInt", &WriteInt, (field, bp::arg("v")))
      .def("WriteLong", &WriteLong, (field, bp::arg("v")))
      .def("WriteFloat", &WriteFloat, (field, bp::arg("v")))
      .def("WriteDouble", &WriteDouble, (field, bp::arg("v")));

  c.def("MemoRead", &MemoRead, (field))
      .def("MemoPtr", &MemoPtr, (field))
      .def("MemoLen", &MemoLen, (field))
      .def("MemoWrite", &MemoWrite,
           (field, bp::arg("text"), bp::arg("length") = bp::object()));
}

}  // namespace xbase32::python
