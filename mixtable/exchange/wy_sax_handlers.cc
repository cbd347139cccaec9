// The do-nothing SAX handlers: every event is accepted (answer 0), so a
// handler overrides only what it needs. Built with every parser.

#include "mixtable/wy_sax.h"

int Wy_SAXContentHandlerImpl::putDocumentLocator(const Wy_SAXLocator*) {
  return 0;
}
int Wy_SAXContentHandlerImpl::startDocument() { return 0; }
int Wy_SAXContentHandlerImpl::endDocument() { return 0; }
int Wy_SAXContentHandlerImpl::startPrefixMapping(const char*, int, const char*,
                                                 int) {
  return 0;
}
int Wy_SAXContentHandlerImpl::endPrefixMapping(const char*, int) { return 0; }
int Wy_SAXContentHandlerImpl::startElement(const char*, int, const char*, int,
                                           const char*, int,
                                           const Wy_SAXAttributes*) {
  return 0;
}
int Wy_SAXContentHandlerImpl::endElement(const char*, int, const char*, int,
                                         const char*, int) {
  return 0;
}
int Wy_SAXContentHandlerImpl::characters(const char*, int) { return 0; }
int Wy_SAXContentHandlerImpl::ignorableWhitespace(const char*, int) {
  return 0;
}
int Wy_SAXContentHandlerImpl::processingInstruction(const char*, int,
                                                    const char*, int) {
  return 0;
}
int Wy_SAXContentHandlerImpl::skippedEntity(const char*, int) { return 0; }

int Wy_SAXDTDHandlerImpl::notationDecl(const char*, int, const char*, int,
                                       const char*, int) {
  return 0;
}
int Wy_SAXDTDHandlerImpl::unparsedEntityDecl(const char*, int, const char*, int,
                                             const char*, int, const char*,
                                             int) {
  return 0;
}

int Wy_SAXErrorHandlerImpl::error(const Wy_SAXLocator*, const char*, int) {
  return 0;
}
int Wy_SAXErrorHandlerImpl::fatalError(const Wy_SAXLocator*, const char*, int) {
  return 0;
}
int Wy_SAXErrorHandlerImpl::ignorableWarning(const Wy_SAXLocator*, const char*,
                                             int) {
  return 0;
}
