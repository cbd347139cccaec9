// fuzz_xml_escape: arbitrary bytes escaped into an element of a document
// declared with the machine's character set; the document always parses.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "mixtable/wy_sax.h"
#include "mixtable/wy_xml_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string in(reinterpret_cast<const char*>(data), size);
  std::string esc;
  std::string doc = std::string("<?xml version=\"1.0\" encoding=\"") +
                    wy_GetXMLCharSet() + "\"?>\r\n<R a=\"" +
                    Wy_TranslateStringForXml(in, esc) + "\">" +
                    Wy_TranslateStringForXml(in.c_str(), esc) + "</R>";
  if (Wy_SAXParseMemory(doc.data(), static_cast<int>(doc.size()), nullptr,
                        nullptr, nullptr) != 0)
    abort();
  return 0;
}
