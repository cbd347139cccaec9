// Code-page tables. Each single-byte page gets a decode table (byte to
// Unicode) and an encode map (Unicode to byte), both read from the host
// once (codepage_host.h); the OEM/ANSI tables are built from them. A
// character missing from the target page takes the host's transliteration
// (one byte only), then a small best-fit for box-drawing characters, else
// becomes "?".
//
// Bytes a page leaves undefined (0x81 in 1252, for instance) decode to the
// control character of the same number, as the original system did, so they
// survive a round trip.

#include "platform/codepage.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/codepage_host.h"

namespace platform {

namespace {

constexpr int kDefaultOem = 850;
constexpr int kDefaultAnsi = 1252;

struct Page {
  int number = 0;
  bool known = false;  // the host converts this page
  char32_t to_uni[256];
  internal::PageEncodeMap from_uni;
};

std::unique_ptr<Page> BuildPage(int number) {
  auto p = std::make_unique<Page>();
  p->number = number;
  p->known = internal::HostKnowsPage(number);
  for (int b = 0; b < 256; b++) {
    char32_t u = static_cast<char32_t>(b);
    char32_t d = 0;
    if (b >= 0x80 && p->known &&
        internal::HostDecodeByte(number, static_cast<unsigned char>(b), &d)) {
      u = d;
    }
    p->to_uni[b] = u;
    p->from_uni.emplace(u, static_cast<unsigned char>(b));
  }
  return p;
}

// Page tables by number, built on first use and kept for the process.
const Page& GetPage(int number) {
  static std::mutex mu;
  static std::map<int, std::unique_ptr<Page>>* pages =
      new std::map<int, std::unique_ptr<Page>>;
  std::lock_guard<std::mutex> lock(mu);
  auto& slot = (*pages)[number];
  if (!slot) slot = BuildPage(number);
  return *slot;
}

char BestFitBox(char32_t u) {
  if (u < 0x2500 || u > 0x257F) return '?';
  switch (u) {
    case 0x2500:
    case 0x2501:
    case 0x2504:
    case 0x2505:
    case 0x2508:
    case 0x2509:
    case 0x254C:
    case 0x254D:
      return '-';
    case 0x2550:
      return '=';
    case 0x2502:
    case 0x2503:
    case 0x2506:
    case 0x2507:
    case 0x250A:
    case 0x250B:
    case 0x254E:
    case 0x254F:
    case 0x2551:
      return '|';
    default:
      return '+';
  }
}

char Encode(const Page& page, char32_t u) {
  auto it = page.from_uni.find(u);
  if (it != page.from_uni.end()) return static_cast<char>(it->second);
  if (page.known) {
    const int b = internal::HostTransliterate(page.number, u, page.from_uni);
    if (b != 0 && b != '?') return static_cast<char>(b);
  }
  return BestFitBox(u);
}

int PageFromEnv(const char* var, int fallback) {
  const char* v = getenv(var);
  if (v == nullptr || *v == '\0') return fallback;
  char* end = nullptr;
  long n = strtol(v, &end, 10);
  if (*end != '\0' || n <= 0 || n > 65535) return fallback;
  // A page the host does not know is no use: keep the default.
  if (!internal::HostKnowsPage(static_cast<int>(n))) return fallback;
  return static_cast<int>(n);
}

struct Tables {
  int oem = kDefaultOem;
  int ansi = kDefaultAnsi;
  unsigned char oem_to_ansi[256];
  unsigned char ansi_to_oem[256];
};

const Tables& GetTables() {
  static const Tables* tables = [] {
    auto* t = new Tables;
    t->oem = PageFromEnv("KALVO_OEMCP", kDefaultOem);
    t->ansi = PageFromEnv("KALVO_ANSICP", kDefaultAnsi);
    const Page& oem = GetPage(t->oem);
    const Page& ansi = GetPage(t->ansi);
    for (int b = 0; b < 256; b++) {
      if (b < 0x80) {
        t->oem_to_ansi[b] = t->ansi_to_oem[b] = static_cast<unsigned char>(b);
        continue;
      }
      t->oem_to_ansi[b] =
          static_cast<unsigned char>(Encode(ansi, oem.to_uni[b]));
      t->ansi_to_oem[b] =
          static_cast<unsigned char>(Encode(oem, ansi.to_uni[b]));
    }
    return t;
  }();
  return *tables;
}

void Map(const unsigned char* table, char* buf, size_t n) {
  // Bytes below 0x80 never change: skip ASCII runs eight bytes at a time.
  size_t i = 0;
  while (i < n) {
    if (i + 8 <= n) {
      uint64_t word;
      std::memcpy(&word, buf + i, sizeof word);
      if ((word & 0x8080808080808080ULL) == 0) {
        i += 8;
        continue;
      }
    }
    const unsigned char c = static_cast<unsigned char>(buf[i]);
    if (c >= 0x80) buf[i] = static_cast<char>(table[c]);
    ++i;
  }
}

// Decodes one UTF-8 character at s[*i] and advances *i; an invalid sequence
// yields U+FFFD and consumes one byte.
char32_t NextUtf8(const std::string& s, size_t* i) {
  unsigned char c = static_cast<unsigned char>(s[*i]);
  int len = c < 0x80         ? 1
            : (c >> 5) == 6  ? 2
            : (c >> 4) == 14 ? 3
            : (c >> 3) == 30 ? 4
                             : 0;
  if (len == 0 || *i + len > s.size()) {
    (*i)++;
    return c < 0x80 ? c : 0xFFFD;
  }
  char32_t u = len == 1 ? c : c & (0x7F >> len);
  for (int k = 1; k < len; k++) {
    unsigned char d = static_cast<unsigned char>(s[*i + k]);
    if ((d & 0xC0) != 0x80) {
      (*i)++;
      return 0xFFFD;
    }
    u = (u << 6) | (d & 0x3F);
  }
  static const char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (u < kMin[len] || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) {
    (*i)++;
    return 0xFFFD;
  }
  *i += len;
  return u;
}

}  // namespace

void AppendUtf8(char32_t u, std::string* out) {
  if (u < 0x80) {
    out->push_back(static_cast<char>(u));
  } else if (u < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (u >> 6)));
    out->push_back(static_cast<char>(0x80 | (u & 0x3F)));
  } else if (u < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (u >> 12)));
    out->push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (u & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (u >> 18)));
    out->push_back(static_cast<char>(0x80 | ((u >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (u & 0x3F)));
  }
}

