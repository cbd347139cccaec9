// CMixtable: the table set of one formula data set. It holds one Wdbase per
// registry table (mixtable/ytable.h), finds the directory of each table from
// the data directory and the current product and sub-product, and offers
// id-based navigation, a walk over every table of the data-set tree and the
// rebuild of every index.
//
// Directory levels (Y_LEVEL_*): the data directory (2), the product
// directory = data directory + trimmed PATH of the current PRODUCTS record +
// "\" (4), the sub-product directory = product directory + trimmed PATH of
// the current SUBPRODS record + "\" (8), and the machine's local directory
// (16; $LOCALDIR, else "c:\local\"). A PATH that is empty, contains "..", a
// drive, a separator, or names a symbolic link leading out of its directory
// makes that level "not found": nothing outside the data set is touched.
//
// Ownership: the table set owns its 36 Wdbase objects; Handle() lends
// pointers that stay valid for the life of the table set. The destructor
// closes every table. Copies (construction and assignment) copy the data id,
// the data directory, each slot's level bytes, frozen state and table
// definition (path included) with every table of the copy closed: a copy
// never shares an open table with its original.
//
// Failures answer 0 (or false); nothing throws. Not thread-safe; Scan and
// RebuildIdx keep process-wide state, so only one of them runs at a time.

#ifndef MIXTABLE_MIXTABLE_H_
#define MIXTABLE_MIXTABLE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mixtable/export.h"
#include "mixtable/ytable.h"
#include "xbase32/wdbase.h"

class MIXTABLE_API CMixtable {
 public:
  // Called by Scan for every table found at a level: phase 1 data-set root,
  // 2 product level (with the product's ID), 3 sub-product level (product
  // and sub-product ID), 4 local directory. Answer non-zero to go on.
  using ScanFunc = int (*)(Wdbase* db, void* ctx, int phase, int table,
                           int32_t prd_id, int32_t spd_id);
  // Called by NavigateSubPrds with FRM opened for each product/sub-product
  // pair; level is FRM's current level. Answer non-zero to go on.
  using SubPrdFunc = int (*)(Wdbase* frm, void* ctx, int level, int32_t prd_id,
                             int32_t spd_id);
  // Called by RebuildIdx after each table; rebuilt is 1 when every index of
  // the table was rebuilt, 0 when the rebuild failed. Answer non-zero to go
  // on.
  using RebuildFunc = int (*)(Wdbase* db, void* ctx, int rebuilt);

  // One table: its handle, the levels it may live at, the level it was last
  // opened at, and the state Frieze saves. The full record number of every
  // TmpOpen still pending is kept beside the caller's 16-bit state word.
  struct Slot {
    Wdbase db;
    uint8_t level_mask = 0;
    uint8_t cur_level = 0;
    int32_t frozen_idx = 0;
    std::string frozen_key;
    int32_t frozen_rec = -2;
    struct TmpState {
      uint32_t word;
      int32_t recno;  // full record number; -1 at end of file
    };
    std::vector<TmpState> tmp_states;
    // The hold's own handle of the table (see TmpHold), the level it was
    // opened at and that level's directory then; null when none is held.
    std::unique_ptr<Wdbase> held;
    uint8_t held_level = 0;
    std::string held_dir;
  };

  CMixtable();
  CMixtable(const CMixtable& other);
  CMixtable& operator=(const CMixtable& other);
  virtual ~CMixtable();

  // --- identity ------------------------------------------------------------
  // Stores id and sets the data directory from the catalogue (Wy_DataPath):
  // a catalogued id gives its directory; 0, or any id while there is no
  // catalogue, the default "c:\gdata\"; an id the catalogue does not list
  // an empty directory, in which no table opens. Does not close tables.
  void SetDataId(uint32_t id);
  uint32_t GetDataId() const { return m_dataId; }
  std::string GetDataDir() const { return m_dataDir; }
  // The work area: data id 0xFFFFFFFF, directory "C:\GCSpaces\".
  void SetYtoGCSpaces();

  // --- tables --------------------------------------------------------------
  // The slot's table, or null outside 0..Y_N_MAX-1.
  Wdbase* Handle(int table);
  // The WYSPEC value of a pointer obtained from Handle(), else -1.
  int DbToI(const Wdbase* db) const;
  // Level the table was opened at (0 for null, foreign or closed tables).
  uint8_t GetCurLevel(const Wdbase* db) const;
  // Level mask of the table (0 for null or foreign pointers).
  uint8_t GetLevelMask(const Wdbase* db) const;
  // The directory of a level (with trailing "\"); false (and an empty
  // path) when the level cannot be resolved.
  bool LevelToPath(uint8_t level, std::string& path) const;
  // Position (4 down to 1) of the highest of the bits 16, 8, 4, 2 in mask;
  // -1 for 0; 0 when none of them is set.
  static int LevelToN(uint8_t mask);

