// The crash mark of an NTX index file (ntx_format.h, kOffCrashMark). A
// handle about to change the tree for the first time takes the mark-holder
// byte shared and sets the mark; it keeps both until it closes, when the
// last holder (the one that can take the byte exclusively) clears the mark.
// So a set mark that no live holder explains says a writer died, maybe part
// way through a change, and Open rebuilds the index. (One write when a
// handle first changes the index and one when it closes, instead of two
// per change.)

#ifndef XBASE32_NTX_MARK_H_
#define XBASE32_NTX_MARK_H_

#include <cstdint>
#include <string>

#include "platform/env.h"

namespace xbase32 {

// Values of the mark byte.
constexpr uint8_t kMarkClear = 0;
constexpr uint8_t kMarkWriting = 1;  // set by live writers (or a dead one)
constexpr uint8_t kMarkStale = 2;    // rebuild whoever holds it

// Writes the mark value into the open index file f. Failures are reported
// (-120) and answered with false.
bool WriteNtxMark(platform::File* f, uint8_t value);

// Reads the mark of f (a kMark value), -1 on a read error.
int ReadNtxMark(platform::File* f);

// Takes the mark-holder byte shared (waiting while a closing holder has it
// exclusively) and sets the mark. False (reported) on failure.
bool HoldNtxMark(platform::File* f);
// Releases this handle's hold; clears the mark when it was the last holder
// and clear is true (its changes are all written).
void ReleaseNtxMark(platform::File* f, bool clear);
// Whether f carries a mark that no live holder explains.
bool StaleNtxMark(platform::File* f);

// Marks the index file at path stale, so that the next Open rebuilds it
// whoever holds it: used before a table is replaced or rewritten under its
// indexes. Only a rebuild clears it. A missing file is fine (true).
bool MarkIndexStale(const std::string& path);

}  // namespace xbase32

#endif  // XBASE32_NTX_MARK_H_
