// Signatures of arbitrary bytes: they parse into trimmed, non-empty name
// and version, a date of 10 and a time of 8 characters, or fail with every
// output empty.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mixtable/mixtable_ex.h"

namespace {

bool Trimmed(const std::string& s) {
  return !s.empty() && s.front() != ' ' && s.back() != ' ';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string sig(reinterpret_cast<const char*>(data), size);
  const bool was_empty = sig.empty();
  std::string name, version, date, time;
  const bool ok = CMixtableEx::GetSignatureData(sig, name, version, date, time);
  if (was_empty && !ok) std::abort();  // our own signature always parses
  if (ok) {
    if (!Trimmed(name) || !Trimmed(version) || date.size() != 10 ||
        time.size() != 8)
      std::abort();
  } else if (!name.empty() || !version.empty() || !date.empty() ||
             !time.empty()) {
    std::abort();
  }
  return 0;
}
