// The formula archive and the dispensing history.
//
// The archive (ARCHIVE.DBF in the local directory, the table set's
// Y_ARCHIVE) keeps custom formulas under ids of their own; the history
// (HISTORY.DBF, in the local directory unless a directory is given) keeps
// one record per dispensed formula. Every dispensed formula is also appended
// to the two XML history documents of the local directory: HISTORY.XML
// (compact form, with the shop line) and XMLHIST.XML (structured form).
//
// Layouts: the two process-wide field lists below. The archive's FORMULA is
// C96 until a check function is called with its widen flag, C128 from then
// on for the rest of the process; the history's FRM is always C128. A table
// whose fields are wider than the lists, or that has fields of its own, is
// kept as it is: the record writers check texts against the widths of the
// table they write, and bringing a table up to date never shrinks a field or
// drops one.
//
// Record writers refuse before appending anything what would not be stored
// whole (an empty or too long formula text, a base formula text that does
// not fit, units not available, an archive id above 99999); an I/O failure
// after the append marks the partial record deleted. Archive ids are
// computed and written under the table's whole-file lock, so two processes
// never hand out the same id.
//
// Results are 1 for success and 0 for failure (HistoryXMLAppend always 0);
// failures write a line to the trace output. Nothing throws. Tables are
// borrowed for the call; formulas, shop and dispenser data are the caller's.
// Not thread-safe (process-wide definitions, the engine's auto-flush
// switch).

#ifndef MIXTABLE_HFORMULA_HISTORY_H_
#define MIXTABLE_HFORMULA_HISTORY_H_

#include <cstdint>

#include "mixtable/export.h"
#include "mixtable/wy_records.h"
#include "xbase32/wdbase.h"

class CMixtable;
class Wy_Formula;

// Widths of the fields whose width matters to callers.
constexpr int kHfArchiveFormulaWidth = 96;          // FORMULA before widening
constexpr int kHfArchiveFormulaWidenedWidth = 128;  // FORMULA after widening
constexpr int kHfHistoryFrmWidth = 128;             // FRM, always
constexpr int kHfReflWidth = 128;                   // FRM_REFL of both
constexpr int32_t kHfMaxArchiveId = 99999;          // ID is C5 "%5ld"

// The history table: file "history" in the directory, index 1 "HIST_LOT" on
// LOTID, index 2 "HIDATAID" on DATAID.
constexpr const char* kHfHistoryName = "history";

// The process-wide field lists, in field order, each ending with an empty
// name. Valid for the life of the process; the archive's FORMULA width
// changes (96 -> 128) when a check function widens.
//
// Archive: ID C5, CUS_ID C5, DATAID C10, PROD_ID C5, SUBP_ID C5, UNIT N8.3,
// FRACTION N8.3, WEIGHTMODE L, KEY1 C24, KEY2 C24, KEY3 C24, NCS C8,
// COMMENT C24, BASE_ID C5, FILL_QC N11.4, FILL_WC N11.4, CAN_ID C5,
// CAN_WEIGHT L, NOM_Q0 N9.3, FORMULA C96/C128, PART N1.0, UNDCOAT_ID C5,
// SPROC_ID C5, SUBSTR_ID C5, FRM_REFL C128, X_02 Y_02 Z_02 X_10 Y_10 Z_10
// N6.2, DATA1 D, DATA2 D, FRM_BASEID C5, FRM_BASE C128, BAS_WEIGHT L,
// BASFILLQ N11.4, BASFILLW N11.4, BASSPEC_W N7.2, CUSCAN_DES C24.
const WDBASE_FIELD* hformula_GetArchiveDef();
// History: CLRID C5, CUS_ID C5, DISP_ID C5, DATAID C10, FRM C128, DATAVER
// N6.2, PRDID C5, SPDID C5, UNIT N8.3, FRACTION N8.3, WEIGHTMODE L, CLRDESCR
// C100, BASID C5, BAS_FQ N11.4, BAS_FW N11.4, CANID C5, NOM_Q0 N9.3,
// CAN_WEIGH0 L, NOM_Q N9.3, CAN_WEIGHT L, LOTID C24, NDISP N5.0, DATA D,
// TIME C8, FRM_BASEID C5, FRM_BASE C128, BAS_WEIGHT L, BASFILLQ N11.4,
// BASFILLW N11.4, BASSPEC_W N7.2, FRM_REFL C128, CUSCAN_DES C24.
const WDBASE_FIELD* hformula_GetHistoryDef();
// Whether the archive definition was widened in this process.
MIXTABLE_API bool hformula_IsWidened();
// Widens the archive definition for the rest of the process (what the
// check functions do with their widen flag).
MIXTABLE_API void hformula_Widen();

