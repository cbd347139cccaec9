// Wy_GDataChild: the rules of a child data set, a reduced copy of a source
// data set from which products, bases, colorants, cans or formulas are
// removed. The rules are kept as cards, fixed-column text lines, in a rule
// file:
//
//   columns 0-7   section: "%04ld%04ld" (product id, sub-product id);
//                 "00000000" the data-set root, "********" every section
//   columns 8-15  database: the table's file base name, upper case, blank
//                 for the header cards
//   columns 16-17 code: blank in every card the builder writes
//   columns 18-26 key (kKey*)
//   columns 27-   value (a directory, the description, the id, or an
//                 expression of the expression language)
//
// A card is at least 27 characters long. In a search section "?" matches any
// one character.
//
// This file holds the rule layer: cards, the rule file, record deletions with
// their dependent rules, explicit deletions, the string cache and the
// colorant macro. Every operation except Init, InitInDummyMode, GetInfo,
// Read and the fast-delete flag accessors answers false (or 0, or -1 for
// positions) while the builder is not initialised. Nothing throws; refusals
// are traced (Wy_Trace). Not thread-safe.
#ifndef MIXTABLE_WY_GDATA_CHILD_H_
#define MIXTABLE_WY_GDATA_CHILD_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "mixtable/export.h"

// Column layout of a card.
constexpr size_t kCardSectionPos = 0;
constexpr size_t kCardSectionLen = 8;
constexpr size_t kCardDatabasePos = 8;
constexpr size_t kCardDatabaseLen = 8;
constexpr size_t kCardCodePos = 16;
constexpr size_t kCardCodeLen = 2;
constexpr size_t kCardKeyPos = 18;
constexpr size_t kCardKeyLen = 9;
constexpr size_t kCardValuePos = 27;
constexpr size_t kCardMinLen = 27;

// Card keys (9 characters each).
constexpr const char* kCardKeyDirFrom = "DIR_FROM=";
constexpr const char* kCardKeyDirTo = "DIR_TO  =";
constexpr const char* kCardKeyDescr = "GDT_DESC=";
constexpr const char* kCardKeyId = "GDT_ID  =";
constexpr const char* kCardKeySelect = "SELECT  =";
constexpr const char* kCardKeySelectEx = "SELECT_X=";
constexpr const char* kCardKeyDelete = "DELETE  =";
constexpr const char* kCardKeyDeleteEx = "DELETE_X=";
constexpr const char* kCardKeyPrune = "PRUNE   .";

// Sections.
constexpr const char* kCardSectionRoot = "00000000";
constexpr const char* kCardSectionAll = "********";

// The colorant macro and its placeholders.
constexpr const char* kCntMacroFormat = "(CX(1,\"%s\",\"%s\")=\"1\")";
constexpr const char* kCntMacroFuncFormat = "@CNT_F%05ld@";
constexpr const char* kCntMacroCntFormat = "@CNT_S%05ld@";
constexpr int kCntMacroMax = 20;  // macros in one expression

// Card_Apply walks tables of more records than this instead of using the
// special filter, whose index is limited to 99 999 records.
constexpr int32_t kApplyWalkThreshold = 99999;

// The result of CreateChild when the build failed or was refused with
// nothing changed.
constexpr int kChildFailed = -4;
// Beside the destination "c:\child": the staging directory "c:\child.$CHILD"
// and, during the swap, the old tree "c:\child.$CHILDOLD". The catalogue scan
// skips both.
constexpr const char* kChildStagingSuffix = ".$CHILD";
constexpr const char* kChildAsideSuffix = ".$CHILDOLD";
// Whether a directory name or path ends with one of those suffixes (any
// case).
bool Wy_IsChildWorkDir(const std::string& path);

// The child log "MIXTABLEChild.LOG", beside "MIXTABLE.LOG" (Wy_LogDirectory):
// entry kChildLogEntry (stamp, scan phase, table directory, table file name)
// with kChildLogError appended for a table whose rules could not be applied;
// restarted when larger than 1 000 000 bytes.
constexpr const char* kChildLogName = "MIXTABLEChild.LOG";
constexpr const char* kChildLogEntry = "%s: (%d) \"%s%s\"";
constexpr const char* kChildLogError = " ***** CHILD DBASE ERROR *****";
MIXTABLE_API std::string Wy_GDataChildLogPath();
MIXTABLE_API bool Wy_GDataChildLog(int phase, const std::string& dir,
                                   const std::string& name, bool error);
