// An open NTX index attached to its data file: the header checks,
// a page cache, seek, traversal in both directions, insertion with page
// splits, removal with rebalancing, the change counter and the index lock.
//
// Sharing between processes. Writers change the tree only while they hold
// the index lock (the byte range 1 000 000 000 + 1 000 000 000 of the file);
// entries added under the lock wait, staged (ntx_staged_keys.h), until a
// read, the removal of another entry, their memory budget or the release
// merges them into the tree in key order (into an empty tree bottom-up, the
// way a build writes it); changed pages stay in memory and are written,
// with the header, when the lock is released (or when too many are
// waiting), so that each page goes out about once. Around those writes the
// writer bumps the file's shared change counter (platform::ChangeCounter)
// before and after, so the counter is odd exactly while pages are being
// written. A reader that does not hold the lock notes the counter before an
// operation (waiting while it is odd), drops its cached pages when it moved
// since they were read, and checks it again afterwards: when it changed, the
// pages read may be torn and the operation runs again (after a few tries it
// runs under the lock). Where no shared counter exists (network file
// systems) readers take the lock. Where the counter's stamp proves nothing
// (hosts that do not report other writers' writes), a reader runs without
// the lock only on pages it read under the lock, while the header page and
// the file length are unchanged since (every writer rewrites the header
// before releasing the lock); it takes the lock for any other page. The
// header's 16-bit change counter is kept as the format asks (last value seen +
// 1 on every change).
//
// Faults in the file (key counts above the maximum, items outside a page,
// child offsets outside the file, trees deeper than any real one) fail the
// operation with -950 "Unexpected Result"; nothing reads outside its
// buffers and no walk runs forever.

#ifndef XBASE32_NTX_FILE_H_
#define XBASE32_NTX_FILE_H_

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "dbf_file.h"
#include "ntx_key.h"
#include "ntx_page.h"
#include "ntx_staged_keys.h"
#include "platform/env.h"

namespace xbase32 {

class DbfExprTable;
class Expr;

class NtxFile : public IndexHook {
 public:
  enum SeekResult { kFound = 0, kAfter = 2, kEnd = 3, kSeekFailed = -1 };

  ~NtxFile() override;

  // Opens path as an index of data: reads and checks the header (-310 "Not
  // a Correct Index File"), parses the key expression (-910 "Error in Key
  // Evaluation"; its key length must be the header's) and the filter (-310
  // "Filter should be Logical"). The index is not attached yet. Null on
  // failure (reported; -60 when the file cannot be opened).
  static std::unique_ptr<NtxFile> Open(DbfFile* data, const std::string& path);

  // Writes changed pages and releases the lock; the file is closed.
  bool Close();

  const std::string& path() const { return path_; }
  const std::string& expression() const { return header_.expr; }
  const std::string& filter() const { return header_.filter; }
  const KeyInfo& key_info() const { return info_; }
  const ntx::Geometry& geometry() const { return header_.geo; }
  uint32_t root() const { return header_.root; }
  bool unique() const { return header_.unique; }
  bool descending() const { return header_.descending; }
  // The base name of the file: the index's name within its data file.
  std::string name() const;

  // The key of a record (full record, flag byte included) into out
  // (key_info().length bytes). False when the index's filter leaves the
  // record out.
  bool KeyOf(const char* rec, int32_t recno, char* out);

  // --- navigation in index order (reverse for a descending index) --------
  // Each answers the record number of the entry reached; 0 when there is no
  // entry that way (the cursor is then unset); -1 on failure (reported).
  int32_t First();
  int32_t Last();
  int32_t Next();
  int32_t Prev();
  // Makes the cursor stand on the entry of record recno (rec: its full
  // record); when the index has no such entry, in the gap where its key
  // belongs, so that Next and Prev reach the entries after and before it.
  // Nothing to do when the cursor already stands on recno and the tree has
  // not changed since.
  void SyncTo(int32_t recno, const char* rec);
  // Positions on the first entry (in index order) whose key starts with
  // key (key.size() bytes, at most the key length): kFound, kAfter on the
  // next entry, kEnd when there is none; *recno receives the entry's
  // record number.
  SeekResult Seek(const std::string& key, int32_t* recno);
  // Key and record number of the cursor's entry (null / 0 when unset).
  const char* cursor_key() const;
  int32_t cursor_recno() const;

