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
#include <vector>

#include "mixtable/export.h"
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
struct MIXTABLE_API YTABLE_DICTIONARY {
  char* attributes;             // kDictHeaderSize + kDictFieldSize * N bytes
  WDBASE_FIELD* fields;         // N fields + an all-zero terminator
  WDBASE_FIELD* matchedFields;  // N + 1, zero when loaded (structure changes)
  int32_t* offsets;             // N (source, target) pairs, zero when loaded
};

// A field renamed between structures; a list ends with a null new_name.
struct MIXTABLE_API YTABLE_RENAMEFIELD {
  const char* oldName;
  const char* newName;
};

// Choices of a structure conversion beyond the dictionary's rule; all off
// in the four-argument Convert.
struct MIXTABLE_API YTABLE_CONVERT_OPTIONS {
  // Decide and log as for a real conversion (same result, same lines) but
  // write nothing: the table and its files stay as they are.
  bool dryRun = false;
  // Leave out the fields the dictionary does not name ("REMOVE EXTRA
  // FIELDS", then one "REMOVE" line per field with the number of records
  // that held a value). Off: they are kept after the dictionary's fields.
  bool removeExtraFields = false;
  // Convert every changed field by the conversion table even where a value
  // does not survive. Off: such a field keeps its definition ("KEEP").
  bool allowLoss = false;
};

// The signature written into a data set's PARAM table: name, version and
// the local date and time, "%s #%s [%04d-%02d-%02d] (%02d:%02d:%02d)".
constexpr const char* kSignatureFormat =
    "%s #%s [%04d-%02d-%02d] (%02d:%02d:%02d)";

class MIXTABLE_API CMixtableEx {
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

  // --- structure conversion (maintenance/convert_*.cc) -----------------------
  // Brings the table's file to the dictionary's structure. The log is
  // emptied first and receives the lines below. Answers 1 when the table
  // was rebuilt, 0 when it already matches, -1 on failure (no handle, no
  // dictionary item, a table that does not open, a table locked or held
  // open elsewhere, a failed copy or replacement). The table set's handle
  // is closed first and the table is read through a private handle without
  // index files, in physical order with deleted marks; the rebuilt table
  // replaces the old one crash-safely in the directory it was read from,
  // under the table's whole-file lock, and its old index files are removed
  // (the caller reindexes). On failure the old table is left whole, no
  // work file stays behind, the log ends with "CONVERSION ERROR" and the
  // message box "ERROR: Check LOG file for details" ("DBF Convert") is
  // shown through the platform's hook.
  //
  // Matching: renames first (a pair whose new name is the dictionary
  // field's; when that name exists in the table as well, it is the match
  // and the old-name field stays an extra), then by name. Without
  // exactWidths a wider C or N field keeps its width. Fields the dictionary
  // does not name are kept after the dictionary's ("EXTRA" lines); a field
  // whose values would not all read back as before keeps its definition
  // ("KEEP ... (record N)" for the first such record). Lines, while record
  // 1 is copied: "CHANGE: OLD        C  10.0 -> NEW        N   8.3" and
  // "INSERT: NAME       C  10.0".
  int16_t Convert(int table, const YTABLE_RENAMEFIELD* renames,
                  std::vector<std::string>& log, bool exactWidths);
  int16_t Convert(int table, const YTABLE_RENAMEFIELD* renames,
                  std::vector<std::string>& log, bool exactWidths,
                  const YTABLE_CONVERT_OPTIONS& options);