  // Opens the table at its most specific existing level (16, 8, 4, 2 as far
  // as its mask allows). Opening FRM closes RULER first and opens RULER
  // after; FRM_REFL opens only at the level of the FRM.DBF in use. 1 on
  // success; 0 when the table is already open, no level has its file or the
  // open fails (the table's path is then empty).
  int Open(Wdbase* db);
  // Closes every table; with levels, only the open tables whose current
  // level has a bit in levels.
  void CloseAll();
  void CloseAll(uint8_t levels);

  // Temporary full-table access. TmpOpen on a closed table stores 0xFFFF in
  // *state and answers Open(db); on an open table it stores the selected
  // index in the high half and the record number in the low half (1 for a
  // negative record number; 0xFFFE in place of a low half of 0xFFFF, which
  // means "was closed"), remembers the full record number in the slot,
  // selects natural order and goes to the top (answers 1). TmpClose undoes
  // it: closes the table, or reselects the index and returns to the full
  // record number remembered for that state word. Null pointers answer 0.
  int TmpOpen(Wdbase* db, uint32_t* state);
  int TmpClose(Wdbase* db, uint32_t* state);

  // --- holding tables for a run of lookups ---------------------------------
  // While a TmpHold is alive, a TmpLookup in a table that the caller has
  // closed reads through a handle of the hold's own, opened at the first
  // lookup (at the level Open would choose) and kept open until the last
  // hold ends, instead of opening and closing the table for every lookup.
  // The table's own handle stays closed and unmoved, so callers see no
  // difference. Nothing stale is read: the engine proves what an open handle
  // has kept against every writer (the table's change counter and the
  // host's write reports), as for any table the caller keeps open. A held
  // handle whose level directory changed (another product or sub-product
  // selected) is opened again; closing the table (CloseSlot, CloseAll)
  // closes its held handle too. A held table is open in this process, so
  // other programs cannot replace or delete it meanwhile: hold only around
  // a run of work. Holds nest; a copy of the table set holds nothing. FRM,
  // RULER and FRM_REFL, whose opening has rules of its own, are never held.
  // A hold must not outlive its table set.
  class TmpHold {
   public:
    explicit TmpHold(CMixtable* tables);  // null: holds nothing
    ~TmpHold();
    TmpHold(const TmpHold&) = delete;
    TmpHold& operator=(const TmpHold&) = delete;

   private:
    CMixtable* tables_;
  };
  // The number of holds alive.
  int HoldCount() const { return m_holds; }
  // Whether the hold keeps a handle of the table open (tests, diagnostics).
  bool IsHeld(int table) const;

  // One record of a table looked up by id (Select rules), for reading: the
  // table's own handle when it is open (its index and position are put back
  // by the destructor), the hold's handle while a hold is alive, else the
  // own handle opened temporarily (TmpOpen) and closed by the destructor.
  // db() is null when the table cannot be opened or the id is not found.
  // Nothing may be written through db(). Must not outlive the table set.
  class TmpLookup {
   public:
    TmpLookup(CMixtable* tables, int table, int32_t id);
    ~TmpLookup();
    TmpLookup(const TmpLookup&) = delete;
    TmpLookup& operator=(const TmpLookup&) = delete;
    const Wdbase* db() const { return found_ ? db_ : nullptr; }

   private:
    CMixtable* tables_;
    Wdbase* db_ = nullptr;
    uint32_t state_ = 0;
    bool temporary_ = false;  // TmpOpen/TmpClose of the own handle
    bool found_ = false;
  };

  // --- navigation by id (first index on ID) --------------------------------
  // Positions on the record with this id that fits the current product and
  // sub-product best (tables with PROD_KEY and SUBP_KEY), else on the
  // record of the id. 1 when found; 0 leaves the position unchanged.
  int Select(Wdbase* db, int32_t id);
  // Distinct ids in ascending order, each positioned as Select would.
  int First(Wdbase* db);
  int Next(Wdbase* db);
  // Highest ID + 1; 0 for an empty, closed or unindexed table.
  int32_t GetNextFreeId(Wdbase* db);

