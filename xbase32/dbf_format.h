// Byte layout of a DBF data file.
//
//   file header        32 bytes
//   field descriptors  32 bytes each, in field order
//   0x0D               end of the descriptors
//   records            record_length bytes each, numbered from 1
//   0x1A               after the last record
//
// File header:
//   0   1  version: 0x03, or 0x83 when a memo file belongs to the table
//   1   3  date of the last update: years since 1900, month, day
//   4   4  record count, uint32 LE (written, never trusted on reading)
//   8   2  header length = 32 + 32 * fields + 1 = offset of record 1
//   10  2  record length = 1 (flag byte) + sum of the field widths
//   12  4  zero
//   16  4  rewrite generation, uint32 LE: moved by every rewrite in place
//          (pack, zap, restructuring in place) before it changes a byte;
//          0 in a new file. A record or memo write from a buffer read
//          under another generation is refused. Other readers see bytes
//          reserved for multi-user use.
//   20  12 zero
// Field descriptor:
//   0   11 name, upper case, NUL-padded
//   11  1  type letter
//   12  4  zero
//   16  1  width (low byte of the width for C fields)
//   17  1  decimals for N and F; high byte of the width for C fields
//   18  14 zero
// Record: flag byte, then the fields at running offsets, no separators.

#ifndef XBASE32_DBF_FORMAT_H_
#define XBASE32_DBF_FORMAT_H_

#include <cstdint>

#include "little_endian.h"

namespace xbase32::dbf {

constexpr int kHeaderSize = 32;
constexpr int kDescriptorSize = 32;

constexpr int kOffVersion = 0;
constexpr int kOffYear = 1;
constexpr int kOffMonth = 2;
constexpr int kOffDay = 3;
constexpr int kOffCount = 4;
constexpr int kOffHeaderLength = 8;
constexpr int kOffRecordLength = 10;
constexpr int kOffGeneration = 16;

constexpr int kDescName = 0;
constexpr int kDescNameSize = 11;
constexpr int kDescType = 11;
constexpr int kDescWidth = 16;
constexpr int kDescDecimals = 17;

constexpr uint8_t kVersionPlain = 0x03;
constexpr uint8_t kVersionMemo = 0x83;
constexpr uint8_t kMemoBit = 0x80;

constexpr char kDescriptorEnd = 0x0D;
constexpr char kFileEnd = 0x1A;

constexpr uint32_t kMaxRecordLength = 0xFFFE;
constexpr int kMaxFieldNameLength = 10;

// Record flag byte: deleted marker "*" combined with a selection bit.
constexpr uint8_t kFlagBlank = 0x20;      // " " normal
constexpr uint8_t kFlagDeleted = 0x2A;    // "*" deleted
constexpr uint8_t kFlagSelectBit = 0x01;  // "!" selected, "+" deleted+selected
constexpr uint8_t kFlagRecallMask = 0x21;

// Byte-range locks, far beyond any real data. (Readers learn of other
// writers' changes from the host's write reports and the change counter,
// not from lock ranges: this engine adds none for that.)
constexpr uint64_t kLockBase = 1000000000ULL;
constexpr uint64_t kAppendLockOffset = kLockBase;
constexpr uint64_t kAppendLockLength = 1;
constexpr uint64_t kFileLockOffset = kLockBase;
constexpr uint64_t kFileLockLength = 1000000000ULL;
inline uint64_t RecordLockOffset(int32_t n) {
  return kLockBase + static_cast<uint64_t>(n);
}
// The "open" range: every handle that has the table open holds this byte
// shared for as long as it is open (it lies after the whole-file range, so
// no record, append or whole-file lock touches it). Replacing, renaming or
// deleting the table's files first takes it exclusively without waiting;
// when another handle shares it, the table is in use and stays as it is.
constexpr uint64_t kOpenLockOffset = kFileLockOffset + kFileLockLength;
constexpr uint64_t kOpenLockLength = 1;

// Width of a field in the record for a given type letter and length, as
// creation computes it (C, F, N: the length; D 8; G, M 10; L 1; other
// letters 0).
inline int CreateWidth(char type, int len) {
  switch (type) {
    case 'C':
    case 'F':
    case 'N':
      return len;
    case 'D':
      return 8;
    case 'G':
    case 'M':
      return 10;
    case 'L':
      return 1;
    default:
      return 0;
  }
}

inline bool IsMemoType(char type) { return type == 'M' || type == 'G'; }

using xbase32::Get16;
using xbase32::Get32;
using xbase32::Put16;
using xbase32::Put32;

}  // namespace xbase32::dbf

#endif  // XBASE32_DBF_FORMAT_H_
