// Enumerations of the formula model: where a formula comes from and how the
// quantities of a colorant list are meant.

#ifndef MIXTABLE_FORMULA_TYPES_H_
#define MIXTABLE_FORMULA_TYPES_H_

// The source of a formula. Value 8 has no name but is a valid source (read
// from texts, treated like HF_SOURCE_STANDARD when a formula is resolved).
enum HF_DATASOURCE_TYPE {
  HF_SOURCE_STANDARD = 0,
  HF_SOURCE_CUSTOM = 1,
  HF_SOURCE_MANUAL = 2,
  HF_SOURCE_COLOUR_MATCHING = 3,
  HF_SOURCE_REMOTE = 4,
  HF_SOURCE_REMOTEFIXED = 5,
  HF_SOURCE_CORRECTION_OLD_CAN = 6,
  HF_SOURCE_CORRECTION_NEW_CAN = 7,
  HF_SOURCE_LAST = 9
};

// How the quantities of a colorant list are meant.
enum cnt_modes {
  CNT_MODE_UNITS = 0,  // absolute amounts (the default)
  CNT_MODE_RPC = 1,    // percentages
  CNT_MODE_NPC = 2     // percentages
};

// The macro words of the formula text that select a mode.
inline constexpr const char kCntModeUnitsMacro[] = "@UNI";
inline constexpr const char kCntModeRpcMacro[] = "@RPC";
inline constexpr const char kCntModeNpcMacro[] = "@NPC";

#endif  // MIXTABLE_FORMULA_TYPES_H_
