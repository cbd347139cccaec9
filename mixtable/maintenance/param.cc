// CMixtableEx: the PARAM table's accessors. PARAM holds KEY, VALUE and
// COMMENT text fields, indexed on KEY; every accessor opens it temporarily
// and leaves it as it found it.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mixtable/mixtable_ex.h"
#include "platform/codepage.h"

namespace {

constexpr const char* kKeyField = "KEY";
constexpr const char* kValueField = "VALUE";
constexpr const char* kCommentField = "COMMENT";
// VALUE and COMMENT are read through buffers of this size.
constexpr int kReadBuffer = 1024;

std::string TrimBlanks(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

// An unsigned 32-bit decimal text; 0 for anything else or a larger value.
uint32_t ReadUnsigned(const std::string& text) {
  const std::string t = TrimBlanks(text);
  if (t.empty() || t.size() > 20 ||
      t.find_first_not_of("0123456789") != std::string::npos)
    return 0;
  errno = 0;
  const unsigned long long v = std::strtoull(t.c_str(), nullptr, 10);
  if (errno == ERANGE || v > 0xFFFFFFFFull) return 0;
  return static_cast<uint32_t>(v);
}

}  // namespace

bool CMixtableEx::SeekParam(Wdbase* db, const char* key) {
  if (!db->SelectIdx(1)) return false;
  const int width = db->FieldLen(kKeyField);
  const size_t n = std::strlen(key);
  if (width <= 0 || n > static_cast<size_t>(width)) return false;
  // The whole key, blank-padded: a longer key beginning with it is not it.
  std::string padded(key);
  padded.resize(static_cast<size_t>(width), ' ');
  if (db->Seek(padded.c_str()) != 1) return false;
  // Deleted records (a setter's failed append) do not count.
  for (;;) {
    char buf[256];
    db->ReadString(kKeyField, buf, sizeof buf, 0, 1);
    if (db->Eof() || std::strcmp(buf, key) != 0) return false;
    if (!db->Deleted()) return true;
    if (!db->Next()) return false;
  }
}

bool CMixtableEx::ReadParam(const char* key, std::string* value,
                            std::string* comment) {
  Wdbase* db = m_table.Handle(Y_PARAM);
  uint32_t state = 0;
  if (db == nullptr || !m_table.TmpOpen(db, &state)) return false;
  const bool found = SeekParam(db, key);
  if (found) {
    char buf[kReadBuffer];
    if (value) {
      db->ReadString(kValueField, buf, sizeof buf, 1, 1);
      *value = buf;
    }
    if (comment) {
      db->ReadString(kCommentField, buf, sizeof buf, 1, 1);
      *comment = buf;
    }
  }
  m_table.TmpClose(db, &state);
  return found;
}

bool CMixtableEx::WriteParam(const char* key, const char* value,
                             const char* comment, bool key_only_when_new) {
  Wdbase* db = m_table.Handle(Y_PARAM);
  uint32_t state = 0;
  if (db == nullptr || value == nullptr) return false;
  if (!m_table.TmpOpen(db, &state)) return false;
  bool ok = db->FieldLen(kValueField) >= static_cast<int>(std::strlen(value)) &&
            db->FieldLen(kKeyField) >= static_cast<int>(std::strlen(key));
  std::string note = comment ? comment : "";
  const int comment_width = db->FieldLen(kCommentField);
  if (comment_width >= 0 && note.size() > static_cast<size_t>(comment_width))
    note.resize(static_cast<size_t>(comment_width));
  bool appended = false;
  if (ok && !SeekParam(db, key)) {
    ok = db->AppendBlank() != 0;
    appended = ok;
  }
  if (ok && (appended || !key_only_when_new))
    ok = db->WriteString(kKeyField, key) != 0;
  ok = ok && db->WriteString(kValueField, value) != 0;
  ok = ok && db->WriteString(kCommentField, note.c_str()) != 0;
  // No half-written parameter stays behind.
  if (!ok && appended) db->Delete();
  m_table.TmpClose(db, &state);
  return ok;
}

bool CMixtableEx::GetParam(const char* key, std::string& value,
                           std::string& comment) {
  value.clear();
  comment.clear();
  return key != nullptr && *key != '\0' && ReadParam(key, &value, &comment);
}

bool CMixtableEx::SetParam(const char* key, const char* value,
                           const char* comment) {
  return key != nullptr && *key != '\0' &&
         WriteParam(key, value, comment, false);
}

uint32_t CMixtableEx::GetParamGdataId(bool absolute) {
  std::string v;
  if (!ReadParam(absolute ? "ABS_DATAID" : "DATAID", &v, nullptr)) return 0;
  return ReadUnsigned(v);
}

bool CMixtableEx::SetParamGdataId(const char* value, const char* comment,
                                  bool absolute) {
  return WriteParam(absolute ? "ABS_DATAID" : "DATAID", value, comment, false);
}

std::string CMixtableEx::GetParamHTMLPath() {
  std::string v;
  if (!ReadParam("HTMLPATH", &v, nullptr)) return std::string();
  return v;
}

bool CMixtableEx::SetParamHTMLPath(const char* value, const char* comment) {
  return WriteParam("HTMLPATH", value, comment, false);
}

uint32_t CMixtableEx::GetParamCodePage() {
  std::string v;
  if (!ReadParam("CODEPAGE", &v, nullptr)) return 0;
  return ReadUnsigned(v);
}

bool CMixtableEx::SetParamCodePage(uint32_t value, const char* comment) {
  return WriteParam("CODEPAGE", std::to_string(value).c_str(), comment, false);
}

uint32_t CMixtableEx::GetSystemCodePage() {
  return static_cast<uint32_t>(platform::OemCodePage());
}

bool CMixtableEx::GetParamLastCheck(std::string& value, std::string& comment) {
  value.clear();
  comment.clear();
  return ReadParam("CHECK_INFO", &value, &comment);
}

bool CMixtableEx::SetParamLastCheck(const char* value, const char* comment) {
  return WriteParam("CHECK_INFO", value, comment, false);
}

bool CMixtableEx::GetParamFrmHistoryEnabled() {
  std::string v;
  if (!ReadParam("FRM_HISTORY", &v, nullptr)) return false;
  return std::atol(v.c_str()) != 0;
}

bool CMixtableEx::SetParamFrmHistoryEnabled(bool enabled, const char* comment) {
  return WriteParam("FRM_HISTORY", enabled ? "1" : "0", comment, true);
}
