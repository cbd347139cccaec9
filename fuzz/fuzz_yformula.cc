// Formula texts from arbitrary bytes. The first byte chooses the decimals
// (0 to 20) and the exponent flag; the rest is split at its first zero byte
// (else in the middle) into two texts that run through set, count, parse,
// add, resize, += and -= and the quantity formatter. Checked: no crash, the
// pair counts stay consistent, a same-size resize never adds pairs, and a
// failed rewrite leaves the text as it was.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mixtable/quantity_format.h"
#include "mixtable/wy_frm.h"
#include "mixtable/yformula.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  int decimals = data[0] % 21;
  int exponent = (data[0] / 21) % 2;
  std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t cut = rest.find('\0');
  std::string a = cut == std::string::npos ? rest.substr(0, rest.size() / 2)
                                           : rest.substr(0, cut);
  std::string b = cut == std::string::npos ? rest.substr(rest.size() / 2)
                                           : rest.substr(cut + 1);
  b = b.substr(0, b.find('\0'));

  yformula f;
  Check(f.set(a) == 1);
  int n = f.count();
  Check(n >= -1);
  std::vector<int32_t> ids(4);
  std::vector<double> qs(4);
  int got = f.parse(ids.data(), qs.data(), 4);
  Check(n < 0 ? got == -1 : got == (n < 4 ? n : 4));

  // The formatter, and reading its text back.
  for (int i = 0; i < 4 && i < got; ++i) {
    std::string q = Wy_FormatQuantity(qs[i], decimals, exponent);
    Check(!q.empty());
    (void)Wy_ReadDouble(q.data(), q.size());
    Check(DecimalsNeeded(qs[i]) >= 0 && DecimalsNeeded(qs[i]) <= 7);
  }

  // add: one more pair when the text was well formed, else nothing.
  yformula g = f;
  double value = got > 0 ? qs[0] : 1.5;
  std::string before = g.get();
  if (g.add(7, value, decimals, exponent)) {
    if (n >= 0) Check(g.count() == n + 1);
  } else {
    Check(before == g.get());
  }

  // resize from = to keeps at most the pairs it had.
  yformula r = f;
  if (r.resize(3.0, 3.0, decimals, exponent)) {
    Check(n >= 0 && r.count() >= 0 && r.count() <= n);
  } else {
    Check(std::string(r.get()) == f.get());
  }

  // += and -= leave a malformed side alone.
  Wy_Frm x, y;
  x.m_Frm.set(a);
  y.m_Frm.set(b);
  Wy_Frm sum = x;
  sum += y;
  if (x.IsEmpty()) {
    Check(std::string(sum.m_Frm.get()) == y.m_Frm.get());
  } else if (x.m_Frm.count() < 0 || y.m_Frm.count() < 0) {
    Check(std::string(sum.m_Frm.get()) == x.m_Frm.get());
  }
  Wy_Frm diff = x;
  diff -= y;
  if (x.m_Frm.count() < 0 || y.m_Frm.count() < 0) {
    Check(std::string(diff.m_Frm.get()) == x.m_Frm.get());
  }
  return 0;
}
