// Table lookups shared by the resolution and the freezing of formulas.

#include "formula/hformula_lookup.h"

#include <cctype>
#include <cstdio>
#include <string>

#include "access/table_fields.h"
#include "mixtable/mixtable.h"
#include "mixtable/quantity_format.h"
#include "mixtable/ytable.h"

namespace mf = mixtable_fields;

namespace hformula_internal {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// The unique id among the live records whose trimmed field equals name;
// *recno receives the first such record. 0 when none or several ids.
int32_t MatchField(Wdbase* db, const char* field, const std::string& name,
                   int32_t* recno) {
  if (!mf::Has(db, field)) return 0;
  int32_t found = 0;
  *recno = 0;
  for (int ok = db->Top(); ok && !db->Eof(); ok = db->Next()) {
    if (db->Deleted()) continue;
    if (!EqualNoCase(Trim(mf::Text(db, field)), name)) continue;
    const int32_t id = mf::Id(db, "ID");
    if (*recno == 0) {
      found = id;
      *recno = db->RecNo();
    } else if (id != found) {
      return 0;
    }
  }
  return found;
}

}  // namespace

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

int32_t LookupByName(Wdbase* db, const char* name) {
  if (db == nullptr || !db->IsOpen(0) || name == nullptr) return 0;
  const std::string wanted = Trim(name);
  if (wanted.empty()) return 0;
  const int selected = db->SelectedIdx();
  db->SelectIdx(0);
  int32_t id = 0, recno = 0;
  for (const char* field : {"DESCR", "CODE"}) {
    id = MatchField(db, field, wanted, &recno);
    if (id != 0) break;
  }
  db->SelectIdx(selected);
  if (id == 0 || !db->Goto(recno)) return 0;
  return id;
}

std::string ColorKeyText(const Wdbase* db) {
  if (!mf::OnRecord(db)) return std::string();
  std::string text;
  for (const char* field : {"KEY1", "KEY2", "KEY3", "COMMENT"}) {
    text += Trim(mf::Text(db, field, kColorKeyWidth));
    text += '|';
  }
  return text;
}

int ReadReflFromTable(Wdbase* refl, int32_t frm_id, double* rfl) {
  if (refl == nullptr || !refl->IsOpen(0) || frm_id <= 0 || rfl == nullptr)
    return 0;
  char key[16];
  std::snprintf(key, sizeof key, "%5ld", static_cast<long>(frm_id));
  const int selected = refl->SelectedIdx();
  int found = 0;
  if (refl->SelectIdx(1) && refl->Seek(key) == 1 && mf::OnRecord(refl)) {
    found = 1;
    for (int i = 0; i < kReflValues; ++i) {
      char field[16];
      std::snprintf(field, sizeof field, "R_%3d", 400 + 20 * i);
      rfl[i] = mf::Number(refl, field) * 0.01;
    }
  }
  // Putting the index back keeps the record the search found.
  refl->SelectIdx(selected);
  return found;
}

int ParseReflText(const std::string& text, double* rfl) {
  for (int i = 0; i < kReflValues; ++i) rfl[i] = 0.0;
  int n = 0;
  size_t pos = 0;
  while (n < kReflValues && pos <= text.size()) {
    size_t end = text.find(';', pos);
    if (end == std::string::npos) end = text.size();
    const std::string item = Trim(text.substr(pos, end - pos));
    if (item.empty() && end == text.size()) break;
    rfl[n++] = Wy_ReadDouble(item.data(), item.size()) * 0.01;
    pos = end + 1;
  }
  return n;
}

int ReadReflFromText(const Wdbase* rec, double* rfl) {
  if (rfl == nullptr || !mf::OnRecord(rec) || !mf::Has(rec, "FRM_REFL"))
    return 0;
  ParseReflText(mf::Text(rec, "FRM_REFL", kReflTextWidth), rfl);
  return 1;
}

CloseAllOnExit::~CloseAllOnExit() {
  if (tables_ != nullptr) tables_->CloseAll();
}

CloseOnExit::~CloseOnExit() {
  if (tables_ == nullptr) return;
  Wdbase* db = tables_->Handle(table_);
  if (db != nullptr && db->IsOpen(0)) db->Close();
  // The formula table brings its ruler with it.
  if (table_ == Y_FRM) {
    Wdbase* ruler = tables_->Handle(Y_RULER);
    if (ruler != nullptr && ruler->IsOpen(0)) ruler->Close();
  }
}

}  // namespace hformula_internal
