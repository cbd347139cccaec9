#include "commands.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <memory>
#include <sstream>

#include "command_util.h"
#include "dbf_expr_table.h"
#include "dbf_file.h"
#include "expr/day_number.h"
#include "expr/expr.h"
#include "platform/codepage.h"
#include "platform/env.h"
#include "wdbase_access.h"
#include "xbase32/wdbase.h"

namespace xbtool {
namespace {

// Splits "dir/NAME.DBF" into the engine's directory and file name.
bool Define(Wdbase* w, const std::string& table) {
  w->SetOEMConversionMode(Wdbase_OEMtoChar_Off);
  return w->SetFiles(nullptr, table.c_str(), 0, nullptr, nullptr) != 0;
}

int OpenTable(Wdbase* w, const std::string& table, std::ostream& err) {
  if (!Define(w, table)) {
    return Fail(err, "bad table name (8.3 names only): " + table);
  }
  if (!w->Open())
    return Fail(err, "cannot open " + table + ": " + EngineError());
  return 0;
}

size_t DisplayWidth(const std::string& utf8) {
  size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

std::string CsvQuote(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string q = "\"";
  for (char c : s) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

std::string Upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t p = s.find(sep, start);
    parts.push_back(s.substr(start, p - start));
    if (p == std::string::npos) break;
    start = p + 1;
  }
  return parts;
}

bool ParseInt(const std::string& s, int* v) {
  if (s.empty()) return false;
  char* end = nullptr;
  long x = std::strtol(s.c_str(), &end, 10);
  if (*end != '\0' || x < -32768 || x > 65535) return false;
  *v = static_cast<int>(x);
  return true;
}

// "record n of m: ", n right-aligned to the width of m.
std::string Position(int32_t n, int32_t m) {
  const std::string total = std::to_string(m);
  std::string pos = std::to_string(n);
  if (pos.size() < total.size()) pos.insert(0, total.size() - pos.size(), ' ');
  return "record " + pos + " of " + total + ": ";
}

}  // namespace

int Info(const std::string& table, std::ostream& out, std::ostream& err) {
  Wdbase w;
  if (int rc = OpenTable(&w, table, err)) return rc;
  // The header facts the engine does not hand out: read them directly.
  std::string full = std::string(w.GetPath()) + w.GetName(0);
  std::unique_ptr<platform::File> f;
  uint8_t h[32] = {};
  uint64_t size = 0;
  if (platform::Env::Current()
          ->OpenFile(full, platform::OpenMode::kReadOnly, &f)
          .ok()) {
    size_t got = 0;
    f->ReadAt(0, h, sizeof h, &got);
    f->Size(&size);
  }
  const uint32_t stored =
      h[4] | h[5] << 8 | h[6] << 16 | static_cast<uint32_t>(h[7]) << 24;
  char date[16];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", 1900 + h[1], h[2], h[3]);
  std::string host = full;
  platform::Env::Current()->HostPath(full, &host);
  out << "file:          " << host << "\n"
      << "version:       0x" << std::hex << std::setw(2) << std::setfill('0')
      << static_cast<int>(h[0]) << std::dec << std::setfill(' ')
      << ((h[0] & 0x80) ? " (memo file)" : "") << "\n"
      << "last update:   " << date << "\n"
      << "records:       " << w.RecCount() << " (header says " << stored
      << ")\n"
      << "header length: " << (h[8] | h[9] << 8) << "\n"
      << "record length: " << (h[10] | h[11] << 8) << "\n"
      << "file size:     " << size << "\n"
      << "fields:        " << w.FieldCount() << "\n";
  out << "  #  NAME        TYPE    LEN  DEC  OFFSET\n";
  int offset = 1;
  for (int k = 1; k <= w.FieldCount(); ++k) {
    char name[11];
    char type;
    int len, dec;
    w.FieldInfo(k, name, &type, &len, &dec);
    char line[96];
    std::snprintf(line, sizeof line, "%3d  %-10s  %c     %5d  %3d  %6d\n", k,
                  name, type, len, dec, offset);
    out << line;
    offset += len;
  }
  return 0;
}

int Dump(const std::string& table, bool csv, std::ostream& out,
         std::ostream& err, const std::string& order,
         const std::string& where) {
  Wdbase w;
  if (order.empty()) {
    if (int rc = OpenTable(&w, table, err)) return rc;
  } else if (int rc = OpenIndexed(&w, table, order, err)) {
    return rc;
  }
  // With a condition: through a special filter, each record with its
  // position "record n of m".
  std::string pos_blank;
  int32_t matches = 0;
  if (!where.empty()) {
    const std::string cond = platform::Utf8ToCodePage(where, 0);
    if (!w.SpecialFilterInit(cond.c_str(), false, false)) {
      return Fail(err, "bad condition '" + where + "': " + EngineError());
    }
    matches = w.GetLastPosition();
    pos_blank.assign(Position(matches, matches).size(), ' ');
  }
  const int n = w.FieldCount();
  std::vector<std::string> names;
  std::vector<size_t> widths;
  for (int k = 1; k <= n; ++k) {
    char name[11];
    int len = 0;
    w.FieldInfo(k, name, nullptr, &len, nullptr);
    names.push_back(name);
    widths.push_back(std::max<size_t>(std::strlen(name), len));
  }
  if (csv) {
    if (!where.empty()) out << "_POS,";
    out << "_FLAG";
    for (const std::string& name : names) out << "," << name;
    out << "\n";
  } else {
    out << pos_blank << "F";
    for (int k = 0; k < n; ++k)
      out << " " << std::left << std::setw(widths[k]) << names[k];
    out << "\n";
  }
  for (int ok = w.Top(); ok; ok = w.Next()) {
    const char flag = w.RecordBufferPtr()[-1];
    if (!where.empty()) {
      const int32_t n = w.GetPosition();
      out << (csv ? "record " + std::to_string(n) + " of " +
                        std::to_string(matches) + ","
                  : Position(n, matches));
    }
    if (csv) {
      out << CsvQuote(std::string(1, flag));
      for (int k = 1; k <= n; ++k)
        out << "," << CsvQuote(Utf8(w.Read(k, 1, 1)));
    } else {
      out << flag;
      for (int k = 1; k <= n; ++k) {
        const std::string v = Utf8(w.Read(k));
        out << " " << v;
        if (k < n) {
          for (size_t i = DisplayWidth(v); i < widths[k - 1]; ++i) out << ' ';
        }
      }
    }
    out << "\n";
  }
  return 0;
}

int Filter(const std::string& table, const std::string& cond,
           const std::string& order, std::ostream& out, std::ostream& err) {
  Wdbase w;
  if (order.empty()) {
    if (int rc = OpenTable(&w, table, err)) return rc;
  } else if (int rc = OpenIndexed(&w, table, order, err)) {
    return rc;
  }
  const std::string source = platform::Utf8ToCodePage(cond, 0);
  if (!w.SpecialFilterInit(source.c_str(), false, false)) {
    return Fail(err, "bad condition '" + cond + "': " + EngineError());
  }
  const int32_t matches = w.GetLastPosition();
  for (int ok = w.Top(); ok; ok = w.Next()) {
    out << Position(w.GetPosition(), matches) << "#" << w.RecNo() << "\n";
  }
  out << matches << " of " << w.RecCount() << " records match\n";
  if (!w.Close())
    return Fail(err, "cannot close " + table + ": " + EngineError());
  return 0;
}

int Create(const std::string& table,
           const std::vector<std::string>& fields_text, std::ostream& out,
           std::ostream& err) {
  if (fields_text.empty()) return Fail(err, "no fields given");
  std::vector<WDBASE_FIELD> fields;
  for (const std::string& text : fields_text) {
    std::vector<std::string> p = Split(text, ':');
    WDBASE_FIELD f{};
    int len = 0, dec = 0;
    if (p.size() < 2 || p.size() > 4 || p[0].empty() || p[0].size() > 10 ||
        p[1].size() != 1 || (p.size() > 2 && !ParseInt(p[2], &len)) ||
        (p.size() > 3 && !ParseInt(p[3], &dec))) {
      return Fail(
          err, "bad field description '" + text + "' (NAME:TYPE[:LEN[:DEC]])");
    }
    const char type =
        static_cast<char>(std::toupper(static_cast<unsigned char>(p[1][0])));
    if ((type == 'C' || type == 'N' || type == 'F') && p.size() < 3) {
      return Fail(err, "field '" + p[0] + "' needs a length");
    }
    const std::string name = Upper(p[0]);
    std::memcpy(f.name, name.data(), name.size());
    f.type = type;
    f.len = static_cast<int16_t>(len);
    f.dec = static_cast<int16_t>(dec);
    fields.push_back(f);
  }
  fields.push_back(WDBASE_FIELD{});
  Wdbase w;
  if (!Define(&w, table))
    return Fail(err, "bad table name (8.3 names only): " + table);
  if (!w.CreateDb(fields.data())) {
    return Fail(err, "cannot create " + table + ": " + EngineError());
  }
  out << "created " << w.GetPath() << w.GetName(0) << " with "
      << fields_text.size() << " fields\n";
  return 0;
}

int Append(const std::string& table, const std::vector<std::string>& values,
           std::ostream& out, std::ostream& err) {
  Wdbase w;
  if (int rc = OpenTable(&w, table, err)) return rc;
  // Check every assignment before the record is added.
  struct Assignment {
    int field;
    std::string value;  // OEM
  };
  std::vector<Assignment> list;
  for (const std::string& v : values) {
    const size_t eq = v.find('=');
    if (eq == std::string::npos || eq == 0) {
      return Fail(err, "bad assignment '" + v + "' (NAME=value)");
    }
    const std::string name = v.substr(0, eq);
    const int k = w.FieldNo(name.c_str());
    if (k == 0) return Fail(err, "no field " + name + " in " + table);
    std::string value = platform::Utf8ToCodePage(v.substr(eq + 1), 0);
    const char type = w.FieldType(k);
    if (type == 'N') {
      char* end = nullptr;
      std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0') {
        return Fail(err,
                    "field " + name + " needs a number, not '" + value + "'");
      }
    } else if (type == 'D') {
      if (!value.empty() &&
          (value.size() != 8 ||
           value.find_first_not_of("0123456789") != std::string::npos)) {
        return Fail(err, "field " + name + " needs a date CCYYMMDD, not '" +
                             value + "'");
      }
    } else if (type != 'C' && type != 'L') {
      return Fail(err,
                  "field " + name + " of type " + type + " cannot be set here");
    }
    list.push_back({k, value});
  }
  Wdbase::FlushSet(0);
  bool ok = w.AppendBlank() != 0;
  for (const Assignment& a : list) {
    if (!ok) break;
    if (w.FieldType(a.field) == 'N') {
      ok = w.WriteDouble(a.field, std::strtod(a.value.c_str(), nullptr)) != 0;
    } else {
      ok = w.WriteString(a.field, a.value.c_str()) != 0;
    }
  }
  const int32_t recno = w.RecNo();
  ok = w.Flush() && ok;
  ok = w.Close() && ok;
  Wdbase::FlushSet(1);
  if (!ok) return Fail(err, "cannot append to " + table + ": " + EngineError());
  out << "appended record " << recno << "\n";
  return 0;
}