// A free-text note of a build (stamp, ": ", text).
MIXTABLE_API bool Wy_GDataChildLogNote(const std::string& text);

// The field whose pairs the colorant routine reads ("id,qty,id,qty..."); a
// table without it is read from kCntRoutineFieldAlt, as formula texts are.
constexpr const char* kCntRoutineField = "FORMULA";
constexpr const char* kCntRoutineFieldAlt = "FRM";

class Wdbase;

// The data-set id given to a child: "%010lu" of 1..4 294 967 295.
constexpr const char* kChildIdFormat = "%010lu";

class MIXTABLE_API Wy_GDataChild {
 public:
  // One card split into its fields (untrimmed, as in the columns).
  struct Card {
    std::string section, database, code, key, value;
  };
  // Fields Card_Find compares.
  enum : unsigned {
    kFindSection = 1,
    kFindDatabase = 2,
    kFindCode = 4,
    kFindKey = 8,
    kFindValue = 16,
  };
  // Reads a field of the record a deletion is made for: the field's text,
  // trimmed ("" for a missing field).
  using RecordReader = std::function<std::string(const char* field)>;

  Wy_GDataChild();

  // True when all three texts are non-empty, the directories differ without
  // regard to case and the source's PARAM holds a non-zero "DATAID". Both
  // directories get a trailing backslash. Otherwise the builder stays (or
  // becomes) not initialised and the texts are cleared.
  bool Init(const char* src, const char* dst, const char* descr, bool newId);
  // Initialised without directories: cards can be edited. True.
  bool InitInDummyMode();
  bool GetInfo(std::string& src, std::string& dst, std::string& descr,
               bool& newId) const;

  // --- building the child (gdata_child_build.cc, gdata_child_copy.cc) ------
  // Builds the child in the staging directory beside the destination
  // (destination + kChildStagingSuffix, its maintenance lock held) and swaps
  // it in only when every step succeeded: the old destination is renamed to
  // destination + kChildAsideSuffix, the staging directory takes its name,
  // the old tree is deleted. With copyFirst the source is copied into the
  // staging directory (CopyGData); without, the existing destination is.
  // Then: the new id ("DATAID" only) and the PRUNE cards (the directory the
  // product's or sub-product's "PATH" names, read before any rule runs;
  // never one a remaining product or sub-product also names, never outside
  // the data set), the rules of every table of the root, product and
  // sub-product levels (Card_Apply), the description. Progress goes to
  // window through the platform hook (0x8702, 0x8703, 0x8704); tables the
  // rules changed or could not handle are logged in the child log.
  // Answers 1 built; 0 not initialised or the copy failed; -1 refused
  // destination (see CopyGData) or equal directories; -2 no "DATAID" in the
  // source or the copy, or no usable new id; -3 an existing destination that
  // is not a data set, or the id or description could not be written;
  // kChildFailed (-4) a table's rules could not be applied, another build or
  // maintenance run holds the destination, or a table of the destination is
  // open in another process. On any answer but 1 the destination and the
  // source are as they were and the staging directory is removed. A build
  // killed part way leaves the destination as it was (or, killed during the
  // swap, its old tree under the aside name, which the next build puts back);
  // the next build removes the staging leftover.
  int CreateChild(const void* window, bool copyFirst);
  // Whether the BASESFRM record id of the source (positioned on prd and spd)
  // holds, as a colorant id of its "FORMULA", one of cnts. False when not
  // initialised, the record is missing or its formula does not parse.
  bool IsBaseLinkedToBaseComponent(const std::vector<int32_t>& cnts, int32_t id,
                                   int32_t prd, int32_t spd);
  // Replaces Card_Apply during builds (tests: fault injection); null restores
  // Card_Apply. Process-wide; not thread-safe.
  using ApplyHook = int (*)(Wy_GDataChild& child, const char* dir, int table,
                            int32_t prd, int32_t spd);
  static void SetApplyHook(ApplyHook hook);
  // The staging state of one build (internal: gdata_child_build.h).
  struct BuildState;

