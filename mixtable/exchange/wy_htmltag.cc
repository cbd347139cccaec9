// The tag writers.

#include "mixtable/wy_htmltag.h"

#include <cstring>
#include <utility>

namespace {

bool IsWhite(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' ||
         c == '\v';
}

bool EndTagOf(const char* start, std::string& end) {
  if (start == nullptr) return false;
  const char* lt = strchr(start, '<');
  if (lt == nullptr) return false;
  const char* gt = strchr(lt + 1, '>');
  if (gt == nullptr || gt == lt + 1) return false;
  if (IsWhite(lt[1])) return false;
  if (gt[-1] == '/') return false;  // closed on itself
  const char* e = lt + 1;
  while (e < gt && !IsWhite(*e)) e++;
  end = "</" + std::string(lt + 1, e) + ">";
  return true;
}

}  // namespace

// ---- Wy_CHtmlTag -----------------------------------------------------------

Wy_CHtmlTag::Wy_CHtmlTag(FILE* stream, const char* start) : m_Stream(stream) {
  if (m_Stream != nullptr && start != nullptr) fputs(start, m_Stream);
  EndTagOf(start, m_EndTag);
}

Wy_CHtmlTag::~Wy_CHtmlTag() { Finish(); }

void Wy_CHtmlTag::Finish() {
  if (m_Stream == nullptr) return;
  fputs(m_EndTag.c_str(), m_Stream);
  fputs("\n", m_Stream);
  m_Stream = nullptr;
}

Wy_CHtmlTag::Wy_CHtmlTag(Wy_CHtmlTag&& other) noexcept
    : m_Stream(std::exchange(other.m_Stream, nullptr)),
      m_EndTag(std::move(other.m_EndTag)) {}

Wy_CHtmlTag& Wy_CHtmlTag::operator=(Wy_CHtmlTag&& other) noexcept {
  if (this != &other) {
    Finish();
    m_Stream = std::exchange(other.m_Stream, nullptr);
    m_EndTag = std::move(other.m_EndTag);
  }
  return *this;
}

int Wy_CHtmlTag::ClosingTag(const char* start, std::string& end) {
  return EndTagOf(start, end) ? 1 : 0;
}

std::string Wy_CHtmlTag::Str(const char* start, const char* content) {
  std::string end;
  EndTagOf(start, end);
  std::string out = start ? start : "";
  if (content) out += content;
  return out + end + "\n";
}

// ---- Wy_htmltag ------------------------------------------------------------

Wy_htmltag::Wy_htmltag(Wy_SeqFile* file, const std::string& start)
    : m_File(file) {
  if (m_File != nullptr) m_File->Write(start);
  EndTagOf(start.c_str(), m_EndTag);
}

Wy_htmltag::~Wy_htmltag() { Finish(); }

void Wy_htmltag::Finish() {
  if (m_File == nullptr) return;
  m_File->Write(m_EndTag + "\r\n");
  m_File = nullptr;
}

Wy_htmltag::Wy_htmltag(Wy_htmltag&& other) noexcept
    : m_File(std::exchange(other.m_File, nullptr)),
      m_EndTag(std::move(other.m_EndTag)) {}

Wy_htmltag& Wy_htmltag::operator=(Wy_htmltag&& other) noexcept {
  if (this != &other) {
    Finish();
    m_File = std::exchange(other.m_File, nullptr);
    m_EndTag = std::move(other.m_EndTag);
  }
  return *this;
}

bool Wy_htmltag::closingtag(const std::string& start, std::string& end) {
  return EndTagOf(start.c_str(), end);
}

std::string Wy_htmltag::str(const std::string& start,
                            const std::string& content) {
  std::string end;
  EndTagOf(start.c_str(), end);
  return start + content + end + "\r\n";
}
