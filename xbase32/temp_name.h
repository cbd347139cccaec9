// Names for the engine's temporary and working files.
//
//  * Temporary working files (sort runs while an index is built, and the
//    like): "TEMP" + four digits + ".TMP" in the system's temporary
//    directory (Env::TempDir()), never in the current directory, which may
//    not be writable. The digits are the current time in seconds modulo
//    10 000, zero-padded. The file is created exclusively; when the name is
//    taken the engine waits about one second and tries again with the new
//    time, at most kTempAttempts times.
//  * Work tables of a restructuring: "$$$" + five digits + ".dbf" in the
//    table's own directory, created exclusively, so that two processes
//    restructuring tables of one directory never share a work table.

#ifndef XBASE32_TEMP_NAME_H_
#define XBASE32_TEMP_NAME_H_

#include <memory>
#include <string>

#include "platform/env.h"

namespace xbase32 {

constexpr int kTempAttempts = 100;
constexpr int kTempRetryMs = 1000;

// "TEMPdddd.TMP" for a time in seconds.
std::string TempFileName(int64_t seconds);

// Creates a new, empty temporary working file and answers its path (host
// path in the temporary directory) and the open file, which the caller owns
// and deletes when done. On failure reports -20 "Creating File" with the
// detail "Temporary Working File" and answers false.
bool CreateTempFile(std::string* path, std::unique_ptr<platform::File>* file);

// Reserves a work table name in dir (a directory ending with "\" or "/"):
// creates "$$$nnnnn.dbf" exclusively (empty) and answers the file name
// without the directory. The caller creates the table over it and deletes
// it when done. On failure reports -20 and answers false.
bool ReserveWorkTable(const std::string& dir, std::string* name);

}  // namespace xbase32

#endif  // XBASE32_TEMP_NAME_H_
