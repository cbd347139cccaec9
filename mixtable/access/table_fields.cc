// Field readers of the formula-record loaders.

#include "access/table_fields.h"

#include "mixtable/quantity_format.h"

namespace mixtable_fields {

bool OnRecord(const Wdbase* db) {
  return db != nullptr && db->IsOpen(0) && db->RecNo() >= 1 && !db->Eof();
}

bool Has(const Wdbase* db, const char* field) {
  return db != nullptr && db->IsOpen(0) && db->FieldNo(field) > 0;
}

std::string Text(const Wdbase* db, const char* field, size_t max) {
  if (!Has(db, field)) return std::string();
  const char* t = db->Read(db->FieldNo(field), 1, 1);
  if (t == nullptr) return std::string();
  std::string s(t);
  if (max > 0 && s.size() > max) s.resize(max);
  return s;
}

double Number(const Wdbase* db, const char* field) {
  const std::string t = Text(db, field);
  return Wy_ReadDouble(t.data(), t.size());
}

int32_t Id(const Wdbase* db, const char* field) {
  const std::string t = Text(db, field);
  return Wy_ReadId(t.data(), t.size());
}

int Flag(const Wdbase* db, const char* field) {
  const std::string t = Text(db, field);
  if (t.empty()) return 0;
  const char c = t[0];
  if (c == 'T' || c == 't' || c == 'Y' || c == 'y') return 1;
  return Wy_ReadDouble(t.data(), t.size()) != 0.0 ? 1 : 0;
}

}  // namespace mixtable_fields
