// An open DBF data file: structure, current record buffer, navigation
// primitives, record/append/whole-file locks and the read-ahead cache.
// Failures are reported through ReportError (engine_error.h) and answered
// with false.

#ifndef XBASE32_DBF_FILE_H_
#define XBASE32_DBF_FILE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace xbase32 {

class DbfExprTable;

struct FieldDesc {
  std::string name;  // upper case, at most 10 characters
  char type = 'C';   // upper case
  int width = 0;
  int dec = 0;
  int offset = 0;  // in the record; the flag byte is at 0
};

// Keeps an attached index current while records change. Indexes implement
// it; the data file calls it around every record write and append. All
// indexes of a data file are locked together (DbfFile::LockIndexes): the
// data file takes each one with TryLockIndex and, when one is held by
// another process, releases those it took, waits and tries again.
class IndexHook {
 public:
  virtual ~IndexHook() = default;
  // One attempt at the index lock: kLocked, kBusy (held by another handle)
  // or kError (reported).
  virtual platform::LockResult TryLockIndex() = 0;
  // Writes changed pages and the header, then releases the index lock.
  virtual bool UnlockIndex() = 0;
  // Whether the key of record recno differs between the two images (full
  // records, flag byte included).
  virtual bool KeyChanges(int32_t recno, const char* old_rec,
                          const char* new_rec) = 0;
  // The record recno changes from old_rec to new_rec: the old key's entry
  // is removed and the new key's added (a unique index that already holds
  // the new key gets no entry). Called with the index lock held. Undo
  // reverses a successful Update.
  virtual bool Update(int32_t recno, const char* old_rec,
                      const char* new_rec) = 0;
  virtual void UndoUpdate(int32_t recno, const char* old_rec,
                          const char* new_rec) = 0;
  // Record recno is appended as rec (lock held).
  virtual bool Insert(int32_t recno, const char* rec) = 0;
  virtual void UndoInsert(int32_t recno, const char* rec) = 0;
  // Writes changed pages and commits the file to disk.
  virtual bool Sync() = 0;
};

class DbfFile {
 public:
  ~DbfFile();

  // Creates path (replacing an existing file) with the given fields, and the
  // empty memo file when a field has type M or G; the file is closed again.
  // Validates the field list: names 1..10 characters of letters, digits and
  // "_", known type letters, C widths 1..65534, N/F widths 1..255 with
  // decimals below the width, record length at most 0xFFFE, field count at
  // most 2046.
  static bool Create(const std::string& path, const WDBASE_FIELD* fields);

  // Opens an existing data file (and its memo file when the version byte
  // says so). Null on failure (reported).
  static std::unique_ptr<DbfFile> Open(const std::string& path);

  // Writes a pending change, updates the header when needed, releases the
  // locks and closes the files. Answers false when anything failed; the
  // object is closed in any case.
  bool Close();

  // --- structure -----------------------------------------------------------
  int field_count() const { return static_cast<int>(fields_.size()); }
  // k is 1-based and must be valid.
  const FieldDesc& field(int k) const { return fields_[k - 1]; }
  // 1-based number of the field with this upper-case name, or 0.
  int FindField(const std::string& upper_name) const;
  uint32_t header_length() const { return header_length_; }
  uint32_t record_length() const { return record_length_; }
  const std::string& path() const { return path_; }
  bool has_memo() const { return memo_ != nullptr; }
  // The expression language's view of this file (owned by it).
  DbfExprTable* expr_table() const { return expr_table_.get(); }
  // Copies at most size bytes of the memo text of field k of the current
  // record into buf; answers the count (0 without text or on errors).
  int32_t ReadMemoText(int k, char* buf, int32_t size);
  platform::File* memo_file() { return memo_.get(); }
  platform::File* data_file() { return file_.get(); }

  // --- record buffer ---------------------------------------------------------
  char* record() { return rec_.data(); }
  const char* record() const { return rec_.data(); }
  const char* old_record() const { return old_.data(); }
  void MarkChanged() { changed_ = true; }
  bool changed() const { return changed_; }
  void Blank();

  // --- position --------------------------------------------------------------
  int32_t recno() const { return recno_; }
  bool eof() const { return eof_; }
  bool bof() const { return bof_; }
  void set_bof(bool b) { bof_ = b; }
  // The record count by the count rule: derived from the file length, cached
  // while the append or whole-file lock is held. -1 on failure.
  int32_t Count();
  // Makes record n (1..count) current after writing a pending change.
  bool Go(int32_t n);
  // Moves past the last record: blank buffer, eof, recno = count + 1.
  bool GoEof();
  // Re-reads record n into the buffer (no pending write).
  bool ReadRecord(int32_t n);
  // A scan: one pass of ReadRecord over the table (an index build). Where
  // nothing proves the read-ahead current (other processes' writes are not
  // watched and the file is not locked), records read during a scan come
  // from blocks read during the same scan instead of one read each: every
  // record so read was in the file at a moment of the scan, as with reads
  // one by one, and another process's write during the scan may be seen or
  // not, as before. Nothing read in a scan is trusted after it. Nested
  // pairs count; DbfScan pairs them.
  void BeginScan();
  void EndScan();

