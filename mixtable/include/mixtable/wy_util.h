// Small helpers of the tables library: Windows-style paths, directory trees,
// C strings trimmed in place, separated lists, error display and the
// diagnostic trace.
//
// Conventions:
//  * Paths are Windows-style ("c:\gdata\frm.dbf") or host paths beginning
//    with "/"; both "\" and "/" count as separators wherever a helper looks
//    for the directory part, so host paths work too. File-system access goes
//    through platform::Env::Current().
//  * The code pages in use are single-byte, so a character is one byte.
//  * No helper throws; failures are reported only through the result, and
//    file-system failures inside the directory helpers are ignored.
//  * C-string helpers accept null pointers and then do nothing.

#ifndef MIXTABLE_WY_UTIL_H_
#define MIXTABLE_WY_UTIL_H_

#include <cstdarg>
#include <cstdint>
#include <string>

#include "mixtable/export.h"

// ---- paths ---------------------------------------------------------------

// Appends "\" to a non-empty path whose last character is not already a
// separator ("\" or "/"). An empty string stays empty.
MIXTABLE_API void Wy_AddTrailingBackslash(std::string& path);

// Keeps everything up to and including the last separator. A string without
// a separator becomes ".\"; an empty string stays empty.
MIXTABLE_API void Wy_GetFilePath(std::string& path);

// Drops the extension: cuts the string at its last "." when that dot lies in
// the file name (after the last separator). A path whose only dots are in
// directory names, such as "c:\dir.x\file", is left as it is.
MIXTABLE_API void Wy_GetFilePathName(std::string& path);

// Points at the first "." after the last separator (the extension including
// its dot: ".TAR.GZ" for "FILE.TAR.GZ"), or null when the file name has no
// dot or path is null. The pointer lies inside path.
const char* Wy_GetFileExt(const char* path);
MIXTABLE_API char* Wy_GetFileExt(char* path);

// Prefixes file with the directory (with its trailing separator) of the
// tables library's own file and answers the result. When that directory
// cannot be found, file is left as it is.
MIXTABLE_API std::string Wy_AddAppDirAndFile(std::string& file);

// ---- directories -----------------------------------------------------------

// Creates every directory along path (a trailing separator is ignored); an
// existing directory is no error. path must be a drive path ("c:\...") or a
// host path ("/..."); anything else, such as a path without a drive letter,
// fails without creating anything. True when the whole path exists as a
// directory afterwards.
MIXTABLE_API bool Wy_MkDir(const std::string& path);

// Adds to *file_count every entry of dir that matches mask ("*.*" when mask
// is empty) and is not a directory, and adds 1 to *dir_count for every
// sub-directory. With recurse set, each sub-directory is scanned the same way
// unless depth_limit is positive and smaller than the number of components of
// the sub-directory's path (the drive or root counts as one): depth_limit
// bounds the absolute depth of the directories visited. The counters are only
// ever incremented. Symbolic links are counted as files and never followed.
// The walk goes by directory descriptors: a name holding "\" or ".." is
// counted like any other and never leads out of the tree. An empty dir does
// nothing.
MIXTABLE_API void Wy_ScanDir(int32_t& dir_count, int32_t& file_count,
                             const std::string& dir, const std::string& mask,
                             bool recurse, int32_t depth_limit);

// Deletes the directory dir with everything below it: read-only files and
// directories are made writable first; symbolic links are removed, never
// followed (when dir itself is a link, only the link goes). Failures are
// ignored (whatever cannot be removed stays). Names inside the tree are
// never mapped again (one holding "\" or ".." is just a name). The host
// root "/", the drives root, a directory above it and a drive's root
// directory are refused (traced, nothing deleted). An empty dir, or one
// naming a plain file or nothing, does nothing.
MIXTABLE_API void Wy_PruneDir(const std::string& dir);

// ---- C strings, modified in place -------------------------------------------

// Removes count characters starting at pos (fewer when the string ends
// sooner). Nothing happens for a null or empty string, a null pos, a count
// of 0 or less, or a pos outside the string.
MIXTABLE_API void Wy_StringDelete(char* str, char* pos, int32_t count);

// Remove the leading / trailing / both characters that belong to set. A null
// or empty set (or string) leaves the string unchanged.
MIXTABLE_API void Wy_StringLtrim(char* str, const char* set);
MIXTABLE_API void Wy_StringRtrim(char* str, const char* set);
MIXTABLE_API void Wy_StringTrim(char* str, const char* set);

// 1 when str is null, empty or white space only, else 0.
MIXTABLE_API int Wy_StringEmpty(const char* str);

// ---- lists in a string
// -------------------------------------------------------

// Number of items of a separated list: the number of separators, plus one
// when text follows the last separator; 0 for an empty string. "A;B" and
// "A;B;" both hold 2 items, ";A" holds 2 (the first one empty).
MIXTABLE_API int32_t Wy_StringParse_GetNum(const std::string& str,
                                           char separator);

// Sets item to the 0-based index-th item (the text between the index-th
// separator and the next one). False, with item emptied, when str is empty
// or index is negative or not below Wy_StringParse_GetNum().
MIXTABLE_API bool Wy_StringParse_GetItem(std::string& item,
                                         const std::string& str, int32_t index,
                                         char separator);

// ---- error display ---------------------------------------------------------

// Shows the text of the calling thread's last error (errno) in a message box
// (information icon) through the platform's message-box hook, captioned with
// the program's name. With only_on_error set nothing is shown while errno
// is 0. errno is left unchanged.
MIXTABLE_API void Wy_GetLastErrorMessage(bool only_on_error);

// ---- diagnostic trace ------------------------------------------------------

// Category of the tables library's trace output.
constexpr int kWyTraceCategory = 1002;
// Longest trace text, terminator included; longer output is cut.
constexpr int kWyTraceMax = 4096;

// Formats printf-style text and hands it to platform::Trace with category
// kWyTraceCategory. Without a trace sink (see platform/hooks.h; $KALVO_TRACE
// selects standard error or a file) nothing happens.
MIXTABLE_API void Wy_Trace(const char* format, ...)
    __attribute__((format(printf, 1, 2)));
MIXTABLE_API void Wy_TraceV(const char* format, va_list args)
    __attribute__((format(printf, 1, 0)));

#endif  // MIXTABLE_WY_UTIL_H_
