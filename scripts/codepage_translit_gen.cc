// Writes platform/win32/codepage_translit_win32.inc: the one-byte
// transliterations iconv gives for characters missing from the single-byte
// code pages, as runs of the form {first, count, step, {candidates}}, the
// candidates ordered so that taking the first one a page holds gives what
// iconv gives for every listed page. Build and run on Linux:
//   g++ -O2 -std=c++20 scripts/codepage_translit_gen.cc -o /tmp/gen &&
//   /tmp/gen > table.txt   (mismatches are listed on standard error)
#include <iconv.h>
#include <locale.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>
static bool Dec(iconv_t cd, int b, unsigned* u) {
  char in = b;
  wchar_t w[4];
  char* ip = &in;
  size_t il = 1;
  char* op = (char*)w;
  size_t ol = sizeof w;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  size_t r = iconv(cd, &ip, &il, &op, &ol);
  if (r != (size_t)-1) iconv(cd, nullptr, nullptr, &op, &ol);
  if (r == (size_t)-1 || il != 0 || sizeof w - ol != 4) return false;
  *u = w[0];
  return true;
}
int main() {
  uselocale(newlocale(LC_CTYPE_MASK, "C.UTF-8", 0));
  int pages[] = {437,  737,  775,  850,  852,  855,  857, 860,  861,
                 862,  863,  864,  865,  866,  869,  874, 1250, 1251,
                 1252, 1253, 1254, 1255, 1256, 1257, 1258};
  std::map<unsigned, std::map<int, unsigned>> res;  // u -> page -> resultU
  std::map<int, std::set<unsigned>> inp;
  for (int p : pages) {
    char name[32];
    snprintf(name, 32, "CP%d", p);
    iconv_t dec = iconv_open("WCHAR_T", name);
    std::set<unsigned>& inpage = inp[p];
    unsigned to_uni[256];
    for (int b = 0; b < 256; b++) {
      unsigned u = b;
      if (b >= 0x80) Dec(dec, b, &u);
      to_uni[b] = u;
      inpage.insert(u);
    }
    iconv_close(dec);
    std::string to = std::string(name) + "//TRANSLIT";
    for (unsigned u = 0x80; u < 0x30000; u++) {
      if (inpage.count(u)) continue;
      if (u >= 0xD800 && u < 0xE000) continue;
      iconv_t cd = iconv_open(to.c_str(), "WCHAR_T");
      wchar_t w = u;
      char* ip = (char*)&w;
      size_t il = 4;
      char out[8];
      char* op = out;
      size_t ol = 8;
      size_t r = iconv(cd, &ip, &il, &op, &ol);
      if (r != (size_t)-1) iconv(cd, nullptr, nullptr, &op, &ol);
      iconv_close(cd);
      if (r == (size_t)-1 || il != 0) continue;
      size_t n = 8 - ol;
      if (n != 1 || out[0] == '?') continue;
      res[u][p] = to_uni[(unsigned char)out[0]];
    }
  }
  // Candidate order per u: r1 before r2 when some page chose r1 while holding
  // r2.
  struct E {
    unsigned u;
    std::vector<unsigned> c;
  };
  std::vector<E> es;
  int bad = 0;
  for (auto& [u, m] : res) {
    // iconv converts U+066A only for 864: the table leaves it out.
    if (u == 0x66A) continue;
    std::set<unsigned> cs;
    for (auto& [p, r] : m) cs.insert(r);
    std::vector<unsigned> c(cs.begin(), cs.end());
    auto before = [&](unsigned a, unsigned b) {
      for (auto& [p, r] : m)
        if (r == a && inp[p].count(b)) return true;
      return false;
    };
    std::stable_sort(c.begin(), c.end(), [&](unsigned a, unsigned b) {
      return before(a, b) && !before(b, a);
    });
    // verify, also for pages where translit failed: none of candidates must be
    // present
    for (int p : pages) {
      unsigned got = 0;
      for (unsigned x : c)
        if (inp[p].count(x)) {
          got = x;
          break;
        }
      if (inp[p].count(u)) continue;
      auto it = m.find(p);
      unsigned want = it == m.end() ? 0 : it->second;
      if (got != want) {
        bad++;
        fprintf(stderr, "mismatch %04X page %d got %X want %X\n", u, p, got,
                want);
      }
    }
    es.push_back({u, c});
  }
  fprintf(stderr, "entries %zu bad %d\n", es.size(), bad);
  // Runs: single candidate, u consecutive, result consecutive (step 1) or equal
  // (step 0).
  std::vector<std::string> items;
  size_t i = 0;
  while (i < es.size()) {
    if (es[i].c.size() == 1) {
      size_t j = i + 1;
      int step = -1;
      while (j < es.size() && es[j].c.size() == 1 &&
             es[j].u == es[j - 1].u + 1) {
        int s = (int)es[j].c[0] - (int)es[j - 1].c[0];
        if (s != 0 && s != 1) break;
        if (step < 0)
          step = s;
        else if (s != step)
          break;
        j++;
      }
      if (step < 0) step = 0;
      char b[96];
      snprintf(b, 96, "{0x%X, %zu, %d, {0x%X}}", es[i].u, j - i, step,
               es[i].c[0]);
      items.push_back(b);
      i = j;
    } else {
      std::string s = "{0x";
      char b[32];
      snprintf(b, 32, "%X, 1, 0, {", es[i].u);
      s += b;
      for (size_t k = 0; k < es[i].c.size() && k < 3; k++) {
        snprintf(b, 32, "%s0x%X", k ? ", " : "", es[i].c[k]);
        s += b;
      }
      if (es[i].c.size() > 3) fprintf(stderr, "too many cands %X\n", es[i].u);
      s += "}}";
      items.push_back(s);
      i++;
    }
  }
  fprintf(stderr, "items %zu\n", items.size());
  std::string line;
  for (auto& s : items) {
    if (line.size() + s.size() + 2 > 78) {
      printf("%s\n", line.c_str());
      line.clear();
    }
    line += (line.empty() ? "    " : " ") + s + ",";
  }
  if (!line.empty()) printf("%s\n", line.c_str());
}