// ---- record writers (any open table with the layout) ----------------------

// Appends one archive record for formula f to db (open; the archive, or
// another table with the archive layout such as the inventory's FRMINV).
// The new ID is the highest ID + 1 (1 for an empty table), computed and
// written under db's whole-file lock; with callerLocked the caller holds
// that lock (Lock) and keeps it, else it is taken and released here. *newId
// (may be null) receives the id given. db ends on the new record with its
// previous index order selected. 1 on success; 0 (nothing appended) for a
// null argument, an empty text or one longer than FORMULA, a base formula
// text longer than FRM_BASE, units of the current mode not available (or
// not > 0), an id above 99999, a lock that cannot be taken; 0 with the
// partial record deleted when a write fails after the append.
MIXTABLE_API int hformula_ArchiveAddAndFillRecord(const Wy_Formula* f,
                                                  Wdbase* db,
                                                  int32_t* newId = nullptr,
                                                  bool callerLocked = false);
// Appends one history record for formula f to db (open, history layout),
// with the same refusals (FRM in place of FORMULA; no id). DATAVER is the
// first number of the data set's FVERS.DAT (0 when missing), DATA and TIME
// now. 1 on success.
MIXTABLE_API int hformula_HistoryAddAndFillRecord(const Wy_Formula* f,
                                                  Wdbase* db);

// ---- archive ------------------------------------------------------------

// Makes sure the archive (Y_ARCHIVE of ts; a private table set when ts is
// null) exists with the current definition: creates it in the local
// directory when its data file does not exist and create is 1; brings an
// existing one up to date without loss (fields added, none dropped or
// shrunk, records and deleted marks kept, through a crash-safe
// replacement). With widen the definition is widened first. With dataId
// not 0, records whose DATAID is blank or 0 get "%10lu" of dataId. 1 when
// the archive exists with the definition; 0 when it exists but cannot be
// opened or converted (it is never created anew over its records), when it
// is missing and create is 0, or a write fails.
MIXTABLE_API int hformula_CheckUpdateArchive(CMixtable* ts, bool widen,
                                             uint32_t dataId, int create);
// Appends the archive record of f to ts's archive (opened when closed,
// closed at the end); with recnoToReplace > 0 that record is then deleted
// and the table packed. A record number outside 1..count writes nothing
// (0). 1 when the record was appended (and the replaced one removed).
MIXTABLE_API int hformula_SaveInArchive(Wy_Formula* f, CMixtable* ts,
                                        int32_t recnoToReplace);

// ---- history --------------------------------------------------------------

// Defines db (closed) as the history table of dir (the local directory
// when dir is null or empty). 1 when defined.
MIXTABLE_API int hformula_HistorySetDbPathAndName(Wdbase* db, const char* dir);
// As hformula_CheckUpdateArchive for the history table of dir (widen
// concerns only the archive definition; FRM is C128 whatever the flag).
MIXTABLE_API int hformula_CheckUpdateHistory(bool widen, const char* dir,
                                             uint32_t dataId, int create);
// Appends f's record to the local history table, then appends f to
// HISTORY.XML and XMLHIST.XML (also when the table append failed). shop and
// dispenser may be null. The result is that of the table append.
MIXTABLE_API int hformula_SaveInHistory(Wy_Formula* f, const Wy_ShopData* shop,
                                        const Wy_DispenserData* dispenser);
// Only the two XML appends of hformula_SaveInHistory; always 0.
MIXTABLE_API int hformula_HistoryXMLAppend(Wy_Formula* f,
                                           const Wy_ShopData* shop,
                                           const Wy_DispenserData* dispenser);
// Rebuilds f from the current record of db (the history table, open and
// positioned) and closes db. 1 when rebuilt; 0 for a null formula, a
// closed table, a field that cannot be read, a rebuilding step that fails
// or a failing close.
MIXTABLE_API int hformula_ReadFromHistory(Wy_Formula* f, Wdbase* db);

#endif  // MIXTABLE_HFORMULA_HISTORY_H_
