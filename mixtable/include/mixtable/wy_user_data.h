// User data groups and items: the few values a shop edits by hand in a data
// set (costs of bases and colorants, specific weights of colorants, can
// heights and flags), taken out as text lines, compared, written back into
// a data set, and kept as small files in the local cache of a served data
// set.
//
// Group (a list of lines):
//   line 0   "********" + description padded or cut to 32 + data directory
//   line n   table base name "%-8.8s" + field name "%-10.10s", one per
//            chosen field, in the order of kWyUserDataFields
// Items (a list of lines): line 0 as for the group, then one line per record
// and chosen field, columns at the offsets of WyUserDataColumn below; the
// value is the field's text as stored (its full width, no code-page change).
//
// Machine names: null, empty or kWyLocalMachineName (any case) stand for
// this machine. For another machine the data directory is replaced by the
// data set's local cache directory (Wy_CachePath) before anything else, and
// the group and item files exist only for such machines: their names are
// the cache root + the cache directory relative to it without its final
// "\", with "\" and "." turned into "_", + ".GRP" or ".ITM" (SRV and
// C:\GDATA001\ give SRV_C_GDATA001.GRP).
//
// Every function answers false on failure and logs nothing; nothing throws.
// Lists are the caller's; the functions fill or read them and own nothing
// beyond the call. The tables are opened by a private table set for the
// call and closed before returning.

#ifndef MIXTABLE_WY_USER_DATA_H_
#define MIXTABLE_WY_USER_DATA_H_

#include <cstddef>
#include <string>
#include <vector>

#include "mixtable/export.h"

// The seven fields that can be carried, in the order of the switches of
// every function below.
struct MIXTABLE_API WyUserDataField {
  const char* table;  // table base name
  const char* field;
};
constexpr WyUserDataField kWyUserDataFields[7] = {
    {"BASES", "COST"}, {"CNTS", "COST"},  {"CNTS", "SPEC_W"},
    {"CANS", "H_MIN"}, {"CANS", "H_MAX"}, {"CANS", "ZERO_FLAG"},
    {"CANS", "FLAGS"},
};
constexpr int kWyUserDataFieldCount = 7;

// Line 0 of groups and items: the mark, then the description (32 columns)
// from offset 8, then the data directory from offset 40.
constexpr const char* kWyUserDataMark = "********";
constexpr size_t kWyUserDataDescrAt = 8;
constexpr size_t kWyUserDataDescrWidth = 32;
constexpr size_t kWyUserDataDirAt = 40;
// A group's field line: table in columns 0-7, field in columns 8-17.
constexpr size_t kWyUserDataGroupFieldAt = 8;
constexpr size_t kWyUserDataGroupLine = 18;

// The ten columns of an item line: offset and width (the value runs from
// its offset to the end of the line, the field's width when written).
//   0 table "%-8.8s"   8 ID "%5ld"   13 PROD_KEY "%5ld"   18 SUBP_KEY "%5ld"
//   23 DESCR "%-24.24s"   47 field "%-10.10s"   57 type "%c"
//   58 width "%3d"   61 decimals "%2d"   63 value "%-*.*s"
struct MIXTABLE_API WyUserDataColumn {
  size_t at;
  size_t width;
};
constexpr WyUserDataColumn kWyUserDataColumns[10] = {
    {0, 8},   {8, 5},  {13, 5}, {18, 5}, {23, 24},
    {47, 10}, {57, 1}, {58, 3}, {61, 2}, {63, 0},
};
constexpr size_t kWyUserDataValueAt = 63;

// The group for the data set in dataDir: line 0 (description and the data
// directory, after the cache rule for another machine) and one line per
// switch that is on, for each of BASES, CNTS and CANS that opens. False for
// an empty directory or a machine name the cache refuses.
MIXTABLE_API bool Wy_CreateGDataUserDataGroup(
    std::vector<std::string>& group, const char* dataDir, const char* machine,
    bool basesCost, bool cntsCost, bool cntsSpecW, bool cansHMin, bool cansHMax,
    bool cansZeroFlag, bool cansFlags);

