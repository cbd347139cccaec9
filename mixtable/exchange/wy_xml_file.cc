// Wy_XmlFile: opening, reopening and closing XML documents.

#include "mixtable/wy_xml_file.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "mixtable/wy_catalog.h"
#include "mixtable/wy_xml_text.h"
#include "platform/env.h"

namespace {

struct RootRow {
  const char* root;
  const char* file;  // in the local directory, or null
  bool shop;
};

// Rows 1..8 of wy_XmlFileType.
constexpr RootRow kRoots[] = {
    {"HISTORY", "XMLHIST.XML", false}, {"HISTORY", "HISTORY.XML", true},
    {"FRM_REPORT", nullptr, false},    {"FRM_AND_CANS", nullptr, false},
    {"FRM_TO_DISP", nullptr, true},    {"REFILL_INFO", nullptr, false},
    {"NewDataSet", nullptr, false},    {"LEVELS_INFO", nullptr, false},
};

constexpr const char* kDeclarationFormat =
    "<?xml version=\"1.0\" encoding=\"%s\"?>\r\n";
// The shop line of documents without shop information.
constexpr const char* kNoShopLine = "\t\n";
constexpr const char* kEmptyShopLine = "<SHOPINFO></SHOPINFO>\t\n";

// How much of a document's start is read to find its root element, at most.
constexpr size_t kHeadMax = 64 * 1024;
constexpr size_t kChunk = 4096;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The name of the root element in the head of a document: after the
// declaration, comments, processing instructions and a document type.
// Empty when the head does not show it completely.
std::string RootName(const std::string& head) {
  size_t i = 0;
  if (head.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
  for (;;) {
    while (i < head.size() && IsSpace(head[i])) i++;
    if (i >= head.size() || head[i] != '<') return "";
    if (head.compare(i, 4, "<!--") == 0) {
      size_t e = head.find("-->", i + 4);
      if (e == std::string::npos) return "";
      i = e + 3;
    } else if (head.compare(i, 2, "<?") == 0) {
      size_t e = head.find("?>", i + 2);
      if (e == std::string::npos) return "";
      i = e + 2;
    } else if (head.compare(i, 2, "<!") == 0) {
      // A document type: its internal subset ends with "]>".
      size_t bracket = head.find('[', i);
      size_t gt = head.find('>', i);
      if (gt == std::string::npos) return "";
      if (bracket != std::string::npos && bracket < gt) {
        size_t e = head.find("]", bracket);
        if (e == std::string::npos) return "";
        gt = head.find('>', e);
        if (gt == std::string::npos) return "";
      }
      i = gt + 1;
    } else {
      size_t e = i + 1;
      while (e < head.size() && !IsSpace(head[e]) && head[e] != '>' &&
             head[e] != '/')
        e++;
      if (e >= head.size()) return "";
      return head.substr(i + 1, e - i - 1);
    }
  }
}

}  // namespace

Wy_XmlFile::Wy_XmlFile(int type, const Wy_ShopData* shop) {
  char decl[160];
  snprintf(decl, sizeof(decl), kDeclarationFormat, wy_GetXMLCharSet());
  m_Declaration = decl;
  if (type < 1 || type > 8) return;
  const RootRow& row = kRoots[type - 1];
  m_OpenTag = std::string("<") + row.root + ">\r\n";
  m_CloseTag = std::string("</") + row.root + ">";
  if (!row.shop) {
    m_ShopLine = kNoShopLine;
  } else if (shop == nullptr) {
    m_ShopLine = kEmptyShopLine;
  } else {
    std::string esc;
    m_ShopLine = "<SHOPINFO>";
    for (const std::string* s :
         {&shop->m_Shop1, &shop->m_Shop2, &shop->m_Shop3, &shop->m_PcId}) {
      m_ShopLine += "(" + Wy_TranslateStringForXml(*s, esc) + ")";
    }
    m_ShopLine += "</SHOPINFO>\t\n";
  }
  if (row.file != nullptr) {
    std::string dir;
    Wy_LocalPath(dir);
    m_FileName = dir + row.file;
  }
}

Wy_XmlFile::~Wy_XmlFile() { CloseFileHandle(); }

Wy_XmlFile::Wy_XmlFile(const Wy_XmlFile& other)
    : m_FileName(other.m_FileName),
      m_Declaration(other.m_Declaration),
      m_OpenTag(other.m_OpenTag),
      m_ShopLine(other.m_ShopLine),
      m_CloseTag(other.m_CloseTag) {}

Wy_XmlFile& Wy_XmlFile::operator=(const Wy_XmlFile& other) {
  if (this == &other) return *this;
  CloseFileHandle();
  m_FileName = other.m_FileName;
  m_Declaration = other.m_Declaration;
  m_OpenTag = other.m_OpenTag;
  m_ShopLine = other.m_ShopLine;
  m_CloseTag = other.m_CloseTag;
  return *this;
}

bool Wy_XmlFile::SetFileName(const std::string& name, bool keep) {
  if (name.empty()) return false;
  CloseFileHandle();
  m_FileName = name;
  if (!keep) {
    platform::Env* env = platform::Env::Current();
    platform::FileInfo info;
    if (env->GetFileInfo(name, &info).ok() && !info.is_dir)
      env->DeleteFile(name);
  }
  return true;
}

Wy_SeqFile* Wy_XmlFile::GetFileHandle() {
  if (m_File) return m_File.get();
  if (m_FileName.empty() || m_CloseTag.empty()) return nullptr;
  auto file = std::make_unique<Wy_SeqFile>();
  if (!file->Open(m_FileName, true)) return nullptr;
  if (!file->LockExclusive(kWyXmlLockTimeoutMs)) return nullptr;
  uint64_t size = 0;
  if (!file->GetLength(&size)) return nullptr;
  m_File = std::move(file);
  if (size == 0) {
    // A new document (or an empty file left by a writer that died).
    m_File->SetHold(true);
    m_File->Write(m_Declaration);
    m_File->Write(m_OpenTag);
    m_File->Write(m_ShopLine);
    return m_File.get();
  }
  if (!FindInsertPoint(size)) {
    m_File.reset();
    return nullptr;
  }
  m_File->SetHold(true);
  return m_File.get();
}

bool Wy_XmlFile::FindInsertPoint(uint64_t size) {
  // The root element named in the document's head must be ours.
  std::string head;
  std::string root = m_CloseTag.substr(2, m_CloseTag.size() - 3);
  std::string name;
  while (head.size() < kHeadMax && head.size() < size) {
    char buf[kChunk];
    m_File->Seek(head.size());
    size_t got = m_File->Read(buf, sizeof(buf));
    if (got == 0) return false;
    head.append(buf, got);
    name = RootName(head);
    if (!name.empty()) break;
  }
  if (name != root) return false;

  // The last "<" of the document and everything after it.
  std::string tail;
  uint64_t start = size;
  size_t lt = std::string::npos;
  while (start > 0) {
    uint64_t from = start > kChunk ? start - kChunk : 0;
    std::string chunk(static_cast<size_t>(start - from), '\0');
    m_File->Seek(from);
    if (m_File->Read(chunk.data(), chunk.size()) != chunk.size()) return false;
    tail = chunk + tail;
    start = from;
    size_t i = chunk.rfind('<');
    if (i != std::string::npos) {
      lt = i;
      break;
    }
  }
  if (lt == std::string::npos) return false;
  uint64_t at = start + lt;
  std::string after = tail.substr(lt + 1);
  // A "<" inside a comment, processing instruction or character data
  // section tells nothing reliable about where the root ends.
  if (after.find("-->") != std::string::npos ||
      after.find("?>") != std::string::npos ||
      after.find("]]>") != std::string::npos || after.empty() ||
      !(after[0] == '/' || after[0] == '_' || after[0] == ':' ||
        isalpha(static_cast<unsigned char>(after[0])) ||
        static_cast<unsigned char>(after[0]) >= 0x80))
    return false;
  std::string closing = "/" + root;
  bool is_closing = false;
  if (after.compare(0, closing.size(), closing) == 0) {
    size_t j = closing.size();
    while (j < after.size() && IsSpace(after[j])) j++;
    is_closing = j < after.size() && after[j] == '>';
  }
  // A closing tag cut short ("</HIST") is the closing tag as well.
  bool cut_closing = !after.empty() && after.size() <= closing.size() &&
                     closing.compare(0, after.size(), after) == 0;
  if (is_closing || cut_closing) return m_File->Seek(at);
  // Another tag: content goes at the end, unless that tag is cut short or
  // is the root element closed on itself.
  size_t gt = after.find('>');
  if (gt == std::string::npos) return false;
  if (gt > 0 && after[gt - 1] == '/' &&
      after.compare(0, root.size(), root) == 0)
    return false;
  return m_File->Seek(size);
}

int Wy_XmlFile::CloseFileHandle() {
  if (!m_File) return 0;
  std::unique_ptr<Wy_SeqFile> file = std::move(m_File);
  bool ok = file->Write(m_CloseTag) && file->Flush();
  if (ok) ok = file->SetLength(file->GetPosition());
  file->Close();
  return ok ? 1 : 0;
}
