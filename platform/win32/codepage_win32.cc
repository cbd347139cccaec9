// The code-page host on Windows (codepage_host.h): pages decoded with
// MultiByteToWideChar. A character missing from a page takes the first
// transliteration the page holds from the table of
// codepage_translit_win32.inc, the same the Linux build gets from its C
// library. The system's own best-fit mapping (WideCharToMultiByte without
// WC_NO_BEST_FIT_CHARS) is not used: its choices differ from host to host,
// and the two builds must convert text alike.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/codepage_host.h"

namespace platform::internal {

namespace {

constexpr int kUsAscii = 20127;

struct TranslitRun {
  uint32_t first;
  uint16_t count;
  uint8_t step;
  uint16_t to[3];
};

const TranslitRun kTranslit[] = {
#include "platform/win32/codepage_translit_win32.inc"
};

bool KnownPage(int number) {
  return number > 0 && number <= 65535 &&
         IsValidCodePage(static_cast<UINT>(number)) != 0;
}

// The character byte b stands for in page number, or false when the page
// leaves it undefined. Windows decodes some undefined bytes of its own
// pages (0x81 in 1252) as the C1 control of the same number: that is an
// undefined byte too.
bool DecodeByte(int number, unsigned char b, char32_t* u) {
  char in = static_cast<char>(b);
  wchar_t w[2];
  int n = MultiByteToWideChar(static_cast<UINT>(number), MB_ERR_INVALID_CHARS,
                              &in, 1, w, 2);
  if (n != 1) return false;
  *u = static_cast<char32_t>(w[0]);
  return true;
}

// The transliteration of u the page holds, or 0.
int TranslitFromTable(char32_t u, const PageEncodeMap& page_bytes) {
  const TranslitRun* end = kTranslit + sizeof(kTranslit) / sizeof(kTranslit[0]);
  const TranslitRun* run = std::upper_bound(
      kTranslit, end, u,
      [](char32_t v, const TranslitRun& r) { return v < r.first; });
  if (run == kTranslit) return 0;
  --run;
  const uint32_t i = static_cast<uint32_t>(u) - run->first;
  if (i >= run->count) return 0;
  for (uint16_t cand : run->to) {
    if (cand == 0) break;
    auto it = page_bytes.find(static_cast<char32_t>(cand + i * run->step));
    if (it != page_bytes.end()) return it->second;
  }
  return 0;
}

// The code page of a character-set name as XML declarations carry it, or
// 0. *iso is set for the ISO 8859 sets, whose bytes 0x80..0x9F are the C1
// controls.
int CharsetPage(const char* charset, bool* iso) {
  std::string name;
  for (const char* p = charset; *p != '\0'; ++p) {
    char c = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
    if (c != '-' && c != '_') name += c;
  }
  *iso = false;
  auto number_after = [&](const char* prefix) {
    const size_t n = std::strlen(prefix);
    if (name.compare(0, n, prefix) != 0 || name.size() == n) return 0L;
    char* end = nullptr;
    long v = strtol(name.c_str() + n, &end, 10);
    return *end == '\0' ? v : 0L;
  };
  if (long v = number_after("iso8859"); v > 0) {
    *iso = true;
    if (v == 11) return 874;  // Thai: 874 adds only the 0x80..0x9F row
    return v <= 16 ? static_cast<int>(28590 + v) : 0;
  }
  if (name == "latin1") return (*iso = true), 28591;
  if (name == "usascii" || name == "ascii") return kUsAscii;
  if (name == "koi8r") return 20866;
  if (name == "koi8u") return 21866;
  for (const char* prefix : {"windows", "cp", "ibm"}) {
    if (long v = number_after(prefix); v > 0 && v <= 65535) {
      return static_cast<int>(v);
    }
  }
  return 0;
}

}  // namespace

bool HostKnowsPage(int number) { return KnownPage(number); }

// The host's private-use fillers for undefined bytes count as undefined too.
bool HostDecodeByte(int number, unsigned char b, char32_t* u) {
  char32_t d = 0;
  if (!DecodeByte(number, b, &d) || (d >= 0xE000 && d <= 0xF8FF)) return false;
  *u = d;
  return true;
}

int HostTransliterate(int, char32_t u, const PageEncodeMap& page_bytes) {
  return TranslitFromTable(u, page_bytes);
}

bool HostCharsetByteToUnicode(const char* charset, unsigned char b,
                              char32_t* u) {
  bool iso = false;
  const int number = CharsetPage(charset, &iso);
  if (number == 0 || !KnownPage(number)) return false;
  if (number == kUsAscii && b >= 0x80) return false;  // the host drops bit 7
  if (b < 0x80 || (iso && b < 0xA0)) {
    *u = b;
    return true;
  }
  char32_t d = 0;
  if (!DecodeByte(number, b, &d)) return false;
  // A C1 control standing for its own byte is an undefined byte (outside
  // the ISO sets, handled above), and so is the host's private-use filler.
  if ((d == b && b < 0xA0) || (d >= 0xE000 && d <= 0xF8FF)) return false;
  *u = d;
  return true;
}

}  // namespace platform::internal