  // Reads a rule file: lines trimmed, empty lines and lines starting with
  // "#" skipped, CRLF accepted. The whole file is refused (false, nothing
  // kept, the builder not initialised, the line traced) for a line under 27
  // characters, an unknown key, a section that is not 8 characters of
  // digits, "?" or "*", a database that is neither blank nor a table's base
  // name, an unsafe expression value (IsCardValueSafe), a "GDT_ID  =" that is
  // not a number 1..4 294 967 295, or missing "DIR_FROM=", "DIR_TO  =" or
  // "GDT_DESC=" header cards; then Init decides.
  bool Read(const char* path);
  // Writes the header cards and every card, sorted without regard to case,
  // one line each (LF), through a work file renamed over path. With the
  // new-id flag a new id is made unless the file is the one read and the
  // read id is valid. False when not initialised or the file cannot be
  // written (path then untouched).
  bool Write(const char* path);

  // --- record deletions ------------------------------------------------------
  // Reads record id of table from the source data set (positioned on prd and
  // spd; for a base without product keys also its substrates) and stores
  // its deletion cards as DeleteRecordFrom does. False when not initialised
  // with a source, for an unsupported table or a record not found.
  bool DeleteRecord(int32_t id, int table, int32_t prd, int32_t spd);
  // Whether the own card of that source record is stored.
  bool IsRecordDeleted(int32_t id, int table, int32_t prd, int32_t spd);
  // Builds the deletion cards of record id of table (CNTS, BASES, CANS,
  // PRODUCTS, SUBPRODS, FRM) from its fields: the record's own card and,
  // unless the fast-delete flag is set, the dependents' cards. substrates
  // are the ids of the SUBSTR records of a base (used for a base without
  // product keys). False for other tables or a section that cannot be made.
  bool MakeDeleteCard(std::vector<std::string>& cards, const RecordReader& rec,
                      int table, int32_t id, int32_t prd, int32_t spd,
                      const std::vector<int32_t>& substrates = {}) const;
  // Stores MakeDeleteCard's cards: an equal card (any case) is replaced,
  // others appended.
  bool DeleteRecordFrom(const RecordReader& rec, int table, int32_t id,
                        int32_t prd, int32_t spd,
                        const std::vector<int32_t>& substrates = {});
  // Whether the record's own card is stored.
  bool IsRecordDeletedFrom(const RecordReader& rec, int table, int32_t id,
                           int32_t prd, int32_t spd);

  // --- explicit deletions ----------------------------------------------------
  // One "DELETE_X=" card per expression in the section of prd/spd (a section
  // with "?" is refused); an existing equal card is kept once. An unsafe
  // expression refuses the whole call (nothing stored).
  bool SetDeleteRecordEx(const std::vector<std::string>& exprs, int table,
                         int32_t prd, int32_t spd);
  bool GetDeleteRecordEx(std::vector<std::string>& exprs, int table,
                         int32_t prd, int32_t spd);
  // Removes the card of every expression of remove (false at the first one
  // not found), then stores add.
  bool UpdateDeleteRecordEx(const std::vector<std::string>& remove,
                            const std::vector<std::string>& add, int table,
                            int32_t prd, int32_t spd);
  // Removes cards of the section (any section when prd and spd are both
  // negative) and, for a valid table, of its database; "_X" cards only with
  // alsoExplicit. An invalid table with alsoExplicit removes every rule card.
  // The header cards are always kept.
  bool CleanRules(int table, int32_t prd, int32_t spd, bool alsoExplicit);

  // --- string cache ----------------------------------------------------------
  bool StringCacheInit(int table);
  bool StringCacheAdd(int32_t prd, int32_t spd);
  bool StringCacheRemove(int32_t prd, int32_t spd);
  // The expressions present in every counted section; false (and the cache
  // marked invalid) when an expression is counted more often than there are
  // sections.
  bool StringCacheGetIntersection(std::vector<std::string>& exprs);

