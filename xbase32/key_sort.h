// The sort of an index build: (key, record number) entries in, entries out
// in ascending key then ascending record-number order, in bounded memory
// whatever the number of entries.
//
// Entries are collected in a buffer of at most SortMemoryLimit() bytes;
// when it is full the buffer is sorted and written as a sorted run to a
// temporary working file, named "TEMP" + four digits + ".TMP" in the
// system's temporary directory, created exclusively (temp_name.h). All runs
// of one sort share one file, so one sort waits for a free name at most
// once; the file is deleted when the sort ends. The runs are merged with a heap; when there are too many
// runs to give each a read buffer within the limit, groups of runs are first
// merged into longer runs appended to the same file.
//
// Failures are reported through ReportError with the detail "Sorting".

#ifndef XBASE32_KEY_SORT_H_
#define XBASE32_KEY_SORT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {
class File;
}

namespace xbase32 {

// Process-wide memory budget of one sort, in bytes (default 32 MiB; at
// least 64 KiB is used). Answers the previous value.
size_t SetSortMemoryLimit(size_t bytes);
size_t SortMemoryLimit();

class KeySorter {
 public:
  // Keys are key_length bytes. With unique set only the first entry (lowest
  // record number) of each key comes out. expected (when known) is the
  // number of entries to come: the buffer is then no larger than they need.
  KeySorter(int key_length, bool unique, uint64_t expected = 0);
  ~KeySorter();
  KeySorter(const KeySorter&) = delete;
  KeySorter& operator=(const KeySorter&) = delete;

  // Adds one entry (key_length bytes at key). False on failure (reported).
  bool Add(const char* key, uint32_t recno);
  // Ends the input; the entries can then be read with Next. False on
  // failure (reported).
  bool Finish();
  // The next entry in order: *key points to key_length bytes valid until
  // the next call. False at the end or on failure (then failed() is true).
  bool Next(const char** key, uint32_t* recno);
  bool failed() const { return failed_; }

  uint64_t added() const { return added_; }
  // Number of sorted runs written to the temporary file (0: all in memory).
  size_t runs_written() const { return spilled_runs_; }
  // Host path of the temporary file ("" when none was needed).
  const std::string& temp_path() const { return temp_path_; }

 private:
  struct Run {
    uint64_t offset;  // byte offset in the temporary file
    uint64_t count;   // entries
  };
  struct Reader;

  bool Fail(int code, const char* what, const std::string& why);
  bool OpenTemp();
  bool SpillBuffer();
  void SortBuffer();
  bool WriteOut(const char* p, size_t n);
  bool FlushOut();
  bool MergePass();
  bool StartMerge(size_t first, size_t n);
  bool NextMerged(const char** entry);
  bool Emit(const char* entry, const char** key, uint32_t* recno);

  int key_length_;
  size_t entry_size_;  // key + 4 bytes of record number, big-endian
  bool unique_;
  size_t limit_;
  size_t capacity_;  // entries the buffer holds
  bool failed_ = false;
  bool finished_ = false;
  uint64_t added_ = 0;

  // The sort order of the buffered entries: the first 8 bytes of each entry
  // (big-endian, so that integer order is byte order) and its index; ties
  // compare the whole entries.
  struct Item {
    uint64_t prefix;
    uint32_t index;
  };
  std::vector<char> buffer_;
  std::vector<Item> order_;
  size_t buffered_ = 0;
  size_t next_in_memory_ = 0;

  std::unique_ptr<platform::File> temp_;
  std::string temp_path_;
  uint64_t temp_size_ = 0;
  std::vector<Run> runs_;
  size_t spilled_runs_ = 0;
  std::vector<char> out_;  // write buffer for runs

  std::vector<std::unique_ptr<Reader>> readers_;
  std::vector<size_t> heap_;  // reader indexes, smallest entry first
  bool merging_ = false;

  std::vector<char> scratch_;  // the entry NextMerged hands out
  std::vector<char> last_;     // last entry handed out (unique)
  bool have_last_ = false;
};

}  // namespace xbase32

#endif  // XBASE32_KEY_SORT_H_
