// The memo file beside a data file: its name, creation and opening. The
// memo texts themselves (512-byte blocks, next free block in the header,
// texts ending with 0x1A) are read and written by the memo operations.
//
// Layout:
//   0      4  next free block number, uint32 LE (1 in a new file)
//   512*n  .. block n (n >= 1): texts start at block boundaries

#ifndef XBASE32_MEMO_FILE_H_
#define XBASE32_MEMO_FILE_H_

#include <memory>
#include <string>

#include "platform/env.h"

namespace xbase32 {

constexpr int kMemoBlockSize = 512;

// The memo file name of a data file: its extension replaced by "dbt" (in
// the case of the data file's extension), or ".dbt" appended.
std::string MemoPathFor(const std::string& data_path);

// Creates (or replaces) an empty memo file: the 4-byte header with next free
// block 1. Reports and answers false on failure.
bool CreateMemoFile(const std::string& path);

// Opens an existing memo file for reading and writing. Reports -60 and
// answers false on failure.
bool OpenMemoFile(const std::string& path,
                  std::unique_ptr<platform::File>* file);

}  // namespace xbase32

#endif  // XBASE32_MEMO_FILE_H_
