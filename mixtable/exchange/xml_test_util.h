// Test helpers for written XML documents: a strict check that a document is
// well formed, and whole-file reads and writes.
//
// ParseStrict uses libxml2 where the build has it (Linux). The Windows build
// has no libxml2, so there ParseStrict is CheckWellFormed, a small checker
// of its own that covers what the library writes: the declaration and its
// character set, elements and attributes, character and predefined entity
// references, comments, processing instructions and CDATA sections (no
// document type declarations). On Linux the two are compared on a table of
// documents, so the Windows runs check the same things.

#ifndef MIXTABLE_EXCHANGE_XML_TEST_UTIL_H_
#define MIXTABLE_EXCHANGE_XML_TEST_UTIL_H_

#include <string>

namespace xmltest {

// True where ParseStrict is libxml2, false where it is CheckWellFormed.
bool HaveLibXml2();

// Parses bytes; any error or warning fails (*why tells). On success *root
// gets the root's name and *text the text content of the root element
// (UTF-8, line ends as LF, references replaced).
bool ParseStrict(const std::string& bytes, std::string* why,
                 std::string* root = nullptr, std::string* text = nullptr);

// The checker ParseStrict uses without libxml2; same answers. Bytes above
// 0x7F are read in the character set the declaration names (through the
// platform layer's tables; one the host does not know fails), UTF-8 when it
// names none.
bool CheckWellFormed(const std::string& bytes, std::string* why,
                     std::string* root = nullptr, std::string* text = nullptr);

// The whole file at a host path ("" when it cannot be read).
std::string ReadAll(const std::string& host);
// Replaces the file at a host path with bytes.
void WriteAll(const std::string& host, const std::string& bytes);

}  // namespace xmltest

#endif  // MIXTABLE_EXCHANGE_XML_TEST_UTIL_H_