  // Verifies the whole tree: header geometry, key order (equal keys
  // allowed), no page above its maximum, child offsets inside the file, no
  // page reached twice (no cycles), every leaf at the same depth. Calls
  // entry for each entry in key order. Answers "" when sound, else the
  // first fault.
  std::string CheckTree(
      const std::function<void(const char* key, uint32_t recno)>& entry);

  // Entries in the index (walks the tree); -1 on failure.
  int64_t CountEntries();

  // --- IndexHook -----------------------------------------------------------
  platform::LockResult TryLockIndex() override;
  bool UnlockIndex() override;
  bool KeyChanges(int32_t recno, const char* old_rec,
                  const char* new_rec) override;
  bool Update(int32_t recno, const char* old_rec, const char* new_rec) override;
  void UndoUpdate(int32_t recno, const char* old_rec,
                  const char* new_rec) override;
  bool Insert(int32_t recno, const char* rec) override;
  void UndoInsert(int32_t recno, const char* rec) override;
  bool Sync() override;
  // Whether the file carries a crash mark (ntx_mark.h) that no live handle
  // explains.
  bool LeftMarked();

  // Adds or removes one entry (under the lock). Exposed for tests.
  bool AddKey(const char* key, uint32_t recno, bool* added = nullptr);
  bool RemoveKey(const char* key, uint32_t recno, bool* removed = nullptr);

  // Pages kept in the cache (tests).
  size_t cached_pages() const { return pages_.size(); }
  // Process-wide page cache capacity per index (default 2048 pages).
  static size_t SetCacheCapacity(size_t pages);
  // Process-wide memory (bytes) the entries added under the lock may take
  // before they are merged into the tree (default 8 MiB); answers the old
  // value.
  static size_t SetStagedKeyBudget(size_t bytes);

 private:
  struct Level {
    uint32_t page;
    int idx;
  };
  using Path = std::vector<Level>;
  struct Cursor {
    enum State { kUnset, kOn, kGap, kGapEnd };
    State state = kUnset;
    Path path;
    std::string key;
    uint32_t recno = 0;
    uint64_t generation = 0;
  };
  struct Cached {
    NtxPage page;
    bool dirty = false;
    std::list<uint32_t>::iterator lru;
  };

  NtxFile() = default;
  bool Init(const NtxHeader& h, std::string* why, int* code);

  // Page cache.
  bool GetPage(uint32_t offset, NtxPage** page);
  NtxPage* NewPage();
  void MarkDirty(NtxPage* p);
  void DropCache();
  void TrimCache();
  bool FlushPages();  // under the lock
  void BeginWrites();
  void EndWrites();

  // Entries added under the lock wait in staged_ until a read, a removal
  // of another entry, the budget or the unlock merges them.
  bool MergeStaged();
  bool BuildFromStaged(const std::vector<uint32_t>& order);
  bool InsertNow(const char* key, uint32_t recno, bool* added);

  // Sharing.
  int BeginRead();  // 1 go, 0 take the lock, -1 fault
  bool EndRead();
  bool ReadHeader(bool* changed);
  bool Refresh();  // after taking the lock
  bool LockNow();
  // Where the stamp proves nothing (writes unwatched): true when the header
  // page and the length of the file are still those of the tree the cached
  // pages were read from under the lock, so that a read may run on those
  // pages alone (cache_only_) without the lock. Every writer changes the
  // header page before it releases the lock, so an unchanged one means no
  // change was completed since; one under way has not reached the cache.
  bool BeginCachedRead();
  bool StartChange();
  template <typename Op>
  bool RunRead(Op op);
  bool Fault(const std::string& what);
  void ReportFault();

