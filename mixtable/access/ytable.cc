// The static table registry.

#include "mixtable/ytable.h"

namespace {

// Row with data file name, level mask and up to eight index files
// (name, key expression) in index order.
#define YROW(file, mask, count, ...) \
  { {-1, 0, nullptr, file, -1, count, __VA_ARGS__}, mask, -1 }
#define NAMES(...) \
  { __VA_ARGS__ }
#define EXPRS(...) \
  { __VA_ARGS__ }

constexpr uint8_t kBase = Y_LEVEL_BASE;
constexpr uint8_t kAll3 = Y_LEVEL_SUBPRODUCT | Y_LEVEL_PRODUCT | Y_LEVEL_BASE;

const YTABLE kRegistry[Y_N_MAX] = {
    YROW("PRODUCTS", kBase, 1, NAMES("PRODUCTS"), EXPRS("ID")),
    YROW("SUBPRODS", Y_LEVEL_PRODUCT, 1, NAMES("SUBPRODS"), EXPRS("ID")),
    YROW("CNTS", kBase, 1, NAMES("CNTS"), EXPRS("ID")),
    YROW("BASES", kBase, 1, NAMES("BASES"), EXPRS("ID")),
    YROW("CNT_BLND", kAll3, 2, NAMES("CNT_BLND", "CNT_BPTR"),
         EXPRS("ID", "PTR_ID")),
    YROW("CNT_KS", kAll3, 1, NAMES("CNT_KS"), EXPRS("ID")),
    YROW("BAS_BLND", kAll3, 2, NAMES("BAS_BLND", "BAS_BPTR"),
         EXPRS("ID", "PTR_ID")),
    YROW("BAS_KS", kAll3, 1, NAMES("BAS_KS"), EXPRS("ID")),
    YROW("CANS", kBase, 2, NAMES("CANS", "CANS_NOM"), EXPRS("ID", "NOM_Q")),
    YROW("CNT_HUE", kBase, 1, NAMES("CNT_HUE"), EXPRS("ID")),
    YROW("BAS_HUE", kBase, 1, NAMES("BAS_HUE"), EXPRS("ID")),
    YROW("FRM", kAll3, 5,
         NAMES("FRM", "FRM_KEY1", "FRM_KEY2", "FRM_KEY3", "FRM_NCS"),
         EXPRS("ID", "KEY1", "KEY2", "KEY3", "NCS")),
    YROW("FRM_REFL", kAll3, 1, NAMES("FRM_REFL"), EXPRS("FRM_ID")),
    YROW("CUS", Y_LEVEL_LOCAL | Y_LEVEL_SUBPRODUCT, 4,
         NAMES("CUS", "CUS_KEY1", "CUS_KEY2", "CUS_KEY3"),
         EXPRS("ID", "KEY1", "KEY2", "KEY3")),
    YROW("MASK", Y_LEVEL_SUBPRODUCT, 1, NAMES("MASK"), EXPRS("TYPE+PNT_ID")),
    YROW("CYLINDER", Y_LEVEL_SUBPRODUCT, 0, NAMES(), EXPRS()),
    YROW("APPROACH", Y_LEVEL_SUBPRODUCT, 1, NAMES("APPROACH"), EXPRS("DOMIN")),
    YROW("UCOAT", kBase, 1, NAMES("UCOAT"), EXPRS("ID")),
    YROW("SPECPROC", kBase, 1, NAMES("SPECPROC"), EXPRS("ID")),
    YROW(
        "ARCHIVE", Y_LEVEL_LOCAL, 6,
        NAMES("ARC", "ARC_KEY1", "ARC_KEY2", "ARC_KEY3", "ARC_NCS", "ARC_DATE"),
        EXPRS("ID", "KEY1", "KEY2", "KEY3", "NCS", "DATA1")),
    YROW("LABEL", kBase, 1, NAMES("LABEL"), EXPRS("LABEL*1000+TYPE")),
    YROW("PARAM", kBase, 1, NAMES("PARAM"), EXPRS("KEY")),
    YROW("RULER", Y_LEVEL_SUBPRODUCT, 2, NAMES("RULER", "RUL_TPTR"),
         EXPRS("ID", "RTYPE+PTR_ID")),
    YROW("SINGLEKS", kBase, 1, NAMES("SINGLEKS"), EXPRS("ID")),
    YROW("THICK", kBase, 1, NAMES("THICK"), EXPRS("ID")),
    YROW("SUBSTR", kBase, 1, NAMES("SUBSTR"), EXPRS("ID")),
    YROW("BASESFRM", kBase, 1, NAMES("BASESFRM"), EXPRS("ID")),
    YROW("CNT_FF", kBase, 1, NAMES("CNT_FF"), EXPRS("ID")),
    YROW("BAS_FF", kBase, 1, NAMES("BAS_FF"), EXPRS("ID")),
    YROW("FRMCODES", kBase, 0, NAMES(), EXPRS()),
    YROW("SINGLEBL", kAll3, 2, NAMES("SINGLEBL", "SINGLEBP"),
         EXPRS("ID", "PTR_ID")),
    YROW("TBLCODE", kBase, 3, NAMES("TBLCODE", "TBLID", "TBLBCODE"),
         EXPRS("ID", "PROD_ID+SUBP_ID+BASE_ID+CAN_ID+FRM_ID", "BARCODE")),
    YROW("NCSCORR", kBase, 1, NAMES("ORIGINAL"), EXPRS("ORIGINAL")),
    YROW("FRMHISTO", kBase, 1, NAMES("DATE"), EXPRS("DATE")),
    YROW("COLORKEY", kBase, 5,
         NAMES("CLR_ID", "CLR_KEY1", "CLR_KEY2", "CLR_KEY3", "CLR_KEYS"),
         EXPRS("ID", "KEY1", "KEY2", "KEY3", "KEY1+KEY2+KEY3")),
    YROW("CLRPRDS", kBase, 2, NAMES("CLRPRDS", "CLRS_IDS"),
         EXPRS("CLR_ID", "CLR_ID+PRD_ID+SPD_ID")),
};

#undef YROW
#undef NAMES
#undef EXPRS

}  // namespace

const YTABLE* WyGetFileInfo(int table) {
  if (table < 0 || table >= Y_N_MAX) return nullptr;
  return &kRegistry[table];
}
