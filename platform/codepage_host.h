// The host's part of the code-page tables: which pages it knows, the
// character a byte of a page stands for, the transliteration of a character
// a page lacks, and character sets named as XML declarations name them.
// codepage.cc builds the tables and every conversion on these, alike on
// both hosts; codepage_iconv.cc implements them with iconv on Linux,
// win32/codepage_win32.cc with the Win32 API. Internal to the platform
// layer; every function is thread-safe.

#ifndef PLATFORM_CODEPAGE_HOST_H_
#define PLATFORM_CODEPAGE_HOST_H_

#include <unordered_map>

namespace platform::internal {

// A page's encode map: character to byte.
using PageEncodeMap = std::unordered_map<char32_t, unsigned char>;

// Whether the host converts page number.
bool HostKnowsPage(int number);

// The character byte b (0x80..0xFF) of page number stands for, or false
// when the page leaves the byte undefined (it then decodes to itself).
// Called only for pages the host knows.
bool HostDecodeByte(int number, unsigned char b, char32_t* u);

// A byte of page number that u, missing from the page, transliterates to,
// or 0 when there is none; page_bytes is the page's encode map. Called only
// for pages the host knows.
int HostTransliterate(int number, char32_t u, const PageEncodeMap& page_bytes);

// The character byte b of the character set named charset stands for
// (charset neither null nor empty); false when the set is unknown or leaves
// the byte undefined.
bool HostCharsetByteToUnicode(const char* charset, unsigned char b,
                              char32_t* u);

}  // namespace platform::internal

#endif  // PLATFORM_CODEPAGE_HOST_H_
