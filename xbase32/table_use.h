// Whether a table is in use: every handle that has a table open holds the
// "open" byte range of its data file shared (dbf_format.h); replacing,
// renaming or deleting the table's files needs that range exclusively, taken
// without waiting. The range is an open-file-description lock, so other
// handles of this very process count as users too.

#ifndef XBASE32_TABLE_USE_H_
#define XBASE32_TABLE_USE_H_

#include <functional>
#include <memory>
#include <string>

#include "platform/env.h"

namespace xbase32 {

class DbfFile;

// Opens the data file at path for a Wdbase handle and takes its open range
// shared: undoes an interrupted replacement first (table_files.h), waits
// while a replacement is under way, and opens again when the file was
// replaced between its open and the lock. Null on failure (reported).
std::unique_ptr<DbfFile> OpenShared(const std::string& path);

// Takes the open range shared on a data file just opened. Waits (up to
// about a minute) while another handle holds it exclusively: that handle is
// replacing or deleting the table. False (reported with -50) on an error or
// when the wait ends.
bool HoldOpenRange(platform::File* data);

// Makes the open range of data (held shared by this handle) exclusive,
// without waiting. False when another handle has the table open; the
// handle then keeps its shared hold. Nothing is reported.
bool TakeOpenRange(platform::File* data);
// Makes the range shared again after TakeOpenRange.
void ShareOpenRange(platform::File* data);

// Opens the data file at path and takes its open range exclusively: the
// guard of a replacement or deletion by a caller that does not have the
// table open. The guard does not stop the caller renaming or deleting the
// file (platform::OpenMode::kGuard); a deletion under it completes when the
// guard is released. Null when the file cannot be opened (*missing true when it
// does not exist) or when the table is in use (*in_use true).
std::unique_ptr<platform::File> GuardTable(const std::string& path,
                                           bool* in_use, bool* missing);

// For a caller about to swap or delete a table it has open itself, with the
// open range held exclusively, on a host where its own open handles would
// stop that (platform::OpenFilesBlockRename): opens a guard of the data file
// at path, calls close (which closes the caller's table: data, memo and
// index files), then takes the guard's open range. Null when the guard
// cannot be opened (close not called) or when another handle took the range
// in between (close called: the caller reopens its table). Not reported.
std::unique_ptr<platform::File> GuardInsteadOf(
    const std::string& path, const std::function<void()>& close);

// Whether another handle has the table with data file path open (false
// when the file does not exist or cannot be opened for writing).
bool TableInUse(const std::string& path);

// Reports code (-80 "Removing File", -90 "Renaming File", ...) with the
// detail that the table is in use by another program.
void ReportInUse(int code, const std::string& path);

}  // namespace xbase32

#endif  // XBASE32_TABLE_USE_H_
