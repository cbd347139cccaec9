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
// old set aside; a death in step 3 leaves the new table in place and the old
// set aside. Opening the table notices either case and reports it; nothing
// set aside is ever used without the user's say.

#ifndef XBASE32_TABLE_FILES_H_
#define XBASE32_TABLE_FILES_H_

#include <string>

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

// Called when a table is opened (opened says whether the data file opened):
// reports files set aside by an interrupted replacement. Without the data
// file the report is -60 "Opening File" naming the set aside; with it, -910
// "Unexpected Information" (the open goes on with the new table).
void NoticeLeftoverSet(const std::string& data, bool opened);

}  // namespace xbase32

#endif  // XBASE32_TABLE_FILES_H_