  // --- PARAM (maintenance/param.cc) ------------------------------------------
  // Each opens PARAM temporarily (its first index selected) and leaves it
  // in the state it had; 0, false or "" when PARAM has no handle or does
  // not open. A key is found only when a record holds exactly it (a longer
  // key beginning with it does not count). Numbers are read as unsigned
  // 32-bit decimal texts: anything else, or a larger value, reads 0.
  uint32_t GetParamGdataId(bool absolute);  // "ABS_DATAID" / "DATAID"
  std::string GetParamHTMLPath();           // "HTMLPATH"
  uint32_t GetParamCodePage();              // "CODEPAGE"
  // "CHECK_INFO": both outputs emptied first; true when the key exists.
  bool GetParamLastCheck(std::string& value, std::string& comment);
  bool GetParamFrmHistoryEnabled();  // "FRM_HISTORY" value not 0
  // Setters: seek the key, append a record when it is missing, write KEY,
  // VALUE and COMMENT. False (nothing written) for a VALUE longer than its
  // field; a longer COMMENT is cut. A record appended by a setter whose
  // later write fails is deleted again. A null comment writes blanks.
  bool SetParamGdataId(const char* value, const char* comment, bool absolute);
  bool SetParamHTMLPath(const char* value, const char* comment);
  bool SetParamCodePage(uint32_t value, const char* comment);  // "%u"
  bool SetParamLastCheck(const char* value, const char* comment);
  bool SetParamFrmHistoryEnabled(bool enabled, const char* comment);
  // Any key: its VALUE and COMMENT (trimmed), false when missing; and the
  // setter rule above for any key (false for a key longer than its field).
  bool GetParam(const char* key, std::string& value, std::string& comment);
  bool SetParam(const char* key, const char* value, const char* comment);
  // The machine's OEM code page (the platform layer's).
  static uint32_t GetSystemCodePage();

  // --- signature (maintenance/signature.cc)
  // ----------------------------------- This library's signature now: name and
  // version of the project (see the README), date and time from the platform's
  // local clock.
  static std::string GetSignature();
  // Splits a signature (replaced by GetSignature() when empty) into name,
  // version, date ("CCYY-MM-DD") and time ("HH:MM:SS"), each trimmed.
  // False (outputs emptied) when it does not have that shape.
  static bool GetSignatureData(std::string& signature, std::string& name,
                               std::string& version, std::string& date,
                               std::string& time);
  // True unless PARAM's "CHECK_INFO" COMMENT is a signature of this
  // library's name and version (compared ignoring case). On true, last
  // receives that COMMENT ("" when missing) and current GetSignature().
  bool NeedsAdvancedCheck(std::string& last, std::string& current);

  // --- check and upgrade (maintenance/select_gdata.cc, upgrade_*.cc) -------
  // Makes dir (trimmed, "c:\gdata" when empty, one trailing separator
  // removed) the data directory and brings its data set up to date. mode
  // (mixtable/wy_upgrade.h): 1 full check (tree check, signature recorded
  // afterwards), 2 and 4 the tree check's prune and clean options, 8
  // exactWidths for every conversion, exactly 16 quick mode (root and
  // product levels, the seven base tables converted, nothing else); 0
  // automatic: a full check unless PARAM's "CHECK_INFO" holds a signature
  // of this library's name and version. Every table is converted without
  // removal or loss (EXTRA and KEEP lines go to the log), patched, its key
  // fields normalised and its indexes rebuilt; level blend and K/S tables
  // are merged into the root; COLORKEY is made when missing; the signature
  // is recorded only after a full run with no failed table. Every change
  // is backed up first (mixtable/wy_maintenance.h) and every table logged
  // in the maintenance log (mixtable/wy_maintenance_log.h). window is
  // passed to the platform's progress hook (null: no progress).
  // Answers 1 (failed tables are logged and counted in
  // Wy_LastUpgradeReport()), -1 no such directory, -2 no data-set id, -3
  // no PARAM table, -4 busy (another run, or a table open elsewhere;
  // nothing changed), -5 an interrupted run could not be restored,
  // kWyUpgradeBackupFailed (-6) a backup failed and the run was undone.
  // Any result but 1 leaves the table set without a data directory.
  int SelectGData(const char* dir, const void* window, int mode);

  // --- creation and identity (maintenance/gdata_*.cc) ----------------------
  // A new data-set id: the current time in seconds since 1970 as "%010lu"
  // (0 when the clock cannot be read), increased while the catalogue lists
  // it as a DATAID or ABS_DATAID and kept above every id this process made
  // before, so two sets made in one second differ. Always true.
  static bool CreateNewGdataId(std::string& id);

  // Results of CreateGData besides those of SelectGData.
  static constexpr int kCreateBadDir = -1;    // unusable or not created
  static constexpr int kCreateNoTables = -3;  // CNTS/PARAM not made/opened
  static constexpr int kCreateBusy = -4;      // locked, or a table in use

