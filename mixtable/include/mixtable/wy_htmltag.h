// Tag writers: an object writes an element's start tag when created and its
// end tag when destroyed, so nested scopes give well-nested HTML or XML.
//
// End tag of a start-tag text: the element name runs from after the first
// "<" to the first white space or ">" after it; the end tag is
// "</" + name + ">". None is formed (the function answers false and leaves
// its output unchanged) when the text has no "<", no ">" after it, nothing
// between them, white space directly after "<", or ends the tag with "/>"
// (an element closed on itself).
//
// Tag objects cannot be copied (the end tag would be written twice); a move
// hands the end tag over to the new object. The stream or file is borrowed
// and must outlive the object; null writes nothing.

#ifndef MIXTABLE_WY_HTMLTAG_H_
#define MIXTABLE_WY_HTMLTAG_H_

#include <cstdio>
#include <string>

#include "mixtable/export.h"
#include "mixtable/wy_seq_file.h"

// Writes to a C stream; lines end with "\n".
class MIXTABLE_API Wy_CHtmlTag {
 public:
  // Writes start verbatim (no line break) when stream is not null.
  Wy_CHtmlTag(FILE* stream, const char* start);
  // Writes the end tag (when formed) and "\n" when the stream is not null.
  ~Wy_CHtmlTag();
  Wy_CHtmlTag(const Wy_CHtmlTag&) = delete;
  Wy_CHtmlTag& operator=(const Wy_CHtmlTag&) = delete;
  Wy_CHtmlTag(Wy_CHtmlTag&& other) noexcept;
  Wy_CHtmlTag& operator=(Wy_CHtmlTag&& other) noexcept;

  // 1 when an end tag was formed into end, else 0 (end unchanged).
  static int ClosingTag(const char* start, std::string& end);
  // start + content + end tag + "\n".
  static std::string Str(const char* start, const char* content);

 private:
  void Finish();
  FILE* m_Stream;
  std::string m_EndTag;
};

// Writes to the library's file object; lines end with "\r\n".
class MIXTABLE_API Wy_htmltag {
 public:
  Wy_htmltag(Wy_SeqFile* file, const std::string& start);
  // Writes the end tag (when formed) and "\r\n" when the file is not null.
  ~Wy_htmltag();
  Wy_htmltag(const Wy_htmltag&) = delete;
  Wy_htmltag& operator=(const Wy_htmltag&) = delete;
  Wy_htmltag(Wy_htmltag&& other) noexcept;
  Wy_htmltag& operator=(Wy_htmltag&& other) noexcept;

  static bool closingtag(const std::string& start, std::string& end);
  // start + content + end tag + "\r\n".
  static std::string str(const std::string& start, const std::string& content);

 private:
  void Finish();
  Wy_SeqFile* m_File;
  std::string m_EndTag;
};

#endif  // MIXTABLE_WY_HTMLTAG_H_