  // Tree walking (ascending order).
  bool Descend(const char* s, size_t n, bool strict, Path* path, bool* at_end);
  // Down the tree, on each page to the first entry i for which
  // goes_left(page, i) holds; then on to the first entry at or after it.
  template <typename GoesLeft>
  bool DescendBy(GoesLeft goes_left, Path* path, bool* at_end);
  bool ClimbForward(Path* path, bool* at_end);
  bool ClimbBack(Path* path, bool* at_begin);
  bool Advance(Path* path, bool* at_end);
  bool Retreat(Path* path, bool* at_begin);
  bool Leftmost(uint32_t from, Path* path, bool* at_end);
  bool Rightmost(uint32_t from, Path* path, bool* at_begin);
  bool Entry(const Path& path, const char** key, uint32_t* recno);
  bool DescendEntry(const char* key, uint32_t recno, Path* path, bool* at_end);
  bool FindEntry(const char* key, uint32_t recno, Path* path, bool* found);
  bool Relocate(Cursor* c);
  bool SetOn(Cursor* c);
  bool AscStep(Cursor* c, bool forward, int32_t* recno);
  bool AscEnd(Cursor* c, bool last, int32_t* recno);
  bool DoSeek(const std::string& key, Cursor* c, SeekResult* r);
  bool Rebalance(Path* path);

  std::string path_;
  DbfFile* data_ = nullptr;
  std::unique_ptr<platform::File> file_;
  std::unique_ptr<platform::ChangeCounter> counter_;
  std::unique_ptr<DbfExprTable> table_;
  std::unique_ptr<Expr> key_expr_;
  std::unique_ptr<Expr> filter_expr_;
  KeyInfo info_;
  NtxHeader header_;
  uint64_t file_size_ = 0;     // as last seen
  uint32_t next_page_ = 0;     // where a new page goes
  uint16_t seen_counter_ = 0;  // header counter last seen

  // The cached page at offset, or null (through the front table).
  Cached* Find(uint32_t offset);

  std::unordered_map<uint32_t, std::unique_ptr<Cached>> pages_;
  // A direct-mapped table in front of pages_ for the pages in use.
  struct FrontSlot {
    uint32_t offset = 0;
    Cached* page = nullptr;
  };
  static constexpr size_t kFrontSlots = 256;
  FrontSlot front_[kFrontSlots];
  // Reused by AddKey and RemoveKey.
  Path change_path_;
  std::vector<char> carry_;
  std::list<uint32_t> lru_;           // most recently used first
  std::vector<uint32_t> dirty_list_;  // changed pages, not yet written
  size_t dirty_ = 0;
  uint8_t header_raw_[ntx::kPageSize] = {};  // the header page as read
  bool header_dirty_ = false;
  bool writing_ = false;      // pages are being written (counter odd)
  uint64_t write_start_ = 0;  // counter value before the writes began
  NtxStagedKeys staged_;
  bool changed_ = false;    // this lock period changed the tree
  bool marked_ = false;     // holds the crash mark (ntx_mark.h)
  bool mark_kept_ = false;  // a flush failed: the mark outlives this handle

  bool locked_ = false;
  uint64_t stamp_ = 0;       // shared counter value the cache belongs to
  uint64_t read_start_ = 0;  // counter at the start of a read
  bool stamp_valid_ = false;
  // Every cached page was read or written under the lock, in the tree whose
  // header page is header_raw_ (cleared by a page read without the lock and
  // by a failed flush; set again by DropCache).
  bool cache_checked_ = true;
  bool cache_only_ = false;    // a read runs on cached pages alone
  bool cache_missed_ = false;  // ... and needed a page the cache lacks
  uint64_t generation_ = 1;    // bumped whenever cached pages may be stale
  std::string fault_;

  Cursor cursor_;

  // What the last Update/Insert did, for the undo.
  bool last_removed_ = false;
  bool last_added_ = false;
  std::string last_old_key_, last_new_key_;
  std::vector<char> scratch_old_, scratch_new_;
};

}  // namespace xbase32

#endif  // XBASE32_NTX_FILE_H_
