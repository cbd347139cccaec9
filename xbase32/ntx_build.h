// Creating an NTX index (CreateIdx): every record's key goes
// through an external sort (key_sort.h) and the sorted entries build the
// tree bottom-up: leaves are filled left to right with the maximum number
// of keys; the first key that does not fit a full page goes up into the
// parent level with the full page as its left child; at the end the partly
// filled pages are closed and linked upwards and the topmost page is the
// root. Pages are written in the order they are completed, from offset
// 1024; the header page is written last.
//
// The last page of each level may stay less than half full, but never
// empty: when the last key that came in went up (leaving pages without keys
// below it), one key is rotated down through each of those levels from the
// full page to its left, which is written again.
//
// An existing index file is rewritten in place (truncated and written
// again, the change counter moved past its old value) under the index lock,
// so that every process that holds the file open sees the new tree.

#ifndef XBASE32_NTX_BUILD_H_
#define XBASE32_NTX_BUILD_H_

#include <cstdint>
#include <string>
#include <vector>

#include "ntx_page.h"

namespace platform {
class File;
}

namespace xbase32 {

class DbfFile;

struct NtxBuildOptions {
  bool unique = false;
  bool descending = false;
  std::string filter;  // logical expression; records failing it get no key
};

struct NtxBuildStats {
  uint64_t entries = 0;  // keys in the tree
  size_t runs = 0;       // sorted runs spilled to the temporary file
  uint32_t pages = 0;    // node pages written
};

// Builds the index file path for data with the key expression expr from all
// records (deleted ones included). Reports and answers false on failure
// (the file is then left as an empty-looking invalid index or as it was).
// The data file's current record changes (callers restore it).
bool BuildNtx(DbfFile* data, const std::string& path, const std::string& expr,
              const NtxBuildOptions& options, NtxBuildStats* stats = nullptr);

// The bottom-up tree writer over sorted entries, writing pages to file
// from offset 1024 on. Exposed for tests and tools.
class NtxTreeWriter {
 public:
  NtxTreeWriter(platform::File* file, const ntx::Geometry& geo);
  // Adds the next entry (ascending order). False on a write failure.
  bool Add(const char* key, uint32_t recno);
  // Closes the partly filled pages; *root receives the root's offset and
  // *end the file length (pages x 1024, header included).
  bool Finish(uint32_t* root, uint32_t* end);
  uint32_t pages() const { return (next_ - ntx::kPageSize) / ntx::kPageSize; }
  const std::string& error() const { return error_; }

 private:
  struct Level {
    NtxPage cur;   // the page being filled
    NtxPage done;  // the last completed page of the level
    bool has_done = false;
  };
  bool AddAt(size_t level, const char* key, uint32_t recno, uint32_t left);
  bool Write(const NtxPage& p, uint32_t* offset);
  bool Rewrite(const NtxPage& p);
  bool FlushBuffer();

  platform::File* file_;
  ntx::Geometry geo_;
  std::vector<Level> levels_;
  uint32_t next_ = ntx::kPageSize;  // offset of the next page written
  std::vector<uint8_t> buffer_;     // pages not yet written
  uint32_t buffer_start_ = ntx::kPageSize;
  std::string error_;
};

}  // namespace xbase32

#endif  // XBASE32_NTX_BUILD_H_
