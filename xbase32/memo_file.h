// The memo file beside a data file: its name, creation and opening, and the
// memo texts it holds.
//
// Layout:
//   0      4  next free block number, uint32 LE (1 in a new file)
//   512*n  .. block n (n >= 1): a text starts at the first byte of its first
//             block, runs over as many consecutive blocks as it needs and
//             ends with 0x1A; the text never contains 0x1A.
//
// A text of c bytes occupies ceil((c + 1) / 512) blocks (the text and its
// end mark). Other readers of the file family stop at two 0x1A bytes, so a
// second 0x1A is written whenever it still falls inside those blocks; this
// reader stops at the first.
//
// The memo field of a record holds the number of the text's first block as
// decimal digits, or blanks (or 0) when the record has no text.

#ifndef XBASE32_MEMO_FILE_H_
#define XBASE32_MEMO_FILE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"

namespace xbase32 {

constexpr int kMemoBlockSize = 512;
constexpr int kMemoHeaderSize = 4;
constexpr uint32_t kMemoFirstBlock = 1;
constexpr char kMemoEnd = 0x1A;

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

// Number of blocks a text of len bytes occupies with its end mark.
uint64_t MemoBlocks(uint64_t len);

// The block number held by a memo field of width bytes (not NUL-terminated):
// leading blanks, then decimal digits. 0 for blanks, no digits, or a
// number that does not fit 32 bits.
uint32_t MemoFieldBlock(const char* field, int width);

// Stores block into a memo field of width bytes: right-aligned and
// blank-padded when zero_pad is false (a memo write), zero-padded
// otherwise (pack); blanks for block 0. Answers false, leaving the field
// alone, when the digits do not fit.
bool SetMemoFieldBlock(char* field, int width, uint32_t block, bool zero_pad);

// Reads and writes the texts of an open memo file. Does not own the file.
// Failures are reported (-70 reading, -120 writing) and answered with false.
// Callers serialise writers (the data file's append lock).
class MemoFile {
 public:
  explicit MemoFile(platform::File* file) : file_(file) {}

  // The text at block: everything before the first 0x1A (or up to the end
  // of the file when none follows). Block 0 is no text. On a read error the
  // text is empty and the answer false.
  bool ReadText(uint32_t block, std::string* text);

  // The space of the text at block: 512 times the number of 512-byte pieces
  // read from the block up to the piece holding the first 0x1A. 0 for block
  // 0, or when the file ends first.
  bool TextSpace(uint32_t block, uint64_t* space);

  // Stores len bytes (len > 0) as the new text of a field that held
  // old_block (0 for none): in place when len is smaller than the old
  // text's space, otherwise at the next free block, which moves on by the
  // blocks the text occupies. *block receives the text's block.
  bool Store(uint32_t old_block, const char* text, uint64_t len,
             uint32_t* block);

  // The next free block number of the header.
  bool NextFree(uint32_t* next);
  bool SetNextFree(uint32_t next);

  // Writes text at block followed by its end mark(s).
  bool WriteTextAt(uint32_t block, const char* text, uint64_t len);

  platform::File* file() const { return file_; }

 private:
  platform::File* file_;
};

// Where a memo field sits in a record.
struct MemoFieldSpot {
  int offset;
  int width;
};

// Longest text a recreated memo file allows for each named block (16 MB).
constexpr uint64_t kMaxRecreatedTextBlocks = 32768;

// Creates the memo file of a table whose memo file is missing, while the
// data file's records may still name blocks in it: the texts are lost, so
// the loss is reported (-60 with the path), every block that a record names
// gets a lone 0x1A (those records read as empty instead of reading a later
// text), and the next free block starts past the largest named block.
// Block numbers beyond what the records' texts can reach (see
// kMaxRecreatedTextBlocks) are corrupt and left out.
// data is the open data file; spots lists its memo fields. Callers hold the
// data file's append lock.
bool RecreateMemoFile(const std::string& memo_path, platform::File* data,
                      uint32_t header_length, uint32_t record_length,
                      const std::vector<MemoFieldSpot>& spots);

}  // namespace xbase32

#endif  // XBASE32_MEMO_FILE_H_
