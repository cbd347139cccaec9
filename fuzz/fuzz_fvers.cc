// FVERS.DAT lines of arbitrary bytes: Init never fails, the line written
// back is one line of at most 32 characters whose first five hold a version,
// and reading that line again writes it unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mixtable/wy_fvers_descr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  Wy_FVersDescr d;
  if (!d.Init(line.c_str())) std::abort();
  std::string out, again, descr;
  d.GetCompleteDescr(out);
  if (out.size() > kFVersVersionWidth + kFVersDescrWidth ||
      out.find_first_of("\r\n") != std::string::npos ||
      (!out.empty() && out.back() == ' '))
    std::abort();
  if (!Wy_ParseGDataVersion(out.substr(0, 5).c_str(), nullptr)) std::abort();
  Wy_FVersDescr back;
  back.Init(out.c_str());
  if (back.GetCompleteDescr(again) != out) std::abort();
  // Setters refuse what is no version and keep the old one.
  const std::string before = d.GetVersion();
  if (!d.SetVersion(line.c_str()) && d.GetVersion() != before) std::abort();
  d.SetPureDescr(line.c_str());
  if (d.GetPureDescr(descr) != line.c_str()) std::abort();
  return 0;
}
