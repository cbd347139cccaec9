// Test helpers: strict parsing of written documents with libxml2 and whole
// file reads.

#ifndef MIXTABLE_EXCHANGE_XML_TEST_UTIL_H_
#define MIXTABLE_EXCHANGE_XML_TEST_UTIL_H_

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <fstream>
#include <sstream>
#include <string>

namespace xmltest {

inline std::string& Errors() {
  static std::string errors;
  return errors;
}

#if LIBXML_VERSION >= 21200
inline void Collect(void*, const xmlError* e) {
#else
inline void Collect(void*, xmlErrorPtr e) {
#endif
  Errors() += std::to_string(e->line) + ": " + (e->message ? e->message : "");
}

// Parses bytes; any error or warning fails (*why tells). On success *root
// gets the root's name and *text the text content of the root element.
inline bool ParseStrict(const std::string& bytes, std::string* why,
                        std::string* root = nullptr,
                        std::string* text = nullptr) {
  Errors().clear();
  xmlSetStructuredErrorFunc(nullptr, Collect);
  xmlDocPtr doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()),
                                "doc.xml", nullptr, XML_PARSE_NONET);
  xmlSetStructuredErrorFunc(nullptr, nullptr);
  bool ok = doc != nullptr && Errors().empty();
  if (why) *why = Errors();
  if (ok && doc) {
    xmlNodePtr r = xmlDocGetRootElement(doc);
    if (root) *root = reinterpret_cast<const char*>(r->name);
    if (text) {
      xmlChar* c = xmlNodeGetContent(r);
      *text = c ? reinterpret_cast<const char*>(c) : "";
      xmlFree(c);
    }
  }
  if (doc) xmlFreeDoc(doc);
  return ok;
}

inline std::string ReadAll(const std::string& host) {
  std::ifstream in(host, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteAll(const std::string& host, const std::string& bytes) {
  std::ofstream out(host, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace xmltest

#endif  // MIXTABLE_EXCHANGE_XML_TEST_UTIL_H_
