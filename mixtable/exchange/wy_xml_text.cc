// The character-set names and the escaping table.

#include "mixtable/wy_xml_text.h"

#include <cstdio>
#include <mutex>

#include "mixtable/wy_util.h"
#include "platform/codepage.h"

namespace {

struct CharSetName {
  int codepage;
  const char* name;
};

constexpr CharSetName kCharSets[] = {
    {874, "iso-8859-11"},   {932, "shift-jis"},     {936, "gb2312"},
    {949, "euc-kr"},        {950, "big5"},          {1200, "unicode"},
    {1250, "windows-1250"}, {1251, "windows-1251"}, {1253, "windows-1253"},
    {1254, "windows-1254"}, {1255, "windows-1255"}, {1256, "windows-1256"},
    {1257, "windows-1257"},
};
constexpr const char* kDefaultCharSet = "windows-1252";

const char* CharSetOf(int codepage) {
  for (const CharSetName& c : kCharSets)
    if (c.codepage == codepage) return c.name;
  return kDefaultCharSet;
}

bool IsDoubleByte(int codepage) {
  return codepage == 932 || codepage == 936 || codepage == 949 ||
         codepage == 950 || codepage == 1200;
}

// What each byte becomes in a document of the ANSI code page.
struct EscapeTable {
  std::string entry[256];
};

std::string Reference(char32_t u) {
  char buf[16];
  snprintf(buf, sizeof(buf), "&#x%x;", static_cast<unsigned>(u));
  return buf;
}

EscapeTable* BuildTable() {
  auto* t = new EscapeTable;
  int cp = platform::AnsiCodePage();
  const char* charset = CharSetOf(cp);
  for (int b = 0; b < 256; b++) {
    std::string& e = t->entry[b];
    if (b < 0x20 && b != '\t' && b != '\n' && b != '\r') {
      e.assign(1, '?');
    } else if (b == '"' || b == '&' || b == '\'' || b == '<' || b == '>') {
      e = Reference(static_cast<char32_t>(b));
    } else if (b < 0x80 || IsDoubleByte(cp)) {
      e.assign(1, static_cast<char>(b));
    } else {
      char32_t mine = platform::CodePageChar(cp, static_cast<unsigned char>(b));
      char32_t read = 0;
      bool defined = platform::CharsetByteToUnicode(
          charset, static_cast<unsigned char>(b), &read);
      if (defined && read == mine)
        e.assign(1, static_cast<char>(b));
      else
        e = Reference(mine);
    }
  }
  return t;
}

const EscapeTable& Table() {
  static std::once_flag once;
  static EscapeTable* table = nullptr;
  std::call_once(once, [] { table = BuildTable(); });
  return *table;
}

}  // namespace

const char* wy_GetXMLCharSet(int codepage) {
  const char* name = CharSetOf(codepage);
  Wy_Trace("\nwus_GetXMLCharSet() : code-page=%d CharSetId=%s", codepage, name);
  return name;
}

const char* wy_GetXMLCharSet() {
  return wy_GetXMLCharSet(platform::AnsiCodePage());
}

std::string& Wy_TranslateStringForXml(const char* text, std::string& out) {
  out.clear();
  if (text == nullptr) return out;
  const EscapeTable& t = Table();
  for (const char* p = text; *p; ++p)
    out += t.entry[static_cast<unsigned char>(*p)];
  return out;
}

std::string& Wy_TranslateStringForXml(const std::string& text,
                                      std::string& out) {
  std::string result;
  result.reserve(text.size());
  const EscapeTable& t = Table();
  for (char c : text) result += t.entry[static_cast<unsigned char>(c)];
  out = std::move(result);
  return out;
}
