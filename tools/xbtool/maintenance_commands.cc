// xbtool's maintenance commands: pack, zap, memo texts, adding and removing
// fields, and copying a table into another structure.

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "command_util.h"
#include "commands.h"
#include "platform/codepage.h"
#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace xbtool {
namespace {

// Opens table, with the one index file index when given.
int Open(Wdbase* w, const std::string& table, const std::string& index,
         std::ostream& err) {
  if (!index.empty()) return OpenIndexed(w, table, index, err);
  w->SetOEMConversionMode(Wdbase_OEMtoChar_Off);
  if (!w->SetFiles(nullptr, table.c_str(), 0, nullptr, nullptr)) {
    return Fail(err, "bad table name (8.3 names only): " + table);
  }
  if (!w->Open()) {
    return Fail(err, "cannot open " + table + ": " + EngineError());
  }
  return 0;
}

// "NAME:TYPE[:LEN[:DEC]]" (C, N and F need a length).
bool ParseFieldText(const std::string& field_text, WDBASE_FIELD* f,
                    std::string* why) {
  std::vector<std::string> p;
  for (size_t start = 0;;) {
    const size_t colon = field_text.find(':', start);
    p.push_back(field_text.substr(start, colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  auto number = [](const std::string& s, int* v) {
    char* end = nullptr;
    const long x = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || x < 0 || x > 65535) return false;
    *v = static_cast<int>(x);
    return true;
  };
  int len = 0, dec = 0;
  if (p.size() < 2 || p.size() > 4 || p[0].empty() || p[0].size() > 10 ||
      p[1].size() != 1 || (p.size() > 2 && !number(p[2], &len)) ||
      (p.size() > 3 && !number(p[3], &dec))) {
    *why = "bad field description '" + field_text + "' (NAME:TYPE[:LEN[:DEC]])";
    return false;
  }
  const char type =
      static_cast<char>(std::toupper(static_cast<unsigned char>(p[1][0])));
  if ((type == 'C' || type == 'N' || type == 'F') && p.size() < 3) {
    *why = "field '" + p[0] + "' needs a length";
    return false;
  }
  *f = WDBASE_FIELD{};
  for (size_t i = 0; i < p[0].size(); ++i) {
    f->name[i] =
        static_cast<char>(std::toupper(static_cast<unsigned char>(p[0][i])));
  }
  f->type = type;
  f->len = static_cast<int16_t>(len);
  f->dec = static_cast<int16_t>(dec);
  return true;
}

}  // namespace

int Pack(const std::string& table, const std::string& index, std::ostream& out,
         std::ostream& err) {
  Wdbase w;
  if (int rc = Open(&w, table, index, err)) return rc;
  const int32_t before = w.RecCount();
  if (!w.Pack())
    return Fail(err, "cannot pack " + table + ": " + EngineError());
  out << "packed " << table << ": " << w.RecCount() << " of " << before
      << " records kept\n";
  return w.Close() ? 0 : Fail(err, "cannot close " + table);
}

int Zap(const std::string& table, bool range, int32_t from, int32_t to,
        const std::string& index, std::ostream& out, std::ostream& err) {
  Wdbase w;
  if (int rc = Open(&w, table, index, err)) return rc;
  const int32_t before = w.RecCount();
  const int ok = range ? w.Zap(from, to) : w.Zap();
  if (!ok) return Fail(err, "cannot zap " + table + ": " + EngineError());
  out << "zapped " << table << ": " << (before - w.RecCount())
      << " records removed, " << w.RecCount() << " left\n";
  return w.Close() ? 0 : Fail(err, "cannot close " + table);
}

int Memo(const std::string& table, int32_t recno, const std::string& field,
         const std::string* set, std::ostream& out, std::ostream& err) {
  Wdbase w;
  if (int rc = Open(&w, table, "", err)) return rc;
  const int k = w.FieldNo(field.c_str());
  if (k == 0) return Fail(err, "no field " + field + " in " + table);
  const char type = w.FieldType(k);
  if (type != 'M' && type != 'G') {
    return Fail(err, "field " + field + " is no memo field");
  }
  if (!w.Goto(recno)) {
    return Fail(err, "no record " + std::to_string(recno) + " in " + table);
  }
  if (set != nullptr) {
    const std::string text = platform::Utf8ToCodePage(*set, 0);
    if (!w.MemoWrite(k, text.data(), static_cast<unsigned>(text.size()))) {
      return Fail(err, "cannot write the text: " + EngineError());
    }
  }
  const char* text = w.MemoPtr(k);
  if (text == nullptr) return Fail(err, "cannot read the text");
  out << platform::CodePageToUtf8(std::string(text, w.MemoLen(k)), 0);
  if (w.MemoLen(k) > 0) out << "\n";
  return w.Close() ? 0 : Fail(err, "cannot close " + table);
}

int AddField(const std::string& table, int pos, const std::string& field_text,
             std::ostream& out, std::ostream& err) {
  WDBASE_FIELD f;
  std::string why;
  if (!ParseFieldText(field_text, &f, &why)) return Fail(err, why);
  // Dates, logicals and memos have fixed widths.
  if (f.len == 0) f.len = f.type == 'D' ? 8 : f.type == 'M' ? 10 : 1;
  Wdbase w;
  if (int rc = Open(&w, table, "", err)) return rc;
  if (w.FieldNo(f.name) != 0) {
    return Fail(err, std::string("field ") + f.name + " exists already");
  }
  if (!w.FieldAdd(pos, f.name, f.type, f.len, f.dec)) {
    return Fail(err, "cannot add " + field_text + ": " + EngineError());
  }
  out << "added " << f.name << " as field " << w.FieldNo(f.name) << " of "
      << w.FieldCount() << "\n";
  return w.Close() ? 0 : Fail(err, "cannot close " + table);
}

int RemoveField(const std::string& table, int pos, std::ostream& out,
                std::ostream& err) {
  Wdbase w;
  if (int rc = Open(&w, table, "", err)) return rc;
  char name[11] = "";
  if (!w.FieldInfo(pos, name, nullptr, nullptr, nullptr)) {
    return Fail(err, "no field " + std::to_string(pos) + " in " + table);
  }
  if (!w.FieldRemove(pos)) {
    return Fail(err,
                std::string("cannot remove ") + name + ": " + EngineError());
  }
  out << "removed " << name << ", " << w.FieldCount() << " fields left\n";
  return w.Close() ? 0 : Fail(err, "cannot close " + table);
}

int Copy(const std::string& src, const std::string& dst,
         const std::vector<std::string>& fields_text, std::ostream& out,
         std::ostream& err) {
  Wdbase s;
  if (int rc = Open(&s, src, "", err)) return rc;
  Wdbase d;
  d.SetOEMConversionMode(Wdbase_OEMtoChar_Off);
  if (!d.SetFiles(nullptr, dst.c_str(), 0, nullptr, nullptr)) {
    return Fail(err, "bad table name (8.3 names only): " + dst);
  }
  if (!d.Access(0)) {
    std::vector<WDBASE_FIELD> fields;
    std::string why;
    for (const std::string& field_text : fields_text) {
      WDBASE_FIELD f;
      if (!ParseFieldText(field_text, &f, &why)) return Fail(err, why);
      fields.push_back(f);
    }
    for (int k = 1; fields_text.empty() && k <= s.FieldCount(); ++k) {
      WDBASE_FIELD f{};
      int len = 0, dec = 0;
      s.FieldInfo(k, f.name, &f.type, &len, &dec);
      f.len = static_cast<int16_t>(len);
      f.dec = static_cast<int16_t>(dec);
      fields.push_back(f);
    }
    fields.push_back(WDBASE_FIELD{});
    if (!d.CreateDb(fields.data())) {
      return Fail(err, "cannot create " + dst + ": " + EngineError());
    }
  } else if (!fields_text.empty()) {
    return Fail(err, dst + " exists: its own fields are used, give none");
  }
  if (!d.Open()) return Fail(err, "cannot open " + dst + ": " + EngineError());
  const int32_t before = d.RecCount();
  if (!WdbaseCopyUpdateDb(&s, &d, nullptr, nullptr)) {
    return Fail(err,
                "cannot copy " + src + " to " + dst + ": " + EngineError());
  }
  out << "copied " << (d.RecCount() - before) << " records from " << src
      << " to " << dst << "\n";
  return d.Close() && s.Close() ? 0 : Fail(err, "cannot close the tables");
}

}  // namespace xbtool
