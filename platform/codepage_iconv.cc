// The code-page host on Linux (codepage_host.h): iconv. Transliterations
// are iconv's own, taken in the C.UTF-8 locale.

#include <iconv.h>
#include <locale.h>

#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "platform/codepage_host.h"

namespace platform::internal {

namespace {

// Converts between one wchar_t (UCS-4 on Linux) and bytes of a page.
size_t IconvOne(const char* to, const char* from, const void* in, size_t in_len,
                char* out, size_t out_len) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
  char* ip = const_cast<char*>(static_cast<const char*>(in));
  char* op = out;
  size_t il = in_len, ol = out_len;
  size_t r = iconv(cd, &ip, &il, &op, &ol);
  if (r != static_cast<size_t>(-1)) iconv(cd, nullptr, nullptr, &op, &ol);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1) || il != 0) return 0;
  return out_len - ol;
}

std::string FindIconvName(int number) {
  for (const char* fmt : {"CP%d", "IBM%d", "WINDOWS-%d"}) {
    char name[32];
    snprintf(name, sizeof(name), fmt, number);
    iconv_t cd = iconv_open("WCHAR_T", name);
    if (cd != reinterpret_cast<iconv_t>(-1)) {
      iconv_close(cd);
      return name;
    }
  }
  return "";
}

// iconv's name of each page asked for, "" for a page it does not know.
const std::string& IconvName(int number) {
  static std::mutex mu;
  static std::map<int, std::string>* names = new std::map<int, std::string>;
  std::lock_guard<std::mutex> lock(mu);
  auto found = names->find(number);
  if (found == names->end())
    found = names->emplace(number, FindIconvName(number)).first;
  return found->second;
}

}  // namespace

bool HostKnowsPage(int number) { return !IconvName(number).empty(); }

bool HostDecodeByte(int number, unsigned char b, char32_t* u) {
  char in = static_cast<char>(b);
  wchar_t w;
  if (IconvOne("WCHAR_T", IconvName(number).c_str(), &in, 1,
               reinterpret_cast<char*>(&w), sizeof(w)) != sizeof(w)) {
    return false;
  }
  *u = static_cast<char32_t>(w);
  return true;
}

int HostTransliterate(int number, char32_t u, const PageEncodeMap&) {
  // Transliteration rules come from the thread's LC_CTYPE; the C.UTF-8
  // locale has the full set whatever the program's locale is.
  static const locale_t translit_locale =
      newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  locale_t prev = static_cast<locale_t>(0);
  if (translit_locale != static_cast<locale_t>(0)) {
    prev = uselocale(translit_locale);
  }
  const std::string to = IconvName(number) + "//TRANSLIT";
  wchar_t w = static_cast<wchar_t>(u);
  char out[8];
  size_t n = IconvOne(to.c_str(), "WCHAR_T", &w, sizeof(w), out, sizeof(out));
  if (prev != static_cast<locale_t>(0)) uselocale(prev);
  return n == 1 ? static_cast<unsigned char>(out[0]) : 0;
}

bool HostCharsetByteToUnicode(const char* charset, unsigned char b,
                              char32_t* u) {
  char in = static_cast<char>(b);
  wchar_t w;
  if (IconvOne("WCHAR_T", charset, &in, 1, reinterpret_cast<char*>(&w),
               sizeof(w)) != sizeof(w)) {
    return false;
  }
  *u = static_cast<char32_t>(w);
  return true;
}

}  // namespace platform::internal