// The result of e on the current record as "TYPE LENGTH VALUE": texts and
// numbers as the engine's text (UTF-8 here), dates as CCYYMMDD, logicals as
// .T. / .F.; computed numbers and dates are shown as N and D values.
std::string ShowResult(xbase32::Expr* e) {
  const char* r = e->Evaluate();
  std::string type(1, e->type());
  std::string value;
  switch (e->type()) {
    case 'n': {
      type = "N";
      std::ostringstream s;
      s << std::setprecision(15) << e->EvaluateNumber();
      value = s.str();
      break;
    }
    case 'd': {
      type = "D";
      char date[9] = {};
      double day = 0;
      std::memcpy(&day, r, sizeof day);
      if (!xbase32::DayToDate(static_cast<int32_t>(day), date)) {
        std::memset(date, ' ', 8);
      }
      value.assign(date, 8);
      break;
    }
    case 'L':
      value = e->EvaluateLogical() ? ".T." : ".F.";
      return "L 1 " + value;
    default:
      value = Utf8(std::string(r, static_cast<size_t>(e->length())).c_str());
      return type + " " + std::to_string(e->length()) + " " + value;
  }
  return type + " " + std::to_string(value.size()) + " " + value;
}

int Expr(const std::string& table, const std::string& expr, int32_t recno,
         std::ostream& out, std::ostream& err) {
  Wdbase w;
  if (int rc = OpenTable(&w, table, err)) return rc;
  // The table is read without conversion: the expression goes to the OEM
  // page the table uses, the results come back to UTF-8.
  const std::string source = platform::Utf8ToCodePage(expr, 0);
  xbase32::DbfFile* data = WdbaseAccess::Data(&w);
  xbase32::ExprError parse_error;
  std::unique_ptr<xbase32::Expr> e =
      xbase32::Expr::Parse(data->expr_table(), source.c_str(), &parse_error);
  if (!e) {
    // The engine reports the parse error with its code and texts.
    char none[2];
    w.GetExprResult(source.c_str(), none, sizeof none);
    return Fail(err, "cannot evaluate '" + expr + "': " + EngineError());
  }
  auto one = [&]() {
    out << w.RecNo() << ": " << ShowResult(e.get()) << "\n";
    return 0;
  };
  if (recno > 0) {
    if (!w.Goto(recno)) {
      return Fail(err, "no record " + std::to_string(recno) + " in " + table);
    }
    return one();
  }
  for (int ok = w.Top(); ok; ok = w.Next()) {
    if (int rc = one()) return rc;
  }
  return 0;
}

}  // namespace xbtool