  // --- colorant macro --------------------------------------------------------
  bool IsCntFunctionRequired(const char* expr, int32_t& cnt);
  // kCntMacroFormat with the two placeholders of cnt (1..99 999).
  bool MakeCntFunctionMacro(std::string& expr, int32_t cnt);
  // Replaces the placeholders of cnt by funcText and cntText. True when both
  // were replaced equally often and at least once and the expression holds
  // at most kCntMacroMax macros; expr is untouched on false.
  bool ConvertCntFunctionMacro(std::string& expr, int32_t cnt,
                               const char* funcText, const char* cntText);
  // A value may hold CX calls only as the builder's own colorant macros (at
  // most kCntMacroMax) and no reference token "!@" or "!*".
  static bool IsCardValueSafe(const std::string& value);

  // --- applying the rules ----------------------------------------------------
  // Applies the cards of one table at one level of a child being built (the
  // staged copy; a dir inside the source directory, compared as text, is
  // refused): dir is the level's directory (trailing backslash optional),
  // table a registry table id, prd/spd the level's product and sub-product
  // (0, 0 for the data-set root); the level's section is MakeSezione(prd,
  // spd). Card_Apply opens the table itself (with the registry's indexes),
  // holds its lock throughout and closes it again.
  // The cards applied are the "SELECT  =", "SELECT_X=", "DELETE  =" and
  // "DELETE_X=" cards of the table's database with a non-empty value whose
  // section is the level's, where "?" and "*" in a card's section match any
  // character ("********" every level, "0001????" every level of product
  // 1). They are applied in card order; for each, progress goes to window
  // through the platform hook (0x8703, the card's position among all cards
  // in percent, the table's base name; a null window sends nothing). Each
  // value must be a logical expression of the table (colorant macros are
  // expanded with ExpandCntMacros). A SELECT card keeps the matching records
  // that are not deleted; a DELETE card deletes the matching records (and
  // takes back an earlier keep). When a SELECT card applied, every record no
  // SELECT card kept is deleted, even when none matched. Records deleted in
  // the source stay deleted; selection bits are cleared. The table is packed
  // when anything was deleted. After FRM, FRM_REFL records of the same
  // directory whose "FRM_ID" is no longer an "ID" of FRM are deleted and
  // FRM_REFL packed. Tables with more records than the walk threshold are
  // walked, the condition evaluated on every record, instead of using the
  // special filter (limited to 99 999 records), with the same result.
  // Answers 1 when records were kept by a SELECT card or deleted, 0 when
  // there was nothing to do (not initialised, no card for the table at this
  // level, nothing matched, or the table's file is not in dir), -1 when the
  // table could not be handled (an invalid table id or level, a dir in the
  // source, the table cannot be opened or locked, a card's value is refused
  // or is not a logical expression of the table, the filter fails, a write
  // or a pack fails); the reason is traced. A failed card may leave the
  // table partly changed: callers apply the rules to a copy they discard on
  // -1.
  int Card_Apply(const char* dir, int table, int32_t prd, int32_t spd,
                 const void* window = nullptr);
  // Tables with more records than this are walked instead of filtered;
  // default kApplyWalkThreshold. Process-wide, for tests; 0 or less restores
  // the default.
  static void SetApplyWalkThreshold(int32_t records);

  // --- the colorant routine --------------------------------------------------
  // Prepares expr (a card value, already checked by IsCardValueSafe) for
  // evaluation on table, before it is registered and filtered on: for every
  // colorant whose macro expr holds, "@CNT_F%05ld@" becomes the handle of
  // the colorant routine and "@CNT_S%05ld@" the colorant id ("%ld"), through
  // ConvertCntFunctionMacro. The routine is registered on table (a CX routine
  // owned by that Wdbase, see xbase32/wdbase_cx.h) at the first call for
  // that object and again only when that registration has ended; it lives
  // until table is destroyed. For each record the special filter evaluates,
  // the routine answers "1" when the record's kCntRoutineField holds the
  // call's colorant as an id of its pairs (FormulaHoldsColorant), else "0":
  // a text that does not parse as pairs, or a table without the field,
  // answers "0" and so keeps its records from a DELETE card.
  // True when expr holds no placeholder (expr unchanged) or all were
  // replaced; false (expr unchanged, traced) when not initialised, for more
  // than kCntMacroMax macros, a placeholder without its partner or with an
  // id that is not 5 digits of 1..99 999, or when the routine cannot be
  // registered.
  bool ExpandCntMacros(Wdbase& table, std::string& expr);
  // The handle of the colorant routine ExpandCntMacros registered on table,
  // or 0 when it has none (never registered, or the registration ended).
  int32_t CntRoutineHandle(const Wdbase& table) const;
  // Whether formula (len bytes, "id,qty,id,qty..." as yformula reads it)
  // holds colorant cnt as the id of a pair; a quantity equal to cnt does not
  // count. False for cnt < 1 and for a text that does not parse as pairs.
  static bool FormulaHoldsColorant(const char* formula, size_t len,
                                   int32_t cnt);

