// Wy_GDataID::SetData with an absolute id (the first four bytes) and a text
// (the rest) of arbitrary bytes: a refused call changes nothing; an
// accepted one leaves an id text in the DATAID form whose version reads
// back unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mixtable/wy_gdata_id.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  uint32_t abs_id = 0;
  std::memcpy(&abs_id, data, 4);
  const std::string text(reinterpret_cast<const char*>(data) + 4, size - 4);
  Wy_GDataID id;
  if (!id.SetData(1234567890u, "1.05")) std::abort();
  const Wy_GDataID before = id;
  std::string s, t;
  if (!id.SetData(abs_id, text.c_str())) {
    if (id.GetDataIDString(s) != before.GetDataIDString(t) ||
        id.GetVersion() != before.GetVersion() ||
        id.GetAbsId() != before.GetAbsId())
      std::abort();
    return 0;
  }
  if (abs_id == 0) std::abort();
  id.GetDataIDString(s);
  if (!Wy_GDataID::IsDataIdForm(s.c_str())) std::abort();
  Wy_GDataID back;
  if (!back.SetData(abs_id, s.c_str())) std::abort();
  if (back.GetVersion() != id.GetVersion()) std::abort();
  // An id text built from a version is rebuilt the same from its version
  // (one given in the DATAID form may carry other digits at 3..7).
  Wy_GDataID rebuilt;
  if (!rebuilt.SetData(abs_id, id.GetVersion().c_str())) std::abort();
  if (!Wy_GDataID::IsDataIdForm(text.c_str()) &&
      rebuilt.GetDataIDString(t) != s)
    std::abort();
  return 0;
}
