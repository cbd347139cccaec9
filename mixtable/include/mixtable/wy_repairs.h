// Data repairs and the data-set tree check.
//
// Repairs remove dependent records whose reference is gone: blends, K/S,
// hue and force-factor records of colorants and bases that no longer
// exist, barcodes of missing bases, cans or formulas, and masks and rulers
// naming missing bases, colorants or cans. Each repair first loads the ids
// of its reference tables, then plans every deletion over every checked
// table, and only then deletes and packs: a reference table that is
// missing, cannot be opened, is empty or cannot be read to its end makes the
// repair fail with nothing deleted (a truncated CNTS would otherwise wipe
// every blend). Records marked deleted in a reference table still count as
// present. Checked tables are visited at every level where they exist (the
// root, each product directory and each sub-product directory, each
// directory once); one that cannot be read to its end fails the repair, also
// with nothing deleted.
//
// Key rule: in every checked table that has the fields "PROD_KEY" and
// "SUBP_KEY" (looked up at run time), a record is also deleted when its
// PROD_KEY is not 0 and names no PRODUCTS record, or when its SUBP_KEY is
// not 0 and names no SUBPRODS record of that product (a SUBP_KEY with a
// PROD_KEY of 0 names nothing to check). A product whose directory cannot be
// resolved (its PATH is empty or leads outside the data set) keeps the
// sub-product keys that name it; a product directory without SUBPRODS has
// no sub-products. PRODUCTS, or a SUBPRODS needed, that is missing, empty or
// not readable to its end fails the repair when a key needs it.
//
// Every repair closes every table of the table set first and runs as a
// maintenance run (mixtable/wy_maintenance.h): it holds the data set's
// maintenance lock and fails at once while another run holds it or a table
// of the data set is open anywhere; each table is saved in the backup area
// before it changes, so a failure or a crash part way restores every table
// (all or nothing). It switches the storage engine's auto-flush off while
// it deletes, restores the previous setting on every path, and packs each
// table it changed. "Window" arguments are opaque: before each table
// changed, 0x8703 goes through the platform progress hook with the share of
// tables done and the table's name, and 100 at the end; a null window sends
// nothing. There is no wait cursor.
//
// Preconditions: the table set names a data directory. Not thread-safe.
// Nothing throws.

#ifndef MIXTABLE_WY_REPAIRS_H_
#define MIXTABLE_WY_REPAIRS_H_

#include "mixtable/export.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_maintenance.h"

// MASK and RULER: mode 0 masks only, 1 rulers only, 2 both. For every
// sub-product of every product, the MASK and RULER tables that open at that
// position (the sub-product directory) are checked: the trimmed "TYPE"
// (MASK) or "RTYPE" (RULER) equal to "BA", "CO" or "CA" in any case names a
// base, colorant or can by "PNT_ID" / "PTR_ID"; other types are kept.
// References: BASES, CNTS and CANS. False when tables is null, the mode is
// unknown, the data set is busy, PRODUCTS or a reference table fails (see
// above) or a deletion or pack fails.
MIXTABLE_API bool Wy_UpdateMasksAndRulers(CMixtable* tables, const void* window,
                                          int mode);

// The other repairs answer 0 when done, -1 when tables is null, the data
// set is busy, a reference table fails (see above) or a deletion or pack
// fails.
//
// TBLCODE (root): "BASE_ID" must be a base, "CAN_ID" a can and "FRM_ID" a
// formula of the FRM table that opens for the product "PROD_ID" and the
// sub-product "SUBP_ID" (sub-product, product or root directory, the most
// specific holding FRM.DBF). A 0 or blank id is no reference. A PROD_ID or
// SUBP_ID naming no record makes the formula missing. References: BASES,
// CANS, each FRM needed (and PRODUCTS/SUBPRODS when a PROD_ID is not 0).
MIXTABLE_API int Wy_UpdateBarcodes(CMixtable* tables, const void* window);
// CNT_BLND by "PTR_ID", CNT_KS by "ID"; reference CNTS.
MIXTABLE_API int Wy_UpdateCntsColorimetry(CMixtable* tables,
                                          const void* window);
// BAS_BLND by "PTR_ID", BAS_KS by "ID"; reference BASES.
MIXTABLE_API int Wy_UpdateBasesColorimetry(CMixtable* tables,
                                           const void* window);
