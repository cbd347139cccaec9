// Putting a rebuilt table in place of an old one, safely for a process that
// dies part way, and noticing what such a death left behind.
//
// A table is its data file and (when it has one) its memo file. Replacing
// old by new:
//   1. the old data file and memo file are moved aside ("x.dbf" becomes
//      "x.dbf.old", "x.dbt" becomes "x.dbt.old");
//   2. the new memo file takes the old memo file's name, then the new data
//      file takes the old data file's name (the data file last: its
//      presence marks a finished replacement);
//   3. the set aside is deleted.
// A death before step 2 ends leaves no data file under the old name and the
// old set aside: the next Open (RecoverReplacement) moves the old set back,
// so a death part way leaves the old table or the new one, never neither.
// A death in step 3 leaves the new table in place and the old set aside:
// the next Open reports it and deletes the set aside.
//
// The caller holds the old table's open range exclusively (table_use.h)
// for the whole replacement: no other handle has it open, and an Open
// elsewhere waits until the new table is in place.
//
// Work tables ("$$$nnnnn.dbf" with their ".dbt", temp_name.h) left by a
// process that died are noticed by Open of any table of their directory and
// removed by the next restructuring in that directory (when nobody has them
// open and they are older than kLeftoverAgeSeconds).

#ifndef XBASE32_TABLE_FILES_H_
#define XBASE32_TABLE_FILES_H_

#include <string>
#include <vector>

namespace xbase32 {

// The name a file is moved to while a replacement runs.
std::string AsidePath(const std::string& path);

// Replaces the table old_data (with its memo file, if any) by the table
// new_data (with its memo file, if any) as above. On a failure in steps 1
// and 2 the old files are moved back (as far as possible), the new table
// keeps its own name, the failure is reported and the answer is false.
// A failure to delete the set aside is reported and answered with true
// (the new table is in place).
bool ReplaceTable(const std::string& old_data, const std::string& new_data);

// Deletes a table's data file and memo file (missing files are fine).
void DeleteTable(const std::string& data);

// Work tables younger than this are never taken for leftovers (a process
// may have reserved one and not opened it yet).
constexpr int kLeftoverAgeSeconds = 10;

// Before a table is opened: when its data file is missing and the old set
// of an interrupted replacement lies aside, and no process is replacing it
// now, the old set is moved back (reported with -910). Answers false while
// a live replacement holds the old set (the caller waits and tries again).
bool RecoverReplacement(const std::string& data);

// The work tables in dir (a directory ending with a separator) that no
// handle has open and that are older than kLeftoverAgeSeconds, as paths.
std::vector<std::string> LeftoverWorkTables(const std::string& dir);
// Deletes those leftovers (data and memo files); used by the restructuring
// calls that make work tables.
void RemoveLeftoverWorkTables(const std::string& dir);

// Called when a table is opened (opened says whether the data file opened):
// reports files set aside by an interrupted replacement, and leftover work
// tables of its directory dir. Without the data file the report is -60
// "Opening File" naming the set aside; with it, -910 "Unexpected
// Information" (the open goes on with the new table, and the set aside is
// deleted unless the replacing process still holds it).
void NoticeLeftoverSet(const std::string& dir, const std::string& data,
                       bool opened);

}  // namespace xbase32

#endif  // XBASE32_TABLE_FILES_H_
