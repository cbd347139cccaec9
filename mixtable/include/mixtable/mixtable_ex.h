// CMixtableEx: the extended table set. It holds one CMixtable by value and
// adds the table dictionary: the structure of every registry table, read at
// run time from the text file DataBase.DCT.
//
// Where the dictionary is: the file named by the environment variable
// KALVO_DCT when it is set and not empty; otherwise "DataBase.DCT" in the
// directory of the tables library's own file (the build tree and the
// installation both put it there).
//
// Ownership: each dictionary item's four arrays belong to the table set
// (allocated with new[], freed by EmptyDictionaryItem and the destructor);
// GetDictionaryItem and GetDictionaryItemField lend pointers valid until the
// item is emptied. Copies copy the contained table set (with every table of
// the copy closed) and start with empty dictionary items.
//
// Failures answer false (or null); nothing throws. Tables are named by their
// WYSPEC values.

#ifndef MIXTABLE_MIXTABLE_EX_H_
#define MIXTABLE_MIXTABLE_EX_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "mixtable/mixtable.h"
#include "xbase32/wdbase.h"

// Layout of YTABLE_DICTIONARY::attributes: a 15-byte header (bytes 0..2 are
// 1/0 for the table flags T, G, H; the rest 0), then one 15-byte record per
// field: bytes 0..3 are 1/0 for the field flags T, G, H, R, and from byte 4
// the field's print format, a NUL-terminated text of at most 11 bytes.
constexpr size_t kDictHeaderSize = 15;
constexpr size_t kDictFieldSize = 15;
constexpr size_t kDictFormatOffset = 4;
constexpr size_t kDictFormatMax = 11;

// One table's dictionary item: loaded only when all four pointers are set.
struct YTABLE_DICTIONARY {
  char* attributes;             // kDictHeaderSize + kDictFieldSize * N bytes
  WDBASE_FIELD* fields;         // N fields + an all-zero terminator
  WDBASE_FIELD* matchedFields;  // N + 1, zero when loaded (structure changes)
  int32_t* offsets;             // N (source, target) pairs, zero when loaded
};

// A field renamed between structures; a list ends with a null new_name.
struct YTABLE_RENAMEFIELD {
  const char* oldName;
  const char* newName;
};

class CMixtableEx {
 public:
  CMixtableEx();
  CMixtableEx(const CMixtableEx& other);
  CMixtableEx& operator=(const CMixtableEx& other);
  ~CMixtableEx();  // empties every item, then closes every table

  // The dictionary file in use (see above).
  static std::string DictionaryPath();

  // --- dictionary ----------------------------------------------------------
  // Loads the table's item unless it is loaded. False for a value outside
  // the registry, a missing or unreadable file, or a file that does not
  // define the table completely (missing line, count mismatch, bad field).
  bool CreateDictionaryItem(int table);
  void EmptyDictionaryItem(int table);
  // The item's pointers (all null when not loaded or out of range).
  YTABLE_DICTIONARY GetDictionaryItem(int table) const;
  // The n-th field (1-based) of a loaded item; null otherwise.
  WDBASE_FIELD* GetDictionaryItemField(int table, int n);
  // The field of exactly this name (case-sensitive) of a loaded item.
  WDBASE_FIELD* GetDictionaryItemField(int table, const char* name);

  // --- single tables -------------------------------------------------------
  // Creates the table's data file from the dictionary when the table is
  // closed, its level fits (16 in its mask, or the current level) and no
  // file of its name exists in that level's directory (created when
  // missing). True only when a table was created.
  bool Create(int table);
  // Closes the table and removes its data and index files from the current
  // level's directory. A missing file counts as success; false for a level
  // that does not fit or a file that cannot be removed.
  bool Delete(int table);
  // Whether the table can be opened (a TmpOpen undone by TmpClose).
  bool Exist(int table);
  // 2 while PRODUCTS is closed, 4 with PRODUCTS open and SUBPRODS closed,
  // 8 with both open.
  uint8_t GetTableLevel();
  // Whether the table may live at the current level (or locally).
  bool IsTableLevelCompatible(int table);
  // Closes every table and makes dir (trimmed, "c:\gdata\" when empty, with
  // a trailing "\") the data directory.
  void SetDataDir(const char* dir);

  // --- the contained table set -----------------------------------------------
  CMixtable& Mixtable() { return m_table; }
  const CMixtable& Mixtable() const { return m_table; }
  Wdbase* Handle(int table) { return m_table.Handle(table); }
  void SetDataId(uint32_t id) { m_table.SetDataId(id); }
  uint32_t GetDataId() const { return m_table.GetDataId(); }
  std::string GetDataDir() const { return m_table.GetDataDir(); }
  int Open(Wdbase* db) { return m_table.Open(db); }
  void CloseAll() { m_table.CloseAll(); }
  void CloseAll(uint8_t levels) { m_table.CloseAll(levels); }
  int TmpOpen(Wdbase* db, uint32_t* state) {
    return m_table.TmpOpen(db, state);
  }
  int TmpClose(Wdbase* db, uint32_t* state) {
    return m_table.TmpClose(db, state);
  }
  int Select(Wdbase* db, int32_t id) { return m_table.Select(db, id); }
  int First(Wdbase* db) { return m_table.First(db); }
  int Next(Wdbase* db) { return m_table.Next(db); }
  int32_t GetNextFreeId(Wdbase* db) { return m_table.GetNextFreeId(db); }
  uint8_t GetCurLevel(const Wdbase* db) const {
    return m_table.GetCurLevel(db);
  }
  uint8_t GetLevelMask(const Wdbase* db) const {
    return m_table.GetLevelMask(db);
  }
  int Scan(CMixtable::ScanFunc func, void* ctx, int all) {
    return m_table.Scan(func, ctx, all);
  }
  int NavigateSubPrds(CMixtable::SubPrdFunc func, void* ctx) {
    return m_table.NavigateSubPrds(func, ctx);
  }
  int RebuildIdx(CMixtable::RebuildFunc func, void* ctx) {
    return m_table.RebuildIdx(func, ctx);
  }
  bool Frieze() { return m_table.Frieze(); }
  bool Defrieze() { return m_table.Defrieze(); }

 private:
  // The directory Create and Delete work in; false when it cannot be found.
  bool TableDir(int table, std::string& dir);

  CMixtable m_table;
  YTABLE_DICTIONARY m_dict[Y_N_MAX];
};

#endif  // MIXTABLE_MIXTABLE_EX_H_
