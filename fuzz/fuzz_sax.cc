// fuzz_sax: arbitrary bytes through Wy_SAXParseMemory with the do-nothing
// handlers.

#include <cstddef>
#include <cstdint>
#include <limits>

#include "mixtable/wy_sax.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int>::max())) return 0;
  Wy_SAXContentHandlerImpl content;
  Wy_SAXDTDHandlerImpl dtd;
  Wy_SAXErrorHandlerImpl error;
  Wy_SAXParseMemory(reinterpret_cast<const char*>(data), static_cast<int>(size),
                    &content, &dtd, &error);
  return 0;
}