// BAS_HUE by "ID"; reference BASES.
MIXTABLE_API int Wy_UpdateBasesHue(CMixtable* tables, const void* window);
// CNT_HUE by "ID"; reference CNTS.
MIXTABLE_API int Wy_UpdateCntsHue(CMixtable* tables, const void* window);
// CNT_FF by "ID" against CNTS, BAS_FF by "ID" against BASES.
MIXTABLE_API int Wy_UpdateForceFactors(CMixtable* tables, const void* window);

// ---- data-set type ------------------------------------------------------

// What a directory holds: the value of the last of the tests (colorants,
// parameters, products, in this order) that passed.
enum YTABLE_GDATATYPE {
  YTABLE_GDATATYPE_NONE = 0,      // no data set
  YTABLE_GDATATYPE_CNTS = 1,      // "CNTS.DBF" exists
  YTABLE_GDATATYPE_PARAM = 2,     // "PARAM.DBF" exists
  YTABLE_GDATATYPE_PRODUCTS = 3,  // "PRODUCTS.DBF" exists
};

// The type of dir (trimmed; the default data directory when empty). With
// check_fields, each table must also open and have its fields: CNTS "ID",
// "CODE", "DESCR", "SPEC_W"; PARAM "KEY", "VALUE"; PRODUCTS "ID", "CODE",
// "DESCR", "PATH". A test that fails keeps the previous value and ends the
// tests (a missing file only skips its test).
MIXTABLE_API YTABLE_GDATATYPE Wy_GetGDataType(const char* dir,
                                              bool check_fields);

// ---- tree check ---------------------------------------------------------

// Results of Wy_GDataTreeCheck.
enum : int {
  kWyTreeCheckOk = 0,
  kWyTreeCheckNotGData = 1,  // type below 2 (no PARAM or CNTS)
  kWyTreeCheckPruneFailed = 2,
  kWyTreeCheckDirsFailed = 3,  // a product directory could not be made
  kWyTreeCheckCleanFailed = 4,
  // An acting check also answers kWyMaintenanceBusy (-4) while another
  // maintenance run holds the data set (or, when cleaning, a table of it is
  // open anywhere), kWyMaintenanceUnrestorable (-5) when an interrupted run
  // found there cannot be restored, and -1 when the lock file cannot be
  // made; nothing changes then.
};

// Checks the directory tree of the data set in dir (trimmed, default data
// directory when empty). With act false nothing changes: the same reports
// are sent without the " *" that marks a change. With act true the check
// holds the maintenance lock for its run (tables may stay open unless files
// are cleaned, which deletes index files). Steps:
//  * prune (with prune_dirs): every sub-directory of the root that no
//    PRODUCTS record names in "PATH", and every sub-directory of a product
//    directory that no SUBPRODS record of that product names, is removed
//    with its contents, reported as its path + " *". Only when PRODUCTS was
//    read to its end (a product's sub-directories only when its SUBPRODS
//    exists and was read to its end). Never removed: "CUSTOM" (any case),
//    symbolic links, the backup area and the lock file
//    (Wy_IsMaintenanceName), a directory holding PARAM.DBF or
//    CNTS.DBF, the local, cache, work-area and default data directories.
//  * directories: each product's directory (data directory + trimmed
//    PATH) is created when missing ("%s *" with the product's DESCR, else
//    "%s"); in an existing product directory the same for each sub-product
//    ("%s : %s *" / "%s : %s"). A PATH that is empty or holds "..", a drive
//    or a separator names nothing and is never created. After each product
//    0x8702 with the share of products done and the data-set description.
//  * clean (with clean_files): in the root and every existing product and
//    sub-product directory, every file is deleted (made writable first)
//    except the DBF files of the 36 registry tables and the memo file of
//    such a table when its DBF is present, the files of TANKS and DISPS
//    (any extension, any case), and at the root "FVERS.DAT" and the lock
//    file (kWyMaintenanceLockFile). Each file is reported as its lower-cased
//    path (+ " *").
// Names compare in any case. Progress: 0x8702 percent + description, 0x8703
// table percent, 0x8704 1 show text / 2 reset; percentages are clamped to
// 0..100. Answers a kWyTreeCheck* value.
MIXTABLE_API int Wy_GDataTreeCheck(const char* dir, const void* window,
                                   bool act, bool prune_dirs, bool clean_files);

#endif  // MIXTABLE_WY_REPAIRS_H_
