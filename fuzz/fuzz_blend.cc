// The upgrade's value rules on arbitrary bytes: a BLEND_L/BLEND_S value and
// a key field's raw value. A rewritten BLEND value has the fixed shape and
// is stable (normalising it again gives itself); a rewritten key keeps the
// field's width and reads back as the same number.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "maintenance/upgrade.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);
  std::string out, why;
  const int r = mixtable::NormaliseBlendValue(in, &out, &why);
  if (r == 1) {
    if (out.size() != 14 || out[3] != ',' || out[7] != ',' || out[9] != ',')
      std::abort();
    std::string again, why2;
    if (mixtable::NormaliseBlendValue(out, &again, &why2) != 1 || again != out)
      std::abort();
  } else if (r < 0 && why.empty()) {
    std::abort();
  }
  // Key values: five bytes of the input.
  const std::string raw = in.substr(0, 5);
  std::string key;
  const int k = mixtable::NormaliseKeyValue(raw, &key);
  if (k == 1) {
    if (key.size() != raw.size()) std::abort();
    if (std::atol(key.c_str()) != std::atol(raw.c_str())) std::abort();
    std::string again;
    if (mixtable::NormaliseKeyValue(key, &again) != 0) std::abort();
  }
  return 0;
}