// Description (the 32 columns from 8, as they stand) and directory (from
// column 40) of line 0, and the seven switches (each cleared, then set by a
// field line naming it; table and field right-trimmed, any case). Every
// output may be null. False for an empty list, a line 0 that is shorter than
// 40 characters or lacks the mark, and a field line that is shorter than 9
// characters or names no switch (the switches of the other lines are still
// set).
MIXTABLE_API bool Wy_SplitGDataUserDataGroup(
    const std::vector<std::string>& group, std::string* descr, std::string* dir,
    bool* basesCost, bool* cntsCost, bool* cntsSpecW, bool* cansHMin,
    bool* cansHMax, bool* cansZeroFlag, bool* cansFlags);

// The items of the data set in dataDir for the group's switches: line 0,
// then for every record of BASES, CNTS and CANS in table order (deleted
// records left out) one line per chosen field the table has. False when the
// directory holds no data set, the group does not split, or a table with
// chosen fields does not open; also when a record had to be left out: an
// ID, PROD_KEY or SUBP_KEY that does not fit 5 columns, or a value holding
// CR, LF or NUL (no line file could carry it). The other lines are kept.
MIXTABLE_API bool Wy_GetGDataUserDataItem(const std::vector<std::string>& group,
                                          std::vector<std::string>& items,
                                          const char* dataDir,
                                          const char* machine);

// The ten columns of item line `line` (1..size-1) as they stand: table, ID,
// PROD_KEY, SUBP_KEY, DESCR, field, type, width, decimals, value (from
// column 63 to the end). Outputs may be null. False for a line number out
// of range or a line shorter than 63 characters (the outputs are emptied).
MIXTABLE_API bool Wy_SplitGDataUserDataItem(
    const std::vector<std::string>& items, int line, std::string* table,
    std::string* id, std::string* prdKey, std::string* spdKey,
    std::string* descr, std::string* field, std::string* type,
    std::string* width, std::string* decimals, std::string* value);

// Line 0 of newItems, then every further line of newItems that is not,
// byte for byte, among lines 1.. of oldItems (in newItems' order). False
// (diff emptied) when newItems has fewer than two lines.
MIXTABLE_API bool Wy_DeltaGDataUserDataItem(
    const std::vector<std::string>& newItems,
    const std::vector<std::string>& oldItems, std::vector<std::string>& diff);

// Writes the items whose table and field the group chose into the data set
// in dataDir: the record with the item's ID (for BASES and CNTS also its
// PROD_KEY and SUBP_KEY; deleted records skipped) gets the value, written as
// stored. Items without a record are skipped. True when every chosen item
// was written or had no record; fewer than two lines change nothing (true).
// False, the item skipped and the others still written, for: a short line,
// an ID or key that is not a number of at most 5 columns, a type, width or
// decimals that differ from the target field, an unknown type, a value
// longer than the field or a number that does not fit it. False at once for
// a group that does not split, a table that does not open and a write the
// table refuses (what was written before stays). Writing the same items
// again changes nothing, so a pass cut short is completed by running it
// again.
MIXTABLE_API bool Wy_SetGDataUserDataItem(const std::vector<std::string>& group,
                                          const std::vector<std::string>& items,
                                          const char* dataDir,
                                          const char* machine);

// The group (".GRP") and item (".ITM") files of (machine, dataDir). Reading
// empties the list and takes one line per line of the file (LF or CRLF
// ends); writing goes through a work file beside it, renamed over it, so a
// reader sees the old or the new file whole. False for this machine, a
// name the cache refuses, a missing or unreadable file, a line holding CR,
// LF or NUL (nothing written), or a failed write.
MIXTABLE_API bool Wy_ReadGDataUserDataGroup(std::vector<std::string>& group,
                                            const char* dataDir,
                                            const char* machine);
MIXTABLE_API bool Wy_WriteGDataUserDataGroup(
    const std::vector<std::string>& group, const char* dataDir,
    const char* machine);
MIXTABLE_API bool Wy_ReadGDataUserDataItem(std::vector<std::string>& items,
                                           const char* dataDir,
                                           const char* machine);
MIXTABLE_API bool Wy_WriteGDataUserDataItem(
    const std::vector<std::string>& items, const char* dataDir,
    const char* machine);

// The file name of the group ("GRP") or item ("ITM") file of (machine,
// dataDir), or "" under the rules above.
MIXTABLE_API std::string Wy_GDataUserDataFile(const char* dataDir,
                                              const char* machine,
                                              const char* extension);

#endif  // MIXTABLE_WY_USER_DATA_H_
