// Character set of the XML documents and the escaping of texts written
// between their tags.

#ifndef MIXTABLE_WY_XML_TEXT_H_
#define MIXTABLE_WY_XML_TEXT_H_

#include <string>

#include "mixtable/export.h"

// The character-set name an XML declaration gives for a code page: 874
// "iso-8859-11", 932 "shift-jis", 936 "gb2312", 949 "euc-kr", 950 "big5",
// 1200 "unicode", 1250..1251 and 1253..1257 "windows-125N", any other
// "windows-1252". Sends "\nwus_GetXMLCharSet() : code-page=%d CharSetId=%s"
// to the trace output. The answer is a static text.
const char* wy_GetXMLCharSet(int codepage);
// The same for the machine's ANSI code page.
const char* wy_GetXMLCharSet();

// Escapes text (ANSI code page bytes) for an element or attribute value of a
// document declared with wy_GetXMLCharSet(): '"' "&#x22;", '&' "&#x26;",
// '\'' "&#x27;", '<' "&#x3c;", '>' "&#x3e;"; control characters other than
// tab, line feed and carriage return become "?"; a byte the declared set
// leaves undefined or reads as another character than the code page (0x81
// under "windows-1252", 0x80..0x9F of page 874 under "iso-8859-11") is
// written as the character reference of the code page's character. Other
// bytes are copied. One 256-entry table per process, built on first use.
// For double-byte pages, bytes from 0x80 are copied. Empties out first and
// answers it; a null text gives "".
MIXTABLE_API std::string& Wy_TranslateStringForXml(const char* text,
                                                   std::string& out);
MIXTABLE_API std::string& Wy_TranslateStringForXml(const std::string& text,
                                                   std::string& out);

#endif  // MIXTABLE_WY_XML_TEXT_H_