  // Makes dir a data set: closes every table; dir trimmed ("c:\gdata"
  // when empty), one trailing "" removed. dir must be a drive path longer
  // than "C:" or a host path below "/"; roots, paths holding "..", the
  // local, cache and work-area directories, the drives root and the
  // directories above it are refused (-1); so is a directory that cannot
  // be created (all missing parents are). Then it becomes the data
  // directory (data id 0); CNTS and PARAM are created when missing (-3 on
  // failure, or when PARAM does not open); a PARAM whose DATAID does not
  // read as a number other than 0 gets a new id as DATAID, and as
  // ABS_DATAID unless that reads as one; one without CODEPAGE gets the
  // machine's OEM code page; each commented with GetSignature(). Last the data
  // set is checked (SelectGData with window and mode) and on 1 the description
  // line ("1.00  Text", see SetGdataDescr(line)) is written. Answers 1, -1,
  // -3, SelectGData's result, or -4 while another maintenance run holds
  // the directory or a table of it is open (any process), -5 when an
  // interrupted run there cannot be restored (Wy_MaintenanceGuard). The
  // whole creation, check included, is one guarded run: on any result but
  // 1 what it changed is restored from its backup (PARAM, tables the check
  // converted, FVERS.DAT) and what it made is removed; the table set then
  // has no data directory, and directories this call created are removed
  // too (an existing data set is never deleted).
  int CreateGData(const char* dir, const char* descr, const void* window,
                  int mode);

  // The FVERS.DAT line of the data directory (first line, at most 4095
  // characters, CR and LF removed), converted from the OEM to the ANSI code
  // page when PARAM's conversion mode is on (0). "" without a data
  // directory or file.
  std::string GetGdataDescr();
  // Rewrites FVERS.DAT (Wy_FormatFVersLine, converted to OEM under the same
  // rule) through a work file renamed over it, so a reader sees the old or
  // the new line, never part of one. A null descr keeps the current
  // description (the current line from position 6; none when shorter).
  // False for a version outside 0..<99.995, without a data directory, or
  // when the file cannot be written (the old one is then unchanged).
  bool SetGdataDescr(double version, const char* descr);
  // A whole line: split as Wy_FVersDescr::Init splits it, then written as
  // above. An empty or null line changes nothing (true).
  bool SetGdataDescr(const char* line);

  // When PARAM's DATAID is in the DATAID form and ABS_DATAID is set, makes
  // the version in FVERS.DAT the one the DATAID carries. False only without
  // a PARAM handle or when that write fails.
  bool AlignGDataVersions();

  // Closes every table, makes dir the data directory (as SetDataDir) with
  // the data id from its PARAM, then opens PRODUCTS on product prd (unless
  // 0) and SUBPRODS on sub-product spd (unless 0). False when a table does
  // not open or an id is not found (a product PATH leading out of the data
  // set counts as not found).
  bool AlignTable(const char* dir, int32_t prd, int32_t spd);
  // Aligns to other's data directory and its current PRODUCTS / SUBPRODS
  // ids (0 for a table that is not open).
  bool AlignTable(CMixtable& other);
  // The current product and sub-product ids (0 for a closed table). False
  // only without the handles.
  bool GetLevelIDs(int32_t& prd, int32_t& spd);
  // The level whose directory really holds the table's file for the current
  // position: the sub-product directory, else the product directory, else
  // the data directory, answering the ids of that level. *dir (may be null)
  // receives each directory tried (with ""); a level whose PATH leads out
  // of the data set is skipped. False for a table outside 0..35, null ids,
  // or when no level holds the file.
  bool GetDbPhisicalLevelIDs(int table, int32_t* prd, int32_t* spd,
                             std::string* dir);

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
  // The directory the table is read from: its open handle's, else the most
  // specific level of its mask holding its file.
  bool SourceDir(int table, std::string& dir);
  // PARAM: positions on the record of key (exactly); false when missing.
  bool SeekParam(Wdbase* db, const char* key);
  bool ReadParam(const char* key, std::string* value, std::string* comment);
  bool WriteParam(const char* key, const char* value, const char* comment,
                  bool key_only_when_new);

  // CreateGData's last step: the check of the new data set (SelectGData).
  int CreateGDataCheck(const std::string& dir, const void* window, int mode);

  CMixtable m_table;
  YTABLE_DICTIONARY m_dict[Y_N_MAX];
};

#endif  // MIXTABLE_MIXTABLE_EX_H_
