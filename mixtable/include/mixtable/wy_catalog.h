// The machine's fixed directories and the catalogue of installed data sets.
//
// The catalogue is the table DATACTL.DBF in the local directory, indexed by
// CTLID.NTX on DATAID (index 1) and CTLPATH.NTX on PATH (index 2). Every
// function opens its own handle on it and closes it before returning; none
// keeps the catalogue open. A catalogue that cannot be opened makes lookups
// answer 0 / false (with the default data directory where stated). Nothing
// throws. Not thread-safe: Wy_GetAbsDataId keeps a one-entry cache, which
// every catalogue write of this library resets and every write of another
// process invalidates.
//
// Directories are Windows-style ("c:\local\") or host paths from the
// environment variables LOCALDIR, DSP and CACHEDIR.

#ifndef MIXTABLE_WY_CATALOG_H_
#define MIXTABLE_WY_CATALOG_H_

#include <cstdint>
#include <string>
#include <vector>

#include "mixtable/export.h"
#include "xbase32/wdbase.h"

// The reserved name that stands for this machine in SERVER_ID and in the
// server arguments of the cache functions (compared without regard to
// case). A blank SERVER_ID means the same.
constexpr const char* kWyLocalMachineName = "LOCALHOST";

// Width of each catalogue field (all type C), in field order.
struct MIXTABLE_API WyDatactlField {
  const char* name;
  int width;
};
constexpr WyDatactlField kWyDatactlFields[] = {
    {"DATAID", 10},     {"PATH", 80},       {"DISP_ID", 48},
    {"DESCR", 32},      {"ABS_DATAID", 10}, {"SERVER_ID", 32},
    {"PROCESS_ID", 32}, {"USER_NAME", 32},  {"PASSWORD", 32},
    {"CACHE_TYPE", 32},
};

// ---- fixed directories (each answers 1) -----------------------------------

// $LOCALDIR right-trimmed with a trailing "\", else "c:\local\"; the
// directory is created when missing.
MIXTABLE_API int Wy_LocalPath(std::string& path);
// $DSP (trimmed, trailing "\"); else "" when DISPS.DBF and TANKS.DBF are in
// the current directory; else the local directory.
MIXTABLE_API int Wy_LocalPathEx(std::string& path);
// "c:\gdata\".
MIXTABLE_API int Wy_DataDir(std::string& path);

// ---- the catalogue
// -----------------------------------------------------------

// Prepares (does not open) db for the catalogue: local directory, DATACTL,
// indexes CTLID on DATAID and CTLPATH on PATH. The SetFiles result; 0 for
// null.
MIXTABLE_API int Wy_SetDatactlDbHandle(Wdbase* db);

// Creates the catalogue when missing (and then, with scan, fills it by
// scanning roots: directories separated by ";", default "C:\"), and adds
// the fields an older catalogue lacks. Failures are silent.
//
// The scan offers the sub-directories of each root in case-insensitive name
// order (symbolic links only when they lead to a directory) while fewer than
// 100 ids have been handed out; never "c:\gcspaces" or "c:\gdatatmp". A
// directory holding CNTS.DBF is registered with the id of its PARAM key
// "DATAID", or else with the lowest free number from 1 that no catalogue
// record and no data set of the scan carries; ABS_DATAID from PARAM; the
// description from the first line of FVERS.DAT ("0.00" gives none).
MIXTABLE_API void Wy_CheckDatactl(bool scan, const std::string* roots);

// Wy_CheckDatactl(false, null), then writes the record of id (the first
// live or deleted record with that DATAID, else a new one): DATAID, PATH
// (path is upper-cased in place), DESCR and, when abs_id is not 0,
// ABS_DATAID. 0 failure, 1 updated, 2 appended, 3 recalled from deleted.
// Id 0, a null path and a path longer than PATH (80) are refused (0).
MIXTABLE_API int Wy_UpdateDatactl(uint32_t id, uint32_t abs_id, char* path,
                                  const char* descr);

// Path (trimmed, trailing "\") and description of id. id 0 or no catalogue:
// "c:\gdata\" and false; an id not catalogued: both empty and false.
MIXTABLE_API bool Wy_DataPath(uint32_t id, std::string& path,
                              std::string& descr);

// Whether id is a usable data set: see the implementation notes in
// wy_catalog.cc. Outputs may be null; *hidden is set to 1 for a hidden
// data set.
MIXTABLE_API int Wy_CheckCatalogueId(uint32_t id, std::string* path,
                                     std::string* descr, int* hidden);

