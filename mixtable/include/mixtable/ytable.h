// The table registry: the 36 tables a formula data set may hold, their file
// names, index files with key expressions, and the directory levels at which
// each table may live.
//
// The registry is static and read-only; WyGetFileInfo hands out pointers
// into it that stay valid for the life of the process.

#ifndef MIXTABLE_YTABLE_H_
#define MIXTABLE_YTABLE_H_

#include <cstdint>

#include "mixtable/export.h"
#include "xbase32/wdbase.h"

// Table identifiers, in registry order.
enum WYSPEC {
  Y_PRODUCTS = 0,
  Y_SUBPRODS = 1,
  Y_CNTS = 2,
  Y_BASES = 3,
  Y_CNT_BLND = 4,
  Y_CNT_KS = 5,
  Y_BAS_BLND = 6,
  Y_BAS_KS = 7,
  Y_CANS = 8,
  Y_CNT_HUE = 9,
  Y_BAS_HUE = 10,
  Y_FRM = 11,
  Y_FRM_REFL = 12,
  Y_CUS = 13,
  Y_MASK = 14,
  Y_CYLINDER = 15,
  Y_APPROACH = 16,
  Y_UCOAT = 17,
  Y_SPECPROC = 18,
  Y_ARCHIVE = 19,
  Y_LABEL = 20,
  Y_PARAM = 21,
  Y_RULER = 22,
  Y_SINGLE_KS = 23,
  Y_THICKNESS = 24,
  Y_SUBSTRATE = 25,
  Y_BASESFRM = 26,
  Y_CNT_FF = 27,
  Y_BAS_FF = 28,
  Y_FRMCODES = 29,
  Y_SINGLE_BLND = 30,
  Y_TBLCODE = 31,
  Y_NCSCORR = 32,
  Y_FRM_HISTORY = 33,
  Y_COLORKEY = 34,
  Y_CLRPRDS = 35,
  Y_N_MAX = 36,  // number of tables
};

// Directory levels, one bit each. A table's level mask is the OR of the
// levels at which it may exist.
enum : uint8_t {
  Y_LEVEL_BASE = 0x02,        // the data-set root directory
  Y_LEVEL_PRODUCT = 0x04,     // root + PATH of the current product + "\"
  Y_LEVEL_SUBPRODUCT = 0x08,  // product directory + PATH of the sub-product
  Y_LEVEL_LOCAL = 0x10,       // the machine's local directory
};

// One registry row. def.path is null (the table set supplies the directory);
// def.user1, def.user2 and def.user3 hold -1, 0 and -1 and are not used.
struct MIXTABLE_API YTABLE {
  DB_DEF def;
  uint8_t level_mask;  // OR of the Y_LEVEL_* bits
  int32_t reserved;    // -1
};

// The registry row of table, or null when table is outside 0..Y_N_MAX-1.
// Callers may walk the registry by asking for 0, 1, 2 ... until null.
const YTABLE* WyGetFileInfo(int table);

#endif  // MIXTABLE_YTABLE_H_
