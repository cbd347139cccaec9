// Wdbase: field information and conversions between field bytes and values.

#include <cctype>
#include <cstring>
#include <string>

#include "dbf_file.h"
#include "dbf_format.h"
#include "engine.h"
#include "engine_error.h"
#include "expr/day_number.h"
#include "expr/number_format.h"
#include "platform/codepage.h"
#include "xbase32/wdbase.h"

using xbase32::DbfFile;
using xbase32::FieldDesc;

namespace {

// The buffer behind Read, shared by all objects.
std::string g_read_buffer;

bool IsTrimmed(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0';
}

const FieldDesc* Field(const DbfFile* d, int k) {
  if (d == nullptr || k < 1 || k > d->field_count()) return nullptr;
  return &d->field(k);
}

// Field text trimmed as asked, as [begin, end) inside the record buffer.
void FieldText(const DbfFile* d, const FieldDesc& f, int ltrim, int rtrim,
               const char** begin, const char** end) {
  const char* b = d->record() + f.offset;
  const char* e = b + f.width;
  if (ltrim) {
    while (b < e && IsTrimmed(*b)) ++b;
  }
  if (rtrim) {
    while (e > b && IsTrimmed(e[-1])) --e;
  }
  *begin = b;
  *end = e;
}

// Whether any byte needs a code-page conversion (bytes below 0x80 never do).
bool HasHighBytes(const char* p, size_t n) {
  uint64_t any = 0;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, sizeof word);
    any |= word;
  }
  for (; i < n; ++i) any |= static_cast<unsigned char>(p[i]);
  return (any & 0x8080808080808080ULL) != 0;
}

bool AcceptsTrue(char c) {
  return c == 'y' || c == 'Y' || c == 't' || c == 'T' || c == '1';
}

}  // namespace

int Wdbase::FieldByName(const char* field) const {
  if (!data_ || field == nullptr) return 0;
  const int k = FieldNo(field);
  if (k == 0 && xbase32::Config().debug_level > 0 &&
      xbase32::Config().field_name_errors) {
    xbase32::ReportError(xbase32::kErrFieldName, field);
  }
  return k;
}

int Wdbase::FieldCount() const { return data_ ? data_->field_count() : 0; }

int Wdbase::FieldNo(const char* name) const {
  if (!data_ || name == nullptr) return 0;
  std::string n = name;
  while (!n.empty() && std::isspace(static_cast<unsigned char>(n.back())))
    n.pop_back();
  size_t b = 0;
  while (b < n.size() && std::isspace(static_cast<unsigned char>(n[b]))) ++b;
  n.erase(0, b);
  for (char& c : n)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return data_->FindField(n);
}

int Wdbase::FieldInfo(int k, char* name, char* type, int* len, int* dec) const {
  const FieldDesc* f = Field(data_, k);
  if (name) name[0] = '\0';
  if (type) *type = ' ';
  if (len) *len = 0;
  if (dec) *dec = 0;
  if (!f) return 0;
  if (name) {
    std::strncpy(name, f->name.c_str(), 10);
    name[10] = '\0';
  }
  if (type) *type = f->type == 'F' ? 'N' : f->type;
  if (len) *len = f->width;
  if (dec) *dec = f->dec;
  return 1;
}

int Wdbase::FieldInfo(const char* field, char* type, int* len, int* dec) const {
  return FieldInfo(FieldByName(field), nullptr, type, len, dec);
}

char Wdbase::FieldType(int k) const {
  const FieldDesc* f = Field(data_, k);
  if (!f) return ' ';
  return f->type == 'F' ? 'N' : f->type;
}
char Wdbase::FieldType(const char* field) const {
  return FieldType(FieldByName(field));
}

int Wdbase::FieldLen(int k) const {
  const FieldDesc* f = Field(data_, k);
  return f ? f->width : 0;
}
int Wdbase::FieldLen(const char* field) const {
  return FieldLen(FieldByName(field));
}

