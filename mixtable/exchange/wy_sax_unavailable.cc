// Wy_SAXParse where the build has no XML parser (the Windows build: there is
// no libxml2 for it). Every parse fails as an unreadable document, so callers
// take their "cannot read" path; writing XML documents is not affected.

#include "mixtable/wy_sax.h"

int Wy_SAXParseMemory(const char*, int, Wy_SAXContentHandlerImpl*,
                      Wy_SAXDTDHandlerImpl*, Wy_SAXErrorHandlerImpl*) {
  return kWySaxCannotRead;
}

int Wy_SAXParse(const char*, Wy_SAXContentHandlerImpl*, Wy_SAXDTDHandlerImpl*,
                Wy_SAXErrorHandlerImpl*) {
  return kWySaxCannotRead;
}
