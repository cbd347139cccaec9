// Wy_XmlFile: one XML report or history document. It knows the declaration
// (the character set of the ANSI code page), the root element of its type,
// the shop-information line, and how to reopen an existing document so that
// new elements go before its closing root tag.
//
// Writing cycle: GetFileHandle opens and locks the file and answers a
// Wy_SeqFile in hold mode; writers write their elements to it; CloseFileHandle
// writes what they wrote and the closing tag in one piece over the old
// closing tag (or at the end), cuts the file after it and unlocks. A writer
// that dies before CloseFileHandle leaves the document as it was. Two
// programs appending to one document queue on the lock.

#ifndef MIXTABLE_WY_XML_FILE_H_
#define MIXTABLE_WY_XML_FILE_H_

#include <cstdint>
#include <memory>
#include <string>

#include "mixtable/export.h"
#include "mixtable/wy_records.h"
#include "mixtable/wy_seq_file.h"

// Document types: root element and file.
enum wy_XmlFileType {
  WY_XML_XMLHIST = 1,       // HISTORY, "XMLHIST.XML" in the local directory
  WY_XML_HISTORY = 2,       // HISTORY, "HISTORY.XML" in the local dir; shop
  WY_XML_FRM_REPORT = 3,    // FRM_REPORT
  WY_XML_FRM_AND_CANS = 4,  // FRM_AND_CANS
  WY_XML_FRM_TO_DISP = 5,   // FRM_TO_DISP; shop information
  WY_XML_REFILL_INFO = 6,   // REFILL_INFO
  WY_XML_NEW_DATA_SET = 7,  // NewDataSet
  WY_XML_LEVELS_INFO = 8,   // LEVELS_INFO
};

// How long GetFileHandle waits for another writer of the same document.
constexpr int64_t kWyXmlLockTimeoutMs = 30000;

class MIXTABLE_API Wy_XmlFile {
 public:
  // Fills the declaration, the tags, the shop line and, for types 1 and 2,
  // the file name; opens nothing. shop may be null; it is not kept. An
  // unknown type has no root: GetFileHandle then answers null.
  explicit Wy_XmlFile(int type, const Wy_ShopData* shop = nullptr);
  ~Wy_XmlFile();  // CloseFileHandle()
  // A copy takes the name and the texts and starts without an open file.
  Wy_XmlFile(const Wy_XmlFile& other);
  Wy_XmlFile& operator=(const Wy_XmlFile& other);

  // False for an empty name. Stores the name; when keep is false and a
  // file of that name exists, deletes it. True.
  bool SetFileName(const std::string& name, bool keep);
  std::string GetFileName() const { return m_FileName; }

  // The open file (owned by this object), opened, locked and positioned on
  // first use; null when there is no name or no root, the file is read-only,
  // a directory, cannot be opened or stays locked by another writer, or an
  // existing document cannot be appended to (no root element of this type,
  // a last tag cut short, or markup other than a tag at its end).
  Wy_SeqFile* GetFileHandle();
  // Writes the held content and the closing tag, cuts the file after it,
  // unlocks and closes. 1, or 0 when no file was open or writing failed
  // (the document then keeps its old bytes).
  int CloseFileHandle();

  const std::string& Declaration() const { return m_Declaration; }
  const std::string& OpenTag() const { return m_OpenTag; }
  const std::string& ShopLine() const { return m_ShopLine; }
  const std::string& CloseTag() const { return m_CloseTag; }

 private:
  // Positions an opened existing document; false when it cannot be
  // appended to.
  bool FindInsertPoint(uint64_t size);

  std::unique_ptr<Wy_SeqFile> m_File;
  std::string m_FileName;
  std::string m_Declaration;  // "<?xml version=\"1.0\" encoding=\"...\"?>\r\n"
  std::string m_OpenTag;      // "<ROOT>\r\n"
  std::string m_ShopLine;     // "<SHOPINFO>(..)(..)(..)(..)</SHOPINFO>\t\n"
  std::string m_CloseTag;     // "</ROOT>"
};

#endif  // MIXTABLE_WY_XML_FILE_H_