int OemCodePage() { return GetTables().oem; }
int AnsiCodePage() { return GetTables().ansi; }

void OemToAnsi(char* buf, size_t n) { Map(GetTables().oem_to_ansi, buf, n); }
void AnsiToOem(char* buf, size_t n) { Map(GetTables().ansi_to_oem, buf, n); }

std::string OemToAnsi(const std::string& s) {
  std::string out = s;
  OemToAnsi(out.data(), out.size());
  return out;
}

std::string AnsiToOem(const std::string& s) {
  std::string out = s;
  AnsiToOem(out.data(), out.size());
  return out;
}

std::string CodePageToUtf8(const std::string& s, int codepage) {
  const Page& page = GetPage(codepage == 0 ? OemCodePage() : codepage);
  std::string out;
  out.reserve(s.size());
  for (char c : s) AppendUtf8(page.to_uni[static_cast<unsigned char>(c)], &out);
  return out;
}

std::string Utf8ToCodePage(const std::string& s, int codepage) {
  const Page& page = GetPage(codepage == 0 ? OemCodePage() : codepage);
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    char32_t u = NextUtf8(s, &i);
    out.push_back(u < 0x80 ? static_cast<char>(u) : Encode(page, u));
  }
  return out;
}

char32_t CodePageChar(int codepage, unsigned char b) {
  return GetPage(codepage == 0 ? OemCodePage() : codepage).to_uni[b];
}

bool CharsetByteToUnicode(const char* charset, unsigned char b, char32_t* u) {
  if (charset == nullptr || *charset == 0) return false;
  return internal::HostCharsetByteToUnicode(charset, b, u);
}

}  // namespace platform
