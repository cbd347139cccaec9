// The process-wide field lists of the archive and the history.

#include "mixtable/hformula_history.h"

namespace {

// clang-format off
// Archive record, in field order. FORMULA (index kArchiveFormula) is the
// one width the widen flag changes.
WDBASE_FIELD g_archive[] = {
    {"ID", 'C', 5, 0, 0},          {"CUS_ID", 'C', 5, 0, 0},
    {"DATAID", 'C', 10, 0, 0},     {"PROD_ID", 'C', 5, 0, 0},
    {"SUBP_ID", 'C', 5, 0, 0},     {"UNIT", 'N', 8, 3, 0},
    {"FRACTION", 'N', 8, 3, 0},    {"WEIGHTMODE", 'L', 1, 0, 0},
    {"KEY1", 'C', 24, 0, 0},       {"KEY2", 'C', 24, 0, 0},
    {"KEY3", 'C', 24, 0, 0},       {"NCS", 'C', 8, 0, 0},
    {"COMMENT", 'C', 24, 0, 0},    {"BASE_ID", 'C', 5, 0, 0},
    {"FILL_QC", 'N', 11, 4, 0},    {"FILL_WC", 'N', 11, 4, 0},
    {"CAN_ID", 'C', 5, 0, 0},      {"CAN_WEIGHT", 'L', 1, 0, 0},
    {"NOM_Q0", 'N', 9, 3, 0},      {"FORMULA", 'C', kHfArchiveFormulaWidth, 0, 0},
    {"PART", 'N', 1, 0, 0},        {"UNDCOAT_ID", 'C', 5, 0, 0},
    {"SPROC_ID", 'C', 5, 0, 0},    {"SUBSTR_ID", 'C', 5, 0, 0},
    {"FRM_REFL", 'C', kHfReflWidth, 0, 0},
    {"X_02", 'N', 6, 2, 0},        {"Y_02", 'N', 6, 2, 0},
    {"Z_02", 'N', 6, 2, 0},        {"X_10", 'N', 6, 2, 0},
    {"Y_10", 'N', 6, 2, 0},        {"Z_10", 'N', 6, 2, 0},
    {"DATA1", 'D', 8, 0, 0},       {"DATA2", 'D', 8, 0, 0},
    {"FRM_BASEID", 'C', 5, 0, 0},  {"FRM_BASE", 'C', 128, 0, 0},
    {"BAS_WEIGHT", 'L', 1, 0, 0},  {"BASFILLQ", 'N', 11, 4, 0},
    {"BASFILLW", 'N', 11, 4, 0},   {"BASSPEC_W", 'N', 7, 2, 0},
    {"CUSCAN_DES", 'C', 24, 0, 0}, {},
};
constexpr int kArchiveFormula = 19;

// History record, in field order.
const WDBASE_FIELD g_history[] = {
    {"CLRID", 'C', 5, 0, 0},       {"CUS_ID", 'C', 5, 0, 0},
    {"DISP_ID", 'C', 5, 0, 0},     {"DATAID", 'C', 10, 0, 0},
    {"FRM", 'C', kHfHistoryFrmWidth, 0, 0},
    {"DATAVER", 'N', 6, 2, 0},     {"PRDID", 'C', 5, 0, 0},
    {"SPDID", 'C', 5, 0, 0},       {"UNIT", 'N', 8, 3, 0},
    {"FRACTION", 'N', 8, 3, 0},    {"WEIGHTMODE", 'L', 1, 0, 0},
    {"CLRDESCR", 'C', 100, 0, 0},  {"BASID", 'C', 5, 0, 0},
    {"BAS_FQ", 'N', 11, 4, 0},     {"BAS_FW", 'N', 11, 4, 0},
    {"CANID", 'C', 5, 0, 0},       {"NOM_Q0", 'N', 9, 3, 0},
    {"CAN_WEIGH0", 'L', 1, 0, 0},  {"NOM_Q", 'N', 9, 3, 0},
    {"CAN_WEIGHT", 'L', 1, 0, 0},  {"LOTID", 'C', 24, 0, 0},
    {"NDISP", 'N', 5, 0, 0},       {"DATA", 'D', 8, 0, 0},
    {"TIME", 'C', 8, 0, 0},        {"FRM_BASEID", 'C', 5, 0, 0},
    {"FRM_BASE", 'C', 128, 0, 0},  {"BAS_WEIGHT", 'L', 1, 0, 0},
    {"BASFILLQ", 'N', 11, 4, 0},   {"BASFILLW", 'N', 11, 4, 0},
    {"BASSPEC_W", 'N', 7, 2, 0},   {"FRM_REFL", 'C', kHfReflWidth, 0, 0},
    {"CUSCAN_DES", 'C', 24, 0, 0}, {},
};
// clang-format on

bool g_widened = false;

}  // namespace

const WDBASE_FIELD* hformula_GetArchiveDef() { return g_archive; }
const WDBASE_FIELD* hformula_GetHistoryDef() { return g_history; }
bool hformula_IsWidened() { return g_widened; }

void hformula_Widen() {
  g_widened = true;
  g_archive[kArchiveFormula].len = kHfArchiveFormulaWidenedWidth;
}