  void SetFastDeleteFlag(bool fast) { m_fastDelete = fast; }
  bool GetFastDeleteFlag() const { return m_fastDelete; }

  // --- cards -----------------------------------------------------------------
  static std::string Card_Make(const char* section, const char* database,
                               const char* code, const char* key,
                               const char* value);
  // Splits a card of at least kCardMinLen characters.
  static bool Card_Fill(const std::string& line, Card& card);
  bool Card_Get(int pos, Card& card);
  // Replaces the card at pos, or appends (answering the new position) when
  // pos is out of range. -1 when not initialised.
  int Card_Set(int pos, const std::string& card);
  bool Card_Del(int pos);
  // First card from pos (0 when out of range) whose chosen fields equal the
  // search card's without regard to case ("?" in the search section matches
  // any character); -1 when none.
  int Card_Find(const Card& search, unsigned fields, int pos = 0);
  void Card_Sort();
  static int Card_Compare(const std::string& a, const std::string& b);
  // "%04ld%04ld" by the section rules; "" when no section fits.
  static std::string MakeSezione(int32_t prd, int32_t spd);
  // The table's file base name, upper case; "" for an invalid table.
  static std::string MakeDatabase(int table);
  // The table whose base name this is (any case), else -1.
  static int DatabaseToTable(const std::string& database);

  const std::vector<std::string>& Cards() const { return m_cards; }
  bool IsInitialised() const { return !m_notInit; }

  // Makes a new data-set id for Write ("%010lu"); null restores the
  // default, CMixtableEx::CreateNewGdataId (the clock's seconds, skipping
  // ids the catalogue lists). Process-wide; not thread-safe.
  using IdMaker = bool (*)(std::string& id);
  static void SetIdMaker(IdMaker maker);

 private:
  // Checks the directories and fills the staging directory with a copy of
  // the source (or, with copy false, of the destination). 1 done; -2 no
  // "DATAID" in the source; -1 a refused destination: a root, a path with
  // "..", equal to, inside or containing the source, or equal to, inside or
  // containing the local, cache, work-area or installer backup directory
  // (all compared on the mapped host path); -3 an existing destination that
  // is not a data set (left untouched); kChildFailed another build holds the
  // staging directory; 0 the copy failed.
  int CopyGData(BuildState& b, bool copy);
  int Build(BuildState& b, bool copyFirst);
  bool StoreCard(const std::string& card);
  bool ReadSourceRecord(int table, int32_t id, int32_t prd, int32_t spd,
                        std::map<std::string, std::string>& fields,
                        std::vector<int32_t>& substrates);
  void Clear();
  bool ParseLines(const std::vector<std::string>& lines);

  std::string m_path;
  Card m_search, m_found;
  int m_pos = -1;
  std::string m_src, m_dst, m_descr;
  bool m_newId = false;
  std::string m_id;
  std::vector<std::string> m_cards;
  bool m_notInit = true;
  bool m_fastDelete = false;
  // String cache.
  std::vector<std::string> m_cacheExprs;
  int m_cacheTable = -1;
  int m_cacheSections = 0;
  bool m_cacheInvalid = false;
  // The colorant routine's handle per table object it was registered on
  // (checked against the engine before reuse: an object at a recycled
  // address has no registration).
  std::map<const Wdbase*, int32_t> m_cntRoutines;
};

#endif  // MIXTABLE_WY_GDATA_CHILD_H_