int Wdbase::FieldDec(int k) const {
  const FieldDesc* f = Field(data_, k);
  return f ? f->dec : 0;
}
int Wdbase::FieldDec(const char* field) const {
  return FieldDec(FieldByName(field));
}

const char* Wdbase::Read(int k, int ltrim, int rtrim) const {
  const FieldDesc* f = Field(data_, k);
  if (!f) return nullptr;
  const char* b;
  const char* e;
  FieldText(data_, *f, ltrim, rtrim, &b, &e);
  g_read_buffer.assign(b, e);
  return g_read_buffer.c_str();
}
const char* Wdbase::Read(const char* field, int ltrim, int rtrim) const {
  return Read(FieldByName(field), ltrim, rtrim);
}

int Wdbase::ReadString(int k, char* buf, int size, int ltrim, int rtrim) const {
  if (buf == nullptr || size <= 0) return 0;
  std::memset(buf, 0, size);
  const FieldDesc* f = Field(data_, k);
  if (!f) return 0;
  const char* b;
  const char* e;
  FieldText(data_, *f, ltrim, rtrim, &b, &e);
  size_t n = static_cast<size_t>(e - b);
  if (n > static_cast<size_t>(size - 1)) n = size - 1;
  std::memcpy(buf, b, n);
  if (mode_ == Wdbase_OEMtoChar_On && HasHighBytes(buf, n)) {
    platform::OemToAnsi(buf, n);
  }
  return 1;
}
int Wdbase::ReadString(const char* field, char* buf, int size, int ltrim,
                       int rtrim) const {
  if (buf && size > 0) buf[0] = '\0';
  return ReadString(FieldByName(field), buf, size, ltrim, rtrim);
}

int Wdbase::ReadBool(int k) const {
  const FieldDesc* f = Field(data_, k);
  if (!f || f->width < 1) return 0;
  const char c = static_cast<char>(
      std::toupper(static_cast<unsigned char>(data_->record()[f->offset])));
  return c == 'Y' || c == 'T';
}
int Wdbase::ReadBool(const char* field) const {
  return ReadBool(FieldByName(field));
}

// The first byte of the field; a text character comes back in the ANSI
// code page (mode 0), as WriteChar took it and ReadString gives it.
char Wdbase::ReadChar(int k) const {
  const FieldDesc* f = Field(data_, k);
  if (!f || f->width < 1) return ' ';
  char c = data_->record()[f->offset];
  if (f->type == 'C' && mode_ == Wdbase_OEMtoChar_On) {
    platform::OemToAnsi(&c, 1);
  }
  return c;
}
char Wdbase::ReadChar(const char* field) const {
  return ReadChar(FieldByName(field));
}

int32_t Wdbase::ReadLong(int k) const {
  const FieldDesc* f = Field(data_, k);
  if (!f) return 0;
  const char* p = data_->record() + f->offset;
  if (f->type == 'D' && f->width >= 8) return xbase32::DateToDay(p);
  return xbase32::ParseInt32(p, f->width);
}
int32_t Wdbase::ReadLong(const char* field) const {
  return ReadLong(FieldByName(field));
}
int Wdbase::ReadInt(int k) const { return ReadLong(k); }
int Wdbase::ReadInt(const char* field) const { return ReadLong(field); }

double Wdbase::ReadDouble(int k) const {
  const FieldDesc* f = Field(data_, k);
  if (!f) return 0;
  const char* p = data_->record() + f->offset;
  if (f->type == 'D' && f->width >= 8) return xbase32::DateToDay(p);
  return xbase32::ParseDouble(p, static_cast<size_t>(f->width));
}
double Wdbase::ReadDouble(const char* field) const {
  return ReadDouble(FieldByName(field));
}
float Wdbase::ReadFloat(int k) const {
  return static_cast<float>(ReadDouble(k));
}
float Wdbase::ReadFloat(const char* field) const {
  return static_cast<float>(ReadDouble(field));
}