  // --- writing ---------------------------------------------------------------
  // Writes the buffer to the current record when it is marked changed.
  bool WritePending();
  // Writes the buffer to the current record now.
  bool WriteCurrent();
  // Appends a blank record and makes it current.
  bool AppendBlank();
  // Commits data, memo and index files to disk.
  bool Sync();

  // --- rewriting in place (pack, zap) ---------------------------------------
  // Reads up to n stored records from record first on into buf (n record
  // lengths); records appended under a pinned lock are written first.
  // *got receives the number of whole records read.
  bool ReadRecords(int32_t first, int32_t n, char* buf, int32_t* got);
  // Writes n records from buf over the stored records from first on,
  // through the change counter; the read-ahead is dropped.
  bool RewriteRecords(int32_t first, const char* buf, int32_t n);
  // Ends the file after record count: writes the 0x1A end mark, cuts the
  // rest, forgets every cached count and marks the header for rewriting.
  bool TruncateRecords(int32_t count);
  // Blank buffer and no current record (record number 0).
  void Unposition();
  // Takes the append lock; memo writers hold it while they allocate blocks.
  bool LockAppendForMemo() { return LockAppend(); }
  // A buffer for the memo text of field k (1-based, valid), owned here.
  std::string* memo_text(int k);

  // --- locks -----------------------------------------------------------------
  // Takes the whole-file lock (record locks of this handle are released
  // first). pinned marks it as taken by an explicit Lock: it then survives
  // ReleaseLocks until UnlockAll.
  bool LockFile(bool pinned);
  // Releases the locks taken by single operations (record and append
  // locks, and the whole-file lock unless pinned).
  bool ReleaseLocks();
  // Releases every lock, the pinned whole-file lock included.
  bool UnlockAll();
  bool file_locked() const { return file_locked_; }

  // --- indexes and header -------------------------------------------------
  // Attaches an index: record writes and appends keep it current from now
  // on. While the index locks are held the new index is locked too.
  void AttachIndex(IndexHook* hook);
  // Detaches an index (releasing its lock when the data file holds them).
  void DetachIndex(IndexHook* hook);
  // Locks all attached indexes together (waits, without limit, while
  // another process holds one of them). The whole-file lock takes them
  // too; they are released with it, or by UnlockIndexes.
  bool LockIndexes();
  bool UnlockIndexes();
  bool indexes_locked() const { return indexes_locked_; }

  // --- change tracking -------------------------------------------------------
  // The file's shared change counter, and how far this handle's own writes
  // moved it (counted only when no other writer came in between). When the
  // counter moved further than the own moves since an earlier reading,
  // someone else changed the file. False without a shared counter.
  bool ChangeStamps(uint64_t* counter, uint64_t* own) const {
    if (!counter_) return false;
    *counter = counter_->Load();
    *own = own_moves_;
    return true;
  }
  // Moves whenever stored records are rewritten in place or the file is cut
  // (pack, zap): changes that bypass the attached indexes.
  uint64_t rewrites() const { return rewrites_; }

  // --- rewrite generation (header bytes 16..19) ---------------------------
  // Moves the generation stored in the file; the caller holds the
  // whole-file lock and calls it before the first byte of a rewrite in
  // place changes. RewriteRecords and TruncateRecords call it themselves
  // once per lock period.
  bool BumpGeneration();
  // Whether the current buffer was read under the generation the file
  // holds now; otherwise reports -120 "Record No Longer Exists" and
  // answers false. Called under a lock that keeps rewriters out (a record
  // lock, the append or the whole-file lock).
  bool CheckGeneration();

  // --- sharing mode ----------------------------------------------------------
  // Reading from the file: the read-ahead, the record count and the
  // generation are taken from the file on every request instead of being
  // kept while the change counter and the host's write reports prove them
  // current. On by default when the environment variable
  // KALVO_READ_FROM_FILE is set to anything but "0" or "".
  void set_read_from_file(bool on);
  bool read_from_file() const { return read_from_file_; }
  // Marks the header for rewriting (count and date) on the next release of
  // locks, flush or close.
  void MarkHeaderDirty() { header_dirty_ = true; }
  bool WriteHeader();

