// The crash mark of an NTX index file (ntx_format.h, kOffCrashMark): set by
// a writer before the first page of a change reaches the file, cleared after
// the last; a mark found while no writer holds the index lock says the tree
// may not match the table, and Open rebuilds the index.

#ifndef XBASE32_NTX_MARK_H_
#define XBASE32_NTX_MARK_H_

#include <string>

#include "platform/env.h"

namespace xbase32 {

// Writes the mark (on) or clears it in the open index file f. Failures are
// reported (-120) and answered with false.
bool WriteNtxMark(platform::File* f, bool on);

// Reads the mark of f: 1 set, 0 clear, -1 on a read error.
int ReadNtxMark(platform::File* f);

// Sets the mark of the index file at path, so that the next Open rebuilds
// it: used before a table is replaced under its indexes. A missing file is
// fine (true).
bool MarkIndexStale(const std::string& path);

}  // namespace xbase32

#endif  // XBASE32_NTX_MARK_H_