// ABS_DATAID of id, or id itself. The answer for the last id asked is kept
// while the catalogue file is unchanged (its change counter, bumped by every
// writer in any process, is compared on each call).
MIXTABLE_API uint32_t Wy_GetAbsDataId(uint32_t id);
// Forgets the cached answer of Wy_GetAbsDataId.
MIXTABLE_API void Wy_ResetAbsDataIdCache();

// Number of live records whose DATAID or ABS_DATAID is id; their DATAIDs go
// to ids (sized by the caller) when given.
MIXTABLE_API int Wy_GetDataIdListFamily(uint32_t id, uint32_t* ids);
// 1 when id (or, for 0, any live record's id) occurs twice.
MIXTABLE_API int Wy_CheckDatactlForMultipleIds(uint32_t id);
// 1 when a record (of id, or any for 0) names a server other than this
// machine.
MIXTABLE_API int Wy_CheckDatactlForServerData(uint32_t id);
// DATAID of the first live record whose PATH is "c:\gdata\", else 0.
MIXTABLE_API uint32_t Wy_GetGDataIdForGDataPath();
// DATAID of the first live record, else 0.
MIXTABLE_API uint32_t Wy_GetDefaultGDataId();

// Dispenser ids from DISP_ID ("3,7": main dispenser 3).
MIXTABLE_API uint32_t Wy_SlaveId(uint32_t id);
MIXTABLE_API int Wy_SlaveListId(uint32_t id, std::vector<uint32_t>* list);
MIXTABLE_API uint32_t Wy_DataIdFromSlaveId(uint32_t slave_id);

// Hidden data sets: PARAM key "FRM_HIDDEN" with VALUE 1.
MIXTABLE_API int Wy_IsAnHiddenGdata(uint32_t id);
MIXTABLE_API int Wy_IsThereAnHiddenGdata();

// ---- served data sets -------------------------------------------------------

// The cache directory ($CACHEDIR trimmed, trailing "\", else
// "c:\wuser\DBFCache\"), created. With a server name and a data-set path
// ("C:\GDATA001\"), the data set's cache directory below it
// (cache + "SRV\C\GDATA001\"), created too. A server name holding a
// separator, ":" or "..", or a data-set path that is not a drive path or
// holds "..", is refused: empty path, result 0. Otherwise 1.
MIXTABLE_API int Wy_CachePath(std::string& path, const char* server,
                              const char* datapath);

// The cache information file of a served data set: the cache directory +
// the data set's cache directory relative to it, "\" and "." turned into
// "_", + ".INF" (SRV and C:\GDATA001\ give SRV_C_GDATA001.INF). Both fail
// for an empty path, a missing or empty server name or this machine's name.
// Reading empties lines and fills one element per line (LF or CRLF ends;
// lines are kept whole, so what was written comes back); writing writes
// each element and a line feed. True when the file could be read / written.
MIXTABLE_API bool Wy_ReadCacheInfo(std::vector<std::string>& lines,
                                   const std::string& path, const char* server);
MIXTABLE_API bool Wy_WriteCacheInfo(const std::vector<std::string>& lines,
                                    const std::string& path,
                                    const char* server);

// ---- dispenser-slave messages
// --------------------------------------------------

// Prepares (does not open) db for the dispenser-slave message table:
// "MSGSLAVE\" beside the running program, else
// "c:\wuser\kalvodspserver17\MSGSLAVE\"; the table named after language
// (default "ENGLISH", at most 15 characters) when that file exists there,
// else ENGLISH; one index of the same name on "ID+PROG". own_module is
// accepted for callers (program and module are the same here). The SetFiles
// result; 0 for null.
MIXTABLE_API int Wy_SetSlaveMsgDbHandle(Wdbase* db, const std::string* language,
                                        bool own_module);

// The text of a dispenser error code from an open message table (STRING of
// the record found with "%5ld"), as "%04X%s%s" (code, prefix, text) with a
// prefix, else "%04X\t (%d) %s". An empty text becomes fallback when given.
// With number > 0 the text is trimmed and " N. %3d" (number) appended. The
// result lives in a static buffer (one per form) until the next call.
const char* Wy_GetHwErrorString(int32_t code, int32_t number, Wdbase* table,
                                const char* prefix, const char* fallback);
// With split, the code's high part (code AND 0xFF00 while below 0x8000, else
// -1) and low byte (0 when the high part is -1) are stored (pointers may be
// null); a positive high part gives the text of the high part followed by
// " N. %3d" with the low byte. Otherwise the text of the code itself.
const char* Wy_GetHwErrorString(bool split, int32_t code, Wdbase* table,
                                const char* prefix, const char* fallback,
                                int32_t* high, int32_t* low);

#endif  // MIXTABLE_WY_CATALOG_H_