 private:
  DbfFile() = default;
  bool LockRange(uint64_t offset, uint64_t length);
  bool LockRecord(int32_t n);
  // WriteCurrent's work, under the record lock it leaves to its caller.
  bool WriteRecordNow();
  bool LockAppend();
  bool FillCache(int32_t n, size_t bytes);
  // The counter's stamp when it proves changes (every writer's, see
  // platform::ChangeCounter::Stamp); false when nothing can be proven and
  // the file must be read.
  bool ProvenStamp(uint64_t* stamp);
  // The generation stored in the file now (kept while proven current).
  bool ReadGeneration(uint32_t* gen);
  void InvalidateCache() { cache_count_ = 0; }
  void UpdateCache(int32_t n, const char* rec);
  // Writes n bytes at offset, bumping the change counter before and after;
  // keeps this handle's own stamps when no other writer came in between.
  bool WriteData(uint64_t offset, const void* p, size_t n);
  // Writes the records appended under a pinned lock.
  bool FlushPending();
  bool IsPending(int32_t n) const {
    return pending_count_ > 0 && n >= pending_first_ &&
           n < pending_first_ + pending_count_;
  }
  char* PendingRecord(int32_t n) {
    return pending_.data() +
           static_cast<size_t>(n - pending_first_) * record_length_;
  }

  std::string path_;
  std::unique_ptr<platform::File> file_;
  std::unique_ptr<platform::File> memo_;
  std::unique_ptr<DbfExprTable> expr_table_;
  std::vector<FieldDesc> fields_;
  uint32_t header_length_ = 0;
  uint32_t record_length_ = 0;
  uint8_t version_ = 0x03;

  std::vector<char> rec_;  // record_length + 1 bytes
  std::vector<char> old_;  // last read image
  bool changed_ = false;
  int32_t recno_ = 0;
  bool eof_ = false;
  bool bof_ = false;

  bool append_locked_ = false;
  bool file_locked_ = false;
  bool pinned_ = false;
  std::vector<int32_t> record_locks_;
  int32_t cached_count_ = -1;  // valid while append or file lock held
  bool header_dirty_ = false;

  std::vector<IndexHook*> indexes_;
  bool indexes_locked_ = false;
  std::vector<std::string> memo_texts_;  // per field, see memo_text()

  // Read-ahead: cache_count_ records starting at cache_first_, read when the
  // file's change counter stood at cache_stamp_. Trusted while the whole
  // file is locked by this handle, or while the counter is unchanged (every
  // writer bumps it). Without a counter (network file systems) records are
  // read one by one unless the file is locked.
  std::unique_ptr<platform::ChangeCounter> counter_;
  std::vector<char> cache_;
  int32_t cache_first_ = 0;
  int32_t cache_count_ = 0;
  int32_t last_read_ = 0;  // the record read before (read-ahead size)
  uint64_t cache_stamp_ = 0;
  // The counter value Count() loaded last, for the read right after it.
  uint64_t recent_stamp_ = 0;
  bool recent_stamp_valid_ = false;
  // The record count derived from the file length, valid while the counter
  // stands at count_stamp_.
  int32_t counted_ = -1;
  uint64_t count_stamp_ = 0;
  // Records appended under a pinned lock and not yet written: pending_count_
  // records from pending_first_ on. They are written in one piece when the
  // lock is released, on flush and close, or when the buffer grows large.
  std::vector<char> pending_;
  int32_t pending_first_ = 0;
  int32_t pending_count_ = 0;
  uint64_t own_moves_ = 0;  // see ChangeStamps
  uint64_t rewrites_ = 0;

  bool read_from_file_ = false;
  bool cache_proven_ = false;  // cache_stamp_ proves the read-ahead
  bool cache_locked_ = false;  // read-ahead filled under the file lock
  bool count_proven_ = false;  // count_stamp_ proves counted_
  bool wrote_ = false;         // this handle wrote since the last fill
  // The generation: gen_ as read from the file, proven while the stamp
  // stands at gen_stamp_ (gen_proven_) or the file lock is held since it
  // was read (gen_locked_); buf_gen_ is the one the buffer was read under.
  uint32_t gen_ = 0;
  uint64_t gen_stamp_ = 0;
  bool gen_proven_ = false;
  bool gen_locked_ = false;
  uint32_t buf_gen_ = 0;
  bool gen_bumped_ = false;  // in this lock period
  // Scans (BeginScan): the read-ahead filled during scan scan_serial_ is
  // marked with it (cache_scan_), with the generation read before it.
  bool Scanning() const;
  int scan_depth_ = 0;
  uint64_t scan_serial_ = 1;
  uint64_t cache_scan_ = 0;
  uint32_t scan_gen_ = 0;
};

// Begins a scan of data (DbfFile::BeginScan) for its lifetime.
class DbfScan {
 public:
  explicit DbfScan(DbfFile* data) : data_(data) { data_->BeginScan(); }
  ~DbfScan() { data_->EndScan(); }
  DbfScan(const DbfScan&) = delete;
  DbfScan& operator=(const DbfScan&) = delete;

 private:
  DbfFile* data_;
};

}  // namespace xbase32

#endif  // XBASE32_DBF_FILE_H_
