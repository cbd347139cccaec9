// Formula texts from arbitrary bytes: read, write, read, write, read, write.
// Checked: no crash, and the second and third texts written are identical
// (what the writer wrote reads back to the same members).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mixtable/hformula.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::string written[3];
  for (std::string& out : written) {
    HFormula f;
    f.TxtReadText(text.data(), text.size());
    out = f.WriteText(nullptr);
    text = out;
  }
  if (written[1] != written[2]) std::abort();
  return 0;
}