// --- writing -----------------------------------------------------------------

namespace {

// The field to write, or null when the table is closed, the field invalid
// or no record is current.
char* Writable(DbfFile* d, int k, const FieldDesc** out) {
  const FieldDesc* f = Field(d, k);
  if (!f || d->eof() || d->recno() <= 0) return nullptr;
  *out = f;
  return d->record() + f->offset;
}

void StoreLogical(char* p, bool v) { *p = v ? 'T' : 'F'; }

}  // namespace

int Wdbase::AfterWrite() {
  data_->MarkChanged();
  if (xbase32::Config().auto_flush) return Flush();
  return 1;
}

int Wdbase::WriteString(int k, const char* text) {
  if (!Ready() || text == nullptr) return 0;
  const FieldDesc* f;
  char* p = Writable(data_, k, &f);
  if (!p) return 0;
  if (f->type != 'C' && f->type != 'D' && f->type != 'L') return 0;
  if (mode_ == Wdbase_OEMtoChar_On && *text == '\0') return 1;
  if (f->type == 'L') {
    StoreLogical(p, AcceptsTrue(*text));
    return AfterWrite();
  }
  const size_t n = std::min<size_t>(std::strlen(text), f->width);
  std::memset(p, ' ', f->width);
  std::memcpy(p, text, n);
  if (mode_ == Wdbase_OEMtoChar_On) platform::AnsiToOem(p, n);
  return AfterWrite();
}
int Wdbase::WriteString(const char* field, const char* text) {
  return WriteString(FieldByName(field), text);
}

int Wdbase::WriteChar(int k, char c) {
  if (!Ready()) return 0;
  const FieldDesc* f;
  char* p = Writable(data_, k, &f);
  if (!p) return 0;
  if (f->type == 'C') {
    std::memset(p, ' ', f->width);
    p[0] = c;
    if (mode_ == Wdbase_OEMtoChar_On) platform::AnsiToOem(p, 1);
  } else if (f->type == 'L') {
    StoreLogical(p, AcceptsTrue(c));
  } else {
    return 0;
  }
  return AfterWrite();
}
int Wdbase::WriteChar(const char* field, char c) {
  return WriteChar(FieldByName(field), c);
}

int Wdbase::WriteLong(int k, int32_t v) {
  if (!Ready()) return 0;
  const FieldDesc* f;
  char* p = Writable(data_, k, &f);
  if (!p) return 0;
  switch (f->type) {
    case 'C':
    case 'N':
    case 'F':
      if (f->dec > 0) {
        xbase32::FormatNumber(v, f->width, f->dec, p);
      } else {
        xbase32::FormatInteger(v, f->width, p);
      }
      break;
    case 'L':
      StoreLogical(p, v != 0);
      break;
    default:
      return 0;
  }
  return AfterWrite();
}
int Wdbase::WriteLong(const char* field, int32_t v) {
  return WriteLong(FieldByName(field), v);
}
int Wdbase::WriteInt(int k, int v) { return WriteLong(k, v); }
int Wdbase::WriteInt(const char* field, int v) { return WriteLong(field, v); }

int Wdbase::WriteDouble(int k, double v) {
  if (!Ready()) return 0;
  const FieldDesc* f;
  char* p = Writable(data_, k, &f);
  if (!p) return 0;
  if (f->type != 'N' && f->type != 'F') return 0;
  xbase32::FormatNumber(v, f->width, f->dec, p);
  return AfterWrite();
}
int Wdbase::WriteDouble(const char* field, double v) {
  return WriteDouble(FieldByName(field), v);
}
int Wdbase::WriteFloat(int k, float v) { return WriteDouble(k, v); }
int Wdbase::WriteFloat(const char* field, float v) {
  return WriteDouble(field, v);
}
