// The dispenser-slave message tables and the texts of dispenser errors.

#include <cstdio>
#include <cstring>
#include <string>

#include "mixtable/wy_catalog.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"

int Wy_SetSlaveMsgDbHandle(Wdbase* db, const std::string* language,
                           bool /*own_module*/) {
  if (db == nullptr) return 0;
  platform::Env* env = platform::Env::Current();
  std::string dir = env->ProgramPath();
  Wy_GetFilePath(dir);
  dir += "MSGSLAVE\\";
  if (!env->FileExists(dir)) dir = "c:\\wuser\\kalvodspserver17\\MSGSLAVE\\";
  std::string name = language && !language->empty() ? *language : "ENGLISH";
  if (name.size() > 15) name.resize(15);
  if (name.find_first_of("\\/:") != std::string::npos ||
      !env->FileExists(dir + name + ".dbf"))
    name = "ENGLISH";
  const char* names[] = {name.c_str()};
  const char* exprs[] = {"ID+PROG"};
  return db->SetFiles(dir.c_str(), name.c_str(), 1, names, exprs);
}

namespace {

std::string MessageText(int32_t code, Wdbase* table) {
  if (table == nullptr || !table->IsOpen(0)) return std::string();
  char key[16];
  std::snprintf(key, sizeof key, "%5ld", static_cast<long>(code));
  if (!table->SelectIdx(1) || table->Seek(key) != 1) return std::string();
  char buf[127];
  // Right-trimmed: a blank-padded field is no text.
  if (!table->ReadString("STRING", buf, sizeof buf, 0, 1)) return std::string();
  return buf;
}

std::string TrimBlanks(const std::string& s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::string WithNumber(const std::string& text, int32_t number) {
  char n[32];
  std::snprintf(n, sizeof n, " N. %3d", static_cast<int>(number));
  return TrimBlanks(text) + n;
}

const char* Format(char* buf, size_t size, int32_t code, const char* prefix,
                   std::string text, const char* fallback) {
  if (text.empty() && fallback != nullptr)
    text = std::string(fallback, strnlen(fallback, 81));
  if (prefix != nullptr)
    std::snprintf(buf, size, "%04X%s%s", static_cast<unsigned>(code), prefix,
                  text.c_str());
  else
    std::snprintf(buf, size, "%04X\t (%d) %s", static_cast<unsigned>(code),
                  static_cast<int>(code), text.c_str());
  return buf;
}

}  // namespace

const char* Wy_GetHwErrorString(int32_t code, int32_t number, Wdbase* table,
                                const char* prefix, const char* fallback) {
  static char buf[512];
  std::string text = MessageText(code, table);
  if (number > 0) text = WithNumber(text, number);
  return Format(buf, sizeof buf, code, prefix, text, fallback);
}

const char* Wy_GetHwErrorString(bool split, int32_t code, Wdbase* table,
                                const char* prefix, const char* fallback,
                                int32_t* high, int32_t* low) {
  static char buf[512];
  std::string text;
  if (split) {
    const int32_t hi = (code & 0xFF00) < 0x8000 ? (code & 0xFF00) : -1;
    const int32_t lo = hi == -1 ? 0 : (code & 0xFF);
    if (high) *high = hi;
    if (low) *low = lo;
    if (hi > 0)
      text = WithNumber(MessageText(hi, table), lo);
    else
      text = MessageText(code, table);
  } else {
    text = MessageText(code, table);
  }
  return Format(buf, sizeof buf, code, prefix, text, fallback);
}
