// The composite records of a sorted relation walk: entries of a fixed
// number of record numbers (one per table of the tree), ordered by a sort
// key; entries with equal keys keep the order in which they were added.
//
// Memory stays bounded whatever the number of entries: small sets are
// sorted in memory; larger ones go through the index build's sort
// (KeySorter: sorted runs in a temporary working file, failure detail
// "Sorting"), and the sorted entries are then kept in a temporary working
// file of their own ("RELnnnnn.TMP" in the temporary directory) and read
// back through a small window. Temporary files are deleted when the list is
// destroyed.

#ifndef XBASE32_RELATION_LIST_H_
#define XBASE32_RELATION_LIST_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {
class File;
}

namespace xbase32 {

class KeySorter;

class RelationList {
 public:
  // Keys of key_length bytes (compared bytewise); tables record numbers per
  // entry (at least 1).
  RelationList(int key_length, int tables);
  ~RelationList();
  RelationList(const RelationList&) = delete;
  RelationList& operator=(const RelationList&) = delete;

  // Bytes kept in memory before the sort and the list move to temporary
  // files (process-wide; at least 4 KiB is used). Answers the previous
  // value.
  static size_t SetMemoryLimit(size_t bytes);

  // Adds an entry: key_length bytes of key, tables record numbers. False on
  // failure (reported).
  bool Add(const char* key, const int32_t* recnos);
  // Ends the input and sorts. False on failure (reported).
  bool Finish();

  int64_t count() const { return count_; }
  // Whether the entries went to a temporary file.
  bool on_disk() const { return file_ != nullptr; }
  // The record numbers of entry i (0 <= i < count()) into recnos. False on
  // failure (reported) or for i out of range.
  bool Get(int64_t i, int32_t* recnos);

 private:
  bool SpillToSorter();
  bool SortInMemory();
  bool DrainSorter();
  bool WriteOut(const char* p, size_t n);

  int key_length_;
  int tables_;
  size_t sort_entry_;  // key, sequence number (big-endian), record numbers
  size_t out_entry_;   // record numbers
  size_t limit_;
  uint32_t seq_ = 0;
  int64_t count_ = 0;
  bool finished_ = false;

  std::vector<char> input_;               // entries before a sorter is needed
  std::unique_ptr<KeySorter> sorter_;     // large sets
  std::vector<char> scratch_;             // one entry for the sorter
  std::vector<char> out_;                 // sorted entries held in memory
  std::unique_ptr<platform::File> file_;  // or in this file
  std::string path_;
  uint64_t file_size_ = 0;
  std::vector<char> window_;  // cached part of the file
  int64_t window_first_ = 0;
  int64_t window_count_ = 0;
};

}  // namespace xbase32

#endif  // XBASE32_RELATION_LIST_H_