  // --- walking the tree ----------------------------------------------------
  // Calls func for every table of every level (see ScanFunc). Products and
  // sub-products sharing a PATH with an earlier record are visited once
  // unless all is non-zero. Ends with every table closed. Answers 1 when
  // the walk ran to its end, 0 when func stopped it or another scan was
  // running.
  int Scan(ScanFunc func, void* ctx, int all);
  // Calls func with FRM of every product/sub-product pair. 1 when the walk
  // ran to its end.
  int NavigateSubPrds(SubPrdFunc func, void* ctx);
  // Rebuilds every index of every table of the data set (deleting stale
  // "SPF?????.NTX" files of each directory first). Each failure is reported
  // to func (rebuilt 0) and to the trace output. Answers 1 when every table
  // was rebuilt; 0 when any failed, func stopped the walk, or a rebuild is
  // already running (nested calls are refused).
  int RebuildIdx(RebuildFunc func, void* ctx);

  // Saves the position (index, key, record) of every open table and closes
  // it; Defrieze reopens them and restores the positions. True when every
  // key could be evaluated / every table restored.
  bool Frieze();
  bool Defrieze();

  // --- products, cans and colorants (mixtable_products.cc) -----------------
  // The nominal quantity (NOM_Q) of can `can_id`, whole part: with id 0 and
  // CANS open, of the current CANS record; otherwise CANS is opened
  // temporarily and the can selected (0 when not found). CANS is left as it
  // was. DblCanSize answers the full value (a 946.353 can).
  int32_t CanSize(int32_t can_id);
  double DblCanSize(int32_t can_id);
  // CanSize of CAN_ID of the current FRM record; 0 when FRM is closed.
  int32_t FrmCanSize();
  // SPEC_W of colorant id when CNTS is open and the id is found (CNTS then
  // stays on that record); 0 otherwise.
  double SpecificWeight(int32_t id);
  // 1 when PRODUCTS (opened temporarily) has fewer than two records, 0 when
  // it has more or cannot be opened. Deleted records count.
  int SingleProduct();
  // UNIT, FRACTION, FRACTION2, WEIGHTMODE and UNIT_NAME (at most 63
  // characters) of the current PRODUCTS record when PRODUCTS is open and on
  // a record, else DefaultUnitAndFraction. Any output may be null.
  int UnitAndFraction(double* unit, double* fraction, double* fraction2,
                      int* weight_mode, std::string* unit_name);
  // VALUE of the key "HTMLPATH" of PARAM (at most 63 characters) with a
  // trailing "" and 1; "C:\HTMLDATA\" and 0 when PARAM, the key or a
  // value is missing.
  int GetHtmlDir(std::string& dir);

  // Rebuilds COLORKEY (one record per distinct KEY1, KEY2, KEY3 of the
  // formulas of every FRM table, ids 1, 2, ...) and CLRPRDS (one record per
  // colour key, product and sub-product whose base mask allows a formula of
  // that key) in the data directory; both are deleted and created first.
  // Answers 1, or 0 when a table cannot be created or opened, or there are
  // more colour keys than ID holds (99 999). Restores the process-wide
  // auto-flush setting. Every table of the set ends closed. Not re-entrant.
  int CreateColorKeyDb();

  // Internal-error hook: receives the function, line and message. Writes
  // nothing.
  void Trace(const char* func, unsigned line, const char* format, ...) const
      __attribute__((format(printf, 4, 5)));

 protected:
  int SelectNext(Wdbase* db, int32_t after);
  // Fills CLRPRDS from the formulas of every product and sub-product (see
  // CreateColorKeyDb); 0 when PRODUCTS, COLORKEY or CLRPRDS cannot be opened.
  int FillClrPrds();
  // Sets the outputs to 1, 1, 1, 0 and "", then reads them from the first
  // record (natural order) of PRODUCTS, opened temporarily. 0 (defaults
  // kept) when PRODUCTS cannot be opened.
  int DefaultUnitAndFraction(double* unit, double* fraction, double* fraction2,
                             int* weight_mode, std::string* unit_name);
  Slot* SlotOf(const Wdbase* db);
  const Slot* SlotOf(const Wdbase* db) const;
  // Closes the table and the hold's handle of it (see TmpHold).
  void CloseSlot(int table);

 private:
  friend class CMixtableEx;  // sets the data directory directly

  void CopyFrom(const CMixtable& other);
  bool AtLevel(int table, uint8_t level, std::string& path);
  int NextAtLevel(uint8_t level, int& pos);
  bool IsDuplicatePath(Wdbase* db);
  // The table of a handle: the table set's own or the hold's; -1 otherwise.
  int TableOfHandle(const Wdbase* db) const;
  // The hold's handle of the table, opened (or opened again at the level
  // Open would choose now) as needed; null when it cannot be opened.
  Wdbase* HeldHandle(int table);
  void DropHeld(int table);

  uint32_t m_dataId = 0;
  int m_holds = 0;
  Slot m_wyarray[Y_N_MAX];
  std::string m_dataDir;
};

#endif  // MIXTABLE_MIXTABLE_H_
