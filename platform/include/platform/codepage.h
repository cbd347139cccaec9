// Single-byte code-page conversion between the OEM code page the tables are
// stored in and the ANSI code page of callers. The tables are built once per
// process with iconv from the code pages named by $KALVO_OEMCP (default 850)
// and $KALVO_ANSICP (default 1252). A character without an equivalent in the
// target page becomes its closest transliteration, else "?". Bytes below 0x80
// are never changed.

#ifndef PLATFORM_CODEPAGE_H_
#define PLATFORM_CODEPAGE_H_

#include <cstddef>
#include <string>

namespace platform {

// Code-page numbers in force (850 and 1252 unless the environment says
// otherwise).
int OemCodePage();
int AnsiCodePage();

// In-place conversion of n bytes (a NUL byte is converted to NUL, so n may
// include a terminator).
void OemToAnsi(char* buf, size_t n);
void AnsiToOem(char* buf, size_t n);

// Conversions of whole strings.
std::string OemToAnsi(const std::string& s);
std::string AnsiToOem(const std::string& s);

// Between a single-byte page and UTF-8 (for tools that talk to a terminal).
// codepage 0 means the OEM page.
std::string CodePageToUtf8(const std::string& s, int codepage);
std::string Utf8ToCodePage(const std::string& s, int codepage);

// The Unicode character byte b stands for in a single-byte page (0: the
// OEM page). Bytes the page leaves undefined answer the control character
// of the same number, as the tables above do.
char32_t CodePageChar(int codepage, unsigned char b);

// How a character-set name as an XML declaration carries it ("windows-1252",
// "iso-8859-11") reads byte b: true with *u set, false when that set leaves
// the byte undefined or the name is unknown to the host.
bool CharsetByteToUnicode(const char* charset, unsigned char b, char32_t* u);

// Appends the UTF-8 bytes of Unicode character u (below 0x110000) to *out.
void AppendUtf8(char32_t u, std::string* out);

}  // namespace platform

#endif  // PLATFORM_CODEPAGE_H_
